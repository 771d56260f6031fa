// The best-first driver: the one search loop behind bfs, dfs, ucs,
// dijkstra, greedy, astar and weighted_astar.
//
//   best_first_search(domain, start, goal, config, heuristic, limits)
//
// The algorithms differ only in `config` (best_first_config.hpp): the
// frontier (FIFO, LIFO, or by priority f = g_weight * g + h_weight * h with
// ties in push order) and the two weights. The loop:
//   - records the start (g 0, no parent) and pushes it;
//   - pops; a node already closed is a stale duplicate: skipped, neither
//     counted nor traced;
//   - closes the node, traces it (node, g, frontier entries left), and
//     counts it as expanded;
//   - goal test on pop only (never on generation), then the node limit:
//     with max_nodes = m the m-th expanded node ends the search (goal first,
//     so a goal popped as the m-th node is still found);
//   - lists the successors into one reused buffer (or reads them in place
//     from a domain that offers `successors_view`, takes each from one
//     that offers `for_each_successor`, or lists them on the stack for
//     one that offers `successors_to`) and, in the domain's order, records
//     and pushes each child that is new, or improves strictly on its
//     stored g (NaN never improves) while open, or while closed with
//     `reopen` on (counted as reopened);
//   - h(child, goal) is evaluated once per push, the start's included
//     (a pure heuristic, whose evaluation nothing can observe, is not
//     evaluated where no pop reads it: when h_weight is 0, and under a
//     FIFO or LIFO frontier);
//   - a weight of exactly 0 drops its term from f, so the quantity it
//     ignores cannot poison the order (0 * inf would be NaN): ucs keeps
//     ordering by g under an infinite h, greedy by h under an infinite g.
// g lives only in the reached table, never in the frontier, so an
// improvement is one overwrite and one push; older entries go stale.
//
// Which reached table, frontier and loop run a search is its plan
// (best_first_plan.hpp, where every route is listed): they change time and
// memory, never the outcome.
//
// Result: path and cost at a goal stop (the path rebuilt from the parents,
// the cost the goal's g); nodes_expanded counts the node at which a goal or
// node-limit stop happens; nodes_generated counts the start and every push,
// re-pushes included; max_frontier_size is the peak number of entries,
// stale ones included. With `record`, `trace` holds one entry per expansion
// and `tree` one (final parent, child) edge per node first reached other
// than the start, in first-reached order; without it neither costs anything.
// The driver never fails; its state is freed before the clock is read for
// `elapsed`.
//
// Reopening with a negative-cost cycle would lower g without end and could
// close a loop in the parent links. Two guards, both inert on every input
// without a reachable negative cycle:
//   - an improvement of a node that is an ancestor of the node being
//     expanded is dropped, so the parents always form a tree rooted at the
//     start and every returned path is a real path from the start (the walk
//     up the parents runs only once a negative step has been seen);
//   - a record whose path would be longer than the number of distinct nodes
//     reached is dropped, so the search stays finite.
//
// IMPORTANT: the domain must outlive the call; it is only read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "drivers/best_first_config.hpp"
#include "drivers/best_first_plan.hpp"
#include "drivers/best_first_rerun.hpp"
#include "drivers/best_first_slots.hpp"
#include "panic.hpp"
#include "state/bucket_frontier.hpp"
#include "state/outcome.hpp"
#include "state/priority_frontier.hpp"
#include "state/queue_frontiers.hpp"
#include "state/reached_table.hpp"

