"""The module's shape: registration, signatures and docstrings, the classes,
PanicException, import."""

import copy
import inspect
import pickle
import shutil
import subprocess
import sys
import weakref

import pytest

import quorvane_native as qn
from helpers import ATTRIBUTES

NAMES = [
    "search_grid", "search_grid_costs", "search_graph", "search_implicit",
    "gen_erdos_renyi", "gen_barabasi_albert", "gen_watts_strogatz", "sample_maze",
    "random_maze_ascii", "bellman_ford", "floyd_warshall", "search_npuzzle",
    "search_hanoi", "search_wordladder", "SearchResult", "ShortestPaths", "AllPairs",
]

TAIL = "record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None"

SIGNATURES = {
    "search_grid":
        f'(map, algorithm="astar", heuristic=None, {TAIL}, diagonal=False, reopen=False)',
    "search_grid_costs":
        f'(costs, start, goal, algorithm="astar", heuristic=None, {TAIL}, diagonal=False, '
        'reopen=False)',
    "search_graph":
        f'(num_nodes, edges, start, goal, algorithm="bfs", heuristic=None, undirected=True, '
        f'{TAIL}, reopen=False)',
    "search_implicit":
        f'(successors, start, goal, algorithm="astar", heuristic=None, {TAIL}, reopen=False)',
    "gen_erdos_renyi": "(n, p, seed)",
    "gen_barabasi_albert": "(n, m, seed)",
    "gen_watts_strogatz": "(n, k, beta, seed)",
    "sample_maze": "(name)",
    "random_maze_ascii": "(width, height, obstacle_density, seed)",
    "bellman_ford": "(num_nodes, edges, source, undirected=False)",
    "floyd_warshall": "(num_nodes, edges, undirected=False)",
    "search_npuzzle":
        f'(tiles, algorithm="astar", heuristic=None, goal=None, {TAIL}, reopen=False)',
    "search_hanoi":
        f'(disks, algorithm="astar", heuristic=None, pegs=3, {TAIL}, reopen=False)',
    "search_wordladder":
        f'(start, goal, words, algorithm="astar", heuristic=None, {TAIL}, reopen=False)',
}

# Docstrings pinned by their first line only.
FIRST_LINES = {
    "search_grid": "Search a 2-D maze given as an ASCII map (`#` wall, `S` start, `G` goal, a",
    "search_grid_costs":
        "Search a grid built from a matrix of **terrain costs**. `costs[r][c]` is the",
    "gen_erdos_renyi": "Erdős–Rényi `G(n, p)` random graph → edge list.",
    "gen_barabasi_albert": "Barabási–Albert scale-free graph → edge list.",
    "gen_watts_strogatz": "Watts–Strogatz small-world graph → edge list.",
}

# The other docstrings, whole.
DOCS = {
    "search_graph": (
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
        "Search an implicit graph defined by a Python successor callable\n"
        "`successors(state) -> [(state, cost), ...]`. States are ints or tuples of\n"
        "ints. `heuristic`, if given, is a callable `h(state, goal) -> float`."),
    "search_npuzzle": (
        "Solve a sliding-tile **N-puzzle** (3×3 → 8-puzzle, 4×4 → 15-puzzle, …).\n"
        "\n"
        "`tiles` is the flat, row-major start state with `0` for the blank; its length\n"
        "must be a perfect square. `goal` defaults to the canonical `1, 2, …, n−1, 0`.\n"
        "States in the result are tuples of ints. `heuristic` is `\"manhattan\"`\n"
        "(default), `\"misplaced\"`, `\"zero\"`, or a callable `h(state, goal) -> float`.\n"
        "Raises if the configuration is not solvable into the goal (parity)."),
    "search_hanoi": (
        "Solve the **Towers of Hanoi** with `disks` disks over `pegs` pegs (default 3).\n"
        "\n"
        "Start = every disk on peg 0; goal = every disk on the last peg. A state in the\n"
        "result is a tuple `peg_of_disk[d]` (disk 0 = smallest). `heuristic` is\n"
        "`\"misplaced\"` (default), `\"zero\"`, or a callable `h(state, goal) -> float`.\n"
        "The classic 3-peg optimum is `2^disks − 1` moves."),
    "search_wordladder": (
        "Solve a **word ladder** from `start` to `goal` over a `words` dictionary\n"
        "(equal-length lowercase words; `start`/`goal` are added automatically so the\n"
        "endpoints are valid nodes). Each step changes exactly one letter. `heuristic`\n"
        "is `\"hamming\"` (default), `\"zero\"`, or a callable `h(word, goal) -> float`."),
    "sample_maze": (
        "A named sample maze as an ASCII map. `name` is `\"open\"` or `\"wall\"`."),
    "random_maze_ascii": (
        "A reproducible random maze rendered as an ASCII map (with `S`/`G`)."),
    "bellman_ford": (
        "**Bellman–Ford** single-source shortest paths on an explicit weighted graph.\n"
        "\n"
        "Unlike Dijkstra/A\\*, this tolerates **negative edge weights** and reports a\n"
        "reachable negative cycle. Edges are ``(u, v, w)`` over ``0..num_nodes``.\n"
        "\n"
        "``undirected`` defaults to ``False``: negative weights are the whole point,\n"
        "and an undirected negative edge is itself a trivial negative cycle."),
    "floyd_warshall": (
        "**Floyd–Warshall** all-pairs shortest paths on an explicit weighted graph.\n"
        "\n"
        "``O(V³)`` — for small/medium or dense graphs where you want *every* distance\n"
        "at once. Tolerates negative edges and flags any negative cycle. Edges are\n"
        "``(u, v, w)`` over ``0..num_nodes``; ``undirected`` defaults to ``False``."),
}

