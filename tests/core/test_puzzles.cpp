#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "panic_message.hpp"
#include "puzzles/byte_state.hpp"
#include "puzzles/hanoi.hpp"
#include "puzzles/npuzzle.hpp"
#include "puzzles/word_ladder.hpp"
#include "state/fx_hash.hpp"

namespace quorvane {
namespace {

template <class Node>
std::vector<Node> nodes_of(const SuccessorList<Node>& list) {
    std::vector<Node> out;
    for (const auto& s : list) {
        EXPECT_EQ(s.cost, 1.0);
        out.push_back(s.node);
    }
    return out;
}

ByteState bytes_of(std::size_t n, uint8_t first) {
    ByteState s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(first + i);
    return s;
}

// --- ByteState -----------------------------------------------------------

TEST(ByteState, CopiesAndMovesKeepValueAcrossInlineAndHeapSizes) {
    for (std::size_t n : {0, 1, 16, 31, 32, 33, 100}) {
        const ByteState a = bytes_of(n, 7);
        ByteState copy = a;
        EXPECT_EQ(copy, a);
        ByteState moved = std::move(copy);
        EXPECT_EQ(moved, a);
        EXPECT_TRUE(copy.empty());
        ByteState assigned(3, 9);
        assigned = a;
        EXPECT_EQ(assigned, a);
        assigned = ByteState(5, 1);
        EXPECT_EQ(assigned, ByteState(5, 1));
        if (n != 0) {
            moved[n - 1] ^= 0xff;
            EXPECT_FALSE(moved == a);
        }
    }
}

TEST(ByteState, PrefixIsNeverEqual) {
    for (std::size_t n : {4, 40}) {
        const ByteState longer(n, 0);
        const ByteState shorter(n - 1, 0);
        EXPECT_FALSE(longer == shorter);
    }
}

TEST(ByteState, HashesLikeTheByteVectorFeed) {
    for (std::size_t n : {0, 3, 9, 16, 25, 32, 33, 70}) {
        const ByteState s = bytes_of(n, 200);
        const std::vector<uint8_t> v(s.begin(), s.end());
        EXPECT_EQ(FxHash<ByteState>{}(s), FxHash<std::vector<uint8_t>>{}(v)) << n;
    }
}

TEST(CountMismatches, ComparesOnlyTheShorterLength) {
    EXPECT_EQ(count_mismatches(ByteState{1, 2, 3}, ByteState{1, 5}), 1.0);
    EXPECT_EQ(count_mismatches(std::string("cold"), std::string("warm")), 4.0);
    EXPECT_EQ(count_mismatches(std::string("cat"), std::string("cot")), 1.0);
    EXPECT_EQ(count_mismatches(std::string("cat"), std::string("cat")), 0.0);
}

// --- N-puzzle ------------------------------------------------------------

TEST(NPuzzle, DefaultGoalPutsTheBlankLast) {
    EXPECT_EQ(NPuzzle(1).default_goal(), ByteState{0});
    EXPECT_EQ(NPuzzle(3).default_goal(), (ByteState{1, 2, 3, 4, 5, 6, 7, 8, 0}));
    const ByteState g16 = NPuzzle(16).default_goal();
    ASSERT_EQ(g16.size(), 256u);
    for (std::size_t i = 0; i < 255; ++i) EXPECT_EQ(g16[i], i + 1);
    EXPECT_EQ(g16[255], 0);
}

TEST(NPuzzle, SolvabilityFollowsTranspositionsPlusBlankDistance) {
    const NPuzzle p3(3);
    const ByteState goal = p3.default_goal();
    EXPECT_TRUE(p3.is_solvable(goal, goal));
    EXPECT_FALSE(p3.is_solvable(ByteState{2, 1, 3, 4, 5, 6, 7, 8, 0}, goal));
    EXPECT_TRUE(p3.is_solvable(ByteState{1, 2, 3, 4, 5, 6, 7, 0, 8}, goal));
    EXPECT_FALSE(p3.is_solvable(ByteState{1, 2, 3, 4, 5, 6, 7, 8}, goal));

    const NPuzzle p4(4);
    const ByteState g4 = p4.default_goal();
    ByteState up = g4;
    std::swap(up[15], up[11]);
    EXPECT_TRUE(p4.is_solvable(up, g4));
    std::swap(up[0], up[1]);
    EXPECT_FALSE(p4.is_solvable(up, g4));
}

TEST(NPuzzle, SolvableExactlyWhenReachableByRandomWalk) {
    // Every board reached by sliding is solvable; exchanging two tiles of it
    // never is.
    std::mt19937 rng(5);
    for (uint64_t side : {2, 3, 4, 5}) {
        const NPuzzle p(side);
        const ByteState goal = p.default_goal();
        ByteState s = goal;
        for (int step = 0; step < 200; ++step) {
            const auto next = p.successors(s);
            s = next[rng() % next.size()].node;
            EXPECT_TRUE(p.is_solvable(s, goal));
            ByteState swapped = s;
            const std::size_t a = s[0] == 0 ? 1 : 0, b = s[2] == 0 ? 3 : 2;
            std::swap(swapped[a], swapped[b]);
            EXPECT_FALSE(p.is_solvable(swapped, goal));
        }
    }
}

TEST(NPuzzle, OutOfRangeTileIsAPanic) {
    EXPECT_THROW(NPuzzle(2).is_solvable(ByteState{0, 1, 2, 9}, ByteState{1, 2, 3, 0}), Panic);
}

TEST(NPuzzle, SuccessorsMoveTheBlankUpDownLeftRight) {
    const NPuzzle p(3);
    EXPECT_EQ(nodes_of(p.successors(ByteState{1, 2, 3, 4, 0, 5, 6, 7, 8})),
              (std::vector<ByteState>{{1, 0, 3, 4, 2, 5, 6, 7, 8},
                                      {1, 2, 3, 4, 7, 5, 6, 0, 8},
                                      {1, 2, 3, 0, 4, 5, 6, 7, 8},
                                      {1, 2, 3, 4, 5, 0, 6, 7, 8}}));
    EXPECT_EQ(nodes_of(p.successors(ByteState{0, 1, 2, 3, 4, 5, 6, 7, 8})),
              (std::vector<ByteState>{{3, 1, 2, 0, 4, 5, 6, 7, 8}, {1, 0, 2, 3, 4, 5, 6, 7, 8}}));
    EXPECT_TRUE(NPuzzle(1).successors(ByteState{0}).empty());
}

TEST(NPuzzle, AppendingKeepsEarlierEntriesInFront) {
    const NPuzzle p(3);
    const ByteState s{1, 2, 3, 4, 0, 5, 6, 7, 8};
    SuccessorList<ByteState> out;
    out.push_back({ByteState{9}, 7.0});
    p.successors_into(s, out);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].node, ByteState{9});
    const auto fresh = p.successors(s);
    for (std::size_t i = 0; i < fresh.size(); ++i) EXPECT_EQ(out[i + 1].node, fresh[i].node);
}

