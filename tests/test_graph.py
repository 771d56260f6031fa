"""search_graph: its checks and the best-first algorithms on explicit graphs.
(The edge-list argument: test_edge_conversion.py.)"""

import math
import random

import pytest

import quorvane_native as qn
from helpers import ALGORITHMS, BEST_FIRST, HEURISTIC_TYPE, UNKNOWN_ALGORITHM
from reference.domains import arcs_of
from reference.searches import dijkstra
from reference.shortest_paths import is_path, path_weight

INF = math.inf
NAN = math.nan

# The worked example: undirected 0-1 (1), 0-2 (4), 1-2 (1), 2-3 (1), from 0 to 3.
EXAMPLE = [(0, 1, 1.0), (0, 2, 4.0), (1, 2, 1.0), (2, 3, 1.0)]


# --- the worked example ----------------------------------------------------------


@pytest.mark.parametrize("algorithm, path, cost, expanded, generated, trace, tree", [
    ("ucs", [0, 1, 2, 3], 3.0, 4, 5, [(0, 0.0, 0), (1, 1.0, 1), (2, 2.0, 1), (3, 3.0, 1)],
     [(0, 1), (1, 2), (2, 3)]),
    ("bfs", [0, 1, 2, 3], 3.0, 4, 5, [(0, 0.0, 0), (1, 1.0, 1), (2, 2.0, 1), (3, 3.0, 0)],
     [(0, 1), (1, 2), (2, 3)]),
    ("dfs", [0, 2, 3], 5.0, 3, 4, [(0, 0.0, 0), (2, 4.0, 1), (3, 5.0, 1)],
     [(0, 1), (0, 2), (2, 3)]),
])
def test_worked_example(algorithm, path, cost, expanded, generated, trace, tree):
    """ucs, bfs and dfs give exactly the documented paths, counters, traces and trees."""
    r = qn.search_graph(4, EXAMPLE, 0, 3, algorithm)
    assert (r.path, r.cost, r.found, r.stop_reason) == (path, cost, True, "goal")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size, r.nodes_reopened) == (
        expanded, generated, 2, 0)
    assert (r.trace, r.tree) == (trace, tree)


def test_worked_example_node_limits():
    """ucs stops at node 2 with max_nodes 3 and still finds the goal with max_nodes 4."""
    r = qn.search_graph(4, EXAMPLE, 0, 3, "ucs", max_nodes=3)
    assert (r.found, r.path, r.cost, r.stop_reason) == (False, None, INF, "node_limit")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (3, 4, 2)
    assert r.trace == [(0, 0.0, 0), (1, 1.0, 1), (2, 2.0, 1)] and r.tree == [(0, 1), (1, 2)]
    assert qn.search_graph(4, EXAMPLE, 0, 3, "ucs", max_nodes=4).path == [0, 1, 2, 3]


def test_default_algorithm_is_bfs_on_an_undirected_graph():
    """Without options the search is bfs over both directions of every edge."""
    assert qn.search_graph(4, EXAMPLE, 3, 0).trace == qn.search_graph(4, EXAMPLE, 3, 0, "bfs").trace
    assert qn.search_graph(2, [(0, 1, 1.0)], 1, 0).path == [1, 0]


# --- value checks and their order --------------------------------------------------


@pytest.mark.parametrize("args, kwargs, message", [
    ((0, [], 0, 0), {}, "start and goal must be < num_nodes"),
    ((0, [(5, 5, 1.0)], 0, 0), {}, "start and goal must be < num_nodes"),
    ((3, [(0, 7, 1.0)], 0, 3), {}, "start and goal must be < num_nodes"),
    ((5, [(0, 5, 1.0)], 0, 1), {}, "edge (0, 5) is out of range for a 5-node graph"),
    ((5, [(0, 1, 1.0), (6, 2, 1.0), (0, 9, 1.0)], 0, 1), {},
     "edge (6, 2) is out of range for a 5-node graph"),
    ((5, [(0, 5, 1.0)], 0, 1), {"heuristic": "nope", "algorithm": "nope"},
     "edge (0, 5) is out of range for a 5-node graph"),
    ((2, [], 0, 1), {"heuristic": "manhattan"},
     "unknown graph heuristic: 'manhattan'. Use 'zero' or a callable h(node, goal) -> float"),
    ((2, [], 0, 1), {"heuristic": "Zero", "algorithm": "nope"},
     "unknown graph heuristic: 'Zero'. Use 'zero' or a callable h(node, goal) -> float"),
    ((2, [], 0, 1), {"heuristic": 3}, HEURISTIC_TYPE),
    ((2, [], 0, 1), {"algorithm": "BFS"}, UNKNOWN_ALGORITHM.format("BFS")),
])
def test_value_errors_in_order(args, kwargs, message):
    """Range checks come first, then the heuristic, then the algorithm name."""
    with pytest.raises(ValueError) as excinfo:
        qn.search_graph(*args, **kwargs)
    assert str(excinfo.value) == message


# --- every algorithm on the small cases ---------------------------------------------


@pytest.mark.parametrize("algorithm", ALGORITHMS)
def test_one_node_graph(algorithm):
    """A single node is its own path at cost 0 for every algorithm."""
    r = qn.search_graph(1, [], 0, 0, algorithm, depth_limit=0)
    assert (r.path, r.cost, r.stop_reason) == ([0], 0.0, "goal")


