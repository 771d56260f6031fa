"""beam and bidirectional search through every search function."""

import math
import random

import pytest

import quorvane_native as qn
from helpers import outcome
from reference.domains import arcs_of, grid_from_ascii
from reference.searches import path_cost

INF = math.inf

# 0 -> 1, 2, 3; 2 -> 4; 3 -> 4, 5; 1 -> 6; 5 -> 6 (all weight 1).
BEAM_EDGES = [(0, 1, 1.0), (0, 2, 1.0), (0, 3, 1.0), (2, 4, 1.0), (3, 4, 5.0), (3, 5, 1.0),
              (1, 6, 1.0), (5, 6, 1.0)]


def random_graph(rng, n, m):
    """m unit-weight edges over n nodes, loops and parallel edges allowed."""
    return [(rng.randrange(n), rng.randrange(n), 1.0) for _ in range(m)]


def random_map(rng, width, height, density):
    """An ASCII maze with S top-left and G bottom-right."""
    rows = []
    for r in range(height):
        row = "".join("#" if rng.random() < density else "." for _ in range(width))
        rows.append(row)
    rows[0] = "S" + rows[0][1:]
    rows[-1] = rows[-1][:-1] + "G"
    return "\n".join(rows)


# --- beam search ------------------------------------------------------------


@pytest.mark.parametrize(
    "width, path, expanded, generated, frontier, trace",
    [
        (2, [0, 1, 6], 4, 6, 2, [(0, 0.0, 0), (1, 1.0, 0), (2, 1.0, 1), (6, 2.0, 0)]),
        (1, [0, 1, 6], 3, 5, 1, [(0, 0.0, 0), (1, 1.0, 0), (6, 2.0, 0)]),
        (None, [0, 1, 6], 5, 7, 3,
         [(0, 0.0, 0), (1, 1.0, 0), (2, 1.0, 1), (3, 1.0, 2), (6, 2.0, 0)]),
    ],
)
def test_beam_layers_on_graph_keep_generation_order(width, path, expanded, generated, frontier,
                                                    trace):
    """With h = 0 each layer is the first `width` new children in generation order."""
    r = qn.search_graph(7, BEAM_EDGES, 0, 6, "beam", undirected=False, beam_width=width)
    assert (r.path, r.cost, r.stop_reason) == (path, 2.0, "goal")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (
        expanded, generated, frontier)
    assert r.nodes_reopened == 0
    assert r.trace == trace
    assert r.tree == []


def test_beam_width_zero_expands_only_the_start():
    """Width 0 generates the start's children, cuts them all and ends exhausted."""
    r = qn.search_graph(7, BEAM_EDGES, 0, 6, "beam", undirected=False, beam_width=0)
    assert (r.path, r.found, r.cost, r.stop_reason) == (None, False, INF, "exhausted")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (1, 4, 1)
    same = qn.search_graph(7, BEAM_EDGES, 6, 6, "beam", undirected=False, beam_width=0)
    assert (same.path, same.cost, same.nodes_expanded, same.trace) == ([6], 0.0, 1, [(6, 0.0, 0)])


@pytest.mark.parametrize(
    "width, found, expanded, generated, frontier, trace",
    [
        (1, False, 2, 3, 1, [((0, 0), 0.0, 0), ((1, 0), 1.0, 0)]),
        (2, True, 5, 5, 2, [((0, 0), 0.0, 0), ((1, 0), 1.0, 0), ((0, 1), 1.0, 0),
                            ((0, 2), 2.0, 0), ((1, 2), 3.0, 0)]),
    ],
)
def test_beam_on_grid_orders_by_manhattan_and_can_cut_the_way(width, found, expanded, generated,
                                                             frontier, trace):
    """A width-1 beam keeps the dead-end neighbour (equal h, first generated) and runs dry."""
    r = qn.search_grid("S..\n.#G", "beam", beam_width=width)
    assert r.found is found
    assert r.path == ([(0, 0), (0, 1), (0, 2), (1, 2)] if found else None)
    assert r.cost == (3.0 if found else INF)
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (
        expanded, generated, frontier)
    assert r.trace == trace


def test_beam_width_none_is_the_unbounded_beam():
    """beam_width=None gives exactly what the largest width gives."""
    for seed in range(20):
        rng = random.Random(seed)
        edges = random_graph(rng, 12, 20)
        a = qn.search_graph(12, edges, 0, 11, "beam", beam_width=None)
        b = qn.search_graph(12, edges, 0, 11, "beam", beam_width=2**64 - 1)
        assert outcome(a) == outcome(b)


def test_beam_unbounded_with_zero_h_finds_a_shortest_unit_path():
    """An unbounded beam with h = 0 is breadth-first: it finds a path iff bfs does, as short."""
    for seed in range(40):
        rng = random.Random(seed)
        n = rng.randrange(1, 12)
        edges = random_graph(rng, n, rng.randrange(0, 2 * n))
        s, g = rng.randrange(n), rng.randrange(n)
        beam = qn.search_graph(n, edges, s, g, "beam")
        bfs = qn.search_graph(n, edges, s, g, "bfs")
        assert (beam.found, beam.cost) == (bfs.found, bfs.cost)
        if beam.found:
            assert path_cost(beam.path, arcs_of(n, edges, True).__getitem__) == beam.cost


def test_beam_cost_takes_the_cheapest_parallel_arc():
    """The trace shows g through the first arc; the cost prices the cheapest."""
    r = qn.search_graph(2, [(0, 1, 5.0), (0, 1, 2.0)], 0, 1, "beam", undirected=False)
    assert r.trace == [(0, 0.0, 0), (1, 5.0, 0)]
    assert r.cost == 2.0


