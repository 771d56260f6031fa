"""search_implicit: states and their Python forms, the successor callable's
answers and errors, every algorithm against a reference Dijkstra."""

import math
import random

import pytest

import quorvane_native as q
from helpers import ALGORITHMS, HEURISTIC_ERROR, SHAPE_ERROR, STATE_ERROR, Index, outcome
from reference.searches import dijkstra, path_cost

OPTIMAL = ["ucs", "astar"]


# --- states ---------------------------------------------------------------------


@pytest.mark.parametrize("start", [5, (5,), [5], True + 4])
def test_one_element_states_are_one_node_shown_as_int(start):
    """5, (5,) and [5] are the same node, given to callbacks and returned as the int 5."""
    seen = []

    def successors(s):
        seen.append(s)
        return [((s + 1,), 1.0), ([s + 2], 1.0)] if s < 7 else []

    r = q.search_implicit(successors, start, [7], "bfs")
    assert r.path == [5, 7] and r.cost == 1.0
    assert all(type(s) is int for s in seen)
    assert r.trace[0] == (5, 0.0, 0) and r.tree[0] == (5, 6)


def test_multi_element_states_are_tuples_and_compare_by_value():
    """(1, 2) and [1, 2] are one node, shown as a tuple; a list goal is found as a tuple."""
    def successors(s):
        x, y = s
        return [([x + 1, y], 1.0), ((x, y + 1), 1.0)] if x + y < 4 else []

    r = q.search_implicit(successors, (0, 0), [1, 2], "ucs")
    assert r.path[0] == (0, 0) and r.path[-1] == (1, 2) and len(r.path) == 4
    assert all(type(s) is tuple for s in r.path)
    r2 = q.search_implicit(successors, [0, 0], (1, 2), "ucs")
    assert outcome(r2)[:-2] == outcome(r)[:-2]


def test_empty_and_byte_states():
    """The empty tuple is a node of its own; bytes are a sequence of ints."""
    graph = {(): [((1, 2), 1.0)], (1, 2): [(b"\x00\x07", 2.0)], (0, 7): [((), 0.5)]}
    r = q.search_implicit(lambda s: graph[() if s == () else s], (), (0, 7), "dijkstra")
    assert r.path == [(), (1, 2), (0, 7)] and r.cost == 3.0
    r = q.search_implicit(lambda s: [], [], (), "bfs")
    assert r.path == [()] and r.cost == 0.0


@pytest.mark.parametrize("start, goal", [
    ("ab", 0), (0, "ab"), (2 ** 63, 0), (0, [1, -2 ** 63 - 1]), (1.5, 0), ([1.0], 0),
    ({1: 2}, 0), (None, None), (0, [1, "2"]), (0, [[1]]),
])
def test_bad_start_or_goal_fails_before_the_algorithm(start, goal):
    """A str, a float, a mapping or an int beyond int64 is refused before the algorithm name."""
    calls = []
    with pytest.raises(ValueError) as excinfo:
        q.search_implicit(calls.append, start, goal, "no-such-algorithm")
    assert str(excinfo.value) == STATE_ERROR
    assert calls == []


def test_int64_extremes_and_index_objects_are_states():
    """-2**63 and 2**63 - 1 are states; objects with __index__ count as ints."""
    lo, hi = -2 ** 63, 2 ** 63 - 1
    r = q.search_implicit(lambda s: [((Index(hi), s), 1.0)], lo, [hi, lo], "bfs")
    assert r.path == [lo, (hi, lo)]


def test_none_arguments_pass_binding_and_fail_as_states():
    """search_implicit(None, None, None) reaches the state check."""
    with pytest.raises(ValueError) as excinfo:
        q.search_implicit(None, None, None)
    assert str(excinfo.value) == STATE_ERROR


# --- the successor callable's answers ----------------------------------------------


@pytest.mark.parametrize("answer, message", [
    ("ab", SHAPE_ERROR),
    (5, SHAPE_ERROR),
    ({1: 2.0}, SHAPE_ERROR),
    ((p for p in [(1, 1.0)]), SHAPE_ERROR),
    ([(1, 2.0, 3)], SHAPE_ERROR),
    ([[1, 2.0]], SHAPE_ERROR),
    ([(1, "2")], SHAPE_ERROR),
    ([(1, None)], SHAPE_ERROR),
    ([(1, 10 ** 400)], SHAPE_ERROR),
    ([(1.5, 1.0)], STATE_ERROR),
    ([("ab", 1.0)], STATE_ERROR),
    ([(2 ** 63, 1.0)], STATE_ERROR),
    ([(1, 1.0), ("ab", 1.0), (2, 1.0, 0)], SHAPE_ERROR),
    ([(1, 1.0), ("ab", 1.0), (2, 1.0)], STATE_ERROR),
])
def test_malformed_answers_raise_after_the_search(answer, message):
    """Shapes are checked before states; the first failure ends all later calls."""
    calls = []

    def successors(s):
        calls.append(s)
        return answer

    with pytest.raises(ValueError) as excinfo:
        q.search_implicit(successors, 0, 9, "bfs")
    assert str(excinfo.value) == message
    assert calls == [0]


