// The Towers of Hanoi with any number of disks on 1 to 16 pegs.
//
// A state is a `ByteState` with one entry per disk: entry d is the peg that
// disk d stands on, disk 0 the smallest. The order of the disks on a peg is
// implied: largest at the bottom, so a peg's top disk is the smallest-numbered
// disk on it. Start: every disk on peg 0; goal: every disk on peg pegs - 1.
//
// Successors, in this order: for each source peg ascending that holds a disk,
// its top disk d; for each other target peg ascending that is empty or whose
// top disk is larger than d, a copy of the state with disk d moved there, at
// cost 1.0. A disk whose entry is not below min(pegs, 16) neither moves nor
// blocks. Every move can be undone by the reverse move.
//
// The heuristic "misplaced" is `count_mismatches(state, goal)`
// (`MismatchHeuristic`, byte_state.hpp): the disks not on their goal peg.
//
// Towers of up to 2^54 states have a faster form on states of one word,
// numbered_hanoi.hpp; the search functions use it wherever it fits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "domain.hpp"
#include "panic.hpp"
#include "puzzles/byte_state.hpp"

namespace quorvane {

inline constexpr uint64_t kMaxHanoiPegs = 16;

class Hanoi : public FreshSuccessors<Hanoi> {
public:
    using Node = ByteState;

    // Throws Panic "pegs must be between 1 and 16, got {pegs}" for 0 or more
    // than 16 pegs; any disk count is accepted (0 gives empty states).
    Hanoi(uint64_t disks, uint64_t pegs);

    uint64_t disks() const noexcept { return disks_; }
    uint64_t pegs() const noexcept { return pegs_; }

    ByteState start() const;
    ByteState goal() const;

    void successors_into(const Node& state, SuccessorList<Node>& out) const {
        if (state.size() < disks_) throw_short_state(state.size());
        constexpr uint64_t kEmpty = ~uint64_t{0};
        const uint64_t P = pegs_ < kMaxHanoiPegs ? pegs_ : kMaxHanoiPegs;
        // top[p]: the smallest disk on peg p, or kEmpty; an empty slot
        // compares larger than every disk, so "t may take d" is top[t] > d.
        uint64_t top[kMaxHanoiPegs];
        for (auto& slot : top) slot = kEmpty;
        const uint8_t* pegs = state.data();
        for (uint64_t d = disks_; d-- > 0;) {
            if (pegs[d] < P) top[pegs[d]] = d;
        }
        for (uint64_t s = 0; s < P; ++s) {
            const uint64_t d = top[s];
            if (d == kEmpty) continue;
            for (uint64_t t = 0; t < P; ++t) {
                if (t == s || top[t] <= d) continue;
                out.emplace_back(state, 1.0);
                out.back().node[d] = static_cast<uint8_t>(t);
            }
        }
    }

    bool step_costs_nonnegative() const noexcept { return true; }
    bool unit_step_costs() const noexcept { return true; }

private:
    [[noreturn]] void throw_short_state(std::size_t len) const;

    uint64_t disks_;
    uint64_t pegs_;
};

}  // namespace quorvane
