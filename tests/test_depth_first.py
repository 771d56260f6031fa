"""dls, iddfs and ida_star on every domain: traces, counters, stop reasons, path costs."""

import math
import random

import pytest

import quorvane_native as qn
from reference.domains import npuzzle_successors
from reference.searches import is_move

INF = math.inf
NAN = math.nan
GOAL8 = (1, 2, 3, 4, 5, 6, 7, 8, 0)
DEPTH_FIRST = ["dls", "iddfs", "ida_star"]


def counters(r):
    return (r.nodes_expanded, r.nodes_generated, r.max_frontier_size, r.nodes_reopened)


def outcome(r):
    return (r.path, r.cost, r.stop_reason, counters(r), r.trace, r.tree)


# 0 -> 1 -> 2 -> 3 along a chain of unit arcs, and a shortcut 0 -> 2 of cost 5 listed last.
SHORTCUT = [(0, 1, 1.0), (1, 2, 1.0), (2, 3, 1.0), (0, 2, 5.0)]


def shortcut(algorithm, **kwargs):
    return qn.search_graph(4, SHORTCUT, 0, 3, algorithm, undirected=False, **kwargs)


# --- worked examples ----------------------------------------------------------------------


def test_dls_takes_the_first_path_in_depth_first_order():
    """dls follows the chain, the first successor at every level, and prices it afresh."""
    r = shortcut("dls", depth_limit=5)
    assert r.path == [0, 1, 2, 3] and r.cost == 3.0 and r.stop_reason == "goal"
    assert r.trace == [(0, 0.0, 0), (1, 1.0, 1), (2, 2.0, 2), (3, 3.0, 3)]
    assert counters(r) == (4, 4, 3, 0) and r.tree == []


def test_dls_visits_a_node_again_by_every_simple_path():
    """Without the goal, nodes 2 and 3 are visited once through the chain and once more
    through the shortcut, with the g of each path."""
    r = qn.search_graph(5, SHORTCUT, 0, 4, "dls", undirected=False, depth_limit=5)
    assert r.path is None and r.cost == INF and r.stop_reason == "exhausted"
    assert r.trace == [(0, 0.0, 0), (1, 1.0, 1), (2, 2.0, 2), (3, 3.0, 3), (2, 5.0, 1),
                       (3, 6.0, 2)]
    assert counters(r) == (6, 6, 4, 0)


def test_iddfs_finds_the_fewest_edges_and_sums_every_iteration():
    """iddfs stops at depth 2 with the shortcut path; each iteration restarts at the start."""
    r = shortcut("iddfs")
    assert r.path == [0, 2, 3] and r.cost == 6.0 and r.stop_reason == "goal"
    assert r.trace == [(0, 0.0, 0),
                       (0, 0.0, 0), (1, 1.0, 1), (2, 5.0, 1),
                       (0, 0.0, 0), (1, 1.0, 1), (2, 2.0, 2), (2, 5.0, 1), (3, 6.0, 2)]
    assert counters(r) == (9, 9, 2, 0)


def test_ida_star_worked_example_found():
    """Bounds 0, 1, 2 on the path graph 0-1-2; the third iteration expands the goal."""
    r = qn.search_graph(3, [(0, 1, 1.0), (1, 2, 1.0)], 0, 2, "ida_star")
    assert r.path == [0, 1, 2] and r.cost == 2.0 and r.stop_reason == "goal"
    assert r.trace == [(0, 0.0, 0), (0, 0.0, 0), (1, 1.0, 1), (0, 0.0, 0), (1, 1.0, 1),
                       (2, 2.0, 2)]
    assert counters(r) == (6, 6, 2, 0) and r.tree == []


def test_ida_star_worked_example_exhausted():
    """The dead end 1 is still pushed, so the peak path is 2 long; nothing pruned ends it."""
    r = qn.search_graph(3, [(0, 1, 1.0)], 0, 2, "ida_star", undirected=False)
    assert r.path is None and r.cost == INF and r.stop_reason == "exhausted"
    assert r.trace == [(0, 0.0, 0), (0, 0.0, 0), (1, 1.0, 1)]
    assert counters(r) == (3, 3, 2, 0)


