// The compact trace gives back every entry as it was pushed, g bit for bit;
// a folded record unfolds into the trace and tree of its search.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "state/outcome.hpp"

namespace quorvane {
namespace {

struct Pushed {
    int node;
    std::optional<uint64_t> g_bits;  // absent g: nullopt
    uint64_t frontier_size;
};

std::optional<uint64_t> bits_of(const std::optional<double>& g) {
    if (!g) return std::nullopt;
    return std::bit_cast<uint64_t>(*g);
}

void expect_entry(const TraceEntry<int>& got, const Pushed& want, std::size_t i) {
    EXPECT_EQ(got.node, want.node) << "entry " << i;
    EXPECT_EQ(bits_of(got.g), want.g_bits) << "entry " << i;
    EXPECT_EQ(got.frontier_size, want.frontier_size) << "entry " << i;
}

TEST(Trace, EveryEntryReadsBackAsPushedWhateverItsG) {
    // 0.0 and -0.0, quiet NaNs apart only in payload or sign, a signalling
    // NaN, absent g (beside 0.0, whose bits are those an absent g keeps),
    // in runs of random length and alone.
    const std::optional<uint64_t> palette[] = {0x0,
                                               0x8000000000000000,
                                               0x7ff8000000000001,
                                               0x7ff8000000000002,
                                               0xfff8000000000001,
                                               0x7ff0000000000001,
                                               std::nullopt,
                                               0x3ff0000000000000};
    std::mt19937_64 rng(5);
    std::vector<Pushed> pushed;
    Trace<int> trace;
    while (pushed.size() < 5000) {
        const auto g = palette[rng() % std::size(palette)];
        const std::size_t run = rng() % 3 == 0 ? 1 + rng() % 50 : 1;
        for (std::size_t k = 0; k < run; ++k) {
            const uint64_t frontier = rng() % 4 == 0 ? UINT64_MAX - rng() % 3 : rng() % 1000;
            pushed.push_back({static_cast<int>(pushed.size()), g, frontier});
            std::optional<double> value;
            if (g) value = std::bit_cast<double>(*g);
            trace.push_back({pushed.back().node, value, frontier});
        }
    }
    ASSERT_EQ(trace.size(), pushed.size());
    std::size_t i = 0;
    for (const TraceEntry<int>& e : trace) {
        expect_entry(e, pushed[i], i);
        ++i;
    }
    EXPECT_EQ(i, pushed.size());
    for (std::size_t j = 0; j < pushed.size(); j += 7) expect_entry(trace[j], pushed[j], j);
    expect_entry(trace.back(), pushed.back(), pushed.size() - 1);
    std::size_t next = 0;
    trace.for_each_run([&](std::optional<double> g, std::size_t first, std::size_t last) {
        EXPECT_EQ(first, next);
        for (std::size_t j = first; j < last; ++j) EXPECT_EQ(bits_of(g), pushed[j].g_bits);
        next = last;
    });
    EXPECT_EQ(next, pushed.size());
}

// A breadth-first search over a random graph (up to 9 new nodes an
// expansion, past the four a grid gives), recorded both ways: folded, and
// entry by entry as the best-first driver records. Unfolding gives the
// latter back, and the parents' positions name the tree's parents.
TEST(ReachOrder, UnfoldsIntoTheTraceAndTreeOfItsSearch) {
    std::mt19937 rng(5);
    for (int round = 0; round < 20; ++round) {
        const int n = 1 + static_cast<int>(rng() % 60);
        std::vector<std::vector<int>> next(n);
        for (auto& list : next)
            for (unsigned k = rng() % 10; k > 0; --k) list.push_back(static_cast<int>(rng() % n));
        const std::size_t limit = rng() % 2 ? n : 1 + rng() % n;  // expansions allowed

        ReachOrder<int> folded;
        Trace<int> trace;
        TreeEdges<int> tree;
        std::vector<int> level(n, -1);
        level[0] = 0;
        folded.nodes.push_back(0);
        for (std::size_t j = 0; j < folded.nodes.size() && j < limit; ++j) {
            const int node = folded.nodes[j];
            trace.push_back({node, static_cast<double>(level[node]), folded.nodes.size() - j - 1});
            uint8_t reached = 0;
            for (const int child : next[node]) {
                if (level[child] >= 0) continue;
                level[child] = level[node] + 1;
                folded.nodes.push_back(child);
                tree.push_back({node, child});
                ++reached;
            }
            folded.reached.push_back(reached);
        }

        const std::unique_ptr<uint32_t[]> parents = folded.parent_positions();
        for (std::size_t k = 0; k < tree.size(); ++k) {
            EXPECT_EQ(folded.nodes[k + 1], tree[k].child);
            EXPECT_EQ(folded.nodes[parents[k]], tree[k].parent) << "edge " << k;
        }
        Trace<int> got_trace;
        TreeEdges<int> got_tree;
        folded.unfold_into(got_trace, got_tree);
        ASSERT_EQ(got_trace.size(), trace.size());
        for (std::size_t j = 0; j < trace.size(); ++j) {
            EXPECT_EQ(got_trace[j].node, trace[j].node) << "entry " << j;
            EXPECT_EQ(got_trace[j].g, trace[j].g) << "entry " << j;
            EXPECT_EQ(got_trace[j].frontier_size, trace[j].frontier_size) << "entry " << j;
        }
        ASSERT_EQ(got_tree.size(), tree.size());
        for (std::size_t k = 0; k < tree.size(); ++k) {
            EXPECT_EQ(got_tree[k].parent, tree[k].parent);
            EXPECT_EQ(got_tree[k].child, tree[k].child);
        }
    }
}

}  // namespace
}  // namespace quorvane
