"""Python callables inside searches: callable heuristics on every search function,
the callback error rules, callbacks that misbehave or call the module again, the
interpreter lock, and reference counts."""

import gc
import math
import sys
import threading

import pytest

import quorvane_native as q
from helpers import (ALGORITHMS, BEST_FIRST, HAS_STATM, HEURISTIC_ERROR, SANITIZED, SHAPE_ERROR,
                     UNKNOWN_ALGORITHM, Index, Real, panic_type, rss_bytes, runs_inside,
                     two_way_line)

NO_HEURISTIC = ["dls", "iddfs", "bidirectional"]


def line_successors(state):
    """0 -> 1 -> ... -> 5 with a costlier shortcut i -> i + 2."""
    return [(state + 1, 1.0), (state + 2, 2.5)] if state < 5 else []


def all_ints(values):
    return all(type(x) is int for x in values)


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
                       lambda n: type(n) is tuple and len(n) == 9 and all_ints(n)),
    "search_hanoi": (lambda **kw: q.search_hanoi(2, **kw),
                     (0, 0), (2, 2), lambda n: type(n) is tuple and len(n) == 2 and all_ints(n)),
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
    """Every best-first algorithm, bfs and dfs too, calls h once per push with Python-form nodes."""
    _, start, goal, is_node = PROBLEMS[name]
    h = Recorder()
    r = run(name, h, algorithm=algorithm)
    assert r.found
    assert len(h.calls) == r.nodes_generated
    assert h.calls[0] == (start, goal)
    assert all(is_node(node) and is_node(g) and g == goal for node, g in h.calls)


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


@pytest.mark.parametrize("value", [3, True, 2.5, math.nan, -math.inf, Real(1.5), Index(2)])
def test_heuristic_results_that_convert(value):
    """Ints, bools, NaN, infinities and objects with a float or index conversion are accepted."""
    r = q.search_implicit(line_successors, 0, 5, heuristic=lambda n, g: value)
    assert r.found


@pytest.mark.parametrize("value", ["1.0", None, [1.0], 10 ** 400, KeyError("k"),
                                   ZeroDivisionError()])
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
    """ucs, and weighted_astar of weight 0, ignore even an infinite h (0 x inf must not be NaN)."""
    edges = [(0, 3, 10.0), (0, 1, 1.0), (1, 2, 1.0), (2, 3, 1.0)]
    for algorithm, weight in [("ucs", 2.0), ("weighted_astar", 0.0)]:
        r = q.search_graph(4, edges, 0, 3, algorithm, heuristic=lambda n, g: math.inf,
                           weight=weight, undirected=False)
        assert (r.path, r.cost) == ([0, 1, 2, 3], 3.0)


def test_zero_weight_drops_an_infinite_g_under_greedy():
    """greedy orders by h alone even after an infinite step cost."""
    edges = [(0, 1, math.inf), (1, 3, 1.0), (0, 2, 1.0), (2, 3, 1.0)]
    h = {0: 1.0, 1: 0.0, 2: 5.0, 3: 0.0}
    r = q.search_graph(4, edges, 0, 3, "greedy", heuristic=lambda n, g: h[n], undirected=False)
    assert r.path == [0, 1, 3] and r.cost == math.inf


# --- callbacks that misbehave ------------------------------------------------


MUTATION_CASES = {
    "graph edges": (lambda a, h: q.search_graph(4, a, 0, 3, "astar", heuristic=h),
                    lambda: [(0, 1, 1.0), (1, 2, 1.0), (2, 3, 1.0), (0, 3, 5.0)]),
    "words": (lambda a, h: q.search_wordladder("hit", "cog", a, heuristic=h),
              lambda: ["hot", "dot", "dog", "cog", "lot", "log"]),
    "costs": (lambda a, h: q.search_grid_costs(a, (0, 0), (2, 2), heuristic=h),
              lambda: [[1.0, 1.0, 1.0], [9.0, 0.0, 1.0], [1.0, 1.0, 1.0]]),
    "puzzle goal": (lambda a, h: q.search_npuzzle([1, 2, 3, 4, 0, 5, 7, 8, 6], goal=a,
                                                  heuristic=h),
                    lambda: [1, 2, 3, 4, 5, 6, 7, 8, 0]),
}


