// Numbered Hanoi towers against the byte-state towers they stand for: the
// same successors in the same order, the same heuristic values, and every
// driver's outcome field by field (dense and hashed tables, every peg path:
// powers of two, digits as fields, digits one by one).
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <vector>

#include "drivers/beam.hpp"
#include "drivers/best_first.hpp"
#include "drivers/bidirectional.hpp"
#include "drivers/depth_limited.hpp"
#include "drivers/ida_star.hpp"
#include "drivers/iddfs.hpp"
#include "puzzles/byte_state.hpp"
#include "puzzles/hanoi.hpp"
#include "puzzles/numbered_hanoi.hpp"
#include "same_outcome.hpp"

namespace quorvane {
namespace {

ByteState bytes_of(const HanoiNumber& n) {
    uint8_t digits[64];
    n.digits_into(digits);
    return ByteState(digits, n.size());
}

// A random state of the towers, as a number.
HanoiNumber random_state(const NumberedHanoi& h, std::mt19937_64& rng) {
    uint64_t number = 0;
    for (uint64_t d = h.disks(); d-- > 0;) number = number * h.pegs() + rng() % h.pegs();
    return h.start().with_number(number);
}

void expect_same(const SearchOutcome<HanoiNumber>& got, const SearchOutcome<ByteState>& want) {
    expect_same_outcome(want, got, [](const HanoiNumber& n) { return bytes_of(n); });
}

struct Towers {
    uint64_t disks;
    uint64_t pegs;
};

// Dense in 4-byte entries (pow2 fields, digits as fields) and in 8-byte
// ones (past 2^22 states), hashed past kMaxDenseStates, and digits one by
// one past 16 disks.
constexpr Towers kTowers[] = {{1, 3}, {3, 3},  {5, 3},  {3, 4},  {6, 4},  {3, 5},  {2, 16}, {4, 7},
                              {3, 8}, {12, 4}, {14, 3}, {13, 4}, {17, 3}, {20, 5}, {27, 4}};

TEST(NumberedHanoi, SuccessorsAndMismatchesMatchTheByteStates) {
    std::mt19937_64 rng(5);
    for (const Towers t : kTowers) {
        const NumberedHanoi numbered(t.disks, t.pegs);
        const Hanoi bytes(t.disks, t.pegs);
        EXPECT_EQ(bytes_of(numbered.start()), bytes.start());
        EXPECT_EQ(bytes_of(numbered.goal()), bytes.goal());
        for (int i = 0; i < 200; ++i) {
            const HanoiNumber a = random_state(numbered, rng);
            const HanoiNumber b = random_state(numbered, rng);
            std::vector<ByteState> got;
            for (const auto& s : numbered.successors(a)) {
                EXPECT_EQ(s.cost, 1.0);
                got.push_back(bytes_of(s.node));
            }
            std::vector<ByteState> want;
            for (const auto& s : bytes.successors(bytes_of(a))) want.push_back(s.node);
            EXPECT_EQ(got, want) << t.disks << " disks, " << t.pegs << " pegs";
            EXPECT_EQ(count_mismatches(a, b), count_mismatches(bytes_of(a), bytes_of(b)));
        }
    }
}

TEST(NumberedHanoi, EveryDriverGivesTheOutcomeOfTheByteStateTowers) {
    const BestFirstConfig configs[] = {
        {FrontierKind::fifo, 1.0, 0.0},     {FrontierKind::lifo, 1.0, 0.0},
        {FrontierKind::priority, 1.0, 0.0}, {FrontierKind::priority, 0.0, 1.0},
        {FrontierKind::priority, 1.0, 1.0}, {FrontierKind::priority, 1.0, 2.5}};
    for (const Towers t : kTowers) {
        const NumberedHanoi numbered(t.disks, t.pegs);
        const Hanoi bytes(t.disks, t.pegs);
        const bool small = numbered.dense_slots() <= 4096;
        const std::optional<uint64_t> limits[] = {std::nullopt, 1, 40};
        for (const auto& config : configs) {
            for (const std::optional<uint64_t> limit : limits) {
                if (!limit && !small) continue;
                for (const bool reopen : {false, true}) {
                    const BestFirstLimits l{limit, true, reopen};
                    expect_same(best_first_search(numbered, numbered.start(), numbered.goal(),
                                                  config, MismatchHeuristic{}, l),
                                best_first_search(bytes, bytes.start(), bytes.goal(), config,
                                                  MismatchHeuristic{}, l));
                    expect_same(best_first_search(numbered, numbered.start(), numbered.goal(),
                                                  config, ZeroHeuristic{}, l),
                                best_first_search(bytes, bytes.start(), bytes.goal(), config,
                                                  ZeroHeuristic{}, l));
                }
            }
        }
        if (t.disks > 3 || t.pegs > 5) continue;  // the depth-first drivers on small towers only
        expect_same(dls(numbered, numbered.start(), numbered.goal(), 5, true),
                    dls(bytes, bytes.start(), bytes.goal(), 5, true));
        expect_same(iddfs(numbered, numbered.start(), numbered.goal(), 6, true),
                    iddfs(bytes, bytes.start(), bytes.goal(), 6, true));
        const MismatchHeuristic h;
        expect_same(ida_star(numbered, numbered.start(), numbered.goal(), h, true),
                    ida_star(bytes, bytes.start(), bytes.goal(), h, true));
        expect_same(
            beam_search(numbered, numbered.start(), numbered.goal(), 2, MismatchHeuristic{}, true),
            beam_search(bytes, bytes.start(), bytes.goal(), 2, MismatchHeuristic{}, true));
        expect_same(bidirectional_search(numbered, numbered.start(), numbered.goal(), true),
                    bidirectional_search(bytes, bytes.start(), bytes.goal(), true));
    }
}

TEST(NumberedHanoi, FitsUpToTwoToThe54States) {
    EXPECT_TRUE(NumberedHanoi::fits(27, 4));
    EXPECT_FALSE(NumberedHanoi::fits(28, 4));
    EXPECT_TRUE(NumberedHanoi::fits(34, 3));
    EXPECT_FALSE(NumberedHanoi::fits(35, 3));
    EXPECT_TRUE(NumberedHanoi::fits(13, 16));
    EXPECT_FALSE(NumberedHanoi::fits(14, 16));
    EXPECT_FALSE(NumberedHanoi::fits(3, 1));
    EXPECT_FALSE(NumberedHanoi::fits(3, 17));
}

}  // namespace
}  // namespace quorvane
