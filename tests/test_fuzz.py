"""API fuzzing: every public function and method, called with arguments of any
type and value, returns or raises an ordinary exception; the process survives.

QUORVANE_FUZZ_CALLS sets the total number of calls across the module (the
default keeps the file to a few seconds; 100000 or more for a real run).
Sizes stay small or far past any machine, so that every call is quick: a
valid size only buys a short search, a huge one must be refused before any
memory is taken.
"""

import inspect
import math
import os
import warnings

import numpy
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import quorvane_native as q
from helpers import ALL_NAMES, ATTRIBUTES, LyingLen, panic_type

PANIC = panic_type()
TOTAL_CALLS = int(os.environ.get("QUORVANE_FUZZ_CALLS", "6000"))
CALLS_PER_EXAMPLE = 10


# --- hostile objects ------------------------------------------------------------


class Boom(Exception):
    """What every hostile special method raises."""


def boom(*_args, **_kwargs):
    raise Boom("hostile")


class BadIndex:
    __index__ = boom


class BadFloat:
    __float__ = boom


class BadBool:
    __bool__ = boom


class BadLen:
    __len__ = boom

    def __iter__(self):
        return iter([(0, 1, 1.0)])

    def __getitem__(self, i):
        return [(0, 1, 1.0)][i]


class BadIter:
    __iter__ = boom
    __getitem__ = boom

    def __len__(self):
        return 2


class BadEverything:
    __index__ = __float__ = __bool__ = __len__ = __iter__ = __getitem__ = boom
    __eq__ = __hash__ = __str__ = boom

    def __repr__(self):
        return "BadEverything()"


class IndexGivesFloat:
    def __index__(self):
        return 1.5


class FloatGivesStr:
    def __float__(self):
        return "x"


class BoolGivesInt:
    def __bool__(self):
        return 2


class StrSub(str):
    pass


class IntSub(int):
    pass


class FloatSub(float):
    pass


class TupleSub(tuple):
    pass


class ListSub(list):
    __iter__ = boom


class TupleSubBadIter(tuple):
    __iter__ = boom
    __len__ = boom


class ClearingIndex:
    """An endpoint whose conversion empties the list it sits in."""

    def __init__(self, owner):
        self.owner = owner

    def __index__(self):
        self.owner.clear()
        return 0


def self_clearing_edges():
    edges = [(0, 1, 1.0), (1, 2, 1.0)]
    edges.insert(1, (ClearingIndex(edges), 1, 1.0))
    return edges


def generator_of_pairs():
    yield (0, 1, 1.0)
    yield (1, 2, 2.0)


HOSTILE = [
    None, object(), BadIndex(), BadFloat(), BadBool(), BadLen(), BadIter(), LyingLen(),
    BadEverything(), IndexGivesFloat(), FloatGivesStr(), BoolGivesInt(), b"bytes",
    bytearray(b"xy"), {}, {"a": 1}, set(), frozenset({1}), [], (), [[]], [()], ["ab"], 1j,
    ListSub([(0, 1, 1.0)]), TupleSubBadIter((1, 2)), TupleSub(()), boom, print, q, q.SearchResult,
    Ellipsis, NotImplemented, range(3), memoryview(b"ab"), numpy.bool_(True), numpy.int64(2),
    numpy.float64("nan"), numpy.array([1, 2]), numpy.zeros((2, 2)),
]

HUGE_INTS = [2**40, 2**50, 2**60, 2**63 - 1, 2**63, 2**64 - 1, 2**64, 2**100, -1, -2**31,
             -2**63, -2**63 - 1, -2**100]
STRANGE_STRINGS = ["", " ", "\x00", "é", "日本", "\ud800", "a\udfffb", "S\udc80G", "🙂" * 3,
                   StrSub("astar"), "x" * 300]
ODD_FLOATS = [math.nan, -math.nan, math.inf, -math.inf, -0.0, 0.0, 5e-324, 1e308, -1e308,
              FloatSub(0.5), 1.7976931348623157e308, 2**53 + 1]

def pick(values):
    """One of `values`, by position: some of them cannot even be hashed."""
    return st.sampled_from(range(len(values))).map(values.__getitem__)


