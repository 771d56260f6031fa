"""SearchResult: its repr, its attributes, and trace and tree, which
are made into lists only when first read."""

import gc
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import threading
from decimal import Decimal

import pytest

import quorvane_native as q
from helpers import HAS_STATM, outcome, rss_bytes

# search_grid_costs on a 2 x 3 grid: A start, G goal, (0, 2) a wall; ucs
# reaches C through B (g 2) before the dear D (g 4) is expanded.
COSTS = [[1.0, 1.0, 0.0], [4.0, 1.0, 1.0]]
A, B, C, D, G = (0, 0), (0, 1), (1, 1), (1, 0), (1, 2)
TRACE = [(A, 0.0, 0), (B, 1.0, 1), (C, 2.0, 1), (G, 3.0, 1)]
TREE = [(A, D), (A, B), (B, C), (C, G)]


# An open 60 x 60 map from corner to corner.
OPEN_60 = "\n".join(["." * 60] * 60).replace(".", "S", 1)[:-1] + "G"


def worked():
    return q.search_grid_costs(COSTS, A, G, "ucs")


def assert_exact(value, expected):
    """Equal, and of the same types all the way down (1.0 == 1 would hide an int g)."""
    assert value == expected
    assert type(value) is type(expected)
    if isinstance(value, (list, tuple)):
        for v, e in zip(value, expected):
            assert_exact(v, e)


# --- repr ----------------------------------------------------------------------------


def shortest_positional(x):
    """The fewest significant digits that read back as x, written without an exponent."""
    return format(Decimal(repr(x)).normalize(), "f")


def one_edge(weight):
    """A ucs search over one edge of weight `weight` (None: no edge, so no path)."""
    return q.search_graph(2, [] if weight is None else [(0, 1, weight)], 0, 1, "ucs")


@pytest.mark.parametrize("weight, text", [
    (0.1 + 0.2, "0.30000000000000004"),
    (1e-7, "0.0000001"),
    (1e21, "1000000000000000000000"),
    (12.0, "12"),
    (0.0, "0"),
    (None, "inf"),
    (1e23, "100000000000000000000000"),
    (2.0 ** 60, "1152921504606847000"),
    (1.5e300, "15" + "0" * 299),
    (1.7976931348623157e308, "17976931348623157" + "0" * 292),
    (-1e23, "-100000000000000000000000"),
    (9007199254740993.0, "9007199254740992"),
    (123456789.125, "123456789.125"),
    (5e-324, "0." + "0" * 323 + "5"),
    (-2.5, "-2.5"),
    (float("nan"), "NaN"),
])
def test_repr_writes_cost_in_shortest_positional_form(weight, text):
    """__repr__ shows the cost positionally in its shortest round-trip form (large costs padded
    with zeros after their shortest digits, not written exactly), elapsed to 6 places."""
    r = one_edge(weight)
    assert repr(r) == (
        f"SearchResult(found={r.found}, cost={text}, expanded={r.nodes_expanded}, "
        f"frontier={r.max_frontier_size}, elapsed={r.elapsed:.6f}, stop={r.stop_reason})"
    )


def test_repr_cost_matches_shortest_round_trip_for_random_doubles():
    """Random finite doubles of every magnitude print as their shortest digits, positionally."""
    rng = random.Random(7)
    for _ in range(300):
        bits = rng.getrandbits(64)
        x = struct.unpack("<d", struct.pack("<Q", bits))[0]
        if not math.isfinite(x) or x == 0.0:
            continue
        field = repr(one_edge(x)).split(", ")[1]
        assert field == "cost=" + shortest_positional(x)


LOCALE_SCRIPT = """
import locale, sys
locale.setlocale(locale.LC_ALL, sys.argv[1])
assert locale.localeconv()["decimal_point"] == ","
import quorvane_native as qn
print(repr(qn.search_grid("S.G")))
"""


def test_repr_elapsed_ignores_a_comma_decimal_locale(tmp_path):
    """A locale set from Python with a decimal comma leaves the repr's point alone."""
    localedef = shutil.which("localedef")
    if localedef is None:
        pytest.skip("localedef is not available to make a decimal-comma locale")
    made = subprocess.run([localedef, "-i", "de_DE", "-f", "UTF-8", str(tmp_path / "de_DE.UTF-8")],
                          capture_output=True)
    if not (tmp_path / "de_DE.UTF-8").exists():
        pytest.skip(f"could not make a decimal-comma locale: {made.stderr!r}")
    env = dict(os.environ, LOCPATH=str(tmp_path), PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, "-c", LOCALE_SCRIPT, "de_DE.UTF-8"], env=env,
                         capture_output=True, text=True, check=True).stdout
    assert re.search(r", elapsed=\d+\.\d{6}, stop=goal\)$", out.strip()), out


