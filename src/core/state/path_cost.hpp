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
// Customization: `StepPricing<D>::cheapest` folds one successor list into
// the cheapest matching cost. The default fold is the one every domain uses;
// a domain whose step rule lives elsewhere (the implicit graph prices with
// its own helper) specialises the template, and must keep the fold's
// result: +inf when nothing matches, NaN costs ignored.
#pragma once

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "domain.hpp"

namespace quorvane {

template <class D>
struct StepPricing {
    using Node = typename D::Node;

    // The least cost among the entries equal to `target`, +inf when none is.
    // Of two equal costs the later one is kept; a NaN cost never replaces
    // the running minimum.
    static double cheapest(SuccessorList<Node>&& list, const Node& target) {
        double m = std::numeric_limits<double>::infinity();
        for (const auto& entry : list) {
            if (!(entry.node == target)) continue;
            if (m < entry.cost) continue;
            if (!std::isnan(entry.cost)) m = entry.cost;
        }
        return m;
    }
};

template <Domain D>
double path_cost_from_successors(const D& domain, const std::vector<typename D::Node>& path) {
    double cost = 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double step = StepPricing<D>::cheapest(domain.successors(path[i - 1]), path[i]);
        cost += std::isfinite(step) ? step : std::numeric_limits<double>::quiet_NaN();
    }
    return cost;
}

}  // namespace quorvane