hostile = pick(HOSTILE) | st.builds(self_clearing_edges) | st.builds(generator_of_pairs)
huge_int = st.sampled_from(HUGE_INTS)
strange_text = st.sampled_from(STRANGE_STRINGS) | st.text(max_size=6)
odd_float = st.sampled_from(ODD_FLOATS) | st.floats()


def small(hi):
    """A small count, as an int, a bool or an int subclass."""
    return st.integers(0, hi) | st.sampled_from([True, False, IntSub(1)])


def anything_but(base, other=None):
    """Mostly `base`; now and then any hostile or out-of-range value instead."""
    if other is None:
        other = st.one_of(hostile, huge_int, strange_text, odd_float)
    # Drawn from a list, not an integer range: the boundary values of a range
    # come up far more often than their share.
    return st.sampled_from([True] * 11 + [False]).flatmap(lambda b: base if b else other)


count = anything_but(small(6))
nodes = anything_but(st.integers(5, 7) | small(6))
node = anything_but(small(4))
any_int = anything_but(st.integers(-2**70, 2**70))
real = anything_but(st.floats() | st.integers(-5, 5) | st.sampled_from(ODD_FLOATS))
flag = anything_but(st.booleans())
algorithm = anything_but(st.sampled_from(ALL_NAMES + ["ASTAR", "unknown", StrSub("bfs")]))


def _gen(a, b):
    yield 0.0


HEURISTIC_CALLABLES = [
    lambda a, b: 0.0, lambda a, b: 1, lambda a, b: math.nan, lambda a, b: -math.inf,
    lambda a, b: "x", lambda a, b: BadFloat(), lambda a, b: 10**400, lambda: 0.0, boom, _gen,
    lambda a, b: FloatSub(2.0), lambda a, b: None,
]
HEURISTIC_NAMES = ["zero", "manhattan", "euclidean", "octile", "misplaced", "hamming", "h"]
heuristic = anything_but(st.sampled_from([None] + HEURISTIC_NAMES + HEURISTIC_CALLABLES))
limit = anything_but(st.none() | st.integers(0, 8))
big_limit = anything_but(st.none() | st.integers(0, 2**64 - 1))


def tail(*own):
    """The common search options after the leading arguments, as keyword
    strategies: (name, strategy) pairs."""
    return [("algorithm", algorithm), ("heuristic", heuristic), *own, ("record", flag),
            ("weight", real), ("beam_width", big_limit), ("depth_limit", limit),
            ("max_nodes", big_limit), ("reopen", flag)]


# --- argument lists -------------------------------------------------------------

MAPS = ["S.G", "S#G", "SG", "S\nG", "S..\n.#.\n..G", "S1\n9G", "S.\n.G\n", "G.S", "S", "G",
        "", "SS\nGG", "S.\n.G.\n.", "S\u00e9G", "S\ud800G", "S\tG", "S..#\n#..G"]
grid_map = anything_but(st.sampled_from(MAPS) | st.text(alphabet="SG.#123 \n", max_size=12))
cost = anything_but(st.floats(0.5, 9) | st.floats() | st.integers(-2, 9))
# At most 3 x 3: on an open 4 x 4 grid with diagonal moves, iterative deepening
# towards a walled-in goal enumerates millions of paths.
cost_row = anything_but(st.lists(cost, max_size=3))
cost_matrix = anything_but(st.lists(cost_row, max_size=3) | st.lists(
    st.lists(st.floats(0.5, 9), min_size=3, max_size=3), min_size=3, max_size=3))
cell = anything_but(st.tuples(st.integers(-1, 4), st.integers(-1, 4)) | st.tuples(
    huge_int, st.integers(0, 2)) | st.tuples(st.integers(0, 2)) | st.tuples(
        st.integers(0, 2), st.integers(0, 2), st.integers(0, 2)) | st.builds(
            TupleSub, st.tuples(st.integers(0, 2), st.integers(0, 2))))
edge = anything_but(st.one_of(
    st.tuples(st.integers(0, 6), st.integers(0, 6), st.floats(0, 10) | st.integers(0, 3)),
    st.tuples(st.integers(0, 6), st.integers(0, 6), odd_float),
    st.builds(TupleSub, st.tuples(st.integers(0, 6), st.integers(0, 6), st.floats(0, 3))),
), st.one_of(st.tuples(count, count, real), st.tuples(st.integers(0, 6), st.integers(0, 6)),
             st.lists(st.integers(0, 3), max_size=3), hostile))
