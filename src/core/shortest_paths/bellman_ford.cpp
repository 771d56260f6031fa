#include "shortest_paths/bellman_ford.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "shortest_paths/negative_cycle.hpp"

namespace quorvane {

namespace {

// Nodes whose distance dropped since their arcs were last walked, as a bit
// set scanned in ascending node order.
class DirtySet {
public:
    explicit DirtySet(uint64_t n) : words_((n + 63) / 64, 0) {}

    void insert(uint64_t v) noexcept { words_[v >> 6] |= uint64_t{1} << (v & 63); }

    // Visits the set nodes in ascending order, removing each before calling
    // `visit`, which may insert nodes: those above the current one are
    // visited in this same sweep, those at or below it wait for the next.
    template <class Visit>
    void sweep(Visit&& visit) {
        for (std::size_t w = 0; w < words_.size(); ++w) {
            uint64_t floor_mask = ~uint64_t{0};
            for (;;) {
                const uint64_t bits = words_[w] & floor_mask;
                if (bits == 0) break;
                const int b = std::countr_zero(bits);
                words_[w] &= ~(uint64_t{1} << b);
                visit((static_cast<uint64_t>(w) << 6) | static_cast<uint64_t>(b));
                floor_mask = b == 63 ? 0 : ~uint64_t{0} << (b + 1);
            }
        }
    }

private:
    std::vector<uint64_t> words_;
};

}  // namespace

ShortestPaths bellman_ford(const Csr& graph, uint64_t source) {
    const uint64_t n = graph.num_nodes();
    refuse_oversized_allocation(static_cast<long double>(n) * 17);

    ShortestPaths r;
    r.source = source;
    r.dist.assign(n, std::numeric_limits<double>::infinity());
    r.pred.assign(n, kNoNode);
    if (source >= n) return r;
    r.dist[source] = 0.0;

    double* dist = r.dist.data();
    uint64_t* pred = r.pred.data();
    const uint64_t* off = graph.offsets().data();
    const Successor<uint64_t>* arcs = graph.arcs().data();

    // The arcs in `Csr::to_edges` order are exactly the CSR rows walked in
    // node order, so the rows serve as the flat arc list.
    DirtySet dirty(n);
    dirty.insert(source);
    bool changed = true;
    for (uint64_t pass = 0; changed && pass + 1 < n; ++pass) {
        changed = false;
        dirty.sweep([&](uint64_t u) {
            for (uint64_t a = off[u]; a < off[u + 1]; ++a) {
                // Read afresh per arc: a negative self-loop earlier in u's
                // row lowers dist[u] for the arcs after it.
                const double du = dist[u];
                if (!std::isfinite(du)) return;
                const uint64_t v = arcs[a].node;
                const double cand = du + arcs[a].cost;
                if (dist[v] > cand) {
                    dist[v] = cand;
                    pred[v] = u;
                    dirty.insert(v);
                    changed = true;
                }
            }
        });
    }

    // Detection: one more look, changing nothing. Only the arcs of nodes
    // lowered since their last walk can still relax.
    bool relaxes = false;
    dirty.sweep([&](uint64_t u) {
        const double du = dist[u];
        if (relaxes || !std::isfinite(du)) return;
        for (uint64_t a = off[u]; a < off[u + 1]; ++a)
            if (dist[arcs[a].node] > du + arcs[a].cost) {
                relaxes = true;
                return;
            }
    });
    r.negative_cycle = relaxes;

    // A node at -inf relaxes none of its arcs, so a negative cycle behind
    // it never shows in the look above; search for one directly.
    if (!r.negative_cycle) {
        std::vector<uint64_t> minus_inf;
        for (uint64_t v = 0; v < n; ++v)
            if (dist[v] == -std::numeric_limits<double>::infinity()) minus_inf.push_back(v);
        if (!minus_inf.empty())
            r.negative_cycle = detail::negative_cycle_reachable(graph, minus_inf);
    }
    return r;
}

std::optional<std::vector<uint64_t>> ShortestPaths::rebuild_path(uint64_t target) const {
    const uint64_t n = dist.size();
    if (target >= n || !std::isfinite(dist[target])) return std::nullopt;
    std::vector<uint64_t> path{target};
    for (uint64_t cur = target; pred[cur] != kNoNode;) {
        cur = pred[cur];
        path.push_back(cur);
        if (path.size() > n) return std::nullopt;  // the chain entered a cycle
    }
    std::reverse(path.begin(), path.end());
    return path;
}

}  // namespace quorvane
