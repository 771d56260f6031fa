"""Every driver against its step-for-step model, on every domain.

Random small problems with awkward weights (zero, negative, infinite, NaN,
parallel arcs, self-loops) and awkward heuristic values run through the
module and through the models of ``reference.drivers``; every field of the
result but the elapsed time must agree. Last, every algorithm name on every
domain finds a path of real moves.
"""

import math
import os
import random

import pytest

import quorvane_native as q
from helpers import ALL_NAMES, BEST_FIRST
import reference.drivers as model
from reference.domains import (GRID_HEURISTICS, arcs_of, grid_from_ascii, grid_from_costs,
                               hanoi_successors, ladder_successors, mismatches,
                               npuzzle_heuristic, npuzzle_successors)
from reference.drivers import assert_same, observed, same_float
from reference.searches import bfs_depths, is_move, path_cost

INF = math.inf
NAN = math.nan

WEIGHTS = [0.0, 0.5, 1.0, 1.0, 2.0, 3.0, 7.0]
ODD_WEIGHTS = [INF, NAN, -0.0, 1e308]
H_VALUES = [0.0, 1.0, 2.0, 5.0, 0.5]
ODD_H = [NAN, INF, -1.0, -INF]


def random_case(rng, odd, negative):
    n = rng.randint(2, 9)
    edges = []
    for _ in range(rng.randint(0, 3 * n)):
        u, v = rng.randrange(n), rng.randrange(n)
        pool = WEIGHTS + (ODD_WEIGHTS if odd else []) + ([-1.0, -2.5] if negative else [])
        edges.append((u, v, rng.choice(pool)))
    hv = [rng.choice(H_VALUES + (ODD_H if odd else [])) for _ in range(n)]
    return n, edges, rng.randrange(n), rng.randrange(n), hv


# AUDIT_SEEDS raises the number of random cases for a longer local run.
SEEDS = int(os.environ.get("AUDIT_SEEDS", "150"))
CHUNKS = 5


def chunk_seeds(chunk, count):
    return range(chunk, count, CHUNKS)


# --- explicit graphs ---------------------------------------------------------------


def check_best_first(seed, odd):
    rng = random.Random(seed)
    reopen = rng.random() < 0.5
    undirected = rng.random() < 0.5
    # Reopening with a negative-cost cycle is guarded on purpose; keep
    # negative arcs to searches where every node is expanded once.
    n, edges, s, t, hv = random_case(rng, odd, negative=not reopen)
    if reopen and not undirected and rng.random() < 0.5:
        # Negative arcs without a negative cycle: integer weights shifted by
        # a potential, w(u, v) = base + p(v) - p(u), so every cycle sums to
        # its bases. The guards against negative cycles must stay inert.
        p = [rng.randint(-6, 6) for _ in range(n)]
        edges = [(u, v, float(rng.randint(0, 3) + p[v] - p[u])) for u, v, _ in edges]
    succ = arcs_of(n, edges, undirected).__getitem__
    max_nodes = rng.choice([None, None, 0, 1, 2, 3, 5])
    weight = rng.choice([2.0, 1.0, 0.5, 3.0, 0.0, -1.0, INF, NAN])
    for algorithm in ["bfs", "dfs", "ucs", "dijkstra", "greedy", "astar", "weighted_astar"]:
        # The callable is called as the model calls it: the same nodes, in
        # the same order, each once, NaN answers or not.
        asked, model_asked = [], []
        want = model.best_first(succ, s, t, algorithm, lambda x: model_asked.append(x) or hv[x],
                                weight, max_nodes, reopen)
        got = q.search_graph(n, edges, s, t, algorithm=algorithm,
                             heuristic=lambda x, g: asked.append(x) or hv[x],
                             undirected=undirected, weight=weight, max_nodes=max_nodes,
                             reopen=reopen)
        assert_same(observed(got), want)
        assert asked == model_asked
        # The built-in "zero" takes the frontiers for NaN-free priorities
        # whenever the weights allow it.
        want = model.best_first(succ, s, t, algorithm, lambda x: 0.0, weight, max_nodes, reopen)
        got = q.search_graph(n, edges, s, t, algorithm=algorithm, heuristic="zero",
                             undirected=undirected, weight=weight, max_nodes=max_nodes,
                             reopen=reopen)
        assert_same(observed(got), want)


