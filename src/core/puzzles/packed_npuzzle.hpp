// The sliding-tile N-puzzle on boards of side 1 to 4, over `PackedBoard`
// nodes: the same puzzle as `NPuzzle` (npuzzle.hpp), one word per state.
//
// Everything a caller can see is NPuzzle's: the successors of a board are
// the blank moved up, down, left, right where the board allows, in that
// order, each at cost 1.0; "manhattan" and "misplaced" give NPuzzle's
// values (integers, exact in a double). A board of the puzzle holds
// side * side cells; the Python layer checks start and goal (permutations of
// the right length) before it packs them.
//
// What the word form buys: no copy bigger than a word, one-word equality and
// hash, a move in a few word operations, and a Manhattan distance read from
// a table a byte (two cells) at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "domain.hpp"
#include "panic.hpp"
#include "puzzles/packed_board.hpp"

namespace quorvane {

class PackedNPuzzle : public FreshSuccessors<PackedNPuzzle, 4> {
public:
    using Node = PackedBoard;

    static constexpr uint64_t kMaxSide = 4;
    static constexpr std::size_t kMaxSuccessors = 4;

    // Throws Panic for a side outside 1 .. kMaxSide.
    explicit PackedNPuzzle(uint64_t side) : side_(side) {
        if (side == 0 || side > kMaxSide)
            throw Panic("a packed N-puzzle board has a side of 1 to 4");
        const auto s = static_cast<int>(side);
        for (int b = 0; b < s * s; ++b) {
            const int row = b / s, col = b % s;
            const int targets[4][2] = {
                {row - 1, col}, {row + 1, col}, {row, col - 1}, {row, col + 1}};
            std::size_t count = 0;
            for (const auto& rc : targets) {
                if (rc[0] < 0 || rc[0] >= s || rc[1] < 0 || rc[1] >= s) continue;
                const int t = rc[0] * s + rc[1];
                moves_[b][count++] = {(uint64_t{1} << (4 * t)) | (uint64_t{1} << (4 * b)),
                                      static_cast<uint8_t>(4 * t)};
            }
            count_[b] = static_cast<uint8_t>(count);
            // The rest move the blank onto itself: the board unchanged.
            for (; count < kMaxSuccessors; ++count)
                moves_[b][count] = {0, static_cast<uint8_t>(4 * b)};
        }
    }

    uint64_t side() const noexcept { return side_; }

    void successors_into(const Node& board, SuccessorList<Node>& out) const {
        Successor<Node> children[kMaxSuccessors];
        const std::size_t count = successors_to(board, children);
        for (std::size_t k = 0; k < count && k < kMaxSuccessors; ++k) out.push_back(children[k]);
    }

    // The successors in out[0 .. count); all kMaxSuccessors entries are
    // written (the board itself past the count), so filling the list takes
    // no branch on the count.
    [[gnu::always_inline]] std::size_t successors_to(const Node& board,
                                                     Successor<Node>* out) const noexcept {
        const uint64_t bits = board.word();  // `out` might hold `board`
        const std::size_t b = board.blank();
        for (std::size_t k = 0; k < kMaxSuccessors; ++k) {
            // The tile at the target cell, xored into it (leaving 0) and
            // into the blank's cell (which held 0).
            const Move& m = moves_[b][k];
            const uint64_t tile = (bits >> m.shift) & 15;
            out[k] = {PackedBoard::from_word(bits ^ (tile * m.cells)), 1.0};
        }
        return count_[b];
    }

    // Every step costs 1.0: best-first searches may use the bucket frontier,
    // or a FIFO where priorities follow g.
    static constexpr bool step_costs_nonnegative() noexcept { return true; }
    static constexpr bool unit_step_costs() noexcept { return true; }

    // A step is named by the cell the blank left: the parent's blank. From
    // the child, the tile in that cell goes back to the child's blank.
    static constexpr uint32_t word_moves() noexcept { return PackedBoard::kMaxCells; }
    static uint32_t word_move(uint64_t parent, uint64_t /*child*/) noexcept {
        return static_cast<uint32_t>(PackedBoard::from_word(parent).blank());
    }
    static uint64_t word_unmove(uint64_t child, uint32_t move) noexcept {
        const uint64_t tile = (child >> (4 * move)) & 15;
        const std::size_t blank = PackedBoard::from_word(child).blank();
        return child ^ (tile << (4 * move)) ^ (tile << (4 * blank));
    }

private:
    struct Move {
        uint64_t cells;  // a 1 in the low bit of the target cell and of the blank's
        uint8_t shift;   // 4 * the target cell
    };

