"""Small, obviously correct reference searches for the property tests.

Everything here is plain Python and slow on purpose: it is the oracle the
module's answers are compared with, so it favours clarity over speed.

A problem is given by a ``successors(node)`` function returning a list of
``(child, step_cost)`` pairs, as the module's domains list them.
"""

import heapq
import math
from collections import deque

DIAGONAL = 1.4142135623730951


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


# --- grids -------------------------------------------------------------------


class Grid:
    """A grid as the module reads it: ``walls[r][c]`` and ``costs[r][c]``."""

    def __init__(self, walls, costs, diagonal=False):
        self.walls = walls
        self.costs = costs
        self.height = len(walls)
        self.width = len(walls[0])
        self.diagonal = diagonal

    def is_open(self, r, c):
        return 0 <= r < self.height and 0 <= c < self.width and not self.walls[r][c]

    def successors(self, cell):
        """Up, down, left, right; then the four diagonals without corner cutting."""
        r, c = cell
        out = []
        for dr, dc in ((-1, 0), (1, 0), (0, -1), (0, 1)):
            if self.is_open(r + dr, c + dc):
                out.append(((r + dr, c + dc), self.costs[r + dr][c + dc]))
        if self.diagonal:
            for dr, dc in ((-1, -1), (-1, 1), (1, -1), (1, 1)):
                if (self.is_open(r + dr, c + dc) and self.is_open(r + dr, c)
                        and self.is_open(r, c + dc)):
                    out.append(((r + dr, c + dc), self.costs[r + dr][c + dc] * DIAGONAL))
        return out


def grid_from_ascii(text, diagonal=False):
    """Parse an ASCII map; returns ``(grid, start, goal)``."""
    lines = text.split("\n")
    lines = [line[:-1] if i < len(lines) - 1 and line.endswith("\r") else line
             for i, line in enumerate(lines)]
    while lines and lines[0] == "":
        lines.pop(0)
    while lines and lines[-1] == "":
        lines.pop()
    width = max(len(line) for line in lines)
    walls = [[False] * width for _ in lines]
    costs = [[1.0] * width for _ in lines]
    start = goal = None
    for r, line in enumerate(lines):
        for c, ch in enumerate(line):
            if ch == "#":
                walls[r][c] = True
            elif ch == "S":
                start = (r, c)
            elif ch == "G":
                goal = (r, c)
            elif ch in "123456789":
                costs[r][c] = float(ch)
    return Grid(walls, costs, diagonal), start, goal


def grid_from_costs(rows, diagonal=False):
    """A cost matrix: finite values > 0 are open cells, the rest walls."""
    width = max(len(row) for row in rows)
    walls = [[not (c < len(row) and math.isfinite(row[c]) and row[c] > 0) for c in range(width)]
             for row in rows]
    costs = [[row[c] if c < len(row) else 0.0 for c in range(width)] for row in rows]
    return Grid(walls, costs, diagonal)


def bfs_path(start, goal, moves):
    """First-reached-parent BFS over ``moves(node)`` (children only, in order):
    the path a FIFO best-first search returns, or None."""
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
        for child in moves(node):
            if child not in parent:
                parent[child] = node
                queue.append(child)
    return None


def panic_type():
    """The module's PanicException type, caught from a panicking call."""
    import quorvane_native

    try:
        quorvane_native.search_grid_costs([[]], (0, 0), (0, 0))
    except BaseException as exc:  # noqa: B902 - PanicException derives from BaseException
        return type(exc)
    raise AssertionError("expected a panic")
