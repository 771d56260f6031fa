// The reached table: the memory of one search, and the interface the
// search loops call of it.
//
// For every node the search has reached it holds g (the best cost from the
// start found so far), the parent (the node whose expansion gave that g;
// none for the start), the depth of that path, and whether the node is
// closed (popped and expanded at its current g). The best-first loop
// (drivers/best_first.hpp) records the start first, records every child
// before pushing it, closes every node it pops and rebuilds the path from
// the parents when it pops the goal; beam search (drivers/beam.hpp) and
// each side of bidirectional search (drivers/bidirectional.hpp) record
// every node first reached and rebuild paths, and close nothing.
//
// Those loops require ReachedTable (below) of their table T:
//   T::Node       the domain's node;
//   T::Id         an unsigned integer naming a node in this table (an
//                 index, a slot, the node's word), the node's for the
//                 table's life;
//   T::Key        what a frontier or a layer holds for a node: copyable,
//                 valid for the table's life (the id itself, today);
//   T::kNoParent  an Id that is no node's: the parent of a start.
// Operations; every `id` is one the table gave (intern_key, id_of_key,
// find, or parent_id other than kNoParent), every `key` one intern_key gave:
//   intern_key(node)          -> {id, key} of `node`, adding it as an absent
//                             entry when new; may move from `node` (below);
//   interned_node(key, node)  -> the node of the key intern_key just made
//                             from `node`, `node` possibly moved from;
//   id_of_key(key)            -> the key's id;
//   node_of_key(key)          -> the key's node;
//   find(node)                -> the id of a node the table has interned (its
//                             entry may still be absent), nothing for any
//                             other (a dense table gives every node its
//                             slot); adds nothing;
//   node_at(id)               -> the id's node;
//   state_id(id)              -> absent, open or closed;
//   g_id(id)                  -> the entry's g (meaningless when absent);
//   record_id(id, g, parent, depth)
//                             stores a whole new entry {g, parent, depth,
//                             open}, replacing any entry the node had,
//                             closed or not: the table never compares
//                             costs; a node absent before counts in
//                             size(). `parent` is kNoParent for a start,
//                             and with a layout that keeps the parent as a
//                             move (ParentByMove) a node that has the child
//                             among its successors; `depth` is the parent's
//                             depth + 1 where a loop reads it back (the
//                             best-first loop when reopening), else 0;
//   close_id(id)              -> g, and marks the node closed; nothing when
//                             it was closed already (the popped frontier
//                             entry is a stale duplicate); panics on an
//                             absent node;
//   depth_id(id)              -> the depth the node was recorded with,
//                             saturating at the layout's kMaxDepth (g for a
//                             unit-step layout, which keeps no depth of its
//                             own: there the two agree);
//   parent_id(id)             -> the parent of a recorded node, kNoParent
//                             for a start;
//   rebuild_path_id(id)       -> start ... node, following parents. A parent
//                             without an entry ends the path, and so does
//                             the first node repeated (a loop of parents,
//                             which only reopening on a negative-cost cycle
//                             makes), so this always ends;
//   size()                    -> distinct nodes recorded.
// What stays valid: ids and keys, for the table's life. Nodes: a table that
// holds them (HoldsNodes, the general hashed table) gives references into
// itself from node_of_key, node_at and interned_node, and intern_key of a
// new node may move every node, so such a reference dies at the next
// intern_key: a loop that needs a node past one keeps a copy. The other
// tables give nodes by value, or give back the caller's `node`.
// IMPORTANT: intern_key moves a new node into a table that holds nodes,
// leaving the caller's `node` moved from (the other tables leave it as it
// was); a loop reads the child it just interned through
// interned_node(key, node), never through `node`.
//
// The breadth-first loop on slots (drivers/best_first_slots.hpp) requires
// SlotReachedTable instead: a table of ids alone, with no keys and no g.
// The dense table of ByteMoveEntry is the one (it keeps no g, so it has no
// g_id, close_id or depth_id and is no ReachedTable). The loop calls
// record_id (of the start), state_id, node_at, rebuild_path_id, and the
// hooks prefetch_key and capacity_hint (below), all with slots, and
//   close_state_id(id)        close_id without g: false when the node was
//                             closed already, else closes it and gives true;
//                             panics on an absent node;
//   record_new_move(id, move) record_id of a node without an entry, given
//                             the number of the move from its parent (no
//                             lookup of the move).
//
// The operations on entries (state_id, g_id, record_id, close_id,
// close_state_id, depth_id, parent_id, rebuild_path_id) are written once,
// in detail::ReachedTableBase (reached_table_base.hpp); a table supplies
// the storage of its entries, its ids, keys and nodes, and size().
//
// Three tables give identical answers: nothing observable depends on which
// one a search uses, because no operation iterates over the table. They
// differ in how they find a node's entry and in the entry layouts they take
// (reached_entries.hpp); the smaller layouts are only for searches whose
// steps all cost 1.0, each within its limits of slots and moves. A dense
// table needs a domain that numbers its nodes (DenseIndexing), a slot for
// the start (dense_table_fits) and the memory for its slot array. A
// best-first search takes the table its plan names
// (drivers/best_first_plan.hpp, where the conditions are exact):
//
//   table                layout         when                          what it buys
//   DenseReachedTable    ByteMoveEntry  breadth-first on unit steps   1 byte a slot, no g
//   (dense_reached_                     named by slot and move
//    table.hpp)                         (VisitsDenseSteps)
//                        MoveEntry      unit steps, HasDenseMoves     4 bytes a slot
//                        StepEntry      unit steps                    8 bytes a slot
//                        CostEntry      any search                    16 bytes a slot, no hashing
//   WordReachedTable     MoveEntry      one-word nodes (OneWordNode), 16-byte slots, node and
//   (word_reached_                      unit steps, HasWordMoves      entry in one
//    table.hpp)
//   HashedReachedTable   CostEntry      one-word nodes: it is the     32-byte slots, one cache
//   (hashed_reached_                    word table of CostEntry       line a lookup
//    table.hpp)          CostEntry      any other node                8-byte slots, nodes and
//                                                                     16-byte entries apart
//
// A dense table, and a word table of MoveEntry, refer to their domain.
// IMPORTANT: the domain must outlive such a table.
//
// Optional hooks, each a concept below, that the best-first loop uses for
// speed only (the loop on slots requires prefetch_key and capacity_hint):
//   prefetch_key(k)     PrefetchesKeys   a cache hint for the entry of a
//                                        frontier key (dense, word tables)
//   prefetch_node(n)    PrefetchesNodes  the same for a node (every table)
//   capacity_hint()     HintsCapacity    room worth reserving for per-node
//                                        records (dense tables)
//   node_of_key(k) &    HoldsNodes       the node lives in the table and
//                                        moves when a node is interned (the
//                                        general hashed table)
//
// Also here: TreeRecorder, which gathers the search tree of a recorded
// search (the dense table's own is in dense_reached_table.hpp), and
// with_cost_tables, the choice of table for the drivers that keep one
// table per side or one in all (dense of CostEntry, else hashed).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "state/dense_reached_table.hpp"
#include "state/hashed_reached_table.hpp"
#include "state/outcome.hpp"
#include "state/reached_entries.hpp"
#include "state/word_reached_table.hpp"