def check_depth_first(seed, odd):
    rng = random.Random(1000 + seed)
    undirected = rng.random() < 0.5
    n, edges, s, t, hv = random_case(rng, odd, negative=True)
    succ = arcs_of(n, edges, undirected).__getitem__
    limit = rng.randint(0, 5)
    common = dict(undirected=undirected, depth_limit=limit)
    assert_same(observed(q.search_graph(n, edges, s, t, algorithm="dls", **common)),
                model.dls(succ, s, t, limit))
    assert_same(observed(q.search_graph(n, edges, s, t, algorithm="iddfs", **common)),
                model.iddfs(succ, s, t, limit))
    # IDA* bounds grow strictly, but without positive steps the number of
    # iterations is unbounded in principle: keep its graphs small.
    got = q.search_graph(n, edges, s, t, algorithm="ida_star", heuristic=lambda x, g: hv[x],
                         undirected=undirected)
    assert_same(observed(got), model.ida_star(succ, s, t, lambda x: hv[x]))


def check_beam_bidirectional(seed, odd):
    rng = random.Random(2000 + seed)
    n, edges, s, t, hv = random_case(rng, odd, negative=True)
    undirected = rng.random() < 0.7
    succ = arcs_of(n, edges, undirected).__getitem__
    width = rng.choice([0, 1, 2, 3, None])
    got = q.search_graph(n, edges, s, t, algorithm="beam", heuristic=lambda x, g: hv[x],
                         undirected=undirected, beam_width=width)
    assert_same(observed(got), model.beam(succ, s, t, lambda x: hv[x], width))
    succ = arcs_of(n, edges, True).__getitem__
    got = q.search_graph(n, edges, s, t, algorithm="bidirectional", undirected=True)
    assert_same(observed(got), model.bidirectional(succ, s, t))
    # One-way arcs: the goal side walks in-arcs (a directed graph) or checks
    # each proposed step (an implicit graph), so a path is found exactly when
    # one exists and every step of it is an arc.
    arcs = arcs_of(n, edges, False)
    directed = q.search_graph(n, edges, s, t, algorithm="bidirectional", undirected=False)
    implicit = q.search_implicit(lambda x: list(arcs[x]), s, t, algorithm="bidirectional")
    for r in (directed, implicit):
        assert r.found == (t in bfs_depths(s, arcs.__getitem__))
        if r.found:
            assert r.path[0] == s and r.path[-1] == t
            assert all(is_move(arcs.__getitem__, a, b) for a, b in zip(r.path, r.path[1:]))
            assert same_float(r.cost, model.priced_cost(r.path, arcs.__getitem__))


# Every best-first algorithm; dls, iddfs and ida_star; beam (any width) and
# bidirectional (undirected, and one-way through both entry points).
GRAPH_CHECKS = {"best_first": check_best_first, "depth_first": check_depth_first,
                "beam_bidirectional": check_beam_bidirectional}


@pytest.mark.parametrize("odd", [False, True])
@pytest.mark.parametrize("chunk", range(CHUNKS))
@pytest.mark.parametrize("drivers", GRAPH_CHECKS)
def test_graph_searches_match_reference(drivers, chunk, odd):
    """Each driver on random small graphs gives the reference result field for field."""
    for seed in chunk_seeds(chunk, SEEDS):
        GRAPH_CHECKS[drivers](seed, odd)


