"""IDA* with "manhattan" on 15-puzzles of 42 to 50 moves: nodes expanded per second.

Run with the built module on the path:
  PYTHONPATH=build/<dir> python3 bench/bench_ida_star.py [--repeat N]

Each board is solved with search_npuzzle(tiles, "ida_star", "manhattan",
record=False) towards the default goal; the solution length is checked
against the board's known optimum. For every board it prints the search time
the driver measured (`elapsed`, median over the repeats), the expansions and
expansions per second; then the total and one JSON line.

There is no peer here: none of the graph libraries of the other benchmarks
has IDA*. For scale, a tight hand-written C IDA* with incremental Manhattan
distance and an in-place board expands tens of millions of nodes per second
on one core.
"""

import argparse
import json
import statistics

import quorvane_native as qn
from harness import rate_line

# (tiles, optimal number of moves), blank = 0, goal 1..15 then the blank.
BOARDS = [
    ([0, 8, 2, 3, 7, 9, 12, 4, 5, 1, 11, 10, 13, 15, 6, 14], 42),
    ([1, 2, 11, 13, 10, 5, 15, 8, 9, 7, 4, 12, 3, 0, 6, 14], 44),
    ([1, 15, 4, 11, 9, 8, 7, 14, 12, 5, 2, 6, 13, 10, 3, 0], 46),
    ([1, 4, 5, 14, 12, 6, 3, 11, 13, 2, 0, 7, 9, 10, 8, 15], 46),
    ([15, 1, 2, 9, 12, 6, 4, 5, 0, 8, 11, 3, 10, 13, 14, 7], 48),
    ([9, 5, 3, 2, 15, 6, 12, 14, 0, 7, 4, 10, 13, 8, 1, 11], 48),
    ([7, 14, 12, 1, 8, 11, 6, 3, 0, 9, 15, 4, 13, 10, 2, 5], 50),
    ([13, 5, 11, 2, 8, 10, 15, 3, 0, 7, 1, 12, 4, 9, 6, 14], 50),
    ([4, 8, 5, 12, 1, 11, 6, 13, 7, 9, 0, 15, 14, 10, 3, 2], 50),
]


def solve(tiles):
    return qn.search_npuzzle(tiles, algorithm="ida_star", heuristic="manhattan", record=False)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    total_search, total_expanded = 0.0, 0
    for tiles, optimum in BOARDS:
        times = []
        for _ in range(args.repeat):
            result = solve(tiles)
            moves = len(result.path) - 1
            if moves != optimum or result.cost != optimum:
                raise SystemExit(f"{tiles}: {moves} moves, cost {result.cost}, expected {optimum}")
            times.append(result.elapsed)
        search = statistics.median(times)
        total_search += search
        total_expanded += result.nodes_expanded
        print(f"{optimum:3d} moves  {rate_line(search, result.nodes_expanded)}")
    rate = total_expanded / total_search
    print(f"all {len(BOARDS)} boards  {rate_line(total_search, total_expanded)}")
    print(
        json.dumps(
            {
                "workload": "ida_star manhattan, 15-puzzle, 42-50 moves, record=False",
                "boards": len(BOARDS),
                "search_s": total_search,
                "expanded": total_expanded,
                "expansions_per_s": rate,
            }
        )
    )


if __name__ == "__main__":
    main()
