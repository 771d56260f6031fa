#include "domains/graphs.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "domains/keyed_hash.hpp"
#include "domains/random_stream.hpp"
#include "panic.hpp"

namespace quorvane {

namespace {

using Pair = std::pair<uint64_t, uint64_t>;

// Bytes the final Csr takes: one offset per node plus one, two arcs per edge.
long double csr_bytes(uint64_t n, long double edges) {
    return (static_cast<long double>(n) + 1) * sizeof(uint64_t) +
           edges * 2 * sizeof(Successor<uint64_t>);
}

// An exact element count that must also be a valid vector length.
std::size_t checked_count(detail::U128 count) {
    constexpr auto kMax = static_cast<detail::U128>(PTRDIFF_MAX / sizeof(Edge));
    if (count > kMax) throw Panic("capacity overflow");
    return static_cast<std::size_t>(count);
}

Pair ordered(uint64_t a, uint64_t b) { return a < b ? Pair{a, b} : Pair{b, a}; }

constexpr uint64_t kTwoTo53 = uint64_t{1} << 53;

// Appends to an edge list whose final size is unknown. Growth is checked
// against the memory the finished graph will need, so a request too dense
// for the machine fails here instead of the process being killed later.
void push_edge(EdgeList& edges, uint64_t n, const Edge& edge) {
    if (edges.size() == edges.capacity()) [[unlikely]] {
        const std::size_t next = std::max<std::size_t>(64, edges.capacity() * 2);
        refuse_oversized_allocation(static_cast<long double>(next) * sizeof(Edge) +
                                    csr_bytes(n, static_cast<long double>(next)));
        edges.reserve(next);
    }
    edges.push_back(edge);
}

}  // namespace

Csr erdos_renyi(uint64_t n, double p, uint64_t seed) {
    if (n > kMaxErdosRenyiNodes)
        throw Panic("n must be <= " + std::to_string(kMaxErdosRenyiNodes) +
                    " (erdos_renyi draws once per pair of nodes)");
    if (p >= 1.0 && n > 1) {
        // Every pair becomes an edge: a graph that cannot be held is refused
        // before the draws instead of after them.
        const long double pairs = static_cast<long double>(n) * static_cast<long double>(n - 1) / 2;
        refuse_oversized_allocation(pairs * sizeof(Edge) + csr_bytes(n, pairs));
    }
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    // p > k * 2^-53 (k = u >> 11, the float's numerator) holds exactly when
    // k < ceil(p * 2^53): p * 2^53 is exact, so one integer comparison per
    // pair decides as the float comparison would (NaN and p <= 0: never).
    uint64_t threshold = 0;
    if (p >= 1.0) {
        threshold = kTwoTo53;
    } else if (p > 0.0) {
        threshold = static_cast<uint64_t>(std::ceil(p * static_cast<double>(kTwoTo53)));
    }
    EdgeList edges;
    for (uint64_t i = 0; i + 1 < n; ++i) {
        uint64_t j = i + 1;
        rng.for_each_u64(n - j, [&](uint64_t u) {
            if ((u >> 11) < threshold) push_edge(edges, n, Edge{i, j, 1.0});
            ++j;
        });
    }
    return Csr::from_edges(n, edges, true);
}

Csr watts_strogatz(uint64_t n, uint64_t k, double beta, uint64_t seed) {
    if (k >= n || k % 2 != 0) throw Panic("k must be even and < n");
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    const uint64_t half = k / 2;
    const std::size_t count = checked_count(static_cast<detail::U128>(n) * half);
    // The set (16-byte slots at most 3/4 full, plus a flag), the rewiring
    // list, the edge list and the graph all live at once at the end.
    refuse_oversized_allocation(static_cast<long double>(count) * (2 * 17 + 16 + sizeof(Edge)) +
                                csr_bytes(n, static_cast<long double>(count)));

    KeyedHashSet<Pair> set;
    set.reserve(count);
    if (half > 0) {
        // Lattice pairs land in random slots of a large table: each is hashed
        // and its slot prefetched kAhead pairs before it is inserted.
        constexpr std::size_t kAhead = 16;
        Pair pending[kAhead];
        std::size_t hashes[kAhead];
        std::size_t queued = 0;
        for (uint64_t i = 0; i < n; ++i) {
            for (uint64_t j = 1; j <= half; ++j) {
                const Pair pair = ordered(i, (i + j) % n);
                const std::size_t h = set.hash(pair);
                set.prefetch(h);
                const std::size_t at = queued++ % kAhead;
                if (queued > kAhead) set.insert_hashed(pending[at], hashes[at]);
                pending[at] = pair;
                hashes[at] = h;
            }
        }
        for (std::size_t q = queued > kAhead ? queued - kAhead : 0; q < queued; ++q)
            set.insert_hashed(pending[q % kAhead], hashes[q % kAhead]);
    }

    const std::vector<Pair> lattice = set.to_vector();
    for (const auto& [a, b] : lattice) {
        if (!(beta > rng.gen_f64())) continue;
        set.erase(Pair{a, b});
        // (a, b) itself is free again, so some w is always accepted.
        for (;;) {
            const uint64_t w = rng.gen_range(n);
            if (w == a) continue;
            if (set.insert(ordered(a, w))) break;
        }
    }

    EdgeList edges;
    edges.reserve(set.size());
    set.for_each([&](const Pair& e) { edges.push_back(Edge{e.first, e.second, 1.0}); });
    return Csr::from_edges(n, edges, true);
}

Csr barabasi_albert(uint64_t n, uint64_t m, uint64_t seed) {
    if (m == 0 || n <= m) throw Panic("need n > m >= 1");
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    const auto wide_m = static_cast<detail::U128>(m);
    const std::size_t count = checked_count(wide_m * (wide_m - 1) / 2 + (n - m) * wide_m);
    refuse_oversized_allocation(static_cast<long double>(count) *
                                    (sizeof(Edge) + 2 * sizeof(uint64_t)) +
                                csr_bytes(n, static_cast<long double>(count)));

    EdgeList edges;
    edges.reserve(count);
    std::vector<uint64_t> ends;  // every edge end so far: a pick is degree-weighted
    ends.reserve(2 * count);
    for (uint64_t i = 0; i < m; ++i) {
        for (uint64_t j = i + 1; j < m; ++j) {
            edges.push_back(Edge{i, j, 1.0});
            ends.push_back(i);
            ends.push_back(j);
        }
    }

    KeyedHashSet<uint64_t> targets;
    targets.reserve(static_cast<std::size_t>(m));
    for (uint64_t v = m; v < n; ++v) {
        targets.rekey_and_clear();  // a new, freshly keyed set for each node
        while (targets.size() < m) {
            const auto pick = rng.choose(std::span<const uint64_t>(ends));
            targets.insert(pick.value_or(0));
        }
        targets.for_each([&](uint64_t t) {
            edges.push_back(Edge{v, t, 1.0});
            ends.push_back(v);
            ends.push_back(t);
        });
    }
    return Csr::from_edges(n, edges, true);
}

}  // namespace quorvane
