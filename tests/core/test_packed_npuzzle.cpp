// The packed N-puzzle against the byte-state one it stands in for: the same
// heuristic values, and every driver giving the same outcome on random
// boards and goals (path, cost, counters, trace, tree); and the one-word
// reached table against the general one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "drivers/beam.hpp"
#include "drivers/best_first.hpp"
#include "drivers/bidirectional.hpp"
#include "drivers/depth_limited.hpp"
#include "drivers/ida_star.hpp"
#include "drivers/iddfs.hpp"
#include "puzzles/npuzzle.hpp"
#include "puzzles/packed_npuzzle.hpp"
#include "reached_by_node.hpp"
#include "same_outcome.hpp"
#include "state/reached_table.hpp"

namespace quorvane {
namespace {

ByteState bytes_of(PackedBoard board, std::size_t n) {
    ByteState s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = board[i];
    return s;
}

PackedBoard packed_of(const ByteState& s) { return PackedBoard::from_tiles(s.data(), s.size()); }

// A permutation of the default goal's tiles, or the default goal.
ByteState random_goal(const NPuzzle& puzzle, std::mt19937_64& rng, bool shuffled) {
    ByteState goal = puzzle.default_goal();
    if (shuffled) std::shuffle(goal.data(), goal.data() + goal.size(), rng);
    return goal;
}

// `steps` random moves from `from`, so the start is solvable into it.
ByteState random_walk(const NPuzzle& puzzle, ByteState from, int steps, std::mt19937_64& rng) {
    for (int i = 0; i < steps; ++i) {
        const auto next = puzzle.successors(from);
        if (next.empty()) break;  // the 1 x 1 board
        from = next[rng() % next.size()].node;
    }
    return from;
}

void expect_same(const SearchOutcome<ByteState>& want, const SearchOutcome<PackedBoard>& got,
                 std::size_t n, const std::string& label) {
    SCOPED_TRACE(label);
    expect_same_outcome(want, got, [n](PackedBoard b) { return bytes_of(b, n); });
}

// Every driver on one start and goal, both domains, heuristics `hb`
// (byte states) and `hp` (packed), recording.
template <class HB, class HP>
void expect_all_drivers_agree(const NPuzzle& bytes, const PackedNPuzzle& packed,
                              const ByteState& start, const ByteState& goal, const HB& hb,
                              const HP& hp, std::mt19937_64& rng, const std::string& label) {
    const std::size_t n = start.size();
    const PackedBoard ps = packed_of(start);
    const PackedBoard pg = packed_of(goal);
    const BestFirstConfig configs[] = {
        {FrontierKind::fifo, 1.0, 0.0},     {FrontierKind::lifo, 1.0, 0.0},
        {FrontierKind::priority, 1.0, 0.0}, {FrontierKind::priority, 0.0, 1.0},
        {FrontierKind::priority, 1.0, 1.0}, {FrontierKind::priority, 1.0, 2.0},
    };
    for (const BestFirstConfig& config : configs) {
        const uint64_t caps[] = {1, 7, 300, 3000};
        const BestFirstLimits limits{caps[rng() % 4], true, rng() % 2 == 0};
        expect_same(best_first_search(bytes, start, goal, config, hb, limits),
                    best_first_search(packed, ps, pg, config, hp, limits), n,
                    label + " best-first kind " + std::to_string(static_cast<int>(config.kind)) +
                        " h weight " + std::to_string(config.h_weight));
    }
    const uint64_t depth = rng() % 7;
    expect_same(dls(bytes, start, goal, depth, true), dls(packed, ps, pg, depth, true), n,
                label + " dls");
    expect_same(iddfs(bytes, start, goal, depth, true), iddfs(packed, ps, pg, depth, true), n,
                label + " iddfs");
    const uint64_t width = 1 + rng() % 3;
    expect_same(beam_search(bytes, start, goal, width, hb, true),
                beam_search(packed, ps, pg, width, hp, true), n, label + " beam");
    expect_same(bidirectional_search(bytes, start, goal, true),
                bidirectional_search(packed, ps, pg, true), n, label + " bidirectional");
    expect_same(ida_star(bytes, start, goal, hb, true), ida_star(packed, ps, pg, hp, true), n,
                label + " ida_star");
}

TEST(PackedNPuzzle, OneWordTableAnswersAsTheGeneralTable) {
    // Enough nodes for the table to grow past the size that is mapped on
    // its own, so the sweep that hands old slots back runs too.
    std::mt19937_64 rng(99);
    HashedReachedTable<PackedBoard> packed;
    HashedReachedTable<uint64_t> general;
    std::vector<uint64_t> words;
    for (int i = 0; i < 300000; ++i) {
        const uint64_t w = rng() >> (rng() % 64);  // many small words too
        const uint64_t parent = words.empty() ? w : words[rng() % words.size()];
        const double g = static_cast<double>(rng() % 1000);
        if (words.empty() || w == parent) {
            record(packed, PackedBoard::from_word(w), g);
            record(general, w, g);
        } else {
            record(packed, PackedBoard::from_word(w), g, PackedBoard::from_word(parent));
            record(general, w, g, parent);
        }
        if (rng() % 3 == 0) {
            EXPECT_EQ(close(packed, PackedBoard::from_word(w)), close(general, w));
        }
        words.push_back(w);
    }
    EXPECT_EQ(packed.size(), general.size());
    for (int i = 0; i < 2000; ++i) {
        const uint64_t w = i % 2 == 0 ? words[rng() % words.size()] : rng();
        const PackedBoard b = PackedBoard::from_word(w);
        const ReachedLookup a = lookup(packed, b);
        const ReachedLookup e = lookup(general, w);
        ASSERT_EQ(a.state, e.state);
        if (e.state != Reached::absent) {
            EXPECT_EQ(a.g, e.g);
        }
        const auto p = parent_of(packed, b);
        const auto q = parent_of(general, w);
        ASSERT_EQ(p.has_value(), q.has_value());
        if (q) {
            EXPECT_EQ(p->word(), *q);
        }
        std::vector<uint64_t> path;
        for (const PackedBoard n : rebuild_path(packed, b)) path.push_back(n.word());
        EXPECT_EQ(path, rebuild_path(general, w));
    }
}

TEST(PackedNPuzzle, HeuristicsMatchTheByteStatePuzzle) {
    std::mt19937_64 rng(7);
    for (uint64_t side : {1, 2, 3, 4}) {
        const NPuzzle bytes(side);
        const PackedNPuzzle packed(side);
        for (int round = 0; round < 20; ++round) {
            const ByteState goal = random_goal(bytes, rng, round % 2 == 1);
            const ByteState other = random_goal(bytes, rng, true);
            const NPuzzleManhattan hb(bytes, goal);
            const PackedManhattan hp(packed, packed_of(goal));
            const ByteState s = random_walk(bytes, goal, 30, rng);
            const PackedBoard ps = packed_of(s);
            EXPECT_EQ(ps.size(), s.size());
            EXPECT_EQ(bytes_of(ps, s.size()), s);
            EXPECT_EQ(hp(ps, packed_of(goal)), hb(s, goal));
            // A goal the heuristic was not prepared for.
            EXPECT_EQ(hp(ps, packed_of(other)), bytes.manhattan(s, other));
            EXPECT_EQ(PackedMisplaced{}(ps, packed_of(goal)), NPuzzle::misplaced(s, goal));
            // The same successors in the same order.
            const auto want = bytes.successors(s);
            const auto got = packed.successors(ps);
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t i = 0; i < want.size(); ++i) {
                EXPECT_EQ(bytes_of(got[i].node, s.size()), want[i].node);
                EXPECT_EQ(got[i].cost, want[i].cost);
            }
        }
    }
}

TEST(PackedNPuzzle, EveryDriverMatchesTheByteStatePuzzleOnRandomBoards) {
    std::mt19937_64 rng(2024);
    for (int round = 0; round < 36; ++round) {
        const uint64_t side = 2 + static_cast<uint64_t>(round % 3);
        const NPuzzle bytes(side);
        const PackedNPuzzle packed(side);
        const ByteState goal = random_goal(bytes, rng, round % 2 == 1);
        const ByteState start = random_walk(bytes, goal, static_cast<int>(rng() % 11), rng);
        const std::string label = "round " + std::to_string(round);
        const NPuzzleManhattan mb(bytes, goal);
        const PackedManhattan mp(packed, packed_of(goal));
        expect_all_drivers_agree(bytes, packed, start, goal, mb, mp, rng, label + " manhattan");
        expect_all_drivers_agree(bytes, packed, start, goal, NPuzzleMisplaced{}, PackedMisplaced{},
                                 rng, label + " misplaced");
        if (side < 4) {
            expect_all_drivers_agree(bytes, packed, start, goal, ZeroHeuristic{}, ZeroHeuristic{},
                                     rng, label + " zero");
        }
    }
}

TEST(PackedNPuzzle, IdaStarExhaustsAnUnsolvableBoardAsTheByteStatePuzzle) {
    // Two tiles swapped: the goal is out of reach, and IDA* raises its bound
    // until every simple path of the 2 x 2 board fits under it.
    const NPuzzle bytes(2);
    const PackedNPuzzle packed(2);
    const ByteState goal = bytes.default_goal();
    ByteState start = goal;
    std::swap(start[0], start[1]);
    const NPuzzleManhattan mb(bytes, goal);
    const PackedManhattan mp(packed, packed_of(goal));
    const auto want = ida_star(bytes, start, goal, mb, true);
    EXPECT_EQ(want.stop_reason, StopReason::exhausted);
    expect_same(want, ida_star(packed, packed_of(start), packed_of(goal), mp, true), 4,
                "manhattan");
    expect_same(ida_star(bytes, start, goal, NPuzzleMisplaced{}, true),
                ida_star(packed, packed_of(start), packed_of(goal), PackedMisplaced{}, true), 4,
                "misplaced");
}

}  // namespace
}  // namespace quorvane
