// Parameter lists of the two grid functions.
#include "grid_args.hpp"

namespace quorvane::py {

namespace {

constexpr const char* kSearchGridParams[] = {
    "map",         "algorithm", "heuristic", "record",   "weight",
    "beam_width",  "depth_limit", "max_nodes", "diagonal", "reopen",
};
constexpr Signature kSearchGrid{"search_grid", kSearchGridParams, 1};

constexpr const char* kSearchGridCostsParams[] = {
    "costs",      "start",       "goal",      "algorithm", "heuristic", "record",
    "weight",     "beam_width",  "depth_limit", "max_nodes", "diagonal", "reopen",
};
constexpr Signature kSearchGridCosts{"search_grid_costs", kSearchGridCostsParams, 3};

}  // namespace

SearchGridArgs bind_search_grid(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchGrid, args, kwargs);
    SearchGridArgs out;
    out.map = a.convert(0, to_text);
    out.tail = convert_search_tail(a, {1, "astar", false, true});
    return out;
}

SearchGridCostsArgs bind_search_grid_costs(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchGridCosts, args, kwargs);
    SearchGridCostsArgs out;
    out.costs = a.convert(0, sequence_of(sequence_of(to_real)));
    out.start = a.convert(1, to_int_pair);
    out.goal = a.convert(2, to_int_pair);
    out.tail = convert_search_tail(a, {3, "astar", false, true});
    return out;
}

}  // namespace quorvane::py
