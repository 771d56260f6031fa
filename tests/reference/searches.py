"""Reference searches over any ``successors(node) -> [(child, cost), ...]``."""

import heapq
import math
from collections import deque


def dijkstra(start, successors, goal=None):
    """Least path costs from ``start``.

    Returns the cost to ``goal`` (``math.inf`` when unreachable) when a goal
    is given, else a dict of the least cost of every reachable node. Step
    costs must be non-negative.
    """
    dist = {start: 0.0}
    done = set()
    heap = [(0.0, 0, start)]
    tie = 1
    while heap:
        d, _, node = heapq.heappop(heap)
        if node in done:
            continue
        done.add(node)
        if node == goal:
            return d
        for child, step in successors(node):
            nd = d + step
            if nd < dist.get(child, math.inf):
                dist[child] = nd
                heapq.heappush(heap, (nd, tie, child))
                tie += 1
    return math.inf if goal is not None else dist


def bfs_depths(start, successors):
    """Number of moves from ``start`` to every reachable node."""
    depth = {start: 0}
    layer = [start]
    while layer:
        nxt = []
        for node in layer:
            for child, _ in successors(node):
                if child not in depth:
                    depth[child] = depth[node] + 1
                    nxt.append(child)
        layer = nxt
    return depth


def bfs_path(start, goal, successors):
    """The path a FIFO best-first search returns (each node reached through
    the first parent that reaches it), or None."""
    parent = {start: None}
    queue = deque([start])
    while queue:
        node = queue.popleft()
        if node == goal:
            path = []
            while node is not None:
                path.append(node)
                node = parent[node]
            return path[::-1]
        for child, _ in successors(node):
            if child not in parent:
                parent[child] = node
                queue.append(child)
    return None


def path_cost(path, successors):
    """Cost of ``path`` as a walk of the problem, or None if a step is no move.

    Each step is priced by the cheapest successor entry that leads to the
    next node.
    """
    total = 0.0
    for a, b in zip(path, path[1:]):
        steps = [cost for child, cost in successors(a) if child == b]
        if not steps:
            return None
        total += min(steps)
    return total


def is_move(successors, a, b):
    """Whether ``b`` is among the successors of ``a``."""
    return any(child == b for child, _ in successors(a))