# --- attributes --------------------------------------------------------------------


@pytest.fixture
def result():
    """A SearchResult from a one-step grid search."""
    return q.search_grid("SG", "bfs")


def test_search_result_lists_are_shared_and_text_is_fresh(result):
    """path, trace and tree are the record's own lists; stop_reason is a new str per read."""
    assert result.trace is result.trace and result.tree is result.tree
    assert result.stop_reason == result.stop_reason
    assert result.stop_reason is not result.stop_reason
    result.path.append("extra")
    assert result.path[-1] == "extra"


# --- trace and tree, made when first read ---------------------------------------------


@pytest.mark.parametrize("first", ["trace", "tree"])
def test_lists_are_made_once_whichever_is_read_first(first):
    """Either attribute read first, both read back as the worked values, and every later
    read returns the very same list."""
    r = worked()
    lists = {name: getattr(r, name) for name in (first, {"trace": "tree", "tree": "trace"}[first])}
    assert_exact(lists["trace"], TRACE)
    assert_exact(lists["tree"], TREE)
    for _ in range(3):
        assert r.trace is lists["trace"] and r.tree is lists["tree"]


@pytest.mark.parametrize("record", [True, False])
def test_each_result_owns_its_lists(record):
    """Changing one result's lists shows in later reads of that result and in no other."""
    one, two = (q.search_grid_costs(COSTS, A, G, "ucs", record=record) for _ in range(2))
    one.trace.append("mark")
    one.tree.clear()
    assert one.trace[-1] == "mark" and one.tree == []
    assert two.trace == (TRACE if record else []) and two.tree == (TREE if record else [])
    assert one.trace is not two.trace and one.tree is not two.tree


@pytest.mark.parametrize("search", [
    lambda **kw: q.search_grid("S..#....\n.#.#.##.\n.#...#..\n...#...G", "astar", **kw),
    lambda **kw: q.search_graph(4, [(0, 1, 1.0), (0, 2, 4.0), (1, 2, 1.0), (2, 3, 1.0)], 0, 3,
                                "ucs", **kw),
    lambda **kw: q.search_graph(7, [(0, 1, 1.0), (0, 2, 1.0), (0, 3, 1.0), (2, 4, 1.0),
                                    (3, 4, 5.0), (3, 5, 1.0), (1, 6, 1.0), (5, 6, 1.0)], 0, 6,
                                "beam", undirected=False, beam_width=2, **kw),
], ids=["grid-astar", "graph-ucs", "graph-beam"])
def test_record_off_changes_nothing_but_trace_and_tree(search):
    """record=False empties trace and tree and leaves every other field as it was."""
    on, off = search(), search(record=False)
    assert (off.trace, off.tree) == ([], [])
    assert outcome(off)[:-2] == outcome(on)[:-2]


@pytest.mark.parametrize("run, trace, tree", [
    (lambda: q.search_graph(4, [(0, 1, 1.0), (1, 2, 1.0), (2, 3, 1.0)], 0, 3, "dijkstra"),
     [(0, 0.0, 0), (1, 1.0, 0), (2, 2.0, 0), (3, 3.0, 0)], [(0, 1), (1, 2), (2, 3)]),
    (lambda: q.search_graph(4, [(0, 1, 1.0), (1, 2, 1.0), (2, 3, 1.0)], 0, 3, "bidirectional"),
     [(0, None, 0), (1, None, 0), (2, None, 0)], []),
    (lambda: q.search_wordladder("cat", "dog", ["cat", "cot", "cog", "dog"], "bfs"),
     [("cat", 0.0, 0), ("cot", 1.0, 0), ("cog", 2.0, 0), ("dog", 3.0, 0)],
     [("cat", "cot"), ("cot", "cog"), ("cog", "dog")]),
    (lambda: q.search_implicit(lambda s: [(s + 1, 1.0)] if s < 2 else [], 0, 2, "ucs"),
     [(0, 0.0, 0), (1, 1.0, 0), (2, 2.0, 0)], [(0, 1), (1, 2)]),
    (lambda: q.search_implicit(lambda s: [((s[0] + 1, 5), 0.5)] if s[0] < 1 else [], (0, 5),
                               (1, 5), "ucs"),
     [((0, 5), 0.0, 0), ((1, 5), 0.5, 0)], [((0, 5), (1, 5))]),
], ids=["graph", "bidirectional", "words", "implicit-int", "implicit-tuple"])
def test_every_node_form_reads_back(run, trace, tree):
    """Each node type's pending entries become the same values an eager conversion gave."""
    r = run()
    assert_exact(r.tree, tree)
    assert_exact(r.trace, trace)


