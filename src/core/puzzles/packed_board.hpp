// `PackedBoard`: the node form of the N-puzzle on boards of up to 16 cells
// (1x1 to 4x4), one 64-bit word with 4 bits per cell.
//
// Cell i of the board is bits 4i .. 4i+3 of the word; cells from n on are 0.
// A board always holds a permutation of 0 .. n-1 (0 the blank), so exactly
// one of its first n cells is 0 and the board's length is recovered from the
// word itself: n = 1 + the number of non-zero cells. The blank is the first
// zero cell, which therefore is the one 0 of the permutation. The all-ones
// word is never a board (it would hold tile 15 sixteen times).
//
// Equality, hashing and a move are a few word operations: sliding a tile
// onto the blank is one xor of the tile's value into both cells. To the
// module a board reads as a byte string (`size()`, `operator[]`), so its
// Python form is that of the `ByteState` it stands for: a tuple of ints.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "state/fx_hash.hpp"

namespace quorvane {

class PackedBoard {
public:
    static constexpr std::size_t kMaxCells = 16;

    // The 1x1 board (0).
    constexpr PackedBoard() noexcept = default;

    // `tiles[0 .. n-1]`, a permutation of 0 .. n-1 with n <= kMaxCells.
    static PackedBoard from_tiles(const uint8_t* tiles, std::size_t n) noexcept {
        uint64_t bits = 0;
        for (std::size_t i = 0; i < n; ++i) bits |= static_cast<uint64_t>(tiles[i] & 15) << (4 * i);
        return PackedBoard(bits);
    }

    // The word form and its inverse, for tables that key on one word; the
    // word of a board is never ~0.
    constexpr uint64_t word() const noexcept { return bits_; }
    static constexpr PackedBoard from_word(uint64_t word) noexcept { return PackedBoard(word); }

    uint8_t operator[](std::size_t i) const noexcept {
        return static_cast<uint8_t>((bits_ >> (4 * i)) & 15);
    }

    std::size_t size() const noexcept {
        return static_cast<std::size_t>(std::popcount(nonzero_cells(bits_))) + 1;
    }

    // The cell of the blank.
    std::size_t blank() const noexcept {
        return static_cast<std::size_t>(std::countr_zero(~nonzero_cells(bits_) & kLowBits)) / 4;
    }

    friend constexpr bool operator==(PackedBoard, PackedBoard) noexcept = default;

    // Bit 4i set exactly when cell i of `bits` is not 0.
    static constexpr uint64_t nonzero_cells(uint64_t bits) noexcept {
        const uint64_t x = bits | (bits >> 1);
        return (x | (x >> 2)) & kLowBits;
    }

private:
    static constexpr uint64_t kLowBits = 0x1111111111111111ULL;

    constexpr explicit PackedBoard(uint64_t bits) noexcept : bits_(bits) {}

    uint64_t bits_ = 0;
};

// The word with its high half folded onto its low half. The tables take
// their slot from bits 38 and up of the Fx product, which depend only on the
// bits of the word fed up to that position: fed whole, boards that differ
// only in their last three or four cells (every move in the bottom row of
// a 4x4 board) would share a slot.
inline void fx_feed(FxHasher& h, PackedBoard board) noexcept {
    const uint64_t w = board.word();
    h.add(w ^ (w >> 32));
}

}  // namespace quorvane
