// Bidirectional breadth-first search: one frontier grows from the start
// along moves, one from the goal against them, a whole layer per
// iteration, and the search ends after the first iteration in which a newly
// generated node is already known to the other side.
//
//   bidirectional_search(domain, start, goal, record)
//       for domains whose every move can be undone (grids, puzzles, Hanoi,
//       word ladders, undirected graphs): the backward side follows the
//       domain's own successor lists.
//   bidirectional_search(domain, start, goal, record, predecessors)
//       for domains with one-way moves whose in-moves are known:
//       `predecessors.successors(v)` lists (u, cost) for every move u -> v
//       (for a directed graph, the graph with its arcs reversed).
//   bidirectional_search_checked(domain, start, goal, record)
//       for domains whose in-moves are unknown (implicit graphs): the
//       backward side proposes the domain's successors of v as
//       predecessors and keeps u only when u actually lists v among its
//       successors (one extra successor call per proposed node).
//       A backward side that runs dry here proves nothing, so the forward
//       side then carries on alone until it meets the backward side's
//       nodes or runs dry itself.
//
// With a sound backward source, every step of a returned path is a move of
// the domain from one node to the next, and a path is returned exactly when
// one exists (the reachable part being finite).
//
// Iteration: when either layer is empty the search is exhausted (in checked
// mode: when the forward layer is empty). Otherwise the side with the
// shorter layer expands (ties go forward, so the first iteration is
// forward). Each child new to the expanding side's table is entered with
// its parent; it goes to the meeting list when the other side's table holds
// it, else to the next layer. The whole layer is expanded before meetings are
// looked at. Every meeting node's joined path is priced with
// `path_cost_from_successors` over the domain; the first of least cost wins
// (a NaN cost never beats a number and loses to any later candidate).
//
// Counters: nodes_generated counts start, goal and every child entered into
// a table; nodes_expanded every node whose successors were listed (the step
// check's extra listings are not expansions); max_frontier_size the longest
// next layer of a non-meeting iteration, at least 2. No heuristic, no node
// limit, no tree; trace entries (when `record`) carry no g and the length of
// the next layer at that moment. start == goal ends at once with [start].
//
// IMPORTANT: nothing bounds the search but the domain: on an unbounded
// implicit graph whose sides never meet it does not end.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"
#include "state/reached_table.hpp"

