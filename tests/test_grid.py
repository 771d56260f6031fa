"""search_grid and search_grid_costs: results, counters, traces, trees, errors."""

import math
import random

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import quorvane_native as q
from helpers import (ALIASES, HEURISTIC_TYPE, UNKNOWN_ALGORITHM, UNKNOWN_GRID_HEURISTIC, outcome,
                     panic_message)
from reference.domains import grid_from_ascii, grid_from_costs
from reference.searches import bfs_depths, dijkstra, path_cost

# A 2 x 3 grid: A=(0,0) start, B=(0,1) cost 1, D=(1,0) cost 4, C=(1,1) cost 1,
# G=(1,2) the goal, (0,2) a wall. bfs reaches C first through the dear D and
# improves it through B while it waits: C is pushed twice, expanded once
# with g 2, and its second entry is skipped as a stale duplicate.
WORKED_MAP = "S1#\n41G"
WORKED_COSTS = [[1.0, 1.0, 0.0], [4.0, 1.0, 1.0]]
A, B, C, D, G = (0, 0), (0, 1), (1, 1), (1, 0), (1, 2)

WORKED = {
    "bfs": ([A, B, C, G], 3.0, 5, 6, 2,
            [(A, 0.0, 0), (D, 4.0, 1), (B, 1.0, 1), (C, 2.0, 1), (G, 3.0, 0)],
            [(A, D), (A, B), (B, C), (C, G)]),
    "ucs": ([A, B, C, G], 3.0, 4, 5, 2,
            [(A, 0.0, 0), (B, 1.0, 1), (C, 2.0, 1), (G, 3.0, 1)],
            [(A, D), (A, B), (B, C), (C, G)]),
    "dfs": ([A, B, C, G], 3.0, 4, 5, 2,
            [(A, 0.0, 0), (B, 1.0, 1), (C, 2.0, 1), (G, 3.0, 1)],
            [(A, D), (A, B), (B, C), (C, G)]),
}


@pytest.mark.parametrize("algorithm", sorted(WORKED))
def test_worked_example(algorithm):
    """Paths, costs, counters, traces and trees match the hand-worked runs."""
    path, cost, expanded, generated, frontier, trace, tree = WORKED[algorithm]
    r = q.search_grid_costs(WORKED_COSTS, A, G, algorithm)
    assert r.found and r.stop_reason == "goal"
    assert (r.path, r.cost, r.nodes_expanded, r.nodes_generated, r.max_frontier_size,
            r.nodes_reopened) == (path, cost, expanded, generated, frontier, 0)
    assert r.trace == trace
    assert r.tree == tree


def test_ucs_improves_a_waiting_cell_through_a_diagonal():
    """The diagonal A->C (3*sqrt 2) is beaten by A->D->C (4) while C waits."""
    r = q.search_grid_costs([[1.0, 1.0], [1.0, 3.0]], A, C, "ucs", diagonal=True)
    assert (r.path, r.cost) == ([A, D, C], 4.0)
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (4, 5, 3)
    assert r.trace == [(A, 0.0, 0), (D, 1.0, 2), (B, 1.0, 2), (C, 4.0, 1)]
    assert r.tree == [(A, D), (A, B), (D, C)]


@pytest.mark.parametrize("algorithm", ["bfs", "dfs", "ucs", "astar", "greedy", "beam",
                                       "bidirectional", "ida_star"])
def test_ascii_map_and_cost_matrix_agree(algorithm):
    """The same grid through both entry points gives the same result."""
    a = q.search_grid(WORKED_MAP, algorithm)
    b = q.search_grid_costs(WORKED_COSTS, A, G, algorithm)
    assert outcome(a) == outcome(b)


@pytest.mark.parametrize("max_nodes, stop, expanded, generated", [
    (2, "node_limit", 2, 3),
    (3, "node_limit", 3, 4),
    (4, "goal", 4, 5),
])
def test_node_limit_counts_the_node_it_stops_at(max_nodes, stop, expanded, generated):
    """With max_nodes m the m-th popped node ends the search, unless it is the goal."""
    r = q.search_grid_costs(WORKED_COSTS, A, G, "ucs", max_nodes=max_nodes)
    assert (r.stop_reason, r.nodes_expanded, r.nodes_generated) == (stop, expanded, generated)
    assert r.trace == WORKED["ucs"][5][:expanded]
    assert r.found == (stop == "goal")
    if not r.found:
        assert r.path is None and r.cost == math.inf