TEST(NPuzzle, HeuristicValues) {
    const NPuzzle p(3);
    const ByteState goal = p.default_goal();
    EXPECT_EQ(p.manhattan(goal, goal), 0.0);
    EXPECT_EQ(NPuzzle::misplaced(goal, goal), 0.0);
    // Blank and tile 8 exchanged: one tile off by one cell.
    const ByteState one{1, 2, 3, 4, 5, 6, 7, 0, 8};
    EXPECT_EQ(p.manhattan(one, goal), 1.0);
    EXPECT_EQ(NPuzzle::misplaced(one, goal), 1.0);
    // 8 1 2 / 0 4 3 / 7 6 5.
    const ByteState s{8, 1, 2, 0, 4, 3, 7, 6, 5};
    EXPECT_EQ(p.manhattan(s, goal), 11.0);
    EXPECT_EQ(NPuzzle::misplaced(s, goal), 7.0);
    // A tile absent from the goal adds nothing.
    EXPECT_EQ(p.manhattan(ByteState{9, 2, 3, 4, 5, 6, 7, 8, 0}, goal), 0.0);
}

TEST(NPuzzleManhattan, PreparedTableMatchesDirectComputation) {
    std::mt19937 rng(11);
    for (uint64_t side : {1, 2, 3, 4, 5, 16}) {
        const NPuzzle p(side);
        ByteState goal = p.default_goal();
        std::shuffle(goal.data(), goal.data() + goal.size(), rng);
        const NPuzzleManhattan h(p, goal);
        ByteState s = goal;
        for (int i = 0; i < 50; ++i) {
            std::shuffle(s.data(), s.data() + s.size(), rng);
            EXPECT_EQ(h(s, goal), p.manhattan(s, goal));
            // Another goal falls back to the direct computation.
            EXPECT_EQ(h(goal, s), p.manhattan(goal, s));
        }
    }
}