namespace quorvane {

// The table of the best-first loop, beam and bidirectional search: the
// types and operations above.
template <class T>
concept ReachedTable =
    requires(T& t, const T& ct, typename T::Node& node, const typename T::Node& cnode,
             typename T::Key key, typename T::Id id, double g) {
        requires std::unsigned_integral<typename T::Id>;
        requires std::copyable<typename T::Key>;
        { T::kNoParent } -> std::convertible_to<typename T::Id>;
        { t.intern_key(node) } -> std::same_as<std::pair<typename T::Id, typename T::Key>>;
        { ct.interned_node(key, cnode) } -> std::convertible_to<const typename T::Node&>;
        { ct.id_of_key(key) } -> std::same_as<typename T::Id>;
        { ct.node_of_key(key) } -> std::convertible_to<const typename T::Node&>;
        { ct.find(cnode) } -> std::same_as<std::optional<typename T::Id>>;
        { ct.node_at(id) } -> std::convertible_to<const typename T::Node&>;
        { ct.state_id(id) } -> std::same_as<Reached>;
        { ct.g_id(id) } -> std::same_as<double>;
        t.record_id(id, g, id, id);
        { t.close_id(id) } -> std::same_as<std::optional<double>>;
        { ct.depth_id(id) } -> std::same_as<typename T::Id>;
        { ct.parent_id(id) } -> std::same_as<typename T::Id>;
        { ct.rebuild_path_id(id) } -> std::same_as<std::vector<typename T::Node>>;
        { ct.size() } -> std::convertible_to<uint64_t>;
    };

// The table of the loop on slots: ids alone, with no keys and no g.
template <class T>
concept SlotReachedTable = requires(T& t, const T& ct, typename T::Id id, double g) {
    typename T::Node;
    requires std::unsigned_integral<typename T::Id>;
    { T::kNoParent } -> std::convertible_to<typename T::Id>;
    t.record_id(id, g, id, id);
    t.record_new_move(id, id);
    { t.close_state_id(id) } -> std::same_as<bool>;
    { ct.state_id(id) } -> std::same_as<Reached>;
    { ct.node_at(id) } -> std::convertible_to<const typename T::Node&>;
    { ct.rebuild_path_id(id) } -> std::same_as<std::vector<typename T::Node>>;
    ct.prefetch_key(id);
    { ct.capacity_hint() } -> std::convertible_to<std::size_t>;
};

template <class T>
concept PrefetchesKeys = requires(const T& t, typename T::Key k) { t.prefetch_key(k); };

template <class T>
concept PrefetchesNodes = requires(const T& t, const typename T::Node& n) { t.prefetch_node(n); };

template <class T>
concept HintsCapacity = requires(const T& t) {
    { t.capacity_hint() } -> std::convertible_to<std::size_t>;
};

template <class T>
concept HoldsNodes = requires(const T& t, typename T::Key k) {
    requires std::is_reference_v<decltype(t.node_of_key(k))>;
};

// The search tree of a recorded best-first search, gathered while it runs:
// one (parent, child) edge per node first reached other than the start, in
// first-reached order, with the parent the table holds at the end (a node
// improved after it was first reached shows its final parent). The driver
// calls
//   expanding(node)             as it expands a node, before it interns any
//                               child (`node` may refer into the table);
//   reached(child, child_node)  when it records a node not reached before,
//                               a child of the node being expanded;
//   replaced()                  when it records a node already reached (an
//                               improvement or reopening);
//   take_edges()                once, at the end.
// This general form keeps the ids of the nodes first reached and reads each
// one's parent and nodes at the end. IMPORTANT: the table must outlive it.
template <class Table>
class TreeRecorder {
public:
    using Id = typename Table::Id;
    using Node = typename Table::Node;

