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
// forward). Each child new to the expanding side's map is entered with its
// parent; it goes to the meeting list when the other side's map holds it,
// else to the next layer. The whole layer is expanded before meetings are
// looked at. Every meeting node's joined path is priced with
// `path_cost_from_successors` over the domain; the first of least cost wins
// (a NaN cost never beats a number and loses to any later candidate).
//
// Counters: nodes_generated counts start, goal and every child entered into
// a map; nodes_expanded every node whose successors were listed (the step
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
#include "state/path_helpers.hpp"

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

// The path start -> ... -> meeting -> ... -> goal: the forward half follows
// the forward map from `meeting` back to its root, the backward half the
// backward map from `meeting` on to its root. Roots map to themselves; a
// missing entry also ends a half. Both maps are only read.
template <class Node>
std::vector<Node> join_bidirectional_path(const ParentMap<Node>& forward,
                                          const ParentMap<Node>& backward, const Node& meeting) {
    std::vector<Node> path = rebuild_path_from_parents(forward, meeting);
    const Node* current = &meeting;
    while (const Node* parent = backward.parent_of(*current)) {
        if (*parent == *current) break;
        if (path.size() > forward.size() + backward.size()) throw Panic("parent map holds a cycle");
        path.push_back(*parent);
        current = parent;
    }
    return path;
}

template <bool kCheckBackwardSteps, Domain D, class Back>
SearchOutcome<typename D::Node> bidirectional_run(const D& domain, const Back& backward_source,
                                                  typename D::Node start, typename D::Node goal,
                                                  bool record) {
    using Node = typename D::Node;
    // The maps and layers are freed inside the measured time.
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

        ParentMap<Node> forward_map;
        ParentMap<Node> backward_map;
        forward_map.insert(start, start);
        backward_map.insert(goal, goal);
        std::vector<Node> forward_layer;
        std::vector<Node> backward_layer;
        forward_layer.push_back(std::move(start));
        backward_layer.push_back(std::move(goal));
        std::vector<Node> next;
        std::vector<Node> meetings;
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
            std::vector<Node>& layer_ref = forward_turn ? forward_layer : backward_layer;
            ParentMap<Node>& own = forward_turn ? forward_map : backward_map;
            const ParentMap<Node>& other = forward_turn ? backward_map : forward_map;
            const std::vector<Node> layer = std::move(layer_ref);
            layer_ref.clear();
            next.clear();
            meetings.clear();

            for (const Node& node : layer) {
                if (record) out.trace.push_back({node, std::nullopt, next.size()});
                SuccessorList<Node> children =
                    forward_turn ? domain.successors(node) : backward_source.successors(node);
                ++out.nodes_expanded;
                for (Successor<Node>& s : children) {
                    if (own.contains(s.node)) continue;
                    if constexpr (kCheckBackwardSteps) {
                        if (!forward_turn && !is_move(s.node, node)) continue;
                    }
                    own.insert(s.node, node);
                    ++out.nodes_generated;
                    if (other.contains(s.node)) {
                        meetings.push_back(std::move(s.node));
                    } else {
                        next.push_back(std::move(s.node));
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
            for (const Node& m : meetings) {
                std::vector<Node> candidate = join_bidirectional_path(forward_map, backward_map, m);
                const double cost = path_cost_from_successors(domain, candidate);
                if (!best_path || std::isnan(best_cost) || best_cost > cost) {
                    best_path = std::move(candidate);
                    best_cost = cost;
                }
            }
            out.path = std::move(best_path);
            out.cost = best_cost;
            out.stop_reason = StopReason::goal;
            break;
        }
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
