"""Python callables inside searches: callable heuristics on every search function,
the callback error rules, the interpreter lock, and reference counts."""

import gc
import math
import os
import sys
import threading
import time

import pytest

import quorvane_native as q
from reference import panic_type

HEURISTIC_ERROR = "the heuristic callable must return a float"
SHAPE_ERROR = "successors must return a list of (state, cost) pairs"
STATE_ERROR = "implicit-graph states must be an int or a sequence of ints"
UNKNOWN_ALGORITHM = ("unknown algorithm: '{}'. Available: bfs, dfs, ucs, dijkstra, greedy, "
                     "astar, weighted_astar, iddfs, dls, ida_star, beam, bidirectional")

BEST_FIRST = ["bfs", "dfs", "ucs", "dijkstra", "greedy", "astar", "a*", "weighted_astar", "wastar"]
NO_HEURISTIC = ["dls", "iddfs", "bidirectional", "bidir"]


def line_successors(state):
    """0 -> 1 -> ... -> 5 with a costlier shortcut i -> i + 2."""
    return [(state + 1, 1.0), (state + 2, 2.5)] if state < 5 else []


# Each search function with a small problem: how to call it, and the Python
# forms of its start and goal and of any node.
PROBLEMS = {
    "search_grid": (lambda **kw: q.search_grid("S..\n...\n..G", **kw),
                    (0, 0), (2, 2), lambda n: type(n) is tuple and len(n) == 2),
    "search_grid_costs": (lambda **kw: q.search_grid_costs([[1.0, 2.0, 1.0], [1.0, 1.0, 3.0]],
                                                           (0, 0), (1, 2), **kw),
                          (0, 0), (1, 2), lambda n: type(n) is tuple and len(n) == 2),
    "search_graph": (lambda **kw: q.search_graph(5, [(0, 1, 1.0), (1, 2, 1.0), (2, 4, 1.0),
                                                     (0, 3, 2.0), (3, 4, 2.0)], 0, 4, **kw),
                     0, 4, lambda n: type(n) is int),
    "search_implicit": (lambda **kw: q.search_implicit(line_successors, 0, 5, **kw),
                        0, 5, lambda n: type(n) is int),
    "search_npuzzle": (lambda **kw: q.search_npuzzle([1, 2, 3, 4, 5, 6, 0, 7, 8], **kw),
                       (1, 2, 3, 4, 5, 6, 0, 7, 8), (1, 2, 3, 4, 5, 6, 7, 8, 0),
                       lambda n: type(n) is tuple and len(n) == 9),
    "search_hanoi": (lambda **kw: q.search_hanoi(2, **kw),
                     (0, 0), (2, 2), lambda n: type(n) is tuple and len(n) == 2),
    "search_wordladder": (lambda **kw: q.search_wordladder("cold", "warm",
                                                           ["cord", "card", "ward", "word",
                                                            "worm", "corm"], **kw),
                          "cold", "warm", lambda n: type(n) is str),
}


class Recorder:
    """A heuristic that records its arguments and answers `value`."""

    def __init__(self, value=0.0):
        self.calls = []
        self.value = value

    def __call__(self, node, goal):
        self.calls.append((node, goal))
        if isinstance(self.value, BaseException):
            raise self.value
        return self.value


def run(name, heuristic, **kw):
    call, *_ = PROBLEMS[name]
    return call(heuristic=heuristic, **kw)


# --- calls as the drivers make them -------------------------------------------


@pytest.mark.parametrize("algorithm", BEST_FIRST)
@pytest.mark.parametrize("name", PROBLEMS)
def test_best_first_calls_once_per_push(name, algorithm):
    """Every best-first name, bfs and dfs too, calls h once per push with Python-form nodes."""
    _, start, goal, is_node = PROBLEMS[name]
    h = Recorder()
    r = run(name, h, algorithm=algorithm)
    assert r.found
    assert len(h.calls) == r.nodes_generated
    assert h.calls[0] == (start, goal)
    assert all(is_node(node) and g == goal for node, g in h.calls)


@pytest.mark.parametrize("algorithm", NO_HEURISTIC)
@pytest.mark.parametrize("name", PROBLEMS)
def test_heuristic_free_algorithms_never_call(name, algorithm):
    """dls, iddfs and bidirectional search run without calling the heuristic."""
    h = Recorder()
    r = run(name, h, algorithm=algorithm, depth_limit=12)
    assert r.found
    assert h.calls == []


@pytest.mark.parametrize("name", PROBLEMS)
def test_beam_and_ida_star_call_the_heuristic(name):
    """Beam search calls h once per newly reached child; IDA* calls it from the start on."""
    _, start, goal, _ = PROBLEMS[name]
    h = Recorder()
    r = run(name, h, algorithm="beam")
    assert r.found and len(h.calls) == r.nodes_generated - 1
    h = Recorder()
    r = run(name, h, algorithm="idastar")
    assert r.found and h.calls[0] == (start, goal)


