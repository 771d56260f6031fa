#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>

#include "panic_message.hpp"
#include "shortest_paths/bellman_ford.hpp"
#include "shortest_paths/floyd_warshall.hpp"

namespace quorvane {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The textbook passes over the whole arc list, without the skipping of
// unchanged nodes; the fast version must agree with it bit for bit.
ShortestPaths literal_bellman_ford(const Csr& g, uint64_t source) {
    const uint64_t n = g.num_nodes();
    ShortestPaths r{source, std::vector<double>(n, kInf), std::vector<uint64_t>(n, kNoNode), false};
    if (source >= n) return r;
    r.dist[source] = 0.0;
    const EdgeList arcs = g.to_edges();
    for (uint64_t pass = 0; pass + 1 < n; ++pass) {
        bool changed = false;
        for (const Edge& e : arcs) {
            if (!std::isfinite(r.dist[e.u])) continue;
            if (r.dist[e.v] > r.dist[e.u] + e.w) {
                r.dist[e.v] = r.dist[e.u] + e.w;
                r.pred[e.v] = e.u;
                changed = true;
            }
        }
        if (!changed) break;
    }
    for (const Edge& e : arcs)
        if (std::isfinite(r.dist[e.u]) && r.dist[e.v] > r.dist[e.u] + e.w) {
            r.negative_cycle = true;
            break;
        }
    return r;
}

AllPairs literal_floyd_warshall(const Csr& g) {
    const uint64_t n = g.num_nodes();
    AllPairs r{n, std::vector<double>(n * n, kInf), std::vector<uint64_t>(n * n, kNoNode), false};
    for (uint64_t i = 0; i < n; ++i) r.dist[i * n + i] = 0.0;
    for (const Edge& e : g.to_edges())
        if (r.dist[e.u * n + e.v] > e.w) {
            r.dist[e.u * n + e.v] = e.w;
            r.next[e.u * n + e.v] = e.v;
        }
    for (uint64_t k = 0; k < n; ++k)
        for (uint64_t i = 0; i < n; ++i) {
            const double d = r.dist[i * n + k];
            if (!std::isfinite(d)) continue;
            for (uint64_t j = 0; j < n; ++j)
                if (r.dist[i * n + j] > r.dist[k * n + j] + d) {
                    r.dist[i * n + j] = r.dist[k * n + j] + d;
                    r.next[i * n + j] = r.next[i * n + k];
                }
        }
    for (uint64_t i = 0; i < n && !r.negative_cycle; ++i) r.negative_cycle = r.dist[i * n + i] < 0;
    return r;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Small random graphs with ties, self-loops, parallel arcs, negative arcs
// (so some have negative cycles) and, in some rounds, infinite weights.
EdgeList random_edges(std::mt19937_64& rng, uint64_t n, bool specials) {
    EdgeList edges;
    for (uint64_t e = rng() % (3 * n + 1); e > 0; --e) {
        double w = static_cast<double>(static_cast<int>(rng() % 12) - 2) * 0.5;
        if (specials && rng() % 15 == 0) w = rng() % 2 ? kInf : std::nan("");
        edges.push_back({rng() % n, rng() % n, w});
    }
    return edges;
}

TEST(BellmanFord, MatchesTheLiteralPassAlgorithmIncludingTieBreaks) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 400; ++round) {
        const uint64_t n = 1 + rng() % 9;
        const Csr g = Csr::from_edges(n, random_edges(rng, n, round % 3 == 0), round % 4 == 0);
        const uint64_t source = rng() % n;
        const ShortestPaths fast = bellman_ford(g, source);
        const ShortestPaths slow = literal_bellman_ford(g, source);
        ASSERT_TRUE(same_bits(fast.dist, slow.dist)) << "round " << round;
        ASSERT_EQ(fast.pred, slow.pred) << "round " << round;
        ASSERT_EQ(fast.negative_cycle, slow.negative_cycle) << "round " << round;
    }
}

TEST(BellmanFord, ReportsANegativeCycleBehindAMinusInfinityDistance) {
    const Csr g = Csr::from_edges(3, EdgeList{{0, 1, -kInf}, {1, 2, 1.0}, {2, 1, -5.0}}, false);
    const ShortestPaths r = bellman_ford(g, 0);
    EXPECT_TRUE(r.negative_cycle);
    EXPECT_EQ(r.dist[1], -kInf);
    EXPECT_EQ(r.dist[2], kInf);
    // A positive cycle there is no cycle to report; nor is a -inf arc alone.
    const Csr ok = Csr::from_edges(3, EdgeList{{0, 1, -kInf}, {1, 2, 1.0}, {2, 1, 5.0}}, false);
    EXPECT_FALSE(bellman_ford(ok, 0).negative_cycle);
    // Two -inf arcs make a cycle of weight -inf.
    const Csr two =
        Csr::from_edges(3, EdgeList{{0, 1, -kInf}, {1, 2, -kInf}, {2, 1, 1e308}}, false);
    EXPECT_TRUE(bellman_ford(two, 0).negative_cycle);
    // Behind a NaN or +inf arc nothing is reachable.
    const Csr nan =
        Csr::from_edges(3, EdgeList{{0, 1, -kInf}, {1, 2, std::nan("")}, {2, 2, -1.0}}, false);
    EXPECT_FALSE(bellman_ford(nan, 0).negative_cycle);
}

