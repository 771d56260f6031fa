"""Puzzle workloads: nodes expanded per second.

  astar "manhattan" (record=False) on seeded random solvable 15-puzzles of
  moderate depth, and bfs on 4-peg Hanoi with 10 disks.

Run with the built module on the path:
  PYTHONPATH=build/<dir> python3 bench/bench_puzzles.py [--repeat N] [--boards N] [--walk N]

For each workload it prints the median over the repeats of the search time
the driver measured (`elapsed`) and of the whole call (conversion included),
the expansions, and expansions per second of search time; then one JSON line.
"""

import argparse
import json
import random
import statistics

import quorvane_native as qn
from harness import rate_line, timed


def random_board(side, steps, rng):
    """A solvable board: a random walk of the blank from the goal, never undoing the last move."""
    state = list(range(1, side * side)) + [0]
    blank, previous = side * side - 1, None
    for _ in range(steps):
        r, c = divmod(blank, side)
        moves = (
            (blank - side, r > 0),
            (blank + side, r < side - 1),
            (blank - 1, c > 0),
            (blank + 1, c < side - 1),
        )
        targets = [t for t, ok in moves if ok and t != previous]
        t = rng.choice(targets)
        state[blank], state[t] = state[t], state[blank]
        previous, blank = blank, t
    return state


def measure(label, calls, repeat):
    """Runs every call `repeat` times; reports medians of the per-round totals."""
    search_times, wall_times = [], []
    expanded = 0
    extra = {}
    for _ in range(repeat):
        search, wall, expanded = 0.0, 0.0, 0
        lengths = []
        for call in calls:
            seconds, result = timed(call)
            wall += seconds
            search += result.elapsed
            expanded += result.nodes_expanded
            lengths.append(int(result.cost))
        search_times.append(search)
        wall_times.append(wall)
        extra = {"instances": len(calls), "solution_lengths": lengths}
    search = statistics.median(search_times)
    wall = statistics.median(wall_times)
    rate = expanded / search if search > 0 else float("inf")
    print(f"{label:<44} {rate_line(search, expanded)}  call {wall:8.4f} s")
    record = {
        "workload": label,
        "search_s": search,
        "call_s": wall,
        "expanded": expanded,
        "expansions_per_s": rate,
    }
    record.update(extra)
    print(json.dumps(record))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--boards", type=int, default=10)
    parser.add_argument("--walk", type=int, default=60, help="random-walk length of each 15-puzzle")
    parser.add_argument("--seed", type=int, default=2024)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    boards = [random_board(4, args.walk, rng) for _ in range(args.boards)]
    measure(
        f"15-puzzle astar manhattan ({args.boards} boards, walk {args.walk})",
        [lambda b=b: qn.search_npuzzle(b, "astar", "manhattan", record=False) for b in boards],
        args.repeat,
    )
    measure(
        "hanoi 4 pegs 10 disks bfs",
        [lambda: qn.search_hanoi(10, "bfs", pegs=4, record=False)],
        args.repeat,
    )


if __name__ == "__main__":
    main()
