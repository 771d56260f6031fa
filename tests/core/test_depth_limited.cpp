// Depth-limited search, iterative deepening and IDA* on small graphs whose
// runs can be followed by hand, plus the path-cost rule they price paths by.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "drivers/depth_limited.hpp"
#include "drivers/ida_star.hpp"
#include "drivers/iddfs.hpp"
#include "state/on_path_set.hpp"
#include "state/path_cost.hpp"

namespace quorvane {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Arcs in insertion order; counts successor-list computations.
struct AdjGraph {
    using Node = uint64_t;
    std::vector<SuccessorList<Node>> arcs;
    mutable int calls = 0;

    explicit AdjGraph(std::size_t n) : arcs(n) {}
    AdjGraph& arc(Node u, Node v, double w) {
        arcs[u].push_back({v, w});
        return *this;
    }
    AdjGraph& edge(Node u, Node v, double w) { return arc(u, v, w).arc(v, u, w); }

    void successors_into(const Node& n, SuccessorList<Node>& out) const {
        ++calls;
        out.insert(out.end(), arcs[n].begin(), arcs[n].end());
    }
    SuccessorList<Node> successors(const Node& n) const {
        SuccessorList<Node> out;
        successors_into(n, out);
        return out;
    }
};

using Trace = std::vector<std::pair<uint64_t, uint64_t>>;  // (node, frontier size)

template <class Node>
Trace trace_of(const SearchOutcome<Node>& o) {
    Trace t;
    for (const auto& e : o.trace) t.emplace_back(e.node, e.frontier_size);
    return t;
}

std::vector<double> gs_of(const SearchOutcome<uint64_t>& o) {
    std::vector<double> gs;
    for (const auto& e : o.trace) gs.push_back(*e.g);
    return gs;
}

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
    AdjGraph g(3);
    g.arc(0, 1, 5.0).arc(0, 1, kNaN).arc(0, 1, 2.0).arc(1, 2, 0.5).arc(1, 2, 3.0);
    EXPECT_EQ(path_cost_from_successors(g, {0, 1, 2}), 2.5);
    EXPECT_EQ(g.calls, 2);
}

TEST(PathCost, ShortPathsCostNothingAndComputeNoSuccessors) {
    AdjGraph g(1);
    EXPECT_EQ(path_cost_from_successors(g, {}), 0.0);
    EXPECT_EQ(path_cost_from_successors(g, {0}), 0.0);
    EXPECT_EQ(g.calls, 0);
}

TEST(DepthLimited, StartEqualToGoalComputesNoSuccessors) {
    AdjGraph g(2);
    g.edge(0, 1, 1.0);
    const auto o = dls(g, 0, 0, 5, true);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(*o.path, (std::vector<uint64_t>{0}));
    EXPECT_EQ(o.cost, 0.0);
    EXPECT_EQ(o.stop_reason, StopReason::goal);
    expect_counts(o, 1, 1, 1);
    EXPECT_EQ(trace_of(o), (Trace{{0, 0}}));
    EXPECT_EQ(g.calls, 0);
}

TEST(DepthLimited, DeepChainRunsOnTheExplicitStack) {
    const uint64_t n = 200000;
    AdjGraph g(n);
    for (uint64_t i = 0; i + 1 < n; ++i) g.arc(i, i + 1, 1.0);
    const auto o = dls(g, 0, n - 1, n, false);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(o.path->size(), n);
    EXPECT_EQ(o.cost, static_cast<double>(n - 1));
    EXPECT_EQ(o.max_frontier_size, n - 1);
}

TEST(IdaStar, StartEqualToGoalEvaluatesHTwiceAndNoSuccessors) {
    AdjGraph g(2);
    g.edge(0, 1, 1.0);
    int calls = 0;
    const auto o = ida_star(g, 0, 0, TableHeuristic{{3.0, 0.0}, &calls}, true);
    ASSERT_TRUE(o.found());
    EXPECT_EQ(o.cost, 0.0);
    expect_counts(o, 1, 1, 1);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(g.calls, 0);
}

TEST(IdaStar, InfiniteEstimatesNeverLowerTheBound) {
    AdjGraph g(3);
    g.arc(0, 1, 1.0).arc(1, 2, 1.0);
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
    AdjGraph g(2);
    g.arc(0, 1, 1.0);
    int calls = 0;
    const auto o = ida_star(g, 0, 1, GrowingStartHeuristic{&calls}, true);
    EXPECT_FALSE(o.found());
    EXPECT_EQ(o.stop_reason, StopReason::exhausted);
    expect_counts(o, 0, 1, 1);
    EXPECT_TRUE(o.trace.empty());
    EXPECT_EQ(calls, 4);
}

TEST(IdaStar, NegativeStepsAndParallelArcsKeepTheRules) {
    AdjGraph g(3);
    g.arc(0, 1, 2.0).arc(0, 1, -1.0).arc(1, 2, 1.0);
    int calls = 0;
    const auto o = ida_star(g, 0, 2, TableHeuristic{{0.0, 0.0, 0.0}, &calls}, true);
    ASSERT_TRUE(o.found());
    // bound 0: 0; 1 via 2.0 pruned (f 2); 1 via -1.0 (f -1); 2 (f 0), the goal.
    EXPECT_EQ(trace_of(o), (Trace{{0, 0}, {1, 1}, {2, 2}}));
    EXPECT_EQ(gs_of(o), (std::vector<double>{0.0, -1.0, 0.0}));
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
