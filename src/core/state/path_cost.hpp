// The cost of a found path, priced afresh from successor lists.
//
// Drivers that keep no reached table (depth-limited search, iterative
// deepening, IDA*, beam, bidirectional) do not report the g at which they
// met the goal. They price the path they return with
// `path_cost_from_successors`:
//
//   - a path of fewer than two nodes costs 0.0 and computes no successors;
//   - for each consecutive pair (a, b), in path order, a fresh successor
//     list of a is computed (`Domain::successors`, one call per step, so an
//     implicit graph's Python callable runs once more per step) and the step
//     is priced by the cheapest entry of that list whose node equals b;
//     a NaN entry cost never wins, so NaN only survives when it is all there
//     is, and then the step has no cheapest cost;
//   - a step whose cheapest cost is not finite (no entry names b, only NaN
//     entries do, or the cheapest is +inf or -inf) adds NaN, so one such step
//     makes the whole cost NaN;
//   - the result is the sum, taken in path order starting from 0.0.
//
// With parallel entries (parallel arcs of a graph, repeats in an implicit
// graph's answer) the cheapest entry prices the step, whichever one the
// search followed. The path is only read.
//
// The step rule is `cheapest_step_cost` (state/path_helpers.hpp) started at
// +inf, for every domain alike; an implicit graph differs only in where its
// successor list comes from.
#pragma once

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/path_helpers.hpp"

namespace quorvane {

template <Domain D>
double path_cost_from_successors(const D& domain, const std::vector<typename D::Node>& path) {
    double cost = 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double step = cheapest_step_cost(domain.successors(path[i - 1]),
                                               std::numeric_limits<double>::infinity(), path[i]);
        cost += std::isfinite(step) ? step : std::numeric_limits<double>::quiet_NaN();
    }
    return cost;
}

}  // namespace quorvane