// --- Towers of Hanoi -----------------------------------------------------

TEST(Hanoi, PegLimits) {
    EXPECT_NO_THROW(Hanoi(3, 1));
    EXPECT_NO_THROW(Hanoi(3, 16));
    EXPECT_EQ(panic_message([] { Hanoi(3, 0); }), "pegs must be between 1 and 16, got 0");
    EXPECT_EQ(panic_message([] { Hanoi(3, 17); }), "pegs must be between 1 and 16, got 17");
}

TEST(Hanoi, StartGoalAndMisplaced) {
    const Hanoi h(3, 4);
    EXPECT_EQ(h.start(), (ByteState{0, 0, 0}));
    EXPECT_EQ(h.goal(), (ByteState{3, 3, 3}));
    EXPECT_EQ(MismatchHeuristic{}(h.start(), h.goal()), 3.0);
    EXPECT_EQ(MismatchHeuristic{}(h.goal(), h.goal()), 0.0);
    const Hanoi one(2, 1);
    EXPECT_EQ(one.start(), one.goal());
    EXPECT_TRUE(one.successors(one.start()).empty());
}

TEST(Hanoi, SuccessorsBySourceThenTargetPeg) {
    EXPECT_EQ(nodes_of(Hanoi(1, 3).successors(ByteState{0})), (std::vector<ByteState>{{1}, {2}}));
    EXPECT_EQ(nodes_of(Hanoi(2, 3).successors(ByteState{0, 0})),
              (std::vector<ByteState>{{1, 0}, {2, 0}}));
    EXPECT_EQ(nodes_of(Hanoi(2, 3).successors(ByteState{0, 1})),
              (std::vector<ByteState>{{1, 1}, {2, 1}, {0, 2}}));
    // A disk on a peg beyond the count neither moves nor blocks.
    EXPECT_EQ(nodes_of(Hanoi(2, 3).successors(ByteState{5, 0})),
              (std::vector<ByteState>{{5, 1}, {5, 2}}));
}

// --- Word ladder ---------------------------------------------------------

WordLadder ladder_of(std::initializer_list<const char*> words) {
    WordLadder w;
    for (const char* s : words) w.insert(s);
    return w;
}

TEST(WordLadder, SuccessorsByPositionThenLetter) {
    const WordLadder w = ladder_of({"cat", "cot", "cog", "dog", "bat"});
    EXPECT_EQ(nodes_of(w.successors("cat")), (std::vector<std::string>{"bat", "cot"}));
    EXPECT_EQ(nodes_of(w.successors("cot")), (std::vector<std::string>{"cat", "cog"}));
    EXPECT_EQ(nodes_of(ladder_of({"cat"}).successors("c-t")), (std::vector<std::string>{"cat"}));
}

TEST(WordLadder, NoSuccessorsWithoutDictionaryNeighbours) {
    EXPECT_TRUE(ladder_of({"a\xc3\xa9"}).successors("\xc3\xa9").empty());
    EXPECT_TRUE(ladder_of({"", "a"}).successors("").empty());
    EXPECT_TRUE(WordLadder{}.successors("cat").empty());
}

TEST(WordLadder, MultiByteCharactersAreSkippedInValidWordsOnly) {
    // "é" + "t": only position 2 can change.
    EXPECT_EQ(nodes_of(ladder_of({"\xc3\xa9t", "\xc3\xa9z", "at"}).successors("\xc3\xa9t")),
              (std::vector<std::string>{"\xc3\xa9z"}));
    // A stray continuation byte: replacing it repairs the word.
    EXPECT_EQ(nodes_of(ladder_of({"ab"}).successors("a\xa9")), (std::vector<std::string>{"ab"}));
}

TEST(Utf8, RejectsMalformedSequences) {
    EXPECT_TRUE(is_valid_utf8("h\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"));
    for (const char* bad : {"\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc3",
                            "\xa9", "\xf8\x88\x80\x80\x80"}) {
        EXPECT_FALSE(is_valid_utf8(bad)) << bad;
    }
}

}  // namespace
}  // namespace quorvane