def test_result_outlives_everything_it_was_made_from():
    """A result whose inputs, callbacks and every other reference are gone still reads
    back its trace and tree the first time they are read."""
    def make():
        successors = lambda s: [(s + 1, 1.0)] if s < 3 else []  # noqa: E731
        return q.search_implicit(successors, 0, 3, "ucs"), q.search_grid("S..\n..G", "bfs")
    implicit, grid = make()
    gc.collect()
    assert implicit.trace == [(0, 0.0, 0), (1, 1.0, 0), (2, 2.0, 0), (3, 3.0, 0)]
    assert grid.tree[0][0] == (0, 0) and grid.trace[-1][0] == (1, 2)


def test_a_read_from_inside_the_conversion_sees_the_same_lists():
    """Collector finalizers that run while the lists are being made, one or a cascade of
    them, and read the lists themselves, get the lists every later read returns."""
    r = q.search_grid("S" + "." * 3000 + "G", "bfs")
    seen = []

    class Reader:
        def __del__(self):
            seen.append((r.trace, r.tree))

    threshold = gc.get_threshold()
    gc.collect()
    try:
        garbage = Reader()
        garbage.cycle = garbage
        del garbage
        gc.set_threshold(1)  # a collection at the next tuple made: inside the conversion
        trace = r.trace
    finally:
        gc.set_threshold(*threshold)
    gc.collect()
    assert len(seen) == 1
    assert seen[0][0] is trace and seen[0][1] is r.tree
    assert [cell for cell, _, _ in trace] == [(0, c) for c in range(3002)]
    assert r.tree == [((0, c), (0, c + 1)) for c in range(3001)]

    # Finalizers that read the result and leave new garbage behind, so that
    # collections keep coming while the lists are made.
    expected = outcome(q.search_grid(OPEN_60, "bfs"))
    cascade = q.search_grid(OPEN_60, "bfs")
    lengths = []

    class Cycle:
        """Garbage whose finalizer reads the result and leaves garbage behind."""

        def __init__(self):
            self.me = self

        def __del__(self):
            lengths.append((len(cascade.trace), len(cascade.tree)))
            if len(lengths) < 50:
                Cycle()

    gc.set_threshold(5)
    try:
        Cycle()
        trace, tree = cascade.trace, cascade.tree
    finally:
        gc.set_threshold(*threshold)
    gc.collect()
    assert lengths and set(lengths) == {(len(trace), len(tree))}
    assert cascade.trace is trace and cascade.tree is tree
    assert outcome(cascade) == expected


def test_threads_reading_one_result_all_get_the_same_lists():
    """Eight threads reading a fresh result's trace and tree at once all get the same
    two lists, with the right contents."""
    expected = outcome(q.search_grid(OPEN_60, "bfs"))
    for _ in range(20):
        r = q.search_grid(OPEN_60, "bfs")
        barrier = threading.Barrier(8)
        got = [None] * 8

        def read(i):
            barrier.wait()
            got[i] = (r.tree, r.trace) if i % 2 else (r.trace, r.tree)

        threads = [threading.Thread(target=read, args=(i,)) for i in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        trace, tree = r.trace, r.tree
        assert all((g[1], g[0]) == (trace, tree) if i % 2 else g == (trace, tree)
                   for i, g in enumerate(got))
        assert all(x is trace or x is tree for g in got for x in g)
        assert len(trace) == 3600 and len(tree) == 3599
        assert outcome(r) == expected


@pytest.mark.skipif(not HAS_STATM, reason="reads /proc/self/statm")
def test_memory_stays_flat_whether_lists_are_read_or_not():
    """Results dropped with trace and tree unread, read one, or read both free everything:
    resident memory over 300 recorded 200 x 200 searches (about 2 MB of entries each)
    does not grow."""
    text = "S" + "\n".join(["." * 200] * 200)[1:-1] + "G"
    readers = [lambda r: None, lambda r: r.trace, lambda r: r.tree,
               lambda r: (r.tree, r.trace)]

    def round_of(n):
        for i in range(n):
            r = q.search_grid(text, "dijkstra")
            readers[i % 4](r)
            del r

    round_of(40)
    gc.collect()
    before = rss_bytes()
    round_of(300)
    gc.collect()
    assert rss_bytes() - before < 64 * 1024 * 1024