# --- bidirectional search ---------------------------------------------------


@pytest.mark.parametrize(
    "grid, path",
    [("G..\n.S.\n...", [(1, 1), (1, 0), (0, 0)]), ("G..\n9S.\n...", [(1, 1), (0, 1), (0, 0)])],
)
def test_bidirectional_grid_meets_at_the_cheapest_node(grid, path):
    """The goal's backward expansion meets two forward nodes; the cheaper, first on ties, wins."""
    r = qn.search_grid(grid, "bidirectional")
    assert (r.path, r.cost, r.stop_reason) == (path, 2.0, "goal")
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (2, 8, 4)
    assert r.trace == [((1, 1), None, 0), ((0, 0), None, 0)]
    assert r.tree == []


def test_bidirectional_chain_and_trivial_cases():
    """A chain grows only forward; start == goal and a start without moves end at once."""
    chain = [(i, i + 1, 1.0) for i in range(4)]
    r = qn.search_graph(5, chain, 0, 4, "bidirectional")
    assert (r.path, r.cost) == ([0, 1, 2, 3, 4], 4.0)
    assert (r.nodes_expanded, r.nodes_generated, r.max_frontier_size) == (4, 6, 2)
    assert r.trace == [(i, None, 0) for i in range(4)]
    same = qn.search_graph(5, chain, 2, 2, "bidir")
    assert (same.path, same.cost, same.nodes_expanded, same.nodes_generated, same.trace) == (
        [2], 0.0, 0, 1, [])
    stuck = qn.search_graph(3, [(1, 2, 1.0)], 0, 2, "bidir")
    assert (stuck.found, stuck.cost, stuck.stop_reason) == (False, INF, "exhausted")
    assert (stuck.nodes_expanded, stuck.nodes_generated, stuck.max_frontier_size) == (1, 2, 2)


@pytest.mark.parametrize("seed", range(60))
def test_bidirectional_is_shortest_on_random_unit_graphs(seed):
    """On unit weights bidirectional agrees with bfs on found and cost, directed or not."""
    rng = random.Random(seed)
    n = rng.randrange(1, 14)
    edges = random_graph(rng, n, rng.randrange(0, 2 * n + 1))
    s, g = rng.randrange(n), rng.randrange(n)
    for undirected in (True, False):
        bidir = qn.search_graph(n, edges, s, g, "bidirectional", undirected=undirected)
        bfs = qn.search_graph(n, edges, s, g, "bfs", undirected=undirected)
        assert (bidir.found, bidir.cost) == (bfs.found, bfs.cost)
        if bidir.found:
            assert bidir.path[0] == s and bidir.path[-1] == g
            assert path_cost(bidir.path, arcs_of(n, edges, undirected).__getitem__) == bidir.cost


@pytest.mark.parametrize("seed", range(30))
def test_bidirectional_is_shortest_on_random_mazes(seed):
    """On unit-cost mazes bidirectional finds a path exactly when bfs does, of the same length."""
    rng = random.Random(1000 + seed)
    grid = random_map(rng, rng.randrange(2, 9), rng.randrange(2, 9), 0.3)
    bidir = qn.search_grid(grid, "bidirectional")
    bfs = qn.search_grid(grid, "bfs")
    assert (bidir.found, bidir.cost) == (bfs.found, bfs.cost)
    if bidir.found:
        domain, start, goal = grid_from_ascii(grid)
        assert (bidir.path[0], bidir.path[-1]) == (start, goal)
        assert path_cost(bidir.path, domain.successors) == bidir.cost


def test_bidirectional_directed_graph_finds_no_false_path():
    """0->1, 0->3, 2->1 has no path 0 to 2; the backward side must not walk 2->1 backwards."""
    edges = [(0, 1, 1.0), (0, 3, 1.0), (2, 1, 1.0)]
    r = qn.search_graph(4, edges, 0, 2, "bidirectional", undirected=False)
    assert (r.found, r.path, r.cost, r.stop_reason) == (False, None, INF, "exhausted")


def test_bidirectional_directed_graph_reaches_a_goal_without_out_arcs():
    """The backward side walks in-arcs, so a sink goal is found along real arcs."""
    edges = [(0, 1, 1.0), (0, 2, 1.0), (0, 3, 1.0), (1, 4, 2.0), (4, 5, 3.0)]
    r = qn.search_graph(6, edges, 0, 5, "bidirectional", undirected=False)
    assert (r.path, r.cost, r.stop_reason) == ([0, 1, 4, 5], 6.0, "goal")
    assert r.trace == [(0, None, 0), (5, None, 0), (4, None, 0)]


@pytest.mark.parametrize(
    "arcs, goal, path",
    [({0: [1, 3], 2: [1]}, 2, None), ({0: [1, 2, 3], 1: [4], 4: [5]}, 5, [0, 1, 4, 5])],
)
def test_bidirectional_implicit_one_way_moves(arcs, goal, path):
    """Unknown in-moves: no backward step that is not a move, and a sink goal is still found."""
    def successors(n):
        return [(m, 1.0) for m in arcs.get(n, [])]

    r = qn.search_implicit(successors, 0, goal, "bidirectional")
    assert r.path == path
    assert (r.found, r.stop_reason) == ((True, "goal") if path else (False, "exhausted"))
    assert r.cost == (len(path) - 1.0 if path else INF)
