"""Argument binding and conversion (through search_grid and search_grid_costs, and
across every function), and the order in which the checks fail."""

import inspect

import pytest

import quorvane_native as qn
from helpers import UNKNOWN_GRID_HEURISTIC, Index

COSTS = ([[1.0, 1.0]], (0, 0), (0, 1))


def grid(*args, **kwargs):
    """search_grid on a valid two-cell map."""
    return qn.search_grid(*args, **kwargs) if args else qn.search_grid("SG", **kwargs)


def accepted(fn, *args, **kwargs):
    """Binding and conversion pass: the call searches, or stops at a later value check."""
    try:
        fn(*args, **kwargs)
    except (NotImplementedError, ValueError) as exc:
        assert not str(exc).startswith("expected tuple of length")


def raised(exc_type, fn, *args, **kwargs):
    """The exception the call raises, checked against exc_type."""
    with pytest.raises(exc_type) as excinfo:
        fn(*args, **kwargs)
    return excinfo.value


@pytest.mark.parametrize("call, message", [
    (lambda: qn.search_grid(),
     "search_grid() missing 1 required positional argument: 'map'"),
    (lambda: qn.search_grid_costs([[1.0]]),
     "search_grid_costs() missing 2 required positional arguments: 'start' and 'goal'"),
    (lambda: qn.search_grid_costs(),
     "search_grid_costs() missing 3 required positional arguments: 'costs', 'start', and 'goal'"),
    (lambda: qn.search_grid_costs(start=(0, 0)),
     "search_grid_costs() missing 2 required positional arguments: 'costs' and 'goal'"),
    (lambda: qn.sample_maze(), "sample_maze() missing 1 required positional argument: 'name'"),
    (lambda: qn.search_grid("S.G", "astar", map="x"),
     "search_grid() got multiple values for argument 'map'"),
    (lambda: qn.search_grid("S.G", "bfs", algorithm="x"),
     "search_grid() got multiple values for argument 'algorithm'"),
    (lambda: qn.search_grid("S.G", **{"a b": 1}),
     "search_grid() got an unexpected keyword argument 'a b'"),
    (lambda: qn.search_graph(),
     "search_graph() missing 4 required positional arguments: 'num_nodes', 'edges', 'start', "
     "and 'goal'"),
])
def test_binding_errors(call, message):
    """Binding errors carry their fixed messages and come before any conversion."""
    assert str(raised(TypeError, call)) == message


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


class FakeNumpyBool:
    """Looks like numpy's bool scalar type but has no __bool__."""


FakeNumpyBool.__module__ = "numpy"
FakeNumpyBool.__name__ = FakeNumpyBool.__qualname__ = "bool_"


class FakeNumpyBoolInt:
    """Looks like numpy's bool scalar type; its __bool__ returns an int."""

    def __bool__(self):
        return 1


FakeNumpyBoolInt.__module__ = "numpy"
FakeNumpyBoolInt.__name__ = FakeNumpyBoolInt.__qualname__ = "bool"


@pytest.mark.parametrize("kwargs, message", [
    ({"map": None}, "argument 'map': 'NoneType' object cannot be converted to 'PyString'"),
    ({"map": b"SG"}, "argument 'map': 'bytes' object cannot be converted to 'PyString'"),
    ({"algorithm": None},
     "argument 'algorithm': 'NoneType' object cannot be converted to 'PyString'"),
    ({"record": 1}, "argument 'record': 'int' object cannot be converted to 'PyBool'"),
    ({"diagonal": 0}, "argument 'diagonal': 'int' object cannot be converted to 'PyBool'"),
    ({"reopen": None}, "argument 'reopen': 'NoneType' object cannot be converted to 'PyBool'"),
    ({"record": FakeNumpyBool()},
     "argument 'record': object of type '<class 'numpy.bool_'>' does not define a '__bool__' "
     "conversion"),
    ({"record": FakeNumpyBoolInt()},
     "argument 'record': 'int' object cannot be converted to 'PyBool'"),
])
def test_own_conversion_messages(kwargs, message):
    """Text and flag conversions fail with their own message under the parameter's name."""
    assert str(raised(TypeError, qn.search_grid, **{"map": "SG", **kwargs})) == message


@pytest.mark.parametrize("kwargs", [
    {"weight": None}, {"weight": "2"}, {"max_nodes": 2.5}, {"beam_width": "3"},
    {"depth_limit": 1j},
])
def test_interpreter_type_errors_are_wrapped(kwargs):
    """A TypeError from the interpreter's own conversion is reported under the parameter's name."""
    (name,) = kwargs
    assert str(raised(TypeError, grid, **kwargs)).startswith(f"argument '{name}': ")


@pytest.mark.parametrize("kwargs", [
    {"max_nodes": -1}, {"beam_width": 2**64}, {"depth_limit": -(2**70)},
])
def test_out_of_range_counts_raise_overflow_without_name(kwargs):
    """A count outside 0..2**64-1 raises OverflowError that names no parameter."""
    (name,) = kwargs
    assert name not in str(raised(OverflowError, grid, **kwargs))


class TypeErrorSubclass(TypeError):
    pass


class RaisingIndex:
    def __init__(self, exc):
        self.exc = exc

    def __index__(self):
        raise self.exc


class FloatFromCause:
    def __float__(self):
        raise TypeError("no float here") from KeyError("k")


def test_wrapping_keeps_the_cause():
    """The wrapped TypeError carries the __cause__ of the conversion's TypeError."""
    exc = raised(TypeError, grid, weight=FloatFromCause())
    assert str(exc) == "argument 'weight': no float here"
    assert isinstance(exc.__cause__, KeyError)
    plain = raised(TypeError, grid, weight="x")
    assert plain.__cause__ is None and plain.__suppress_context__


