#include "graph/csr.hpp"

#include <new>
#include <string>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

#include "panic.hpp"

namespace quorvane {

namespace {

// Physical memory of the machine in bytes, or 0 when it cannot be read.
long double physical_memory_bytes() noexcept {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0)
        return static_cast<long double>(pages) * static_cast<long double>(page_size);
#endif
    return 0;
}

[[noreturn]] void edge_out_of_range(const Edge& e, uint64_t num_nodes) {
    throw Panic("edge (" + std::to_string(e.u) + ", " + std::to_string(e.v) +
                ") is out of range for a " + std::to_string(num_nodes) + "-node graph");
}

}  // namespace

void refuse_oversized_allocation(long double bytes) {
    // Linux overcommits: an allocation past physical memory often succeeds
    // and the process is killed once the pages are touched. Refusing such a
    // size up front turns it into an exception the caller can report.
    static const long double limit = physical_memory_bytes();
    if (limit > 0 && bytes > limit) throw std::bad_alloc();
}

Csr Csr::from_edges(uint64_t num_nodes, std::span<const Edge> edges, bool undirected) {
    // One 64-bit counter per node: past 2^60 nodes its byte size has no
    // representable allocation.
    if (num_nodes >= (uint64_t{1} << 60)) throw Panic("capacity overflow");

    for (const Edge& e : edges)
        if (e.u >= num_nodes || e.v >= num_nodes) edge_out_of_range(e, num_nodes);

    const long double arc_count =
        static_cast<long double>(edges.size()) * (undirected ? 2.0L : 1.0L);
    refuse_oversized_allocation((static_cast<long double>(num_nodes) + 1) * sizeof(uint64_t) +
                                arc_count * sizeof(Successor<Node>));

    Csr g;
    // offsets[u] first counts u's arcs, then (inclusive prefix sum) holds
    // the end of u's run; the fill walks the edges backwards and places
    // each arc just below the end of its node's run, which leaves offsets[u]
    // at the run's start and every run in edge order. No cursor array.
    g.offsets_.assign(num_nodes + 1, 0);
    uint64_t* off = g.offsets_.data();
    for (const Edge& e : edges) {
        ++off[e.u];
        if (undirected) ++off[e.v];
    }
    uint64_t total = 0;
    for (uint64_t i = 0; i < num_nodes; ++i) {
        total += off[i];
        off[i] = total;
    }
    off[num_nodes] = total;

    g.arcs_.resize(total);
    Successor<Node>* arcs = g.arcs_.data();
    for (std::size_t k = edges.size(); k-- > 0;) {
        const Edge& e = edges[k];
        // Backwards, so within this edge v's reverse arc goes first: for an
        // undirected self-loop both arcs are equal and the order is moot.
        if (undirected) arcs[--off[e.v]] = {e.u, e.w};
        arcs[--off[e.u]] = {e.v, e.w};
    }
    return g;
}

EdgeList Csr::to_edges() const {
    EdgeList out;
    out.reserve(arcs_.size());
    const uint64_t n = num_nodes();
    for (uint64_t u = 0; u < n; ++u)
        for (uint64_t i = offsets_[u]; i < offsets_[u + 1]; ++i)
            out.push_back({u, arcs_[i].node, arcs_[i].cost});
    return out;
}

void Csr::node_out_of_range(Node node) const {
    throw Panic("node " + std::to_string(node) + " is out of range for a " +
                std::to_string(num_nodes()) + "-node graph");
}

}  // namespace quorvane
