"""bellman_ford, floyd_warshall and the ShortestPaths and AllPairs classes."""

import math
import random

import pytest

import quorvane_native as qn
from helpers import method_name_as_interpreter_writes_it
from reference.shortest_paths import bellman_ford as reference_bf
from reference.shortest_paths import path_weight

INF = math.inf
NAN = math.nan


# --- the worked examples and the record operations ----------------------------


def test_bellman_ford_small_example():
    """A one-edge graph: repr, distances, predecessors and both paths."""
    r = qn.bellman_ford(3, [(0, 1, 1.0)], 0)
    assert repr(r) == "ShortestPaths(source=0, nodes=3, negative_cycle=false)"
    assert (r.source, r.dist, r.pred, r.negative_cycle) == (0, [0.0, 1.0, INF], [None, 0, None], False)
    assert r.path_to(2) is None
    assert r.path_to(target=1) == [0, 1]
    assert r.path_to(0) == [0]
    assert r.path_to(3) is None and r.path_to(2**64 - 1) is None


def test_lists_are_fresh_on_every_read():
    """Two reads of dist or pred are equal but distinct; changing one changes nothing."""
    r = qn.bellman_ford(2, [(0, 1, 2.0)], 0)
    for name in ("dist", "pred"):
        first, second = getattr(r, name), getattr(r, name)
        assert first == second and first is not second
        first[0] = "x"
        assert getattr(r, name) == second
    a = qn.floyd_warshall(2, [(0, 1, 2.0)])
    m = a.matrix()
    m[0][1] = 9.0
    assert a.matrix() == [[0.0, 2.0], [INF, 0.0]]


def test_floyd_warshall_empty_graph():
    """Zero nodes: an empty matrix, inf distances, no paths, no cycle."""
    a = qn.floyd_warshall(0, [])
    assert repr(a) == "AllPairs(num_nodes=0, negative_cycle=false)"
    assert (a.num_nodes, a.negative_cycle, a.matrix()) == (0, False, [])
    assert a.distance(0, 0) == INF and a.path(0, 0) is None


def test_floyd_warshall_without_arcs():
    """Diagonal 0, everything else inf; i to i is [i], i to j is None."""
    a = qn.floyd_warshall(3, [])
    assert a.matrix() == [[0.0, INF, INF], [INF, 0.0, INF], [INF, INF, 0.0]]
    assert [a.path(i, i) for i in range(3)] == [[0], [1], [2]]
    assert a.path(0, 1) is None


def test_floyd_warshall_paths_and_distances():
    """Distances, paths, out-of-range lookups and keyword arguments."""
    a = qn.floyd_warshall(4, [(0, 1, 2.0), (1, 2, 3.0), (0, 2, 6.0), (2, 3, -1.0)])
    assert a.distance(0, 3) == 4.0 and a.distance(from_=0, to=2) == 5.0
    assert a.path(0, 3) == [0, 1, 2, 3] and a.path(to=3, from_=1) == [1, 2, 3]
    assert a.path(3, 0) is None
    assert a.distance(5, 0) == INF and a.distance(0, 2**64 - 1) == INF
    assert a.path(5, 0) is None


@pytest.mark.parametrize("order", [[5.0, 2.0], [2.0, 5.0]])
def test_parallel_arcs_keep_the_cheapest(order):
    """Parallel arcs of 5 and 2 leave 2, whatever their order."""
    edges = [(0, 1, w) for w in order]
    assert qn.floyd_warshall(2, edges).distance(0, 1) == 2.0
    assert qn.bellman_ford(2, edges, 0).dist[1] == 2.0


# --- weights: ties, infinities, NaN, self-loops, negative cycles --------------


def test_bellman_ford_without_arcs():
    """Only the source is at 0; nothing has a predecessor."""
    r = qn.bellman_ford(4, [], 2)
    assert (r.dist, r.pred, r.negative_cycle) == ([INF, INF, 0.0, INF], [None] * 4, False)


def test_equal_ways_keep_the_first_in_arc_order():
    """Two ways of cost 2 into node 3: the first arc that reaches it keeps pred."""
    edges = [(0, 2, 1.0), (0, 1, 1.0), (1, 3, 1.0), (2, 3, 1.0)]
    r = qn.bellman_ford(4, edges, 0)
    assert r.dist == [0.0, 1.0, 1.0, 2.0] and r.pred[3] == 1


@pytest.mark.parametrize("w", [INF, NAN])
def test_inf_and_nan_arcs_lower_nothing(w):
    """An arc of +inf or NaN never lowers a distance."""
    r = qn.bellman_ford(2, [(0, 1, w)], 0)
    assert (r.dist, r.pred, r.path_to(1)) == ([0.0, INF], [None, None], None)
    a = qn.floyd_warshall(2, [(0, 1, w), (1, 1, w)])
    assert a.matrix() == [[0.0, INF], [INF, 0.0]] and a.path(0, 1) is None


