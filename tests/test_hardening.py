"""Hardening: callbacks that misbehave, reference and memory leaks over every
function, and searches running in many threads at once."""

import gc
import itertools
import os
import random
import sys
import threading
import time

import pytest

import quorvane_native as q
from reference import panic_type

PANIC = panic_type()
HEURISTIC_ERROR = "the heuristic callable must return a float"
SHAPE_ERROR = "successors must return a list of (state, cost) pairs"
SANITIZED = bool(os.environ.get("QUORVANE_SANITIZED"))


def line(state):
    """0 - 1 - 2 - ... - 9, both ways, cost 1."""
    return [(s, 1.0) for s in (state - 1, state + 1) if 0 <= s <= 9]


# --- callbacks that misbehave -------------------------------------------------------


class ClearsOnFloat:
    """A cost whose conversion empties the answer being read."""

    def __init__(self, answer):
        self.answer = answer

    def __float__(self):
        self.answer.clear()
        return 1.0


class GrowsOnIndex:
    """A state whose conversion appends to the answer being read."""

    def __init__(self, answer, value):
        self.answer, self.value = answer, value

    def __index__(self):
        self.answer.append((self.value + 1, 1.0))
        return self.value


def test_an_answer_changed_while_it_is_read_is_read_as_it_stands():
    """A cost that empties its list ends the reading; a state that grows it is read on."""
    def clearing(s):
        answer = [(s + 1, None), (s + 2, 1.0)]
        answer[0] = (s + 1, ClearsOnFloat(answer))
        return answer if s < 3 else []

    r = q.search_implicit(clearing, 0, 3, "bfs")
    assert r.path == [0, 1, 2, 3] and r.cost == 3.0

    def growing(s):
        answer = []
        if s == 0:
            answer.append((GrowsOnIndex(answer, 5), 1.0))
        return answer

    # The pair appended while state 5 was converted is not seen: the shape
    # check has read the list already, and it held one pair.
    r = q.search_implicit(growing, 0, 6, "bfs")
    assert r.path is None and r.nodes_expanded == 2


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


def _pairs(state):
    yield (state + 1, 1.0)


def _floats(node, goal):
    yield 0.0


@pytest.mark.parametrize("call, message", [
    (lambda: q.search_implicit(_pairs, 0, 3), SHAPE_ERROR),
    (lambda: q.search_implicit(lambda s: iter([(s + 1, 1.0)]), 0, 3), SHAPE_ERROR),
    (lambda: q.search_implicit(line, 0, 3, heuristic=_floats), HEURISTIC_ERROR),
    (lambda: q.search_grid("S..G", heuristic=_floats), HEURISTIC_ERROR),
    (lambda: q.search_implicit(line, 0, 3, heuristic=lambda a, b: 10**400), HEURISTIC_ERROR),
])
def test_generators_and_unconvertible_answers_are_value_errors(call, message):
    """A generator, an iterator or a number past float range is refused with the message."""
    with pytest.raises(ValueError) as excinfo:
        call()
    assert str(excinfo.value) == message


def test_huge_successor_lists_are_taken_whole():
    """A million pairs in one answer, repeated or distinct, give a correct result."""
    repeated = [(1, 1.0)] * 1_000_000
    r = q.search_implicit(lambda s: repeated if s == 0 else [], 0, 1, "ucs")
    assert (r.path, r.cost) == ([0, 1], 1.0)

    distinct = [(i, 1.0) for i in range(1, 1_000_001)]
    r = q.search_implicit(lambda s: distinct if s == 0 else [], 0, 1_000_000, "bfs",
                          record=False)
    assert r.path == [0, 1_000_000] and r.nodes_generated == 1_000_001
    r = q.search_implicit(lambda s: distinct if s == 0 else [], 0, -1, "ucs", max_nodes=3)
    assert r.stop_reason == "node_limit" and r.path is None


INTERRUPTS = [KeyboardInterrupt("stop"), SystemExit(3), GeneratorExit()]
ALGORITHMS = ["bfs", "dfs", "ucs", "greedy", "astar", "weighted_astar", "iddfs", "ida_star",
              "beam", "bidirectional"]
