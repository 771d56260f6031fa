#include "shortest_paths/negative_cycle.hpp"

#include <limits>
#include <vector>

namespace quorvane::detail {

// Sums of up to 2^64 doubles must not overflow the accumulator.
static_assert(std::numeric_limits<long double>::max_exponent >= 1024 + 64,
              "the negative-cycle search needs an extended-range long double");

bool negative_cycle_reachable(const Csr& graph, std::span<const uint64_t> seeds) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const uint64_t n = graph.num_nodes();
    const uint64_t* off = graph.offsets().data();
    const Successor<uint64_t>* arcs = graph.arcs().data();

    // Nodes reachable from the seeds along arcs that can carry a path.
    std::vector<char> reached(n, 0);
    std::vector<uint64_t> nodes;
    for (uint64_t s : seeds)
        if (s < n && !reached[s]) {
            reached[s] = 1;
            nodes.push_back(s);
        }
    long double positive = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const uint64_t u = nodes[i];
        for (uint64_t a = off[u]; a < off[u + 1]; ++a) {
            const double w = arcs[a].cost;
            if (!(w < kInf)) continue;
            if (w > 0) positive += w;
            const uint64_t v = arcs[a].node;
            if (!reached[v]) {
                reached[v] = 1;
                nodes.push_back(v);
            }
        }
    }

    // A -inf arc stands in as a weight below minus all positive weight put
    // together: every cycle through it is negative, as it should be, and
    // every other cycle keeps its exact sign.
    const long double minus_inf_weight = -(2 * positive + 1);

    // Zero-start relaxation (a virtual source joined to every node): with no
    // negative cycle it settles within |nodes| - 1 passes, so a change in
    // pass |nodes| proves one. Only nodes lowered since their arcs were last
    // walked are walked again.
    std::vector<long double> dist(n, 0);
    std::vector<char> dirty(n, 0);
    for (uint64_t u : nodes) dirty[u] = 1;
    for (std::size_t pass = 0; pass < nodes.size(); ++pass) {
        bool changed = false;
        for (uint64_t u : nodes) {
            if (!dirty[u]) continue;
            dirty[u] = 0;
            for (uint64_t a = off[u]; a < off[u + 1]; ++a) {
                const double w = arcs[a].cost;
                if (!(w < kInf)) continue;
                const long double cand = dist[u] + (w == -kInf ? minus_inf_weight : w);
                const uint64_t v = arcs[a].node;
                if (dist[v] > cand) {
                    dist[v] = cand;
                    dirty[v] = 1;
                    changed = true;
                }
            }
        }
        if (!changed) return false;
    }
    return !nodes.empty();
}

}  // namespace quorvane::detail
