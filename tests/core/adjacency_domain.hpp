// A small adjacency-list domain for driver unit tests: arcs listed per node
// in input order, successor listings counted, a heuristic read from a table,
// and the trace of an outcome as plain tuples.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include "domain.hpp"
#include "state/outcome.hpp"

namespace quorvane::test_support {

using N = uint64_t;
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Arc {
    N u, v;
    double w;
};

// Arcs listed per node in input order; `calls` counts successor listings.
struct AdjDomain {
    using Node = N;
    std::vector<SuccessorList<N>> adj;
    mutable uint64_t calls = 0;

    static AdjDomain build(std::size_t n, const std::vector<Arc>& arcs, bool undirected) {
        AdjDomain d;
        d.adj.resize(n);
        for (const Arc& a : arcs) {
            d.adj[a.u].push_back({a.v, a.w});
            if (undirected) d.adj[a.v].push_back({a.u, a.w});
        }
        return d;
    }
    AdjDomain reversed() const {
        AdjDomain r;
        r.adj.resize(adj.size());
        for (N u = 0; u < adj.size(); ++u)
            for (const auto& s : adj[u]) r.adj[s.node].push_back({u, s.cost});
        return r;
    }
    void successors_into(const N& n, SuccessorList<N>& out) const {
        ++calls;
        out.insert(out.end(), adj[n].begin(), adj[n].end());
    }
    SuccessorList<N> successors(const N& n) const {
        SuccessorList<N> out;
        successors_into(n, out);
        return out;
    }
};
static_assert(Domain<AdjDomain>);

// h read from a table indexed by node, whatever the goal.
struct TableHeuristic {
    std::vector<double> h;
    double operator()(const N& n, const N&) const { return h[n]; }
};

inline std::vector<std::tuple<N, std::optional<double>, uint64_t>> trace_of(
    const SearchOutcome<N>& out) {
    std::vector<std::tuple<N, std::optional<double>, uint64_t>> t;
    for (const auto& e : out.trace) t.emplace_back(e.node, e.g, e.frontier_size);
    return t;
}

}  // namespace quorvane::test_support
