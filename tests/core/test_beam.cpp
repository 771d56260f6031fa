// Unit invariants of the beam driver on a small adjacency-list domain.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include "adjacency_domain.hpp"
#include "drivers/beam.hpp"

namespace quorvane {
namespace {

using test_support::AdjDomain;
using test_support::kInf;
using test_support::kNaN;
using test_support::N;
using test_support::TableHeuristic;
using test_support::trace_of;

constexpr uint64_t kUnbounded = std::numeric_limits<uint64_t>::max();

// 0 -> 1, 2, 3; 2 -> 4; 3 -> 4, 5; 1 -> 6; 5 -> 6; goal 6.
AdjDomain beam_graph() {
    return AdjDomain::build(
        7, {{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {2, 4, 1}, {3, 4, 5}, {3, 5, 1}, {1, 6, 1}, {5, 6, 1}},
        false);
}
const TableHeuristic kBeamH{{9, 3, 1, 2, 1, 0, 0}};

TEST(BeamSearch, WidthTwoCutsTheWorstCandidateAndFollowsFirstParents) {
    const auto d = beam_graph();
    const auto out = beam_search(d, N{0}, N{6}, 2, kBeamH, true);
    EXPECT_EQ(out.stop_reason, StopReason::goal);
    EXPECT_EQ(*out.path, (std::vector<N>{0, 3, 5, 6}));
    EXPECT_EQ(out.cost, 3.0);
    EXPECT_EQ(out.nodes_expanded, 6u);
    EXPECT_EQ(out.nodes_generated, 7u);
    EXPECT_EQ(out.max_frontier_size, 2u);
    EXPECT_EQ(out.nodes_reopened, 0u);
    EXPECT_TRUE(out.tree.empty());
    using T = std::tuple<N, std::optional<double>, uint64_t>;
    EXPECT_EQ(trace_of(out),
              (std::vector<T>{
                  {0, 0.0, 0}, {2, 1.0, 0}, {3, 1.0, 1}, {5, 2.0, 0}, {4, 2.0, 1}, {6, 3.0, 0}}));
}

TEST(BeamSearch, UnboundedWidthKeepsEveryNewNodeOrderedByH) {
    const auto d = beam_graph();
    const auto out = beam_search(d, N{0}, N{6}, kUnbounded, kBeamH, true);
    EXPECT_EQ(*out.path, (std::vector<N>{0, 1, 6}));
    EXPECT_EQ(out.cost, 2.0);
    EXPECT_EQ(out.nodes_expanded, 6u);
    EXPECT_EQ(out.nodes_generated, 7u);
    EXPECT_EQ(out.max_frontier_size, 3u);
    using T = std::tuple<N, std::optional<double>, uint64_t>;
    EXPECT_EQ(trace_of(out),
              (std::vector<T>{
                  {0, 0.0, 0}, {2, 1.0, 0}, {3, 1.0, 1}, {1, 1.0, 2}, {5, 2.0, 0}, {6, 2.0, 0}}));
}

TEST(BeamSearch, GoalCutByTheWidthEndsExhausted) {
    const auto d = beam_graph();
    const auto out = beam_search(d, N{0}, N{6}, 1, kBeamH, true);
    EXPECT_EQ(out.stop_reason, StopReason::exhausted);
    EXPECT_FALSE(out.path.has_value());
    EXPECT_EQ(out.cost, kInf);
    EXPECT_EQ(out.nodes_expanded, 3u);
    EXPECT_EQ(out.nodes_generated, 5u);
    EXPECT_EQ(out.max_frontier_size, 1u);
}

TEST(BeamSearch, StartIsGoalAsksTheDomainNothing) {
    const auto d = beam_graph();
    const auto out = beam_search(d, N{3}, N{3}, kUnbounded, kBeamH, true);
    EXPECT_EQ(*out.path, std::vector<N>{3});
    EXPECT_EQ(out.cost, 0.0);
    EXPECT_EQ(out.nodes_expanded, 1u);
    EXPECT_EQ(out.nodes_generated, 1u);
    EXPECT_EQ(out.max_frontier_size, 1u);
    EXPECT_EQ(d.calls, 0u);
    using T = std::tuple<N, std::optional<double>, uint64_t>;
    EXPECT_EQ(trace_of(out), (std::vector<T>{{3, 0.0, 0}}));
}

TEST(BeamSearch, StepWithOnlyNonFiniteCostPricesNaN) {
    for (double w : {kNaN, kInf}) {
        const auto d = AdjDomain::build(3, {{0, 1, 1.0}, {1, 2, w}}, false);
        const auto out = beam_search(d, N{0}, N{2}, kUnbounded, ZeroHeuristic{}, false);
        EXPECT_EQ(out.stop_reason, StopReason::goal);
        EXPECT_TRUE(std::isnan(out.cost));
    }
}

TEST(BeamSearch, CandidatesOrderNaNLastAndSignedZerosAsEqual) {
    // Children 1..5 of 0 with h NaN, +0, -inf, NaN, -0: the next layer is
    // 3, 2, 5, 1, 4, visible as the order of expansions.
    const auto d =
        AdjDomain::build(7, {{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {0, 4, 1}, {0, 5, 1}}, false);
    const TableHeuristic h{{0, kNaN, 0.0, -kInf, kNaN, -0.0, 0}};
    const auto out = beam_search(d, N{0}, N{6}, kUnbounded, h, true);
    std::vector<N> expanded;
    for (const auto& e : out.trace) expanded.push_back(e.node);
    EXPECT_EQ(expanded, (std::vector<N>{0, 3, 2, 5, 1, 4}));
    EXPECT_EQ(out.stop_reason, StopReason::exhausted);
}

}  // namespace
}  // namespace quorvane
