#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <new>
#include <random>

#include "graph/csr.hpp"
#include "panic_message.hpp"

namespace quorvane {
namespace {

std::vector<uint64_t> targets(const Csr& g) {
    std::vector<uint64_t> out;
    for (const auto& a : g.arcs()) out.push_back(a.node);
    return out;
}

std::vector<double> weights(const Csr& g) {
    std::vector<double> out;
    for (const auto& a : g.arcs()) out.push_back(a.cost);
    return out;
}

const EdgeList kTriangle = {{0, 1, 1.0}, {0, 2, 2.0}, {1, 2, 0.5}};

TEST(Csr, DirectedBuildKeepsEdgeOrderPerNode) {
    const Csr g = Csr::from_edges(3, kTriangle, false);
    EXPECT_EQ(g.offsets(), (std::vector<uint64_t>{0, 2, 3, 3}));
    EXPECT_EQ(targets(g), (std::vector<uint64_t>{1, 2, 2}));
    EXPECT_EQ(weights(g), (std::vector<double>{1.0, 2.0, 0.5}));
    EXPECT_TRUE(g.successors(2).empty());
}

TEST(Csr, UndirectedBuildPlacesReverseArcAtItsEdgesPlace) {
    const Csr g = Csr::from_edges(3, kTriangle, true);
    EXPECT_EQ(g.offsets(), (std::vector<uint64_t>{0, 2, 4, 6}));
    EXPECT_EQ(targets(g), (std::vector<uint64_t>{1, 2, 0, 2, 0, 1}));
    EXPECT_EQ(weights(g), (std::vector<double>{1.0, 2.0, 1.0, 0.5, 2.0, 0.5}));
    const EdgeList expected = {{0, 1, 1.0}, {0, 2, 2.0}, {1, 0, 1.0},
                               {1, 2, 0.5}, {2, 0, 2.0}, {2, 1, 0.5}};
    EXPECT_EQ(g.to_edges(), expected);
}

TEST(Csr, UndirectedSelfLoopIsTwoArcsAndParallelEdgesStaySeparate) {
    const Csr loop = Csr::from_edges(2, EdgeList{{1, 1, 3.0}}, true);
    EXPECT_EQ(loop.to_edges(), (EdgeList{{1, 1, 3.0}, {1, 1, 3.0}}));
    const Csr par = Csr::from_edges(2, EdgeList{{0, 1, 5.0}, {0, 1, 2.0}}, false);
    ASSERT_EQ(par.successors(0).size(), 2u);
    EXPECT_EQ(par.successors(0)[0].cost, 5.0);
    EXPECT_EQ(par.successors(0)[1].cost, 2.0);
}

TEST(Csr, EmptyGraphs) {
    const Csr none = Csr::from_edges(0, {}, true);
    EXPECT_EQ(none.offsets(), (std::vector<uint64_t>{0}));
    EXPECT_TRUE(none.to_edges().empty());
    EXPECT_EQ(panic_message([&] { none.successors(0); }),
              "node 0 is out of range for a 0-node graph");
    const Csr three = Csr::from_edges(3, {}, false);
    EXPECT_EQ(three.offsets(), (std::vector<uint64_t>{0, 0, 0, 0}));
    for (uint64_t v = 0; v < 3; ++v) EXPECT_TRUE(three.successors(v).empty());
}

TEST(Csr, FirstOutOfRangeEdgeIsNamedWithBothEndpoints) {
    EXPECT_EQ(panic_message([] {
                  Csr::from_edges(5, EdgeList{{0, 1, 1.0}, {2, 5, 1.0}, {9, 9, 1.0}}, false);
              }),
              "edge (2, 5) is out of range for a 5-node graph");
    EXPECT_EQ(panic_message([] { Csr::from_edges(5, EdgeList{{7, 1, 1.0}}, true); }),
              "edge (7, 1) is out of range for a 5-node graph");
    EXPECT_EQ(panic_message([] { Csr::from_edges(0, EdgeList{{0, 0, 1.0}}, true); }),
              "edge (0, 0) is out of range for a 0-node graph");
}

TEST(Csr, HugeNodeCountsAreRefusedBeforeAllocating) {
    EXPECT_EQ(
        panic_message([] { Csr::from_edges(uint64_t{1} << 60, EdgeList{{0, 0, 1.0}}, false); }),
        "capacity overflow");
    EXPECT_THROW(Csr::from_edges(uint64_t{1} << 59, {}, false), std::bad_alloc);
}

TEST(Csr, SuccessorsIntoAppendsAfterExistingEntries) {
    const Csr g = Csr::from_edges(3, kTriangle, false);
    SuccessorList<uint64_t> out{{7, 7.0}};
    g.successors_into(0, out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].node, 7u);
    EXPECT_EQ(out[1].node, 1u);
    EXPECT_EQ(out[2].node, 2u);
    EXPECT_EQ(panic_message([&] { g.successors_into(3, out); }),
              "node 3 is out of range for a 3-node graph");
}

TEST(Csr, SuccessorsViewShowsWhatSuccessorsIntoCopies) {
    // Parallel edges and a self-loop, in both builds; every node, the
    // arcless one included.
    const EdgeList edges = {{0, 1, 1.0}, {2, 2, 3.0}, {0, 1, -1.0}, {1, 0, 2.5}, {0, 2, 0.0}};
    for (const bool undirected : {false, true}) {
        const Csr g = Csr::from_edges(4, edges, undirected);
        for (uint64_t u = 0; u < 4; ++u) {
            const SuccessorList<uint64_t> copied = g.successors(u);
            const auto view = g.successors_view(u);
            ASSERT_EQ(view.size(), copied.size()) << u;
            for (std::size_t i = 0; i < view.size(); ++i) {
                EXPECT_EQ(view[i].node, copied[i].node);
                EXPECT_EQ(view[i].cost, copied[i].cost);
            }
        }
        EXPECT_EQ(panic_message([&] { (void)g.successors_view(4); }),
                  "node 4 is out of range for a 4-node graph");
    }
}

TEST(Csr, SpecialWeightsComeBackUnchanged) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Csr g =
        Csr::from_edges(2, EdgeList{{0, 1, -inf}, {0, 1, inf}, {0, 1, nan}, {0, 0, -2.5}}, false);
    const auto s = g.successors(0);
    EXPECT_EQ(s[0].cost, -inf);
    EXPECT_EQ(s[1].cost, inf);
    EXPECT_TRUE(std::isnan(s[2].cost));
    EXPECT_EQ(s[3].cost, -2.5);
}

TEST(Csr, RebuildingFromToEdgesIsIdenticalAndToEdgesIsAStableGroupingByU) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 50; ++round) {
        const uint64_t n = 1 + rng() % 12;
        EdgeList edges;
        for (uint64_t e = rng() % 40; e > 0; --e)
            edges.push_back({rng() % n, rng() % n, static_cast<double>(rng() % 1000)});
        const bool undirected = round % 2 == 1;
        const Csr g = Csr::from_edges(n, edges, undirected);
        const Csr h = Csr::from_edges(n, g.to_edges(), false);
        EXPECT_EQ(g.offsets(), h.offsets());
        EXPECT_EQ(targets(g), targets(h));
        EXPECT_EQ(weights(g), weights(h));
        if (!undirected) {
            EdgeList grouped;
            for (uint64_t u = 0; u < n; ++u)
                for (const Edge& e : edges)
                    if (e.u == u) grouped.push_back(e);
            EXPECT_EQ(g.to_edges(), grouped);
        }
    }
}

}  // namespace
}  // namespace quorvane
