// Floyd-Warshall: all-pairs shortest paths that tolerate negative weights,
// with a flag for any negative cycle in the graph.
//
// The record holds two flat row-major n x n tables: dist (+inf where there
// is no path, 0.0 on the diagonal unless a negative cycle lowered it) and
// next (the node after i on the i -> j path; kNoNode where there is none
// and on the diagonal unless a negative cycle set it).
//
// Algorithm, whose results this implementation reproduces exactly:
//   direct arcs in `Csr::to_edges` order, dist[u][v] = w when w is strictly
//   below the entry (so parallel arcs keep the least, the first of equals;
//   a self-loop counts only when negative; +inf and NaN never count); then
//   k outermost, i, j innermost: d = dist[i][k] read once per (k, i), the
//   row skipped unless d is finite; dist[i][j] > dist[k][j] + d (strict,
//   NaN never updates) sets dist[i][j] and next[i][j] = next[i][k].
// The innermost loop is branch-free over two contiguous rows so that the
// compiler vectorises it; row k is only rewritten while read when
// dist[k][k] < 0, and that row takes a plain loop.
//
// `negative_cycle` is true when some diagonal entry ends below 0.0, and
// also when a negative cycle hides behind a -inf entry (where the skip
// rule stops the relaxation before any diagonal turns negative).
//
// Size: the tables need n * n entries each. When 16 * n * n bytes (the
// table of optional next hops) would pass the largest allocation,
// 2^63 - 8 bytes, the call panics with "capacity overflow" before building
// anything; when the tables exceed this machine's memory it throws
// std::bad_alloc, also before allocating. O(n^3) time, O(n^2) memory.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "graph/csr.hpp"
#include "shortest_paths/bellman_ford.hpp"

namespace quorvane {

struct AllPairs {
    uint64_t num_nodes = 0;
    std::vector<double> dist;    // n * n, row-major
    std::vector<uint64_t> next;  // n * n, row-major; kNoNode for none
    bool negative_cycle = false;

    // [from, ..., to], or nothing when an index is no node, the distance is
    // not finite, a hop is missing, or the hops run into a cycle (at most n
    // nodes are walked). [from] when from == to and dist is finite.
    std::optional<std::vector<uint64_t>> rebuild_path(uint64_t from, uint64_t to) const;

    // The entry, or +inf for an index that is no node; never fails.
    double dist_at(uint64_t from, uint64_t to) const noexcept {
        return from < num_nodes && to < num_nodes ? dist[from * num_nodes + to]
                                                  : std::numeric_limits<double>::infinity();
    }

    std::vector<std::vector<double>> rows() const;
};

// Refuses a node count whose tables cannot be built (see Size above):
// Panic "capacity overflow" or std::bad_alloc. Callers that build a graph
// first may call it earlier, so a hopeless size costs nothing.
void check_all_pairs_size(uint64_t num_nodes);

AllPairs floyd_warshall(const Csr& graph);

namespace detail {

// The vector kernels of the innermost loop, chosen by what the processor
// offers; `best` is what `floyd_warshall` uses. All give identical tables,
// which the tests check for every kernel this machine can run.
enum class RelaxKernel : uint8_t { best, portable, avx2, avx512 };

std::vector<RelaxKernel> available_relax_kernels();
AllPairs floyd_warshall_with(const Csr& graph, RelaxKernel kernel);

}  // namespace detail

}  // namespace quorvane
