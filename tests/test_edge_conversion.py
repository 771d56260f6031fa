"""The edge-list argument of search_graph, bellman_ford and floyd_warshall: the
forms it takes and the errors it raises, then lists long enough for the
converter's look-ahead (odd items deep in a list or tuple, errors raised for
them, and lists changed while converting)."""

import collections
import math

import pytest

import quorvane_native as qn
from helpers import Index, Real

Edge = collections.namedtuple("Edge", "u v w")


class Edges:
    """A sequence that is neither a list nor a tuple."""

    def __init__(self, items):
        self.items = items

    def __len__(self):
        return len(self.items)

    def __getitem__(self, i):
        return self.items[i]


@pytest.mark.parametrize("edges", [
    [(0, 1, 2.5)],
    ((0, 1, 2.5),),
    [Edge(0, 1, 2.5)],
    [(Index(0), Index(1), Real(2.5))],
    [(False, True, 2.5)],
    Edges([(0, 1, 2.5)]),
    [(0, 1, 2.5), (0, 1, 7)],
])
def test_edge_list_forms(edges):
    """Lists, tuples, other sequences, tuple subclasses and __index__/__float__ all convert."""
    r = qn.search_graph(2, edges, 0, 1, "ucs", undirected=False)
    assert (r.path, r.cost) == ([0, 1], 2.5)


def test_int_weights_convert_to_floats_and_huge_ints_are_refused():
    """An int weight is a float; an int weight too large for a float is an OverflowError."""
    assert qn.search_graph(2, [(0, 1, 3)], 0, 1, "ucs").cost == 3.0
    with pytest.raises(OverflowError):
        qn.search_graph(2, [(0, 1, 10**400)], 0, 1)


@pytest.mark.parametrize("edges, exc, message", [
    ("01", TypeError, "argument 'edges': Can't extract `str` to `Vec`"),
    (5, TypeError, "argument 'edges': 'int' object cannot be converted to 'Sequence'"),
    ((e for e in []), TypeError,
     "argument 'edges': 'generator' object cannot be converted to 'Sequence'"),
    ([(0, 1, 1.0), [0, 1, 1.0]], TypeError,
     "argument 'edges': 'list' object cannot be converted to 'PyTuple'"),
    ([(0, 1)], ValueError, "expected tuple of length 3, but got tuple of length 2"),
    ([(0, 1, 1.0, 2)], ValueError, "expected tuple of length 3, but got tuple of length 4"),
    ([(0.0, 1, 1.0)], TypeError,
     "argument 'edges': 'float' object cannot be interpreted as an integer"),
    ([(0, 1, "w")], TypeError, "argument 'edges': must be real number, not str"),
])
def test_edge_list_errors(edges, exc, message):
    """Each malformed edge list raises the conversion's error under the name 'edges'."""
    with pytest.raises(exc) as excinfo:
        qn.search_graph(2, edges, 0, 1)
    assert type(excinfo.value) is exc and str(excinfo.value) == message


@pytest.mark.parametrize("edges", [[(-1, 0, 1.0)], [(0, 2**64, 1.0)], [(0, Index(-1), 1.0)]])
def test_negative_or_huge_endpoints_overflow(edges):
    """Endpoints outside the unsigned 64-bit range raise OverflowError, unnamed."""
    with pytest.raises(OverflowError) as excinfo:
        qn.search_graph(2, edges, 0, 1)
    assert "edges" not in str(excinfo.value)



# --- long lists --------------------------------------------------------------------

N = 120  # nodes of the path 0 -> 1 -> ... -> N - 1


def path_edges():
    return [(i, i + 1, 1.0 + i % 3) for i in range(N - 1)]


def distances(edges, n=N):
    return qn.bellman_ford(n, edges, 0).dist


ODD_FORMS = [
    lambda u, v, w: Edge(u, v, w),
    lambda u, v, w: (Index(u), v, w),
    lambda u, v, w: (u, Index(v), w),
    lambda u, v, w: (u, v, Real(w)),
    lambda u, v, w: (u, v, int(w)),
    lambda u, v, w: (True if u == 1 else u, v, w),
]


@pytest.mark.parametrize("container", [list, tuple])
@pytest.mark.parametrize("at", [0, 7, 8, 16, 17, 40, N - 2])
@pytest.mark.parametrize("form", range(len(ODD_FORMS)))
def test_an_odd_item_anywhere_converts_like_a_plain_one(container, at, form):
    """One edge of another accepted form, at any place of a long list or tuple, changes nothing."""
    edges = path_edges()
    want = distances(edges)
    edges[at] = ODD_FORMS[form](*edges[at])
    assert distances(container(edges)) == want


@pytest.mark.parametrize("container", [list, tuple])
@pytest.mark.parametrize("at", [5, 17, 63, N - 3])
@pytest.mark.parametrize("bad, exc, message", [
    ((0, 1), ValueError, "expected tuple of length 3, but got tuple of length 2"),
    ([0, 1, 1.0], TypeError, "argument 'edges': 'list' object cannot be converted to 'PyTuple'"),
    ((0.0, 1, 1.0), TypeError,
     "argument 'edges': 'float' object cannot be interpreted as an integer"),
    ((0, 1, "w"), TypeError, "argument 'edges': must be real number, not str"),
])
def test_a_bad_item_deep_in_a_long_list_raises_its_own_error(container, at, bad, exc, message):
    """The first malformed edge, however far in, raises exactly the error it raises alone."""
    edges = path_edges()
    edges[at] = bad
    edges[at + 1] = (0, 1, "also bad")
    with pytest.raises(exc) as excinfo:
        qn.bellman_ford(N, container(edges), 0)
    assert type(excinfo.value) is exc and str(excinfo.value) == message


@pytest.mark.parametrize("far, message", [
    ((3, N), f"edge (3, {N}) is out of range for a {N}-node graph"),
    ((N + 5, 0), f"edge ({N + 5}, 0) is out of range for a {N}-node graph"),
])
def test_the_first_out_of_range_edge_of_a_long_list_is_named(far, message):
    """An endpoint past num_nodes deep in a long list names that edge, not a later one."""
    edges = path_edges() + [(*far, 1.0), (N + 9, N + 9, 1.0)] + path_edges()
    for call in (lambda: qn.bellman_ford(N, edges, 0),
                 lambda: qn.search_graph(N, edges, 0, 1)):
        with pytest.raises(ValueError) as excinfo:
            call()
        assert str(excinfo.value) == message


def test_a_list_shortened_while_converting_stops_where_iteration_would():
    """A weight whose conversion cuts the list short ends the list there, as iterating it would."""
    edges = path_edges()
    u, v, w = edges[30]
    edges[30] = (u, v, Real(w, lambda: edges.__delitem__(slice(60, None))))
    dist = distances(edges)
    assert dist[:61] == distances(path_edges())[:61]
    assert all(math.isinf(d) for d in dist[61:])


def test_a_list_grown_while_converting_converts_the_new_items_too():
    """Edges appended by a conversion further on are converted as well."""
    edges = path_edges()[:50]
    u, v, w = edges[20]
    edges[20] = (u, v, Real(w, lambda: edges.extend(path_edges()[50:])))
    assert distances(edges) == distances(path_edges())
