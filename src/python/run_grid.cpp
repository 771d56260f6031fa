// search_grid and search_grid_costs: build the grid from the caller's map
// or cost matrix, choose heuristic and algorithm, search, convert.
//
// Check order of a call: binding and conversion (grid_args.cpp); the map's
// 'S' and 'G' bytes, or the matrix and its start and goal cells; the
// heuristic's type; the heuristic name; the algorithm name and the depth
// limit of "dls". A search with a named heuristic runs with the interpreter
// lock released; a callable heuristic keeps it held.
#include <string>
#include <utility>

#include "callbacks.hpp"
#include "functions.hpp"
#include "graph/grid.hpp"
#include "grid_args.hpp"
#include "py.hpp"
#include "search_result.hpp"
#include "selection.hpp"

namespace quorvane::py {

namespace {

// The search itself, shared by both functions. Takes over the grid.
PyRef run_grid(Grid grid, Cell start, Cell goal, SearchTail& tail) {
    const SearchOptions options = search_options(tail);
    HeuristicSpec choice = parse_heuristic(std::move(tail.heuristic), "manhattan");

    if (choice.is_name()) {
        SearchOutcome<Cell> outcome = without_gil([&] {
            const GridHeuristic kind = parse_grid_heuristic(choice.name);
            return with_grid_heuristic(kind, [&](const auto& heuristic) {
                return dispatch_algorithm(grid, start, goal, tail.algorithm, heuristic,
                                          tail.record, options);
            });
        });
        return make_search_result(std::move(outcome));
    }

    // A Python callable as heuristic, h((row, col), (row, col)): the lock
    // stays held.
    return search_with_callable(grid, start, goal, std::move(choice.callable), tail.algorithm,
                                tail.record, options);
}

// Only the bytes 'S' and 'G' are looked for; the parser finds their cells.
PyRef run_search_grid(SearchGridArgs& a) {
    if (a.map.find('S') == std::string::npos || a.map.find('G') == std::string::npos)
        throw value_error("the ASCII map must contain a start 'S' and a goal 'G'");
    AsciiGrid parsed = Grid::from_ascii(a.map);
    parsed.grid.set_diagonal(a.tail.diagonal);
    return run_grid(std::move(parsed.grid), parsed.start, parsed.goal, a.tail);
}

PyRef run_search_grid_costs(SearchGridCostsArgs& a) {
    if (a.costs.empty()) throw value_error("costs must be a non-empty matrix");
    Grid grid = Grid::from_costs(a.costs);
    grid.set_diagonal(a.tail.diagonal);
    const Cell start{a.start.first, a.start.second};
    const Cell goal{a.goal.first, a.goal.second};
    if (!grid.is_open(start) || !grid.is_open(goal))
        throw value_error("start and goal must be in-bounds, non-wall cells");
    a.costs = {};  // the grid holds what the search needs
    return run_grid(std::move(grid), start, goal, a.tail);
}

}  // namespace

PyObject* search_grid(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        SearchGridArgs a = bind_search_grid(args, kwargs);
        return run_search_grid(a);
    });
}

PyObject* search_grid_costs(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        SearchGridCostsArgs a = bind_search_grid_costs(args, kwargs);
        return run_search_grid_costs(a);
    });
}

}  // namespace quorvane::py
