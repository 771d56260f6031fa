// Iterative deepening: depth-limited searches to the depths 0, 1, 2, ...
//
// `iddfs(domain, start, goal, limit, record)` runs the depth-limited core
// (drivers/depth_limited.hpp) with the limits 0 to `limit` inclusive, in
// ascending order, and stops after the first iteration that finds the goal.
// The caller picks `limit`; the driver has no default and no check.
//
// What it guarantees:
//   - the first iteration that finds the goal is the one whose limit is the
//     fewest edges on any path to it, so the path has that many edges; among
//     such paths it is the one the depth-first order meets first;
//   - an iteration that ends `exhausted` never ends the loop, even when
//     nothing was cut short: an unreachable goal costs all limit + 1
//     iterations, and their counts are added;
//   - `nodes_expanded` and `nodes_generated` are sums over the iterations
//     run (equal to each other, as in every iteration), `max_frontier_size`
//     their maximum; with recording the trace is the iterations' traces one
//     after another, each beginning with the start at g 0.0 and size 0;
//   - the path is priced afresh by `path_cost_from_successors` here, after
//     the core has priced it once already. Both pricings are kept: on an
//     implicit graph each calls the user's successor callable once per step,
//     and that call count is part of the driver's observable behaviour.
//   - `stop_reason` is `goal` or `exhausted`, the tree empty, nothing
//     reopened; `elapsed` covers every iteration, the pricing and the freeing
//     of the start and goal.
//
// Memory is that of one depth-limited search plus the accumulated trace; the
// iterations share their successor buffers and path set.
//
// IMPORTANT: the domain must outlive the call; it is only read.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "domain.hpp"
#include "drivers/depth_limited.hpp"
#include "state/outcome.hpp"
#include "state/path_stack.hpp"

namespace quorvane {

template <Domain D>
SearchOutcome<typename D::Node> iddfs(const D& domain, typename D::Node start,
                                      typename D::Node goal, uint64_t limit, bool record);

// ---- details ----

template <Domain D>
SearchOutcome<typename D::Node> iddfs(const D& domain, typename D::Node start,
                                      typename D::Node goal, uint64_t limit, bool record) {
    using Node = typename D::Node;
    const auto search = [&](SearchOutcome<Node>& outcome, const Node& owned_start,
                            const Node& owned_goal) {
        detail::DepthLimitedCore<D> core(domain);
        for (uint64_t depth = 0;; ++depth) {
            auto run = core.run(owned_start, owned_goal, depth, record ? &outcome.trace : nullptr);
            outcome.nodes_expanded += run.nodes_expanded;
            outcome.nodes_generated += run.nodes_generated;
            outcome.max_frontier_size = std::max(outcome.max_frontier_size, run.max_frontier_size);
            if (run.path) {
                outcome.path = std::move(run.path);
                break;
            }
            if (depth == limit) break;
        }
    };
    return detail::timed_and_priced(domain, start, goal, search);
}

}  // namespace quorvane