@pytest.mark.parametrize("answer, cost", [
    ([], None), ((), None), (range(0), None),
    (((1, 1.0), (2, 2.0)), 2.0), ([(1, 1), (2, 2)], 2.0), ([(2, True)], 1.0),
])
def test_well_formed_answers(answer, cost):
    """Empty lists, tuples and ranges give no successors; tuples of pairs and int costs pass."""
    r = q.search_implicit(lambda s: answer if s == 0 else [], 0, 2, "ucs")
    if cost is None:
        assert r.path is None and r.stop_reason == "exhausted"
    else:
        assert r.path == [0, 2] and r.cost == cost and type(r.cost) is float


@pytest.mark.parametrize("late", [
    lambda s: (s + 2, True), lambda s: (Index(s + 2), 1.0), lambda s: ([s + 2], 1.0),
    lambda s: ((s + 2,), 1.0), lambda s: (s + 2, 1),
])
@pytest.mark.parametrize("algorithm", ["dfs", "bfs", "astar", "iddfs"])
def test_an_answer_ending_in_other_types_is_read_once(late, algorithm):
    """Pairs of exact types before one of other types are neither lost nor doubled."""
    def plain(s):
        return [(s + 1, 1.0), (s + 2, 1.0)] if s < 12 else []

    def mixed(s):
        return [(s + 1, 1.0), late(s)] if s < 12 else []

    assert outcome(q.search_implicit(mixed, 0, 13, algorithm)) == \
        outcome(q.search_implicit(plain, 0, 13, algorithm))


def test_successor_exception_reaches_the_caller_unchanged():
    """The very exception object the callable raised is raised, even though a path was found."""
    error = KeyError("lost")
    seen = []

    def successors(s):
        # dls prices its path with fresh calls: the second call on 0 comes
        # after the path has been found.
        if s in seen:
            raise error
        seen.append(s)
        return [(s + 1, 1.0)]

    with pytest.raises(KeyError) as excinfo:
        q.search_implicit(successors, 0, 2, "dls", depth_limit=5)
    assert excinfo.value is error
    assert excinfo.traceback[-1].name == "successors"


def test_uncallable_successors_fail_at_the_first_call():
    """A successors object that cannot be called raises the interpreter's TypeError."""
    with pytest.raises(TypeError) as excinfo:
        q.search_implicit(42, 0, 1)
    assert str(excinfo.value) == "'int' object is not callable"
    r = q.search_implicit(42, 3, (3,))
    assert r.path == [3] and r.cost == 0.0


def test_negative_and_zero_costs_are_kept():
    """Step costs reach the search unchanged, negative and zero ones too."""
    r = q.search_implicit(lambda s: [(s + 1, -1.5 if s == 0 else 0.0)] if s < 3 else [], 0, 3,
                          "bfs")
    assert r.cost == -1.5
    r = q.search_implicit(lambda s: [(s + 1, -1.5 if s == 0 else 0.0)] if s < 3 else [], 0, 3,
                          "iddfs")
    assert r.cost == -1.5


class ClearsOnFloat:
    """A cost whose conversion empties the answer being read."""

    def __init__(self, answer):
        self.answer = answer

    def __float__(self):
        self.answer.clear()
        return 1.0


class GrowsOnIndex:
    """A state whose conversion appends to the answer being read."""

    def __init__(self, answer, value):
        self.answer, self.value = answer, value

    def __index__(self):
        self.answer.append((self.value + 1, 1.0))
        return self.value


def test_an_answer_changed_while_it_is_read_is_read_as_it_stands():
    """A cost that empties its list ends the reading; a state that grows it is read on."""
    def clearing(s):
        answer = [(s + 1, None), (s + 2, 1.0)]
        answer[0] = (s + 1, ClearsOnFloat(answer))
        return answer if s < 3 else []

    r = q.search_implicit(clearing, 0, 3, "bfs")
    assert r.path == [0, 1, 2, 3] and r.cost == 3.0

    def growing(s):
        answer = []
        if s == 0:
            answer.append((GrowsOnIndex(answer, 5), 1.0))
        return answer

    # The pair appended while state 5 was converted is not seen: the shape
    # check has read the list already, and it held one pair.
    r = q.search_implicit(growing, 0, 6, "bfs")
    assert r.path is None and r.nodes_expanded == 2


