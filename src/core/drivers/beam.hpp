// Beam search: breadth-first by layers, each layer cut to the `width` most
// promising new nodes.
//
//   beam_search(domain, start, goal, width, heuristic, record)
//
// One pass expands every entry of the current layer in order. Each child not
// reached before in this search becomes a candidate carrying h(child, goal)
// and g = parent's g + step cost; the candidates are then ordered by h alone
// (stable: equal h keeps generation order; -0.0 == +0.0; NaN after every
// number, in generation order) and the first `width` form the next layer.
// The goal is recognised when a layer entry equal to it is expanded, not
// when it is generated; the rest of that layer is not expanded.
//
// Guarantees:
//   - stop reason is goal or exhausted, never node_limit: there is no node
//     limit. A goal child cut by the width is never generated again, so the
//     search can end exhausted although the goal is reachable;
//   - the path runs from the start to the goal along the first parent that
//     reached each node; its cost is priced afresh from the domain's
//     successor lists (`path_cost_from_successors`), not taken from g;
//   - nodes_generated counts the start and every newly reached child, cut
//     ones included; nodes_expanded counts layer entries taken, the goal's
//     own included; max_frontier_size is the longest layer, at most
//     max(1, width); nodes_reopened is 0;
//   - the trace (when `record`) holds one entry per expansion: the node, its
//     g, and the number of candidates collected so far in the pass. The tree
//     is always empty.
//
// Width 0 cuts every candidate: only the start is expanded. The caller
// passes the largest uint64_t for an unbounded beam.
//
// The heuristic is taken by value and owned for the search; it is evaluated
// once per newly reached child, never for the start. The reached set and the
// parent map grow with every generated node and are not bounded by the
// width. Elapsed time covers pricing the path and freeing the search state.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/fx_hash.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"
#include "state/path_helpers.hpp"

namespace quorvane {

template <Domain D, class H>
    requires HeuristicFor<H, typename D::Node>
SearchOutcome<typename D::Node> beam_search(const D& domain, typename D::Node start,
                                            typename D::Node goal_in, uint64_t width, H heuristic,
                                            bool record);

// ---- details ----

namespace detail {

template <class Node>
struct BeamEntry {
    Node node;
    double g;
};

template <class Node>
struct BeamCandidate {
    Node node;
    double h;
    double g;
};

// Orders by h ascending with every NaN after every number. NaNs are
// equivalent to each other, so this is a strict weak order on all doubles
// and a stable sort keeps NaN candidates in generation order.
inline bool beam_h_less(double a, double b) noexcept {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

}  // namespace detail

template <Domain D, class H>
    requires HeuristicFor<H, typename D::Node>
SearchOutcome<typename D::Node> beam_search(const D& domain, typename D::Node start,
                                            typename D::Node goal_in, uint64_t width, H heuristic,
                                            bool record) {
    using Node = typename D::Node;
    // The search state is freed inside the measured time.
    return timed([&] {
        SearchOutcome<Node> out;
        const Node goal = std::move(goal_in);
        const H h = std::move(heuristic);
        std::unordered_set<Node, FxHash<Node>> reached;
        ParentMap<Node> parents;
        std::vector<detail::BeamEntry<Node>> layer;
        std::vector<detail::BeamCandidate<Node>> candidates;

        reached.insert(start);
        layer.push_back({std::move(start), 0.0});
        out.nodes_generated = 1;
        out.max_frontier_size = 1;

        bool found = false;
        while (!layer.empty() && !found) {
            out.max_frontier_size = std::max<uint64_t>(out.max_frontier_size, layer.size());
            candidates.clear();
            for (const detail::BeamEntry<Node>& entry : layer) {
                if (record) out.trace.push_back({entry.node, entry.g, candidates.size()});
                ++out.nodes_expanded;
                if (entry.node == goal) {
                    found = true;
                    break;
                }
                for (Successor<Node>& s : domain.successors(entry.node)) {
                    // Test before copying: a node seen before costs one lookup.
                    if (reached.contains(s.node)) continue;
                    reached.insert(s.node);
                    parents.insert(s.node, entry.node);
                    const double hv = h(s.node, goal);
                    ++out.nodes_generated;
                    candidates.push_back({std::move(s.node), hv, entry.g + s.cost});
                }
            }
            if (found) break;

            std::stable_sort(
                candidates.begin(), candidates.end(),
                [](const detail::BeamCandidate<Node>& a, const detail::BeamCandidate<Node>& b) {
                    return detail::beam_h_less(a.h, b.h);
                });
            if (candidates.size() > width) candidates.resize(static_cast<std::size_t>(width));
            layer.clear();
            layer.reserve(candidates.size());
            for (detail::BeamCandidate<Node>& c : candidates)
                layer.push_back({std::move(c.node), c.g});
        }

        if (found) {
            out.path = rebuild_path_from_parents(parents, goal);
            out.cost = path_cost_from_successors(domain, *out.path);
            out.stop_reason = StopReason::goal;
        } else {
            out.stop_reason = StopReason::exhausted;
        }
        out.nodes_reopened = 0;
        return out;
    });
}

}  // namespace quorvane
