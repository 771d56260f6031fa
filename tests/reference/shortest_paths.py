"""Shortest paths over explicit graphs given as edge lists.

The oracles ``bellman_ford`` and ``floyd_warshall`` are checked against.
Graphs are ``(num_nodes, edges, undirected)`` with ``edges`` a list of
``(u, v, w)``.
"""

import math

from .searches import path_cost


def arcs(edges, undirected):
    """Every arc ``(u, v, w)``: each edge, and its reverse when undirected."""
    out = []
    for u, v, w in edges:
        out.append((u, v, w))
        if undirected:
            out.append((v, u, w))
    return out


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
    out = {}
    for u, v, w in arcs(edges, undirected):
        out.setdefault(u, []).append((v, w))
    return path_cost(path, lambda node: out.get(node, []))


def is_path(path, edges, undirected):
    """Whether every step of ``path`` is an arc of the graph."""
    return path_weight(path, edges, undirected) is not None