@pytest.mark.parametrize("algorithm", BEST_FIRST + ["iddfs", "dls", "ida_star"])
def test_directed_edge_is_not_walked_backwards(algorithm):
    """With undirected=False the edge 0->1 gives no path from 1 to 0."""
    r = qn.search_graph(2, [(0, 1, 1.0)], 1, 0, algorithm, undirected=False, depth_limit=5)
    assert (r.found, r.path, r.cost, r.stop_reason) == (False, None, INF, "exhausted")


@pytest.mark.parametrize("algorithm", BEST_FIRST)
def test_parallel_arcs_and_self_loops(algorithm):
    """Parallel arcs are separate successors, the cheaper later one re-recording the child;
    a non-negative self-loop finds its node closed."""
    edges = [(0, 0, 1.0), (0, 1, 5.0), (0, 1, 2.0), (1, 1, 0.0)]
    r = qn.search_graph(2, edges, 0, 1, algorithm, undirected=False)
    assert (r.path, r.cost, r.nodes_generated, r.nodes_expanded) == ([0, 1], 2.0, 3, 2)


@pytest.mark.parametrize("algorithm", ["ucs", "astar", "bfs"])
def test_zero_weights(algorithm):
    """Zero-weight arcs are ordinary steps of cost 0."""
    r = qn.search_graph(3, [(0, 1, 0.0), (1, 2, 0.0)], 0, 2, algorithm)
    assert (r.path, r.cost) == ([0, 1, 2], 0.0)


@pytest.mark.parametrize("w, check", [(INF, lambda c: c == INF), (NAN, math.isnan),
                                      (-2.0, lambda c: c == -2.0)])
def test_special_weights_reach_the_driver(w, check):
    """Infinite, NaN and negative weights are accepted and summed as they are."""
    r = qn.search_graph(2, [(0, 1, w)], 0, 1, "ucs", undirected=False)
    assert r.path == [0, 1] and check(r.cost)


# --- random graphs against the reference -----------------------------------------------


def random_graph(rng, n, max_weight=9):
    edges = [(rng.randrange(n), rng.randrange(n), float(rng.randint(0, max_weight)))
             for _ in range(rng.randrange(0, 3 * n + 1))]
    return edges


@pytest.mark.parametrize("seed", range(60))
def test_best_first_algorithms_on_random_graphs(seed):
    """The cost-ordered names find least-cost paths; all find a real path exactly when
    the goal is reachable."""
    rng = random.Random(seed)
    n = rng.randrange(1, 12)
    edges = random_graph(rng, n)
    s, g = rng.randrange(n), rng.randrange(n)
    for undirected in (True, False):
        succ = arcs_of(n, edges, undirected).__getitem__
        best = dijkstra(s, succ, g)
        for algorithm in BEST_FIRST:
            r = qn.search_graph(n, edges, s, g, algorithm, undirected=undirected, weight=1.0)
            assert r.found == (best != INF)
            if not r.found:
                assert (r.path, r.cost, r.stop_reason) == (None, INF, "exhausted")
                continue
            assert r.path[0] == s and r.path[-1] == g and is_path(r.path, edges, undirected)
            assert r.cost >= path_weight(r.path, edges, undirected) >= best
            if algorithm not in ("bfs", "dfs", "greedy"):
                assert r.cost == best


# --- reopening and negative cycles -------------------------------------------------------


NEGATIVE_EDGE = [(0, 1, 1.0), (1, 2, -1.0), (2, 3, 1.0), (3, 4, 2.0), (1, 4, 5.0)]


@pytest.mark.parametrize("algorithm", BEST_FIRST)
@pytest.mark.parametrize("goal", [4, 0, 2])
def test_reopen_with_a_negative_cycle_ends(algorithm, goal):
    """An undirected negative edge is a negative cycle: with reopen the search still ends, 4 is
    found, and a path it returns is a real path from the start to the goal, priced as walked."""
    r = qn.search_graph(5, NEGATIVE_EDGE, 0, goal, algorithm, reopen=True)
    assert r.stop_reason in ("goal", "exhausted") and (r.found or goal != 4)
    if r.found:
        assert r.path[0] == 0 and r.path[-1] == goal and is_path(r.path, NEGATIVE_EDGE, True)
        assert r.cost == path_weight(r.path, NEGATIVE_EDGE, True)


@pytest.mark.parametrize("algorithm", BEST_FIRST)
def test_reopen_with_an_unreachable_goal_and_a_directed_negative_cycle(algorithm):
    """A directed negative cycle and no way to the goal: the search ends exhausted."""
    edges = [(0, 1, 1.0), (1, 2, -3.0), (2, 0, 1.0), (2, 3, 1.0)]
    r = qn.search_graph(5, edges, 0, 4, algorithm, undirected=False, reopen=True)
    assert (r.found, r.stop_reason) == (False, "exhausted")


@pytest.mark.parametrize("seed", range(20))
def test_reopen_changes_nothing_without_negative_weights(seed):
    """With non-negative weights and h = 0, reopening never happens and the result is the same."""
    rng = random.Random(300 + seed)
    n = rng.randrange(2, 10)
    edges = random_graph(rng, n)
    s, g = rng.randrange(n), rng.randrange(n)
    for algorithm in ("ucs", "astar"):
        plain = qn.search_graph(n, edges, s, g, algorithm)
        reopened = qn.search_graph(n, edges, s, g, algorithm, reopen=True)
        assert (reopened.path, reopened.cost, reopened.trace, reopened.nodes_reopened) == (
            plain.path, plain.cost, plain.trace, 0)
