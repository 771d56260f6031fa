#include "puzzles/hanoi.hpp"

#include <string>

#include "large_array.hpp"
#include "panic.hpp"

namespace quorvane {

Hanoi::Hanoi(uint64_t disks, uint64_t pegs) : disks_(disks), pegs_(pegs) {
    // pegs - 1 wraps for 0, so one unsigned comparison refuses both ends.
    if (pegs - 1 >= kMaxHanoiPegs) {
        throw Panic("pegs must be between 1 and 16, got " + std::to_string(pegs));
    }
    // One byte per disk in every state, and the start and goal are filled
    // at once: a count past physical memory is refused before either is.
    refuse_oversized_allocation(static_cast<long double>(disks) * 2);
}

ByteState Hanoi::start() const { return ByteState(static_cast<std::size_t>(disks_), 0); }

ByteState Hanoi::goal() const {
    return ByteState(static_cast<std::size_t>(disks_), static_cast<uint8_t>(pegs_ - 1));
}

// The first missing disk is the one read: its index is the state's length.
void Hanoi::throw_short_state(std::size_t len) const { panic_index_out_of_bounds(len, len); }

}  // namespace quorvane