namespace quorvane {

template <Domain D>
SearchOutcome<typename D::Node> bidirectional_search(const D& domain, typename D::Node start,
                                                     typename D::Node goal, bool record);

template <Domain D, class P>
    requires NeighbourSource<P, typename D::Node>
SearchOutcome<typename D::Node> bidirectional_search(const D& domain, typename D::Node start,
                                                     typename D::Node goal, bool record,
                                                     const P& predecessors);

template <Domain D>
SearchOutcome<typename D::Node> bidirectional_search_checked(const D& domain,
                                                             typename D::Node start,
                                                             typename D::Node goal, bool record);

// ---- details ----

namespace detail {

// Whether the table holds `node` as reached.
template <ReachedTable Table>
bool reached_in(const Table& table, const typename Table::Node& node) {
    const std::optional<typename Table::Id> id = table.find(node);
    return id && table.state_id(*id) != Reached::absent;
}

// The path start -> ... -> meeting -> ... -> goal: the forward half follows
// the forward table's parents from `meeting` back to the start, the
// backward half the backward table's from `meeting` on to the goal. Each
// table's parents form a tree rooted at its side's end.
template <ReachedTable Table>
std::vector<typename Table::Node> join_bidirectional_path(const Table& forward,
                                                          const Table& backward,
                                                          const typename Table::Node& meeting) {
    std::vector<typename Table::Node> path = forward.rebuild_path_id(*forward.find(meeting));
    for (auto at = backward.parent_id(*backward.find(meeting)); at != Table::kNoParent;
         at = backward.parent_id(at)) {
        path.push_back(backward.node_at(at));
    }
    return path;
}

// The search on two tables of one kind, the forward side's and the
// backward side's; layers and meetings hold the expanding side's keys.
template <bool kCheckBackwardSteps, Domain D, class Back, ReachedTable Table>
void bidirectional_on_tables(const D& domain, const Back& backward_source, typename D::Node start,
                             typename D::Node goal, bool record, Table& forward_table,
                             Table& backward_table, SearchOutcome<typename D::Node>& out) {
    using Node = typename D::Node;
    using Key = typename Table::Key;
    using Id = typename Table::Id;

    const auto [start_id, start_key] = forward_table.intern_key(start);
    forward_table.record_id(start_id, 0.0, Table::kNoParent, 0);
    const auto [goal_id, goal_key] = backward_table.intern_key(goal);
    backward_table.record_id(goal_id, 0.0, Table::kNoParent, 0);
    std::vector<Key> forward_layer{start_key};
    std::vector<Key> backward_layer{goal_key};
    std::vector<Key> next;
    std::vector<Key> meetings;
    SuccessorList<Node> children;
    out.nodes_generated = 2;
    out.max_frontier_size = 2;

    // Does `u` list `v` among its successors, i.e. is u -> v a move?
    auto is_move = [&domain](const Node& u, const Node& v) {
        for (const Successor<Node>& s : domain.successors(u))
            if (s.node == v) return true;
        return false;
    };

    for (;;) {
        bool forward_turn;
        if (forward_layer.empty()) break;
        if (backward_layer.empty()) {
            if constexpr (!kCheckBackwardSteps) break;
            forward_turn = true;
        } else {
            forward_turn = forward_layer.size() <= backward_layer.size();
        }
        std::vector<Key>& layer_ref = forward_turn ? forward_layer : backward_layer;
        Table& own = forward_turn ? forward_table : backward_table;
        const Table& other = forward_turn ? backward_table : forward_table;
        const std::vector<Key> layer = std::move(layer_ref);
        layer_ref.clear();
        next.clear();
        meetings.clear();

        for (const Key key : layer) {
            const Id id = own.id_of_key(key);
            // A copy: with the hashed table the node refers into the table,
            // which the children interned below may move, and the step
            // check needs it after that.
            const Node node = own.node_of_key(key);
            if (record) out.trace.push_back({node, std::nullopt, next.size()});
            children.clear();
            if (forward_turn) {
                domain.successors_into(node, children);
            } else if constexpr (NeighbourSourceInto<Back, Node>) {
                backward_source.successors_into(node, children);
            } else {
                children = backward_source.successors(node);
            }
            ++out.nodes_expanded;
            for (Successor<Node>& s : children) {
                const auto [child_id, child_key] = own.intern_key(s.node);
                if (own.state_id(child_id) != Reached::absent) continue;
                const Node& child = own.interned_node(child_key, s.node);
                if constexpr (kCheckBackwardSteps) {
                    if (!forward_turn && !is_move(child, node)) continue;
                }
                own.record_id(child_id, 0.0, id, 0);
                ++out.nodes_generated;
                if (reached_in(other, own.interned_node(child_key, s.node))) {
                    meetings.push_back(child_key);
                } else {
                    next.push_back(child_key);
                }
            }
        }

        if (meetings.empty()) {
            out.max_frontier_size = std::max<uint64_t>(out.max_frontier_size, next.size());
            layer_ref = std::move(next);
            next = {};
            continue;
        }

        std::optional<std::vector<Node>> best_path;
        double best_cost = 0.0;
        for (const Key m : meetings) {
            const Node meeting = own.node_of_key(m);
            std::vector<Node> candidate =
                join_bidirectional_path(forward_table, backward_table, meeting);
            const double cost = path_cost_from_successors(domain, candidate);
            if (!best_path || std::isnan(best_cost) || best_cost > cost) {
                best_path = std::move(candidate);
                best_cost = cost;
            }
        }
        out.path = std::move(best_path);
        out.cost = best_cost;
        out.stop_reason = StopReason::goal;
        return;
    }
}

template <bool kCheckBackwardSteps, Domain D, class Back>
SearchOutcome<typename D::Node> bidirectional_run(const D& domain, const Back& backward_source,
                                                  typename D::Node start, typename D::Node goal,
                                                  bool record) {
    using Node = typename D::Node;
    // The tables and layers are freed inside the measured time.
    return timed([&] {
        SearchOutcome<Node> out;
        if (start == goal) {
            out.path.emplace();
            out.path->push_back(std::move(start));
            out.cost = 0.0;
            out.nodes_generated = 1;
            out.max_frontier_size = 1;
            out.stop_reason = StopReason::goal;
            return out;
        }
        auto run = [&](auto& forward_table, auto& backward_table) {
            bidirectional_on_tables<kCheckBackwardSteps>(domain, backward_source, std::move(start),
                                                         std::move(goal), record, forward_table,
                                                         backward_table, out);
        };
        with_cost_tables<2>(domain, run, start, goal);
        if (!out.path) {
            out.cost = std::numeric_limits<double>::infinity();
            out.stop_reason = StopReason::exhausted;
        }
        out.nodes_reopened = 0;
        return out;
    });
}

}  // namespace detail

template <Domain D>
SearchOutcome<typename D::Node> bidirectional_search(const D& domain, typename D::Node start,
                                                     typename D::Node goal, bool record) {
    return detail::bidirectional_run<false>(domain, domain, std::move(start), std::move(goal),
                                            record);
}

template <Domain D, class P>
    requires NeighbourSource<P, typename D::Node>
SearchOutcome<typename D::Node> bidirectional_search(const D& domain, typename D::Node start,
                                                     typename D::Node goal, bool record,
                                                     const P& predecessors) {
    return detail::bidirectional_run<false>(domain, predecessors, std::move(start), std::move(goal),
                                            record);
}

template <Domain D>
SearchOutcome<typename D::Node> bidirectional_search_checked(const D& domain,
                                                             typename D::Node start,
                                                             typename D::Node goal, bool record) {
    return detail::bidirectional_run<true>(domain, domain, std::move(start), std::move(goal),
                                           record);
}

}  // namespace quorvane