@pytest.mark.parametrize("case", MUTATION_CASES)
def test_callbacks_that_mutate_the_call_arguments_change_nothing(case):
    """A heuristic that spoils the call's arguments changes nothing: they were copied."""
    search, make = MUTATION_CASES[case]
    expected = search(make(), lambda a, b: 0.0)
    argument = make()

    def wreck(*_):
        argument.clear()
        argument.append(None)
        return 0.0

    got = search(argument, wreck)
    assert (got.path, got.cost, got.nodes_expanded) == (expected.path, expected.cost,
                                                        expected.nodes_expanded)
    assert argument == [None]


def _floats(node, goal):
    yield 0.0


@pytest.mark.parametrize("call, message", [
    (lambda: q.search_implicit(lambda s: iter([(s + 1, 1.0)]), 0, 3), SHAPE_ERROR),
    (lambda: q.search_implicit(two_way_line, 0, 3, heuristic=_floats), HEURISTIC_ERROR),
    (lambda: q.search_grid("S..G", heuristic=_floats), HEURISTIC_ERROR),
])
def test_generators_and_iterators_are_value_errors(call, message):
    """A generator or an iterator given as an answer is refused with the message."""
    with pytest.raises(ValueError) as excinfo:
        call()
    assert str(excinfo.value) == message


INTERRUPTS = [KeyboardInterrupt("stop"), SystemExit(3), GeneratorExit()]
WITHOUT_DLS = [a for a in ALGORITHMS if a != "dls"]  # dls fails at once without a depth limit
HEURISTIC_SEARCHES = {
    "grid": lambda h, a: q.search_grid("S...\n.#..\n...G", a, heuristic=h),
    "grid_costs": lambda h, a: q.search_grid_costs([[1, 2], [3, 4]], (0, 0), (1, 1), a,
                                                   heuristic=h),
    "graph": lambda h, a: q.search_graph(4, [(0, 1, 1.0), (1, 3, 1.0), (0, 2, 1.0)], 0, 3, a,
                                         heuristic=h),
    "implicit": lambda h, a: q.search_implicit(two_way_line, 0, 4, a, heuristic=h),
    "npuzzle": lambda h, a: q.search_npuzzle([1, 2, 3, 4, 0, 5, 7, 8, 6], a, heuristic=h),
    "hanoi": lambda h, a: q.search_hanoi(2, a, heuristic=h),
    "wordladder": lambda h, a: q.search_wordladder("hit", "cog", ["hot", "dot", "dog"], a,
                                                   heuristic=h),
}


class Raiser:
    """A callable raising `exception` on every call, counting them."""

    def __init__(self, exception):
        self.exception, self.calls = exception, 0

    def __call__(self, *args):
        self.calls += 1
        raise self.exception


@pytest.mark.parametrize("exception", INTERRUPTS, ids=lambda e: type(e).__name__)
@pytest.mark.parametrize("domain", HEURISTIC_SEARCHES)
def test_interrupts_from_a_heuristic_reach_the_caller_unchanged(domain, exception):
    """Interrupts from a heuristic are raised unchanged after one call, never as ValueError."""
    for algorithm in WITHOUT_DLS:
        h = Raiser(exception)
        try:
            HEURISTIC_SEARCHES[domain](h, algorithm)
        except BaseException as exc:  # noqa: B036 - what reaches the caller is the point
            assert exc is exception and h.calls == 1
        else:
            assert h.calls == 0


class InterruptingNumber:
    """A state or cost whose conversion raises `exception`."""

    def __init__(self, exception):
        self.exception = exception

    def __index__(self):
        raise self.exception

    __float__ = __index__


