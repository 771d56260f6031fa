// IDA*: iterative-deepening A*.
//
// `ida_star(domain, start, goal, heuristic, record)` runs depth-first
// iterations from `start`, each cut off by a bound on f = g + h(node, goal).
// The first bound is h(start, goal); every later bound is the least f that
// exceeded the bound before it. Like the depth-limited core it remembers only
// the current path (a `PathStack`, state/path_stack.hpp), so it follows
// simple paths only and expands a node once per simple path within the bound.
//
// A visit of a node with cost g along the current path:
//   - evaluates h once: f = g + h. Over a call, h runs once for the first
//     bound and once per visit, never more;
//   - prunes the node when f > bound. The comparison is ordered: a NaN f is
//     never pruned, and under a NaN bound nothing is. A pruned node is not
//     expanded, traced, goal-tested or given a successor list; its f lowers
//     the least f pruned in the iteration;
//   - otherwise expands it: counted, traced as (node, g, depth) when
//     recording, then goal-tested; a non-goal gets its successor list once
//     and is pushed on the path.
// A successor on the current path is skipped without being counted, traced
// or given an h; every other successor counts as generated, pruned or not.
// Minimums of pruned f ignore NaN; none can occur, as NaN is never pruned.
//
// An iteration ends at the goal (`goal`: the path from the frames, priced by
// `path_cost_from_successors`, not by the goal's g), or when the start's
// frame is popped (or the start itself is pruned), giving the next bound.
// An infinite next bound means no node of finite f was pruned: the search
// ends `exhausted`. Each pruned f lies above the bound in force, so the bound
// strictly grows. Counters and trace run across all iterations; the tree is
// empty and nothing is reopened. No depth, node or time limit applies: on an
// infinite space without a reachable goal the iterations do not end.
//
// The heuristic is taken by value and owned for the call: a heuristic that
// holds a callback context gives it back, with the start and the goal,
// before the clock is read the second time. It is called as
// `heuristic(node, goal)` through a const reference.
//
// Hot path: successor lists live in per-level buffers reused across
// iterations and nodes are never copied into frames, so an expansion
// allocates nothing once the deepest level has been reached; each successor
// tried costs one hash and one set lookup, except the step back to the
// parent, which one comparison settles. Under unit steps with a
// whole-number heuristic (WholeHeuristic), f is worked out in integers.
//
// IMPORTANT: the domain must outlive the call; it is only read.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "domain.hpp"
#include "drivers/depth_limited.hpp"
#include "state/outcome.hpp"
#include "state/path_stack.hpp"

namespace quorvane {

template <Domain D, HeuristicFor<typename D::Node> H>
SearchOutcome<typename D::Node> ida_star(const D& domain, typename D::Node start,
                                         typename D::Node goal, H heuristic, bool record);

// ---- details ----

namespace detail {

template <Domain D, class H>
class IdaStarSearch {
public:
    using Node = typename D::Node;

    IdaStarSearch(const D& domain, const H& heuristic, SearchOutcome<Node>& outcome, bool record)
        : heuristic_(heuristic),
          outcome_(outcome),
          record_(record),
          whole_(whole_numbers(domain)),
          path_(domain) {}

    // Runs iterations until the goal is expanded or the bound cannot grow.
    void run(const Node& start, const Node& goal) {
        outcome_.nodes_expanded = 0;
        outcome_.nodes_generated = 1;
        outcome_.max_frontier_size = 1;
        const uint64_t start_hash = Path::hash(start);
        double bound = heuristic_(start, goal);
        for (;;) {
            double next_bound;
            if constexpr (kMayBeWhole)
                next_bound = whole_ ? iterate<int64_t>(start, start_hash, goal, bound)
                                    : iterate<double>(start, start_hash, goal, bound);
            else
                next_bound = iterate<double>(start, start_hash, goal, bound);
            if (outcome_.path || std::isinf(next_bound)) return;
            bound = next_bound;
        }
    }

private:
    // Frames carry nothing of the driver's own.
    struct NoExtra {};
    using Path = PathStack<D, NoExtra>;