TEST(BellmanFord, NegativeSelfLoopOnTheOnlyNodeIsDetectedWithoutAPass) {
    const Csr g = Csr::from_edges(1, EdgeList{{0, 0, -1.0}}, false);
    const ShortestPaths r = bellman_ford(g, 0);
    EXPECT_TRUE(r.negative_cycle);
    EXPECT_EQ(r.dist[0], 0.0);
    EXPECT_EQ(r.pred[0], kNoNode);
    EXPECT_EQ(r.rebuild_path(0), (std::vector<uint64_t>{0}));
}

TEST(BellmanFord, PathIntoANegativeCycleIsAbsentAndOthersComeBack) {
    const Csr g = Csr::from_edges(4, EdgeList{{0, 1, 1.0}, {1, 1, -1.0}, {0, 2, 2.0}}, false);
    const ShortestPaths r = bellman_ford(g, 0);
    EXPECT_TRUE(r.negative_cycle);
    EXPECT_EQ(r.rebuild_path(1), std::nullopt);
    EXPECT_EQ(r.rebuild_path(2), (std::vector<uint64_t>{0, 2}));
    EXPECT_EQ(r.rebuild_path(3), std::nullopt);
    EXPECT_EQ(r.rebuild_path(4), std::nullopt);
    EXPECT_EQ(bellman_ford(g, 9).dist, std::vector<double>(4, kInf));
}

TEST(FloydWarshall, EveryKernelMatchesTheLiteralTripleLoopBitForBit) {
    std::mt19937_64 rng(5);
    int blocked_with_cycle = 0;
    for (int round = 0; round < 240; ++round) {
        // Small sizes run the vector tails; sizes past one pivot block (64)
        // run the blocked order, with negative cycles in some rounds.
        const uint64_t n = round % 8 == 0 ? 60 + rng() % 90 : 1 + rng() % 19;
        EdgeList edges = random_edges(rng, n, round % 3 == 0);
        if (n > 19)
            for (Edge& e : edges) e.w = std::abs(e.w) + (round % 16 == 0 ? -0.1 : 0.0);
        const Csr g = Csr::from_edges(n, edges, round % 5 == 0);
        const AllPairs slow = literal_floyd_warshall(g);
        blocked_with_cycle += n > 64 && slow.negative_cycle;
        for (const auto kernel : detail::available_relax_kernels()) {
            const AllPairs fast = detail::floyd_warshall_with(g, kernel);
            ASSERT_TRUE(same_bits(fast.dist, slow.dist)) << "round " << round;
            ASSERT_EQ(fast.next, slow.next) << "round " << round;
            // The -inf fix may only add a cycle report, never drop one.
            ASSERT_TRUE(fast.negative_cycle || !slow.negative_cycle) << "round " << round;
        }
    }
    EXPECT_GT(blocked_with_cycle, 0);
}

TEST(FloydWarshall, ReportsACycleMadeOfMinusInfinityArcs) {
    const Csr g = Csr::from_edges(2, EdgeList{{0, 1, -kInf}, {1, 0, -kInf}}, false);
    const AllPairs r = floyd_warshall(g);
    EXPECT_TRUE(r.negative_cycle);
    EXPECT_EQ(r.dist_at(0, 0), 0.0);
}

TEST(FloydWarshall, SizesPastTheAllocationLimitPanicAndLargeOnesThrowBadAlloc) {
    EXPECT_EQ(panic_message([] { check_all_pairs_size(uint64_t{1} << 30); }), "capacity overflow");
    EXPECT_THROW(check_all_pairs_size(uint64_t{1} << 28), std::bad_alloc);
    EXPECT_NO_THROW(check_all_pairs_size(1000));
}

TEST(FloydWarshall, RecordOperationsOnEmptyAndOutOfRange) {
    const AllPairs none = floyd_warshall(Csr::from_edges(0, {}, false));
    EXPECT_TRUE(none.rows().empty());
    EXPECT_EQ(none.dist_at(0, 0), kInf);
    EXPECT_EQ(none.rebuild_path(0, 0), std::nullopt);
    const AllPairs r =
        floyd_warshall(Csr::from_edges(3, EdgeList{{0, 1, 2.0}, {1, 2, 3.0}}, false));
    EXPECT_EQ(r.rows(),
              (std::vector<std::vector<double>>{{0, 2, 5}, {kInf, 0, 3}, {kInf, kInf, 0}}));
    EXPECT_EQ(r.rebuild_path(0, 2), (std::vector<uint64_t>{0, 1, 2}));
    EXPECT_EQ(r.rebuild_path(2, 0), std::nullopt);
    EXPECT_EQ(r.dist_at(5, 0), kInf);
}

}  // namespace
}  // namespace quorvane