@pytest.mark.parametrize("exception", INTERRUPTS, ids=lambda e: type(e).__name__)
@pytest.mark.parametrize("where", ["call", "state", "cost", "heuristic value"])
def test_interrupts_from_a_successor_answer_reach_the_caller_unchanged(where, exception):
    """Interrupts from successors or from reading answers are raised unchanged, callbacks end."""
    log = []
    odd = InterruptingNumber(exception)
    raiser = "h" if where == "heuristic value" else "s"

    def successors(s):
        log.append("s")
        if where == "call":
            raise exception
        if where == "state":
            return [(odd, 1.0)]
        if where == "cost":
            return [(s + 1, odd)]
        return two_way_line(s)

    def heuristic(a, b):
        log.append("h")
        return odd

    for algorithm in WITHOUT_DLS:
        log.clear()
        try:
            q.search_implicit(successors, 0, 4, algorithm,
                              heuristic=heuristic if raiser == "h" else None)
        except BaseException as exc:  # noqa: B036 - what reaches the caller is the point
            assert exc is exception
            assert log.index(raiser) == len(log) - 1
        else:
            # Only a heuristic value can go unread: by the algorithms that never
            # call the heuristic.
            assert raiser == "h" and "h" not in log


def test_callbacks_may_call_the_module_again():
    """Callables running other searches, nested several deep, change no result."""
    maze = q.sample_maze("wall")
    expected_grid = q.search_grid(maze)
    expected_fw = q.floyd_warshall(3, [(0, 1, 1.0), (1, 2, 1.0)]).matrix()
    seen = []

    def heuristic(a, b):
        r = q.search_grid(maze)  # releases the lock inside this callback
        seen.append(r.path == expected_grid.path and r.cost == expected_grid.cost)
        seen.append(q.floyd_warshall(3, [(0, 1, 1.0), (1, 2, 1.0)]).matrix() == expected_fw)
        inner = q.search_implicit(two_way_line, 0, 2, "astar", heuristic=lambda x, y: abs(x - y))
        seen.append(inner.path == [0, 1, 2])
        return abs(a[0] - b[0]) + abs(a[1] - b[1])

    r = q.search_grid(maze, "astar", heuristic=heuristic)
    assert (r.path, r.cost) == (expected_grid.path, expected_grid.cost)
    assert seen and all(seen)

    def nested(depth):
        def successors(s):
            if depth:
                assert q.search_implicit(nested(depth - 1), 0, 3, "bfs").path == [0, 1, 2, 3]
            return two_way_line(s)
        return successors

    assert q.search_implicit(nested(3), 0, 3, "bfs").path == [0, 1, 2, 3]


def test_a_callback_waiting_on_a_thread_that_searches_does_not_deadlock():
    """A heuristic that starts a thread running a built-in search and joins it returns."""
    results = []

    def heuristic(a, b):
        t = threading.Thread(target=lambda: results.append(q.search_grid("S.#\n..G").cost))
        t.start()
        t.join()
        return 0.0

    q.search_grid("S..G", heuristic=heuristic)
    assert results and set(results) == {3.0}


def test_an_error_inside_a_nested_search_is_the_outer_heuristic_error():
    """A nested search failing inside a heuristic fails that heuristic, nothing more."""
    def heuristic(a, b):
        q.search_grid("S..G", "no-such-algorithm")
        return 0.0

    with pytest.raises(ValueError) as excinfo:
        q.search_grid("S..G", heuristic=heuristic)
    assert str(excinfo.value) == HEURISTIC_ERROR


# --- the interpreter lock -----------------------------------------------------


def _open_grid(size, heuristic):
    text = "S" + "." * (size - 1) + "\n" + ("." * size + "\n") * (size - 2) + "." * (size - 1) + "G"
    return lambda: q.search_grid(text, "dijkstra", record=False, heuristic=heuristic)


@pytest.mark.parametrize("kind", ["named", "callable"])
def test_callable_searches_keep_the_lock(kind):
    """A named search lets another thread run inside it; a callable search holds the lock."""
    if kind == "named":
        assert runs_inside(_open_grid(size, "manhattan")
                           for size in (100, 200, 400, 800, 1600, 2400))
        return
    callers = set()

    def zero(a, b):
        callers.add(threading.get_ident())
        return 0.0

    assert not runs_inside([_open_grid(400, zero)])
    assert len(callers) == 1 and threading.get_ident() not in callers


# --- reference counts and memory -------------------------------------------------


@pytest.mark.skipif(not HAS_STATM, reason="reads /proc/self/statm")
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
    if not SANITIZED:
        assert rss_bytes() - rss < 4 * 1024 * 1024
