"""The generator and maze functions: reference outputs, graph invariants, refusals."""

import json
import math
import pathlib

import pytest

import quorvane_native as qn
from helpers import panic_message

GOLDEN = pathlib.Path(__file__).parent / "golden"


def golden(name):
    return json.loads((GOLDEN / name).read_text(encoding="utf-8"))["cases"]


def check_simple_edge_list(edges, n):
    """Each edge once as (u, v, 1.0), u < v < n, sorted by u; no loops or repeats."""
    assert all(type(e) is tuple and len(e) == 3 for e in edges)
    assert all(0 <= u < v < n and w == 1.0 and type(w) is float for u, v, w in edges)
    assert len({(u, v) for u, v, _ in edges}) == len(edges)
    assert [u for u, _, _ in edges] == sorted(u for u, _, _ in edges)


def ring_lattice(n, k):
    return {tuple(sorted((i, (i + j) % n))) for i in range(n) for j in range(1, k // 2 + 1)}


# --- reference outputs -------------------------------------------------------


@pytest.mark.parametrize(
    "case", golden("erdos_renyi.json"), ids=lambda c: f"n{c['n']}-s{c['seed']}"
)
def test_erdos_renyi_matches_reference(case):
    """gen_erdos_renyi returns exactly the reference edge list, in order."""
    got = qn.gen_erdos_renyi(case["n"], case["p"], case["seed"])
    assert got == [tuple(e) for e in case["edges"]]


@pytest.mark.parametrize(
    "case", golden("barabasi_albert_m1.json"), ids=lambda c: f"n{c['n']}-s{c['seed']}"
)
def test_barabasi_albert_m1_matches_reference(case):
    """With m = 1 every target set holds one node, so the tree is the reference one."""
    got = qn.gen_barabasi_albert(case["n"], 1, case["seed"])
    assert got == [tuple(e) for e in case["edges"]]
    picked = {v: t for t, v, _ in got}
    assert [picked[v] for v in range(1, case["n"])] == case["targets_in_order"]


@pytest.mark.parametrize(
    "case", golden("random_maze.json"), ids=lambda c: f"{c['width']}x{c['height']}-s{c['seed']}"
)
def test_random_maze_matches_reference(case):
    """random_maze_ascii returns exactly the reference text."""
    args = (case["width"], case["height"], case["obstacle_density"], case["seed"])
    assert qn.random_maze_ascii(*args) == case["ascii"]


# --- Erdős–Rényi -------------------------------------------------------------


@pytest.mark.parametrize("seed", [0, 1, 2**64 - 1])
def test_erdos_renyi_certain_probabilities(seed):
    """p = 1 gives every pair in order whatever the seed; p = 0 gives none."""
    assert qn.gen_erdos_renyi(4, 1.0, seed) == [
        (0, 1, 1.0), (0, 2, 1.0), (0, 3, 1.0), (1, 2, 1.0), (1, 3, 1.0), (2, 3, 1.0)
    ]
    assert qn.gen_erdos_renyi(4, 0.0, seed) == []


@pytest.mark.parametrize("n, p", [(0, 0.5), (1, 1.0), (30, math.nan), (30, -1.0)])
def test_erdos_renyi_without_edges(n, p):
    """n < 2, a NaN p and a negative p give no edges and raise nothing."""
    assert qn.gen_erdos_renyi(n, p, 3) == []


def test_erdos_renyi_is_a_function_of_its_arguments():
    """Equal arguments give equal lists; a p above 1 is the complete graph."""
    assert qn.gen_erdos_renyi(60, 0.2, 5) == qn.gen_erdos_renyi(60, 0.2, 5)
    assert qn.gen_erdos_renyi(60, 0.2, 5) != qn.gen_erdos_renyi(60, 0.2, 6)
    assert len(qn.gen_erdos_renyi(40, 7.5, 0)) == 40 * 39 // 2


@pytest.mark.parametrize("n, p", [(524289, 0.001), (10**9, 0.001), (2**64 - 1, 0.001),
                                  (2**64 - 1, 0.0)])
def test_erdos_renyi_refuses_node_counts_it_cannot_draw_for(n, p):
    """A node count whose pairs would take hours to draw is refused at once, whatever p."""
    assert panic_message(qn.gen_erdos_renyi, n, p, 1) == (
        "n must be <= 524288 (erdos_renyi draws once per pair of nodes)"
    )


# --- Watts–Strogatz ----------------------------------------------------------


@pytest.mark.parametrize(
    "n, k, beta, seed",
    [(10, 2, 0.5, 0), (50, 4, 0.1, 7), (200, 8, 1.0, 3), (9, 8, 0.7, 1), (1000, 10, 0.3, 42)],
)
def test_watts_strogatz_keeps_a_simple_graph_of_nk_over_2_edges(n, k, beta, seed):
    """Rewiring keeps n*k/2 distinct edges, none a loop, each listed once with u < v."""
    edges = qn.gen_watts_strogatz(n, k, beta, seed)
    assert len(edges) == n * k // 2
    check_simple_edge_list(edges, n)


@pytest.mark.parametrize("beta", [0.0, -1.0, math.nan])
@pytest.mark.parametrize("seed", [0, 99])
def test_watts_strogatz_without_rewiring_is_the_ring_lattice(beta, seed):
    """beta = 0 (or below, or NaN) leaves exactly the ring lattice."""
    edges = qn.gen_watts_strogatz(30, 6, beta, seed)
    check_simple_edge_list(edges, 30)
    assert {(u, v) for u, v, _ in edges} == ring_lattice(30, 6)


def test_watts_strogatz_rewires_when_beta_is_one():
    """beta = 1 rewires every lattice pair, so the lattice does not survive."""
    edges = qn.gen_watts_strogatz(200, 4, 1.0, 5)
    assert len({(u, v) for u, v, _ in edges} & ring_lattice(200, 4)) < 100


def test_watts_strogatz_degree_zero_has_no_edges():
    """k = 0 gives n isolated nodes: an empty list."""
    assert qn.gen_watts_strogatz(5, 0, 0.5, 1) == []


def test_watts_strogatz_order_follows_freshly_keyed_sets():
    """Every call keys its set afresh: equal calls list the same lattice in varying orders."""
    lists = [qn.gen_watts_strogatz(40, 6, 0.0, 1) for _ in range(8)]
    assert len({tuple(edges) for edges in lists}) > 1
    assert len({frozenset(edges) for edges in lists}) == 1


@pytest.mark.parametrize("n, k", [(10, 3), (4, 4), (4, 6), (0, 0), (1, 1)])
def test_watts_strogatz_panics_on_odd_or_too_large_k(n, k):
    """k >= n or an odd k panics (so n = 0 always does)."""
    assert panic_message(qn.gen_watts_strogatz, n, k, 0.1, 1) == "k must be even and < n"


# --- Barabási–Albert ---------------------------------------------------------


@pytest.mark.parametrize(
    "n, m, seed", [(2, 1, 0), (10, 2, 3), (100, 3, 1), (300, 5, 8), (40, 39, 2)]
)
def test_barabasi_albert_edge_count_and_attachment(n, m, seed):
    """m(m-1)/2 + (n-m)m distinct edges; each new node links to m earlier nodes."""
    edges = qn.gen_barabasi_albert(n, m, seed)
    assert len(edges) == m * (m - 1) // 2 + (n - m) * m
    check_simple_edge_list(edges, n)
    earlier = {}
    for u, v, _ in edges:
        earlier.setdefault(v, set()).add(u)
    assert all(earlier[v] == set(range(v)) for v in range(1, m))  # the seed clique
    assert all(len(earlier[v]) == m for v in range(m, n))


def test_barabasi_albert_one_more_node_than_m_is_complete():
    """n = m + 1 gives the complete graph on m + 1 nodes."""
    edges = qn.gen_barabasi_albert(6, 5, 4)
    assert {(u, v) for u, v, _ in edges} == {(u, v) for u in range(6) for v in range(u + 1, 6)}


@pytest.mark.parametrize("n, m", [(3, 3), (3, 0), (0, 0), (2, 5)])
def test_barabasi_albert_panics_unless_n_exceeds_m_of_at_least_one(n, m):
    """m = 0 or n <= m panics."""
    assert panic_message(qn.gen_barabasi_albert, n, m, 1) == "need n > m >= 1"


@pytest.mark.parametrize(
    "fn, args",
    [
        (qn.gen_barabasi_albert, (2**64 - 1, 2**40, 1)),
        (qn.gen_watts_strogatz, (2**64 - 1, 2**62, 0.5, 1)),
    ],
)
def test_generators_refuse_counts_past_64_bits(fn, args):
    """Edge counts that overflow 64 bits panic instead of wrapping."""
    assert panic_message(fn, *args) == "capacity overflow"


@pytest.mark.parametrize(
    "fn, args",
    [
        (qn.gen_barabasi_albert, (2**44, 1, 1)),
        (qn.gen_watts_strogatz, (2**44, 2, 0.5, 1)),
        (qn.gen_watts_strogatz, (2**44, 0, 0.5, 1)),
        (qn.gen_erdos_renyi, (524288, 1.0, 1)),
    ],
)
def test_generators_refuse_graphs_larger_than_memory(fn, args):
    """A graph no machine can hold is a MemoryError before any work, not a crash."""
    with pytest.raises(MemoryError):
        fn(*args)


# --- mazes -------------------------------------------------------------------


def test_sample_mazes():
    """The two sample maps, six rows of nine characters, no final line feed."""
    assert qn.sample_maze("open") == (
        "S........\n.........\n....#....\n....#....\n....#....\n........G"
    )
    assert qn.sample_maze("wall") == (
        "S.#......\n..#.####.\n..#.#..#.\n..#.#.##.\n....#...G\n#####.#.."
    )


@pytest.mark.parametrize("name", ["Open", "open ", "", "wall\n"])
def test_sample_maze_unknown_name(name):
    """Names match exactly; anything else is a ValueError naming it as given."""
    with pytest.raises(ValueError) as excinfo:
        qn.sample_maze(name)
    assert str(excinfo.value) == f"unknown sample maze: '{name}'. Available: open, wall"


@pytest.mark.parametrize("seed", [0, 5, 2**64 - 1])
def test_random_maze_density_extremes(seed):
    """Density 0 walls nothing; density 1 walls every cell but S and G."""
    assert qn.random_maze_ascii(3, 2, 0.0, seed) == "S..\n..G"
    assert qn.random_maze_ascii(4, 3, 1.0, seed) == "S###\n####\n###G"
    assert qn.random_maze_ascii(1, 1, 1.0, seed) == "S"
    assert qn.random_maze_ascii(1, 3, math.nan, seed) == "S\n.\nG"


@pytest.mark.parametrize("width, height, message", [
    *[(w, h, "grid must be non-empty") for w, h in [(0, 5), (5, 0), (-1, 3), (3, -2**31)]],
    (65536, 32768, "grid too large: 65536×32768 = 2147483648 cells (max 2147483647)"),
])
def test_random_maze_panics_on_sizes_the_grid_refuses(width, height, message):
    """No cells, or 2^31 cells or more, panics with the grid's message before any draw."""
    assert panic_message(qn.random_maze_ascii, width, height, 0.3, 1) == message


# --- argument conversion -----------------------------------------------------


@pytest.mark.parametrize(
    "fn, args, exc, message",
    [
        (qn.gen_erdos_renyi, (-1, 0.5, 1), OverflowError, None),
        (qn.gen_erdos_renyi, (5, "0.5", 1), TypeError,
         "argument 'p': must be real number, not str"),
        (qn.gen_barabasi_albert, (5, 2, -3), OverflowError, None),
        (qn.gen_watts_strogatz, (10, 2, 0.1, 1.5), TypeError, None),
        (qn.random_maze_ascii, (2**31, 2, 0.1, 1), OverflowError, None),
    ],
)
def test_bad_arguments(fn, args, exc, message):
    """Conversion errors are raised before anything is generated."""
    with pytest.raises(exc) as excinfo:
        fn(*args)
    assert type(excinfo.value) is exc
    if message is not None:
        assert str(excinfo.value) == message


def test_keywords_bind_by_name():
    """Every parameter may be given by keyword."""
    assert qn.gen_watts_strogatz(seed=1, beta=0.0, k=2, n=4) != []
    assert qn.random_maze_ascii(seed=9, obstacle_density=0.0, height=1, width=2) == "SG"