def test_goal_waiting_on_the_frontier_is_not_found_at_the_limit():
    """dfs pops (0,2) as the 2nd node while the pushed goal still waits."""
    r = q.search_grid("GS.", "dfs", max_nodes=2)
    assert (r.stop_reason, r.nodes_expanded, r.nodes_generated) == ("node_limit", 2, 3)
    assert q.search_grid("GS.", "dfs", max_nodes=3).path == [(0, 1), (0, 0)]


@pytest.mark.parametrize("max_nodes", [0, 1])
def test_node_limit_zero_or_one_stops_at_the_start(max_nodes):
    """max_nodes 0 or 1 expands only the start and reports node_limit."""
    r = q.search_grid("S..G", "astar", max_nodes=max_nodes)
    assert (r.found, r.path, r.cost, r.stop_reason) == (False, None, math.inf, "node_limit")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (1, 1, 1)
    assert r.trace == [((0, 0), 0.0, 0)] and r.tree == []


@pytest.mark.parametrize("max_nodes", [None, 0])
def test_start_equal_to_goal(max_nodes):
    """A start that is the goal is found at the first pop, node limit or not."""
    r = q.search_grid_costs([[1.0, 1.0]], (0, 1), (0, 1), max_nodes=max_nodes)
    assert (r.path, r.cost, r.stop_reason) == ([(0, 1)], 0.0, "goal")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (1, 1, 1)
    assert r.trace == [((0, 1), 0.0, 0)] and r.tree == []


def test_reopening_with_an_inconsistent_heuristic():
    """Manhattan over cells cheaper than 1 is inconsistent: only reopen finds the optimum."""
    costs = [[1.0, 0.1, 0.1, 1.0, 2.0], [0.1, 0.1, 0.1, 0.0, 1.0]]
    goal = (1, 4)
    grid = grid_from_costs(costs)
    best = dijkstra((0, 0), grid.successors, goal)
    off = q.search_grid_costs(costs, (0, 0), goal, "astar")
    on = q.search_grid_costs(costs, (0, 0), goal, "astar", reopen=True)
    assert off.nodes_reopened == 0 and off.cost == pytest.approx(4.4)
    assert on.cost == pytest.approx(best) == pytest.approx(4.2)
    assert on.nodes_reopened == 2
    assert on.nodes_expanded == off.nodes_expanded + 2
    traced = [cell for cell, _, _ in on.trace]
    assert traced.count((0, 2)) == 2 and traced.count((0, 3)) == 2
    assert on.path == [(0, 0), (0, 1), (0, 2), (0, 3), (0, 4), (1, 4)]


def test_nan_priorities_leave_in_push_order():
    """weighted_astar with a NaN weight makes every f NaN: the frontier acts as a queue."""
    m = "S...\n.#..\n...G"
    nan = q.search_grid(m, "weighted_astar", weight=float("nan"))
    bfs = q.search_grid(m, "bfs")
    assert nan.trace == bfs.trace
    assert nan.path == bfs.path


@pytest.mark.parametrize("text, start, goal, cost", [
    ("S1\r\n9G", (0, 0), (1, 1), 2.0),          # CR before LF dropped; costs 1 and 9
    ("\n\nS#\n\n..G\n\n\n", (0, 0), (2, 2), 4.0),  # edge blank rows dropped, inner kept
    ("S#\n.\n..G", (0, 0), (2, 2), 4.0),          # short rows padded with open cells
    ("S#G\n0#.\n...", (0, 0), (0, 2), 6.0),       # '0' is an open cell of cost 1
    ("S\u00e9G", (0, 0), (0, 2), 2.0),            # a two-byte character is one column
    ("SG\r", (0, 0), (0, 1), 1.0),                # a final CR without LF is a cell
    ("SS\nGG", (0, 1), (1, 1), 1.0),              # the last S and the last G count
])
def test_map_parsing_corners(text, start, goal, cost):
    """Maps parse as the format says: path ends and cost show the cells."""
    r = q.search_grid(text, "ucs")
    assert r.path[0] == start and r.path[-1] == goal
    assert r.cost == cost


def test_digit_costs_steer_the_path():
    """Terrain digits are entering costs, so the cheap detour wins."""
    r = q.search_grid("S9G\n111", "dijkstra")
    assert r.path == [(0, 0), (1, 0), (1, 1), (1, 2), (0, 2)]
    assert r.cost == 4.0


def test_walled_off_goal_is_exhausted():
    """An unreachable goal exhausts the reachable cells, each expanded once."""
    r = q.search_grid("S.#G\n..#.", "astar")
    assert (r.found, r.path, r.cost, r.stop_reason) == (False, None, math.inf, "exhausted")
    assert r.nodes_expanded == 4


