// Depth-limited depth-first search, and `dls`, which times one run of it.
//
// `depth_limited_search(domain, start, goal, depth_limit, record)` visits
// nodes depth first from `start`, trying each node's successors in the
// domain's order, and stops at the first visit of a node equal to `goal`.
// It keeps no reached table: its only memory is the current path, a stack of
// frames mirrored in an `OnPathSet`. So it follows simple paths only (a
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
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/on_path_set.hpp"
#include "state/outcome.hpp"
#include "state/path_cost.hpp"

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

// One reusable successor list per level of the current path. The list of
// level d holds the successors of the node at depth d; the node at depth
// d + 1 lives in it, so it is refilled only after every deeper level has been
// left. Entries keep their addresses while the list is untouched (growing
// the outer vector moves the lists, not their elements).
template <class Node>
class LevelBuffers {
public:
    template <class D>
    SuccessorList<Node>& fill(const D& domain, std::size_t level, const Node& node) {
        if (level == lists_.size()) lists_.emplace_back();
        SuccessorList<Node>& list = lists_[level];
        list.clear();
        domain.successors_into(node, list);
        return list;
    }

private:
    std::vector<SuccessorList<Node>> lists_;
};

// The nodes of the frames from the bottom up, then the goal: copies.
template <class Node, class Frame>
std::vector<Node> path_through(const std::vector<Frame>& frames, const Node& goal) {
    std::vector<Node> path;
    path.reserve(frames.size() + 1);
    for (const Frame& frame : frames) path.push_back(*frame.node);
    path.push_back(goal);
    return path;
}

// The depth-limited core, kept as an object so that iterative deepening can
// run it again and again on the same buffers.
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

    explicit DepthLimitedCore(const D& domain) : domain_(domain) {}

    // One complete search to `depth_limit`; its trace entries are appended
    // to `*trace` when `trace` is not null.
    Run run(const Node& start, const Node& goal, uint64_t depth_limit,
            std::vector<TraceEntry<Node>>* trace) {
        Run out;
        frames_.clear();
        on_path_.clear();

        const Node* node = &start;
        double g = 0.0;
        uint64_t remaining = depth_limit;
        uint64_t hash = OnPathSet<Node>::hash(start);
        for (;;) {
            ++out.nodes_expanded;
            if (trace != nullptr) trace->push_back({*node, g, on_path_.size()});
            if (*node == goal) {
                out.path = path_through(frames_, *node);
                break;
            }
            if (remaining > 0) {
                const auto& list = buffers_.fill(domain_, frames_.size(), *node);
                on_path_.push(*node, hash);
                out.max_frontier_size = std::max<uint64_t>(out.max_frontier_size, on_path_.size());
                const Node* parent = frames_.empty() ? nullptr : frames_.back().node;
                frames_.push_back(
                    {node, parent, list.data(), list.data() + list.size(), g, remaining});
            }
            if (!next_child(node, g, remaining, hash)) break;
            ++out.nodes_generated;
        }
        frames_.clear();
        on_path_.clear();
        if (out.path) out.cost = path_cost_from_successors(domain_, *out.path);
        return out;
    }

private:
    struct Frame {
        const Node* node;
        const Node* parent;  // null for the start
        const Successor<Node>* next;
        const Successor<Node>* end;
        double g;
        uint64_t remaining;  // >= 1 on every frame
    };

    // Takes the next successor, in order, that is not on the path, popping
    // the frames whose lists are used up. False when the stack runs empty.
    bool next_child(const Node*& node, double& g, uint64_t& remaining, uint64_t& hash) {
        while (!frames_.empty()) {
            Frame& top = frames_.back();
            if (top.next == top.end) {
                frames_.pop_back();
                on_path_.pop();
                continue;
            }
            const Successor<Node>& entry = *top.next++;
            // The step back to the parent is the commonest on-path hit; one
            // comparison settles it before any hashing.
            if (top.parent != nullptr && entry.node == *top.parent) continue;
            const uint64_t h = OnPathSet<Node>::hash(entry.node);
            if (on_path_.contains(entry.node, h)) continue;
            node = &entry.node;
            g = top.g + entry.cost;
            remaining = top.remaining - 1;
            hash = h;
            return true;
        }
        return false;
    }

    const D& domain_;
    LevelBuffers<Node> buffers_;
    std::vector<Frame> frames_;
    OnPathSet<Node> on_path_;
};

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
    const auto started = std::chrono::steady_clock::now();
    auto outcome =
        depth_limited_search(domain, std::move(start), std::move(goal), depth_limit, record);
    outcome.elapsed = Elapsed::since(started);
    return outcome;
}

}  // namespace quorvane