@pytest.mark.parametrize("error", [TypeErrorSubclass("custom"), ValueError("custom"),
                                   OverflowError("custom")])
def test_only_exact_type_errors_are_wrapped(error):
    """Exceptions other than exactly TypeError pass unchanged, without the parameter's name."""
    exc = raised(type(error), grid, max_nodes=RaisingIndex(error))
    assert exc is error


def test_lone_surrogate_raises_unicode_encode_error():
    """A str that cannot be encoded as UTF-8 raises UnicodeEncodeError, unwrapped."""
    assert "argument" not in str(raised(UnicodeEncodeError, qn.search_grid, "S\ud800G"))


@pytest.mark.parametrize("kwargs", [
    {"map": type("Text", (str,), {})("SG")},
    {"weight": 3}, {"weight": Index(3)}, {"max_nodes": Index(3)},
    {"beam_width": True}, {"depth_limit": 2**64 - 1}, {"max_nodes": None},
    {"heuristic": object()}, {"heuristic": 5},
])
def test_accepted_arguments(kwargs):
    """str subclasses, ints as floats, __index__ objects, bools as counts and any heuristic pass."""
    accepted(qn.search_grid, **{"map": "SG", **kwargs})


def test_numpy_bool_is_a_flag():
    """A numpy bool scalar is accepted where a bool is expected."""
    np = pytest.importorskip("numpy")
    accepted(grid, record=np.bool_(False), diagonal=np.bool_(True), reopen=np.True_)


def test_conversion_comes_before_value_checks():
    """A map without 'S' and a wrongly typed option report the option's TypeError."""
    exc = raised(TypeError, qn.search_grid, "..", reopen=1)
    assert str(exc) == "argument 'reopen': 'int' object cannot be converted to 'PyBool'"


def test_first_failing_parameter_in_order_is_reported():
    """Conversion runs in parameter order: costs before start, map before algorithm."""
    exc = raised(TypeError, qn.search_grid_costs, "x", [0, 0], goal=None)
    assert str(exc) == "argument 'costs': Can't extract `str` to `Vec`"
    exc = raised(TypeError, qn.search_grid, None, algorithm=None)
    assert str(exc).startswith("argument 'map': ")


@pytest.mark.parametrize("costs, message", [
    ("11", "argument 'costs': Can't extract `str` to `Vec`"),
    (["11"], "argument 'costs': Can't extract `str` to `Vec`"),
    (5, "argument 'costs': 'int' object cannot be converted to 'Sequence'"),
    ({0: [1.0]}, "argument 'costs': 'dict' object cannot be converted to 'Sequence'"),
    ([[1.0], 7], "argument 'costs': 'int' object cannot be converted to 'Sequence'"),
])
def test_cost_matrix_shape_errors(costs, message):
    """costs must be a non-str sequence of non-str sequences; errors name `costs`."""
    assert str(raised(TypeError, qn.search_grid_costs, costs, (0, 0), (0, 1))) == message


def test_bad_cost_item_is_reported_under_costs():
    """An item of costs that is no number is reported under `costs`."""
    exc = raised(TypeError, qn.search_grid_costs, [[1.0, "x"]], (0, 0), (0, 1))
    assert str(exc).startswith("argument 'costs': ")


class Rows:
    """A sequence whose length cannot be read; items come through __getitem__."""

    def __len__(self):
        raise ValueError("no length")

    def __getitem__(self, i):
        if i >= 2:
            raise IndexError(i)
        return range(1, 3)


def test_sequence_forms_are_accepted():
    """Tuples, ranges and sequences with an unreadable length convert item by item."""
    accepted(qn.search_grid_costs, ((1.0, 2), range(1, 3)), (0, 0), (1, 1))
    accepted(qn.search_grid_costs, Rows(), (0, 0), (1, 1))


@pytest.mark.parametrize("start, exc_type, message", [
    ([0, 0], TypeError, "argument 'start': 'list' object cannot be converted to 'PyTuple'"),
    ((0, 0, 0), ValueError, "expected tuple of length 2, but got tuple of length 3"),
    ((0,), ValueError, "expected tuple of length 2, but got tuple of length 1"),
    ((2**31, 0), OverflowError, None),
    ((0, -(2**31) - 1), OverflowError, None),
    ((0, 1.5), TypeError, None),
])
def test_int_pair_errors(start, exc_type, message):
    """start must be a 2-tuple of 32-bit ints; only TypeErrors carry the parameter's name."""
    exc = raised(exc_type, qn.search_grid_costs, [[1.0, 1.0]], start, (0, 1))
    if message is not None:
        assert str(exc) == message
    assert str(exc).startswith("argument 'start': ") == (exc_type is TypeError)


def test_int_pair_accepts_tuple_subclass_and_extremes():
    """A tuple subclass holding the 32-bit extremes is a valid pair."""
    pair = type("Pair", (tuple,), {})((2**31 - 1, -(2**31)))
    accepted(qn.search_grid_costs, [[1.0]], pair, (0, 0))


# The orders within one function are pinned in its own file (test_grid.py,
# test_graph.py, test_implicit.py, test_shortest_paths.py); these are the rest.
@pytest.mark.parametrize("call, message", [
    (lambda: qn.search_grid("S.G", "dls", "nope"), UNKNOWN_GRID_HEURISTIC.format("nope")),
    (lambda: qn.search_graph(2, [(0, 9, 1.0)], 0, 1, "nope", 5),
     "edge (0, 9) is out of range for a 2-node graph"),
    (lambda: qn.search_hanoi(2, "nope", "hamming"),
     "unknown hanoi heuristic: 'hamming'. Use misplaced, zero, or a callable"),
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
