// search_grid and search_grid_costs: build the grid from the caller's map
// or cost matrix, then search (run_search.hpp).
//
// Check order of a call: binding and conversion; the map's 'S' and 'G'
// bytes, or the matrix and its start and goal cells; then the heuristic's
// type, the heuristic name, the algorithm name and the depth limit of
// "dls". A search with a named heuristic runs with the interpreter lock
// released; a callable heuristic, h((row, col), (row, col)), keeps it held.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "args.hpp"
#include "functions.hpp"
#include "graph/grid.hpp"
#include "py.hpp"
#include "run_search.hpp"

namespace quorvane::py {

namespace {

// The heuristic names of both functions.
struct GridHeuristics {
    enum class Kind : uint8_t { zero, manhattan, euclidean, octile };

    static constexpr HeuristicNames<Kind, 4> kNames{
        .default_name = "manhattan",
        .rows = {{
            {"zero", Kind::zero},
            {"manhattan", Kind::manhattan},
            {"euclidean", Kind::euclidean},
            {"octile", Kind::octile},
        }},
        .unknown_prefix = "unknown heuristic: '",
        .unknown_suffix =
            "'. Available: zero, manhattan, euclidean, octile, or a callable "
            "h(node, goal) -> float",
    };

    template <class F>
    static decltype(auto) with_kind(Kind kind, const Grid&, Cell, F&& f) {
        switch (kind) {
            case Kind::zero: return f(ZeroHeuristic{});
            case Kind::manhattan: return f(GridManhattan{});
            case Kind::euclidean: return f(GridEuclidean{});
            default: return f(GridOctile{});
        }
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// search_grid(map, algorithm="astar", heuristic=None, record=True, weight=2.0,
//             beam_width=None, depth_limit=None, max_nodes=None,
//             diagonal=False, reopen=False)

namespace {

constexpr const char* kSearchGridParams[] = {
    "map",        "algorithm",   "heuristic", "record",   "weight",
    "beam_width", "depth_limit", "max_nodes", "diagonal", "reopen",
};
constexpr Signature kSearchGrid{"search_grid", kSearchGridParams, 1};

struct SearchGridArgs {
    std::string map;
    SearchTail tail;
};

SearchGridArgs bind_search_grid(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchGrid, args, kwargs);
    return {a.convert(0, to_text), convert_search_tail(a, {.algorithm_at = 1, .diagonal = true})};
}

// Only the bytes 'S' and 'G' are looked for; the parser finds their cells.
PyRef run_search_grid(SearchGridArgs a) {
    if (a.map.find('S') == std::string::npos || a.map.find('G') == std::string::npos)
        throw value_error("the ASCII map must contain a start 'S' and a goal 'G'");
    AsciiGrid parsed = Grid::from_ascii(a.map);
    parsed.grid.set_diagonal(a.tail.diagonal);
    return run_search<GridHeuristics>(parsed.grid, parsed.start, parsed.goal, a.tail);
}

}  // namespace

PyObject* search_grid(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_grid(bind_search_grid(args, kwargs)); });
}

// ---------------------------------------------------------------------------
// search_grid_costs(costs, start, goal, <the tail of search_grid>)

namespace {

constexpr const char* kSearchGridCostsParams[] = {
    "costs",  "start",      "goal",        "algorithm", "heuristic", "record",
    "weight", "beam_width", "depth_limit", "max_nodes", "diagonal",  "reopen",
};
constexpr Signature kSearchGridCosts{"search_grid_costs", kSearchGridCostsParams, 3};

struct SearchGridCostsArgs {
    std::vector<std::vector<double>> costs;
    IntPair start;
    IntPair goal;
    SearchTail tail;
};

SearchGridCostsArgs bind_search_grid_costs(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchGridCosts, args, kwargs);
    return {a.convert(0, sequence_of(sequence_of(to_real))), a.convert(1, to_int_pair),
            a.convert(2, to_int_pair),
            convert_search_tail(a, {.algorithm_at = 3, .diagonal = true})};
}

PyRef run_search_grid_costs(SearchGridCostsArgs a) {
    if (a.costs.empty()) throw value_error("costs must be a non-empty matrix");
    Grid grid = Grid::from_costs(a.costs);
    grid.set_diagonal(a.tail.diagonal);
    const Cell start{a.start.first, a.start.second};
    const Cell goal{a.goal.first, a.goal.second};
    if (!grid.is_open(start) || !grid.is_open(goal))
        throw value_error("start and goal must be in-bounds, non-wall cells");
    a.costs = {};  // the grid holds what the search needs
    return run_search<GridHeuristics>(grid, start, goal, a.tail);
}

}  // namespace

PyObject* search_grid_costs(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_grid_costs(bind_search_grid_costs(args, kwargs)); });
}

}  // namespace quorvane::py
