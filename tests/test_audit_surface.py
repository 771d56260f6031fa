"""The Python surface: cost formatting in reprs, full docstrings, check order, None options."""

import inspect
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
from decimal import Decimal

import pytest

import quorvane_native as qn


def positional_shortest(x):
    """The fewest significant digits that read back as x, written without an exponent."""
    return format(Decimal(repr(x)).normalize(), "f")


def cost_text(cost):
    """The cost field of the repr of a graph search over one edge of weight `cost`."""
    r = qn.search_graph(2, [(0, 1, cost)], 0, 1, "ucs")
    assert r.found
    field = repr(r).split(", ")[1]
    assert field.startswith("cost=")
    return field[len("cost="):]


@pytest.mark.parametrize("cost, text", [
    (1e23, "100000000000000000000000"),
    (2.0 ** 60, "1152921504606847000"),
    (1.5e300, "15" + "0" * 299),
    (1.7976931348623157e308, "17976931348623157" + "0" * 292),
    (-1e23, "-100000000000000000000000"),
    (9007199254740993.0, "9007199254740992"),
    (123456789.125, "123456789.125"),
    (5e-324, "0." + "0" * 323 + "5"),
    (-2.5, "-2.5"),
    (float("nan"), "NaN"),
])
def test_repr_cost_uses_fewest_significant_digits(cost, text):
    """Large costs are padded with zeros after their shortest digits, not written exactly."""
    assert cost_text(cost) == text


def test_repr_cost_matches_shortest_round_trip_for_random_doubles():
    """Random finite doubles of every magnitude print as their shortest digits, positionally."""
    rng = random.Random(7)
    for _ in range(300):
        bits = rng.getrandbits(64)
        x = struct.unpack("<d", struct.pack("<Q", bits))[0]
        if not math.isfinite(x) or x == 0.0:
            continue
        assert cost_text(x) == positional_shortest(x)


TAIL = "record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None"

DOCS = {
    "search_graph": (
        f'(num_nodes, edges, start, goal, algorithm="bfs", heuristic=None, undirected=True, '
        f'{TAIL}, reopen=False)',
        "Search an explicit weighted graph given as an edge list over `0..num_nodes`.\n"
        "\n"
        "`heuristic` defaults to the zero heuristic (so the informed algorithms behave\n"
        "as their uninformed counterparts). Pass a custom callable\n"
        "`h(node, goal) -> float` (nodes are ints) to run a real A\\* / Greedy — e.g.\n"
        "straight-line distance when your nodes have coordinates. `weight` sets the\n"
        "`w` for `weighted_astar`.\n"
        "\n"
        "With a custom heuristic, consider `reopen=True`: a hand-written `h` that is\n"
        "admissible but not *consistent* can make A\\* close a node too early and return\n"
        "a sub-optimal path. `SearchResult.nodes_reopened` reports what it cost."),
    "search_implicit": (
        f'(successors, start, goal, algorithm="astar", heuristic=None, {TAIL}, reopen=False)',
        "Search an implicit graph defined by a Python successor callable\n"
        "`successors(state) -> [(state, cost), ...]`. States are ints or tuples of\n"
        "ints. `heuristic`, if given, is a callable `h(state, goal) -> float`."),
    "search_npuzzle": (
        f'(tiles, algorithm="astar", heuristic=None, goal=None, {TAIL}, reopen=False)',
        "Solve a sliding-tile **N-puzzle** (3×3 → 8-puzzle, 4×4 → 15-puzzle, …).\n"
        "\n"
        "`tiles` is the flat, row-major start state with `0` for the blank; its length\n"
        "must be a perfect square. `goal` defaults to the canonical `1, 2, …, n−1, 0`.\n"
        "States in the result are tuples of ints. `heuristic` is `\"manhattan\"`\n"
        "(default), `\"misplaced\"`, `\"zero\"`, or a callable `h(state, goal) -> float`.\n"
        "Raises if the configuration is not solvable into the goal (parity)."),
    "search_hanoi": (
        f'(disks, algorithm="astar", heuristic=None, pegs=3, {TAIL}, reopen=False)',
        "Solve the **Towers of Hanoi** with `disks` disks over `pegs` pegs (default 3).\n"
        "\n"
        "Start = every disk on peg 0; goal = every disk on the last peg. A state in the\n"
        "result is a tuple `peg_of_disk[d]` (disk 0 = smallest). `heuristic` is\n"
        "`\"misplaced\"` (default), `\"zero\"`, or a callable `h(state, goal) -> float`.\n"
        "The classic 3-peg optimum is `2^disks − 1` moves."),
    "search_wordladder": (
        f'(start, goal, words, algorithm="astar", heuristic=None, {TAIL}, reopen=False)',
        "Solve a **word ladder** from `start` to `goal` over a `words` dictionary\n"
        "(equal-length lowercase words; `start`/`goal` are added automatically so the\n"
        "endpoints are valid nodes). Each step changes exactly one letter. `heuristic`\n"
        "is `\"hamming\"` (default), `\"zero\"`, or a callable `h(word, goal) -> float`."),
    "sample_maze": (
        "(name)",
        "A named sample maze as an ASCII map. `name` is `\"open\"` or `\"wall\"`."),
    "random_maze_ascii": (
        "(width, height, obstacle_density, seed)",
        "A reproducible random maze rendered as an ASCII map (with `S`/`G`)."),
    "bellman_ford": (
        "(num_nodes, edges, source, undirected=False)",
        "**Bellman–Ford** single-source shortest paths on an explicit weighted graph.\n"
        "\n"
        "Unlike Dijkstra/A\\*, this tolerates **negative edge weights** and reports a\n"
        "reachable negative cycle. Edges are ``(u, v, w)`` over ``0..num_nodes``.\n"
        "\n"
        "``undirected`` defaults to ``False``: negative weights are the whole point,\n"
        "and an undirected negative edge is itself a trivial negative cycle."),
    "floyd_warshall": (
        "(num_nodes, edges, undirected=False)",
        "**Floyd–Warshall** all-pairs shortest paths on an explicit weighted graph.\n"
        "\n"
        "``O(V³)`` — for small/medium or dense graphs where you want *every* distance\n"
        "at once. Tolerates negative edges and flags any negative cycle. Edges are\n"
        "``(u, v, w)`` over ``0..num_nodes``; ``undirected`` defaults to ``False``."),
}