neg_edge = st.tuples(st.integers(0, 6), st.integers(0, 6), st.floats(-5, 5))
edges = anything_but(st.lists(edge, max_size=8) | st.lists(edge, max_size=8).map(tuple))
sp_edges = anything_but(st.lists(edge | neg_edge, max_size=10))

STATES = [0, 1, 2, 3, (0, 0), (1, 2), (0, 1, 2), [0, 1], (), IntSub(1), TupleSub((0, 0)),
          2**63, -2**63, 2**64, "ab", "", 1.5, None, (0, "a"), (BadIndex(),), BadIndex()]
state = anything_but(pick(STATES))


def ring(s):
    return [((s + 1) % 5, 1.0), ((s + 4) % 5, 2.5)] if isinstance(s, int) else []


def torus(s):
    if isinstance(s, tuple):
        return [(tuple((x + 1) % 3 for x in s), 1.0), (tuple(x % 2 for x in s), 0.5)]
    return [((s + 1) % 3, 1.0)] if isinstance(s, int) else []


def descending(s):
    return [(s - 1, -1.0)] if isinstance(s, int) and 0 < s < 5 else []


def _pairs_gen(s):
    yield (0, 1.0)


SUCCESSORS = [
    ring, torus, descending, _pairs_gen, boom, lambda: [], lambda s: None, lambda s: "ab",
    lambda s: [(s,)], lambda s: [(s, "x")], lambda s: [("ab", 1.0)], lambda s: iter([(0, 1.0)]),
    lambda s: [(BadIndex(), 1.0)], lambda s: [(0, BadFloat())], lambda s: [(2**64, 1.0)],
    lambda s: [(0, math.nan), (1, math.inf)], lambda s: {0: 1.0}, lambda s: [[0, 1.0]],
    lambda s: ((1, 1.0),), lambda s: [(TupleSub((0, 1)), FloatSub(1.0))], lambda s: BadIter(),
    lambda s: [((0, 1), 1.0), (0, 1.0)],
]
successors = anything_but(st.sampled_from(SUCCESSORS))

# The one 3 x 3 board is the goal: a heuristic that prunes nothing (NaN, -inf,
# or a weight that swallows g) turns IDA* on any other 3 x 3 board into a walk
# over the simple paths of 181440 states, which takes hours.
TILES = [[0], [1, 0], [1, 2, 3, 0], [1, 2, 0, 3], [0, 1, 3, 2], [3, 1, 2, 0], [1, 0, 3, 2],
         [1, 2, 3, 4, 5, 6, 7, 8, 0], [1, 1, 2, 0], [0, 1, 2, 4],
         [-1, 0, 1, 2], [2**63, 0, 1, 2], [0, 1, 2], list(range(1, 257)) + [0], []]
tiles = anything_but(st.sampled_from(TILES) | st.lists(st.integers(-1, 4), max_size=5) |
                     st.sampled_from(TILES).map(tuple))

WORDS = [["hot", "dot", "dog", "cog", "lot", "log"], [], ["HOT", "Dot", "dog"], ["ab", "abc"],
         ["é", "e"], ["\ud800"], ("cat", "cot", "cog"), [StrSub("cot")], [1, 2], "cog"]
words = anything_but(st.sampled_from(WORDS) | st.lists(st.text(alphabet="abcé", max_size=3),
                                                       max_size=5))
word = anything_but(st.sampled_from(["hit", "cog", "hot", "HIT", "dOg", "hé", "\u0130t",
                                     StrSub("dog")]) |
                    st.sampled_from(["", "a", "\ud800", "cogs"]) | st.text(max_size=3))