@pytest.mark.parametrize("text, diagonal, path", [
    ("S.\n.G", True, [(0, 0), (1, 1)]),
    ("S#\n.G", True, [(0, 0), (1, 0), (1, 1)]),  # no corner cutting past a wall
    ("S.\n.G", False, [(0, 0), (1, 0), (1, 1)]),
])
def test_diagonal_moves(text, diagonal, path):
    """Diagonal moves exist only when switched on and both side cells are open."""
    r = q.search_grid(text, "ucs", diagonal=diagonal)
    assert r.path == path


def test_diagonal_step_cost():
    """A diagonal step costs the entered cell's cost times sqrt(2)."""
    r = q.search_grid_costs([[1.0, 1.0], [1.0, 2.0]], (0, 0), (1, 1), "ucs", diagonal=True)
    assert r.path == [(0, 0), (1, 1)]
    assert r.cost == 2.8284271247461903


@pytest.mark.parametrize("pair", ALIASES.items())
def test_aliases_give_the_same_search(pair):
    """Each alias runs exactly the search of its full name."""
    m = "S..#\n.#..\n..1G"
    a, b = (q.search_grid(m, name) for name in pair)
    assert outcome(a) == outcome(b)


def test_weights_of_weighted_astar():
    """weighted_astar with weight 1 is astar; with weight 0 it is ucs."""
    m = "S....\n.##.#\n...2G"
    assert outcome(q.search_grid(m, "weighted_astar", weight=1.0)) == outcome(q.search_grid(m))
    assert (outcome(q.search_grid(m, "weighted_astar", weight=0.0))
            == outcome(q.search_grid(m, "ucs")))


def test_heuristic_none_is_manhattan():
    """An absent or None heuristic is manhattan."""
    m = "S....\n.##.#\n....G"
    assert (outcome(q.search_grid(m, heuristic=None))
            == outcome(q.search_grid(m, heuristic="manhattan")) == outcome(q.search_grid(m)))


# --- errors -------------------------------------------------------------------

NO_S_OR_G = "the ASCII map must contain a start 'S' and a goal 'G'"
BAD_CELLS = "start and goal must be in-bounds, non-wall cells"


@pytest.mark.parametrize("kwargs, message", [
    (dict(map="S..", algorithm="nope", heuristic=3), NO_S_OR_G),
    (dict(map="..G"), NO_S_OR_G),
    (dict(map=""), NO_S_OR_G),
    (dict(map="S.G", algorithm="nope", heuristic=3), HEURISTIC_TYPE),
    (dict(map="S.G", heuristic=b"zero"), HEURISTIC_TYPE),
    (dict(map="S.G", heuristic=[1]), HEURISTIC_TYPE),
    (dict(map="S.G", heuristic="\ud800"), HEURISTIC_TYPE),
    (dict(map="S.G", algorithm="nope", heuristic="Manhattan"),
     UNKNOWN_GRID_HEURISTIC.format("Manhattan")),
    (dict(map="S.G", heuristic=" manhattan"), UNKNOWN_GRID_HEURISTIC.format(" manhattan")),
    (dict(map="S.G", heuristic=""), UNKNOWN_GRID_HEURISTIC.format("")),
    (dict(map="S.G", algorithm="A*"), UNKNOWN_ALGORITHM.format("A*")),
    (dict(map="S.G", algorithm="astar "), UNKNOWN_ALGORITHM.format("astar ")),
    (dict(map="S.G", algorithm=""), UNKNOWN_ALGORITHM.format("")),
])
def test_search_grid_value_errors(kwargs, message):
    """Map, heuristic and algorithm errors come in that order with fixed texts."""
    with pytest.raises(ValueError) as excinfo:
        q.search_grid(**kwargs)
    assert str(excinfo.value) == message


@pytest.mark.parametrize("costs, start, goal, message", [
    ([], (0, 0), (0, 0), "costs must be a non-empty matrix"),
    ([[1.0, 0.0, 2.0]], (0, 1), (0, 2), BAD_CELLS),
    ([[1.0, 0.0, 2.0]], (-1, 0), (0, 2), BAD_CELLS),
    ([[1.0, 0.0, 2.0]], (0, 3), (0, 2), BAD_CELLS),
    ([[1.0, 0.0, 2.0]], (0, 0), (0, 1), BAD_CELLS),
    ([[1.0], []], (0, 0), (1, 0), BAD_CELLS),
    ([[1.0, float("nan"), float("inf"), -1.0]], (0, 0), (0, 2), BAD_CELLS),
])
def test_search_grid_costs_value_errors(costs, start, goal, message):
    """Empty matrices and walled or outside start/goal cells raise ValueError."""
    with pytest.raises(ValueError) as excinfo:
        q.search_grid_costs(costs, start, goal, algorithm="nope")
    assert str(excinfo.value) == message


