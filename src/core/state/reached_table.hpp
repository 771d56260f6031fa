// The reached table: the memory of one best-first search.
//
// For every node the search has reached it holds g (the best cost from the
// start found so far), the parent (the node whose expansion gave that g;
// none for the start) and whether the node is closed (popped and expanded at
// its current g). The driver records the start first, records every child
// before pushing it, closes every node it pops and rebuilds the path from
// the parents when it pops the goal.
//
// Operations (by node, or by the table's id of a node on the hot path):
//   record(node, g[, parent]) stores a whole new entry {g, parent, open},
//                            replacing any entry the node had, closed or
//                            not; the table never compares costs;
//   close(node)              -> g, and marks the node closed; nothing when
//                            it was closed already (the popped frontier
//                            entry is a stale duplicate); panics on a node
//                            that was never recorded;
//   lookup(node)             -> absent / open with g / closed with g;
//   parent_of(node)          -> the entry's parent, if any;
//   rebuild_path(goal)       -> start ... goal, following parents.
// The _id forms (record_id, close_id, lookup_id, parent_id, rebuild_path_id
// and some halves of them) take the id that intern(node) or find(node)
// gives. All of it is written once, in detail::ReachedTableBase
// (reached_table_base.hpp); a table supplies the storage of its entries and
// the ids of its nodes.
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
// speed only:
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
#include <type_traits>
#include <vector>

#include "state/dense_reached_table.hpp"
#include "state/hashed_reached_table.hpp"
#include "state/outcome.hpp"
#include "state/reached_entries.hpp"
#include "state/word_reached_table.hpp"

namespace quorvane {

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