def test_ida_star_pruned_children_count_as_generated():
    """A pruned child is generated but neither expanded nor traced; its f sets the next bound."""
    h = [1.0, 10.0, 0.0, 0.0]
    r = qn.search_graph(4, [(0, 1, 1.0), (0, 2, 1.0), (2, 3, 1.0)], 0, 3, "ida_star",
                        heuristic=lambda n, g: h[n], undirected=False)
    assert r.path == [0, 2, 3]
    assert r.trace == [(0, 0.0, 0), (2, 1.0, 1), (0, 0.0, 0), (2, 1.0, 1), (3, 2.0, 2)]
    assert counters(r) == (5, 7, 2, 0)


@pytest.mark.parametrize("estimate", [NAN, INF])
def test_ida_star_start_estimate_nan_or_inf_prunes_nothing(estimate):
    """One iteration over every simple path, then exhausted, generated equal to expanded."""
    edges = [(0, 1, 1.0), (1, 2, 1.0), (0, 2, 1.0)]
    r = qn.search_graph(4, edges, 0, 3, "ida_star",
                        heuristic=lambda n, g: estimate if n == 0 else 0.0)
    assert r.path is None and r.stop_reason == "exhausted"
    assert [n for n, _, _ in r.trace] == [0, 1, 2, 2, 1]
    assert counters(r) == (5, 5, 3, 0)


# --- start, limits, options ---------------------------------------------------------------


START_IS_GOAL = [
    lambda a: qn.search_graph(3, [(0, 1, 1.0)], 1, 1, a, depth_limit=4),
    lambda a: qn.search_grid_costs([[1.0, 1.0]], (0, 1), (0, 1), a, depth_limit=4),
    lambda a: qn.search_npuzzle(list(GOAL8), a, depth_limit=4),
    lambda a: qn.search_wordladder("cat", "CAT", ["cot"], a, depth_limit=4),
    lambda a: qn.search_implicit(lambda s: [(s + 1, 1.0)], 7, (7,), a, depth_limit=4),
]


@pytest.mark.parametrize("algorithm", DEPTH_FIRST)
@pytest.mark.parametrize("search", START_IS_GOAL)
def test_start_equal_to_goal(search, algorithm):
    """The start is expanded once, found, and traced as (start, 0.0, 0)."""
    r = search(algorithm)
    assert r.path is not None and len(r.path) == 1
    assert r.cost == 0.0 and r.stop_reason == "goal"
    assert counters(r) == (1, 1, 1, 0)
    assert r.trace == [(r.path[0], 0.0, 0)]


@pytest.mark.parametrize("limit, found, counts", [
    (0, False, (1, 1, 1, 0)),
    (1, False, (2, 2, 1, 0)),
    (2, True, (3, 3, 2, 0)),
])
def test_dls_limit_on_a_corridor(limit, found, counts):
    """A goal two steps away is found at limit 2, not at 1; at limit 0 only S is visited."""
    r = qn.search_grid("S.G", "dls", depth_limit=limit)
    assert r.found is found
    assert r.stop_reason == ("goal" if found else "exhausted")
    assert counters(r) == counts


