"""Problem domains seen from Python: rules checked against independent oracles."""

import collections
import itertools

import pytest

import quorvane_native as qn


def reachable_boards(goal, side):
    """Every board the blank can slide to from `goal` (moves are reversible)."""
    seen = {goal}
    queue = collections.deque([goal])
    while queue:
        board = queue.popleft()
        b = board.index(0)
        row, col = divmod(b, side)
        for r, c in ((row - 1, col), (row + 1, col), (row, col - 1), (row, col + 1)):
            if 0 <= r < side and 0 <= c < side:
                tiles = list(board)
                t = r * side + c
                tiles[b], tiles[t] = tiles[t], tiles[b]
                nxt = tuple(tiles)
                if nxt not in seen:
                    seen.add(nxt)
                    queue.append(nxt)
    return seen


@pytest.mark.parametrize("goal", [(1, 2, 3, 0), (0, 3, 2, 1), (2, 0, 1, 3)])
def test_npuzzle_parity_rule_matches_reachability_on_an_even_board(goal):
    """On a 2x2 board a start is accepted exactly when the blank can slide it into the goal."""
    reachable = reachable_boards(goal, 2)
    for tiles in itertools.permutations(range(4)):
        if tiles in reachable:
            result = qn.search_npuzzle(list(tiles), goal=list(goal), algorithm="bfs")
            assert result.path[0] == tiles and result.path[-1] == goal
        else:
            with pytest.raises(ValueError) as excinfo:
                qn.search_npuzzle(list(tiles), goal=list(goal))
            assert str(excinfo.value) == "this configuration is not solvable into the goal (parity)"


@pytest.mark.parametrize("start, goal, words, path", [
    ("c-t", "cat", [], ["c-t", "cat"]),          # a hyphen is replaced like a letter
    ("C9T", "cat", ["c9t"], ["c9t", "cat"]),     # a digit too, after lower-casing
    ("a\x00", "bb", ["b\x00"], ["a\x00", "b\x00", "bb"]),
])
def test_wordladder_replaces_bytes_that_are_not_letters(start, goal, words, path):
    """Any byte of a word may become a lower-case letter, whatever stood there."""
    assert qn.search_wordladder(start, goal, words, algorithm="bfs").path == path
