#include "graph/csr.hpp"

#include <cstdint>
#include <new>
#include <string>

#include "panic.hpp"

namespace quorvane {

namespace {

[[noreturn]] void edge_out_of_range(const Edge& e, uint64_t num_nodes) {
    throw Panic(edge_out_of_range_message(e, num_nodes));
}

}  // namespace

std::string edge_out_of_range_message(const Edge& edge, uint64_t num_nodes) {
    return "edge (" + std::to_string(edge.u) + ", " + std::to_string(edge.v) +
           ") is out of range for a " + std::to_string(num_nodes) + "-node graph";
}

Csr Csr::from_edges(uint64_t num_nodes, std::span<const Edge> edges, bool undirected) {
    // One 64-bit counter per node: past 2^60 nodes its byte size has no
    // representable allocation.
    if (num_nodes >= (uint64_t{1} << 60)) throw Panic("capacity overflow");

    // The range check and the degree count share one pass when the counter
    // array is small next to the edge list (allocating it first is then
    // cheap even if an edge turns out to be out of range). A node count far
    // beyond the edges is checked on its own first, so a bad edge is named
    // before an oversized allocation is attempted.
    const bool fused = num_nodes <= 2 * static_cast<uint64_t>(edges.size()) + (uint64_t{1} << 20);
    if (!fused)
        for (const Edge& e : edges)
            if (e.u >= num_nodes || e.v >= num_nodes) edge_out_of_range(e, num_nodes);

    const long double arc_count =
        static_cast<long double>(edges.size()) * (undirected ? 2.0L : 1.0L);
    if (!fused)
        refuse_oversized_allocation((static_cast<long double>(num_nodes) + 1) * sizeof(uint64_t) +
                                    arc_count * sizeof(Successor<Node>));

    Csr g;
    // offsets[u] first counts u's arcs, then (inclusive prefix sum) holds
    // the end of u's run; the fill walks the edges backwards and places
    // each arc just below the end of its node's run, which leaves offsets[u]
    // at the run's start and every run in edge order. No cursor array.
    g.offsets_.assign(num_nodes + 1, 0);
    uint64_t* off = g.offsets_.data();
    if (fused) {
        for (const Edge& e : edges) {
            if (e.u >= num_nodes || e.v >= num_nodes) [[unlikely]]
                edge_out_of_range(e, num_nodes);
            ++off[e.u];
            if (undirected) ++off[e.v];
        }
        refuse_oversized_allocation((static_cast<long double>(num_nodes) + 1) * sizeof(uint64_t) +
                                    arc_count * sizeof(Successor<Node>));
    } else {
        for (const Edge& e : edges) {
            ++off[e.u];
            if (undirected) ++off[e.v];
        }
    }
    uint64_t total = 0;
    for (uint64_t i = 0; i < num_nodes; ++i) {
        total += off[i];
        off[i] = total;
    }
    off[num_nodes] = total;

    // Every slot is written below: the array is left uninitialised.
    g.arcs_.resize(total);
    Successor<Node>* arcs = g.arcs_.data();
    // The arcs land at scattered places of a large array; the slots that an
    // edge kAhead positions further on will write are asked for early. The
    // address is a guess (edges in between may still move a cursor), close
    // enough to name the right cache line almost always; the edge ahead is
    // not placed yet, so its nodes' cursors are at least 1.
    constexpr std::size_t kAhead = 16;
    const Edge* list = edges.data();
    for (std::size_t k = edges.size(); k-- > 0;) {
        if (k >= kAhead) {
            const Edge& ahead = list[k - kAhead];
            __builtin_prefetch(arcs + off[ahead.u] - 1, 1);
            if (undirected) __builtin_prefetch(arcs + off[ahead.v] - 1, 1);
        }
        const Edge& e = list[k];
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
