// The arguments of `search_grid` and `search_grid_costs`, bound and
// converted, ready for their run routines.
#pragma once

#include <Python.h>

#include <string>
#include <vector>

#include "args.hpp"

namespace quorvane::py {

struct SearchGridArgs {
    std::string map;
    SearchTail tail;
};

struct SearchGridCostsArgs {
    std::vector<std::vector<double>> costs;
    IntPair start;
    IntPair goal;
    SearchTail tail;
};

// search_grid(map, algorithm="astar", heuristic=None, record=True, weight=2.0,
//             beam_width=None, depth_limit=None, max_nodes=None,
//             diagonal=False, reopen=False)
SearchGridArgs bind_search_grid(PyObject* args, PyObject* kwargs);

// search_grid_costs(costs, start, goal, <the same tail>)
SearchGridCostsArgs bind_search_grid_costs(PyObject* args, PyObject* kwargs);

}  // namespace quorvane::py