@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_larger_graphs_with_zero_heuristic_match_reference(chunk):
    """Priority searches on bigger graphs with spread-out weights keep the exact pop order."""
    for seed in chunk_seeds(chunk, SEEDS // 5):
        rng = random.Random(8000 + seed)
        n = rng.randint(20, 300)
        scale = rng.choice([[0.0, 1.0, 2.0, 3.0], [float(k) for k in range(101)],
                            [1.0, 70000.0, 0.5, 2.0**40], [1.0, 2.0, INF, 1e300]])
        edges = [(rng.randrange(n), rng.randrange(n), rng.choice(scale))
                 for _ in range(rng.randint(n, 4 * n))]
        undirected = rng.random() < 0.5
        succ = arcs_of(n, edges, undirected).__getitem__
        s, t = rng.randrange(n), rng.randrange(n)
        max_nodes = rng.choice([None, None, 50])
        reopen = rng.random() < 0.3
        for algorithm in ["ucs", "astar", "greedy", "weighted_astar", "bfs"]:
            want = model.best_first(succ, s, t, algorithm, lambda x: 0.0, 2.0, max_nodes, reopen)
            got = q.search_graph(n, edges, s, t, algorithm=algorithm, heuristic="zero",
                                 undirected=undirected, max_nodes=max_nodes, reopen=reopen)
            assert_same(observed(got), want)


# --- grids (named heuristics, dense reached table) ------------------------------------


@pytest.mark.parametrize("heuristic", sorted(GRID_HEURISTICS))
@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_grid_searches_match_reference(chunk, heuristic):
    """All twelve algorithms on a random map with a named heuristic give the reference result."""
    for seed in chunk_seeds(chunk, SEEDS // 3):
        check_grid(seed, heuristic)


def check_grid(seed, heuristic):
    rng = random.Random(3000 + seed)
    height, width = rng.randint(1, 6), rng.randint(2, 7)
    # Uniform maps half the time: without diagonals those take the unit-step path.
    pool = rng.choice(["....#123459", "....#"])
    cells = [[rng.choice(pool) for _ in range(width)] for _ in range(height)]
    (sr, sc), (gr, gc) = rng.sample([(r, c) for r in range(height) for c in range(width)], 2)
    cells[sr][sc], cells[gr][gc] = "S", "G"
    rows = ["".join(row) for row in cells]
    diagonal = rng.random() < 0.5
    text = "\n".join(rows)
    grid, s, t = grid_from_ascii(text, diagonal)
    succ = grid.successors
    h = lambda x: GRID_HEURISTICS[heuristic](x, t)  # noqa: E731
    max_nodes = rng.choice([None, None, 1, 4, 9])
    reopen = rng.random() < 0.5
    opts = dict(heuristic=heuristic, diagonal=diagonal, max_nodes=max_nodes, reopen=reopen,
                weight=1.5, depth_limit=6, beam_width=2)

    def run(algorithm):
        return observed(q.search_grid(text, algorithm=algorithm, **opts), cells=True)

    for algorithm in BEST_FIRST:
        assert_same(run(algorithm), model.best_first(succ, s, t, algorithm, h, 1.5, max_nodes,
                                                     reopen))
    assert_same(run("dls"), model.dls(succ, s, t, 6))
    assert_same(run("iddfs"), model.iddfs(succ, s, t, 6))
    assert_same(run("ida_star"), model.ida_star(succ, s, t, h))
    assert_same(run("beam"), model.beam(succ, s, t, h, 2))
    assert_same(run("bidirectional"), model.bidirectional(succ, s, t))


@pytest.mark.parametrize("seed", range(12))
def test_long_ascii_lines_match_reference(seed):
    """Long ragged lines with marks anywhere (several S and G, the last wins) parse as the model's."""
    rng = random.Random(11000 + seed)
    pool = "....#" * 4 + "123456789" + ("\u00e9" if seed % 3 == 0 else "")
    cells = [[rng.choice(pool) for _ in range(rng.randint(4, 70))] for _ in range(rng.randint(1, 4))]
    spots = rng.sample([(r, c) for r, row in enumerate(cells) for c in range(len(row))], 4)
    for (r, c), mark in zip(spots, "SGSG"[:rng.randint(2, 4)]):
        cells[r][c] = mark
    text = ("\r\n" if seed % 2 else "\n").join("".join(row) for row in cells)
    grid, s, t = grid_from_ascii(text)
    want = model.best_first(grid.successors, s, t, "ucs", lambda x: 0.0, 1.0, None, False)
    assert_same(observed(q.search_grid(text, algorithm="ucs"), cells=True), want)


@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_cost_grid_searches_match_reference(chunk):
    """Terrain costs far apart, fractional or huge give the reference result for every algorithm."""
    for seed in chunk_seeds(chunk, SEEDS // 3):
        rng = random.Random(7000 + seed)
        height, width = rng.randint(1, 6), rng.randint(2, 7)
        pool = [1.0, 1.0, 2.0, 3.0, 70000.0, 0.5, 1e9, 5e-324, 0.0, -1.0, INF, NAN]
        costs = [[rng.choice(pool) for _ in range(width)] for _ in range(height)]
        s, t = rng.sample([(r, c) for r in range(height) for c in range(width)], 2)
        for r, c in (s, t):
            costs[r][c] = rng.choice([1.0, 2.0, 70000.0])
        diagonal = rng.random() < 0.5
        succ = grid_from_costs(costs, diagonal).successors
        heuristic = rng.choice(sorted(GRID_HEURISTICS))
        h = lambda x: GRID_HEURISTICS[heuristic](x, t)  # noqa: E731
        max_nodes = rng.choice([None, 4, 12])
        reopen = rng.random() < 0.5

        def run(algorithm):
            return observed(q.search_grid_costs(costs, s, t, algorithm=algorithm,
                                                heuristic=heuristic, diagonal=diagonal,
                                                max_nodes=max_nodes, reopen=reopen, weight=1.0,
                                                depth_limit=5, beam_width=3), cells=True)

        for algorithm in BEST_FIRST:
            want = model.best_first(succ, s, t, algorithm, h, 1.0, max_nodes, reopen)
            assert_same(run(algorithm), want)
        assert_same(run("beam"), model.beam(succ, s, t, h, 3))
        assert_same(run("bidirectional"), model.bidirectional(succ, s, t))
        assert_same(run("dls"), model.dls(succ, s, t, 5))


@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_larger_grids_match_reference(chunk):
    """Priority searches on bigger maps and cost matrices keep the exact pop order."""
    for seed in chunk_seeds(chunk, SEEDS // 10):
        rng = random.Random(9000 + seed)
        height, width = rng.randint(5, 30), rng.randint(5, 40)
        pool = rng.choice([[1.0], [1.0, 1.0, 9.0, 2.0, -1.0], [1.0, 70000.0, 0.25, 3.0, 0.0]])
        costs = [[rng.choice(pool) for _ in range(width)] for _ in range(height)]
        s, t = rng.sample([(r, c) for r in range(height) for c in range(width)], 2)
        costs[s[0]][s[1]] = costs[t[0]][t[1]] = 1.0
        diagonal = rng.random() < 0.5
        succ = grid_from_costs(costs, diagonal).successors
        heuristic = rng.choice(sorted(GRID_HEURISTICS))
        weight = rng.choice([2.0, 1.0, 0.5, 1.5])
        for algorithm in ["ucs", "astar", "greedy", "weighted_astar"]:
            want = model.best_first(succ, s, t, algorithm,
                                    lambda x: GRID_HEURISTICS[heuristic](x, t), weight, None,
                                    False)
            got = q.search_grid_costs(costs, s, t, algorithm=algorithm, heuristic=heuristic,
                                      diagonal=diagonal, weight=weight)
            assert_same(observed(got, cells=True), want)


LONG_RUN_HEURISTICS = {
    # Fractions: the search soon gives up keeping them for a possible NaN.
    "fractions": lambda a, b: math.dist(a, b),
    # Whole numbers that jump far, and a NaN late: a long record, then a rerun.
    "far_apart_then_nan": lambda a, b: NAN if sum(a) == 150 else float(
        (a[0] * 7919 + a[1] * 104729) % 100003),
    "manhattan_then_nan": lambda a, b: NAN if sum(a) == 150 else float(
        abs(a[0] - b[0]) + abs(a[1] - b[1])),
}


@pytest.mark.parametrize("name", sorted(LONG_RUN_HEURISTICS))
def test_long_callable_searches_match_reference(name):
    """A callable heuristic over thousands of pushes, NaN or not, gives the reference result
    and is called as the reference calls it."""
    rng = random.Random(11)
    costs = [[rng.choice([1.0, 1.0, 1.0, 2.0, 0.0]) for _ in range(120)] for _ in range(120)]
    s, t = (0, 0), (119, 119)
    costs[0][0] = costs[119][119] = 1.0
    costs[118][119] = costs[119][118] = 0.0  # a goal walled off: every cell is reached
    succ = grid_from_costs(costs).successors
    fn = LONG_RUN_HEURISTICS[name]
    for algorithm in ["astar", "greedy"]:
        asked, model_asked = [], []
        want = model.best_first(succ, s, t, algorithm, lambda x: model_asked.append(x) or fn(x, t))
        got = q.search_grid_costs(costs, s, t, algorithm=algorithm,
                                  heuristic=lambda a, b: asked.append(a) or fn(a, b))
        assert_same(observed(got, cells=True), want)
        assert asked == model_asked and len(asked) > 10000


# --- implicit graphs (hashed table, vector states, counted callbacks) -------------------


@pytest.mark.parametrize("states", ["ints", "sequences"])
@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_implicit_searches_match_reference(chunk, states):
    """All twelve algorithms over an implicit graph give the reference result, with one-int
    states or with states of 0 to 6 ints near the int64 limits, inline and on the heap."""
    for seed in chunk_seeds(chunk, SEEDS // 2):
        check_implicit(seed, states == "sequences")


EDGE_INTS = [0, 1, -1, 2 ** 63 - 1, 2 ** 63 - 2, -2 ** 63, -2 ** 63 + 1]


def relabel(rng, arcs, s, t, hv):
    """The graph with node i renamed to a distinct state of 0 to 6 ints (an int when it has
    one): arcs and h by state, and the arcs as the successor callable gives them, some
    states there as lists."""
    labels = []
    while len(labels) < len(arcs):
        values = tuple(rng.choice(EDGE_INTS) for _ in range(rng.randint(0, 6)))
        label = values[0] if len(values) == 1 else values
        if label not in labels:
            labels.append(label)
    named = {labels[u]: [(labels[v], w) for v, w in out] for u, out in enumerate(arcs)}
    given = {a: [(list(b) if type(b) is tuple and rng.random() < 0.3 else b, w) for b, w in out]
             for a, out in named.items()}
    return named, given, labels[s], labels[t], {labels[u]: h for u, h in enumerate(hv)}


class Counted:
    """A function of one node, counting its calls."""

    def __init__(self, fn):
        self.fn = fn
        self.calls = 0

    def __call__(self, node):
        self.calls += 1
        return self.fn(node)


def check_implicit(seed, sequences):
    rng = random.Random(4000 + seed)
    undirected = rng.random() < 0.5
    n, edges, s, t, hv = random_case(rng, seed % 2 == 1, negative=False)
    max_nodes = rng.choice([None, 2, 5])
    reopen = rng.random() < 0.5
    if reopen and not undirected and rng.random() < 0.5:
        p = [rng.randint(-6, 6) for _ in range(n)]  # negative arcs, no negative cycle
        edges = [(u, v, float(rng.randint(0, 3) + p[v] - p[u])) for u, v, _ in edges]
    arcs = given = arcs_of(n, edges, undirected)
    if sequences:
        arcs, given, s, t, hv = relabel(rng, arcs, s, t, hv)
    calls = {"succ": 0, "h": 0}

    def succ(state):
        calls["succ"] += 1
        return list(given[state])

    def heuristic(state, goal):
        calls["h"] += 1
        return hv[state]

    def run(algorithm, record=True):
        calls.update(succ=0, h=0)
        got = q.search_implicit(succ, s, t, algorithm=algorithm, heuristic=heuristic,
                                max_nodes=max_nodes, reopen=reopen, weight=3.0, depth_limit=4,
                                beam_width=1, record=record)
        return observed(got), (calls["succ"], calls["h"])

    def check(algorithm, reference):
        c_succ, c_h = Counted(arcs.__getitem__), Counted(hv.__getitem__)
        want = reference(c_succ, c_h)
        got, got_calls = run(algorithm)
        assert_same(got, want)
        assert got_calls == (c_succ.calls, c_h.calls), algorithm
        # Recording changes nothing but the trace and the tree.
        quiet, _ = run(algorithm, record=False)
        assert (quiet["trace"], quiet["tree"]) == ([], [])
        assert_same(quiet, dict(want, trace=[], tree=[]))

    for algorithm in BEST_FIRST:
        check(algorithm, lambda a, h: model.best_first(a, s, t, algorithm, h, 3.0, max_nodes,
                                                       reopen))
    check("dls", lambda a, h: model.dls(a, s, t, 4))
    check("iddfs", lambda a, h: model.iddfs(a, s, t, 4))
    check("ida_star", lambda a, h: model.ida_star(a, s, t, h))
    check("beam", lambda a, h: model.beam(a, s, t, h, 1))
    if undirected:
        # A backward side that runs dry lets the forward side carry on (the
        # backward steps of an implicit graph are only proposals, checked at
        # one successor call each), so only a meeting gives the reference
        # counters, and the call counts differ.
        want = model.bidirectional(arcs.__getitem__, s, t)
        got, (_, h_calls) = run("bidirectional")
        assert h_calls == 0
        if want["path"] is None:
            assert (got["path"], got["stop_reason"]) == (None, "exhausted")
        else:
            assert_same(got, want)


# --- byte-vector states: the N-puzzle and the Towers of Hanoi ---------------------------


def check_all_algorithms(run, succ, s, t, h, max_nodes, depth_limit, width, reopen):
    for algorithm in BEST_FIRST:
        want = model.best_first(succ, s, t, algorithm, h, 2.0, max_nodes, reopen)
        assert_same(run(algorithm), want)
    assert_same(run("dls"), model.dls(succ, s, t, depth_limit))
    assert_same(run("iddfs"), model.iddfs(succ, s, t, depth_limit))
    assert_same(run("beam"), model.beam(succ, s, t, h, width))
    assert_same(run("bidirectional"), model.bidirectional(succ, s, t))


@pytest.mark.parametrize("heuristic", ["manhattan", "misplaced", "zero"])
@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_npuzzle_searches_match_reference(chunk, heuristic):
    """All twelve algorithms on 2 x 2 and 3 x 3 boards give the reference result."""
    for seed in chunk_seeds(chunk, SEEDS // 5):
        rng = random.Random(5000 + seed)
        side = rng.choice([2, 3])
        goal = tuple(range(1, side * side)) + (0,)
        succ = npuzzle_successors(side)
        start = goal
        for _ in range(rng.randint(0, 7)):
            start = rng.choice(succ(start))[0]
        h = npuzzle_heuristic(heuristic, side, goal)
        # The 3 x 3 space is large for the slow models: bound the searches.
        max_nodes = rng.choice([None, 3, 40]) if side == 2 else rng.choice([3, 40, 300])
        width = rng.choice([1, 2, None]) if side == 2 else rng.choice([1, 2, 3])
        depth_limit = rng.randint(0, 5)
        reopen = rng.random() < 0.5

        def run(algorithm):
            r = q.search_npuzzle(list(start), algorithm=algorithm, heuristic=heuristic,
                                 max_nodes=max_nodes, depth_limit=depth_limit,
                                 beam_width=width, reopen=reopen)
            return observed(r)

        check_all_algorithms(run, succ, start, goal, h, max_nodes, depth_limit, width, reopen)
        if side == 2 or heuristic == "manhattan":
            assert_same(run("ida_star"), model.ida_star(succ, start, goal, h))


@pytest.mark.parametrize("heuristic", ["misplaced", "zero"])
@pytest.mark.parametrize("disks,pegs", [(1, 3), (2, 3), (3, 3), (2, 4), (3, 4)])
def test_hanoi_searches_match_reference(disks, pegs, heuristic):
    """All twelve algorithms on small towers give the reference result."""
    succ = hanoi_successors(pegs)
    start, goal = (0,) * disks, (pegs - 1,) * disks
    h = mismatches(goal) if heuristic == "misplaced" else (lambda x: 0.0)
    for max_nodes, depth_limit, width, reopen in [(None, 7, None, False), (5, 3, 1, True),
                                                  (20, 5, 2, False)]:
        def run(algorithm):
            r = q.search_hanoi(disks, pegs=pegs, algorithm=algorithm, heuristic=heuristic,
                               max_nodes=max_nodes, depth_limit=depth_limit,
                               beam_width=width, reopen=reopen)
            return observed(r)

        check_all_algorithms(run, succ, start, goal, h, max_nodes, depth_limit, width, reopen)
        assert_same(run("ida_star"), model.ida_star(succ, start, goal, h))


# --- words ---------------------------------------------------------------------------


@pytest.mark.parametrize("heuristic", ["hamming", "zero"])
@pytest.mark.parametrize("chunk", range(CHUNKS))
def test_wordladder_searches_match_reference(chunk, heuristic):
    """All twelve algorithms over a random three-letter dictionary give the reference result."""
    for seed in chunk_seeds(chunk, SEEDS // 5):
        rng = random.Random(6000 + seed)
        words = ["".join(rng.choice("abcd") for _ in range(3)) for _ in range(rng.randint(0, 30))]
        start, goal = (rng.choice(words + ["abc"]), rng.choice(words + ["dba"]))
        succ = ladder_successors(set(words) | {start, goal})
        h = mismatches(goal) if heuristic == "hamming" else (lambda w: 0.0)
        max_nodes = rng.choice([None, 2, 9])
        width = rng.choice([0, 1, 2, None])
        depth_limit = rng.randint(0, 4)
        reopen = rng.random() < 0.5

        def run(algorithm):
            r = q.search_wordladder(start, goal, words, algorithm=algorithm, heuristic=heuristic,
                                    max_nodes=max_nodes, depth_limit=depth_limit,
                                    beam_width=width, reopen=reopen)
            return observed(r)

        check_all_algorithms(run, succ, start, goal, h, max_nodes, depth_limit, width, reopen)
        assert_same(run("ida_star"), model.ida_star(succ, start, goal, h))


# --- every algorithm name on every domain -------------------------------------------

MAZE = "S.#.\n..#G\n#...\n"
COSTS = [[1.0, 2.0, 1.0], [1.0, 0.0, 3.0], [4.0, 1.0, 1.0]]
GRAPH = [(0, 1, 2.0), (0, 2, 1.0), (1, 3, 1.0), (2, 3, 5.0), (3, 4, 1.0), (2, 4, 7.0)]
WORDS = ["cold", "cord", "card", "ward", "warm", "word", "worm", "wore", "core"]


def implicit_successors(n):
    """A one-way implicit graph: n -> n + 1 and n -> 2n, below 40."""
    return [(m, float(k)) for m, k in ((n + 1, 1), (2 * n, 2)) if m < 40]


DOMAINS = {
    "grid": (lambda a: q.search_grid(MAZE, a, depth_limit=12), (0, 0), (1, 3),
             grid_from_ascii(MAZE)[0].successors),
    "grid_costs": (lambda a: q.search_grid_costs(COSTS, (0, 0), (2, 2), a, depth_limit=12),
                   (0, 0), (2, 2), grid_from_costs(COSTS).successors),
    "graph": (lambda a: q.search_graph(5, GRAPH, 0, 4, a, depth_limit=12), 0, 4,
              arcs_of(5, GRAPH, True).__getitem__),
    "directed_graph": (lambda a: q.search_graph(5, GRAPH, 0, 4, a, undirected=False,
                                                depth_limit=12), 0, 4,
                       arcs_of(5, GRAPH, False).__getitem__),
    "implicit": (lambda a: q.search_implicit(implicit_successors, 1, 12, a, depth_limit=12), 1,
                 12, implicit_successors),
    "npuzzle": (lambda a: q.search_npuzzle([1, 2, 3, 4, 5, 6, 0, 7, 8], a, depth_limit=12),
                (1, 2, 3, 4, 5, 6, 0, 7, 8), (1, 2, 3, 4, 5, 6, 7, 8, 0), npuzzle_successors(3)),
    "hanoi": (lambda a: q.search_hanoi(2, a, depth_limit=12), (0, 0), (2, 2),
              hanoi_successors(3)),
    "wordladder": (lambda a: q.search_wordladder("cold", "warm", WORDS, a, depth_limit=12),
                   "cold", "warm", ladder_successors(set(WORDS))),
}


@pytest.mark.parametrize("name", ALL_NAMES)
@pytest.mark.parametrize("domain", list(DOMAINS))
def test_every_algorithm_finds_a_real_path_on_every_domain(domain, name):
    """Each name finds a path of real moves from start to goal, priced as walked."""
    search, start, goal, successors = DOMAINS[domain]
    r = search(name)
    assert isinstance(r, q.SearchResult)
    assert (r.found, r.stop_reason) == (True, "goal")
    assert (r.path[0], r.path[-1]) == (start, goal)
    assert path_cost(r.path, successors) == r.cost
    assert r.nodes_generated >= len(r.path) - 1 and r.nodes_expanded >= 0 and r.elapsed >= 0.0
    assert all(len(entry) == 3 for entry in r.trace) and r.trace
    assert all(len(edge) == 2 for edge in r.tree)
