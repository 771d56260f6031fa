"""Step-for-step models of the search drivers.

Each model restates one driver's rules (best-first with its binary heap,
depth-limited, iterative deepening, IDA*, beam, bidirectional) plainly and
slowly, down to the counters, the trace and the tree, so that every field of
a result but the elapsed time can be compared. Problems are
``successors(node) -> [(child, cost), ...]`` functions and heuristics
``h(node)`` functions; both are called exactly as often as the driver calls
the module's callables.
"""

import math

INF = math.inf
NAN = math.nan


def priced_cost(path, successors):
    """The cost the drivers give a path they did not sum up on the way: the
    cheapest listed step per pair (NaN entries skipped), NaN for a step
    without a finite one."""
    cost = 0.0
    for a, b in zip(path, path[1:]):
        m = INF
        for t, w in successors(a):
            if t == b and not (m < w) and not math.isnan(w):
                m = w
        cost += m if math.isfinite(m) else NAN
    return cost


# --- frontiers -------------------------------------------------------------------


class Heap:
    """The priority frontier's binary heap, step for step."""

    def __init__(self):
        self.a = []
        self.seq = 0

    @staticmethod
    def before(x, y):
        if x[0] < y[0]:
            return True
        if x[0] > y[0]:
            return False
        return x[1] < y[1]

    def sift_up(self, pos):
        a = self.a
        moving = a[pos]
        while pos > 0:
            parent = (pos - 1) // 2
            if not self.before(moving, a[parent]):
                break
            a[pos] = a[parent]
            pos = parent
        a[pos] = moving

    def push(self, node, f):
        self.a.append((f, self.seq, node))
        self.seq += 1
        self.sift_up(len(self.a) - 1)

    def pop(self):
        a = self.a
        if not a:
            return None
        last = a.pop()
        if not a:
            return last[2]
        result = a[0]
        end = len(a)
        hole, child = 0, 1
        while child <= end - 2:
            if self.before(a[child + 1], a[child]):
                child += 1
            a[hole] = a[child]
            hole = child
            child = 2 * hole + 1
        if child == end - 1:
            a[hole] = a[child]
            hole = child
        a[hole] = last
        self.sift_up(hole)
        return result[2]

    def __len__(self):
        return len(self.a)


class Fifo:
    def __init__(self):
        self.a = []
        self.head = 0

    def push(self, node, f):
        self.a.append(node)

    def pop(self):
        if self.head == len(self.a):
            return None
        self.head += 1
        return self.a[self.head - 1]

    def __len__(self):
        return len(self.a) - self.head


class Lifo:
    def __init__(self):
        self.a = []

    def push(self, node, f):
        self.a.append(node)

    def pop(self):
        return self.a.pop() if self.a else None

    def __len__(self):
        return len(self.a)


def result(path, cost, expanded, generated, max_frontier, stop, trace, tree=(), reopened=0):
    return {
        "path": path,
        "cost": cost if path is not None else INF,
        "nodes_expanded": expanded,
        "nodes_generated": generated,
        "max_frontier_size": max_frontier,
        "nodes_reopened": reopened,
        "stop_reason": stop,
        "trace": list(trace),
        "tree": list(tree),
    }


# --- the drivers -----------------------------------------------------------------

# Frontier and weights of g and h per best-first algorithm.
BEST_FIRST = {
    "bfs": (Fifo, 1.0, 0.0),
    "dfs": (Lifo, 1.0, 0.0),
    "ucs": (Heap, 1.0, 0.0),
    "dijkstra": (Heap, 1.0, 0.0),
    "greedy": (Heap, 0.0, 1.0),
    "astar": (Heap, 1.0, 1.0),
}


def priority(gw, g, hw, h):
    # A weight of exactly 0 drops its term (0 * inf would be NaN).
    if hw == 0.0:
        return 0.0 if gw == 0.0 else gw * g
    if gw == 0.0:
        return hw * h
    return gw * g + hw * h


