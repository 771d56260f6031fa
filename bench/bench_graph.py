"""Explicit-graph benchmarks: Floyd-Warshall, Bellman-Ford and search_graph
against peers, all starting from the same Python edge list.

Workloads (fixed seeds):
  floyd_warshall   random digraph, 10% density, weights in [1, 10), on 500
                   and 1000 nodes; peer scipy.sparse.csgraph.floyd_warshall
                   (the faster of its runs with and without predecessors)
  bellman_ford     10k nodes, 100k distinct arcs, weights w + p[u] - p[v]
                   (w >= 0, random potentials p), so many arcs are negative
                   and no cycle is; peers scipy bellman_ford and python-igraph
  search_graph     dijkstra, record=False, from node 0 to the node farthest
                   from it, on an undirected Erdős–Rényi graph of 100k nodes
                   and mean degree 10 (500k distinct edges, weights in
                   [1, 10)); peers scipy dijkstra (whole source, it has no
                   target), python-igraph and rustworkx (single target)

Our time is the whole call (edge-list conversion, graph building, the
algorithm, the result object). A peer's time is its graph building from the
same list plus its query, since users start from edge lists. Each time is the
best of --repeat runs; the ratio is ours / peer (below 1 means we are faster).
Peers that are not installed are skipped.

Run: PYTHONPATH=<build dir> python3 bench/bench_graph.py [--repeat N]
"""

import argparse
import math
import random

import quorvane_native as q
from harness import best_of, optional, report

# numpy counts as present only with scipy: it serves the scipy peers alone.
csgraph = optional("scipy.sparse.csgraph")
sparse = optional("scipy.sparse")
np = csgraph and optional("numpy")
igraph = optional("igraph")
rustworkx = optional("rustworkx")


def scipy_matrix(n, edges):
    u = np.fromiter((e[0] for e in edges), dtype=np.int64, count=len(edges))
    v = np.fromiter((e[1] for e in edges), dtype=np.int64, count=len(edges))
    w = np.fromiter((e[2] for e in edges), dtype=np.float64, count=len(edges))
    return sparse.csr_matrix((w, (u, v)), shape=(n, n))


# --- Floyd-Warshall ------------------------------------------------------------------


def dense_digraph(n, density, seed):
    rng = random.Random(seed)
    return [(u, v, rng.uniform(1.0, 10.0)) for u in range(n) for v in range(n)
            if u != v and rng.random() < density]


def bench_floyd_warshall(n, repeat):
    edges = dense_digraph(n, 0.1, seed=n)
    ours, result = best_of(repeat, lambda: q.floyd_warshall(n, edges))
    peers = []
    if np is not None:
        def run_scipy(predecessors):
            matrix = scipy_matrix(n, edges)
            return csgraph.floyd_warshall(matrix, directed=True,
                                          return_predecessors=predecessors)
        t_plain, dist = best_of(repeat, lambda: run_scipy(False))
        t_pred, _ = best_of(repeat, lambda: run_scipy(True))
        assert np.array_equal(np.array(result.matrix()), dist)
        peers.append(("scipy floyd_warshall", min(t_plain, t_pred)))
    report(f"floyd_warshall: {n} nodes, {len(edges)} arcs", ours, peers)


# --- Bellman-Ford ------------------------------------------------------------------


def potential_digraph(n, m, seed):
    rng = random.Random(seed)
    potential = [rng.uniform(0.0, 20.0) for _ in range(n)]
    seen, edges = set(), []
    while len(edges) < m:
        u, v = rng.randrange(n), rng.randrange(n)
        if u == v or (u, v) in seen:
            continue
        seen.add((u, v))
        edges.append((u, v, rng.uniform(0.0, 10.0) + potential[u] - potential[v]))
    return edges


def scipy_bellman_ford(n, edges):
    return csgraph.bellman_ford(scipy_matrix(n, edges), directed=True, indices=0)


def igraph_bellman_ford(n, edges):
    g = igraph.Graph(n=n, edges=[(u, v) for u, v, _ in edges], directed=True)
    return g.distances(source=0, weights=[w for _, _, w in edges], algorithm="bellman_ford")[0]


def bench_bellman_ford(repeat):
    n, m = 10_000, 100_000
    edges = potential_digraph(n, m, seed=7)
    negative = sum(1 for e in edges if e[2] < 0)
    ours, result = best_of(repeat, lambda: q.bellman_ford(n, edges, 0))
    assert not result.negative_cycle
    peers = []
    if np is not None:
        t, dist = best_of(repeat, lambda: scipy_bellman_ford(n, edges))
        assert np.allclose(dist, result.dist)
        peers.append(("scipy bellman_ford", t))
    if igraph is not None:
        t, dist = best_of(repeat, lambda: igraph_bellman_ford(n, edges))
        assert np.allclose(dist, result.dist)
        peers.append(("igraph bellman_ford", t))
    report(f"bellman_ford: {n} nodes, {m} arcs ({negative} negative)", ours, peers)


# --- search_graph dijkstra ------------------------------------------------------------


def erdos_renyi(n, mean_degree, seed):
    rng = random.Random(seed)
    m = n * mean_degree // 2
    seen, edges = set(), []
    while len(edges) < m:
        u, v = rng.randrange(n), rng.randrange(n)
        if u == v or (min(u, v), max(u, v)) in seen:
            continue
        seen.add((min(u, v), max(u, v)))
        edges.append((u, v, rng.uniform(1.0, 10.0)))
    return edges


def scipy_dijkstra(n, edges):
    """Distances from node 0 to all (scipy has no target)."""
    return csgraph.dijkstra(scipy_matrix(n, edges), directed=False, indices=0)


def igraph_distance(n, edges, target):
    g = igraph.Graph(n=n, edges=[(u, v) for u, v, _ in edges], directed=False)
    return g.distances(source=0, target=target, weights=[w for _, _, w in edges])[0][0]


def rustworkx_distance(n, edges, target):
    g = rustworkx.PyGraph()
    g.add_nodes_from(range(n))
    g.add_edges_from(edges)
    return rustworkx.dijkstra_shortest_path_lengths(g, 0, float, goal=target)[target]


def bench_dijkstra(repeat):
    n = 100_000
    edges = erdos_renyi(n, 10, seed=3)
    # The farthest node from 0, found once outside the timings.
    dist = q.bellman_ford(n, edges, 0, True).dist
    far = max((d, v) for v, d in enumerate(dist) if d != math.inf)[1]
    ours, result = best_of(repeat, lambda: q.search_graph(n, edges, 0, far, "dijkstra",
                                                          record=False))
    peers = []
    if np is not None:
        t, d = best_of(repeat, lambda: scipy_dijkstra(n, edges))
        assert math.isclose(d[far], result.cost)
        peers.append(("scipy dijkstra", t))
    if igraph is not None:
        t, d = best_of(repeat, lambda: igraph_distance(n, edges, far))
        assert math.isclose(d, result.cost)
        peers.append(("igraph distances", t))
    if rustworkx is not None:
        t, d = best_of(repeat, lambda: rustworkx_distance(n, edges, far))
        assert math.isclose(d, result.cost)
        peers.append(("rustworkx dijkstra", t))
    report(f"search_graph dijkstra: {n} nodes, {len(edges)} edges, 0 -> {far} "
           f"(search itself {result.elapsed * 1e3:.1f} ms)", ours, peers)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    for n in (500, 1000):
        bench_floyd_warshall(n, args.repeat)
    bench_bellman_ford(args.repeat)
    bench_dijkstra(args.repeat)


if __name__ == "__main__":
    main()
