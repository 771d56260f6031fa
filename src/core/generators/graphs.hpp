// Seeded random graph generators over the nodes 0 .. n - 1.
//
// Each call makes its own `ChaCha8Rng` from `seed` (generators/random_stream.hpp),
// takes every random number from it in the order documented below, and
// returns its edges (all of weight 1.0, none a self-loop) as a
// `GeneratedGraph`: each edge once, as (u, v) with u < v, grouped by u
// ascending and, within one u, in the order the edges were produced. That is
// the order in which an undirected `Csr` built from the edges lists its arcs
// u -> v with v > u.
//
//   erdos_renyi(n, p, seed)
//       One gen_f64 x per pair i < j, pairs in row-major order; the edge
//       (i, j) is kept when p > x (a NaN p keeps none, p >= 1 keeps all).
//       A function of its arguments alone. Exactly n(n - 1)/2 floats are
//       drawn whatever p is, so the work is quadratic in n: n above
//       kMaxErdosRenyiNodes is refused with a panic before any draw.
//
//   watts_strogatz(n, k, beta, seed)
//       A ring lattice (each node joined to its k/2 following neighbours)
//       whose pairs are visited once, in the order of a randomly keyed set;
//       a pair (a, b), a < b, is rewired when beta > gen_f64: it keeps a and
//       takes a new end w = gen_range(n), redrawn while w = a or the pair is
//       already present. Edge count n * k / 2 always; beta = 0 (or NaN)
//       leaves the lattice. Panics "k must be even and < n".
//
//   barabasi_albert(n, m, seed)
//       A clique on 0 .. m - 1, then each node v = m .. n - 1 joins m distinct
//       earlier nodes, each picked by `choose` on the list of edge ends so far
//       (proportional to degree; node 0 without a draw while the list is
//       empty). Edge count m(m - 1)/2 + (n - m) * m. Panics "need n > m >= 1".
//
// Watts-Strogatz and Barabasi-Albert visit pairs and targets in the iteration
// order of randomly keyed sets (state/keyed_hash.hpp), keyed afresh for
// every set: equal arguments need not give equal graphs. Barabasi-Albert with
// m = 1 is the exception, since each target set holds one node.
//
// Sizes: counts that overflow 64 bits, or arrays that could never be held,
// panic "capacity overflow"; arrays larger than the machine's memory raise
// std::bad_alloc before anything is drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "graph/csr.hpp"

namespace quorvane {

// erdos_renyi draws n(n - 1)/2 floats; 2^19 nodes is about 1.4e11 draws,
// minutes of work. Past it a call would run for hours (and, with p near 1,
// build an edge list no machine can hold), so it is refused up front.
inline constexpr uint64_t kMaxErdosRenyiNodes = uint64_t{1} << 19;

// The edges (u, v) with u = 0 .. n - 1 are u paired with each of
// larger[starts[u] .. starts[u + 1]), in that order; every entry there is
// greater than u. `starts` has n + 1 entries.
struct GeneratedGraph {
    std::vector<uint64_t> starts;
    std::vector<uint64_t> larger;

    uint64_t num_nodes() const noexcept { return starts.empty() ? 0 : starts.size() - 1; }
    uint64_t num_edges() const noexcept { return larger.size(); }
};

GeneratedGraph erdos_renyi(uint64_t n, double p, uint64_t seed);
GeneratedGraph watts_strogatz(uint64_t n, uint64_t k, double beta, uint64_t seed);
GeneratedGraph barabasi_albert(uint64_t n, uint64_t m, uint64_t seed);

}  // namespace quorvane
