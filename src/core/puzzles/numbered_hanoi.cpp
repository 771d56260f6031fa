#include "puzzles/numbered_hanoi.hpp"

#include <array>
#include <bit>

namespace quorvane {

namespace {

// For pegs that are not a power of two: the digits of every number below
// pegs^k (k digits at a time, pegs^k <= 256) as fields of 4 bits.
struct DigitChunks {
    uint64_t digits = 0;  // k
    uint64_t size = 1;    // pegs^k
    detail::Divisor54 divisor;
    std::array<uint32_t, 256> fields{};
};

constexpr std::array<DigitChunks, NumberedHanoi::kMaxPegs + 1> kChunks = [] {
    std::array<DigitChunks, NumberedHanoi::kMaxPegs + 1> chunks{};
    for (uint64_t p = 3; p < NumberedHanoi::kMaxPegs; ++p) {
        if ((p & (p - 1)) == 0) continue;
        DigitChunks& c = chunks[p];
        while (c.size * p <= 256) {
            c.size *= p;
            ++c.digits;
        }
        c.divisor = detail::Divisor54(c.size);
        for (uint64_t n = 0; n < c.size; ++n) {
            uint64_t x = n;
            for (uint64_t d = 0; d < c.digits; ++d, x /= p)
                c.fields[n] |= static_cast<uint32_t>((x % p) << (4 * d));
        }
    }
    return chunks;
}();

// One divisor for each peg count the numbered form holds.
constexpr std::array<detail::Divisor54, NumberedHanoi::kMaxPegs + 1> kDivisors = [] {
    std::array<detail::Divisor54, NumberedHanoi::kMaxPegs + 1> divisors{};
    for (uint64_t p = 2; p <= NumberedHanoi::kMaxPegs; ++p) divisors[p] = detail::Divisor54(p);
    return divisors;
}();

bool is_power_of_two(uint64_t p) noexcept { return (p & (p - 1)) == 0; }

}  // namespace

uint64_t detail::hanoi_digit_fields(uint64_t number, uint64_t pegs) noexcept {
    const DigitChunks& c = kChunks[pegs];
    uint64_t fields = 0;
    const auto step = static_cast<unsigned>(4 * c.digits);
    for (unsigned shift = 0; number != 0 && shift < 64; shift += step) {
        const uint64_t q = c.divisor.divide(number);
        fields |= uint64_t{c.fields[number - q * c.size]} << shift;
        number = q;
    }
    return fields;
}

void HanoiNumber::digits_into(uint8_t* out) const noexcept {
    const std::size_t n = size();
    const uint64_t p = pegs();
    uint64_t x = number();
    if (is_power_of_two(p) || n <= 16) {
        const unsigned width = is_power_of_two(p) ? static_cast<unsigned>(std::countr_zero(p)) : 4;
        if (!is_power_of_two(p)) x = detail::hanoi_digit_fields(x, p);
        const uint64_t mask = (uint64_t{1} << width) - 1;
        for (std::size_t d = 0; d < n; ++d, x >>= width) out[d] = static_cast<uint8_t>(x & mask);
        return;
    }
    const detail::Divisor54& divisor = kDivisors[p];
    for (std::size_t d = 0; d < n; ++d) {
        const uint64_t q = divisor.divide(x);
        out[d] = static_cast<uint8_t>(x - q * p);
        x = q;
    }
}

double detail::count_mismatches_by_digits(const HanoiNumber& a, const HanoiNumber& b) noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const uint64_t p = a.pegs();
    if (p == b.pegs() && a.size() <= 16 && b.size() <= 16) {
        // As fields of 4 bits, then as count_mismatches does for 16 pegs.
        const uint64_t diff = hanoi_digit_fields(a.number(), p) ^ hanoi_digit_fields(b.number(), p);
        const uint64_t any = diff | diff >> 1 | diff >> 2 | diff >> 3;
        return static_cast<double>(std::popcount(any & low_field_bits(4, n)));
    }
    uint8_t da[64];
    uint8_t db[64];
    a.digits_into(da);
    b.digits_into(db);
    uint64_t count = 0;
    for (std::size_t d = 0; d < n; ++d) count += da[d] != db[d];
    return static_cast<double>(count);
}

uint32_t NumberedHanoi::dense_move(uint32_t parent, uint32_t child) const noexcept {
    // The lowest digit in which the two differ is the disk that moved.
    uint64_t a = parent;
    uint64_t b = child;
    uint64_t disk = 0;
    uint64_t source = 0;
    if (fields_ != Fields::digits && fields_ != Fields::digits4) {
        const auto width = static_cast<unsigned>(fields_);
        disk = static_cast<uint64_t>(std::countr_zero(a ^ b)) / width;
        source = (a >> (width * disk)) & (pegs_ - 1);
    } else {
        for (;; ++disk) {
            const uint64_t qa = divisor_.divide(a);
            const uint64_t qb = divisor_.divide(b);
            source = a - qa * pegs_;
            if (source != b - qb * pegs_) break;
            a = qa;
            b = qb;
        }
    }
    return static_cast<uint32_t>(disk * pegs_ + source);
}

uint32_t NumberedHanoi::dense_unmove(uint32_t child, uint32_t move) const noexcept {
    const uint64_t disk = move / pegs_;
    const uint64_t source = move - disk * pegs_;
    const uint64_t target = fields_ != Fields::digits && fields_ != Fields::digits4
                                ? (child >> (static_cast<unsigned>(fields_) * disk)) & (pegs_ - 1)
                                : child / power_[disk] % pegs_;
    return static_cast<uint32_t>(child - target * power_[disk] + source * power_[disk]);
}

bool NumberedHanoi::fits(uint64_t disks, uint64_t pegs) noexcept {
    if (pegs < 2 || pegs > kMaxPegs) return false;
    uint64_t states = 1;
    for (uint64_t d = 0; d < disks; ++d) {
        if (states > (uint64_t{1} << HanoiNumber::kNumberBits) / pegs) return false;
        states *= pegs;
    }
    return true;
}

NumberedHanoi::NumberedHanoi(uint64_t disks, uint64_t pegs) noexcept
    : disks_(disks),
      pegs_(pegs),
      states_(1),
      power_{},
      fields_(Fields::digits),
      divisor_(kDivisors[pegs]) {
    for (uint64_t d = 0; d < disks; ++d) {
        power_[d] = states_;
        states_ *= pegs;
    }
    if (is_power_of_two(pegs)) {
        const auto width = static_cast<unsigned>(std::countr_zero(pegs));
        fields_ = static_cast<Fields>(width);
        low_bits_ = detail::low_field_bits(width, disks);
    } else if (disks <= 16) {
        fields_ = Fields::digits4;
        low_bits_ = detail::low_field_bits(4, disks);
    }
}

}  // namespace quorvane
