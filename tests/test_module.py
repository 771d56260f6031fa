"""The module's shape: registration, docstrings, the classes, PanicException, import."""

import inspect
import shutil
import subprocess
import sys
import weakref

import pytest

import quorvane_native as qn

NAMES = [
    "search_grid", "search_grid_costs", "search_graph", "search_implicit",
    "gen_erdos_renyi", "gen_barabasi_albert", "gen_watts_strogatz", "sample_maze",
    "random_maze_ascii", "bellman_ford", "floyd_warshall", "search_npuzzle",
    "search_hanoi", "search_wordladder", "SearchResult", "ShortestPaths", "AllPairs",
]

TAIL = ('record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None')

# (function, text signature, first line of the description)
FUNCTIONS = [
    ("search_grid",
     f'(map, algorithm="astar", heuristic=None, {TAIL}, diagonal=False, reopen=False)',
     "Search a 2-D maze given as an ASCII map (`#` wall, `S` start, `G` goal, a"),
    ("search_grid_costs",
     f'(costs, start, goal, algorithm="astar", heuristic=None, {TAIL}, diagonal=False, '
     'reopen=False)',
     "Search a grid built from a matrix of **terrain costs**. `costs[r][c]` is the"),
    ("search_graph",
     f'(num_nodes, edges, start, goal, algorithm="bfs", heuristic=None, undirected=True, '
     f'{TAIL}, reopen=False)',
     "Search an explicit weighted graph given as an edge list over `0..num_nodes`."),
    ("search_implicit",
     f'(successors, start, goal, algorithm="astar", heuristic=None, {TAIL}, reopen=False)',
     "Search an implicit graph defined by a Python successor callable"),
    ("gen_erdos_renyi", "(n, p, seed)", "Erdős–Rényi `G(n, p)` random graph → edge list."),
    ("gen_barabasi_albert", "(n, m, seed)", "Barabási–Albert scale-free graph → edge list."),
    ("gen_watts_strogatz", "(n, k, beta, seed)",
     "Watts–Strogatz small-world graph → edge list."),
    ("sample_maze", "(name)",
     'A named sample maze as an ASCII map. `name` is `"open"` or `"wall"`.'),
    ("random_maze_ascii", "(width, height, obstacle_density, seed)",
     "A reproducible random maze rendered as an ASCII map (with `S`/`G`)."),
    ("bellman_ford", "(num_nodes, edges, source, undirected=False)",
     "**Bellman–Ford** single-source shortest paths on an explicit weighted graph."),
    ("floyd_warshall", "(num_nodes, edges, undirected=False)",
     "**Floyd–Warshall** all-pairs shortest paths on an explicit weighted graph."),
    ("search_npuzzle",
     f'(tiles, algorithm="astar", heuristic=None, goal=None, {TAIL}, reopen=False)',
     "Solve a sliding-tile **N-puzzle** (3×3 → 8-puzzle, 4×4 → 15-puzzle, …)."),
    ("search_hanoi",
     f'(disks, algorithm="astar", heuristic=None, pegs=3, {TAIL}, reopen=False)',
     "Solve the **Towers of Hanoi** with `disks` disks over `pegs` pegs (default 3)."),
    ("search_wordladder",
     f'(start, goal, words, algorithm="astar", heuristic=None, {TAIL}, reopen=False)',
     "Solve a **word ladder** from `start` to `goal` over a `words` dictionary"),
]

CLASSES = ["SearchResult", "ShortestPaths", "AllPairs"]

ATTRIBUTES = [
    "path", "cost", "found", "nodes_expanded", "nodes_generated", "nodes_reopened",
    "max_frontier_size", "elapsed", "stop_reason", "trace", "tree",
]

SECOND_INIT = ("PyO3 modules compiled for CPython 3.8 or older may only be initialized "
               "once per interpreter process")


def test_all_holds_the_seventeen_names_in_registration_order():
    """__all__ lists every public name in registration order, each a module attribute."""
    assert qn.__all__ == NAMES
    assert set(NAMES) <= set(dir(qn))


def test_module_doc_is_empty_string():
    """The module's docstring is "" rather than None."""
    assert qn.__doc__ == ""


