"""search_wordladder: lower-casing, the dictionary, and searches."""


import pytest

import quorvane_native as qn
from helpers import BEST_FIRST, HEURISTIC_TYPE
from reference.domains import ladder_successors
from reference.searches import bfs_path, is_move

OPTIMAL = {"bfs", "ucs", "astar"}
SAME_LENGTH = "start and goal must have the same length"

WORDS = """cold cord card ward warm worm word wore core care dare dire fire
fore form farm harm hard herd head heal teal tell tall toll cool coal goal
load road read bead bear beer deer dear fear gear wear year""".split()


def test_start_and_goal_and_words_are_lower_cased():
    """COLD -> Warm over CORD, card, ward runs all in lower case."""
    result = qn.search_wordladder("COLD", "Warm", ["CORD", "card", "ward"])
    assert result.path == ["cold", "cord", "card", "ward", "warm"]
    assert result.cost == 4.0


@pytest.mark.parametrize(
    "start, goal",
    [("ab", "abc"), ("é", "e"), ("\u0130", "ab"), ("ÉA", "ab")],
)
def test_byte_lengths_must_match_after_lower_casing(start, goal):
    """Lower-cased start and goal of different UTF-8 byte lengths are refused."""
    with pytest.raises(ValueError) as excinfo:
        qn.search_wordladder(start, goal, [], heuristic=5, algorithm="nope")
    assert str(excinfo.value) == SAME_LENGTH


def test_dotted_capital_i_lowers_to_two_characters():
    """U+0130 becomes 'i' + U+0307 (three bytes); only the 'i' can change."""
    result = qn.search_wordladder("\u0130", "x\u0307", [])
    assert result.path == ["i\u0307", "x\u0307"]
    assert qn.search_wordladder("\u0130", "abc", ["\u0131bc"]).found is False


@pytest.mark.parametrize(
    "start, lowered",
    [
        ("ΟΔΟΣ", "οδος"),
        ("ΣΑ", "σα"),
        ("Σ", "σ"),
        ("ΑΣ.", "ας."),
        ("ΑΣ'Β", "ασ'β"),
    ],
)
def test_capital_sigma_takes_its_final_form_at_word_end(start, lowered):
    """Σ lowers to ς when it ends a word, to σ otherwise."""
    result = qn.search_wordladder(start, lowered, [])
    assert result.path == [lowered]


def test_str_subclass_cannot_change_lower_casing():
    """A str subclass with its own lower() is lower-cased as plain text."""

    class Shouting(str):
        def lower(self):
            return "zzz"

    result = qn.search_wordladder(Shouting("CAT"), "cat", [Shouting("BAT")])
    assert result.path == ["cat"]


@pytest.mark.parametrize(
    "start, goal, words, path",
    [
        ("Cat", "cat", [], ["cat"]),
        ("", "", [], [""]),
        ("cat", "cot", [], ["cat", "cot"]),
        ("cat", "dog", [], None),
        # Words of another byte length are kept but never on a path.
        ("cat", "cog", ["co", "cots", "coat", "cot"], ["cat", "cot", "cog"]),
        ("cat", "cog", ["Cot", "COT", "cot"], ["cat", "cot", "cog"]),
        # Any byte may become a lower-case letter, whatever stood there.
        ("c-t", "cat", [], ["c-t", "cat"]),
        ("C9T", "cat", ["c9t"], ["c9t", "cat"]),  # a digit too, after lower-casing
        ("a\x00", "bb", ["b\x00"], ["a\x00", "b\x00", "bb"]),
    ],
)
def test_small_dictionaries(start, goal, words, path):
    """Start = goal, empty and repeated dictionaries, other lengths and non-letters behave."""
    result = qn.search_wordladder(start, goal, words, algorithm="bfs")
    assert result.path == path
    assert result.found == (path is not None)
    if path is None:
        assert result.stop_reason == "exhausted"


def test_multi_byte_words_move_only_their_ascii_bytes():
    """In 'été' only the ASCII 't' may change."""
    result = qn.search_wordladder("été", "éxé", ["éaé", "ata"], algorithm="bfs")
    assert result.path == ["été", "éxé"]
    assert result.nodes_generated == 3


@pytest.mark.parametrize("heuristic", ["hamming", "zero", None])
@pytest.mark.parametrize("algorithm", BEST_FIRST)
def test_every_best_first_algorithm(algorithm, heuristic):
    """Each best-first algorithm finds a ladder of words; the optimal ones the shortest."""
    dictionary = set(WORDS)
    shortest = bfs_path("cold", "warm", ladder_successors(dictionary))
    result = qn.search_wordladder("cold", "warm", WORDS, algorithm=algorithm, heuristic=heuristic)
    path = result.path
    assert path[0] == "cold" and path[-1] == "warm"
    assert all(is_move(ladder_successors(dictionary), a, b) for a, b in zip(path, path[1:]))
    assert result.cost == len(path) - 1
    if algorithm in OPTIMAL:
        assert result.cost == len(shortest) - 1


@pytest.mark.parametrize(
    "start, goal", [("cold", "warm"), ("head", "tall"), ("road", "year"), ("core", "hard")]
)
def test_bfs_matches_reference_path(start, goal):
    """bfs returns the first-reached-parent BFS path: successors by position, then letter."""
    result = qn.search_wordladder(start, goal, WORDS, algorithm="bfs")
    assert result.path == bfs_path(start, goal, ladder_successors(set(WORDS)))


@pytest.mark.parametrize(
    "kwargs, exc, message",
    [
        (
            dict(heuristic="misplaced"),
            ValueError,
            "unknown wordladder heuristic: 'misplaced'. Use hamming, zero, or a callable",
        ),
        (
            dict(heuristic=["hamming"]),
            ValueError,
            HEURISTIC_TYPE,
        ),
        (dict(words="cold"), TypeError, "argument 'words': Can't extract `str` to `Vec`"),
        (
            dict(words=["cord", 3]),
            TypeError,
            "argument 'words': 'int' object cannot be converted to 'PyString'",
        ),
        (
            dict(goal=None),
            TypeError,
            "argument 'goal': 'NoneType' object cannot be converted to 'PyString'",
        ),
    ],
)
def test_argument_errors(kwargs, exc, message):
    """Bad names and wrongly typed arguments raise their fixed messages."""
    args = dict(start="cold", goal="warm", words=WORDS)
    args.update(kwargs)
    with pytest.raises(exc) as excinfo:
        qn.search_wordladder(**args)
    assert str(excinfo.value) == message


def test_callable_heuristic_sees_lower_cased_words():
    """A callable heuristic is called as h(word, goal) with lower-case str."""
    seen = []

    def h(word, goal):
        seen.append((word, goal))
        return sum(a != b for a, b in zip(word, goal))

    result = qn.search_wordladder("COLD", "WARM", WORDS, heuristic=h)
    assert result.path[0] == "cold" and result.path[-1] == "warm"
    assert seen[0] == ("cold", "warm")
    assert all(type(w) is str and w == w.lower() for w, _ in seen)