# Each target: (name, function, [(parameter, strategy), ...]) in parameter order.
TARGETS = [
    ("search_grid", q.search_grid,
     [("map", grid_map), *tail()[:-1], ("diagonal", flag), ("reopen", flag)]),
    ("search_grid_costs", q.search_grid_costs,
     [("costs", cost_matrix), ("start", cell), ("goal", cell), *tail()[:-1],
      ("diagonal", flag), ("reopen", flag)]),
    ("search_graph", q.search_graph,
     [("num_nodes", nodes), ("edges", edges), ("start", node), ("goal", node),
      *tail(("undirected", flag))]),
    ("search_implicit", q.search_implicit,
     [("successors", successors), ("start", state), ("goal", state), *tail()]),
    ("gen_erdos_renyi", q.gen_erdos_renyi,
     [("n", anything_but(small(30))), ("p", real), ("seed", any_int)]),
    ("gen_barabasi_albert", q.gen_barabasi_albert,
     [("n", anything_but(small(30))), ("m", count), ("seed", any_int)]),
    ("gen_watts_strogatz", q.gen_watts_strogatz,
     [("n", anything_but(small(30))), ("k", count), ("beta", real), ("seed", any_int)]),
    ("sample_maze", q.sample_maze,
     [("name", anything_but(st.sampled_from(["open", "wall", "Open", "walls"])))]),
    ("random_maze_ascii", q.random_maze_ascii,
     [("width", anything_but(st.integers(-3, 12))), ("height", anything_but(st.integers(-3, 12))),
      ("obstacle_density", real), ("seed", any_int)]),
    ("bellman_ford", q.bellman_ford,
     [("num_nodes", nodes), ("edges", sp_edges), ("source", count), ("undirected", flag)]),
    ("floyd_warshall", q.floyd_warshall,
     [("num_nodes", nodes), ("edges", sp_edges), ("undirected", flag)]),
    ("search_npuzzle", q.search_npuzzle,
     [("tiles", tiles), *tail(("goal", anything_but(st.none() | st.sampled_from(TILES))))]),
    ("search_hanoi", q.search_hanoi,
     # Three disks on five pegs at most: the iterative deepening drivers
     # enumerate paths, and more moves per state would make a call take hours.
     [("disks", anything_but(st.integers(0, 3))),
      *tail(("pegs", anything_but(st.integers(0, 5) | st.just(17))))]),
    ("search_wordladder", q.search_wordladder,
     [("start", word), ("goal", word), ("words", words), *tail()]),
]