@pytest.mark.parametrize("goal, found", [(1000, True), (1001, False)])
def test_iddfs_searches_to_depth_1000_by_default(goal, found):
    """On a chain, depth 1000 is reached without depth_limit and depth 1001 is not; the
    unreachable goal costs all 1001 iterations, iteration d visiting d + 1 nodes (the node
    at the limit is a leaf, so the path peaks at 1000)."""
    edges = [(i, i + 1, 1.0) for i in range(1001)]
    r = qn.search_graph(1002, edges, 0, goal, "iddfs", undirected=False, record=False)
    assert r.found is found
    if found:
        assert len(r.path) == 1001 and r.cost == 1000.0
    else:
        assert r.stop_reason == "exhausted"
        assert counters(r) == (1001 * 1002 // 2, 1001 * 1002 // 2, 1000, 0)


@pytest.mark.parametrize("algorithm", DEPTH_FIRST)
def test_record_off_and_best_first_options_change_nothing_else(algorithm):
    """record=False empties the trace only; max_nodes, weight and reopen are ignored."""
    base = qn.search_grid("S.#\n..G\n...", algorithm, depth_limit=6)
    quiet = qn.search_grid("S.#\n..G\n...", algorithm, depth_limit=6, record=False,
                           max_nodes=1, weight=0.0, reopen=True)
    assert quiet.trace == [] and quiet.tree == []
    assert outcome(quiet)[:4] == outcome(base)[:4]
    assert len(base.trace) == base.nodes_expanded


# --- path cost priced from successor lists ------------------------------------------------


@pytest.mark.parametrize("algorithm", DEPTH_FIRST)
def test_parallel_arcs_are_tried_separately_and_priced_by_the_cheapest(algorithm):
    """The dearer arc listed first is followed first, yet the path costs the cheaper one."""
    r = qn.search_graph(3, [(0, 1, 4.0), (0, 1, 1.0), (1, 2, 1.0)], 0, 2, algorithm,
                        undirected=False, depth_limit=2)
    assert r.path == [0, 1, 2] and r.cost == 2.0


@pytest.mark.parametrize("algorithm", ["dls", "iddfs"])
@pytest.mark.parametrize("weight", [INF, -INF, NAN])
def test_a_step_without_finite_cheapest_cost_makes_the_cost_nan(algorithm, weight):
    """A path over an arc of infinite or NaN weight is found, at cost NaN."""
    r = qn.search_graph(3, [(0, 1, 1.0), (1, 2, weight)], 0, 2, algorithm, undirected=False,
                        depth_limit=3)
    assert r.path == [0, 1, 2] and r.stop_reason == "goal" and math.isnan(r.cost)


@pytest.mark.parametrize("algorithm", DEPTH_FIRST)
def test_a_successor_callable_that_changes_its_answer_prices_nan(algorithm):
    """The path is priced from fresh calls; a callable that stops naming the step gives NaN."""
    calls = []

    def successors(s):
        calls.append(s)
        return [(1, 1.0)] if s == 0 and len(calls) == 1 else []

    # An estimate of 1 at the start lets IDA*'s first bound admit the goal.
    r = qn.search_implicit(successors, 0, 1, algorithm, depth_limit=1,
                           heuristic=lambda s, g: 1.0 if s == 0 else 0.0)
    assert r.path == [0, 1] and math.isnan(r.cost)


@pytest.mark.parametrize("algorithm, calls", [
    ("dls", [0, 1, 2] + [0, 1, 2]),
    ("iddfs", [0] + [0, 1] + [0, 1, 2] + [0, 1, 2] + [0, 1, 2]),
    ("ida_star", [0] + [0, 1] + [0, 1, 2] + [0, 1, 2] + [0, 1, 2]),
])
def test_implicit_successors_run_once_per_expansion_and_per_priced_step(algorithm, calls):
    """Lists are computed for expanded non-goal nodes only, then once per step of the path
    (twice under iddfs, which prices what its last iteration already priced)."""
    seen = []

    def successors(s):
        seen.append(s)
        return [(s + 1, 1.0)]

    r = qn.search_implicit(successors, 0, 3, algorithm, depth_limit=5)
    assert r.path == [0, 1, 2, 3] and r.cost == 3.0
    assert seen == calls


# --- optimality and depth against references -----------------------------------------------


def walk(start, successors, steps, rng):
    state, previous = start, None
    for _ in range(steps):
        options = [m for m, _ in successors(state) if m != previous]
        previous, state = state, rng.choice(options)
    return state


@pytest.mark.parametrize("heuristic", ["manhattan", "misplaced"])
@pytest.mark.parametrize("seed", range(8))
def test_ida_star_is_optimal_on_8_puzzles(seed, heuristic):
    """IDA* with an admissible estimate returns a shortest solution, as long as bfs's."""
    tiles = walk(GOAL8, npuzzle_successors(3), 60, random.Random(seed))
    ida = qn.search_npuzzle(list(tiles), "ida_star", heuristic, record=False)
    bfs = qn.search_npuzzle(list(tiles), "bfs", record=False)
    assert ida.cost == bfs.cost == len(ida.path) - 1
    assert all(is_move(npuzzle_successors(3), a, b) for a, b in zip(ida.path, ida.path[1:]))


@pytest.mark.parametrize("tiles, moves", [
    ([1, 3, 10, 4, 6, 0, 12, 11, 9, 2, 8, 14, 13, 5, 15, 7], 32),
    ([7, 8, 1, 3, 10, 5, 2, 6, 13, 9, 4, 11, 14, 0, 15, 12], 34),
    ([14, 5, 3, 7, 11, 6, 4, 2, 10, 15, 13, 8, 9, 0, 1, 12], 38),
    ([0, 7, 12, 4, 10, 1, 3, 13, 2, 11, 8, 14, 6, 5, 9, 15], 42),
])
def test_ida_star_solves_15_puzzles_optimally(tiles, moves):
    """IDA* with "manhattan" returns the known optimal number of moves."""
    r = qn.search_npuzzle(tiles, "ida_star", "manhattan", record=False)
    assert len(r.path) - 1 == moves and r.cost == float(moves)
    assert r.path[-1] == tuple(range(1, 16)) + (0,)


UNIT_COST = {
    "grid": lambda a: qn.search_grid("S..#....\n.#.#.##.\n.#...#..\n.####.#.\n......#G", a),
    "hanoi": lambda a: qn.search_hanoi(3, a, pegs=3),
    "hanoi4": lambda a: qn.search_hanoi(3, a, pegs=4),
    "wordladder": lambda a: qn.search_wordladder(
        "cold", "warm", ["cord", "card", "ward", "corm", "worm", "word", "wore", "core"], a),
    "npuzzle": lambda a: qn.search_npuzzle([1, 2, 3, 0, 4, 6, 7, 5, 8], a),
}


@pytest.mark.parametrize("domain", sorted(UNIT_COST))
def test_iddfs_reaches_the_bfs_depth_on_unit_cost_domains(domain):
    """iddfs stops at the bfs depth between the same ends; ida_star matches its cost."""
    bfs = UNIT_COST[domain]("bfs")
    ids = UNIT_COST[domain]("iddfs")
    assert bfs.found and ids.found
    assert len(ids.path) == len(bfs.path) and ids.cost == bfs.cost
    assert ids.path[0] == bfs.path[0] and ids.path[-1] == bfs.path[-1]
    assert UNIT_COST[domain]("ida_star").cost == bfs.cost


@pytest.mark.parametrize("seed", range(10))
def test_iddfs_and_ida_star_on_random_unit_graphs(seed):
    """On random unit-weight graphs iddfs and ida_star match bfs's depth; dls with that
    limit finds a path and with one less finds none."""
    rng = random.Random(seed)
    n = rng.randint(2, 12)
    edges = [(rng.randrange(n), rng.randrange(n), 1.0) for _ in range(rng.randint(0, 2 * n))]
    bfs = qn.search_graph(n, edges, 0, n - 1, "bfs", undirected=False)
    for algorithm in ("iddfs", "ida_star"):
        r = qn.search_graph(n, edges, 0, n - 1, algorithm, undirected=False, depth_limit=n)
        assert (r.found, r.cost) == (bfs.found, bfs.cost), algorithm
    if bfs.found:
        depth = len(bfs.path) - 1
        at = qn.search_graph(n, edges, 0, n - 1, "dls", undirected=False, depth_limit=depth)
        assert at.found and len(at.path) - 1 >= depth
        if depth > 0:
            below = qn.search_graph(n, edges, 0, n - 1, "dls", undirected=False,
                                    depth_limit=depth - 1)
            assert below.stop_reason == "exhausted"
