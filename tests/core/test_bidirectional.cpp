// Unit invariants of the bidirectional driver, plain and checked, on a small
// adjacency-list domain.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "adjacency_domain.hpp"
#include "drivers/bidirectional.hpp"
#include "same_outcome.hpp"

namespace quorvane {
namespace {

using test_support::AdjDomain;
using test_support::Arc;
using test_support::kInf;
using test_support::kNaN;
using test_support::N;

// 3x3 grid of cells r*3+c, moves up, down, left, right, priced by the
// terrain cost of the entered cell.
AdjDomain grid3(const std::vector<double>& terrain) {
    std::vector<Arc> arcs;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const int moves[4][2] = {{r - 1, c}, {r + 1, c}, {r, c - 1}, {r, c + 1}};
            for (const auto& m : moves)
                if (m[0] >= 0 && m[0] < 3 && m[1] >= 0 && m[1] < 3)
                    arcs.push_back({N(r * 3 + c), N(m[0] * 3 + m[1]), terrain[m[0] * 3 + m[1]]});
        }
    return AdjDomain::build(9, arcs, false);
}

TEST(Bidirectional, NaNCandidateLosesToANumberAndAllNaNKeepsTheLast) {
    // 0-1, 0-2 cost 1; 1-3 NaN; 2-3 either 5 or +inf. Backward expansion of
    // 3 meets 1 then 2.
    const auto a = AdjDomain::build(4, {{0, 1, 1}, {0, 2, 1}, {1, 3, kNaN}, {2, 3, 5}}, true);
    const auto out = bidirectional_search(a, N{0}, N{3}, false);
    EXPECT_EQ(*out.path, (std::vector<N>{0, 2, 3}));
    EXPECT_EQ(out.cost, 6.0);
    const auto b = AdjDomain::build(4, {{0, 1, 1}, {0, 2, 1}, {1, 3, kNaN}, {2, 3, kInf}}, true);
    const auto all_nan = bidirectional_search(b, N{0}, N{3}, false);
    EXPECT_EQ(*all_nan.path, (std::vector<N>{0, 2, 3}));
    EXPECT_TRUE(std::isnan(all_nan.cost));
}

// Directed graphs: the backward side may only take steps that are moves.
const std::vector<Arc> kNoPath{{0, 1, 1}, {0, 3, 1}, {2, 1, 1}};  // 0 cannot reach 2
const std::vector<Arc> kSinkGoal{{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {1, 4, 2}, {4, 5, 3}};

TEST(Bidirectional, CheckedModeRejectsBackwardStepsThatAreNoMoves) {
    const auto d = AdjDomain::build(4, kNoPath, false);
    const auto out = bidirectional_search_checked(d, N{0}, N{2}, true);
    EXPECT_EQ(out.stop_reason, StopReason::exhausted);
    EXPECT_FALSE(out.path.has_value());
    // forward 0; backward 2 (proposes 1, which has no move to 2); forward
    // carries on alone through 1 and 3
    EXPECT_EQ(out.nodes_expanded, 4u);
    EXPECT_EQ(out.nodes_generated, 4u);
}

TEST(Bidirectional, CheckedModeCarriesOnForwardWhenTheBackwardSideRunsDry) {
    const auto d = AdjDomain::build(6, kSinkGoal, false);
    const auto out = bidirectional_search_checked(d, N{0}, N{5}, false);
    EXPECT_EQ(*out.path, (std::vector<N>{0, 1, 4, 5}));
    EXPECT_EQ(out.cost, 6.0);
}

TEST(Bidirectional, CheckedModeMatchesPlainModeOnSymmetricMoves) {
    const auto d = grid3(std::vector<double>(9, 1.0));
    const auto plain = bidirectional_search(d, N{8}, N{0}, true);
    const auto checked = bidirectional_search_checked(d, N{8}, N{0}, true);
    expect_same_outcome(plain, checked);
}

}  // namespace
}  // namespace quorvane
