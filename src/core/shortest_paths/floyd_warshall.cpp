#include "shortest_paths/floyd_warshall.hpp"

#include <algorithm>
#include <cmath>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include "panic.hpp"
#include "shortest_paths/negative_cycle.hpp"

namespace quorvane {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// One relaxation of row i against a pivot row k (i != k): every column j
// with di[j] > dk[j] + d takes that sum and the hop. The rows never overlap
// and each column reads and writes only itself, so the kernels may compare
// a vector of columns at once; late in the run almost nothing improves, so
// they store only where some lane did.
using RelaxRow = void (*)(double* __restrict di, uint64_t* __restrict ni,
                          const double* __restrict dk, double d, uint64_t hop, uint64_t n);

void relax_row_scalar(double* __restrict di, uint64_t* __restrict ni, const double* __restrict dk,
                      double d, uint64_t hop, uint64_t n) {
    for (uint64_t j = 0; j < n; ++j) {
        const double cand = dk[j] + d;
        if (di[j] > cand) {
            di[j] = cand;
            ni[j] = hop;
        }
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
#define QUORVANE_X86_KERNELS 1

__attribute__((target("avx2"))) void relax_row_avx2(double* __restrict di, uint64_t* __restrict ni,
                                                    const double* __restrict dk, double d,
                                                    uint64_t hop, uint64_t n) {
    const __m256d dv = _mm256_set1_pd(d);
    const __m256d hv = _mm256_castsi256_pd(_mm256_set1_epi64x(static_cast<long long>(hop)));
    uint64_t j = 0;
    for (; j + 4 <= n; j += 4) {
        const __m256d cand = _mm256_add_pd(_mm256_loadu_pd(dk + j), dv);
        const __m256d better = _mm256_cmp_pd(_mm256_loadu_pd(di + j), cand, _CMP_GT_OQ);
        if (_mm256_movemask_pd(better) == 0) continue;
        const __m256i mask = _mm256_castpd_si256(better);
        _mm256_maskstore_pd(di + j, mask, cand);
        _mm256_maskstore_pd(reinterpret_cast<double*>(ni + j), mask, hv);
    }
    relax_row_scalar(di + j, ni + j, dk + j, d, hop, n - j);
}

__attribute__((target("avx512f"))) void relax_row_avx512(double* __restrict di,
                                                         uint64_t* __restrict ni,
                                                         const double* __restrict dk, double d,
                                                         uint64_t hop, uint64_t n) {
    const __m512d dv = _mm512_set1_pd(d);
    const __m512i hv = _mm512_set1_epi64(static_cast<long long>(hop));
    uint64_t j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m512d cand = _mm512_add_pd(_mm512_loadu_pd(dk + j), dv);
        const __mmask8 better = _mm512_cmp_pd_mask(_mm512_loadu_pd(di + j), cand, _CMP_GT_OQ);
        if (better == 0) continue;
        _mm512_mask_storeu_pd(di + j, better, cand);
        _mm512_mask_storeu_epi64(ni + j, better, hv);
    }
    relax_row_scalar(di + j, ni + j, dk + j, d, hop, n - j);
}
#endif

bool kernel_available(detail::RelaxKernel kernel) {
#ifdef QUORVANE_X86_KERNELS
    __builtin_cpu_init();
    if (kernel == detail::RelaxKernel::avx512) return __builtin_cpu_supports("avx512f");
    if (kernel == detail::RelaxKernel::avx2) return __builtin_cpu_supports("avx2");
#endif
    return kernel == detail::RelaxKernel::portable;
}

RelaxRow relax_row_for(detail::RelaxKernel kernel) {
    switch (kernel) {
#ifdef QUORVANE_X86_KERNELS
        case detail::RelaxKernel::avx512: return relax_row_avx512;
        case detail::RelaxKernel::avx2: return relax_row_avx2;
#endif
        case detail::RelaxKernel::portable: return relax_row_scalar;
        default: break;
    }
    for (auto k : {detail::RelaxKernel::avx512, detail::RelaxKernel::avx2})
        if (kernel_available(k)) return relax_row_for(k);
    return relax_row_scalar;
}

// Row k against itself, reached only when dist[k][k] = d < 0: entries are
// rewritten while the row is read, one column at a time.
void relax_own_row(double* dk, uint64_t* nk, double d, uint64_t hop, uint64_t n) noexcept {
    for (uint64_t j = 0; j < n; ++j) {
        const double cand = dk[j] + d;
        if (dk[j] > cand) {
            dk[j] = cand;
            nk[j] = hop;
        }
    }
}

// Pivots are taken kBlock at a time so that each row is relaxed against a
// whole block while it sits in the cache (see `relax_all`).
constexpr uint64_t kBlock = 64;

// The k-i-j triple loop, in an order that gives bit-identical tables.
//
// Row i's update at iteration k reads only row i itself and row k as it
// stands at that moment, and row k changes during iteration k only through
// its own update (when dist[k][k] < 0). So for a block of pivots
// k0 .. k1-1: first the block's own rows run the iterations in the plain
// order, and each pivot row is copied as it stands at its iteration, both
// before its own update (what rows above it saw) and after (what rows below
// it saw); then every other row runs the block's iterations in order
// against those copies, which stay in the cache.
void relax_all(double* dist, uint64_t* next, uint64_t n, RelaxRow relax_row) {
    const uint64_t block = n < kBlock ? n : kBlock;
    std::vector<double> after(block * n);   // pivot rows after their own update
    std::vector<double> before(block * n);  // ... and before it, where it changed them
    std::vector<char> changed_own(block);

    for (uint64_t k0 = 0; k0 < n; k0 += block) {
        const uint64_t k1 = k0 + block < n ? k0 + block : n;
        for (uint64_t k = k0; k < k1; ++k) {
            double* dk = dist + k * n;
            changed_own[k - k0] = 0;
            for (uint64_t i = k0; i < k1; ++i) {
                double* di = dist + i * n;
                const double d = di[k];
                if (!std::isfinite(d)) continue;
                if (i != k) {
                    relax_row(di, next + i * n, dk, d, next[i * n + k], n);
                } else if (d < 0.0) {  // otherwise no candidate can beat its own entry
                    std::copy(dk, dk + n,
                              before.begin() + static_cast<std::ptrdiff_t>((k - k0) * n));
                    changed_own[k - k0] = 1;
                    relax_own_row(dk, next + k * n, d, next[k * n + k], n);
                }
            }
            std::copy(dk, dk + n, after.begin() + static_cast<std::ptrdiff_t>((k - k0) * n));
        }
        const auto relax_against_block = [&](uint64_t i) {
            double* di = dist + i * n;
            uint64_t* ni = next + i * n;
            for (uint64_t k = k0; k < k1; ++k) {
                const double d = di[k];
                if (!std::isfinite(d)) continue;
                const std::vector<double>& pivot = i < k0 && changed_own[k - k0] ? before : after;
                relax_row(di, ni, pivot.data() + (k - k0) * n, d, ni[k], n);
            }
        };
        for (uint64_t i = 0; i < k0; ++i) relax_against_block(i);
        for (uint64_t i = k1; i < n; ++i) relax_against_block(i);
    }
}

}  // namespace

void check_all_pairs_size(uint64_t num_nodes) {
    // The largest allocation is 2^63 - 8 bytes; an optional next hop takes
    // 16 bytes, so more than (2^63 - 8) / 16 pairs cannot be addressed.
    constexpr uint64_t kMaxPairs = ((uint64_t{1} << 63) - 8) / 16;
    if (num_nodes != 0 && num_nodes > kMaxPairs / num_nodes) throw Panic("capacity overflow");
    refuse_oversized_allocation(static_cast<long double>(num_nodes) * num_nodes *
                                (sizeof(double) + sizeof(uint64_t)));
}

namespace detail {

std::vector<RelaxKernel> available_relax_kernels() {
    std::vector<RelaxKernel> out;
    for (auto k : {RelaxKernel::portable, RelaxKernel::avx2, RelaxKernel::avx512})
        if (kernel_available(k)) out.push_back(k);
    return out;
}

}  // namespace detail

AllPairs floyd_warshall(const Csr& graph) {
    return detail::floyd_warshall_with(graph, detail::RelaxKernel::best);
}

AllPairs detail::floyd_warshall_with(const Csr& graph, RelaxKernel kernel) {
    const uint64_t n = graph.num_nodes();
    check_all_pairs_size(n);

    AllPairs r;
    r.num_nodes = n;
    r.dist.assign(n * n, kInf);
    r.next.assign(n * n, kNoNode);
    double* dist = r.dist.data();
    uint64_t* next = r.next.data();
    for (uint64_t i = 0; i < n; ++i) dist[i * n + i] = 0.0;

    const uint64_t* off = graph.offsets().data();
    const Successor<uint64_t>* arcs = graph.arcs().data();
    for (uint64_t u = 0; u < n; ++u)
        for (uint64_t a = off[u]; a < off[u + 1]; ++a) {
            const uint64_t v = arcs[a].node;
            if (dist[u * n + v] > arcs[a].cost) {
                dist[u * n + v] = arcs[a].cost;
                next[u * n + v] = v;
            }
        }

    static const RelaxRow best = relax_row_for(RelaxKernel::best);
    relax_all(dist, next, n, kernel == RelaxKernel::best ? best : relax_row_for(kernel));

    for (uint64_t i = 0; i < n && !r.negative_cycle; ++i) r.negative_cycle = dist[i * n + i] < 0.0;

    // A row is skipped while dist[i][k] is -inf, so a cycle made only of
    // -inf-reached hops can leave every diagonal entry at 0.0.
    if (!r.negative_cycle) {
        bool minus_inf = false;
        for (uint64_t x = 0; x < n * n && !minus_inf; ++x) minus_inf = dist[x] == -kInf;
        if (minus_inf) {
            std::vector<uint64_t> all(n);
            for (uint64_t v = 0; v < n; ++v) all[v] = v;
            r.negative_cycle = detail::negative_cycle_reachable(graph, all);
        }
    }
    return r;
}

std::optional<std::vector<uint64_t>> AllPairs::rebuild_path(uint64_t from, uint64_t to) const {
    const uint64_t n = num_nodes;
    if (from >= n || to >= n || !std::isfinite(dist[from * n + to])) return std::nullopt;
    std::vector<uint64_t> path{from};
    for (uint64_t u = from; u != to;) {
        const uint64_t hop = next[u * n + to];
        if (hop == kNoNode) return std::nullopt;
        u = hop;
        path.push_back(u);
        if (path.size() > n) return std::nullopt;  // the hops run in a cycle
    }
    return path;
}

std::vector<std::vector<double>> AllPairs::rows() const {
    std::vector<std::vector<double>> out;
    out.reserve(num_nodes);
    for (uint64_t i = 0; i < num_nodes; ++i)
        out.emplace_back(dist.begin() + static_cast<std::ptrdiff_t>(i * num_nodes),
                         dist.begin() + static_cast<std::ptrdiff_t>((i + 1) * num_nodes));
    return out;
}

}  // namespace quorvane