CLASSES = list(ATTRIBUTES)

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

SHORTEST_PATHS_DOC = """Single-source shortest paths from [`bellman_ford_py`]. Thin wrapper over the
core `ShortestPaths`.

Attributes:
    source (int): the node distances are measured from.
    dist (list[float]): ``dist[v]`` is the cost of the cheapest
        ``source -> v`` path (``inf`` if unreachable).
    pred (list[int | None]): predecessor of each node on a shortest path
        (``None`` for the source and unreachable nodes).
    negative_cycle (bool): whether a negative-weight cycle is reachable from
        ``source`` (then the affected distances are not well defined)."""

ALL_PAIRS_DOC = """All-pairs shortest paths from [`floyd_warshall_py`]. Thin wrapper over the
core `AllPairs`.

Attributes:
    num_nodes (int): number of nodes ``n``.
    negative_cycle (bool): whether the graph has any negative-weight cycle."""

# A small instance of each class.
INSTANCES = {"SearchResult": lambda: qn.search_grid("SG", "bfs"),
             "ShortestPaths": lambda: qn.bellman_ford(2, [], 0),
             "AllPairs": lambda: qn.floyd_warshall(2, [])}

CLASS_DOCS = {"SearchResult": SEARCH_RESULT_DOC, "ShortestPaths": SHORTEST_PATHS_DOC,
              "AllPairs": ALL_PAIRS_DOC}

SECOND_INIT = ("PyO3 modules compiled for CPython 3.8 or older may only be initialized "
               "once per interpreter process")


def test_all_holds_the_seventeen_names_in_registration_order():
    """__all__ lists every public name in registration order, each a module attribute."""
    assert qn.__all__ == NAMES
    assert set(NAMES) <= set(dir(qn))


def test_module_doc_is_empty_string():
    """The module's docstring is "" rather than None."""
    assert qn.__doc__ == ""


@pytest.mark.parametrize("name", list(SIGNATURES))
def test_function_signature_and_docstring(name):
    """Each function carries its text signature and its docstring, whole or by its first line."""
    fn = getattr(qn, name)
    signature = SIGNATURES[name]
    assert fn.__text_signature__ == signature
    if name in DOCS:
        assert fn.__doc__ == DOCS[name]
    else:
        assert fn.__doc__.splitlines()[0] == FIRST_LINES[name]
    assert fn.__module__ == "quorvane_native"
    assert fn.__self__ is qn
    assert str(inspect.signature(fn)) == signature.replace('"', "'")


@pytest.mark.parametrize("method, signature, doc", [
    (qn.ShortestPaths.path_to, "($self, target)",
     "Rebuild the ``source -> target`` shortest path (inclusive), or ``None``\n"
     "if ``target`` is unreachable."),
    (qn.AllPairs.distance, "($self, from_, to)",
     "Cost of the cheapest ``from_ -> to`` path (``inf`` if none, ``0`` if\n``from_ == to``)."),
    (qn.AllPairs.matrix, "($self)", "The full ``n x n`` distance matrix as a list of rows."),
    (qn.AllPairs.path, "($self, from_, to)",
     "Rebuild the cheapest ``from_ -> to`` path (inclusive), or ``None`` if\nthere is none."),
])
def test_method_docstrings(method, signature, doc):
    """Each method has its text signature and description."""
    assert method.__text_signature__ == signature
    assert method.__doc__ == doc


