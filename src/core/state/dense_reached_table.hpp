// DenseReachedTable: one slot per possible node, for domains that number
// their nodes densely (grid cells, graph indices, numbered Hanoi towers);
// the slot array is zero-filled lazily (huge pages where Linux gives them),
// so a small search on a huge domain touches little. Also here: how a
// domain is numbered (DenseIndexing), whether a search takes a dense table
// (dense_table_fits), and the tree recorder of a dense table.
//
// `DenseIndexing<D>` says whether and how a domain numbers its nodes, from
// the hooks HasDenseSlots and IndexNodes of domain.hpp:
//   - a domain offering
//       uint64_t dense_slots() const;              // number of slots
//       <unsigned> dense_slot(const Node&) const;  // the node's slot
//       Node dense_node(<unsigned>) const;         // inverse of dense_slot
//     (the grid, numbered Hanoi towers) is dense-indexed through them, at
//     any size, unless it also offers `bool dense_worthwhile() const` and
//     that says no (then dense_slot is never called);
//   - a domain whose Node is uint64_t and which offers num_nodes() (the
//     CSR graph) is dense-indexed by the node itself, up to kMaxSlots
//     nodes: past that, scattered indices would touch a page per node.
// Specialise `DenseIndexing` to change the choice for a domain. Where the
// slot array cannot be allocated, the driver falls back to the hashed table.
// IMPORTANT: a dense table refers to its domain, which must outlive it.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "domain.hpp"
#include "large_array.hpp"
#include "state/outcome.hpp"
#include "state/reached_entries.hpp"
#include "state/reached_table_base.hpp"

namespace quorvane {

template <class D>
struct DenseIndexing {
    static constexpr bool enabled = false;
};

template <class D>
    requires HasDenseSlots<D>
struct DenseIndexing<D> {
    static constexpr bool enabled = true;
    using Id =
        decltype(std::declval<const D&>().dense_slot(std::declval<const typename D::Node&>()));
    static uint64_t slots(const D& d) noexcept { return d.dense_slots(); }
    static bool worthwhile(const D& d) noexcept {
        if constexpr (LimitsDenseSlots<D>) {
            return d.dense_worthwhile();
        } else {
            return true;
        }
    }
    static Id slot(const D& d, const typename D::Node& n) noexcept { return d.dense_slot(n); }
    static typename D::Node node(const D& d, Id id) { return d.dense_node(id); }
};

template <class D>
    requires(!HasDenseSlots<D> && IndexNodes<D>)
struct DenseIndexing<D> {
    static constexpr bool enabled = true;
    static constexpr uint64_t kMaxSlots = uint64_t{1} << 25;
    // 32 bits hold every slot up to kMaxSlots, and 32-bit ids make the
    // smaller table entries and packed frontier entries.
    using Id = uint32_t;
    static uint64_t slots(const D& d) noexcept { return d.num_nodes(); }
    static bool worthwhile(const D& d) noexcept { return d.num_nodes() <= kMaxSlots; }
    // Saturates at kMaxSlots, so a node past the table (only a start can
    // be: successors are nodes of the domain) never aliases a real slot.
    static Id slot(const D&, uint64_t n) noexcept {
        return static_cast<Id>(n < kMaxSlots ? n : kMaxSlots);
    }
    static uint64_t node(const D&, Id id) noexcept { return id; }
};

// Whether a search from `start` takes a dense table: one is worth having
// for the domain, and the start has a slot in it (a start is the only node
// that can lie outside: successors are nodes of the domain).
template <class D>
    requires DenseIndexing<D>::enabled
bool dense_table_fits(const D& domain, const typename D::Node& start) {
    using Indexing = DenseIndexing<D>;
    return Indexing::worthwhile(domain) &&
           static_cast<uint64_t>(Indexing::slot(domain, start)) < Indexing::slots(domain);
}

// One zero-initialised entry per slot of the domain, of the layout Entry:
// detail::CostEntry (16 bytes with 32-bit ids) for any search,
// detail::StepEntry (8 bytes) only for searches whose steps all cost 1.0,
// on a domain of at most StepEntry::kMaxSlots slots, and
// detail::MoveEntry (4 bytes) for those on a domain with HasDenseMoves of
// at most MoveEntry::kMaxSlots slots and kMaxMoves moves (then every
// parent handed to record_id must have the child among its successors), and
// detail::ByteMoveEntry (1 byte) likewise, for the breadth-first loop on
// slots alone.
// IMPORTANT: the domain must outlive the table.
template <class D, class Entry = detail::CostEntry<typename DenseIndexing<D>::Id>>
    requires DenseIndexing<D>::enabled
class DenseReachedTable
    : public detail::ReachedTableBase<DenseReachedTable<D, Entry>, typename D::Node,
                                      typename DenseIndexing<D>::Id, Entry> {
    using Base = detail::ReachedTableBase<DenseReachedTable<D, Entry>, typename D::Node,
                                          typename DenseIndexing<D>::Id, Entry>;
    using Indexing = DenseIndexing<D>;
    friend Base;

public:
    using typename Base::Id;
    using Node = typename D::Node;
    // Frontier entries hold slots: small entries make a faster heap.
    using Key = Id;

    // Nothing when the slot array cannot be allocated.
    static std::optional<DenseReachedTable> try_create(const D& domain) {
        const uint64_t n = Indexing::slots(domain);
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(Entry)) return std::nullopt;
        detail::ZeroedBlock block = detail::ZeroedBlock::allocate(n * sizeof(Entry));
        if (block.data() == nullptr) return std::nullopt;
        return DenseReachedTable(domain, std::move(block));
    }