SAMPLE_PATHS = q.bellman_ford(4, [(0, 1, 1.0), (1, 2, -1.0), (3, 3, -1.0)], 0)
SAMPLE_PAIRS = q.floyd_warshall(3, [(0, 1, 2.0), (1, 2, -1.0)])
CYCLE_PAIRS = q.floyd_warshall(2, [(0, 1, -1.0)], undirected=True)
SAMPLE_RESULT = q.search_grid("S.#\n..G", record=True)
index = anything_but(st.integers(0, 4))
METHOD_TARGETS = [
    ("ShortestPaths.path_to", SAMPLE_PATHS.path_to, [("target", index)]),
    ("AllPairs.distance", SAMPLE_PAIRS.distance, [("from_", index), ("to", index)]),
    ("AllPairs.path", SAMPLE_PAIRS.path, [("from_", index), ("to", index)]),
    ("AllPairs.path (negative cycle)", CYCLE_PAIRS.path, [("from_", index), ("to", index)]),
    ("AllPairs.matrix", SAMPLE_PAIRS.matrix, []),
]
ALL_TARGETS = TARGETS + METHOD_TARGETS
EXAMPLES = max(1, -(-TOTAL_CALLS // (CALLS_PER_EXAMPLE * (len(ALL_TARGETS) + 1))))
KEYWORDS = ["extra", "\ud800", "é", StrSub("map"), "Map", ""]


def required_count(fn):
    """How many leading parameters have no default."""
    parameters = inspect.signature(fn).parameters.values()
    return sum(p.default is inspect.Parameter.empty for p in parameters)


@st.composite
def calls(draw, params, required):
    """Positional and keyword arguments for one call: the required parameters
    by position, the others left out or given by position or keyword; now and
    then an argument too many, a repeated or unknown keyword, or a required
    argument left out."""
    values = [draw(s) for _, s in params]
    cut = draw(st.integers(required, len(values)))
    args = values[:cut]
    kwargs = {name: value for (name, _), value in zip(params[cut:], values[cut:])
              if draw(st.booleans())}
    mishap = draw(st.sampled_from([None] * 36 + ["extra", "repeat", "unknown", "drop"]))
    if mishap == "extra":
        args.append(draw(hostile))
    elif mishap == "repeat" and cut > 0:
        kwargs[params[0][0]] = values[0]
    elif mishap == "unknown":
        kwargs[draw(st.sampled_from(KEYWORDS))] = draw(hostile)
    elif mishap == "drop" and cut > 0:
        args = args[:draw(st.integers(0, cut - 1))]
    return args, kwargs


# numpy before 2 warns when a numpy.bool_ is read as an index; later ones raise
# TypeError, an ordinary exception.
NUMPY_BOOL_INDEX = r"In future, it will be an error for 'np\.bool_' scalars to be interpreted"


def call_survives(fn, args, kwargs):
    """Calls fn; a result or an ordinary exception passes, anything else fails.
    A SystemError means the module broke the interpreter's calling rules."""
    try:
        with warnings.catch_warnings():
            warnings.filterwarnings("ignore", NUMPY_BOOL_INDEX, DeprecationWarning)
            fn(*args, **kwargs)
    except SystemError:
        raise
    except (Exception, PANIC):
        pass


def fuzz_settings():
    return settings(max_examples=EXAMPLES, deadline=None, database=None, derandomize=False,
                    suppress_health_check=list(HealthCheck))


@pytest.mark.parametrize("name, fn, params", ALL_TARGETS, ids=[t[0] for t in ALL_TARGETS])
def test_any_arguments_give_a_result_or_an_exception(name, fn, params):
    """Any arguments give a result or an ordinary exception, never a crash or SystemError."""

    @fuzz_settings()
    @given(st.lists(calls(params, required_count(fn)), min_size=CALLS_PER_EXAMPLE,
                    max_size=CALLS_PER_EXAMPLE))
    def run(batch):
        for args, kwargs in batch:
            call_survives(fn, args, kwargs)

    run()


RECEIVERS = [SAMPLE_RESULT, SAMPLE_PATHS, SAMPLE_PAIRS, *HOSTILE[:12], 0, "x", (1, 2)]


def test_members_through_the_class_accept_any_receiver():
    """Members called through their class with any object as self return or raise."""
    for name, attributes in ATTRIBUTES.items():
        cls = getattr(q, name)
        members = [cls.__dict__[a].__get__ for a in attributes] + [cls.__repr__]
        members += [getattr(cls, m) for m in ("path_to", "distance", "path", "matrix")
                    if hasattr(cls, m)]

        @fuzz_settings()
        @given(st.lists(st.tuples(pick(members), pick(RECEIVERS),
                                  st.lists(index, max_size=2)),
                        min_size=CALLS_PER_EXAMPLE, max_size=CALLS_PER_EXAMPLE))
        def run(batch):
            for member, receiver, extra in batch:
                call_survives(member, [receiver, *extra], {})

        run()


@pytest.mark.parametrize("call", [
    lambda: q.search_graph(2**40, [], 0, 1),
    lambda: q.search_graph(2**50, [(0, 1, 1.0)], 0, 1, "astar", heuristic=lambda a, b: 0.0),
    lambda: q.bellman_ford(2**44, [], 0),
    lambda: q.floyd_warshall(2**22, []),
    lambda: q.search_hanoi(2**44, max_nodes=1),
    lambda: q.search_hanoi(2**63, "bfs", pegs=16),
    lambda: q.search_grid_costs(LyingLen(), (0, 0), (0, 1)),
    lambda: q.search_npuzzle(LyingLen()),
    lambda: q.search_wordladder("a", "b", LyingLen()),
    lambda: q.bellman_ford(3, LyingLen(), 0),
], ids=["graph", "graph-callable", "bellman-ford", "floyd-warshall", "hanoi", "hanoi-16-pegs",
        "costs-length", "tiles-length", "words-length", "edges-length"])
def test_sizes_past_memory_raise_memory_error_before_allocating(call):
    """A size no machine holds is a MemoryError at once, not an attempt to allocate it."""
    with pytest.raises(MemoryError):
        call()


@pytest.mark.parametrize("call, message", [
    (lambda: q.search_graph(2**60, [], 0, 1), "capacity overflow"),
    (lambda: q.floyd_warshall(2**40, []), "capacity overflow"),
    (lambda: q.floyd_warshall(2**32, []), "capacity overflow"),
    (lambda: q.random_maze_ascii(2**31 - 1, 2**31 - 1, 0.5, 1),
     "grid too large: 2147483647\u00d72147483647 = 4611686014132420609 cells (max 2147483647)"),
])
def test_sizes_past_any_address_space_panic(call, message):
    """A size past any address space is the panic with its fixed message."""
    with pytest.raises(PANIC) as excinfo:
        call()
    assert excinfo.value.args == (message,)
