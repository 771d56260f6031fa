// The Towers of Hanoi on states numbered in base `pegs`: the same puzzle as
// `Hanoi` (hanoi.hpp), the same successors in the same order, on a node of
// one word instead of a byte string.
//
// `HanoiNumber`: the state in which disk d stands on peg p_d is the number
//   n = p_0 + p_1 * pegs + p_2 * pegs^2 + ... + p_(disks-1) * pegs^(disks-1),
// so the start (every disk on peg 0) is 0 and the goal (every disk on the
// last peg) pegs^disks - 1. Each state has exactly one number and each
// number below pegs^disks is a state, so the numbers are the dense slots of
// the reached table: no hashing, no stored node, a parent in 4 bytes. The
// node also carries the disk and peg counts, so that it reads back as its
// pegs (`digits_into`, disk 0 first: the entries of the state's ByteState)
// without the domain, and equality is equality of the word.
//
// `NumberedHanoi` holds towers that `fits` allows: 2 to 16 pegs and
// pegs^disks <= 2^54. A move of disk d from peg s to peg t adds
// (t - s) * pegs^d to the number. The top disks of all pegs come from a few
// bit operations on the number when pegs is a power of two (each disk then
// has a field of log2(pegs) bits) and from the digits otherwise. Every step
// costs 1.0, and a move is named by its disk and source peg, so the dense
// table keeps a state in 4 bytes up to 2^22 states and in 8 up to
// kMaxDenseStates (Hanoi searches reach most of their space); hashed beyond.
//
// The heuristic "misplaced" is `count_mismatches(state, goal)`, defined
// here for numbered states: the disks not on their goal peg.
#pragma once

#include <cstddef>
#include <cstdint>

#include "domain.hpp"
#include "state/fx_hash.hpp"
#include "uint128.hpp"

namespace quorvane {

namespace detail {

// n / d for n < 2^54 and 2 <= d < 2^32 by one multiplication (Granlund and
// Montgomery): m = ceil(2^(54 + l) / d) with 2^(l - 1) < d <= 2^l.
class Divisor54 {
public:
    constexpr Divisor54() noexcept : Divisor54(2) {}
    explicit constexpr Divisor54(uint64_t d) noexcept {
        uint32_t l = 0;
        while ((uint64_t{1} << l) < d) ++l;
        shift_ = 54 + l;
        magic_ = static_cast<uint64_t>(((uint128{1} << shift_) + d - 1) / d);
    }
    uint64_t divide(uint64_t n) const noexcept {
        return static_cast<uint64_t>((static_cast<uint128>(n) * magic_) >> shift_);
    }

private:
    uint64_t magic_ = 0;
    uint32_t shift_ = 0;
};

// The base-`pegs` digits of `number` as fields of 4 bits (digit d at bit
// 4 * d), for pegs from 3 to 15 and a number of at most 16 digits: a few
// digits at a time, by table.
uint64_t hanoi_digit_fields(uint64_t number, uint64_t pegs) noexcept;

// The lowest bit of each of the first `fields` fields of `width` bits
// (1 <= width <= 4).
constexpr uint64_t low_field_bits(unsigned width, uint64_t fields) noexcept {
    constexpr uint64_t kEvery[5] = {0, ~uint64_t{0}, 0x5555555555555555, 0x1249249249249249,
                                    0x1111111111111111};
    return width * fields >= 64 ? kEvery[width]
                                : kEvery[width] & ((uint64_t{1} << (width * fields)) - 1);
}

}  // namespace detail

class HanoiNumber {
public:
    static constexpr unsigned kNumberBits = 54;
    static constexpr uint64_t kNumberMask = (uint64_t{1} << kNumberBits) - 1;

    HanoiNumber() noexcept = default;
    // number < pegs^disks <= 2^54, 2 <= pegs <= 16.
    HanoiNumber(uint64_t number, uint64_t disks, uint64_t pegs) noexcept
        : word_(number | disks << kNumberBits | (pegs - 1) << 60) {}

