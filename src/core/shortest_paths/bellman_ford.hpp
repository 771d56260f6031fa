// Bellman-Ford: single-source shortest paths that tolerate negative
// weights, with the report of a negative cycle reachable from the source.
//
// The algorithm is the classic pass-based one, and its results (distances,
// predecessors, which of several equal ways into a node wins) are exactly
// those of this literal description:
//   dist[source] = 0, all else +inf; then at most n - 1 passes over the
//   arcs in `Csr::to_edges` order (u ascending, each node's arcs in storage
//   order), each arc (u, v, w) with a finite dist[u] relaxing
//   dist[v] > dist[u] + w (strict; NaN never updates) in place, so later
//   arcs of a pass see earlier updates; a pass that changes nothing ends
//   the loop. An equally cheap later way into v never replaces pred[v].
// A node reached at -inf (an arc of weight -inf, or a sum that overflowed)
// relaxes none of its own arcs, so its path is absent.
//
// The implementation skips, inside each pass, the arcs of nodes whose
// distance has not changed since their arcs were last walked: such an arc
// cannot relax anything, so the updates and their order are unchanged, but
// a pass costs only the arcs that can matter.
//
// `negative_cycle` is true exactly when a cycle of negative total weight is
// reachable from the source along arcs of weight below +inf, including
// cycles that lie behind a -inf distance, which the relaxation passes never
// walk. When it is true the distances the cycle reaches are whatever the
// last pass left.
//
// A source that is no node gives the record as initialised: all +inf, no
// predecessors, no cycle. Complexity O(n * m) time at worst, O(n) memory
// besides the graph.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "graph/csr.hpp"

namespace quorvane {

// The "no node" value of predecessor and next-hop tables.
inline constexpr uint64_t kNoNode = std::numeric_limits<uint64_t>::max();

struct ShortestPaths {
    uint64_t source = 0;
    std::vector<double> dist;    // one per node; +inf when never reached
    std::vector<uint64_t> pred;  // one per node; kNoNode for the source and unreached nodes
    bool negative_cycle = false;

    uint64_t num_nodes() const noexcept { return dist.size(); }

    // [source, ..., target], or nothing when target is no node, its distance
    // is not finite, or its predecessor chain runs into a cycle (at most n
    // nodes are walked, so this always ends).
    std::optional<std::vector<uint64_t>> rebuild_path(uint64_t target) const;
};

ShortestPaths bellman_ford(const Csr& graph, uint64_t source);

}  // namespace quorvane
