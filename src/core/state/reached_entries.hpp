// The entries of a reached table: what it keeps of each node reached, in
// four layouts from 16 bytes down to 1 (reached_table.hpp says which table
// takes which), and the state of a node.
//
// Parents are stored as ids, so a parent costs no node copy. Besides g and
// the parent, each entry carries the depth (number of steps) of the path by
// which it was recorded; the best-first driver uses it to keep a search with
// reopening and a negative-cost cycle finite. The smaller layouts are for
// searches whose steps all cost 1.0: there g is the depth, and one integer
// holds both (StepEntry); a domain that names its steps by small numbers
// can keep the parent as the move that reached the node (MoveEntry); the
// breadth-first loop on slots needs no g at all (ByteMoveEntry).
#pragma once

#include <cstdint>
#include <limits>

namespace quorvane {

enum class Reached : uint8_t { absent = 0, open = 1, closed = 2 };

namespace detail {

// The entry layouts. In each, an all-zero entry is an absent node, which
// lets the dense and word tables start from zero-filled memory, and the
// low two bits of meta are the state. CostEntry and StepEntry keep the
// parent id and meta = <depth or g> << 2 | state; they differ in where g
// lives.
//
// CostEntry: g as a double beside them; meta holds the depth (steps of
// the path by which the node was recorded), saturating at kMaxDepth.
template <class Id>
struct CostEntry {
    static constexpr Id kMaxDepth = std::numeric_limits<Id>::max() >> 2;

    double g;
    Id parent;
    Id meta;

    double cost() const noexcept { return g; }
    Id depth() const noexcept { return meta >> 2; }
    void set(double new_g, Id new_parent, Id new_depth) noexcept {
        g = new_g;
        parent = new_parent;
        meta = static_cast<Id>((new_depth < kMaxDepth ? new_depth : kMaxDepth) << 2) |
               static_cast<Id>(Reached::open);
    }
};

// StepEntry: for searches in which every step costs exactly 1.0. Then g is
// the number of steps of the path by which the node was recorded, i.e. its
// depth, and one integer holds both: meta = g << 2 | state, half the size.
// Exact because such a g is a whole number below the count of distinct
// nodes (a recorded path never repeats a node: a node is only re-recorded
// at a strictly lower g, so reaching it again further down its own path is
// never an improvement); a table must therefore have at most kMaxSlots
// slots. The depth handed to set() is not needed: it equals g wherever the
// driver reads it back.
// IMPORTANT: only for g that are whole numbers of steps; anything else
// would be stored truncated.
template <class Id>
struct StepEntry {
    static constexpr Id kMaxDepth = std::numeric_limits<Id>::max() >> 2;
    static constexpr uint64_t kMaxSlots = uint64_t{kMaxDepth} + 1;

    Id parent;
    Id meta;

    double cost() const noexcept { return static_cast<double>(meta >> 2); }
    Id depth() const noexcept { return meta >> 2; }
    void set(double new_g, Id new_parent, Id /*new_depth*/) noexcept {
        parent = new_parent;
        meta = static_cast<Id>(static_cast<Id>(new_g) << 2) | static_cast<Id>(Reached::open);
    }
};

// MoveEntry: StepEntry in 4 bytes, for a domain that names each step by
// a small number (HasDenseMoves: the grid's four directions, the disk and
// source peg of a Hanoi move; HasWordMoves: the blank's cell in a packed
// board, in 8 bytes): the parent is kept as the number of the move that
// reached the node and found again from the node's own slot.
// meta = g << 10 | (move + 1) << 2 | state, move + 1 = 0 for no parent;
// at most kMaxMoves moves and kMaxSlots slots (g < 2^22 with 32-bit ids).
template <class Id>
struct MoveEntry {
    static constexpr unsigned kMoveBits = 8;
    static constexpr uint32_t kMaxMoves = (uint32_t{1} << kMoveBits) - 1;
    static constexpr unsigned kGShift = kMoveBits + 2;
    static constexpr uint64_t kMaxSlots = uint64_t{1} << (8 * sizeof(Id) - kGShift);

    Id meta;

    double cost() const noexcept { return static_cast<double>(meta >> kGShift); }
    Id depth() const noexcept { return meta >> kGShift; }
    // The move that reached the node, plus 1; 0 for none.
    Id move() const noexcept { return (meta >> 2) & kMaxMoves; }
    void set(double new_g, Id move_plus1) noexcept {
        meta = static_cast<Id>(static_cast<Id>(new_g) << kGShift) |
               static_cast<Id>(move_plus1 << 2) | static_cast<Id>(Reached::open);
    }
};

// MoveEntry without g, in one byte: for the breadth-first loop on slots
// (slot_loop in drivers/best_first_slots.hpp), which knows the g of each
// node it pops from the order of its pops and never reads one from the
// table. meta = (move + 1) << 2 | state. No g, no depth: a table of this
// layout has no operations that read them (g_id, close_id, depth_id: see
// KeepsCost); close_state_id closes.
template <class Id>
struct ByteMoveEntry {
    static constexpr uint32_t kMaxMoves = 63;

    uint8_t meta;

    Id move() const noexcept { return static_cast<Id>((meta >> 2) & kMaxMoves); }
    // g is not kept.
    void set(double /*new_g*/, Id move_plus1) noexcept {
        meta = static_cast<uint8_t>((move_plus1 << 2) | static_cast<Id>(Reached::open));
    }
};

// A layout that keeps the parent as the number of the move that reached
// the node (MoveEntry, ByteMoveEntry): a table finds the parent again from
// the node and the move, through its domain.
template <class Entry>
concept ParentByMove = requires(const Entry& e) { e.move(); };

// A layout that keeps g and the depth (all but ByteMoveEntry): only a table
// of such a layout reads them back.
template <class Entry>
concept KeepsCost = requires(const Entry& e) {
    e.cost();
    e.depth();
};

}  // namespace detail
}  // namespace quorvane