    uint64_t number() const noexcept { return word_ & kNumberMask; }
    // The same disks and pegs, another number.
    HanoiNumber with_number(uint64_t number) const noexcept {
        HanoiNumber n;
        n.word_ = (word_ & ~kNumberMask) | number;
        return n;
    }
    std::size_t size() const noexcept {
        return static_cast<std::size_t>((word_ >> kNumberBits) & 63);
    }
    uint64_t pegs() const noexcept { return (word_ >> 60) + 1; }

    // The peg of every disk, disk 0 first, to out[0 .. size()).
    void digits_into(uint8_t* out) const noexcept;

    uint64_t word() const noexcept { return word_; }
    friend bool operator==(const HanoiNumber&, const HanoiNumber&) = default;

private:
    uint64_t word_ = 0;
};

inline void fx_feed(FxHasher& h, const HanoiNumber& state) noexcept { h.add(state.word()); }

namespace detail {
// count_mismatches of states not both of one power-of-two peg count.
double count_mismatches_by_digits(const HanoiNumber& a, const HanoiNumber& b) noexcept;
}  // namespace detail

// The disks whose pegs differ (count_mismatches of the two peg lists); the
// disks beyond the shorter tower are not compared.
inline double count_mismatches(const HanoiNumber& a, const HanoiNumber& b) noexcept {
    const uint64_t p = a.pegs();
    if (p != b.pegs() || (p & (p - 1)) != 0) return detail::count_mismatches_by_digits(a, b);
    // pegs = 2^W: a disk whose field differs has a bit set in a ^ b; fold
    // each field's bits onto its lowest and count.
    const auto width = static_cast<unsigned>(__builtin_ctzll(p));
    const uint64_t diff = a.number() ^ b.number();
    uint64_t any = diff;
    for (unsigned k = 1; k < width; ++k) any |= diff >> k;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    return static_cast<double>(__builtin_popcountll(any & detail::low_field_bits(width, n)));
}

class NumberedHanoi : public FreshSuccessors<NumberedHanoi> {
public:
    using Node = HanoiNumber;

    static constexpr uint64_t kMaxDenseStates = uint64_t{1} << 24;
    static constexpr uint64_t kMaxPegs = 16;
    static constexpr uint64_t kMaxMoves = kMaxPegs * (kMaxPegs - 1) / 2;

    // Whether towers of `disks` on `pegs` have a numbered form.
    static bool fits(uint64_t disks, uint64_t pegs) noexcept;
    // The towers must fit.
    NumberedHanoi(uint64_t disks, uint64_t pegs) noexcept;

    uint64_t disks() const noexcept { return disks_; }
    uint64_t pegs() const noexcept { return pegs_; }
    Node start() const noexcept { return Node(0, disks_, pegs_); }
    Node goal() const noexcept { return Node(states_ - 1, disks_, pegs_); }

    // Calls f(Node& child, 1.0) for each successor of `state`, in Hanoi's
    // order: source peg ascending, then target peg ascending.
    template <class F>
    void for_each_successor(const Node& state, F&& f) const {
        uint64_t numbers[kMaxMoves + 1];  // moves() writes one past the last move
        const std::size_t n = gather(state.number(), numbers);
        for (std::size_t k = 0; k < n; ++k) {
            Node child = state.with_number(numbers[k]);
            f(child, 1.0);
        }
    }

    void successors_into(const Node& state, SuccessorList<Node>& out) const {
        for_each_successor(state, [&](Node& child, double cost) { out.push_back({child, cost}); });
    }

    bool step_costs_nonnegative() const noexcept { return true; }
    bool unit_step_costs() const noexcept { return true; }

    // Dense reached-table support (state/reached_table.hpp): the number is
    // the slot. Only towers of at most kMaxDenseStates states are dense.
    uint64_t dense_slots() const noexcept { return states_; }
    bool dense_worthwhile() const noexcept { return states_ <= kMaxDenseStates; }
    uint32_t dense_slot(const Node& n) const noexcept { return static_cast<uint32_t>(n.number()); }
    Node dense_node(uint32_t slot) const noexcept { return Node(slot, disks_, pegs_); }
    // A move is named disk * pegs + source peg: the parent is the child
    // with that disk back on the source peg.
    uint32_t dense_moves() const noexcept { return static_cast<uint32_t>(disks_ * pegs_); }
    uint32_t dense_move(uint32_t parent, uint32_t child) const noexcept;
    uint32_t dense_unmove(uint32_t child, uint32_t move) const noexcept;

private:
    static constexpr uint8_t kEmpty = 64;  // above every disk: an empty peg takes any