    uint64_t side_;
    // The blank's moves for each blank cell, in move order, then moves of
    // the blank onto itself up to kMaxSuccessors.
    uint8_t count_[PackedBoard::kMaxCells] = {};
    Move moves_[PackedBoard::kMaxCells][kMaxSuccessors] = {};
};

// "manhattan", prepared for one goal: a table of the distances of every
// pair of tiles in each pair of cells, so a board's value is 8 independent
// table reads (quicker than correcting a parent's value for the one tile
// that moved, which is a chain of dependent steps). For another goal the
// distance is worked out afresh; the values are identical either way, and
// equal to NPuzzle::manhattan of the same boards.
class PackedManhattan {
public:
    static constexpr bool kNonNegative = true;  // a sum of distances
    static constexpr bool kPure = true;

    PackedManhattan(const PackedNPuzzle& puzzle, PackedBoard goal)
        : side_(puzzle.side()), goal_(goal) {
        fill_pairs(goal, side_, pairs_);
    }

    double operator()(PackedBoard board, PackedBoard goal) const noexcept {
        return static_cast<double>(whole(board, goal));
    }

    // The same value as an integer.
    int64_t whole(PackedBoard board, PackedBoard goal) const noexcept {
        if (!(goal == goal_)) [[unlikely]]
            return fresh(board, goal);
        return sum(board, pairs_);
    }

private:
    // pairs[k * 256 + byte]: what the two tiles of `byte` standing at cells
    // 2k (low half) and 2k + 1 add; the blank and cells past the board add 0.
    static void fill_pairs(PackedBoard goal, uint64_t side, uint8_t* pairs) noexcept {
        const std::size_t n = static_cast<std::size_t>(side * side);
        int goal_row[16] = {};
        int goal_col[16] = {};
        for (std::size_t i = 0; i < n; ++i) {
            goal_row[goal[i]] = static_cast<int>(i / side);
            goal_col[goal[i]] = static_cast<int>(i % side);
        }
        // distance[cell][tile]: what `tile` standing at `cell` adds.
        uint8_t distance[16][16] = {};
        for (std::size_t cell = 0; cell < n; ++cell) {
            const auto row = static_cast<int>(cell / side);
            const auto col = static_cast<int>(cell % side);
            for (std::size_t tile = 1; tile < 16; ++tile) {
                distance[cell][tile] = static_cast<uint8_t>(std::abs(row - goal_row[tile]) +
                                                            std::abs(col - goal_col[tile]));
            }
        }
        // The byte hi * 16 + lo: tile lo at cell 2k, tile hi at 2k + 1.
        for (std::size_t k = 0; k < 8; ++k) {
            for (std::size_t hi = 0; hi < 16; ++hi) {
                uint8_t* row = pairs + k * 256 + hi * 16;
                for (std::size_t lo = 0; lo < 16; ++lo)
                    row[lo] = static_cast<uint8_t>(distance[2 * k][lo] + distance[2 * k + 1][hi]);
            }
        }
    }

    static uint32_t sum(PackedBoard board, const uint8_t* pairs) noexcept {
        const uint64_t bits = board.word();
        uint32_t total = 0;
#pragma GCC unroll 8
        for (std::size_t k = 0; k < 8; ++k) total += pairs[k * 256 + ((bits >> (8 * k)) & 255)];
        return total;
    }

    [[gnu::noinline, gnu::cold]] int64_t fresh(PackedBoard board, PackedBoard goal) const noexcept {
        uint8_t pairs[8 * 256];
        fill_pairs(goal, side_, pairs);
        return sum(board, pairs);
    }

    uint64_t side_;
    PackedBoard goal_;
    uint8_t pairs_[8 * 256];
};

// "misplaced": the non-blank tiles that differ from the goal.
struct PackedMisplaced {
    static constexpr bool kNonNegative = true;  // a count
    static constexpr bool kPure = true;

    double operator()(PackedBoard board, PackedBoard goal) const noexcept {
        return static_cast<double>(whole(board, goal));
    }

    // The same value as an integer.
    int64_t whole(PackedBoard board, PackedBoard goal) const noexcept {
        const uint64_t wrong = PackedBoard::nonzero_cells(board.word()) &
                               PackedBoard::nonzero_cells(board.word() ^ goal.word());
        return std::popcount(wrong);
    }
};

}  // namespace quorvane
