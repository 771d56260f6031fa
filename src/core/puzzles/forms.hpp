// Which form a puzzle is searched in. The N-puzzle and the Towers of Hanoi
// each have two domains for the same puzzle: the same successors in the
// same order, the same heuristic values and the same states read back, so a
// search gives the same result in either; the one-word form is faster and
// smaller, and is taken wherever it holds the puzzle.
//
//   board_form(cells)        packed (PackedNPuzzle, PackedBoard) for up to
//                            PackedBoard::kMaxCells = 16 cells (sides 1 to
//                            4); bytes (NPuzzle, ByteState) beyond.
//   tower_form(disks, pegs)  numbered (NumberedHanoi, HanoiNumber) where
//                            NumberedHanoi::fits (2 to 16 pegs and
//                            pegs^disks <= 2^54); bytes (Hanoi, ByteState)
//                            otherwise.
//
// The dispatchers take the puzzle in its byte form, pick the form by exactly
// that choice, and call f(domain, start, goal) once with the domain and
// nodes of that form, returning what f returns (f must return one type for
// both forms). The domain passed to f lives for the call only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "puzzles/byte_state.hpp"
#include "puzzles/hanoi.hpp"
#include "puzzles/npuzzle.hpp"
#include "puzzles/numbered_hanoi.hpp"
#include "puzzles/packed_board.hpp"
#include "puzzles/packed_npuzzle.hpp"

namespace quorvane {

enum class BoardForm : uint8_t { packed, bytes };
enum class TowerForm : uint8_t { numbered, bytes };

constexpr BoardForm board_form(std::size_t cells) noexcept {
    return cells <= PackedBoard::kMaxCells ? BoardForm::packed : BoardForm::bytes;
}

inline TowerForm tower_form(uint64_t disks, uint64_t pegs) noexcept {
    return NumberedHanoi::fits(disks, pegs) ? TowerForm::numbered : TowerForm::bytes;
}

// `start` and `goal`: boards of `puzzle` (side * side tiles each, checked
// permutations).
template <class F>
decltype(auto) with_npuzzle_form(const NPuzzle& puzzle, ByteState start, ByteState goal, F&& f) {
    const std::size_t cells = start.size();
    if (board_form(cells) == BoardForm::packed) {
        const PackedNPuzzle packed(puzzle.side());
        return f(packed, PackedBoard::from_tiles(start.data(), cells),
                 PackedBoard::from_tiles(goal.data(), cells));
    }
    return f(puzzle, std::move(start), std::move(goal));
}

// From the start (every disk on peg 0) to the goal (every disk on the last
// peg).
template <class F>
decltype(auto) with_hanoi_form(const Hanoi& hanoi, F&& f) {
    if (tower_form(hanoi.disks(), hanoi.pegs()) == TowerForm::numbered) {
        const NumberedHanoi numbered(hanoi.disks(), hanoi.pegs());
        return f(numbered, numbered.start(), numbered.goal());
    }
    return f(hanoi, hanoi.start(), hanoi.goal());
}

}  // namespace quorvane
