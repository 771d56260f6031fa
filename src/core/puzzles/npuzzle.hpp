// The sliding-tile N-puzzle on a side x side board.
//
// A state is a `ByteState` of n = side * side tiles in row-major order (cell
// i is row i / side, column i % side); 0 is the blank, 1 .. n-1 the numbered
// tiles. The blank position is the first 0 (index 0 when there is none).
// One byte per tile holds boards up to side 16; every operation here assumes
// side <= 16, and callers refuse larger boards before building states.
//
// Successors: the blank moved up, down, left, right, in that order, where the
// board allows; each a copy of the state with the blank and that neighbour
// exchanged, at cost 1.0. A corner blank gives 2, an edge blank 3, an inner
// blank 4. No operation changes the state it is given. A puzzle of side 1
// to 16 keeps a table of the blank's targets per cell (shared by its
// copies), so listing successors of a full board costs no division.
//
// Solvability does not count inversions: a start can be slid into a goal
// exactly when (n - number of cycles of the tile permutation that carries
// the start onto the goal) plus the blank's row and column distance between
// the two is even. The rule holds for odd and even sides alike.
//
// What the operations expect (the Python layer checks it): side >= 1, and
// tiles and goal each a permutation of 0 .. n-1 of length n. A side of 0, or
// an index a state cannot hold, throws `Panic`.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "domain.hpp"
#include "panic.hpp"
#include "puzzles/byte_state.hpp"

namespace quorvane {

class NPuzzle : public FreshSuccessors<NPuzzle, 4> {
public:
    using Node = ByteState;

    explicit NPuzzle(uint64_t side);

    uint64_t side() const noexcept { return side_; }

    // True when `tiles` can be slid into `goal`; false when their lengths
    // differ. Throws Panic for a value not below the common length.
    bool is_solvable(const ByteState& tiles, const ByteState& goal) const;

    // 1, 2, ..., n-1, then 0 (the blank in the last cell); [0] for side 1.
    ByteState default_goal() const;

    // Summed Manhattan distance of the non-blank tiles to their cells in
    // `goal`; a tile absent from the goal adds 0. Allocates nothing.
    double manhattan(const ByteState& state, const ByteState& goal) const;

    // Non-blank tiles that differ from the goal, over the shorter length.
    static double misplaced(const ByteState& state, const ByteState& goal) noexcept {
        const std::size_t n = std::min(state.size(), goal.size());
        const uint8_t* s = state.data();
        const uint8_t* g = goal.data();
        uint64_t count = 0;
        for (std::size_t i = 0; i < n; ++i) count += s[i] != 0 && s[i] != g[i];
        return static_cast<double>(count);
    }

    void successors_into(const Node& state, SuccessorList<Node>& out) const {
        const std::size_t n = state.size();
        if (moves_ && n == moves_->cells) {
            // A full board of up to 256 cells: the blank's targets come from
            // the table, in move order, all inside the state.
            const std::size_t zero = state.find_zero();
            const std::size_t b = zero < n ? zero : 0;
            const uint8_t* targets = moves_->to[b];
            for (std::size_t k = 0, count = moves_->count[b]; k < count; ++k) {
                out.emplace_back(state, 1.0);
                uint8_t* s = out.back().node.data();
                std::swap(s[b], s[targets[k]]);
            }
            return;
        }
        successors_slow(state, out);
    }

    // Every step costs 1.0: best-first searches may use the bucket frontier,
    // or a FIFO where priorities follow g.
    static constexpr bool step_costs_nonnegative() noexcept { return true; }
    static constexpr bool unit_step_costs() noexcept { return true; }

private:
    // The blank's target cells for each blank cell, in move order (up, down,
    // left, right), for boards of side 1 to 16.
    struct MoveTable {
        std::size_t cells;
        uint8_t count[256];
        uint8_t to[256][4];
    };

    // Any state length and any side (a state shorter than the board can
    // send the blank off its end: a panic).
    void successors_slow(const Node& state, SuccessorList<Node>& out) const;

    [[noreturn]] static void throw_out_of_range(std::size_t len, std::size_t index);

    uint64_t side_;
    std::shared_ptr<const MoveTable> moves_;  // null beyond side 16 and for side 0
};

// "manhattan", prepared for one goal: a per-cell table of every tile's
// distance to its goal cell, so a state's value is n table reads. For any
// other goal, or a state of another length, it computes
// `NPuzzle::manhattan` directly; the values are identical either way.
class NPuzzleManhattan {
public:
    static constexpr bool kNonNegative = true;  // a sum of distances
    static constexpr bool kPure = true;

    NPuzzleManhattan(const NPuzzle& puzzle, const ByteState& goal);

    double operator()(const ByteState& state, const ByteState& goal) const {
        if (!table_ || state.size() != goal_.size() || !(goal == goal_)) {
            return puzzle_.manhattan(state, goal);
        }
        switch (state.size()) {
            case 9: return sum<9>(state.data(), table_.get());
            case 16: return sum<16>(state.data(), table_.get());
            case 25: return sum<25>(state.data(), table_.get());
            default: return sum(state.data(), table_.get(), state.size());
        }
    }

private:
    // Fixed counts for the common boards, so the loop unrolls.
    template <std::size_t N>
    static double sum(const uint8_t* tiles, const uint8_t* table) noexcept {
        uint32_t total = 0;
#pragma GCC unroll 32
        for (std::size_t i = 0; i < N; ++i) total += table[i * 256 + tiles[i]];
        return static_cast<double>(total);
    }

    static double sum(const uint8_t* tiles, const uint8_t* table, std::size_t n) noexcept {
        uint64_t total = 0;
        for (std::size_t i = 0; i < n; ++i) total += table[i * 256 + tiles[i]];
        return static_cast<double>(total);
    }

    NPuzzle puzzle_;
    ByteState goal_;
    // table_[cell * 256 + tile]: what `tile` standing at `cell` adds. Only
    // built for a goal of side * side cells with side <= 16 (every distance
    // then fits a byte); null otherwise.
    std::shared_ptr<const uint8_t[]> table_;
};

// "misplaced".
struct NPuzzleMisplaced {
    static constexpr bool kNonNegative = true;  // a count
    static constexpr bool kPure = true;

    double operator()(const ByteState& state, const ByteState& goal) const noexcept {
        return NPuzzle::misplaced(state, goal);
    }
};

}  // namespace quorvane
