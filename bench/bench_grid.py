"""Grid search benchmark: our astar and dijkstra against peers on the same maze.

A 1000 x 1000 random maze (25% walls, fixed seed, start and goal in opposite
corners and connected), searched with record=False. Peers, each on the same
grid graph (4-neighbour moves, unit costs) and skipped when not installed:

  scipy.sparse.csgraph.dijkstra   single source over the whole graph
  rustworkx / python-igraph       single-source Dijkstra over the whole graph
  networkx astar_path             on a smaller maze (networkx is slow);
                                  compared with our astar on that same maze

Times are the best of a few runs. "ours" is the search as the driver times
it (SearchResult.elapsed); "ours, call" is the whole Python call, map
parsing and result conversion included. Peers are timed around the search
call only, their graph already built.

Run: PYTHONPATH=<build dir> python3 bench/bench_grid.py [--size N] [--nx-size M]
"""

import argparse
import random

import quorvane_native as q
from harness import best_of, optional, time_line

np = optional("numpy")
sparse = optional("scipy.sparse")
csgraph = optional("scipy.sparse.csgraph")
rx = optional("rustworkx")
ig = optional("igraph")
nx = optional("networkx")


def make_maze(size, density, seed):
    """An ASCII maze whose corners are open and connected (seed bumped until so)."""
    while True:
        rng = random.Random(seed)
        rows = [["#" if rng.random() < density else "." for _ in range(size)]
                for _ in range(size)]
        rows[0][0], rows[-1][-1] = "S", "G"
        text = "\n".join("".join(row) for row in rows)
        if q.search_grid(text, "bfs", record=False).found:
            return text, rows, seed
        seed += 1


def grid_edges(rows):
    """Directed arcs (u, v) of the maze's 4-neighbour moves, cells numbered r * width + c."""
    height, width = len(rows), len(rows[0])
    src, dst = [], []
    for r in range(height):
        row = rows[r]
        for c in range(width):
            if row[c] == "#":
                continue
            u = r * width + c
            for rr, cc in ((r - 1, c), (r + 1, c), (r, c - 1), (r, c + 1)):
                if 0 <= rr < height and 0 <= cc < width and rows[rr][cc] != "#":
                    src.append(u)
                    dst.append(rr * width + cc)
    return src, dst


def ours(text, algorithm, runs):
    """(search seconds, whole-call seconds, result) of our search."""
    call, r = best_of(runs, lambda: q.search_grid(text, algorithm, record=False))
    elapsed = min(q.search_grid(text, algorithm, record=False).elapsed for _ in range(runs))
    return elapsed, call, r


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", type=int, default=1000)
    parser.add_argument("--nx-size", type=int, default=200)
    parser.add_argument("--density", type=float, default=0.25)
    parser.add_argument("--seed", type=int, default=20240607)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    text, rows, seed = make_maze(args.size, args.density, args.seed)
    n = args.size * args.size
    goal = n - 1
    print(f"maze {args.size}x{args.size}, walls {args.density:.0%}, seed {seed}, record=False")

    dij, dij_call, r_dij = ours(text, "dijkstra", args.runs)
    ast, ast_call, r_ast = ours(text, "astar", args.runs)
    print(f"  path cost {r_dij.cost:.0f}; dijkstra expanded {r_dij.nodes_expanded}, "
          f"astar expanded {r_ast.nodes_expanded}")
    time_line("ours dijkstra (to the far corner)", dij)
    time_line("ours dijkstra, call", dij_call)
    time_line("ours astar (manhattan)", ast)
    time_line("ours astar, call", ast_call)

    src, dst = grid_edges(rows)
    if csgraph is None:
        print("  scipy not installed: skipped")
    else:
        matrix = sparse.csr_matrix((np.ones(len(src)), (np.array(src), np.array(dst))),
                                   shape=(n, n))
        t, dist = best_of(args.runs, lambda: csgraph.dijkstra(matrix, directed=True, indices=0))
        assert dist[goal] == r_dij.cost
        time_line("scipy dijkstra (single source)", t, dij)
        time_line("  vs ours astar", t, ast)

    if rx is None:
        print("  rustworkx not installed: skipped")
    else:
        g = rx.PyDiGraph()
        g.add_nodes_from(range(n))
        g.add_edges_from([(u, v, 1.0) for u, v in zip(src, dst)])
        t, dist = best_of(args.runs, lambda: rx.dijkstra_shortest_path_lengths(
            g, 0, edge_cost_fn=float))
        assert dist[goal] == r_dij.cost
        time_line("rustworkx dijkstra (single source)", t, dij)

    if ig is None:
        print("  python-igraph not installed: skipped")
    else:
        g = ig.Graph(n=n, edges=list(zip(src, dst)), directed=True)
        weights = [1.0] * len(src)
        t, dist = best_of(args.runs, lambda: g.distances(source=0, weights=weights))
        assert dist[0][goal] == r_dij.cost
        time_line("igraph dijkstra (single source)", t, dij)

    if nx is None:
        print("  networkx not installed: skipped")
    else:
        small_text, small_rows, small_seed = make_maze(args.nx_size, args.density, args.seed)
        m = args.nx_size
        small_ast, _, r_small = ours(small_text, "astar", args.runs)
        g = nx.DiGraph()
        s_src, s_dst = grid_edges(small_rows)
        g.add_edges_from(zip(s_src, s_dst), weight=1.0)

        def manhattan(u, v):
            return abs(u // m - v // m) + abs(u % m - v % m)

        t, path = best_of(1, lambda: nx.astar_path(g, 0, m * m - 1, heuristic=manhattan,
                                                   weight="weight"))
        assert len(path) - 1 == r_small.cost
        print(f"maze {m}x{m} (seed {small_seed}) for networkx")
        time_line("ours astar", small_ast)
        time_line("networkx astar_path", t, small_ast)
        scale = n / (m * m)
        time_line(f"networkx scaled x{scale:.0f} by node count", t * scale, ast)


if __name__ == "__main__":
    main()
