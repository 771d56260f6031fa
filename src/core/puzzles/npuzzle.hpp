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
// blank 4. No operation changes the state it is given.
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

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "domain.hpp"
#include "panic.hpp"
#include "puzzles/byte_state.hpp"

namespace quorvane {

class NPuzzle {
public:
    using Node = ByteState;

    explicit NPuzzle(uint64_t side) noexcept : side_(side) {}

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
    static double misplaced(const ByteState& state, const ByteState& goal) noexcept;

    void successors_into(const Node& state, SuccessorList<Node>& out) const {
        if (side_ == 0) throw Panic("the board side of an N-puzzle must be at least 1");
        const std::size_t n = state.size();
        const void* hit = std::memchr(state.data(), 0, n);
        const std::size_t b = hit ? static_cast<const uint8_t*>(hit) - state.data() : 0;
        const auto side = static_cast<int64_t>(side_);
        const auto row = static_cast<int32_t>(b / side_);
        const auto col = static_cast<int32_t>(b % side_);
        const int32_t targets[4][2] = {
            {row - 1, col}, {row + 1, col}, {row, col - 1}, {row, col + 1}};
        for (const auto& rc : targets) {
            if (rc[0] < 0 || rc[0] >= side || rc[1] < 0 || rc[1] >= side) continue;
            const auto t = static_cast<std::size_t>(rc[0] * side + rc[1]);
            if (t >= n || b >= n) throw_out_of_range(n, t >= n ? t : b);
            out.emplace_back(state, 1.0);
            uint8_t* s = out.back().node.data();
            std::swap(s[b], s[t]);
        }
    }

    SuccessorList<Node> successors(const Node& state) const {
        SuccessorList<Node> out;
        out.reserve(4);
        successors_into(state, out);
        return out;
    }

private:
    [[noreturn]] static void throw_out_of_range(std::size_t len, std::size_t index);

    uint64_t side_;
};

// "manhattan", prepared for one goal: a per-cell table of every tile's
// distance to its goal cell, so a state's value is n table reads. For any
// other goal, or a state of another length, it computes
// `NPuzzle::manhattan` directly; the values are identical either way.
class NPuzzleManhattan {
public:
    NPuzzleManhattan(const NPuzzle& puzzle, const ByteState& goal);

    double operator()(const ByteState& state, const ByteState& goal) const {
        if (!table_ || state.size() != goal_.size() || !(goal == goal_)) {
            return puzzle_.manhattan(state, goal);
        }
        const uint8_t* tiles = state.data();
        const uint8_t* table = table_.get();
        uint64_t sum = 0;
        for (std::size_t i = 0, n = state.size(); i < n; ++i) sum += table[i * 256 + tiles[i]];
        return static_cast<double>(sum);
    }

private:
    NPuzzle puzzle_;
    ByteState goal_;
    // table_[cell * 256 + tile]: what `tile` standing at `cell` adds. Only
    // built for a goal of side * side cells with side <= 16 (every distance
    // then fits a byte); null otherwise.
    std::shared_ptr<const uint8_t[]> table_;
};

// "misplaced".
struct NPuzzleMisplaced {
    double operator()(const ByteState& state, const ByteState& goal) const noexcept {
        return NPuzzle::misplaced(state, goal);
    }
};

}  // namespace quorvane
