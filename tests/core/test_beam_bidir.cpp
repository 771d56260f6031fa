// Unit invariants of the beam and bidirectional drivers and their path
// helpers, on a small adjacency-list domain defined here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include "state/path_helpers.hpp"
#include "drivers/beam.hpp"
#include "drivers/bidirectional.hpp"

namespace quorvane {
namespace {

using N = uint64_t;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint64_t kUnbounded = std::numeric_limits<uint64_t>::max();

struct Arc {
    N u, v;
    double w;
};

// Arcs listed per node in input order; `calls` counts successor listings.
struct AdjDomain {
    using Node = N;
    std::vector<SuccessorList<N>> adj;
    mutable uint64_t calls = 0;

    static AdjDomain build(std::size_t n, const std::vector<Arc>& arcs, bool undirected) {
        AdjDomain d;
        d.adj.resize(n);
        for (const Arc& a : arcs) {
            d.adj[a.u].push_back({a.v, a.w});
            if (undirected) d.adj[a.v].push_back({a.u, a.w});
        }
        return d;
    }
    AdjDomain reversed() const {
        AdjDomain r;
        r.adj.resize(adj.size());
        for (N u = 0; u < adj.size(); ++u)
            for (const auto& s : adj[u]) r.adj[s.node].push_back({u, s.cost});
        return r;
    }
    void successors_into(const N& n, SuccessorList<N>& out) const {
        ++calls;
        out.insert(out.end(), adj[n].begin(), adj[n].end());
    }
    SuccessorList<N> successors(const N& n) const {
        SuccessorList<N> out;
        successors_into(n, out);
        return out;
    }
};
static_assert(Domain<AdjDomain>);

struct TableH {
    std::vector<double> h;
    double operator()(const N& a, const N&) const { return h[a]; }
};

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

std::vector<std::tuple<N, std::optional<double>, uint64_t>> trace_of(
    const SearchOutcome<N>& out) {
    std::vector<std::tuple<N, std::optional<double>, uint64_t>> t;
    for (const auto& e : out.trace) t.emplace_back(e.node, e.g, e.frontier_size);
    return t;
}

// ---- path helpers --------------------------------------------------------

TEST(PathHelpers, RebuildFollowsParentsToTheFirstNodeWithoutEntry) {
    ParentMap<N> m;
    EXPECT_EQ(rebuild_path_from_parents(m, N{7}), std::vector<N>{7});
    m.insert(7, 3);
    m.insert(3, 1);
    EXPECT_EQ(rebuild_path_from_parents(m, N{7}), (std::vector<N>{1, 3, 7}));
    EXPECT_EQ(rebuild_path_from_parents(m, N{9}), std::vector<N>{9});
}

TEST(PathHelpers, RebuildPanicsOnACycleInsteadOfLooping) {
    ParentMap<N> m;
    m.insert(1, 2);
    m.insert(2, 1);
    EXPECT_THROW(rebuild_path_from_parents(m, N{1}), Panic);
}

TEST(PathHelpers, InsertHandsBackThePreviousParent) {
    ParentMap<N> m;
    EXPECT_EQ(m.insert(1, 2), std::nullopt);
    EXPECT_EQ(m.insert(1, 3), std::optional<N>(2));
    EXPECT_EQ(*m.parent_of(1), 3u);
    EXPECT_EQ(m.size(), 1u);
}

TEST(PathHelpers, CheapestStepCostIgnoresNaNAndUnrelatedEntries) {
    using V = std::vector<int64_t>;
    const V t{1, 2}, u{5};
    auto cheapest = [&](SuccessorList<V> l) { return cheapest_step_cost(std::move(l), kInf, t); };
    EXPECT_EQ(cheapest({}), kInf);
    EXPECT_EQ(cheapest({{t, 3.0}, {u, 1.0}, {t, 2.0}}), 2.0);
    EXPECT_EQ(cheapest({{t, kNaN}, {t, 4.0}}), 4.0);
    EXPECT_EQ(cheapest({{t, 4.0}, {t, kNaN}}), 4.0);
    EXPECT_EQ(cheapest({{t, kNaN}}), kInf);
    EXPECT_EQ(cheapest({{V{1, 2, 3}, 1.0}}), kInf);
    EXPECT_TRUE(std::signbit(cheapest({{t, 0.0}, {t, -0.0}})));
}

// ---- beam search ---------------------------------------------------------

// 0 -> 1, 2, 3; 2 -> 4; 3 -> 4, 5; 1 -> 6; 5 -> 6; goal 6.
AdjDomain beam_graph() {
    return AdjDomain::build(
        7, {{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {2, 4, 1}, {3, 4, 5}, {3, 5, 1}, {1, 6, 1}, {5, 6, 1}},
        false);
}
const TableH kBeamH{{9, 3, 1, 2, 1, 0, 0}};

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
    EXPECT_EQ(trace_of(out), (std::vector<T>{{0, 0.0, 0}, {2, 1.0, 0}, {3, 1.0, 1}, {5, 2.0, 0},
                                             {4, 2.0, 1}, {6, 3.0, 0}}));
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
    EXPECT_EQ(trace_of(out), (std::vector<T>{{0, 0.0, 0}, {2, 1.0, 0}, {3, 1.0, 1}, {1, 1.0, 2},
                                             {5, 2.0, 0}, {6, 2.0, 0}}));
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

TEST(BeamSearch, WidthZeroExpandsOnlyTheStartButGeneratesItsChildren) {
    const auto d = beam_graph();
    const auto out = beam_search(d, N{0}, N{6}, 0, kBeamH, true);
    EXPECT_EQ(out.stop_reason, StopReason::exhausted);
    EXPECT_EQ(out.nodes_expanded, 1u);
    EXPECT_EQ(out.nodes_generated, 4u);
    EXPECT_EQ(out.max_frontier_size, 1u);
    const auto same = beam_search(d, N{6}, N{6}, 0, kBeamH, true);
    EXPECT_EQ(same.stop_reason, StopReason::goal);
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
    const auto d = AdjDomain::build(7, {{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {0, 4, 1}, {0, 5, 1}},
                                    false);
    const TableH h{{0, kNaN, 0.0, -kInf, kNaN, -0.0, 0}};
    const auto out = beam_search(d, N{0}, N{6}, kUnbounded, h, true);
    std::vector<N> expanded;
    for (const auto& e : out.trace) expanded.push_back(e.node);
    EXPECT_EQ(expanded, (std::vector<N>{0, 3, 2, 5, 1, 4}));
    EXPECT_EQ(out.stop_reason, StopReason::exhausted);
}

// ---- bidirectional search ------------------------------------------------

TEST(Bidirectional, GridMeetingKeepsTheFirstOfEqualCostCandidates) {
    const auto d = grid3(std::vector<double>(9, 1.0));
    const auto out = bidirectional_search(d, N{4}, N{0}, true);
    EXPECT_EQ(*out.path, (std::vector<N>{4, 3, 0}));
    EXPECT_EQ(out.cost, 2.0);
    EXPECT_EQ(out.nodes_expanded, 2u);
    EXPECT_EQ(out.nodes_generated, 8u);
    EXPECT_EQ(out.max_frontier_size, 4u);
    using T = std::tuple<N, std::optional<double>, uint64_t>;
    EXPECT_EQ(trace_of(out), (std::vector<T>{{4, std::nullopt, 0}, {0, std::nullopt, 0}}));
    EXPECT_TRUE(out.tree.empty());
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

// Directed graphs: the backward side must walk in-arcs.
const std::vector<Arc> kNoPath{{0, 1, 1}, {0, 3, 1}, {2, 1, 1}};  // 0 cannot reach 2
const std::vector<Arc> kSinkGoal{{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {1, 4, 2}, {4, 5, 3}};

TEST(Bidirectional, DirectedWithReversedGraphFindsNoFalsePath) {
    const auto d = AdjDomain::build(4, kNoPath, false);
    const auto out = bidirectional_search(d, N{0}, N{2}, true, d.reversed());
    EXPECT_EQ(out.stop_reason, StopReason::exhausted);
    EXPECT_FALSE(out.path.has_value());
}

TEST(Bidirectional, DirectedWithReversedGraphReachesAGoalWithoutOutArcs) {
    const auto d = AdjDomain::build(6, kSinkGoal, false);
    const auto out = bidirectional_search(d, N{0}, N{5}, true, d.reversed());
    EXPECT_EQ(out.stop_reason, StopReason::goal);
    EXPECT_EQ(*out.path, (std::vector<N>{0, 1, 4, 5}));
    EXPECT_EQ(out.cost, 6.0);
    // forward 0, backward 5 then 4 (the forward layer holds three nodes)
    using T = std::tuple<N, std::optional<double>, uint64_t>;
    EXPECT_EQ(trace_of(out), (std::vector<T>{{0, std::nullopt, 0},
                                             {5, std::nullopt, 0},
                                             {4, std::nullopt, 0}}));
}

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
    EXPECT_EQ(checked.path, plain.path);
    EXPECT_EQ(checked.cost, plain.cost);
    EXPECT_EQ(checked.nodes_expanded, plain.nodes_expanded);
    EXPECT_EQ(checked.nodes_generated, plain.nodes_generated);
    EXPECT_EQ(checked.max_frontier_size, plain.max_frontier_size);
    EXPECT_EQ(trace_of(checked), trace_of(plain));
}

}  // namespace
}  // namespace quorvane
