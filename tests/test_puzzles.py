"""search_npuzzle and search_hanoi: checks, their order, and optimal answers."""

import itertools
import random

import pytest

import quorvane_native as qn
from helpers import BEST_FIRST, HEURISTIC_TYPE, UNKNOWN_ALGORITHM, panic_message
from reference.domains import hanoi_successors, npuzzle_successors
from reference.searches import bfs_depths, bfs_path, is_move

OPTIMAL = {"bfs", "ucs", "astar"}
GOAL8 = (1, 2, 3, 4, 5, 6, 7, 8, 0)

PERFECT_SQUARE = "tiles length must be a non-zero perfect square (9, 16, 25, …)"
PARITY = "this configuration is not solvable into the goal (parity)"
TILES_PERM = "tiles must be a permutation of 0..8 (0 = blank)"
GOAL_PERM = "goal must be a permutation of 0..8 (0 = blank)"


def random_board(side, steps, seed, goal=None):
    """A solvable board: a seeded random walk of the blank from the goal."""
    rng = random.Random(seed)
    successors = npuzzle_successors(side)
    state = tuple(goal) if goal else tuple(list(range(1, side * side)) + [0])
    for _ in range(steps):
        state = rng.choice([child for child, _ in successors(state)])
    return state


def assert_valid_path(path, start, goal, successors):
    assert path[0] == tuple(start) and path[-1] == tuple(goal)
    for a, b in zip(path, path[1:]):
        assert is_move(successors, a, b)


# --- N-puzzle: checks and their order --------------------------------------


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (dict(tiles=[]), PERFECT_SQUARE),
        (dict(tiles=list(range(8))), PERFECT_SQUARE),
        # A 17x17 board cannot be held one byte per tile.
        (dict(tiles=list(range(1, 289)) + [0]),
         "tiles length must be at most 256 (boards up to 16×16)"),
        (dict(tiles=[1, 2, 3, 4, 5, 6, 7, 8, 8]), TILES_PERM),
        (dict(tiles=[1, 2, 3, 4, 5, 6, 7, 8, -1]), TILES_PERM),
        (dict(tiles=[1, 2, 3, 4, 5, 6, 7, 8, 9]), TILES_PERM),
        # A bad tile list is reported before a bad goal.
        (dict(tiles=[1, 1, 3, 4, 5, 6, 7, 8, 0], goal=[0]), TILES_PERM),
        (dict(tiles=list(GOAL8), goal=[1, 2, 3, 0]), "goal must have the same length as tiles"),
        (dict(tiles=list(GOAL8), goal=[1, 2, 3, 4, 5, 6, 7, 7, 0]), GOAL_PERM),
        (dict(tiles=[1, 2, 3, 4, 5, 6, 8, 7, 0]), PARITY),
        # Parity comes before anything about the heuristic or the algorithm.
        (dict(tiles=[1, 2, 3, 4, 5, 6, 8, 7, 0], heuristic=3, algorithm="nope"), PARITY),
        (dict(tiles=[2, 1, 3, 4, 5, 6, 7, 8, 0], heuristic="hamming"), PARITY),
        (
            dict(tiles=list(GOAL8), heuristic="Manhattan"),
            "unknown npuzzle heuristic: 'Manhattan'. Use manhattan, misplaced, zero, "
            "or a callable h(state, goal) -> float",
        ),
        (dict(tiles=list(GOAL8), heuristic=1.5, algorithm="nope"), HEURISTIC_TYPE),
        (
            dict(tiles=list(GOAL8), algorithm="A*"),
            UNKNOWN_ALGORITHM.format("A*"),
        ),
    ],
)
def test_npuzzle_value_checks(kwargs, message):
    """Each bad argument raises its ValueError, the earliest check winning."""
    with pytest.raises(ValueError) as excinfo:
        qn.search_npuzzle(**kwargs)
    assert str(excinfo.value) == message


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (
            dict(tiles=list(GOAL8), goal="123456780"),
            "argument 'goal': Can't extract `str` to `Vec`",
        ),
        (dict(tiles=5), "argument 'tiles': 'int' object cannot be converted to 'Sequence'"),
        (dict(tiles=None), "argument 'tiles': 'NoneType' object cannot be converted to 'Sequence'"),
    ],
)
def test_npuzzle_type_errors(kwargs, message):
    """Wrongly typed tiles or goal raise TypeError naming the parameter."""
    with pytest.raises(TypeError) as excinfo:
        qn.search_npuzzle(**kwargs)
    assert str(excinfo.value) == message


