#include "generators/graphs.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "generators/random_stream.hpp"
#include "panic.hpp"
#include "state/keyed_hash.hpp"
#include "uint128.hpp"

namespace quorvane {

namespace {

using Pair = std::pair<uint64_t, uint64_t>;

template <class T>
using LargeArray = std::vector<T, LargeArrayAllocator<T>>;

// Bytes the result takes: one start per node plus one, one entry per edge.
long double result_bytes(uint64_t n, long double edges) {
    return (static_cast<long double>(n) + 1) * sizeof(uint64_t) + edges * sizeof(uint64_t);
}

// An exact element count that must also be a valid vector length.
std::size_t checked_count(uint128 count) {
    constexpr auto kMax = static_cast<uint128>(PTRDIFF_MAX / sizeof(Edge));
    if (count > kMax) throw Panic("capacity overflow");
    return static_cast<std::size_t>(count);
}

Pair ordered(uint64_t a, uint64_t b) { return a < b ? Pair{a, b} : Pair{b, a}; }

constexpr uint64_t kTwoTo53 = uint64_t{1} << 53;

// Appends to a list whose final size is unknown. Growth is checked against
// the memory the finished result will need, so a request too dense for the
// machine fails here instead of the process being killed later.
void push_larger(std::vector<uint64_t>& larger, uint64_t n, uint64_t v) {
    if (larger.size() == larger.capacity()) [[unlikely]] {
        const std::size_t next = std::max<std::size_t>(64, larger.capacity() * 2);
        refuse_oversized_allocation(result_bytes(n, static_cast<long double>(next)) +
                                    static_cast<long double>(larger.size()) * sizeof(uint64_t));
        larger.reserve(next);
    }
    larger.push_back(v);
}

// Groups edges by their smaller end, keeping their order within a group:
// `for_each_edge(f)` calls f(u, v) (u < v) for every edge, the same edges in
// the same order each time it is called (it is called twice).
template <class ForEachEdge>
GeneratedGraph group_by_smaller_end(uint64_t n, std::size_t count, ForEachEdge&& for_each_edge) {
    GeneratedGraph g;
    g.starts.assign(n + 1, 0);
    uint64_t* starts = g.starts.data();
    // starts[u + 1] counts u's edges, then (exclusive prefix sum) starts[u]
    // is where u's group begins; filling advances starts[u] to the group's
    // end, which is where u + 1's begins: one shift puts every start back.
    for_each_edge([&](uint64_t u, uint64_t) { ++starts[u + 1]; });
    for (uint64_t u = 1; u <= n; ++u) starts[u] += starts[u - 1];
    g.larger.resize(count);
    uint64_t* larger = g.larger.data();
    for_each_edge([&](uint64_t u, uint64_t v) { larger[starts[u]++] = v; });
    for (uint64_t u = n; u > 0; --u) starts[u] = starts[u - 1];
    starts[0] = 0;
    return g;
}

}  // namespace

GeneratedGraph erdos_renyi(uint64_t n, double p, uint64_t seed) {
    if (n > kMaxErdosRenyiNodes)
        throw Panic("n must be <= " + std::to_string(kMaxErdosRenyiNodes) +
                    " (erdos_renyi draws once per pair of nodes)");
    if (p >= 1.0 && n > 1) {
        // Every pair becomes an edge: a graph that cannot be held is refused
        // before the draws instead of after them.
        const long double pairs = static_cast<long double>(n) * static_cast<long double>(n - 1) / 2;
        refuse_oversized_allocation(result_bytes(n, pairs));
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
    // Pairs are drawn row by row, i < j: already grouped by the smaller end.
    GeneratedGraph g;
    g.starts.assign(n + 1, 0);
    for (uint64_t i = 0; i + 1 < n; ++i) {
        g.starts[i] = g.larger.size();
        uint64_t j = i + 1;
        rng.for_each_u64(n - j, [&](uint64_t u) {
            if ((u >> 11) < threshold) push_larger(g.larger, n, j);
            ++j;
        });
    }
    for (uint64_t i = n > 0 ? n - 1 : 0; i <= n; ++i) g.starts[i] = g.larger.size();
    return g;
}

GeneratedGraph watts_strogatz(uint64_t n, uint64_t k, double beta, uint64_t seed) {
    if (k >= n || k % 2 != 0) throw Panic("k must be even and < n");
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    const uint64_t half = k / 2;
    const std::size_t count = checked_count(static_cast<uint128>(n) * half);
    // The set (16-byte slots at most 3/4 full, plus a flag), the rewiring
    // list and the result all live at once at the end.
    refuse_oversized_allocation(static_cast<long double>(count) * (2 * 17 + 16) +
                                result_bytes(n, static_cast<long double>(count)));

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

    LargeArray<Pair> pairs;
    set.to_vector(pairs);  // the lattice, in the set's order
    for (const auto& [a, b] : pairs) {
        if (!(beta > rng.gen_f64())) continue;
        set.erase(Pair{a, b});
        // (a, b) itself is free again, so some w is always accepted.
        for (;;) {
            const uint64_t w = rng.gen_range(n);
            if (w == a) continue;
            if (set.insert(ordered(a, w))) break;
        }
    }

    // Every pair is stored as (smaller, larger).
    set.to_vector(pairs);
    return group_by_smaller_end(n, pairs.size(), [&](auto&& f) {
        for (const auto& [a, b] : pairs) f(a, b);
    });
}

GeneratedGraph barabasi_albert(uint64_t n, uint64_t m, uint64_t seed) {
    if (m == 0 || n <= m) throw Panic("need n > m >= 1");
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    const auto wide_m = static_cast<uint128>(m);
    const std::size_t count = checked_count(wide_m * (wide_m - 1) / 2 + (n - m) * wide_m);
    refuse_oversized_allocation(static_cast<long double>(count) * (2 * sizeof(uint64_t)) +
                                result_bytes(n, static_cast<long double>(count)));

    // Every edge end so far, the two ends of each edge side by side: a pick
    // from it is degree-weighted, and it is the edge list itself.
    std::vector<uint64_t> ends;
    ends.reserve(2 * count);
    for (uint64_t i = 0; i < m; ++i) {
        for (uint64_t j = i + 1; j < m; ++j) {
            ends.push_back(i);
            ends.push_back(j);
        }
    }

    KeyedHashSet<uint64_t> targets;
    targets.reserve(static_cast<std::size_t>(m));
    for (uint64_t v = m; v < n; ++v) {
        targets.rekey_and_clear();  // a new, freshly keyed set for each node
        // The picks index `ends` at random, each a likely cache miss. A node
        // mostly takes m draws, so the slots that the next words would pick
        // for this node and the two after it (with the list as long as it
        // will be by then) are asked for ahead; a redraw only skews a guess.
        rng.peek_u32(0, 3 * m, [&](uint32_t word, uint64_t ahead) {
            const uint64_t len =
                std::min<uint64_t>(ends.size() + 2 * m * (ahead / m), ends.capacity());
            __builtin_prefetch(ends.data() + ((static_cast<uint64_t>(word) * len) >> 32));
        });
        while (targets.size() < m) {
            const auto pick = rng.choose(std::span<const uint64_t>(ends));
            targets.insert(pick.value_or(0));
        }
        targets.for_each([&](uint64_t t) {
            ends.push_back(v);
            ends.push_back(t);
        });
    }

    // Clique edges are (i, j) with i < j, later ones (v, t) with t < v.
    const std::size_t edges = ends.size() / 2;
    const uint64_t* e = ends.data();
    return group_by_smaller_end(n, edges, [&](auto&& f) {
        for (std::size_t i = 0; i < edges; ++i) {
            const uint64_t a = e[2 * i];
            const uint64_t b = e[2 * i + 1];
            if (a < b) {
                f(a, b);
            } else {
                f(b, a);
            }
        }
    });
}

}  // namespace quorvane
