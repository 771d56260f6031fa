"""SearchResult.trace and .tree, which are made into lists only when first read."""

import gc
import threading

import pytest

import quorvane_native as q

# search_grid_costs on a 2 x 3 grid: A start, G goal, (0, 2) a wall; ucs
# reaches C through B (g 2) before the dear D (g 4) is expanded.
COSTS = [[1.0, 1.0, 0.0], [4.0, 1.0, 1.0]]
A, B, C, D, G = (0, 0), (0, 1), (1, 1), (1, 0), (1, 2)
TRACE = [(A, 0.0, 0), (B, 1.0, 1), (C, 2.0, 1), (G, 3.0, 1)]
TREE = [(A, D), (A, B), (B, C), (C, G)]


def worked():
    return q.search_grid_costs(COSTS, A, G, "ucs")


def assert_exact(value, expected):
    """Equal, and of the same types all the way down (1.0 == 1 would hide an int g)."""
    assert value == expected
    assert type(value) is type(expected)
    if isinstance(value, (list, tuple)):
        for v, e in zip(value, expected):
            assert_exact(v, e)


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
    """A collector finalizer that runs while the lists are being made, and reads them
    itself, gets the lists every later read returns."""
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


def test_threads_reading_one_result_all_get_the_same_lists():
    """Eight threads reading a fresh result's trace and tree at once all get the same
    two lists, with the right contents."""
    for _ in range(20):
        r = q.search_grid("\n".join(["." * 60] * 60).replace(".", "S", 1)[:-1] + "G", "bfs")
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


def _resident_kib():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return None


@pytest.mark.skipif(_resident_kib() is None, reason="needs Linux's /proc")
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
    before = _resident_kib()
    round_of(300)
    gc.collect()
    assert _resident_kib() - before < 64 * 1024