@pytest.mark.parametrize("name", sorted(DOCS))
def test_function_docstring_is_exact(name):
    """Text signature and description of each function match character for character."""
    fn = getattr(qn, name)
    assert (fn.__text_signature__, fn.__doc__) == DOCS[name]


SEARCH_RESULT_DOC = """The outcome of a search.

Attributes:
    path (list | None): nodes from start to goal, or ``None`` if unreachable.
        Grid nodes are ``(row, col)`` tuples; graph nodes are ints; implicit
        nodes are ints or tuples (as your successor function returns them).
    cost (float): total cost of ``path`` (``inf`` if none).
    found (bool): whether a path was found.
    nodes_expanded (int): nodes taken off the frontier and expanded. A node
        re-expanded after being reopened counts again.
    nodes_generated (int): nodes ever pushed onto the frontier.
    nodes_reopened (int): how many times a closed node was reopened because a
        cheaper path to it turned up. Always ``0`` unless ``reopen=True``; a
        non-zero count is the signature of an inconsistent heuristic.
    max_frontier_size (int): peak frontier size (a memory proxy).
    elapsed (float): seconds the search itself took (excluding building the
        graph and converting the result). The companion to
        ``nodes_expanded``, which is machine-independent.
    stop_reason (str): ``"goal"``, ``"exhausted"`` or ``"node_limit"``.
    trace (list): per-expansion ``(node, g, frontier_size)`` tuples; empty if
        ``record=False``. Replaying ``node`` reproduces the search order
        (this drives the visualization in Phase 4). ``g`` is the cost from the
        start when the node was expanded, or ``None`` where that is not a
        meaningful question — ``bidirectional`` expands half of its nodes in a
        frontier growing backwards from the goal.
    tree (list): edges ``(parent, child)`` of the search tree (each node's
        best-known parent); empty if ``record=False``. Drives
        ``viz.plot_search_tree``. Empty for the iterative-deepening and
        bidirectional algorithms."""


def test_search_result_docstring_is_exact():
    """The class docstring is the whole attribute description, with no trailing newline."""
    assert qn.SearchResult.__doc__ == SEARCH_RESULT_DOC


UNKNOWN_GRID = ("unknown heuristic: 'nope'. Available: zero, manhattan, euclidean, octile, "
                "or a callable h(node, goal) -> float")
HEURISTIC_TYPE = "heuristic must be a name (str) or a callable h(node, goal) -> float"
STATE = "implicit-graph states must be an int or a sequence of ints"