def best_first(successors, start, goal, algorithm, h, weight=2.0, max_nodes=None, reopen=False):
    if algorithm == "weighted_astar":
        kind, gw, hw = Heap, 1.0, weight
    else:
        kind, gw, hw = BEST_FIRST[algorithm]
    table = {start: [0.0, None, False]}
    frontier = kind()
    frontier.push(start, priority(gw, 0.0, hw, h(start)))
    expanded, generated, max_frontier, reopened = 0, 1, 1, 0
    trace, first = [], []
    path, cost, stop = None, INF, "exhausted"
    while True:
        node = frontier.pop()
        if node is None:
            break
        entry = table[node]
        if entry[2]:
            continue
        entry[2] = True
        g = entry[0]
        trace.append((node, g, len(frontier)))
        e = expanded + 1
        if node == goal:
            expanded = e
            path = [node]
            while table[path[-1]][1] is not None:
                path.append(table[path[-1]][1])
            path.reverse()
            cost, stop = g, "goal"
            break
        if max_nodes is not None and e >= max_nodes:
            expanded, stop = e, "node_limit"
            break
        expanded = e
        for child, step in successors(node):
            new_g = g + step
            seen = table.get(child)
            if seen is None:
                first.append(child)
            elif seen[2] and not reopen:
                continue
            elif seen[0] > new_g:
                if seen[2]:
                    reopened += 1
            else:
                continue
            table[child] = [new_g, node, False]
            frontier.push(child, priority(gw, new_g, hw, h(child)))
            generated += 1
            max_frontier = max(max_frontier, len(frontier))
    tree = [(table[c][1], c) for c in first if table[c][1] is not None]
    return result(path, cost, expanded, generated, max_frontier, stop, trace, tree, reopened)


def _dls_core(successors, start, goal, limit, trace):
    expanded, generated, max_frontier = 0, 1, 1
    frames = []  # [node, successors, g, remaining, next]
    node, g, remaining = start, 0.0, limit
    while True:
        expanded += 1
        trace.append((node, g, len(frames)))
        if node == goal:
            return [f[0] for f in frames] + [node], expanded, generated, max_frontier
        if remaining > 0:
            frames.append([node, successors(node), g, remaining, 0])
            max_frontier = max(max_frontier, len(frames))
        while True:
            if not frames:
                return None, expanded, generated, max_frontier
            top = frames[-1]
            if top[4] == len(top[1]):
                frames.pop()
                continue
            child, step = top[1][top[4]]
            top[4] += 1
            if any(f[0] == child for f in frames):
                continue
            generated += 1
            node, g, remaining = child, top[2] + step, top[3] - 1
            break


def dls(successors, start, goal, limit):
    trace = []
    path, expanded, generated, max_frontier = _dls_core(successors, start, goal, limit, trace)
    cost = priced_cost(path, successors) if path else INF
    return result(path, cost, expanded, generated, max_frontier,
                  "goal" if path else "exhausted", trace)


def iddfs(successors, start, goal, limit):
    trace, expanded, generated, max_frontier, path = [], 0, 0, 0, None
    for d in range(limit + 1):
        path, e, g, m = _dls_core(successors, start, goal, d, trace)
        expanded, generated, max_frontier = expanded + e, generated + g, max(max_frontier, m)
        if path:
            break
    if path:
        priced_cost(path, successors)  # the core prices its path too; only the calls show
    cost = priced_cost(path, successors) if path else INF
    return result(path, cost, expanded, generated, max_frontier,
                  "goal" if path else "exhausted", trace)


def ida_star(successors, start, goal, h):
    expanded, generated, max_frontier, trace = 0, 1, 1, []
    bound = h(start)
    while True:
        frames = []  # [node, successors, g, next, least_f]
        node, g = start, 0.0
        found, next_bound = None, None
        while next_bound is None and found is None:
            f = g + h(node)
            if f > bound:
                if not frames:
                    next_bound = f
                    break
                if f < frames[-1][4]:
                    frames[-1][4] = f
            else:
                expanded += 1
                trace.append((node, g, len(frames)))
                if node == goal:
                    found = [fr[0] for fr in frames] + [node]
                    break
                frames.append([node, successors(node), g, 0, INF])
                max_frontier = max(max_frontier, len(frames))
            while True:
                top = frames[-1]
                if top[3] == len(top[1]):
                    least = top[4]
                    frames.pop()
                    if not frames:
                        next_bound = least
                        break
                    if least < frames[-1][4]:
                        frames[-1][4] = least
                    continue
                child, step = top[1][top[3]]
                top[3] += 1
                if any(fr[0] == child for fr in frames):
                    continue
                generated += 1
                node, g = child, top[2] + step
                break
        if found is not None:
            return result(found, priced_cost(found, successors), expanded, generated,
                          max_frontier, "goal", trace)
        if math.isinf(next_bound):
            return result(None, INF, expanded, generated, max_frontier, "exhausted", trace)
        bound = next_bound