@pytest.mark.parametrize("call, message", [
    (lambda: q.search_grid_costs([[]], (0, 0), (0, 0)), "cost grid must be non-empty"),
    (lambda: q.search_grid_costs([[1.0] * 65536] + [[]] * 32767, (0, 0), (0, 1)),
     "grid too large: 65536\u00d732768 = 2147483648 cells (max 2147483647)"),
    (lambda: q.search_grid("S" + "." * 65535 + "\n" * 32767 + "G"),
     "grid too large: 65536\u00d732768 = 2147483648 cells (max 2147483647)"),
])
def test_core_checks_raise_panic_exception(call, message):
    """Grids the core refuses reach Python as PanicException, never a crash."""
    assert panic_message(call) == message


# --- property tests against the reference Dijkstra ----------------------------

ADMISSIBLE = {False: ["zero", "manhattan", "euclidean", "octile"],
              True: ["zero", "euclidean", "octile"]}


def check_optimal(result, grid, start, goal):
    best = dijkstra(start, grid.successors, goal)
    if best == math.inf:
        assert not result.found and result.stop_reason == "exhausted"
        return
    assert result.found
    assert result.path[0] == start and result.path[-1] == goal
    walked = path_cost(result.path, grid.successors)
    assert walked is not None, "a step of the path is no move of the grid"
    assert result.cost == pytest.approx(walked, rel=1e-12)
    assert result.cost == pytest.approx(best, rel=1e-12)


@st.composite
def ascii_maps(draw):
    height = draw(st.integers(1, 7))
    width = draw(st.integers(2, 7))
    cells = draw(st.lists(st.sampled_from("..#..123456789#"), min_size=height * width,
                          max_size=height * width))
    positions = draw(st.lists(st.integers(0, height * width - 1), min_size=2, max_size=2,
                              unique=True))
    cells[positions[0]], cells[positions[1]] = "S", "G"
    return "\n".join("".join(cells[r * width:(r + 1) * width]) for r in range(height))


# No deadline nor speed check: a loaded machine must not fail the test.
@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(text=ascii_maps(), diagonal=st.booleans(), data=st.data())
def test_ascii_mazes_are_solved_optimally(text, diagonal, data):
    """ucs, dijkstra and astar with admissible heuristics find least-cost valid paths."""
    algorithm = data.draw(st.sampled_from(["ucs", "dijkstra", "astar"]))
    heuristic = data.draw(st.sampled_from(ADMISSIBLE[diagonal]))
    grid, start, goal = grid_from_ascii(text, diagonal)
    r = q.search_grid(text, algorithm, heuristic=heuristic, diagonal=diagonal)
    check_optimal(r, grid, start, goal)


@pytest.mark.parametrize("seed", range(40))
def test_cost_grids_are_solved_optimally(seed):
    """Seeded random cost grids (costs >= 1, some walls) against the reference."""
    rng = random.Random(seed)
    height, width = rng.randint(1, 9), rng.randint(1, 9)
    rows = [[rng.choice([0.0, 1.0, 1.5, 2.25, 7.0, float("inf")]) if rng.random() < 0.3
             else rng.uniform(1.0, 5.0) for _ in range(width)] for _ in range(height)]
    start = (rng.randrange(height), rng.randrange(width))
    goal = (rng.randrange(height), rng.randrange(width))
    rows[start[0]][start[1]] = rows[goal[0]][goal[1]] = 1.0
    diagonal = seed % 2 == 1
    grid = grid_from_costs(rows, diagonal)
    for algorithm in ["ucs", "dijkstra", "astar"]:
        for heuristic in ADMISSIBLE[diagonal]:
            r = q.search_grid_costs(rows, start, goal, algorithm, heuristic=heuristic,
                                    diagonal=diagonal, record=False)
            check_optimal(r, grid, start, goal)


@pytest.mark.parametrize("seed", range(10))
def test_bfs_finds_fewest_moves_on_unit_grids(seed):
    """bfs on a unit-cost maze reaches the goal in the fewest moves."""
    rng = random.Random(100 + seed)
    height, width = rng.randint(2, 12), rng.randint(2, 12)
    cells = [["#" if rng.random() < 0.25 else "." for _ in range(width)] for _ in range(height)]
    cells[0][0], cells[-1][-1] = "S", "G"
    text = "\n".join("".join(row) for row in cells)
    grid, start, goal = grid_from_ascii(text)
    depths = bfs_depths(start, grid.successors)
    r = q.search_grid(text, "bfs")
    assert r.found == (goal in depths)
    if r.found:
        assert len(r.path) - 1 == depths[goal]
        assert path_cost(r.path, grid.successors) == r.cost