@pytest.mark.parametrize("call, message", [
    (lambda: qn.search_grid("S.G", "nope", "nope"), UNKNOWN_GRID),
    (lambda: qn.search_grid("S.G", "dls", "nope"), UNKNOWN_GRID),
    (lambda: qn.search_grid("S.G", "nope", 5), HEURISTIC_TYPE),
    (lambda: qn.search_grid("S.", "nope", 5), "the ASCII map must contain a start 'S' and a goal 'G'"),
    (lambda: qn.search_graph(2, [(0, 1, 1.0)], 0, 1, "nope", "zero!"),
     "unknown graph heuristic: 'zero!'. Use 'zero' or a callable h(node, goal) -> float"),
    (lambda: qn.search_graph(2, [(0, 9, 1.0)], 0, 1, "nope", 5),
     "edge (0, 9) is out of range for a 2-node graph"),
    (lambda: qn.search_hanoi(2, "nope", "hamming"),
     "unknown hanoi heuristic: 'hamming'. Use misplaced, zero, or a callable"),
    (lambda: qn.search_implicit(lambda s: [], (1, 2), "ab", "nope"), STATE),
    (lambda: qn.bellman_ford(3, [(0, 5, 1.0)], 7), "source must be < num_nodes"),
])
def test_first_failing_check_is_reported(call, message):
    """Value checks, heuristic type, heuristic name and algorithm name fail in that order."""
    with pytest.raises(ValueError) as info:
        call()
    assert str(info.value) == message


@pytest.mark.parametrize("call, name", [
    (lambda: qn.search_graph(2, [], 0, 1, undirected=None), "undirected"),
    (lambda: qn.search_npuzzle([1, 2, 3, 0], record=None), "record"),
    (lambda: qn.search_hanoi(2, weight=None), "weight"),
    (lambda: qn.search_wordladder("a", "b", ["a"], reopen=None), "reopen"),
    (lambda: qn.search_implicit(None, 0, 0, record=None), "record"),
    (lambda: qn.bellman_ford(1, [], 0, None), "undirected"),
])
def test_none_for_bool_or_float_option_names_the_parameter(call, name):
    """None is no default for a bool or float option: TypeError naming it, before value checks."""
    with pytest.raises(TypeError, match=f"^argument '{name}': "):
        call()


def test_none_stands_for_default_where_default_is_none():
    """None for heuristic, the counts and the N-puzzle goal runs the default search."""
    plain = qn.search_npuzzle([1, 2, 3, 0])
    r = qn.search_npuzzle([1, 2, 3, 0], "astar", None, None, True, 2.0, None, None, None)
    assert (r.path, r.cost, r.nodes_expanded) == (plain.path, plain.cost, plain.nodes_expanded)


LOCALE_SCRIPT = """
import locale, sys
locale.setlocale(locale.LC_ALL, sys.argv[1])
assert locale.localeconv()["decimal_point"] == ","
import quorvane_native as qn
print(repr(qn.search_grid("S.G")))
"""


def test_repr_elapsed_ignores_a_comma_decimal_locale(tmp_path):
    """A locale set from Python with a decimal comma leaves the repr's point alone."""
    localedef = shutil.which("localedef")
    if localedef is None:
        pytest.skip("localedef is not available to make a decimal-comma locale")
    made = subprocess.run([localedef, "-i", "de_DE", "-f", "UTF-8", str(tmp_path / "de_DE.UTF-8")],
                          capture_output=True)
    if not (tmp_path / "de_DE.UTF-8").exists():
        pytest.skip(f"could not make a decimal-comma locale: {made.stderr!r}")
    env = dict(os.environ, LOCPATH=str(tmp_path), PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, "-c", LOCALE_SCRIPT, "de_DE.UTF-8"], env=env,
                         capture_output=True, text=True, check=True).stdout
    assert re.search(r", elapsed=\d+\.\d{6}, stop=goal\)$", out.strip()), out


FUNCTION_NAMES = [
    "search_grid", "search_grid_costs", "search_graph", "search_implicit", "gen_erdos_renyi",
    "gen_barabasi_albert", "gen_watts_strogatz", "sample_maze", "random_maze_ascii",
    "bellman_ford", "floyd_warshall", "search_npuzzle", "search_hanoi", "search_wordladder",
]


@pytest.mark.parametrize("name", FUNCTION_NAMES)
def test_binding_takes_the_parameters_the_signature_shows(name):
    """Every parameter of the text signature binds by keyword, and the positional count agrees."""
    fn = getattr(qn, name)
    params = list(inspect.signature(fn).parameters.values())
    required = sum(p.default is inspect.Parameter.empty for p in params)
    for p in params:
        with pytest.raises(BaseException) as info:
            fn(**{p.name: object()}, **{"not_a_parameter": 1})
        assert str(info.value) == f"{name}() got an unexpected keyword argument 'not_a_parameter'"
    span = f"from {required} to {len(params)}" if required < len(params) else f"{len(params)}"
    with pytest.raises(TypeError) as info:
        fn(*range(len(params) + 1))
    assert str(info.value) == (f"{name}() takes {span} positional arguments but "
                               f"{len(params) + 1} were given")