namespace quorvane {

template <Domain D, HeuristicFor<typename D::Node> H>
SearchOutcome<typename D::Node> best_first_search(const D& domain, typename D::Node start,
                                                  typename D::Node goal,
                                                  const BestFirstConfig& config, const H& heuristic,
                                                  const BestFirstLimits& limits);

// ---- details ----

namespace detail {

// g_weight * g + h_weight * h, each term dropped when its weight is 0.
inline double weighted_priority(double g_weight, double g, double h_weight, double h) noexcept {
    if (h_weight == 0.0) return g_weight == 0.0 ? 0.0 : g_weight * g;
    if (g_weight == 0.0) return h_weight * h;
    return g_weight * g + h_weight * h;
}

// Whether `candidate` lies on the parent chain of `id` (`id` included).
// The chain is a tree path, so the walk ends at the start.
template <ReachedTable Table>
bool is_ancestor(const Table& table, typename Table::Id candidate, typename Table::Id id) noexcept {
    for (auto at = id; at != Table::kNoParent; at = table.parent_id(at)) {
        if (at == candidate) return true;
    }
    return false;
}

// The search loop. With kRecord on or off, recording is compiled in or
// out: the record pushes, inlined, would otherwise crowd the registers of
// every search's loop; with either, limits.record says. Returns false when
// a NanStopFrontier stopped it (its outcome is then meaningless), else true.
// Out of line: one call a search, and the loop keeps registers of its own
// rather than sharing them with the dispatch it would be inlined into.
template <class Frontier, RecordPlan kRecord, class D, class H, ReachedTable Table>
[[gnu::noinline]] bool best_first_loop(const D& domain, typename D::Node start,
                                       const typename D::Node& goal, const BestFirstConfig& config,
                                       const H& heuristic, const BestFirstLimits& limits,
                                       Table& table, SearchOutcome<typename D::Node>& out) {
    using Node = typename D::Node;
    using Id = typename Table::Id;
    using Key = typename Table::Key;

    const double g_weight = config.g_weight;
    const double h_weight = config.h_weight;
    const bool record = kRecord == RecordPlan::either ? limits.record : kRecord == RecordPlan::on;
    const bool reopen = limits.reopen;
    const bool limited = limits.max_nodes.has_value();
    const uint64_t max_nodes = limits.max_nodes.value_or(0);

    Frontier frontier;
    const double h_start = heuristic(start, goal);
    auto [start_id, start_key] = table.intern_key(start);
    table.record_id(start_id, 0.0, Table::kNoParent, 0);
    frontier.push(std::move(start_key), weighted_priority(g_weight, 0.0, h_weight, h_start));

    uint64_t expanded = 0;
    uint64_t generated = 1;
    uint64_t max_frontier = 1;
    uint64_t reopened = 0;
    TreeRecorder<Table> tree(table);
    if constexpr (HintsCapacity<Table>) {
        // A recorded search over a dense table gets room for one entry per
        // slot up front (capped, and no more than its node limit lets it
        // record): growing by copies would touch the memory of each entry
        // about three times.
        if (record) {
            const std::size_t hint = record_room(table.capacity_hint(), limits);
            out.trace.reserve(hint);
            tree.reserve(hint);
        }
    }
    SuccessorList<Node> buffer;  // unused when the domain shows its lists in place
    bool negative_step_seen = false;

    for (;;) {
        std::optional<typename Table::Key> key = frontier.pop();
        if (!key) {
            out.stop_reason = StopReason::exhausted;
            break;
        }
        const Id id = table.id_of_key(*key);
        // A FIFO pops in push order, so the entry of the node it pops
        // kFifoAhead pops from now is known: asked for now, its cache miss
        // overlaps the expansions in between.
        if constexpr (PeeksAhead<Frontier> && PrefetchesKeys<Table>) {
            if (const Key* ahead = frontier.peek_ahead(kFifoAhead)) table.prefetch_key(*ahead);
        }
        const std::optional<double> closed_g = table.close_id(id);
        if (!closed_g) continue;  // stale duplicate
        const double g = *closed_g;
        // IMPORTANT: with the hashed table this refers into the table and
        // is invalidated by the first child interned below.
        const auto& node = table.node_of_key(*key);
        if (record) {
            out.trace.push_back(TraceEntry<Node>{node, g, frontier.size()});
            tree.expanding(node);
        }
        const uint64_t e = expanded + 1;
        if (node == goal) {
            expanded = e;
            out.cost = g;
            out.path = table.rebuild_path_id(id);
            out.stop_reason = StopReason::goal;
            break;
        }
        if (limited && e >= max_nodes) {
            expanded = e;
            out.stop_reason = StopReason::node_limit;
            break;
        }
        expanded = e;

        // A domain that keeps its successor lists (a graph's arcs) has the
        // list of the node most likely popped next asked for now, with that
        // node's entry, so those misses overlap this expansion. (A grid
        // computes its lists from nearby walls: there the peek costs more
        // than it saves.) A dense table's keys are nodes of the domain, as
        // the domain's prefetch asks.
        if constexpr (PrefetchesSuccessors<D> && PeeksNext<Frontier> && PrefetchesKeys<Table>) {
            if (const std::optional<Key> next = frontier.peek_hint()) {
                table.prefetch_key(*next);
                domain.prefetch_successors(table.node_of_key(*next));
            }
        } else if constexpr (BoundsSuccessors<D> && PeeksNext<Frontier> && PrefetchesKeys<Table> &&
                             PrefetchesNodes<Table>) {
            // A domain that lists successors into a fixed array (a packed
            // board) lists the node most likely popped next now, so the
            // misses on that node's entry and its children's overlap this
            // expansion.
            if (const std::optional<Key> next = frontier.peek_hint()) {
                table.prefetch_key(*next);
                Successor<Node> ahead[D::kMaxSuccessors];
                const std::size_t count = domain.successors_to(table.node_of_key(*next), ahead);
                for (std::size_t i = 0; i < count; ++i) table.prefetch_node(ahead[i].node);
            }
        }
        const Id child_depth = reopen ? table.depth_id(id) + 1 : 0;
        // One child, in the domain's order; `child` may be moved from.
        auto consider = [&](Node& child, double cost) {
            const double new_g = g + cost;
            if (cost < 0.0) negative_step_seen = true;
            auto [child_id, child_key] = table.intern_key(child);
            // g is read only when the child has an entry that may improve.
            const Reached seen = table.state_id(child_id);
            if (seen != Reached::absent) {
                if (seen == Reached::closed && !reopen) return;
                if (!(table.g_id(child_id) > new_g)) return;
            }
            if (reopen) {
                // The recorded path would hold child_depth + 1 nodes; more
                // than the distinct nodes reached means it repeats one,
                // which only a negative-cost cycle allows.
                const uint64_t distinct = table.size() + (seen == Reached::absent ? 1 : 0);
                if (static_cast<uint64_t>(child_depth) + 1 > distinct) return;
                if (negative_step_seen && seen != Reached::absent &&
                    detail::is_ancestor(table, child_id, id)) {
                    return;
                }
            }
            if (seen == Reached::absent) {
                if (record) tree.reached(child_id, child);
            } else {
                if (record) tree.replaced();
                if (seen == Reached::closed) ++reopened;
            }
            table.record_id(child_id, new_g, id, child_depth);
            const double h = heuristic(table.interned_node(child_key, child), goal);
            frontier.push(std::move(child_key), weighted_priority(g_weight, new_g, h_weight, h));
            ++generated;
            max_frontier = std::max<uint64_t>(max_frontier, frontier.size());
        };
        // All the children's entries are asked for at once, so their cache
        // misses overlap instead of coming one by one in the loop below.
        auto prefetch = [&](const auto& children) {
            if constexpr (PrefetchesNodes<Table>) {
                for (const Successor<Node>& successor : children)
                    table.prefetch_node(successor.node);
            }
        };
        if constexpr (VisitsSuccessors<D>) {
            // The domain hands each child over where it makes it: no list.
            // A node held in a hashed table may move while children are
            // interned, so the domain is given a copy of it.
            if constexpr (HoldsNodes<Table>) {
                const Node parent = node;
                domain.for_each_successor(parent, consider);
            } else {
                domain.for_each_successor(node, consider);
            }
        } else if constexpr (SuccessorsInPlace<D>) {
            // The arcs are read where the domain keeps them: no copy.
            const auto children = domain.successors_view(node);
            prefetch(children);
            for (const Successor<Node>& successor : children) {
                Node child = successor.node;
                consider(child, successor.cost);
            }
        } else if constexpr (BoundsSuccessors<D>) {
            // A short list of fixed size: made on the stack, no buffer.
            Successor<Node> children[D::kMaxSuccessors];
            const std::size_t count = domain.successors_to(node, children);
            prefetch(std::span<const Successor<Node>>(children, count));
            for (std::size_t i = 0; i < count; ++i) consider(children[i].node, children[i].cost);
        } else {
            buffer.clear();
            if constexpr (HintsSuccessors<D> && PrefetchesNodes<Table>) {
                // Each child's entry is asked for as the domain makes the
                // child: the miss overlaps the rest of the listing.
                const ChildHint<Node> hint{&table, [](const void* t, const Node& child) {
                                               static_cast<const Table*>(t)->prefetch_node(child);
                                           }};
                domain.successors_into(node, buffer, hint);
            } else {
                domain.successors_into(node, buffer);
                prefetch(buffer);
            }
            for (Successor<Node>& successor : buffer) consider(successor.node, successor.cost);
        }
    }

    if (record) out.tree = tree.take_edges();
    out.nodes_expanded = expanded;
    out.nodes_generated = generated;
    out.max_frontier_size = max_frontier;
    out.nodes_reopened = reopened;
    if constexpr (StopsOnNan<Frontier>) {
        return !frontier.saw_nan();
    } else {
        return true;
    }
}

// Calls f(std::integral_constant<E, v>{}) for the one v of kValues equal to
// `value` and returns its answer; false when there is none.
template <auto... kValues, class E, class F>
bool with_constant(E value, F&& f) {
    bool result = false;
    static_cast<void>(
        ((value == kValues && (result = f(std::integral_constant<E, kValues>{}), true)) || ...));
    return result;
}

// A plan that has_instance refuses; plan_best_first never makes one.
[[noreturn, gnu::cold, gnu::noinline]] inline bool no_instance() {
    throw Panic("a best-first plan without a loop");
}

template <FrontierPlan kFrontier, class Key>
auto frontier_type() {
    if constexpr (kFrontier == FrontierPlan::fifo) return std::type_identity<FifoFrontier<Key>>{};
    if constexpr (kFrontier == FrontierPlan::lifo) return std::type_identity<LifoFrontier<Key>>{};
    if constexpr (kFrontier == FrontierPlan::nan_stop)
        return std::type_identity<NanStopFrontier<BucketFrontier<Key>>>{};
    if constexpr (kFrontier == FrontierPlan::heap)
        return std::type_identity<PriorityFrontier<Key>>{};
    if constexpr (kFrontier == FrontierPlan::buckets)
        return std::type_identity<BucketFrontier<Key>>{};
}
template <FrontierPlan kFrontier, class Key>
using FrontierFor = typename decltype(frontier_type<kFrontier, Key>())::type;

// The entry layout of a dense table plan.
template <TablePlan kTable, class Id>
using DenseEntryFor =
    std::conditional_t<kTable == TablePlan::slots, ByteMoveEntry<Id>,
                       std::conditional_t<kTable == TablePlan::dense_move, MoveEntry<Id>,
                                          std::conditional_t<kTable == TablePlan::dense_step,
                                                             StepEntry<Id>, CostEntry<Id>>>>;

// The loop of `plan` on `table`, made for the plan's table kTable.
template <TablePlan kTable, class D, class H, class Table>
bool run_on_table(const D& domain, typename D::Node start, const typename D::Node& goal,
                  const BestFirstConfig& config, const H& heuristic, const BestFirstLimits& limits,
                  const BestFirstPlan& plan, Table& table, SearchOutcome<typename D::Node>& out) {
    using enum FrontierPlan;
    return with_constant<fifo, lifo, nan_stop, heap, buckets>(plan.frontier, [&](auto frontier) {
        using enum RecordPlan;
        return with_constant<off, on, either>(plan.record, [&](auto record) {
            constexpr BestFirstPlan kPlan{kTable, decltype(frontier)::value,
                                          decltype(record)::value, false};
            if constexpr (!has_instance<D, H>(kPlan)) {
                return no_instance();
            } else if constexpr (kTable == TablePlan::slots) {
                slot_loop<kPlan.record == on>(domain, start, goal, limits, table, out);
                return true;
            } else {
                using Frontier = FrontierFor<kPlan.frontier, typename Table::Key>;
                return best_first_loop<Frontier, kPlan.record>(
                    domain, std::move(start), goal, config, heuristic, limits, table, out);
            }
        });
    });
}

template <class D, class H>
[[gnu::noinline]] bool run_plan(const D& domain, typename D::Node start,
                                const typename D::Node& goal, const BestFirstConfig& config,
                                const H& heuristic, const BestFirstLimits& limits,
                                const BestFirstPlan& plan, SearchOutcome<typename D::Node>& out);

// run_plan's second half: the search on a fresh table of kind kTable. A
// function template of its own, not a branch of a generic lambda in
// run_plan: there the table types depend on no parameter of the lambda,
// and clang checks them for every domain, also in the branches that
// `if constexpr` discards (a WordReachedTable of a domain without word
// moves, say); here they depend on kTable and are checked only where taken.
template <TablePlan kTable, class D, class H>
bool run_on_new_table(const D& domain, typename D::Node start, const typename D::Node& goal,
                      const BestFirstConfig& config, const H& heuristic,
                      const BestFirstLimits& limits, const BestFirstPlan& plan,
                      SearchOutcome<typename D::Node>& out) {
    using Node = typename D::Node;
    auto run = [&](auto& table) {
        return run_on_table<kTable>(domain, std::move(start), goal, config, heuristic, limits, plan,
                                    table, out);
    };
    if constexpr (!domain_takes<D>(kTable)) {
        return no_instance();
    } else if constexpr (kTable == TablePlan::hashed) {
        HashedReachedTable<Node> table;
        return run(table);
    } else if constexpr (kTable == TablePlan::word_move) {
        WordReachedTable<Node, MoveEntry<uint64_t>, D> table(domain);
        return run(table);
    } else {
        using Entry = DenseEntryFor<kTable, typename DenseIndexing<D>::Id>;
        if (auto table = DenseReachedTable<D, Entry>::try_create(domain)) return run(*table);
        // Without room for the slot array, the hashed table.
        BestFirstPlan fallback = plan;
        fallback.table = TablePlan::hashed;
        return run_plan(domain, std::move(start), goal, config, heuristic, limits, fallback, out);
    }
}

// Runs the search as `plan` says, on a table made for it. Returns false
// when a NaN priority stopped a nan_stop run (best_first_rerun.hpp).
template <class D, class H>
[[gnu::noinline]] bool run_plan(const D& domain, typename D::Node start,
                                const typename D::Node& goal, const BestFirstConfig& config,
                                const H& heuristic, const BestFirstLimits& limits,
                                const BestFirstPlan& plan, SearchOutcome<typename D::Node>& out) {
    if constexpr (!std::is_same_v<H, ZeroHeuristic>) {
        if (plan.drop_h) {
            return run_plan(domain, std::move(start), goal, config, ZeroHeuristic{}, limits, plan,
                            out);
        }
    }
    using enum TablePlan;
    return with_constant<slots, dense_move, dense_step, dense_cost, word_move, hashed>(
        plan.table, [&](auto table_plan) {
            return run_on_new_table<decltype(table_plan)::value>(
                domain, std::move(start), goal, config, heuristic, limits, plan, out);
        });
}

}  // namespace detail

template <Domain D, HeuristicFor<typename D::Node> H>
SearchOutcome<typename D::Node> best_first_search(const D& domain, typename D::Node start,
                                                  typename D::Node goal,
                                                  const BestFirstConfig& config, const H& heuristic,
                                                  const BestFirstLimits& limits) {
    // Everything the search builds is freed before the clock is read again.
    return timed([&] {
        using Node = typename D::Node;
        SearchOutcome<Node> out;
        const BestFirstPlan plan = plan_best_first<H>(domain, start, goal, config, limits);
        if constexpr (detail::kLoggedHeuristic<H, D>) {
            detail::AnswerLog<H> log(heuristic);
            if (plan.frontier != FrontierPlan::nan_stop) {
                detail::run_plan(domain, std::move(start), goal, config, log, limits, plan, out);
                return out;
            }
            log.keep();
            if (detail::run_plan(domain, Node(start), goal, config, log, limits, plan, out))
                return out;
            out = SearchOutcome<Node>{};
            log.replay();
            detail::run_plan(domain, std::move(start), goal, config, log, limits, rerun_plan(plan),
                             out);
        } else {
            detail::run_plan(domain, std::move(start), goal, config, heuristic, limits, plan, out);
        }
        return out;
    });
}

}  // namespace quorvane