def test_minus_inf_arc_gives_minus_inf_and_no_path():
    """A -inf arc sets the distance to -inf; that node relaxes nothing further."""
    r = qn.bellman_ford(3, [(0, 1, -INF), (1, 2, 1.0)], 0)
    assert (r.dist, r.pred, r.negative_cycle) == ([0.0, -INF, INF], [None, 0, None], False)
    assert r.path_to(1) is None and r.path_to(2) is None


def test_negative_cycle_behind_minus_inf_is_reported():
    """The cycle 1-2-1 of weight -4 sits behind a -inf distance and is still reported."""
    r = qn.bellman_ford(3, [(0, 1, -INF), (1, 2, 1.0), (2, 1, -5.0)], 0)
    assert r.negative_cycle is True
    assert (r.dist, r.pred) == ([0.0, -INF, INF], [None, 0, None])
    assert qn.floyd_warshall(3, [(0, 1, -INF), (1, 2, 1.0), (2, 1, -5.0)]).negative_cycle


def test_cycle_of_minus_inf_arcs_is_reported_by_both():
    """Two -inf arcs forming a cycle are a negative cycle for both algorithms, though
    every diagonal entry stays 0."""
    edges = [(0, 1, -INF), (1, 0, -INF)]
    assert qn.bellman_ford(2, edges, 0).negative_cycle
    a = qn.floyd_warshall(2, edges)
    assert a.negative_cycle and a.distance(0, 0) == 0.0
    # An undirected -inf edge is such a cycle.
    assert qn.bellman_ford(2, [(0, 1, -INF)], 0, True).negative_cycle
    assert qn.floyd_warshall(2, [(0, 1, -INF)], True).negative_cycle


def test_negative_self_loop_bellman_ford():
    """A reachable negative self-loop lowers its node once per pass and hides its path."""
    r = qn.bellman_ford(3, [(0, 1, 1.0), (1, 1, -1.0)], 0)
    assert (r.dist, r.pred, r.negative_cycle) == ([0.0, -1.0, INF], [None, 1, None], True)
    assert r.path_to(1) is None and r.path_to(0) == [0]
    one = qn.bellman_ford(1, [(0, 0, -1.0)], 0)
    assert (one.dist, one.pred, one.negative_cycle, one.path_to(0)) == ([0.0], [None], True, [0])


@pytest.mark.parametrize("w, diagonal, cycle", [(3.0, 0.0, False), (0.0, 0.0, False),
                                                (-2.0, -4.0, True)])
def test_self_loop_floyd_warshall(w, diagonal, cycle):
    """A non-negative self-loop changes nothing; a negative one lowers the diagonal (twice:
    once as an arc, once as its own pivot)."""
    a = qn.floyd_warshall(2, [(1, 1, w)])
    assert (a.distance(1, 1), a.negative_cycle) == (diagonal, cycle)
    assert a.path(1, 1) == [1]


def test_negative_cycle_diagonal_and_paths():
    """On a negative cycle the diagonal is negative, i to i stays [i], hops into it are cut."""
    a = qn.floyd_warshall(3, [(0, 1, 1.0), (1, 2, -3.0), (2, 1, 1.0)])
    assert a.negative_cycle
    assert a.distance(1, 1) < 0 and a.path(1, 1) == [1]
    assert a.path(0, 2) is None or path_weight(a.path(0, 2), [(0, 1, 1.0), (1, 2, -3.0), (2, 1, 1.0)],
                                               False) is not None


def test_undirected_negative_edge_is_a_cycle_for_both():
    """An undirected negative edge makes a two-arc negative cycle."""
    r = qn.bellman_ford(2, [(0, 1, -1.0)], 0, undirected=True)
    a = qn.floyd_warshall(2, [(0, 1, -1.0)], True)
    assert r.negative_cycle and a.negative_cycle
    assert not qn.bellman_ford(2, [(0, 1, -1.0)], 0).negative_cycle


# --- argument errors ----------------------------------------------------------


