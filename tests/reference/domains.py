"""The module's problem domains restated: successor functions that list moves
in the module's order, and the named heuristics."""

import math

DIAGONAL = 1.4142135623730951


# --- explicit graphs -----------------------------------------------------------


def arcs_of(num_nodes, edges, undirected):
    """Each node's ``(target, weight)`` arcs in storage order: every edge at its
    source, and, when undirected, at its target right after."""
    arcs = [[] for _ in range(num_nodes)]
    for u, v, w in edges:
        arcs[u].append((v, w))
        if undirected:
            arcs[v].append((u, w))
    return arcs


# --- grids ---------------------------------------------------------------------


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
        """Up, down, left, right; then the four diagonals without corner cutting.
        A step costs the entered cell's cost, times sqrt 2 on a diagonal."""
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


def _octile(a, b):
    dr, dc = abs(a[0] - b[0]), abs(a[1] - b[1])
    return (max(dr, dc) - min(dr, dc)) + min(dr, dc) * DIAGONAL


GRID_HEURISTICS = {
    "zero": lambda a, b: 0.0,
    "manhattan": lambda a, b: float(abs(a[0] - b[0]) + abs(a[1] - b[1])),
    "euclidean": lambda a, b: math.sqrt(float(a[0] - b[0]) ** 2 + float(a[1] - b[1]) ** 2),
    "octile": _octile,
}


# --- byte-vector puzzles -------------------------------------------------------


def npuzzle_successors(side):
    """The blank (the first 0, else tile 0) moved up, down, left, right, where
    the board allows; states are tuples."""
    def successors(state):
        b = state.index(0) if 0 in state else 0
        row, col = divmod(b, side)
        out = []
        for r, c in ((row - 1, col), (row + 1, col), (row, col - 1), (row, col + 1)):
            if 0 <= r < side and 0 <= c < side:
                s = list(state)
                t = r * side + c
                s[b], s[t] = s[t], s[b]
                out.append((tuple(s), 1.0))
        return out

    return successors


def npuzzle_heuristic(name, side, goal):
    """The named N-puzzle heuristic towards ``goal``, as ``h(state)``."""
    where = {tile: i for i, tile in enumerate(goal)}

    def manhattan(state):
        total = 0
        for i, tile in enumerate(state):
            if tile:
                g = where.get(tile, i)
                total += abs(i // side - g // side) + abs(i % side - g % side)
        return float(total)

    def misplaced(state):
        return float(sum(1 for a, b in zip(state, goal) if a and a != b))

    return {"manhattan": manhattan, "misplaced": misplaced, "zero": lambda s: 0.0}[name]


def hanoi_successors(pegs):
    """Top disks by source peg, then target peg, never onto a smaller disk;
    a state is the peg of each disk, smallest first."""
    def successors(state):
        top = [None] * pegs
        for disk, peg in enumerate(state):
            if top[peg] is None:
                top[peg] = disk
        out = []
        for s in range(pegs):
            if top[s] is None:
                continue
            for t in range(pegs):
                if t != s and (top[t] is None or top[t] > top[s]):
                    moved = list(state)
                    moved[top[s]] = t
                    out.append((tuple(moved), 1.0))
        return out

    return successors


def mismatches(goal):
    """The count of places where a state differs from ``goal`` (the Hanoi
    "misplaced" and the word-ladder "hamming" heuristics), as ``h(state)``."""
    return lambda state: float(sum(a != b for a, b in zip(state, goal)))


# --- word ladders --------------------------------------------------------------


def ladder_successors(dictionary):
    """Byte position ascending, then 'a'..'z'; valid UTF-8 words of
    ``dictionary`` only."""
    def successors(word):
        raw = word.encode()
        out = []
        for i in range(len(raw)):
            for c in b"abcdefghijklmnopqrstuvwxyz":
                if c == raw[i]:
                    continue
                try:
                    candidate = (raw[:i] + bytes([c]) + raw[i + 1:]).decode()
                except UnicodeDecodeError:
                    continue
                if candidate in dictionary:
                    out.append((candidate, 1.0))
        return out

    return successors