@pytest.mark.parametrize("name", CLASSES)
def test_class_docstring_is_exact(name):
    """Each class docstring is its whole description, with no trailing newline."""
    assert getattr(qn, name).__doc__ == CLASS_DOCS[name]


@pytest.mark.parametrize("name", CLASSES)
def test_class_shape(name):
    """Each class is a builtins-named type with no __dict__ and no weak references to it."""
    cls = getattr(qn, name)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("builtins", name, name)
    assert cls.__dictoffset__ == 0
    assert cls.__weakrefoffset__ == 0
    with pytest.raises(TypeError):
        weakref.ref(INSTANCES[name]())


@pytest.mark.parametrize("name", CLASSES)
@pytest.mark.parametrize("args, kwargs", [((), {}), ((1,), {"x": 2})])
def test_class_refuses_construction(name, args, kwargs):
    """Calling a class raises TypeError "No constructor defined for {name}", whatever the arguments."""
    with pytest.raises(TypeError) as excinfo:
        getattr(qn, name)(*args, **kwargs)
    assert str(excinfo.value) == f"No constructor defined for {name}"


@pytest.mark.parametrize("name", CLASSES)
def test_classes_cannot_be_made_behind_their_back(name):
    """object.__new__, copy and pickle cannot make an empty instance of a result class."""
    with pytest.raises(TypeError):
        object.__new__(getattr(qn, name))
    instance = INSTANCES[name]()
    with pytest.raises(TypeError):
        copy.copy(instance)
    with pytest.raises(TypeError):
        pickle.dumps(instance)


@pytest.mark.parametrize("name", CLASSES)
def test_attributes_are_read_only(name):
    """No attribute of a result can be set, and no new one added."""
    instance = INSTANCES[name]()
    for attribute in ATTRIBUTES[name] + ["extra"]:
        with pytest.raises(AttributeError):
            setattr(instance, attribute, 1)


@pytest.mark.parametrize("name", CLASSES)
def test_class_refuses_subclassing(name):
    """No class can serve as a base class."""
    with pytest.raises(TypeError):
        type("Sub", (getattr(qn, name),), {})


def test_search_result_attributes_are_undocumented_getters():
    """SearchResult has exactly its eleven attributes, each a getter with an empty docstring."""
    descriptors = {k: v for k, v in vars(qn.SearchResult).items()
                   if type(v).__name__ == "getset_descriptor"}
    assert sorted(descriptors) == sorted(ATTRIBUTES["SearchResult"])
    assert all(d.__doc__ == "" for d in descriptors.values())


@pytest.fixture
def panic():
    """The PanicException raised by a core-only argument check."""
    try:
        qn.gen_watts_strogatz(10, 3, 0.1, 1)
    except BaseException as exc:  # noqa: B036 - PanicException is not an Exception
        if isinstance(exc, Exception) or type(exc).__name__ != "PanicException":
            raise
        return exc
    pytest.fail("gen_watts_strogatz(10, 3, ...) did not panic")


def test_panic_exception_is_a_base_exception(panic):
    """PanicException derives from BaseException directly, escaping `except Exception`."""
    cls = type(panic)
    assert cls.__bases__ == (BaseException,)
    assert not isinstance(panic, Exception)
    assert f"{cls.__module__}.{cls.__qualname__}" == "pyo3_runtime.PanicException"


def test_panic_exception_carries_the_message(panic, capfd):
    """The panic's message is the exception's only argument, and a report goes to stderr."""
    assert panic.args == ("k must be even and < n",)
    with pytest.raises(BaseException) as excinfo:
        qn.gen_watts_strogatz(4, 4, 0.1, 1)
    assert type(excinfo.value) is type(panic)
    assert "k must be even and < n" in capfd.readouterr().err


def test_second_initialisation_raises_import_error():
    """Importing the module again after removing it from sys.modules raises ImportError."""
    code = (
        "import sys, quorvane_native\n"
        "del sys.modules['quorvane_native']\n"
        "try:\n"
        "    import quorvane_native\n"
        "except ImportError as e:\n"
        "    print(type(e).__name__ + ': ' + str(e))\n"
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    assert out.stdout == f"ImportError: {SECOND_INIT}\n"


@pytest.mark.skipif(shutil.which("nm") is None or not sys.platform.startswith("linux"),
                    reason="needs nm on Linux")
def test_only_the_entry_point_is_exported():
    """The built module exports PyInit_quorvane_native and no other symbol."""
    out = subprocess.run(["nm", "-D", "--defined-only", qn.__file__],
                         capture_output=True, text=True, check=True).stdout
    assert [line.split()[-1] for line in out.splitlines()] == ["PyInit_quorvane_native"]