@pytest.mark.parametrize("algorithm, depth_limit, message", [
    ("nope", None, UNKNOWN_ALGORITHM.format("nope")),
    ("dls", None, "'dls' requires depth_limit"),
])
@pytest.mark.parametrize("name", PROBLEMS)
def test_algorithm_errors_come_before_any_call(name, algorithm, depth_limit,
                                               message):
    """An unknown algorithm or dls without a limit fails with the callable uncalled."""
    h = Recorder()
    with pytest.raises(ValueError) as excinfo:
        run(name, h, algorithm=algorithm, depth_limit=depth_limit)
    assert str(excinfo.value) == message
    assert h.calls == []


def test_heuristic_values_steer_the_search():
    """The callable's values order the frontier: greedy follows a misleading h."""
    edges = [(0, 1, 1.0), (1, 3, 1.0), (0, 2, 5.0), (2, 3, 5.0)]
    lure = {0: 0.0, 1: 9.0, 2: 0.0, 3: 0.0}
    r = q.search_graph(4, edges, 0, 3, "greedy", heuristic=lambda n, g: lure[n], undirected=False)
    assert (r.path, r.cost) == ([0, 2, 3], 10.0)
    r = q.search_graph(4, edges, 0, 3, "astar", heuristic=lambda n, g: lure[n], undirected=False)
    assert (r.path, r.cost) == ([0, 1, 3], 2.0)


# --- heuristic results and errors ----------------------------------------------


class FloatLike:
    def __float__(self):
        return 1.5


class IndexLike:
    def __index__(self):
        return 2


@pytest.mark.parametrize("value", [3, True, 2.5, math.nan, -math.inf, FloatLike(), IndexLike()])
def test_heuristic_results_that_convert(value):
    """Ints, bools, NaN, infinities and objects with a float or index conversion are accepted."""
    r = q.search_implicit(line_successors, 0, 5, heuristic=lambda n, g: value)
    assert r.found


@pytest.mark.parametrize("value", ["1.0", None, [1.0], KeyError("k"), ZeroDivisionError()])
@pytest.mark.parametrize("name", PROBLEMS)
def test_heuristic_failure_is_raised_after_the_search(name, value):
    """A raise or a non-float result: called once, then ValueError after the search ends."""
    h = Recorder(value)
    with pytest.raises(ValueError) as excinfo:
        run(name, h, algorithm="astar")
    assert str(excinfo.value) == HEURISTIC_ERROR
    assert excinfo.value.__cause__ is None and excinfo.value.__context__ is None
    assert len(h.calls) == 1


def test_no_callback_after_the_first_failure():
    """Once h has failed in mid-search, neither h nor successors is called again."""
    events = []

    def successors(s):
        events.append(("s", s))
        return line_successors(s)

    def heuristic(node, goal):
        events.append(("h", node))
        if len(events) == 4:
            raise RuntimeError
        return 0.0

    with pytest.raises(ValueError) as excinfo:
        q.search_implicit(successors, 0, 5, "astar", heuristic=heuristic)
    assert str(excinfo.value) == HEURISTIC_ERROR
    assert events == [("h", 0), ("s", 0), ("h", 1), ("h", 2)]


def test_first_error_wins_and_stops_all_callbacks():
    """A heuristic error parked first means no successor call; a successor error, no more h."""
    succ_calls = []

    def successors(s):
        succ_calls.append(s)
        raise KeyError(s)

    with pytest.raises(ValueError) as excinfo:
        q.search_implicit(successors, 0, 5, heuristic=lambda n, g: None)
    assert str(excinfo.value) == HEURISTIC_ERROR and succ_calls == []

    h = Recorder()
    with pytest.raises(KeyError):
        q.search_implicit(successors, 0, 5, heuristic=h)
    assert succ_calls == [0] and h.calls == [(0, 5)]


@pytest.mark.parametrize("where", ["heuristic", "successors"])
def test_panic_exception_from_a_callback_reaches_the_caller(where, capfd):
    """A PanicException raised by a callable is not parked but unwinds the search at once."""
    panic = panic_type()
    calls = []

    def boom(*args):
        calls.append(args)
        raise panic("from Python")

    if where == "heuristic":
        call = lambda: q.search_grid("S....G", "astar", heuristic=boom)  # noqa: E731
    else:
        call = lambda: q.search_implicit(boom, 0, 5)  # noqa: E731
    with pytest.raises(panic) as excinfo:
        call()
    assert excinfo.value.args == ("from Python",)
    assert len(calls) == 1
    assert "from Python" in capfd.readouterr().err


