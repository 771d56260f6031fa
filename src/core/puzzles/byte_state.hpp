// `ByteState`: the node form of the N-puzzle (tiles, 0 = blank) and of the
// Towers of Hanoi (the peg of each disk), and `count_mismatches`, the
// position-wise difference count that serves as the Hanoi "misplaced" and
// the word-ladder "hamming" heuristic.
//
// A `ByteState` is a fixed-length byte string with value semantics. States of
// up to `kInlineCapacity` bytes (every board up to 5x5, Hanoi up to 32 disks)
// live inside the object, so copying a node into a table, a frontier or a
// successor list costs no heap allocation; longer states own one heap block
// of exactly their length. The length never changes after construction.
//
// Equality is by length and bytes; the Fx feed is the length word, then the
// fold of the bytes, the same words as the feed of a `std::vector<uint8_t>`
// holding those bytes, so a state hashes identically in either form.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string>
#include <utility>

#include "state/fx_hash.hpp"

namespace quorvane {

class ByteState {
public:
    static constexpr std::size_t kInlineCapacity = 32;

    ByteState() noexcept { std::memset(buf_, 0, sizeof buf_); }

    // `size` bytes, each `fill`.
    explicit ByteState(std::size_t size, uint8_t fill = 0) : ByteState() {
        unsigned char* p = allocate(size);
        std::memset(p, fill, size);
    }

    ByteState(const void* data, std::size_t size) : ByteState() {
        unsigned char* p = allocate(size);
        if (size != 0) std::memcpy(p, data, size);
    }

    ByteState(std::initializer_list<uint8_t> bytes) : ByteState() {
        unsigned char* p = allocate(bytes.size());
        std::copy(bytes.begin(), bytes.end(), p);
    }

    ByteState(const ByteState& other) : size_(other.size_) {
        if (other.is_inline()) {
            std::memcpy(buf_, other.buf_, kInlineCapacity);
        } else {
            std::memset(buf_, 0, sizeof buf_);
            auto* p = static_cast<uint8_t*>(::operator new(other.size()));
            std::memcpy(p, other.heap(), other.size());
            std::memcpy(buf_, &p, sizeof p);
        }
    }

    ByteState(ByteState&& other) noexcept : size_(other.size_) {
        std::memcpy(buf_, other.buf_, kInlineCapacity);
        other.reset_empty();
    }

    ByteState& operator=(const ByteState& other) {
        if (this != &other) {
            ByteState copy(other);
            swap(copy);
        }
        return *this;
    }

    ByteState& operator=(ByteState&& other) noexcept {
        if (this != &other) {
            release();
            std::memcpy(buf_, other.buf_, kInlineCapacity);
            size_ = other.size_;
            other.reset_empty();
        }
        return *this;
    }

    ~ByteState() { release(); }

    void swap(ByteState& other) noexcept {
        uint8_t tmp[kInlineCapacity];
        std::memcpy(tmp, buf_, kInlineCapacity);
        std::memcpy(buf_, other.buf_, kInlineCapacity);
        std::memcpy(other.buf_, tmp, kInlineCapacity);
        std::swap(size_, other.size_);
    }

    std::size_t size() const noexcept { return static_cast<std::size_t>(size_); }
    bool empty() const noexcept { return size_ == 0; }

    const uint8_t* data() const noexcept { return is_inline() ? buf_ : heap(); }
    uint8_t* data() noexcept { return is_inline() ? buf_ : heap(); }

    uint8_t operator[](std::size_t i) const noexcept { return data()[i]; }
    uint8_t& operator[](std::size_t i) noexcept { return data()[i]; }

    const uint8_t* begin() const noexcept { return data(); }
    const uint8_t* end() const noexcept { return data() + size(); }

