// Depth-limited search, iterative deepening and IDA* on small graphs whose
// runs can be followed by hand, plus the path-cost rule they price paths by.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "adjacency_domain.hpp"
#include "drivers/depth_limited.hpp"
#include "drivers/ida_star.hpp"
#include "drivers/iddfs.hpp"
#include "state/path_cost.hpp"

namespace quorvane {
namespace {

using test_support::AdjDomain;
using test_support::kInf;
using test_support::kNaN;
using test_support::trace_of;
using Trace = std::vector<std::tuple<uint64_t, std::optional<double>, uint64_t>>;

void expect_counts(const SearchOutcome<uint64_t>& o, uint64_t expanded, uint64_t generated,
                   uint64_t frontier) {
    EXPECT_EQ(o.nodes_expanded, expanded);
    EXPECT_EQ(o.nodes_generated, generated);
    EXPECT_EQ(o.max_frontier_size, frontier);
    EXPECT_EQ(o.nodes_reopened, 0u);
    EXPECT_TRUE(o.tree.empty());
}

// A heuristic read from a table, counting its calls.
struct TableHeuristic {
    std::vector<double> h;
    int* calls;
    double operator()(const uint64_t& n, const uint64_t&) const {
        ++*calls;
        return h[n];
    }
};

TEST(PathCost, CheapestParallelEntryPricesEachStep) {
    const auto g = AdjDomain::build(
        3, {{0, 1, 5.0}, {0, 1, kNaN}, {0, 1, 2.0}, {1, 2, 0.5}, {1, 2, 3.0}}, false);
    EXPECT_EQ(path_cost_from_successors(g, {0, 1, 2}), 2.5);
    EXPECT_EQ(g.calls, 2u);
}

TEST(PathCost, ShortPathsCostNothingAndComputeNoSuccessors) {
    const auto g = AdjDomain::build(1, {}, false);
    EXPECT_EQ(path_cost_from_successors(g, {}), 0.0);
    EXPECT_EQ(path_cost_from_successors(g, {0}), 0.0);
    EXPECT_EQ(g.calls, 0u);
}

TEST(DepthLimited, StartEqualToGoalComputesNoSuccessors) {
    const auto g = AdjDomain::build(2, {{0, 1, 1.0}}, true);
    const auto o = dls(g, 0, 0, 5, true);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(*o.path, (std::vector<uint64_t>{0}));
    EXPECT_EQ(o.cost, 0.0);
    EXPECT_EQ(o.stop_reason, StopReason::goal);
    expect_counts(o, 1, 1, 1);
    EXPECT_EQ(trace_of(o), (Trace{{0, 0.0, 0}}));
    EXPECT_EQ(g.calls, 0u);
}

TEST(DepthLimited, DeepChainRunsOnTheExplicitStack) {
    const uint64_t n = 200000;
    std::vector<test_support::Arc> chain;
    for (uint64_t i = 0; i + 1 < n; ++i) chain.push_back({i, i + 1, 1.0});
    const auto g = AdjDomain::build(n, chain, false);
    const auto o = dls(g, 0, n - 1, n, false);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(o.path->size(), n);
    EXPECT_EQ(o.cost, static_cast<double>(n - 1));
    EXPECT_EQ(o.max_frontier_size, n - 1);
}

TEST(IdaStar, StartEqualToGoalEvaluatesHTwiceAndNoSuccessors) {
    const auto g = AdjDomain::build(2, {{0, 1, 1.0}}, true);
    int calls = 0;
    const auto o = ida_star(g, 0, 0, TableHeuristic{{3.0, 0.0}, &calls}, true);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(o.cost, 0.0);
    expect_counts(o, 1, 1, 1);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(g.calls, 0u);
}

TEST(IdaStar, InfiniteEstimatesNeverLowerTheBound) {
    const auto g = AdjDomain::build(3, {{0, 1, 1.0}, {1, 2, 1.0}}, false);
    int calls = 0;
    const auto o = ida_star(g, 0, 2, TableHeuristic{{0.0, kInf, 0.0}, &calls}, true);
    EXPECT_FALSE(o.found());
    EXPECT_EQ(o.stop_reason, StopReason::exhausted);
    expect_counts(o, 1, 2, 1);
}

// h(start) is 0, 1, 2, +inf at its successive calls: the start is pruned at
// its own visit in every iteration.
struct GrowingStartHeuristic {
    int* calls;
    double operator()(const uint64_t& n, const uint64_t&) const {
        if (n != 0) return 0.0;
        const int c = (*calls)++;
        return c < 3 ? static_cast<double>(c) : kInf;
    }
};

TEST(IdaStar, PrunedStartEndsTheIterationWithItsOwnF) {
    const auto g = AdjDomain::build(2, {{0, 1, 1.0}}, false);
    int calls = 0;
    const auto o = ida_star(g, 0, 1, GrowingStartHeuristic{&calls}, true);
    EXPECT_FALSE(o.found());
    EXPECT_EQ(o.stop_reason, StopReason::exhausted);
    expect_counts(o, 0, 1, 1);
    EXPECT_TRUE(o.trace.empty());
    EXPECT_EQ(calls, 4);
}

TEST(IdaStar, NegativeStepsAndParallelArcsKeepTheRules) {
    const auto g = AdjDomain::build(3, {{0, 1, 2.0}, {0, 1, -1.0}, {1, 2, 1.0}}, false);
    int calls = 0;
    const auto o = ida_star(g, 0, 2, TableHeuristic{{0.0, 0.0, 0.0}, &calls}, true);
    ASSERT_TRUE(o.found());
    // bound 0: 0; 1 via 2.0 pruned (f 2); 1 via -1.0 (f -1); 2 (f 0), the goal.
    EXPECT_EQ(trace_of(o), (Trace{{0, 0.0, 0}, {1, -1.0, 1}, {2, 0.0, 2}}));
    expect_counts(o, 3, 4, 2);
    EXPECT_EQ(*o.path, (std::vector<uint64_t>{0, 1, 2}));
    EXPECT_EQ(o.cost, 0.0);
}

// Nodes that own heap storage go through the same drivers.
struct WordGraph {
    using Node = std::string;
    void successors_into(const Node& n, SuccessorList<Node>& out) const {
        if (n.size() < 4) {
            out.push_back({n + "a", 1.0});
            out.push_back({n + "b", 1.0});
        }
    }
    SuccessorList<Node> successors(const Node& n) const {
        SuccessorList<Node> out;
        successors_into(n, out);
        return out;
    }
};

TEST(IdaStar, OwningNodesAreCopiedIntoPathAndTrace) {
    const auto o =
        ida_star(WordGraph{}, std::string("x"), std::string("xbab"), ZeroHeuristic{}, true);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(*o.path, (std::vector<std::string>{"x", "xb", "xba", "xbab"}));
    EXPECT_EQ(o.cost, 3.0);
    EXPECT_EQ(o.trace.back().node, "xbab");
    const auto d = iddfs(WordGraph{}, std::string("x"), std::string("xbab"), 10, false);
    EXPECT_EQ(d.path, o.path);
}

}  // namespace
}  // namespace quorvane