def test_huge_successor_lists_are_taken_whole():
    """A million pairs in one answer, repeated or distinct, give a correct result."""
    repeated = [(1, 1.0)] * 1_000_000
    r = q.search_implicit(lambda s: repeated if s == 0 else [], 0, 1, "ucs")
    assert (r.path, r.cost) == ([0, 1], 1.0)

    distinct = [(i, 1.0) for i in range(1, 1_000_001)]
    r = q.search_implicit(lambda s: distinct if s == 0 else [], 0, 1_000_000, "bfs",
                          record=False)
    assert r.path == [0, 1_000_000] and r.nodes_generated == 1_000_001
    r = q.search_implicit(lambda s: distinct if s == 0 else [], 0, -1, "ucs", max_nodes=3)
    assert r.stop_reason == "node_limit" and r.path is None


# --- heuristics and algorithms ---------------------------------------------------------


def grid_successors(n):
    def successors(s):
        r, c = s
        moves = ((1, 0), (-1, 0), (0, 1), (0, -1))
        return [((r + dr, c + dc), 1.0 + (r + c) % 3) for dr, dc in moves
                if 0 <= r + dr < n and 0 <= c + dc < n]
    return successors


def test_no_heuristic_is_zero():
    """heuristic=None under astar searches exactly as ucs does."""
    succ = grid_successors(6)
    a = q.search_implicit(succ, (0, 0), (5, 5), "astar")
    u = q.search_implicit(succ, (0, 0), (5, 5), "ucs")
    assert outcome(a) == outcome(u)


@pytest.mark.parametrize("algorithm, called", [
    ("astar", True), ("bfs", True), ("ida_star", True), ("beam", True),
    ("dls", False), ("iddfs", False), ("bidirectional", False),
])
def test_a_str_heuristic_is_called_not_named(algorithm, called):
    """'zero' is no name here but an object to call; searches that call it fail afterwards."""
    def call():
        return q.search_implicit(lambda s: [(s + 1, 1.0)] if s < 3 else [], 0, 3, algorithm,
                                 heuristic="zero", depth_limit=5)
    if called:
        with pytest.raises(ValueError) as excinfo:
            call()
        assert str(excinfo.value) == HEURISTIC_ERROR
    else:
        assert call().path == [0, 1, 2, 3]


def test_bidirectional_follows_real_moves_on_one_way_graphs():
    """On a directed implicit graph every step of the joined path is a real move."""
    arcs = {0: [(1, 1.0)], 1: [(2, 1.0)], 2: [(3, 1.0)], 3: [(0, 1.0)], 4: [(0, 1.0)]}
    r = q.search_implicit(lambda s: arcs[s], 0, 3, "bidirectional")
    assert r.path == [0, 1, 2, 3] and r.cost == 3.0
    r = q.search_implicit(lambda s: arcs[s], 3, 4, "bidirectional")
    assert r.path is None


def random_graph(seed):
    rng = random.Random(seed)
    n = rng.randint(2, 9)
    arcs = {v: [] for v in range(n)}
    for _ in range(rng.randint(0, 2 * n)):
        u, v = rng.randrange(n), rng.randrange(n)
        arcs[u].append(((v, u % 3), rng.choice([0.5, 1.0, 2.0, 3.5])))
    # States are pairs (v, tag); the tag does not matter for moves.
    return (lambda s: [((v, t), w) for (v, t), w in arcs[s[0]]]), n


@pytest.mark.parametrize("seed", range(25))
def test_random_graphs_against_reference(seed):
    """Optimal algorithms match the reference Dijkstra; every path found is a real walk."""
    succ, n = random_graph(seed)
    start, goal = (0, 0), (n - 1, (n - 1) % 3)
    best = dijkstra(start, succ, goal)
    for algorithm in ALGORITHMS:
        r = q.search_implicit(succ, start, goal, algorithm, depth_limit=n)
        if algorithm in OPTIMAL:
            assert r.cost == best or (math.isinf(best) and not r.found)
        if r.found:
            assert r.path[0] == start and r.path[-1] == goal
            assert path_cost(r.path, succ) == pytest.approx(r.cost)
        if algorithm not in ("dls", "beam") and not math.isinf(best):
            assert r.found, algorithm