    // Under unit steps with a whole-number heuristic (WholeHeuristic) every
    // g, h, f and bound is a whole number below 2^53, so an iteration may
    // run on integers: the same numbers, compared the same way, and a
    // shorter chain from a child to its pruning test. A node's g is then
    // its depth.
    static constexpr bool kMayBeWhole = WholeHeuristic<H, Node> && DeclaresUnitSteps<D>;
    static bool whole_numbers(const D& domain) noexcept {
        if constexpr (kMayBeWhole)
            return domain.unit_step_costs();
        else
            return false;
    }

    template <class F>
    F evaluate(const Node& node, const Node& goal) const {
        if constexpr (std::is_same_v<F, int64_t>)
            return heuristic_.whole(node, goal);
        else
            return static_cast<double>(heuristic_(node, goal));
    }

    // One iteration under `bound`, with f in F (double, or int64_t for whole
    // numbers). Returns the next bound; on reaching the goal it stores the
    // path and returns +inf.
    template <class F>
    double iterate(const Node& start, uint64_t start_hash, const Node& goal, double bound) {
        constexpr double kInf = std::numeric_limits<double>::infinity();
        constexpr bool kWhole = std::is_same_v<F, int64_t>;
        // Above every f: +inf, or for whole numbers the integer maximum.
        constexpr F kAbove = kWhole ? F(std::numeric_limits<int64_t>::max()) : F(kInf);
        // Counters live in registers for the iteration, not in the outcome.
        uint64_t expanded = outcome_.nodes_expanded;
        uint64_t generated = outcome_.nodes_generated;
        uint64_t max_frontier = outcome_.max_frontier_size;
        const auto finish = [&](F next_bound) {
            outcome_.nodes_expanded = expanded;
            outcome_.nodes_generated = generated;
            outcome_.max_frontier_size = max_frontier;
            return next_bound == kAbove ? kInf : static_cast<double>(next_bound);
        };
        const F limit = static_cast<F>(bound);
        // The next bound: the least f pruned (never NaN, as NaN is never
        // pruned), kept in one place as every pruned f is a candidate.
        F least = kAbove;
        const Node* node = &start;
        uint64_t hash = start_hash;
        F g = 0;
        for (;;) {
            const F f = g + evaluate<F>(*node, goal);
            if (f > limit) {
                if (path_.empty()) return finish(f);
                if (f < least) least = f;
            } else {
                ++expanded;
                if (record_)
                    outcome_.trace.push_back({*node, static_cast<double>(g), path_.size()});
                if (*node == goal) {
                    outcome_.path = path_.path_to(*node);
                    path_.clear();
                    return finish(kAbove);
                }
                path_.push(*node, hash, static_cast<double>(g), {});
                if (path_.size() > max_frontier) max_frontier = path_.size();
            }
            const Successor<Node>* child = path_.next_child(hash, [](NoExtra) {});
            if (child == nullptr) return finish(least);
            ++generated;
            if constexpr (kWhole)
                g = static_cast<F>(path_.size());
            else
                g = path_.top().g + child->cost;
            node = &child->node;
        }
    }

    const H& heuristic_;
    SearchOutcome<Node>& outcome_;
    const bool record_;
    const bool whole_;  // f in integers (whole_numbers)
    Path path_;
};

}  // namespace detail

template <Domain D, HeuristicFor<typename D::Node> H>
SearchOutcome<typename D::Node> ida_star(const D& domain, typename D::Node start,
                                         typename D::Node goal, H heuristic, bool record) {
    using Node = typename D::Node;
    const auto search = [&](SearchOutcome<Node>& outcome, const Node& owned_start,
                            const Node& owned_goal) {
        const H owned_heuristic = std::move(heuristic);
        detail::IdaStarSearch<D, H>(domain, owned_heuristic, outcome, record)
            .run(owned_start, owned_goal);
    };
    return detail::timed_and_priced(domain, start, goal, search);
}

}  // namespace quorvane