def test_zero_weight_drops_an_infinite_heuristic():
    """ucs and dijkstra ignore h even when it is inf (0 x inf must not make the priority NaN)."""
    edges = [(0, 3, 10.0), (0, 1, 1.0), (1, 2, 1.0), (2, 3, 1.0)]
    for algorithm in ["ucs", "dijkstra"]:
        r = q.search_graph(4, edges, 0, 3, algorithm, heuristic=lambda n, g: math.inf,
                           undirected=False)
        assert (r.path, r.cost) == ([0, 1, 2, 3], 3.0)
    r = q.search_graph(4, edges, 0, 3, "weighted_astar", heuristic=lambda n, g: math.inf,
                       weight=0.0, undirected=False)
    assert (r.path, r.cost) == ([0, 1, 2, 3], 3.0)


def test_zero_weight_drops_an_infinite_g_under_greedy():
    """greedy orders by h alone even after an infinite step cost."""
    edges = [(0, 1, math.inf), (1, 3, 1.0), (0, 2, 1.0), (2, 3, 1.0)]
    h = {0: 1.0, 1: 0.0, 2: 5.0, 3: 0.0}
    r = q.search_graph(4, edges, 0, 3, "greedy", heuristic=lambda n, g: h[n], undirected=False)
    assert r.path == [0, 1, 3] and r.cost == math.inf


# --- the interpreter lock -----------------------------------------------------


@pytest.mark.parametrize("kind", ["named", "callable"])
def test_callable_searches_keep_the_lock(kind):
    """A named search lets another thread run through it; a callable search holds the lock."""
    size = 1000 if kind == "named" else 400
    text = "S" + "." * (size - 1) + "\n" + ("." * size + "\n") * (size - 2) + "." * (size - 1) + "G"
    callers = set()

    def zero(a, b):
        callers.add(threading.get_ident())
        return 0.0

    searcher = {}

    def worker():
        searcher["thread"] = threading.get_ident()
        searcher["t0"] = time.perf_counter()
        searcher["r"] = q.search_grid(text, "dijkstra", record=False,
                                      heuristic="manhattan" if kind == "named" else zero)
        searcher["t1"] = time.perf_counter()

    # A long switch interval: a thread running Python code is not asked to
    # hand the lock over, so only a released lock lets this thread in.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(30.0 if kind == "callable" else interval)
    try:
        thread = threading.Thread(target=worker)
        thread.start()
        stamps = []
        while thread.is_alive():
            time.sleep(0.001)
            stamps.append(time.perf_counter())
        thread.join()
    finally:
        sys.setswitchinterval(interval)
    assert searcher["r"].cost == 2.0 * (size - 1)
    t0, t1 = searcher["t0"], searcher["t1"]
    middle = [t for t in stamps if t0 + 0.25 * (t1 - t0) < t < t1 - 0.25 * (t1 - t0)]
    if kind == "named":
        assert middle and callers == set()
    else:
        assert middle == [] and callers == {searcher["thread"]}


# --- reference counts and memory -------------------------------------------------


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4096


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
def test_many_searches_with_callables_leak_nothing():
    """10,000 searches with callables, failing ones too, leave refcounts and memory flat."""
    def heuristic(node, goal):
        return 0.0

    def bad_heuristic(node, goal):
        return "x"

    def grid_h(a, b):
        return abs(a[0] - b[0]) + abs(a[1] - b[1])

    def successors(s):
        return [((s[0] + 1, s[1]), 1.0), ((s[0], s[1] + 1), 1.5)] if s[0] + s[1] < 6 else []

    def raising(s):
        raise KeyError(s)

    def bad_state(s):
        return [("ab", 1.0)]

    callables = [heuristic, bad_heuristic, grid_h, successors, raising, bad_state]

    def batch(n):
        for _ in range(n):
            q.search_implicit(successors, (0, 0), (3, 3), "astar", heuristic=heuristic)
            q.search_implicit(successors, (0, 0), (3, 3), "beam", heuristic=heuristic)
            q.search_grid("S...\n....\n...G", "idastar", heuristic=grid_h)
            for call in (lambda: q.search_implicit(successors, (0, 0), (3, 3), "ida_star",
                                                   heuristic=bad_heuristic),
                         lambda: q.search_implicit(raising, (0, 0), (3, 3)),
                         lambda: q.search_implicit(bad_state, (0, 0), (3, 3), "bidir")):
                try:
                    call()
                except (ValueError, KeyError):
                    pass

    batch(200)
    gc.collect()
    counts = [sys.getrefcount(c) for c in callables]
    rss = rss_bytes()
    batch(10_000)
    gc.collect()
    assert [sys.getrefcount(c) for c in callables] == counts
    # Under the sanitizers freed memory sits in quarantine: the process grows
    # whatever the module does.
    if not os.environ.get("QUORVANE_SANITIZED"):
        assert rss_bytes() - rss < 4 * 1024 * 1024
