// Keyed hashing, the keyed set, and the size guards of the generators.
// (Generator outputs and invariants are tested through Python.)
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "domains/graphs.hpp"
#include "domains/keyed_hash.hpp"
#include "domains/maze.hpp"
#include "domains/random_stream.hpp"

namespace {

using quorvane::Panic;

std::string panic_message(const std::function<void()>& f) {
    try {
        f();
    } catch (const Panic& p) {
        return p.what();
    }
    return "<no panic>";
}

TEST(SipHasher, MatchesThePublishedSipHash24Vectors) {
    // Key 00..0f; messages 00..(len-1). The 1-3 variant differs only in the
    // round counts, so this pins the rounds, padding and finalisation.
    const quorvane::SipKey key{0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL};
    unsigned char msg[15];
    for (int i = 0; i < 15; ++i) msg[i] = static_cast<unsigned char>(i);
    quorvane::SipHasher<2, 4> empty(key);
    EXPECT_EQ(empty.finish(), 0x726fdb47dd0e0e31ULL);
    quorvane::SipHasher<2, 4> whole(key);
    whole.write(msg, 15);
    EXPECT_EQ(whole.finish(), 0xa129ca6149be45e5ULL);
    quorvane::SipHasher<2, 4> pieces(key);
    pieces.write(msg, 3);
    pieces.write(msg + 3, 9);
    pieces.write(msg + 12, 3);
    EXPECT_EQ(pieces.finish(), 0xa129ca6149be45e5ULL);
}

TEST(SipHasher, WordFeedEqualsItsLittleEndianBytes) {
    const quorvane::SipKey key{1, 2};
    quorvane::SipHasher13 words(key);
    words.write_u64(0x0123456789abcdefULL);
    const unsigned char one = 7;
    words.write(&one, 1);
    words.write_u64(42);  // unaligned now: goes through the byte path
    quorvane::SipHasher13 bytes(key);
    const unsigned char raw[17] = {0xef, 0xcd, 0xab, 0x89, 0x67, 0x45, 0x23, 0x01, 7,
                                   42,   0,    0,    0,    0,    0,    0,    0};
    bytes.write(raw, 17);
    EXPECT_EQ(words.finish(), bytes.finish());
}

TEST(FreshSipKey, EachSetTakesTheNextFirstHalfAndThreadsDrawTheirOwn) {
    const auto a = quorvane::fresh_sip_key();
    const auto b = quorvane::fresh_sip_key();
    EXPECT_EQ(b.k0, a.k0 + 1);
    EXPECT_EQ(b.k1, a.k1);
    quorvane::SipKey other;
    std::thread([&] { other = quorvane::fresh_sip_key(); }).join();
    EXPECT_FALSE(other.k0 == b.k0 + 1 && other.k1 == b.k1);  // 2^-128 chance of failing
}

TEST(KeyedHashSet, AgreesWithAnOrderedSetThroughInsertsAndErasures) {
    // Few distinct values in a small table: long probe runs that wrap around
    // the end, where backward-shift deletion goes wrong if it goes wrong.
    quorvane::KeyedHashSet<uint64_t> set;
    std::set<uint64_t> model;
    auto rng = quorvane::ChaCha8Rng::seed_from_u64(9);
    for (int step = 0; step < 20000; ++step) {
        const uint64_t v = rng.gen_range(40);
        switch (rng.gen_range(3)) {
            case 0:
                EXPECT_EQ(set.insert(v), model.insert(v).second);
                break;
            case 1:
                EXPECT_EQ(set.erase(v), model.erase(v) == 1);
                break;
            default:
                EXPECT_EQ(set.contains(v), model.count(v) == 1);
        }
        ASSERT_EQ(set.size(), model.size());
    }
    const auto items = set.to_vector();
    EXPECT_EQ(std::set<uint64_t>(items.begin(), items.end()), model);
    for (uint64_t v = 0; v < 40; ++v) EXPECT_EQ(set.contains(v), model.count(v) == 1) << v;
}

TEST(KeyedHashSet, RekeyAndClearLeavesAnEmptyUsableSet) {
    quorvane::KeyedHashSet<std::pair<uint64_t, uint64_t>> set;
    for (uint64_t i = 0; i < 100; ++i) set.insert({i, i + 1});
    set.rekey_and_clear();
    EXPECT_TRUE(set.empty());
    EXPECT_FALSE(set.contains({3, 4}));
    EXPECT_TRUE(set.insert({3, 4}));
    EXPECT_EQ(set.to_vector().size(), 1u);
}

TEST(ErdosRenyi, RefusesMoreNodesThanItCanDrawPairsForBeforeDrawing) {
    EXPECT_EQ(panic_message([] { quorvane::erdos_renyi(524289, 0.5, 1); }),
              "n must be <= 524288 (erdos_renyi draws once per pair of nodes)");
    EXPECT_EQ(panic_message([] { quorvane::erdos_renyi(UINT64_MAX, 0.0, 1); }),
              "n must be <= 524288 (erdos_renyi draws once per pair of nodes)");
}

TEST(Generators, CountsPastSixtyFourBitsPanicWithCapacityOverflow) {
    EXPECT_EQ(panic_message([] { quorvane::watts_strogatz(UINT64_MAX, 1ULL << 62, 0.5, 1); }),
              "capacity overflow");
    EXPECT_EQ(panic_message([] { quorvane::barabasi_albert(UINT64_MAX, 1ULL << 40, 1); }),
              "capacity overflow");
}

TEST(Generators, GraphsLargerThanMemoryFailBeforeAnyWork) {
    // Representable, but no machine holds them: refused at once rather than
    // after filling memory.
    EXPECT_THROW(quorvane::watts_strogatz(1ULL << 44, 2, 0.5, 1), std::bad_alloc);
    EXPECT_THROW(quorvane::barabasi_albert(1ULL << 44, 1, 1), std::bad_alloc);
    EXPECT_THROW(quorvane::watts_strogatz(1ULL << 44, 0, 0.5, 1), std::bad_alloc);
}

TEST(ErdosRenyi, ACompleteGraphBeyondMemoryFailsBeforeDrawing) {
    // p >= 1 on 2^19 nodes asks for 1.4e11 edges (trillions of bytes).
    EXPECT_THROW(quorvane::erdos_renyi(524288, 1.0, 1), std::bad_alloc);
}

TEST(RandomMaze, StartAndGoalStayOpenWhenEveryOtherCellIsAWall) {
    const auto maze = quorvane::random_maze(4, 3, 1.0, 11);
    EXPECT_EQ(maze.start, (quorvane::Cell{0, 0}));
    EXPECT_EQ(maze.goal, (quorvane::Cell{2, 3}));
    for (int32_t r = 0; r < 3; ++r)
        for (int32_t c = 0; c < 4; ++c)
            EXPECT_EQ(maze.grid.is_wall({r, c}), !((r == 0 && c == 0) || (r == 2 && c == 3)));
}

}  // namespace
