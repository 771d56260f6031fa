// The explicit weighted graph: compressed sparse rows over the nodes
// 0 .. num_nodes - 1.
//
// Built once from an edge list by `Csr::from_edges`, immutable afterwards.
// Every node's arcs stand contiguously, in the order of the edges that
// produced them: edge (u, v, w) gives the arc u -> v and, for an undirected
// build, the arc v -> u at that edge's place in v's list. Nothing is sorted,
// merged or deduplicated: parallel edges stay separate arcs, an undirected
// self-loop is two consecutive arcs, and weights (negative, zero, infinite,
// NaN) are stored as given. The search drivers therefore meet successors in
// the caller's edge order, which decides among equally good paths.
//
// Storage: `offsets` (num_nodes + 1 entries, offsets[0] = 0, non-decreasing,
// last = number of arcs) and one array of (target, weight) arcs, laid out as
// the domain's `Successor` pairs so that appending a node's successors is one
// contiguous copy.
//
// Failures (all before any array is built, so no partial graph exists):
//   - num_nodes >= 2^60: Panic "capacity overflow" (the counter array alone
//     would pass the largest representable allocation);
//   - an endpoint >= num_nodes: Panic "edge (u, v) is out of range for a
//     n-node graph" naming the first such edge; both endpoints are checked
//     whatever `undirected` says;
//   - arrays larger than this machine's memory: std::bad_alloc, raised
//     before allocating, so the process is never driven out of memory.
// Complexity: from_edges O(num_nodes + edges), two passes over the list;
// to_edges O(num_nodes + arcs); successors_into O(out-degree); successors_view
// O(1).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "domain.hpp"
#include "large_array.hpp"

namespace quorvane {

// One (u, v, w) record of an edge list.
struct Edge {
    uint64_t u;
    uint64_t v;
    double w;

    friend bool operator==(const Edge&, const Edge&) = default;
};

using EdgeList = std::vector<Edge, KeptArrayAllocator<Edge>>;

// "edge ({u}, {v}) is out of range for a {n}-node graph": the text of the
// core's panic, and of the extension module's ValueError for the same edge.
std::string edge_out_of_range_message(const Edge& edge, uint64_t num_nodes);

class Csr : public FreshSuccessors<Csr> {
public:
    using ArcArray = std::vector<Successor<uint64_t>, KeptArrayAllocator<Successor<uint64_t>>>;

    using Node = uint64_t;

    static Csr from_edges(uint64_t num_nodes, std::span<const Edge> edges, bool undirected);

    uint64_t num_nodes() const noexcept { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    uint64_t num_arcs() const noexcept { return arcs_.size(); }

    // Appends the node's arcs in storage order; what `out` held stays in
    // front. Grows `out` at most once; allocates nothing when it has room.
    void successors_into(Node node, SuccessorList<Node>& out) const {
        if (node >= num_nodes()) [[unlikely]]
            node_out_of_range(node);
        out.insert(out.end(), arcs_.begin() + static_cast<std::ptrdiff_t>(offsets_[node]),
                   arcs_.begin() + static_cast<std::ptrdiff_t>(offsets_[node + 1]));
    }

    // The node's arcs in place, in storage order: the entries successors_into
    // would append, without the copy. Valid while the graph lives.
    std::span<const Successor<Node>> successors_view(Node node) const {
        if (node >= num_nodes()) [[unlikely]]
            node_out_of_range(node);
        return {arcs_.data() + offsets_[node], arcs_.data() + offsets_[node + 1]};
    }

    // A hint to the cache that the node's arcs are about to be read: the
    // first three cache lines from where they start (past the last arc
    // only a prefetch, never a read). The node must be below num_nodes().
    void prefetch_successors(Node node) const noexcept {
        const auto at = reinterpret_cast<uintptr_t>(arcs_.data() + offsets_[node]);
        __builtin_prefetch(reinterpret_cast<const void*>(at));
        __builtin_prefetch(reinterpret_cast<const void*>(at + 64));
        __builtin_prefetch(reinterpret_cast<const void*>(at + 128));
    }

    // Every arc as (u, target, weight), u ascending, each node's arcs in
    // storage order. For a directed build this is the input list stably
    // grouped by u.
    EdgeList to_edges() const;

    const std::vector<uint64_t>& offsets() const noexcept { return offsets_; }
    const ArcArray& arcs() const noexcept { return arcs_; }

private:
    [[noreturn]] void node_out_of_range(Node node) const;

    std::vector<uint64_t> offsets_;
    ArcArray arcs_;
};

static_assert(Domain<Csr>);

}  // namespace quorvane