    std::optional<Id> find(const Node& node) const { return Indexing::slot(*domain_, node); }
    Node node_at(Id id) const { return Indexing::node(*domain_, id); }

    Id id_of_key(Key key) const noexcept { return key; }
    Node node_of_key(Key key) const { return Indexing::node(*domain_, key); }
    // Leaves `node` as it was.
    std::pair<Id, Key> intern_key(Node& node) const noexcept {
        const Id id = Indexing::slot(*domain_, node);
        return {id, id};
    }
    // The node of a key just made by intern_key from `node`.
    const Node& interned_node(Key, const Node& node) const noexcept { return node; }

    uint64_t size() const noexcept { return recorded_; }

    // A hint to the cache that the entry of `node` is about to be used.
    void prefetch_node(const Node& node) const noexcept {
        __builtin_prefetch(entries_ + Indexing::slot(*domain_, node), 1);
    }
    // The same by frontier key.
    void prefetch_key(Key key) const noexcept { __builtin_prefetch(entries_ + key, 1); }

    // ByteMoveEntry only: record_id for a slot without an entry, given the
    // move from the parent (no lookup of the move).
    void record_new_move(Id id, Id move) noexcept
        requires std::same_as<Entry, detail::ByteMoveEntry<Id>>
    {
        ++recorded_;
        entries_[id].set(0.0, move + 1);
    }

    // Room worth reserving for per-node records of a search on this table:
    // one per slot, up to 2^20 (untouched reserved memory costs nothing).
    std::size_t capacity_hint() const noexcept {
        const uint64_t slots = Indexing::slots(*domain_);
        return static_cast<std::size_t>(slots < kHintCap ? slots : kHintCap);
    }

private:
    static constexpr uint64_t kHintCap = uint64_t{1} << 20;

    DenseReachedTable(const D& domain, detail::ZeroedBlock block)
        : domain_(&domain),
          block_(std::move(block)),
          entries_(static_cast<Entry*>(block_.data())) {}

    Entry& entry(Id id) noexcept { return entries_[id]; }
    const Entry& entry(Id id) const noexcept { return entries_[id]; }
    // MoveEntry only: the domain's move from slot `parent` to slot `child`,
    // and the parent of `child` from the move kept in its entry.
    Id move_between(Id parent, Id child) const noexcept {
        return static_cast<Id>(domain_->dense_move(parent, child));
    }
    Id moved_from(Id child) const noexcept {
        const Id move = entries_[child].move();
        if (move == 0) return Base::kNoParent;
        return static_cast<Id>(domain_->dense_unmove(child, move - 1));
    }
    void count_new() noexcept { ++recorded_; }

    const D* domain_;
    detail::ZeroedBlock block_;
    Entry* entries_;
    uint64_t recorded_ = 0;
};

// The general form, and the driver's calls to a recorder: reached_table.hpp.
template <class Table>
class TreeRecorder;

// On a dense table the edge is written as the node is first reached, with
// the node being expanded (kept by copy: a dense table's nodes are small
// values) as its parent: the final parent unless some entry was replaced
// later, in which case take_edges() reads every child's parent again (a
// child's id is a computation on its node here, no lookup). A unit-cost
// search never replaces an entry, and its tree then costs no pass over the
// table at the end, whose reads would come in wavefront order, at random.
template <class D, class Entry>
class TreeRecorder<DenseReachedTable<D, Entry>> {
public:
    using Table = DenseReachedTable<D, Entry>;
    using Id = typename Table::Id;
    using Node = typename Table::Node;

    explicit TreeRecorder(const Table& table) noexcept : table_(&table) {}

    void reserve(std::size_t n) { edges_.reserve(n); }
    void expanding(const Node& node) noexcept { parent_ = node; }
    void reached(Id, const Node& child) { edges_.push_back({parent_, child}); }
    void replaced() noexcept { replaced_ = true; }

    TreeEdges<Node> take_edges() {
        if (replaced_) {
            std::size_t kept = 0;
            for (const TreeEdge<Node>& edge : edges_) {
                const Id parent = table_->parent_id(*table_->find(edge.child));
                if (parent == Table::kNoParent) continue;
                edges_[kept++] = {table_->node_at(parent), edge.child};
            }
            edges_.truncate(kept);
        }
        return std::move(edges_);
    }

private:
    const Table* table_;
    TreeEdges<Node> edges_;
    Node parent_{};  // the node being expanded
    bool replaced_ = false;
};

}  // namespace quorvane
