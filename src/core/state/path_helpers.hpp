// The step-cost rule the drivers price a path with.
//
// `cheapest_step_cost(list, start, target)` folds the step costs of the
// entries of one successor list whose node equals `target`, from `start`,
// with a smaller-of rule that never takes a NaN operand: a NaN cost never
// replaces the running value, a NaN running value is replaced by the first
// non-NaN match, and of two equal values the later one is kept (visible only
// as the sign of a zero). No match returns `start`. The list is consumed.
#pragma once

#include <cmath>

#include "domain.hpp"

namespace quorvane {

template <class Node>
double cheapest_step_cost(SuccessorList<Node> list, double start, const Node& target) {
    double m = start;
    for (const Successor<Node>& entry : list) {
        if (!(entry.node == target)) continue;
        if (m < entry.cost || std::isnan(entry.cost)) continue;
        m = entry.cost;
    }
    return m;
}

}  // namespace quorvane