HEURISTIC_SEARCHES = {
    "grid": lambda h, a: q.search_grid("S...\n.#..\n...G", a, heuristic=h),
    "grid_costs": lambda h, a: q.search_grid_costs([[1, 2], [3, 4]], (0, 0), (1, 1), a,
                                                   heuristic=h),
    "graph": lambda h, a: q.search_graph(4, [(0, 1, 1.0), (1, 3, 1.0), (0, 2, 1.0)], 0, 3, a,
                                         heuristic=h),
    "implicit": lambda h, a: q.search_implicit(line, 0, 4, a, heuristic=h),
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
    for algorithm in ALGORITHMS:
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
        return line(s)

    def heuristic(a, b):
        log.append("h")
        return odd

    for algorithm in ALGORITHMS:
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
        inner = q.search_implicit(line, 0, 2, "astar", heuristic=lambda x, y: abs(x - y))
        seen.append(inner.path == [0, 1, 2])
        return abs(a[0] - b[0]) + abs(a[1] - b[1])

    r = q.search_grid(maze, "astar", heuristic=heuristic)
    assert (r.path, r.cost) == (expected_grid.path, expected_grid.cost)
    assert seen and all(seen)

    def nested(depth):
        def successors(s):
            if depth:
                assert q.search_implicit(nested(depth - 1), 0, 3, "bfs").path == [0, 1, 2, 3]
            return line(s)
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


@pytest.mark.parametrize("cls", [q.SearchResult, q.ShortestPaths, q.AllPairs])
def test_classes_cannot_be_made_behind_their_back(cls):
    """object.__new__, copy and pickle cannot make an empty instance of a result class."""
    import copy
    import pickle

    with pytest.raises(TypeError):
        object.__new__(cls)
    instance = {q.SearchResult: lambda: q.search_grid("SG"),
                q.ShortestPaths: lambda: q.bellman_ford(2, [], 0),
                q.AllPairs: lambda: q.floyd_warshall(2, [])}[cls]()
    with pytest.raises(TypeError):
        copy.copy(instance)
    with pytest.raises(TypeError):
        pickle.dumps(instance)


# --- reference and memory leaks -------------------------------------------------------


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def text(s):
    """A str object of its own, not shared with a constant or the intern table."""
    return "".join(list(s))


MAP = text("S....\n.###.\n....G")
COSTS = [[1.0, 2.0, 1.0], [1.0, 0.0, 1.0], [1.0, 1.0, 1.0]]
CELL_A, CELL_B = (0, 0), (2, 2)
EDGES = [(0, 1, 1.0), (1, 2, 2.0), (2, 3, 1.0), (0, 3, 5.0)]
NEG_EDGES = [(0, 1, 1.0), (1, 2, -2.0), (2, 1, 1.0)]
TILES = [1, 2, 3, 4, 0, 5, 7, 8, 6]
GOAL_TILES = [1, 2, 3, 4, 5, 6, 7, 8, 0]
WORDS = [text(w) for w in ["hot", "dot", "dog", "cog", "lot", "log"]]
HIT, COG = text("hit"), text("cog")
ALG = text("astar")
BAD_ALG = text("no-such")
HEURISTIC = text("octile")
NAME = text("open")
SEED = 2**64 - 1
BAD = object()


def h0(a, b):
    return 0.0


def interrupting(s):
    raise KeyboardInterrupt


def h_interrupting(a, b):
    raise SystemExit


class LyingLen:
    def __len__(self):
        return 2**62

    def __iter__(self):
        return iter(())


LYING = LyingLen()
SP = q.bellman_ford(4, NEG_EDGES, 0)
AP = q.floyd_warshall(4, EDGES)
RESULT = q.search_grid(MAP, record=True)

# Per function: calls that succeed and calls that fail in each way the
# function can fail, all on the shared arguments above.
LEAK_CALLS = {
    "search_grid": [
        lambda: q.search_grid(MAP, ALG, HEURISTIC, record=True, diagonal=True),
        lambda: q.search_grid(MAP, "beam", heuristic=h0, beam_width=2),
        lambda: q.search_grid(MAP, BAD_ALG),
        lambda: q.search_grid(MAP, weight=BAD),
        lambda: q.search_grid(MAP, heuristic=h_interrupting),
        lambda: q.search_grid(MAP + "\ud800"),
    ],
    "search_grid_costs": [
        lambda: q.search_grid_costs(COSTS, CELL_A, CELL_B, ALG, record=True),
        lambda: q.search_grid_costs(COSTS, CELL_A, (1, 1)),
        lambda: q.search_grid_costs([COSTS[0], [BAD]], CELL_A, CELL_B),
        lambda: q.search_grid_costs(LYING, CELL_A, CELL_B),
        lambda: q.search_grid_costs(COSTS, CELL_A, (0, 1, 2)),
    ],
    "search_graph": [
        lambda: q.search_graph(4, EDGES, 0, 3, "ucs", record=True),
        lambda: q.search_graph(4, EDGES, 0, 3, "bidirectional", undirected=False),
        lambda: q.search_graph(4, EDGES, 0, 3, "astar", heuristic=h0),
        lambda: q.search_graph(3, EDGES, 0, 2),
        lambda: q.search_graph(4, EDGES, 0, 9),
        lambda: q.search_graph(2**60, EDGES, 0, 3),
        lambda: q.search_graph(2**50, EDGES, 0, 3),
        lambda: q.search_graph(4, [EDGES[0], (0, 1)], 0, 3),
        lambda: q.search_graph(4, EDGES, 0, 3, heuristic=HEURISTIC),
    ],
    "search_implicit": [
        lambda: q.search_implicit(interrupting, 0, 3),
        lambda: q.search_implicit(line, 0, 3, "ida_star", heuristic=h_interrupting),
        lambda: q.search_implicit(line, (0, 1), 3),
        lambda: q.search_implicit(line, 0, 3, "dls"),
    ],
    "gen_erdos_renyi": [
        lambda: q.gen_erdos_renyi(30, 0.2, SEED),
        lambda: q.gen_erdos_renyi(2**64 - 1, 0.0, SEED),
        lambda: q.gen_erdos_renyi(2**19, 1.0, SEED),
        lambda: q.gen_erdos_renyi(30, BAD, SEED),
    ],
    "gen_barabasi_albert": [
        lambda: q.gen_barabasi_albert(30, 2, SEED),
        lambda: q.gen_barabasi_albert(5, 0, SEED),
        lambda: q.gen_barabasi_albert(2**44, 1, SEED),
    ],
    "gen_watts_strogatz": [
        lambda: q.gen_watts_strogatz(30, 4, 0.3, SEED),
        lambda: q.gen_watts_strogatz(30, 3, 0.3, SEED),
        lambda: q.gen_watts_strogatz(2**44, 2, 0.3, SEED),
    ],
    "sample_maze": [
        lambda: q.sample_maze(NAME),
        lambda: q.sample_maze(BAD_ALG),
        lambda: q.sample_maze(BAD),
    ],
    "random_maze_ascii": [
        lambda: q.random_maze_ascii(12, 8, 0.3, SEED),
        lambda: q.random_maze_ascii(0, 8, 0.3, SEED),
        lambda: q.random_maze_ascii(2**31, 8, 0.3, SEED),
    ],
    "bellman_ford": [
        lambda: q.bellman_ford(4, NEG_EDGES, 0),
        lambda: q.bellman_ford(4, EDGES, 0, undirected=True),
        lambda: q.bellman_ford(4, EDGES, 7),
        lambda: q.bellman_ford(2, EDGES, 0),
        lambda: q.bellman_ford(2**50, EDGES, 0),
        lambda: q.bellman_ford(4, LYING, 0),
    ],
    "floyd_warshall": [
        lambda: q.floyd_warshall(4, EDGES),
        lambda: q.floyd_warshall(4, NEG_EDGES, undirected=True),
        lambda: q.floyd_warshall(2**40, EDGES),
        lambda: q.floyd_warshall(2**22, EDGES),
        lambda: q.floyd_warshall(4, [BAD]),
    ],
    "search_npuzzle": [
        lambda: q.search_npuzzle(TILES, ALG, record=True),
        lambda: q.search_npuzzle(TILES, "ida_star", heuristic=h0, goal=GOAL_TILES),
        lambda: q.search_npuzzle(TILES, goal=[1, 2, 3, 4, 5, 6, 8, 7, 0]),
        lambda: q.search_npuzzle(TILES[:8]),
        lambda: q.search_npuzzle(TILES, heuristic=HEURISTIC),
    ],
    "search_hanoi": [
        lambda: q.search_hanoi(3, ALG, record=True),
        lambda: q.search_hanoi(3, "beam", heuristic=h0, pegs=4),
        lambda: q.search_hanoi(0),
        lambda: q.search_hanoi(3, pegs=17),
        lambda: q.search_hanoi(2**44),
    ],
    "search_wordladder": [
        lambda: q.search_wordladder(HIT, COG, WORDS, ALG, record=True),
        lambda: q.search_wordladder(HIT, COG, WORDS, "bidirectional", heuristic=h0),
        lambda: q.search_wordladder(HIT, text("cogs"), WORDS),
        lambda: q.search_wordladder(HIT, COG, WORDS + [BAD]),
        lambda: q.search_wordladder(HIT, COG, WORDS + ["\ud800"]),
    ],
    "methods and attributes": [
        lambda: SP.path_to(2),
        lambda: SP.path_to(2**64),
        lambda: (SP.dist, SP.pred, SP.source, SP.negative_cycle, repr(SP)),
        lambda: (AP.distance(0, 3), AP.path(0, 3), AP.matrix(), repr(AP)),
        lambda: AP.path(0, BAD),
        lambda: (RESULT.path, RESULT.trace, RESULT.tree, RESULT.stop_reason, repr(RESULT)),
        lambda: q.SearchResult.path.__get__(BAD),
    ],
}
WATCHED = [MAP, COSTS, COSTS[0], CELL_A, CELL_B, EDGES, EDGES[0], NEG_EDGES, TILES, GOAL_TILES,
           WORDS, WORDS[0], HIT, COG, ALG, BAD_ALG, HEURISTIC, NAME, SEED, BAD, LYING, SP, AP,
           RESULT, h0, line, interrupting, h_interrupting, q.SearchResult, q.ShortestPaths,
           q.AllPairs, PANIC]


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads /proc/self/statm")
@pytest.mark.parametrize("name", LEAK_CALLS)
def test_ten_thousand_calls_leave_references_and_memory_flat(name):
    """10,000 calls, succeeding and failing, leave reference counts and memory flat."""
    calls = LEAK_CALLS[name]

    def batch(rounds):
        for _ in range(rounds):
            for call in calls:
                try:
                    call()
                except (Exception, KeyboardInterrupt, SystemExit, PANIC):
                    pass

    batch(50)
    gc.collect()
    counts = [sys.getrefcount(o) for o in WATCHED]
    rss = rss_bytes()
    batch(10_000 // len(calls))
    gc.collect()
    after = [sys.getrefcount(o) for o in WATCHED]
    assert [(o, c, a) for o, c, a in zip(WATCHED, counts, after) if a != c] == []
    # Under the sanitizers freed memory sits in quarantine.
    if not SANITIZED:
        assert rss_bytes() - rss < 2 * 1024 * 1024


# --- threads --------------------------------------------------------------------------


def _snapshot(value):
    """Everything a result holds, as plain data."""
    if isinstance(value, q.SearchResult):
        return ("search", value.path, value.cost, value.found, value.nodes_expanded,
                value.nodes_generated, value.nodes_reopened, value.max_frontier_size,
                value.stop_reason, value.trace, value.tree)
    if isinstance(value, q.ShortestPaths):
        return ("bf", value.source, value.dist, value.pred, value.negative_cycle,
                [value.path_to(t) for t in range(len(value.dist))])
    if isinstance(value, q.AllPairs):
        return ("fw", value.num_nodes, value.negative_cycle, value.matrix(),
                [value.path(0, t) for t in range(value.num_nodes)])
    return value


def _manhattan(a, b):
    return abs(a[0] - b[0]) + abs(a[1] - b[1])


def _walk(s):
    """A 25 x 25 open square, moves right and down cost 1, left and up 2."""
    out = []
    for dr, dc, cost in ((0, 1, 1.0), (1, 0, 1.0), (0, -1, 2.0), (-1, 0, 2.0)):
        r, c = s[0] + dr, s[1] + dc
        if 0 <= r < 25 and 0 <= c < 25:
            out.append(((r, c), cost))
    return out


def _thread_jobs():
    maze = q.random_maze_ascii(60, 60, 0.25, 7)
    rng = random.Random(3)
    costs = [[rng.choice([0.0, 1.0, 2.0, 5.0]) for _ in range(50)] for _ in range(50)]
    costs[0][0] = costs[49][49] = 1.0
    graph = [(u, v, float(1 + (u * v) % 7)) for u, v, _ in q.gen_erdos_renyi(400, 0.02, 5)]
    signed = [(u, v, w - 2.0) for u, v, w in graph[:600]]
    letters = "abcdefgh"
    words = ["".join(p) for p in itertools.product(letters, repeat=3)][::3]
    return {
        "grid": lambda: q.search_grid(maze, "astar", "octile", diagonal=True),
        "grid-bidirectional": lambda: q.search_grid(maze, "bidirectional"),
        "grid-costs": lambda: q.search_grid_costs(costs, (0, 0), (49, 49), "weighted_astar"),
        "graph": lambda: q.search_graph(400, graph, 0, 399, "ucs"),
        "graph-directed": lambda: q.search_graph(400, graph, 0, 399, "bidirectional",
                                                 undirected=False),
        "npuzzle": lambda: q.search_npuzzle([8, 6, 7, 2, 5, 4, 3, 0, 1], "astar",
                                            record=False),
        "npuzzle-ida": lambda: q.search_npuzzle([5, 1, 3, 4, 0, 2, 6, 7, 8], "ida_star"),
        "hanoi": lambda: q.search_hanoi(6, "astar", pegs=4),
        # Callables keep the lock, but a thread switch may come inside one.
        "grid-callable": lambda: q.search_grid(maze, "astar", heuristic=_manhattan),
        "implicit": lambda: q.search_implicit(_walk, (0, 0), (24, 17), "ida_star",
                                              heuristic=_manhattan),
        "wordladder": lambda: q.search_wordladder("abc", "hgf", words, "bfs"),
        "bellman-ford": lambda: q.bellman_ford(400, graph, 0),
        "bellman-ford-negative": lambda: q.bellman_ford(400, signed, 0),
        "floyd-warshall": lambda: q.floyd_warshall(150, [e for e in graph if e[1] < 150]),
        "floyd-warshall-negative": lambda: q.floyd_warshall(150, [e for e in signed
                                                                  if e[1] < 150]),
    }


def test_eight_threads_at_once_give_the_serial_results():
    """8 threads running searches and shortest paths at once get exactly the serial results."""
    jobs = _thread_jobs()
    serial = {name: repr(_snapshot(job())) for name, job in jobs.items()}
    barrier = threading.Barrier(8)
    failures = []

    def worker(seed):
        order = list(jobs) * 2
        random.Random(seed).shuffle(order)
        barrier.wait()
        for name in order:
            try:
                got = repr(_snapshot(jobs[name]()))
            except BaseException as exc:  # noqa: B036 - reported below
                got = exc
            if got != serial[name]:  # repr: a NaN distance equals itself
                failures.append((seed, name))

    threads = [threading.Thread(target=worker, args=(seed,)) for seed in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []


def test_threads_and_finalizers_reading_a_fresh_result_get_the_same_lists():
    """The first reads of trace and tree, from 8 threads at once or from a finalizer run
    while the lists are being made, all give the same lists as a later read."""
    text = "S" + "." * 59 + "\n" + ("." * 60 + "\n") * 58 + "." * 59 + "G"
    expected = repr(_snapshot(q.search_grid(text, "bfs", record=True)))
    result = q.search_grid(text, "bfs", record=True)
    barrier = threading.Barrier(8)
    got = []

    def reader():
        barrier.wait()
        got.append((result.trace, result.tree))

    threads = [threading.Thread(target=reader) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(trace is got[0][0] and tree is got[0][1] for trace, tree in got)
    assert repr(_snapshot(result)) == expected

    result = q.search_grid(text, "bfs", record=True)
    lengths = []

    class Cycle:
        """Garbage whose finalizer reads the result and leaves garbage behind."""

        def __init__(self):
            self.me = self

        def __del__(self):
            lengths.append((len(result.trace), len(result.tree)))
            if len(lengths) < 50:
                Cycle()

    threshold = gc.get_threshold()
    gc.set_threshold(5)
    try:
        Cycle()
        trace, tree = result.trace, result.tree
    finally:
        gc.set_threshold(*threshold)
    gc.collect()
    assert lengths and set(lengths) == {(len(trace), len(tree))}
    assert result.trace is trace and result.tree is tree
    assert repr(_snapshot(result)) == expected


def _long_enough(make, sizes, seconds=0.25):
    """The call made from the first size that runs at least `seconds` on this machine
    (the last size if none does)."""
    for size in sizes:
        call = make(size)
        started = time.perf_counter()
        call()
        if time.perf_counter() - started >= seconds:
            break
    return call


def _corridor_costs(n):
    # 1 x n, the goal cut off by a wall: iterative deepening walks the
    # corridor n times, so the search dwarfs reading the n costs.
    row = [1.0] * n
    row[-2] = 0.0
    return lambda: q.search_grid_costs([row], (0, 0), (0, n - 1), "iddfs", depth_limit=n,
                                       record=False)


def _path_graph(n):
    edges = [(i, i + 1, 1.0) for i in range(n - 1)]
    return lambda: q.search_graph(n + 1, edges, 0, n, "iddfs", depth_limit=n, record=False)


def _dictionary(k):
    words = ["".join(p) for p in itertools.product("abcdefghijklmnopqrstuvwxy"[:k], repeat=4)]
    return lambda: q.search_wordladder("aaaa", "zzzz", words, "bfs", record=False)


LONG_CALLS = {
    "search_grid_costs": (_corridor_costs, [2000, 4000, 8000, 16000, 32000]),
    "search_graph": (_path_graph, [2000, 4000, 8000, 16000, 32000]),
    "search_npuzzle": (lambda d: lambda: q.search_npuzzle([8, 6, 7, 2, 5, 4, 3, 0, 1], "iddfs",
                                                          depth_limit=d, record=False),
                       [18, 20, 22, 24, 26, 28]),
    "search_hanoi": (lambda n: lambda: q.search_hanoi(n, "bfs", record=False),
                     [8, 9, 10, 11, 12, 13]),
    "search_wordladder": (_dictionary, [10, 12, 14, 16, 18, 20, 22]),
}


@pytest.mark.parametrize("name", LONG_CALLS)
def test_a_python_thread_runs_during_a_long_built_in_search(name):
    """While a built-in search runs, a pure-Python thread keeps running."""
    call = _long_enough(*LONG_CALLS[name])
    window = {}
    stamps = []

    def searcher():
        window["t0"] = time.perf_counter()
        call()
        window["t1"] = time.perf_counter()

    thread = threading.Thread(target=searcher)
    thread.start()
    while thread.is_alive():
        stamps.append(time.perf_counter())
        time.sleep(0.0005)
    thread.join()
    # A thread holding the lock through the call could let this one in only
    # at the call's edges, for a switch interval or two.
    edge = 4 * sys.getswitchinterval()
    start, end = window["t0"] + edge, window["t1"] - edge
    assert end - start > 0.05, "the search was too quick to observe"
    assert any(start < t < end for t in stamps)
