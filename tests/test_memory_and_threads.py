"""What every function shares: reference counts and memory left flat by
calls that succeed and calls that fail, address space reserved within what
a search can use, and searches running in many threads at once, alongside
Python threads."""

import gc
import itertools
import os
import random
import subprocess
import sys
import threading

import pytest

import quorvane_native as q
from helpers import (HAS_STATM, SANITIZED, outcome, panic_type, rss_bytes, runs_inside,
                     two_way_line)

PANIC = panic_type()


# --- reference and memory leaks -------------------------------------------------------


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
        lambda: q.search_implicit(two_way_line, 0, 3, "ida_star", heuristic=h_interrupting),
        lambda: q.search_implicit(two_way_line, (0, 1), 3),
        lambda: q.search_implicit(two_way_line, 0, 3, "dls"),
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
           RESULT, h0, two_way_line, interrupting, h_interrupting, q.SearchResult, q.ShortestPaths,
           q.AllPairs, PANIC]


@pytest.mark.skipif(not HAS_STATM, reason="reads /proc/self/statm")
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


# The recorded call below in a process allowed `sys.argv[1]` bytes of address space more
# than it has once the module is imported.
LIMITED_RECORD = """
import os, resource, sys
import quorvane_native as q
with open("/proc/self/statm") as f:
    limit = int(f.read().split()[0]) * os.sysconf("SC_PAGE_SIZE") + int(sys.argv[1])
resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
r = q.search_hanoi(14, pegs=3, algorithm="greedy", record=True, max_nodes=69)
print(repr((r.path, r.cost, r.nodes_expanded, r.nodes_generated, r.nodes_reopened,
            r.max_frontier_size, r.stop_reason, len(r.trace))))
"""


@pytest.mark.skipif(not HAS_STATM or SANITIZED,
                    reason="reads /proc/self/statm; the sanitizers reserve terabytes")
def test_a_recorded_search_reserves_no_more_than_its_node_limit_lets_it_record():
    """A recorded search stopped by a node limit needs no more address space than the same
    search unrecorded: its reserved room follows the limit, not the size of its table."""
    # The dense table of 3^14 8-byte entries takes 38 MiB of address space, and the call
    # unrecorded no more; room for 2^20 trace entries and tree edges would take 34 MiB on
    # top. (Under 38 MiB the search falls back to a hashed table, which reserves nothing.)
    spare = 56 * 2**20
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, "-c", LIMITED_RECORD, str(spare)], env=env,
                         capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    r = q.search_hanoi(14, pegs=3, algorithm="greedy", record=False, max_nodes=69)
    assert out.stdout.strip() == repr((r.path, r.cost, r.nodes_expanded, r.nodes_generated,
                                       r.nodes_reopened, r.max_frontier_size, r.stop_reason, 69))


# --- threads --------------------------------------------------------------------------


def _snapshot(value):
    """Everything a result holds, as plain data."""
    if isinstance(value, q.SearchResult):
        return ("search",) + outcome(value)
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


def _all_pairs(n):
    ring = [(i, (i + 1) % n, 1.0) for i in range(n)]
    return lambda: q.floyd_warshall(n, ring)


def _negative_ring(n):
    # A negative cycle through every node: no pass leaves the distances as they were.
    ring = [(i, (i + 1) % n, -1.0) for i in range(n)]
    return lambda: q.bellman_ford(n, ring, 0)


# Growing sizes, the last a few tenths of a second on a quiet machine.
LONG_CALLS = {
    "search_grid_costs": (_corridor_costs, [500, 1000, 2000, 4000]),
    "search_graph": (_path_graph, [500, 1000, 2000, 4000]),
    "search_npuzzle": (lambda d: lambda: q.search_npuzzle([8, 6, 7, 2, 5, 4, 3, 0, 1], "iddfs",
                                                          depth_limit=d, record=False),
                       [18, 20, 22, 24, 26]),
    "search_hanoi": (lambda n: lambda: q.search_hanoi(n, "bfs", record=False),
                     [9, 11, 12, 13, 14]),
    "search_wordladder": (_dictionary, [6, 8, 10, 12, 14]),
    "floyd_warshall": (_all_pairs, [200, 400, 800, 1200]),
    "bellman_ford": (_negative_ring, [500, 1000, 2000, 4000]),
}


@pytest.mark.parametrize("name", LONG_CALLS)
def test_a_python_thread_runs_during_a_long_built_in_call(name):
    """While a built-in search or shortest-path run goes on, another thread runs Python code."""
    make, sizes = LONG_CALLS[name]
    assert runs_inside(make(size) for size in sizes)