    explicit TreeRecorder(const Table& table) noexcept : table_(&table) {}

    void reserve(std::size_t n) { first_reached_.reserve(n); }
    void expanding(const Node&) noexcept {}
    void reached(Id child, const Node&) { first_reached_.push_back(child); }
    void replaced() noexcept {}

    TreeEdges<Node> take_edges() {
        TreeEdges<Node> tree;
        tree.reserve(first_reached_.size());
        for (const Id id : first_reached_) {
            const Id parent = table_->parent_id(id);
            if (parent == Table::kNoParent) continue;
            tree.push_back({table_->node_at(parent), table_->node_at(id)});
        }
        return tree;
    }

private:
    const Table* table_;
    std::vector<Id> first_reached_;
};

// Calls run(table) with kTables == 1, run(first, second) with 2, on fresh
// tables of one kind: dense ones (CostEntry) where the domain numbers its
// nodes, each of `nodes` has a slot and the memory can be had, else hashed
// ones. For the drivers that keep one table per side or one in all.
template <std::size_t kTables, class D, class F, class... Nodes>
    requires(kTables == 1 || kTables == 2)
void with_cost_tables(const D& domain, F&& run, const Nodes&... nodes) {
    if constexpr (DenseIndexing<D>::enabled) {
        if ((dense_table_fits(domain, nodes) && ...)) {
            auto first = DenseReachedTable<D>::try_create(domain);
            if constexpr (kTables == 1) {
                if (first) return run(*first);
            } else if (first) {
                if (auto second = DenseReachedTable<D>::try_create(domain))
                    return run(*first, *second);
            }
        }
    }
    HashedReachedTable<typename D::Node> first;
    if constexpr (kTables == 1) {
        run(first);
    } else {
        HashedReachedTable<typename D::Node> second;
        run(first, second);
    }
}

}  // namespace quorvane