def test_npuzzle_single_tile_and_given_goal():
    """[0] is its own goal; a goal equal to an 'unsolvable' start is solved at once."""
    one = qn.search_npuzzle([0])
    assert one.path == [(0,)] and one.cost == 0.0
    tiles = [1, 2, 3, 4, 5, 6, 8, 7, 0]
    same = qn.search_npuzzle(tiles, goal=tiles)
    assert same.path == [tuple(tiles)] and same.stop_reason == "goal"


def test_npuzzle_sixteen_by_sixteen_default_goal():
    """A 256-tile board gets the default goal 1..255, 0 and tiles come back as ints."""
    goal = list(range(1, 256)) + [0]
    start = goal[:]
    start[254], start[255] = 0, 255
    result = qn.search_npuzzle(start, algorithm="bfs")
    assert result.path == [tuple(start), tuple(goal)]
    assert result.cost == 1.0


@pytest.mark.parametrize("goal", [(1, 2, 3, 0), (0, 3, 2, 1), (2, 0, 1, 3)])
def test_npuzzle_parity_rule_matches_reachability_on_an_even_board(goal):
    """On a 2x2 board a start is accepted exactly when the blank can slide it into the goal."""
    reachable = bfs_depths(goal, npuzzle_successors(2))  # moves are reversible
    for tiles in itertools.permutations(range(4)):
        if tiles in reachable:
            result = qn.search_npuzzle(list(tiles), goal=list(goal), algorithm="bfs")
            assert result.path[0] == tiles and result.path[-1] == goal
        else:
            with pytest.raises(ValueError) as excinfo:
                qn.search_npuzzle(list(tiles), goal=list(goal))
            assert str(excinfo.value) == PARITY


# --- N-puzzle: searches ------------------------------------------------------


@pytest.mark.parametrize("heuristic", ["manhattan", "misplaced", "zero", None])
@pytest.mark.parametrize("algorithm", BEST_FIRST)
def test_npuzzle_every_best_first_algorithm(algorithm, heuristic):
    """Each best-first algorithm finds a legal path; the optimal ones the shortest."""
    start = random_board(3, 40, seed=1)
    optimal = len(bfs_path(start, GOAL8, npuzzle_successors(3))) - 1
    result = qn.search_npuzzle(
        list(start), algorithm=algorithm, heuristic=heuristic, record=False
    )
    assert result.found and result.stop_reason == "goal"
    assert_valid_path(result.path, start, GOAL8, npuzzle_successors(3))
    assert result.cost == len(result.path) - 1
    if algorithm in OPTIMAL:
        assert result.cost == optimal


@pytest.mark.parametrize("seed", range(6))
def test_npuzzle_bfs_matches_reference_path(seed):
    """bfs returns exactly the first-reached-parent BFS path, so moves come in domain order."""
    for side in (2, 3):
        start = random_board(side, 14, seed)
        goal = tuple(list(range(1, side * side)) + [0])
        expected = bfs_path(start, goal, npuzzle_successors(side))
        assert qn.search_npuzzle(list(start), algorithm="bfs").path == expected


@pytest.mark.parametrize("seed", range(8))
def test_npuzzle_astar_manhattan_is_optimal(seed):
    """astar with manhattan returns the bfs length on random 8-puzzles."""
    start = list(random_board(3, 60, seed + 100))
    bfs = qn.search_npuzzle(start, algorithm="bfs", record=False)
    astar = qn.search_npuzzle(start, heuristic="manhattan", record=False)
    assert astar.cost == bfs.cost
    assert astar.nodes_expanded <= bfs.nodes_expanded


def test_npuzzle_custom_goal_and_trace_form():
    """A custom goal is searched towards; trace and tree hold tuples of ints."""
    goal = [0, 1, 2, 3, 4, 5, 6, 7, 8]
    start = list(random_board(3, 30, seed=7, goal=goal))
    result = qn.search_npuzzle(start, goal=goal, heuristic="misplaced")
    assert result.path[-1] == tuple(goal)
    node, g, frontier = result.trace[0]
    assert node == tuple(start) and g == 0.0 and isinstance(frontier, int)
    assert result.tree
    assert all(isinstance(p, tuple) and isinstance(c, tuple) for p, c in result.tree)


