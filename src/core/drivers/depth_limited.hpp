// Depth-limited depth-first search, and `dls`, which times one run of it;
// also the frame that iddfs and IDA* run in (detail::timed_and_priced).
//
// `depth_limited_search(domain, start, goal, depth_limit, record)` visits
// nodes depth first from `start`, trying each node's successors in the
// domain's order, and stops at the first visit of a node equal to `goal`.
// It keeps no reached table: its only memory is the current path, a
// `PathStack` (state/path_stack.hpp). So it follows simple paths only (a
// successor already on the path, the parent included, is skipped without
// being counted or traced) and it visits a node once for every simple path
// that reaches it within the limit. The path it returns is the first one met
// in that order, not necessarily the shortest or the cheapest.
//
// A visit at depth d (edges from the start):
//   - counts as expanded, and when recording appends the trace entry
//     (node, g, d); g is the sum of the step costs along the path, whatever
//     their sign or finiteness;
//   - ends the search if the node is the goal (the goal test comes before
//     the depth test, so a goal at exactly depth_limit is found);
//   - otherwise, below the limit, computes the node's successor list once
//     and pushes the node on the path; at the limit the node is a leaf and no
//     list is computed.
// Every successor taken (not on the path) counts as generated and is then
// visited, so `nodes_generated` always equals `nodes_expanded`.
// `max_frontier_size` is the longest path ever held, at least 1.
//
// Result: `goal` with the path (start first, goal last) priced by
// `path_cost_from_successors`, not by the g of the goal visit; otherwise
// `exhausted`, whether the whole space was searched or the limit cut paths
// short. The tree is always empty and `nodes_reopened` 0; the core leaves
// `elapsed` zero and `dls` fills it.
//
// The search runs on an explicit stack, so its depth is bounded by memory,
// not by the machine stack. Memory is one frame and one successor buffer per
// level of the path; the buffers are reused, so an expansion allocates
// nothing once the deepest level has been reached. Each successor tried
// costs one hash and one set lookup, except the step back to the parent,
// which one comparison settles.
//
// IMPORTANT: the domain must outlive the call; it is only read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"
#include "state/path_stack.hpp"

namespace quorvane {

template <Domain D>
SearchOutcome<typename D::Node> depth_limited_search(const D& domain, typename D::Node start,
                                                     typename D::Node goal, uint64_t depth_limit,
                                                     bool record);

template <Domain D>
SearchOutcome<typename D::Node> dls(const D& domain, typename D::Node start, typename D::Node goal,
                                    uint64_t depth_limit, bool record);

// ---- details ----

namespace detail {

// The depth-limited core, kept as an object so that iterative deepening can
// run it again and again on the same path stack and buffers.
template <Domain D>
class DepthLimitedCore {
public:
    using Node = typename D::Node;

    struct Run {
        std::optional<std::vector<Node>> path;
        double cost = std::numeric_limits<double>::infinity();
        uint64_t nodes_expanded = 0;
        uint64_t nodes_generated = 1;
        uint64_t max_frontier_size = 1;
    };

    explicit DepthLimitedCore(const D& domain) : domain_(domain), path_(domain) {}

    // One complete search to `depth_limit`; its trace entries are appended
    // to `*trace` when `trace` is not null.
    Run run(const Node& start, const Node& goal, uint64_t depth_limit, Trace<Node>* trace) {
        Run out;
        path_.clear();

        const Node* node = &start;
        double g = 0.0;
        uint64_t remaining = depth_limit;
        uint64_t hash = Path::hash(start);
        for (;;) {
            ++out.nodes_expanded;
            if (trace != nullptr) trace->push_back({*node, g, path_.size()});
            if (*node == goal) {
                out.path = path_.path_to(*node);
                break;
            }
            if (remaining > 0) {
                path_.push(*node, hash, g, remaining);
                out.max_frontier_size = std::max<uint64_t>(out.max_frontier_size, path_.size());
            } else if (path_.empty()) {
                break;  // a limit of 0: the start was the whole search
            }
            const Successor<Node>* child = path_.next_child(hash, [](uint64_t) {});
            if (child == nullptr) break;
            const typename Path::Frame& from = path_.top();
            node = &child->node;
            g = from.g + child->cost;
            remaining = from.extra - 1;
            ++out.nodes_generated;
        }
        path_.clear();
        if (out.path) out.cost = path_cost_from_successors(domain_, *out.path);
        return out;
    }

private:
    // Each frame's extra is the depth budget left below it, >= 1.
    using Path = PathStack<D, uint64_t>;

    const D& domain_;
    Path path_;
};

// The frame of iddfs and IDA*: `search(outcome, start, goal)` fills the
// outcome on a start and goal that the call owns, and the path it found is
// then priced afresh (price_found_path). `elapsed` covers the search, the
// pricing, and the freeing of the start and the goal after it, as well as
// whatever `search` itself owns and frees (IDA*'s heuristic).
template <Domain D, class Search>
SearchOutcome<typename D::Node> timed_and_priced(const D& domain, typename D::Node& start,
                                                 typename D::Node& goal, const Search& search) {
    using Node = typename D::Node;
    return timed([&] {
        SearchOutcome<Node> outcome;
        const Node owned_start = std::move(start);
        const Node owned_goal = std::move(goal);
        search(outcome, owned_start, owned_goal);
        price_found_path(domain, outcome);
        return outcome;
    });
}

}  // namespace detail

template <Domain D>
SearchOutcome<typename D::Node> depth_limited_search(const D& domain, typename D::Node start,
                                                     typename D::Node goal, uint64_t depth_limit,
                                                     bool record) {
    SearchOutcome<typename D::Node> outcome;
    auto run = detail::DepthLimitedCore<D>(domain).run(start, goal, depth_limit,
                                                       record ? &outcome.trace : nullptr);
    outcome.nodes_expanded = run.nodes_expanded;
    outcome.nodes_generated = run.nodes_generated;
    outcome.max_frontier_size = run.max_frontier_size;
    if (run.path) {
        outcome.path = std::move(run.path);
        outcome.cost = run.cost;
        outcome.stop_reason = StopReason::goal;
    }
    return outcome;
}

template <Domain D>
SearchOutcome<typename D::Node> dls(const D& domain, typename D::Node start, typename D::Node goal,
                                    uint64_t depth_limit, bool record) {
    return timed([&] {
        return depth_limited_search(domain, std::move(start), std::move(goal), depth_limit, record);
    });
}

}  // namespace quorvane