    // How gather() finds the top disks.
    enum class Fields : uint8_t {
        bits1 = 1,  // pegs = 2^W: the number is the fields of W bits
        bits2 = 2,
        bits3 = 3,
        bits4 = 4,
        digits4 = 5,  // 16 disks at most: the digits made into fields of 4 bits
        digits = 0,   // the digits one by one
    };

    // The numbers of the successors of x, in order, to out; their count.
    std::size_t gather(uint64_t x, uint64_t* out) const noexcept {
        uint8_t top[kMaxPegs];
        switch (fields_) {
            // pegs = 2^W: the number is the fields, and the peg count fixed.
            case Fields::bits1: field_tops<1, 2>(x, top); return moves<2>(x, top, out);
            case Fields::bits2: field_tops<2, 4>(x, top); return moves<4>(x, top, out);
            case Fields::bits3: field_tops<3, 8>(x, top); return moves<8>(x, top, out);
            case Fields::bits4: field_tops<4, 16>(x, top); return moves<16>(x, top, out);
            case Fields::digits4:
                field_tops<4, 0>(detail::hanoi_digit_fields(x, pegs_), top);
                return moves<0>(x, top, out);
            default: digit_tops(x, top); return moves<0>(x, top, out);
        }
    }

    // top[p] = the smallest disk on peg p < pegs (kP, or pegs_ when kP is
    // 0), kEmpty if none. Disk d is the field of W bits at bit W * d: the
    // fields equal to p are those of fields ^ (p in every field) that are
    // all zero.
    template <unsigned W, uint64_t kP>
    void field_tops(uint64_t fields, uint8_t* top) const noexcept {
        const uint64_t pegs = kP != 0 ? kP : pegs_;
        const uint64_t low = low_bits_;
        const uint64_t used = low * ((uint64_t{1} << W) - 1);
        for (uint64_t p = 0; p < pegs; ++p) {
            const uint64_t zero = ~(fields ^ (p * low)) & used;
            uint64_t m = zero;
            for (unsigned k = 1; k < W; ++k) m &= zero >> k;
            m &= low;
            top[p] = m != 0 ? static_cast<uint8_t>(static_cast<unsigned>(__builtin_ctzll(m)) / W)
                            : kEmpty;
        }
    }

    // The same, digit by digit from disk 0, until every peg has its top
    // disk or the disks run out.
    void digit_tops(uint64_t x, uint8_t* top) const noexcept {
        for (uint64_t p = 0; p < pegs_; ++p) top[p] = kEmpty;
        uint64_t found = 0;
        for (uint64_t d = 0; d < disks_ && found < pegs_; ++d) {
            const uint64_t q = divisor_.divide(x);
            const uint64_t digit = x - q * pegs_;
            x = q;
            if (top[digit] == kEmpty) {
                top[digit] = static_cast<uint8_t>(d);
                ++found;
            }
        }
    }

    // The moves of the top disks, source peg ascending, then target peg
    // ascending: a target takes the disk when its own top disk is larger
    // (an empty peg's is kEmpty, so an empty source moves nothing).
    template <uint64_t kP>
    std::size_t moves(uint64_t x, const uint8_t* top, uint64_t* out) const noexcept {
        const uint64_t pegs = kP != 0 ? kP : pegs_;
        std::size_t n = 0;
        for (uint64_t s = 0; s < pegs; ++s) {
            const uint8_t d = top[s];
            if (d == kEmpty) continue;
            const uint64_t from = x - s * power_[d];
            for (uint64_t t = 0; t < pegs; ++t) {
                out[n] = from + t * power_[d];
                n += top[t] > d;
            }
        }
        return n;
    }

    uint64_t disks_;
    uint64_t pegs_;
    uint64_t states_;     // pegs^disks
    uint64_t power_[64];  // pegs^d for d < disks
    Fields fields_;
    uint64_t low_bits_ = 0;  // the lowest bit of each disk's field, for tops() by fields
    detail::Divisor54 divisor_;
};

}  // namespace quorvane