# --- Towers of Hanoi ---------------------------------------------------------


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (dict(disks=0, pegs=2), "disks must be ≥ 1"),
        (dict(disks=3, pegs=2), "pegs must be ≥ 3"),
        (dict(disks=3, pegs=0, heuristic=[]), "pegs must be ≥ 3"),
        (
            dict(disks=2, heuristic="hamming"),
            "unknown hanoi heuristic: 'hamming'. Use misplaced, zero, or a callable",
        ),
        (dict(disks=2, heuristic=b"zero"), HEURISTIC_TYPE),
    ],
)
def test_hanoi_value_checks(kwargs, message):
    """Bad disk or peg counts and names raise their ValueError in order."""
    with pytest.raises(ValueError) as excinfo:
        qn.search_hanoi(**kwargs)
    assert str(excinfo.value) == message


@pytest.mark.parametrize("heuristic", [None, "bad name", 42])
def test_hanoi_too_many_pegs_panics_first(heuristic):
    """More than 16 pegs is a PanicException, raised before the heuristic is looked at."""
    assert panic_message(qn.search_hanoi, 3, pegs=17, heuristic=heuristic) == (
        "pegs must be between 1 and 16, got 17")


def test_hanoi_sixteen_pegs_accepted():
    """16 pegs is the largest count; each disk can go straight to the last peg."""
    result = qn.search_hanoi(3, pegs=16, algorithm="bfs")
    assert result.path[0] == (0, 0, 0) and result.path[-1] == (15, 15, 15)
    assert result.cost == 5.0


@pytest.mark.parametrize("algorithm", ["bfs", "astar", "ucs"])
@pytest.mark.parametrize("disks", range(1, 8))
def test_hanoi_three_pegs_needs_two_to_the_n_minus_one(algorithm, disks):
    """The 3-peg optimum is 2^n - 1 moves."""
    result = qn.search_hanoi(disks, algorithm=algorithm, record=False)
    assert result.cost == 2**disks - 1
    assert result.path[0] == (0,) * disks and result.path[-1] == (2,) * disks


@pytest.mark.parametrize("disks, moves", list(enumerate([1, 3, 5, 9, 13, 17, 25, 33], start=1)))
def test_hanoi_four_pegs_frame_stewart_numbers(disks, moves):
    """The 4-peg optima for 1..8 disks are 1, 3, 5, 9, 13, 17, 25, 33."""
    assert qn.search_hanoi(disks, pegs=4, algorithm="bfs", record=False).cost == moves
    assert qn.search_hanoi(disks, pegs=4, record=False).cost == moves


@pytest.mark.parametrize("heuristic", ["misplaced", "zero", None])
@pytest.mark.parametrize("algorithm", BEST_FIRST)
def test_hanoi_every_best_first_algorithm(algorithm, heuristic):
    """Each best-first algorithm finds a legal path; the optimal ones the shortest."""
    disks, pegs = 4, 4
    start, goal = (0,) * disks, (pegs - 1,) * disks
    result = qn.search_hanoi(
        disks, algorithm=algorithm, heuristic=heuristic, pegs=pegs, record=False
    )
    assert_valid_path(result.path, start, goal, hanoi_successors(pegs))
    if algorithm in OPTIMAL:
        assert result.cost == 9


@pytest.mark.parametrize("pegs", [3, 5])
def test_hanoi_bfs_matches_reference_path(pegs):
    """bfs returns the first-reached-parent BFS path, so moves come in domain order."""
    start, goal = (0,) * 4, (pegs - 1,) * 4
    expected = bfs_path(start, goal, hanoi_successors(pegs))
    assert qn.search_hanoi(4, algorithm="bfs", pegs=pegs).path == expected


# --- callable heuristics -----------------------------------------------------


def py_manhattan(state, goal):
    """Manhattan distance on a 3x3 board, in Python."""
    where = {t: i for i, t in enumerate(goal)}
    cells = [(i, where[t]) for i, t in enumerate(state) if t]
    return float(sum(abs(i // 3 - g // 3) + abs(i % 3 - g % 3) for i, g in cells))


def test_callable_manhattan_agrees_with_builtin():
    """astar with a Python Manhattan callable finds the builtin's optimal length."""
    start = list(random_board(3, 50, seed=9))
    ours = qn.search_npuzzle(start, heuristic="manhattan", record=False)
    theirs = qn.search_npuzzle(start, heuristic=py_manhattan, record=False)
    assert theirs.cost == ours.cost and theirs.nodes_expanded == ours.nodes_expanded
