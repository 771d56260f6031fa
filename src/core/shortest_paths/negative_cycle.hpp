// Negative-cycle search that -inf weights and overflowing sums cannot blind.
//
// Both shortest-path algorithms stop relaxing from a node whose distance is
// -inf, so a negative cycle behind such a node goes unseen by their own
// checks. This search settles the question directly: is there a cycle of
// negative total weight among the nodes reachable from `seeds` along arcs
// of weight below +inf (NaN and +inf arcs lead nowhere)?
//
// Method: the reachable nodes are split into strongly connected components
// (every cycle lies inside one). A -inf arc inside a component closes a
// cycle of weight -inf. Otherwise the finite arcs inside components are
// checked with a zero-start Bellman-Ford in extended precision, whose sums
// of doubles cannot overflow. O(n + m) memory, O(n * m) time at worst; the
// callers run it only after they have met a -inf distance.
#pragma once

#include <cstdint>
#include <span>

#include "graph/csr.hpp"

namespace quorvane::detail {

bool negative_cycle_reachable(const Csr& graph, std::span<const uint64_t> seeds);

}  // namespace quorvane::detail
