"""Plain shortest-path references for explicit graphs given as edge lists.

Slow and obvious on purpose: these are the oracles the module's
``search_graph``, ``bellman_ford`` and ``floyd_warshall`` are checked
against. Graphs are ``(num_nodes, edges, undirected)`` with ``edges`` a list
of ``(u, v, w)``.
"""

import math


def arcs(edges, undirected):
    """Every arc ``(u, v, w)``: each edge, and its reverse when undirected."""
    out = []
    for u, v, w in edges:
        out.append((u, v, w))
        if undirected:
            out.append((v, u, w))
    return out


def successors(num_nodes, edges, undirected):
    """A ``successors(node) -> [(child, w), ...]`` function over the arcs."""
    table = [[] for _ in range(num_nodes)]
    for u, v, w in arcs(edges, undirected):
        table[u].append((v, w))
    return lambda node: table[node]


def bellman_ford(num_nodes, edges, source, undirected=False):
    """Least costs from ``source`` (``inf`` where unreachable), or None when
    a negative cycle is reachable. Relaxes to a fixpoint, in any order."""
    dist = [math.inf] * num_nodes
    dist[source] = 0.0
    all_arcs = arcs(edges, undirected)
    for _ in range(num_nodes):
        changed = False
        for u, v, w in all_arcs:
            if dist[u] + w < dist[v]:
                dist[v] = dist[u] + w
                changed = True
        if not changed:
            return dist
    return None


def path_weight(path, edges, undirected):
    """The weight of ``path`` taking the cheapest arc of each step, or None
    when some step is no arc."""
    table = {}
    for u, v, w in arcs(edges, undirected):
        table[(u, v)] = min(w, table.get((u, v), math.inf))
    total = 0.0
    for a, b in zip(path, path[1:]):
        if (a, b) not in table:
            return None
        total += table[(a, b)]
    return total


def is_path(path, edges, undirected):
    """Whether every step of ``path`` is an arc of the graph."""
    return path_weight(path, edges, undirected) is not None