    friend bool operator==(const ByteState& a, const ByteState& b) noexcept {
        if (a.size_ != b.size_) return false;
        if (!a.is_inline()) return std::memcmp(a.heap(), b.heap(), a.size()) == 0;
        // Unused inline bytes are always zero, so inline states compare as
        // one fixed-size block, word by word and without branches.
        uint64_t diff = 0;
        for (std::size_t k = 0; k < kInlineCapacity; k += 8) diff |= a.word(k) ^ b.word(k);
        return diff == 0;
    }

    // Index of the first 0 byte, or size() when there is none.
    std::size_t find_zero() const noexcept {
        if (!is_inline()) {
            const void* hit = std::memchr(heap(), 0, size());
            return hit ? static_cast<std::size_t>(static_cast<const uint8_t*>(hit) - heap())
                       : size();
        }
        // Word-at-a-time zero-byte search over the inline bytes. The padding
        // past size() is zero, so a hit at or beyond size() means "none".
        constexpr uint64_t kLow = 0x0101010101010101ULL;
        constexpr uint64_t kHigh = 0x8080808080808080ULL;
        for (std::size_t k = 0; k < kInlineCapacity; k += 8) {
            const uint64_t w = word(k);
            // The lowest flagged byte is exactly the first zero byte of w.
            const uint64_t zeros = (w - kLow) & ~w & kHigh;
            if (zeros != 0) {
                const std::size_t at = k + static_cast<std::size_t>(std::countr_zero(zeros)) / 8;
                return at < size() ? at : size();
            }
        }
        return size();
    }

private:
    bool is_inline() const noexcept { return size_ <= kInlineCapacity; }

    // Inline bytes k .. k+7 as a little-endian word (byte k lowest).
    uint64_t word(std::size_t k) const noexcept {
        uint64_t w;
        std::memcpy(&w, buf_ + k, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        return w;
    }

    uint8_t* heap() const noexcept {
        uint8_t* p;
        std::memcpy(&p, buf_, sizeof p);
        return p;
    }

    // Sets the length and returns the storage for it; only called on a
    // freshly zeroed, empty object.
    uint8_t* allocate(std::size_t size) {
        size_ = size;
        if (size <= kInlineCapacity) return buf_;
        auto* p = static_cast<uint8_t*>(::operator new(size));
        std::memcpy(buf_, &p, sizeof p);
        return p;
    }

    void release() noexcept {
        if (!is_inline()) ::operator delete(heap());
    }

    void reset_empty() noexcept {
        std::memset(buf_, 0, sizeof buf_);
        size_ = 0;
    }

    // Inline bytes, or (beyond kInlineCapacity) the heap pointer followed by
    // zeros.
    uint8_t buf_[kInlineCapacity];
    uint64_t size_ = 0;
};

static_assert(sizeof(ByteState) == 40);

inline void fx_feed(FxHasher& h, const ByteState& state) noexcept {
    h.add(state.size());
    h.add_bytes(state.data(), state.size());
}

// The number of positions below the shorter length at which a and b differ.
inline double count_mismatches(const uint8_t* a, std::size_t na, const uint8_t* b,
                               std::size_t nb) noexcept {
    const std::size_t n = std::min(na, nb);
    uint64_t count = 0;
    for (std::size_t i = 0; i < n; ++i) count += a[i] != b[i];
    return static_cast<double>(count);
}

inline double count_mismatches(const ByteState& a, const ByteState& b) noexcept {
    return count_mismatches(a.data(), a.size(), b.data(), b.size());
}

inline double count_mismatches(const std::string& a, const std::string& b) noexcept {
    return count_mismatches(reinterpret_cast<const uint8_t*>(a.data()), a.size(),
                            reinterpret_cast<const uint8_t*>(b.data()), b.size());
}

// Hanoi "misplaced" and word-ladder "hamming": count_mismatches(node, goal).
struct MismatchHeuristic {
    static constexpr bool kNonNegative = true;  // a count
    static constexpr bool kPure = true;
    template <class Node>
    double operator()(const Node& node, const Node& goal) const noexcept {
        return count_mismatches(node, goal);
    }
};

}  // namespace quorvane