@pytest.mark.parametrize("name, signature, first_line", FUNCTIONS, ids=[f[0] for f in FUNCTIONS])
def test_function_signature_and_docstring(name, signature, first_line):
    """Each function carries its text signature and a docstring starting with its description."""
    fn = getattr(qn, name)
    assert fn.__text_signature__ == signature
    assert fn.__doc__.splitlines()[0] == first_line
    assert fn.__module__ == "quorvane_native"
    assert fn.__self__ is qn
    assert str(inspect.signature(fn)) == signature.replace('"', "'")


@pytest.mark.parametrize("name", CLASSES)
def test_class_shape(name):
    """Each class is a builtins-named type with no __dict__ and no weak-reference slot."""
    cls = getattr(qn, name)
    assert (cls.__module__, cls.__name__, cls.__qualname__) == ("builtins", name, name)
    assert cls.__dictoffset__ == 0
    assert cls.__weakrefoffset__ == 0


@pytest.mark.parametrize("name", CLASSES)
@pytest.mark.parametrize("args, kwargs", [((), {}), ((1,), {"x": 2})])
def test_class_refuses_construction(name, args, kwargs):
    """Calling a class raises TypeError "No constructor defined for {name}", whatever the arguments."""
    with pytest.raises(TypeError) as excinfo:
        getattr(qn, name)(*args, **kwargs)
    assert str(excinfo.value) == f"No constructor defined for {name}"


@pytest.mark.parametrize("name", CLASSES)
def test_class_refuses_subclassing(name):
    """No class can serve as a base class."""
    with pytest.raises(TypeError):
        type("Sub", (getattr(qn, name),), {})


def test_search_result_attributes_are_undocumented_getters():
    """SearchResult has exactly its eleven attributes, each a getter with an empty docstring."""
    descriptors = {k: v for k, v in vars(qn.SearchResult).items()
                   if type(v).__name__ == "getset_descriptor"}
    assert sorted(descriptors) == sorted(ATTRIBUTES)
    assert all(d.__doc__ == "" for d in descriptors.values())
    assert qn.SearchResult.__doc__.startswith("The outcome of a search.\n\nAttributes:\n")
    assert qn.SearchResult.__doc__.endswith("        bidirectional algorithms.")


@pytest.fixture
def result():
    """A SearchResult from a one-step grid search."""
    return qn.search_grid("SG", "bfs")


@pytest.mark.parametrize("attribute", ["found", "cost", "path", "extra"])
def test_search_result_attributes_cannot_be_set(result, attribute):
    """Assigning any attribute of a SearchResult raises AttributeError."""
    with pytest.raises(AttributeError):
        setattr(result, attribute, 1)


def test_search_result_has_no_weakref(result):
    """A SearchResult cannot be weakly referenced."""
    with pytest.raises(TypeError):
        weakref.ref(result)


def test_search_result_lists_are_shared_and_text_is_fresh(result):
    """path, trace and tree are the record's own lists; stop_reason is a new str per read."""
    assert result.trace is result.trace and result.tree is result.tree
    assert result.stop_reason == result.stop_reason
    assert result.stop_reason is not result.stop_reason
    result.path.append("extra")
    assert result.path[-1] == "extra"


@pytest.mark.parametrize("costs, goal, cost_text", [
    ([[1.0, 0.1, 0.2]], (0, 2), "0.30000000000000004"),
    ([[1.0, 1e-7]], (0, 1), "0.0000001"),
    ([[1.0, 1e21]], (0, 1), "1000000000000000000000"),
    ([[1.0, 12.0]], (0, 1), "12"),
    ([[1.0, 2.5]], (0, 0), "0"),
    ([[1.0, 0.0, 1.0]], (0, 2), "inf"),
])
def test_repr_writes_cost_in_shortest_positional_form(costs, goal, cost_text):
    """__repr__ shows the cost positionally in its shortest round-trip form, elapsed to 6 places."""
    r = qn.search_grid_costs(costs, (0, 0), goal, "ucs")
    assert repr(r) == (
        f"SearchResult(found={r.found}, cost={cost_text}, expanded={r.nodes_expanded}, "
        f"frontier={r.max_frontier_size}, elapsed={r.elapsed:.6f}, stop={r.stop_reason})"
    )


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