@pytest.mark.parametrize("call, exc, message", [
    (lambda: qn.bellman_ford(0, [], 0), ValueError, "source must be < num_nodes"),
    (lambda: qn.bellman_ford(3, [(0, 5, 1.0)], 7), ValueError, "source must be < num_nodes"),
    (lambda: qn.bellman_ford(5, [(0, 1, 1.0), (0, 5, 1.0), (9, 9, 1.0)], 0), ValueError,
     "edge (0, 5) is out of range for a 5-node graph"),
    (lambda: qn.floyd_warshall(5, [(7, 1, 1.0)]), ValueError,
     "edge (7, 1) is out of range for a 5-node graph"),
    (lambda: qn.floyd_warshall(0, [(0, 0, 1.0)]), ValueError,
     "edge (0, 0) is out of range for a 0-node graph"),
    (lambda: qn.bellman_ford(3, [], 0, None), TypeError,
     "argument 'undirected': 'NoneType' object cannot be converted to 'PyBool'"),
    (lambda: qn.floyd_warshall(3, "abc"), TypeError,
     "argument 'edges': Can't extract `str` to `Vec`"),
    (lambda: qn.floyd_warshall(3, [[0, 1, 1.0]]), TypeError,
     "argument 'edges': 'list' object cannot be converted to 'PyTuple'"),
    (lambda: qn.bellman_ford(3, [(0, 1)], 0), ValueError,
     "expected tuple of length 3, but got tuple of length 2"),
    (lambda: qn.bellman_ford(), TypeError,
     "bellman_ford() missing 3 required positional arguments: 'num_nodes', 'edges', and 'source'"),
    (lambda: qn.bellman_ford(2, [], 0).path_to(0, 1), TypeError,
     "ShortestPaths.path_to() takes 1 positional arguments but 2 were given"),
    (lambda: qn.bellman_ford(2, [], 0).path_to("a"), TypeError,
     "argument 'target': 'str' object cannot be interpreted as an integer"),
    (lambda: qn.floyd_warshall(2, []).distance(0), TypeError,
     "AllPairs.distance() missing 1 required positional argument: 'to'"),
    (lambda: qn.floyd_warshall(2, []).path(0, to=1, x=2), TypeError,
     "AllPairs.path() got an unexpected keyword argument 'x'"),
    (lambda: qn.floyd_warshall(2, []).matrix(1), TypeError,
     method_name_as_interpreter_writes_it("AllPairs.matrix") + "() takes no arguments (1 given)"),
])
def test_argument_errors(call, exc, message):
    """Each bad call raises its exception with its fixed message."""
    with pytest.raises(exc) as excinfo:
        call()
    assert type(excinfo.value) is exc and str(excinfo.value) == message


@pytest.mark.parametrize("call", [
    lambda: qn.bellman_ford(-1, [], 0),
    lambda: qn.bellman_ford(2, [(0, -1, 1.0)], 0),
    lambda: qn.bellman_ford(2, [], 0).path_to(-1),
    lambda: qn.floyd_warshall(3, []).distance(-1, 0),
    lambda: qn.floyd_warshall(3, []).path(0, 2**64),
])
def test_negative_or_huge_integers_overflow(call):
    """A negative index or one of 2**64 or more is an OverflowError, not a lookup."""
    with pytest.raises(OverflowError):
        call()


# --- differential checks against the reference ----------------------------------


def random_graph(rng, n, negative):
    """Integer weights (so every algorithm's sums are exact), some negative."""
    edges = []
    for _ in range(rng.randrange(0, 3 * n + 1)):
        low = -3 if negative else 0
        edges.append((rng.randrange(n), rng.randrange(n), float(rng.randint(low, 9))))
    return edges


@pytest.mark.parametrize("seed", range(80))
def test_bellman_ford_matches_reference_and_floyd_warshall(seed):
    """Distances equal the reference's; Floyd-Warshall equals Bellman-Ford from every
    source; every path is real and weighs its distance."""
    rng = random.Random(seed)
    n = rng.randrange(1, 12)
    undirected = seed % 5 == 0
    edges = random_graph(rng, n, negative=seed % 2 == 1 and not undirected)
    a = qn.floyd_warshall(n, edges, undirected=undirected)
    any_cycle = False
    for s in range(n):
        r = qn.bellman_ford(n, edges, s, undirected)
        expected = reference_bf(n, edges, s, undirected)
        assert r.negative_cycle == (expected is None)
        any_cycle |= r.negative_cycle
        if r.negative_cycle:
            continue
        assert r.dist == expected
        assert a.matrix()[s] == expected
        for v in range(n):
            for path, dist in ((r.path_to(v), r.dist[v]), (a.path(s, v), a.distance(s, v))):
                if dist == INF:
                    assert path is None
                else:
                    assert path[0] == s and path[-1] == v
                    assert path_weight(path, edges, undirected) == dist
    assert a.negative_cycle == any_cycle


@pytest.mark.parametrize("seed", range(20))
def test_minus_inf_weights_agree_between_algorithms(seed):
    """With -inf arcs about, Floyd-Warshall flags a cycle exactly when some source's
    Bellman-Ford reaches one."""
    rng = random.Random(500 + seed)
    n = rng.randrange(2, 9)
    edges = random_graph(rng, n, negative=True)
    edges += [(rng.randrange(n), rng.randrange(n), -INF) for _ in range(rng.randrange(1, 3))]
    a = qn.floyd_warshall(n, edges)
    assert a.negative_cycle == any(qn.bellman_ford(n, edges, s).negative_cycle for s in range(n))
