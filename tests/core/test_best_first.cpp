// The best-first driver: the worked example on a small graph, node limits,
// reopening, duplicates, NaN, negative cycles, and identical results from
// the dense and hashed reached tables.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "adjacency_domain.hpp"
#include "drivers/best_first.hpp"
#include "graph/csr.hpp"
#include "graph/grid.hpp"
#include "same_outcome.hpp"

namespace quorvane {
namespace {

using test_support::kInf;
using test_support::TableHeuristic;
using test_support::trace_of;
using Trace = std::vector<std::tuple<uint64_t, std::optional<double>, uint64_t>>;
using Edges = std::vector<std::pair<uint64_t, uint64_t>>;

// Forwards successors only, so searches on it take the hashed table.
template <class D>
struct HashedOnly {
    using Node = typename D::Node;
    const D* inner;
    void successors_into(const Node& n, SuccessorList<Node>& out) const {
        inner->successors_into(n, out);
    }
    SuccessorList<Node> successors(const Node& n) const { return inner->successors(n); }
};

Csr graph(uint64_t n, std::vector<Edge> edges, bool undirected) {
    return Csr::from_edges(n, edges, undirected);
}

template <class Node>
Edges tree_of(const SearchOutcome<Node>& o) {
    Edges t;
    for (const auto& e : o.tree) t.emplace_back(e.parent, e.child);
    return t;
}

const BestFirstConfig kUcs{FrontierKind::priority, 1.0, 0.0};
const BestFirstConfig kBfs{FrontierKind::fifo, 1.0, 0.0};
const BestFirstConfig kDfs{FrontierKind::lifo, 1.0, 0.0};
const BestFirstConfig kAstar{FrontierKind::priority, 1.0, 1.0};

Csr worked_example() {
    return graph(4, {{0, 1, 1.0}, {0, 2, 4.0}, {1, 2, 1.0}, {2, 3, 1.0}}, true);
}

// ucs, bfs and dfs to the goal, and ucs stopped by a node limit of 3 and
// not stopped by one of 4.
template <class D>
void check_worked_example(const D& g) {
    struct Case {
        BestFirstConfig config;
        std::optional<uint64_t> limit;
        std::optional<std::vector<uint64_t>> path;
        double cost;
        uint64_t expanded, generated;
        Trace trace;
        Edges tree;
    };
    const std::vector<uint64_t> ucs_path{0, 1, 2, 3};
    const Trace ucs_trace{{0, 0.0, 0}, {1, 1.0, 1}, {2, 2.0, 1}, {3, 3.0, 1}};
    const Edges chain{{0, 1}, {1, 2}, {2, 3}};
    const Case cases[] = {
        {kUcs, {}, ucs_path, 3.0, 4, 5, ucs_trace, chain},
        {kUcs, 4, ucs_path, 3.0, 4, 5, ucs_trace, chain},
        {kBfs,
         {},
         ucs_path,
         3.0,
         4,
         5,
         {{0, 0.0, 0}, {1, 1.0, 1}, {2, 2.0, 1}, {3, 3.0, 0}},
         chain},
        {kDfs,
         {},
         std::vector<uint64_t>{0, 2, 3},
         5.0,
         3,
         4,
         {{0, 0.0, 0}, {2, 4.0, 1}, {3, 5.0, 1}},
         {{0, 1}, {0, 2}, {2, 3}}},
        {kUcs,
         3,
         std::nullopt,
         kInf,
         3,
         4,
         {{0, 0.0, 0}, {1, 1.0, 1}, {2, 2.0, 1}},
         {{0, 1}, {1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(c.config.kind) << " limit "
                                        << c.limit.value_or(0));
        const BestFirstLimits limits{c.limit, true, false};
        const auto o = best_first_search(g, 0, 3, c.config, ZeroHeuristic{}, limits);
        EXPECT_EQ(o.stop_reason, c.path ? StopReason::goal : StopReason::node_limit);
        EXPECT_EQ(o.path, c.path);
        EXPECT_EQ(o.cost, c.cost);
        EXPECT_EQ(o.nodes_expanded, c.expanded);
        EXPECT_EQ(o.nodes_generated, c.generated);
        EXPECT_EQ(o.max_frontier_size, 2u);
        EXPECT_EQ(o.nodes_reopened, 0u);
        EXPECT_EQ(trace_of(o), c.trace);
        EXPECT_EQ(tree_of(o), c.tree);
    }
}

TEST(BestFirst, WorkedExampleWithDenseTable) { check_worked_example(worked_example()); }

TEST(BestFirst, WorkedExampleWithHashedTable) {
    const Csr g = worked_example();
    check_worked_example(HashedOnly<Csr>{&g});
}

TEST(BestFirst, StartEqualToGoalIsFoundEvenWithNodeLimitZero) {
    const Csr g = worked_example();
    for (const std::optional<uint64_t> limit :
         {std::optional<uint64_t>{}, std::optional<uint64_t>{0}}) {
        const auto o = best_first_search(g, 2, 2, kAstar, ZeroHeuristic{},
                                         BestFirstLimits{limit, true, false});
        EXPECT_EQ(o.path, (std::vector<uint64_t>{2}));
        EXPECT_EQ(o.cost, 0.0);
        EXPECT_EQ(o.nodes_expanded, 1u);
        EXPECT_EQ(o.nodes_generated, 1u);
        EXPECT_EQ(o.max_frontier_size, 1u);
        EXPECT_EQ(trace_of(o), (Trace{{2, 0.0, 0}}));
        EXPECT_TRUE(o.tree.empty());
    }
}

TEST(BestFirst, NodeLimitZeroOrOneStopsAtTheFirstPop) {
    const Csr g = worked_example();
    for (const uint64_t limit : {0u, 1u}) {
        const auto o =
            best_first_search(g, 0, 3, kBfs, ZeroHeuristic{}, BestFirstLimits{limit, true, false});
        EXPECT_EQ(o.stop_reason, StopReason::node_limit);
        EXPECT_EQ(o.nodes_expanded, 1u);
        EXPECT_EQ(o.nodes_generated, 1u);
        EXPECT_EQ(trace_of(o), (Trace{{0, 0.0, 0}}));
        EXPECT_TRUE(o.tree.empty());
    }
}

// 0 -> 1 (1), 0 -> 2 (3), 1 -> 2 (1), 2 -> 3 (5); h(1) = 4 is inconsistent,
// so node 2 is closed at g 3 before the cheaper path through 1 appears.
TEST(BestFirst, ReopeningWithAnInconsistentHeuristic) {
    const Csr g = graph(4, {{0, 1, 1.0}, {0, 2, 3.0}, {1, 2, 1.0}, {2, 3, 5.0}}, false);
    const TableHeuristic h{{0.0, 4.0, 0.0, 0.0}};

    const auto off = best_first_search(g, 0, 3, kAstar, h, BestFirstLimits{});
    EXPECT_EQ(off.path, (std::vector<uint64_t>{0, 2, 3}));
    EXPECT_EQ(off.cost, 8.0);
    EXPECT_EQ(off.nodes_expanded, 4u);
    EXPECT_EQ(off.nodes_generated, 4u);
    EXPECT_EQ(off.nodes_reopened, 0u);
    EXPECT_EQ(trace_of(off), (Trace{{0, 0.0, 0}, {2, 3.0, 1}, {1, 1.0, 1}, {3, 8.0, 0}}));

    const auto on = best_first_search(g, 0, 3, kAstar, h, BestFirstLimits{{}, true, true});
    EXPECT_EQ(on.path, (std::vector<uint64_t>{0, 1, 2, 3}));
    EXPECT_EQ(on.cost, 7.0);
    EXPECT_EQ(on.nodes_expanded, 5u);
    EXPECT_EQ(on.nodes_generated, 6u);
    EXPECT_EQ(on.nodes_reopened, 1u);
    EXPECT_EQ(trace_of(on),
              (Trace{{0, 0.0, 0}, {2, 3.0, 1}, {1, 1.0, 1}, {2, 2.0, 1}, {3, 7.0, 1}}));
    EXPECT_EQ(tree_of(on), (Edges{{0, 1}, {1, 2}, {2, 3}}));
}

TEST(BestFirst, RepeatedChildPushedAgainOnlyWhenStrictlyCheaper) {
    // Parallel arcs 0 -> 1 of 5, 2, 2; a zero-cost self-loop on 1.
    const Csr g =
        graph(3, {{0, 1, 5.0}, {0, 1, 2.0}, {0, 1, 2.0}, {1, 1, 0.0}, {1, 2, 1.0}}, false);
    const auto o =
        best_first_search(g, 0, 2, kUcs, ZeroHeuristic{}, BestFirstLimits{{}, true, true});
    EXPECT_EQ(o.cost, 3.0);
    EXPECT_EQ(o.nodes_generated, 4u);  // start, the 5.0 arc, the first 2.0 arc, node 2
    EXPECT_EQ(o.max_frontier_size, 2u);
    EXPECT_EQ(tree_of(o), (Edges{{0, 1}, {1, 2}}));
    EXPECT_EQ(o.nodes_reopened, 0u);
}

TEST(BestFirst, NaNStepCostIsNeverImprovedAndItsEntryLeavesByPushOrder) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Csr g = graph(3, {{0, 1, nan}, {0, 2, 1.0}, {2, 1, 1.0}}, false);
    const auto o = best_first_search(g, 0, 1, kUcs, ZeroHeuristic{}, BestFirstLimits{});
    ASSERT_TRUE(o.path.has_value());
    EXPECT_EQ(*o.path, (std::vector<uint64_t>{0, 1}));
    EXPECT_TRUE(std::isnan(o.cost));
    EXPECT_EQ(o.nodes_expanded, 2u);
}

TEST(BestFirst, NegativeCycleWithReopeningStillEnds) {
    // An undirected negative edge is a negative cycle; node 3 is unreachable.
    const Csr g = graph(4, {{0, 1, -1.0}, {1, 2, 1.0}}, true);
    const auto o =
        best_first_search(g, 0, 3, kUcs, ZeroHeuristic{}, BestFirstLimits{{}, true, true});
    EXPECT_EQ(o.stop_reason, StopReason::exhausted);
    const auto found =
        best_first_search(g, 0, 2, kBfs, ZeroHeuristic{}, BestFirstLimits{{}, true, true});
    EXPECT_EQ(found.stop_reason, StopReason::goal);
    EXPECT_EQ(found.path->back(), 2u);
}

TEST(BestFirst, UnreachableGoalExhaustsAfterExpandingEveryReachableNodeOnce) {
    const Csr g = graph(5, {{0, 1, 1.0}, {1, 2, 1.0}, {2, 0, 1.0}, {3, 4, 1.0}}, true);
    const auto o = best_first_search(g, 0, 4, kUcs, ZeroHeuristic{}, BestFirstLimits{});
    EXPECT_EQ(o.stop_reason, StopReason::exhausted);
    EXPECT_EQ(o.nodes_expanded, 3u);
    EXPECT_EQ(o.cost, kInf);
    EXPECT_FALSE(o.path.has_value());
}

// Every algorithm family, with greedy, weighted A* and a g weight of 2.
const BestFirstConfig kConfigs[] = {kUcs,
                                    kBfs,
                                    kDfs,
                                    kAstar,
                                    {FrontierKind::priority, 0.0, 1.0},
                                    {FrontierKind::priority, 2.0, 0.0},
                                    {FrontierKind::priority, 1.0, 3.0}};

TEST(BestFirst, DenseAndHashedTablesGiveIdenticalOutcomesOnGrids) {
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        Grid grid(23, 17);
        grid.set_diagonal(round % 2 == 1);
        for (int r = 0; r < 17; ++r)
            for (int c = 0; c < 23; ++c) {
                if (rng() % 4 == 0) grid.set_wall({r, c}, true);
                grid.set_cost({r, c}, 1.0 + rng() % 5);
            }
        const Cell start{0, 0};
        const Cell goal{16, 22};
        grid.set_wall(start, false);
        grid.set_wall(goal, false);
        const HashedOnly<Grid> hashed{&grid};
        for (const auto& config : kConfigs) {
            for (const bool reopen : {false, true}) {
                const BestFirstLimits limits{{}, true, reopen};
                expect_same_outcome(
                    best_first_search(grid, start, goal, config, GridEuclidean{}, limits),
                    best_first_search(hashed, start, goal, config, GridEuclidean{}, limits));
            }
        }
    }
}

// The grid through the general path: its dense slots, but neither its
// unit steps (so 16-byte entries and the bucket frontier) nor its
// one-by-one successors (so the reused list).
struct GeneralDense : HashedOnly<Grid> {
    bool step_costs_nonnegative() const { return true; }
    uint64_t dense_slots() const { return inner->dense_slots(); }
    uint32_t dense_slot(const Cell& c) const { return inner->dense_slot(c); }
    Cell dense_node(uint32_t slot) const { return inner->dense_node(slot); }
};

// The same with its unit steps and one-by-one successors, but no moves:
// 8-byte entries instead of 4-byte ones.
struct StepDense : GeneralDense {
    bool unit_step_costs() const { return true; }
    template <class F>
    void for_each_successor(const Cell& c, F&& f) const {
        inner->for_each_successor(c, f);
    }
};

TEST(BestFirst, UnitStepGridsGiveTheOutcomesOfTheGeneralPath) {
    std::mt19937 rng(13);
    for (int round = 0; round < 12; ++round) {
        // The first two rounds: one column (no left or right moves), one row.
        const int width = round == 0 ? 1 : 1 + static_cast<int>(rng() % 30);
        const int height = round == 1 ? 1 : 1 + static_cast<int>(rng() % 20);
        Grid grid(width, height);
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) grid.set_wall({r, c}, rng() % 10 < 3);
        const Cell start{static_cast<int32_t>(rng() % height), static_cast<int32_t>(rng() % width)};
        const Cell goal{static_cast<int32_t>(rng() % height), static_cast<int32_t>(rng() % width)};
        grid.set_wall(start, false);
        grid.set_wall(goal, round % 4 == 3);  // sometimes unreachable
        ASSERT_TRUE(grid.unit_step_costs());
        const GeneralDense general{{&grid}};
        const StepDense step{{{&grid}}};
        const HashedOnly<Grid> hashed{&grid};
        const std::optional<uint64_t> node_limits[] = {std::nullopt, 25};
        for (const auto& config : kConfigs) {
            for (const std::optional<uint64_t> limit : node_limits) {
                for (const bool reopen : {false, true}) {
                    const BestFirstLimits l{limit, true, reopen};
                    const ZeroHeuristic zero;
                    const auto fast = best_first_search(grid, start, goal, config, zero, l);
                    expect_same_outcome(fast,
                                        best_first_search(general, start, goal, config, zero, l));
                    expect_same_outcome(fast,
                                        best_first_search(step, start, goal, config, zero, l));
                    expect_same_outcome(fast,
                                        best_first_search(hashed, start, goal, config, zero, l));
                    const GridManhattan h;
                    expect_same_outcome(best_first_search(grid, start, goal, config, h, l),
                                        best_first_search(general, start, goal, config, h, l));
                    // The same values from a heuristic that declares nothing,
                    // as a caller's callable: the routes of an opaque h.
                    const auto opaque = [](const Cell& c, const Cell& g) {
                        return GridManhattan{}(c, g);
                    };
                    expect_same_outcome(best_first_search(grid, start, goal, config, opaque, l),
                                        best_first_search(hashed, start, goal, config, opaque, l));
                }
            }
        }
    }
}

// Numbers its nodes like the graph (so it takes the dense table) but hands
// out copied lists only: no in-place lists, no prefetching of them.
struct CopiedLists : HashedOnly<Csr> {
    uint64_t num_nodes() const { return inner->num_nodes(); }
};

TEST(BestFirst, InPlaceListsGiveTheOutcomesOfCopiedOnes) {
    std::mt19937 rng(11);
    const BestFirstConfig configs[] = {
        kUcs, kBfs, kDfs, kAstar, {FrontierKind::priority, 0.0, 1.0}};
    for (int round = 0; round < 8; ++round) {
        // Fractional weights (radix heap), small integers (buckets), and
        // some negative arcs for the searches that reopen.
        std::vector<Edge> edges;
        for (int i = 0; i < 900; ++i) {
            const double w = round % 3 == 0   ? static_cast<double>(rng() % 4)
                             : round % 3 == 1 ? 1.0 + (rng() % 1000) / 97.0
                                              : static_cast<double>(rng() % 7) - 1.0;
            edges.push_back({rng() % 200, rng() % 200, w});
        }
        const Csr g = graph(200, edges, round % 2 == 0);
        const CopiedLists copied{{&g}};
        const HashedOnly<Csr> hashed{&g};
        TableHeuristic h;
        for (int i = 0; i < 200; ++i) h.h.push_back(static_cast<double>(rng() % 3));
        for (const auto& config : configs) {
            for (const std::optional<uint64_t> limit :
                 {std::optional<uint64_t>{}, std::optional<uint64_t>{37}}) {
                const BestFirstLimits limits{limit, true, round % 3 == 2};
                const auto in_place = best_first_search(g, 0, 199, config, h, limits);
                expect_same_outcome(in_place, best_first_search(copied, 0, 199, config, h, limits));
                expect_same_outcome(in_place, best_first_search(hashed, 0, 199, config, h, limits));
            }
        }
    }
}

TEST(BestFirst, RecordOffLeavesTraceAndTreeEmptyAndChangesNothingElse) {
    const AsciiGrid a = Grid::from_ascii("S..#....\n.#.#.##.\n.#...#..\n...#...G");
    const auto on = best_first_search(a.grid, a.start, a.goal, kAstar, GridManhattan{},
                                      BestFirstLimits{{}, true, false});
    auto off = best_first_search(a.grid, a.start, a.goal, kAstar, GridManhattan{},
                                 BestFirstLimits{{}, false, false});
    EXPECT_TRUE(off.trace.empty());
    EXPECT_TRUE(off.tree.empty());
    EXPECT_EQ(off.trace.capacity(), 0u);
    off.trace = on.trace;
    off.tree = on.tree;
    expect_same_outcome(on, off);
}

}  // namespace
}  // namespace quorvane
