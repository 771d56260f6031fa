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
// once per newly reached child, never for the start. The reached table (the
// dense one where the domain numbers its nodes, else the hashed one) keeps
// every generated node with its first parent: it is not bounded by the
// width. Elapsed time covers pricing the path and freeing the search state.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"
#include "state/reached_table.hpp"

namespace quorvane {

template <Domain D, class H>
    requires HeuristicFor<H, typename D::Node>
SearchOutcome<typename D::Node> beam_search(const D& domain, typename D::Node start,
                                            typename D::Node goal_in, uint64_t width, H heuristic,
                                            bool record);

// ---- details ----

namespace detail {

// A layer entry and a candidate name their node by its reached table's key.
template <class Key>
struct BeamEntry {
    Key key;
    double g;
};

template <class Key>
struct BeamCandidate {
    Key key;
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

// beam_h_less on the candidates' h. A type of its own, not a lambda, so
// that every beam search with the same key type shares one sort.
struct BeamCandidateLess {
    template <class Key>
    bool operator()(const BeamCandidate<Key>& a, const BeamCandidate<Key>& b) const noexcept {
        return beam_h_less(a.h, b.h);
    }
};

// The search on the table it gets; the id of the goal when it is found.
// Layers and candidates hold the table's keys: each node lives in the
// table once, with the first parent that reached it.
template <class D, class H, ReachedTable Table>
std::optional<typename Table::Id> beam_on_table(const D& domain, typename D::Node start,
                                                const typename D::Node& goal, uint64_t width,
                                                const H& h, bool record, Table& table,
                                                SearchOutcome<typename D::Node>& out) {
    using Node = typename D::Node;
    using Key = typename Table::Key;
    using Id = typename Table::Id;
    std::vector<BeamEntry<Key>> layer;
    std::vector<BeamCandidate<Key>> candidates;
    SuccessorList<Node> children;

    const auto [start_id, start_key] = table.intern_key(start);
    table.record_id(start_id, 0.0, Table::kNoParent, 0);
    layer.push_back({start_key, 0.0});
    out.nodes_generated = 1;
    out.max_frontier_size = 1;

    for (;;) {
        out.max_frontier_size = std::max<uint64_t>(out.max_frontier_size, layer.size());
        candidates.clear();
        for (const BeamEntry<Key>& entry : layer) {
            const Id id = table.id_of_key(entry.key);
            {
                // IMPORTANT: with the hashed table this refers into the
                // table and is invalidated by the first child interned.
                const auto& node = table.node_of_key(entry.key);
                if (record) out.trace.push_back({node, entry.g, candidates.size()});
                ++out.nodes_expanded;
                if (node == goal) return id;
                children.clear();
                domain.successors_into(node, children);
            }
            for (Successor<Node>& s : children) {
                const auto [child_id, child_key] = table.intern_key(s.node);
                if (table.state_id(child_id) != Reached::absent) continue;
                const double g = entry.g + s.cost;
                table.record_id(child_id, g, id, 0);
                const double hv = h(table.interned_node(child_key, s.node), goal);
                ++out.nodes_generated;
                candidates.push_back({child_key, hv, g});
            }
        }
        if (candidates.empty()) return std::nullopt;

        std::stable_sort(candidates.begin(), candidates.end(), BeamCandidateLess{});
        if (candidates.size() > width) candidates.resize(static_cast<std::size_t>(width));
        layer.clear();
        for (const BeamCandidate<Key>& c : candidates) layer.push_back({c.key, c.g});
        if (layer.empty()) return std::nullopt;
    }
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
        std::optional<std::vector<Node>> path;
        auto run = [&](auto& table) {
            if (const auto goal_id = detail::beam_on_table(domain, std::move(start), goal, width, h,
                                                           record, table, out)) {
                path = table.rebuild_path_id(*goal_id);
            }
        };
        with_cost_tables<1>(domain, run, start);

        if (path) {
            out.cost = path_cost_from_successors(domain, *path);
            out.path = std::move(path);
            out.stop_reason = StopReason::goal;
        } else {
            out.stop_reason = StopReason::exhausted;
        }
        out.nodes_reopened = 0;
        return out;
    });
}

}  // namespace quorvane
