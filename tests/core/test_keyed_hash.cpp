// Keyed hashing and the keyed set. (The generators themselves are tested
// through Python: tests/test_generators.py.)
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "generators/random_stream.hpp"
#include "state/keyed_hash.hpp"

namespace {

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
            case 0: EXPECT_EQ(set.insert(v), model.insert(v).second); break;
            case 1: EXPECT_EQ(set.erase(v), model.erase(v) == 1); break;
            default: EXPECT_EQ(set.contains(v), model.count(v) == 1);
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

}  // namespace
