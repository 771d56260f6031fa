"""Searches that call Python: quorvane_native against networkx astar_path.

Workloads on an open N x N grid (unit steps, 4 neighbours) from the top-left to
the bottom-right corner, with the same Python Manhattan heuristic everywhere:

  - search_implicit, successors given as a Python function (and the heuristic);
  - search_grid with the Python heuristic;
  - networkx astar_path on a prebuilt grid_2d_graph (building it is not timed).

Times are the best of a few runs (wall clock, seconds). Callbacks are counted in
a separate run with counting wrappers, so the timed runs call the plain
functions. "per call" is the time of a search divided by its callbacks; "bare"
is what the same calls cost from a Python loop, so per call minus bare is the
price of crossing into and out of the search. The ratio is networkx's time over
ours (above 1: we are faster).

    PYTHONPATH=<build dir> python3 bench/bench_callbacks.py [--quick]
"""

import argparse

import quorvane_native as qn
from harness import best_of, optional

nx = optional("networkx")


def manhattan(a, b):
    return abs(a[0] - b[0]) + abs(a[1] - b[1])


def grid_successors(n):
    last = n - 1

    def successors(state):
        r, c = state
        out = []
        if r > 0:
            out.append(((r - 1, c), 1.0))
        if r < last:
            out.append(((r + 1, c), 1.0))
        if c > 0:
            out.append(((r, c - 1), 1.0))
        if c < last:
            out.append(((r, c + 1), 1.0))
        return out

    return successors


class Counted:
    """Wraps a function and counts its calls."""

    def __init__(self, fn):
        self.fn = fn
        self.calls = 0

    def __call__(self, *args):
        self.calls += 1
        return self.fn(*args)


def bare_cost(fn, args_list):
    """Seconds per call of `fn` over `args_list`, from a plain Python loop."""
    def loop():
        for args in args_list:
            fn(*args)
    return best_of(3, loop)[0] / len(args_list)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="a 100 x 100 grid, fewer repeats")
    opts = parser.parse_args()
    n = 100 if opts.quick else 300
    repeats = 2 if opts.quick else 5
    start, goal = (0, 0), (n - 1, n - 1)
    successors = grid_successors(n)
    ascii_map = "\n".join("".join("S" if (r, c) == start else "G" if (r, c) == goal else "."
                                  for c in range(n)) for r in range(n))
    cells = [(r, c) for r in range(n) for c in range(n)]
    bare_h = bare_cost(manhattan, [((r, c), goal) for r, c in cells])
    bare_s = bare_cost(successors, [((r, c),) for r, c in cells])

    rows = []

    def ours(label, run, counted_run, bare):
        seconds = best_of(repeats, run)[0]
        calls, result = counted_run()
        rows.append((label, seconds, calls, result.cost, bare))
        return seconds

    def implicit_counted(algorithm, with_h):
        s, h = Counted(successors), Counted(manhattan) if with_h else None
        r = qn.search_implicit(s, start, goal, algorithm, heuristic=h, record=False)
        return s.calls + (h.calls if h else 0), r

    def grid_counted():
        h = Counted(manhattan)
        r = qn.search_grid(ascii_map, "astar", heuristic=h, record=False)
        return h.calls, r

    implicit_ucs = ours(
        "search_implicit ucs (successors)",
        lambda: qn.search_implicit(successors, start, goal, "ucs", record=False),
        lambda: implicit_counted("ucs", False), bare_s)
    implicit_astar = ours(
        "search_implicit astar (successors + h)",
        lambda: qn.search_implicit(successors, start, goal, "astar", heuristic=manhattan,
                                   record=False),
        lambda: implicit_counted("astar", True), None)
    grid_astar = ours(
        "search_grid astar (h)",
        lambda: qn.search_grid(ascii_map, "astar", heuristic=manhattan, record=False),
        grid_counted, bare_h)
    grid_named = best_of(repeats, lambda: qn.search_grid(ascii_map, "astar", record=False))[0]

    peer = None
    if nx is not None:
        graph = nx.grid_2d_graph(n, n)
        peer = best_of(repeats, lambda: nx.astar_path(graph, start, goal, heuristic=manhattan))[0]
        h = Counted(manhattan)
        path = nx.astar_path(graph, start, goal, heuristic=h)
        rows.append(("networkx astar_path (h)", peer, h.calls, float(len(path) - 1), bare_h))

    print(f"open {n} x {n} grid, (0, 0) -> ({n - 1}, {n - 1}); best of {repeats}")
    print(f"bare Python calls: heuristic {bare_h * 1e9:.0f} ns, successors {bare_s * 1e9:.0f} ns")
    print(f"search_grid astar with the built-in 'manhattan': {grid_named:.4f} s")
    print()
    print(f"{'workload':42} {'seconds':>9} {'callbacks':>10} {'calls/s':>11} {'per call':>9} "
          f"{'bare':>7} {'cost':>6}")
    for label, seconds, calls, cost, bare in rows:
        bare_text = f"{bare * 1e9:5.0f}ns" if bare else "      -"
        print(f"{label:42} {seconds:9.4f} {calls:10d} {calls / seconds:11.0f} "
              f"{seconds / calls * 1e9:7.0f}ns {bare_text} {cost:6.0f}")
    print()
    if peer is None:
        print("networkx is not installed: no ratios")
        return
    for label, seconds in [("search_grid astar (h)", grid_astar),
                           ("search_implicit astar (successors + h)", implicit_astar),
                           ("search_implicit ucs (successors)", implicit_ucs)]:
        print(f"networkx astar_path / {label}: {peer / seconds:.2f}x")


if __name__ == "__main__":
    main()