def beam(successors, start, goal, h, width):
    """``width`` None is the unbounded beam."""
    reached, parents = {start}, {}
    layer = [(start, 0.0)]
    expanded, generated, max_frontier, trace = 0, 1, 1, []
    while layer:
        max_frontier = max(max_frontier, len(layer))
        cands = []
        for node, g in layer:
            trace.append((node, g, len(cands)))
            expanded += 1
            if node == goal:
                path = [goal]
                while path[-1] in parents:
                    path.append(parents[path[-1]])
                path.reverse()
                return result(path, priced_cost(path, successors), expanded, generated,
                              max_frontier, "goal", trace)
            for child, step in successors(node):
                if child in reached:
                    continue
                reached.add(child)
                parents[child] = node
                generated += 1
                cands.append((child, h(child), g + step))
        # Stable by h; NaN after every number, in generation order.
        cands.sort(key=lambda c: (math.isnan(c[1]), 0.0 if math.isnan(c[1]) else c[1]))
        layer = [(c[0], c[2]) for c in cands[:width]]
    return result(None, INF, expanded, generated, max_frontier, "exhausted", trace)


def bidirectional(successors, start, goal):
    """The plain form, for moves that are their own reverse."""
    if start == goal:
        return result([start], 0.0, 0, 1, 1, "goal", [])
    fmap, bmap = {start: start}, {goal: goal}
    flayer, blayer = [start], [goal]
    expanded, generated, max_frontier, trace = 0, 2, 2, []
    while flayer and blayer:
        forward = len(flayer) <= len(blayer)
        layer = flayer if forward else blayer
        own, other = (fmap, bmap) if forward else (bmap, fmap)
        nxt, meetings = [], []
        for node in layer:
            trace.append((node, None, len(nxt)))
            expanded += 1
            for child, _ in successors(node):
                if child in own:
                    continue
                own[child] = node
                generated += 1
                (meetings if child in other else nxt).append(child)
        if not meetings:
            max_frontier = max(max_frontier, len(nxt))
            if forward:
                flayer = nxt
            else:
                blayer = nxt
            continue
        best = None
        for m in meetings:
            half = [m]
            while fmap[half[-1]] != half[-1]:
                half.append(fmap[half[-1]])
            path = half[::-1]
            cur = m
            while bmap[cur] != cur:
                cur = bmap[cur]
                path.append(cur)
            c = priced_cost(path, successors)
            if best is None or math.isnan(best[1]) or best[1] > c:
                best = (path, c)
        return result(best[0], best[1], expanded, generated, max_frontier, "goal", trace)
    return result(None, INF, expanded, generated, max_frontier, "exhausted", trace)


# --- comparison ------------------------------------------------------------------


def same_float(a, b):
    """Equal, with NaN equal to NaN and 0.0 told from -0.0."""
    if a is None or b is None:
        return a is b
    return ((math.isnan(a) and math.isnan(b))
            or (a == b and math.copysign(1, a) == math.copysign(1, b)))


def observed(r, cells=False):
    """A SearchResult as a model's dict; ``cells`` turns a grid path into tuples."""
    path = r.path
    if cells and path is not None:
        path = [tuple(c) for c in path]
    return {
        "path": path,
        "cost": r.cost,
        "nodes_expanded": r.nodes_expanded,
        "nodes_generated": r.nodes_generated,
        "max_frontier_size": r.max_frontier_size,
        "nodes_reopened": r.nodes_reopened,
        "stop_reason": r.stop_reason,
        "trace": list(r.trace),
        "tree": list(r.tree),
    }


def assert_same(got, want):
    """Every field of ``want`` equals the one of ``got``; costs and trace g's as
    in ``same_float``."""
    for key in want:
        g, w = got[key], want[key]
        if key == "cost":
            assert same_float(g, w), (key, g, w)
        elif key == "trace":
            assert len(g) == len(w), (key, g, w)
            for a, b in zip(g, w):
                assert a[0] == b[0] and a[2] == b[2] and same_float(a[1], b[1]), (key, g, w)
        else:
            assert g == w, (key, g, w)
