// `IntState`: a sequence of int64 values with value semantics, the node form
// of implicit graphs (a state the caller names by an int or a tuple of ints).
//
// Implicit states are mostly short (an int, a coordinate pair), and a search
// copies every node into its tables, frontiers and successor lists: states
// of up to `kInline` (4) values live inside the 40-byte object and cost no
// heap allocation. A longer state keeps its first `kHead` (3) values inside
// too and only the rest, exactly n - 3 values, in one heap block, so a
// state of any length takes no more memory than a `std::vector<int64_t>`
// of it would. The length never changes after construction.
//
// Equality is by length and values. The Fx feed is the length word, then
// each value as a word, in order.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "state/fx_hash.hpp"

namespace quorvane {

class IntState {
public:
    static constexpr std::size_t kInline = 4;
    static constexpr std::size_t kHead = kInline - 1;

    IntState() noexcept = default;

    // `size` values, all 0.
    explicit IntState(std::size_t size) : size_(size) {
        if (!is_inline()) last_.tail = new int64_t[size - kHead]();
    }

    IntState(const int64_t* values, std::size_t size) : IntState(size) {
        for (std::size_t i = 0; i < size; ++i) (*this)[i] = values[i];
    }

    IntState(std::initializer_list<int64_t> values) : IntState(values.begin(), values.size()) {}

    IntState(const IntState& other) : size_(other.size_), head_(other.head_) {
        if (other.is_inline()) {
            last_.value = other.last_.value;
        } else {
            last_.tail = new int64_t[size_ - kHead];
            std::copy(other.last_.tail, other.last_.tail + (size_ - kHead), last_.tail);
        }
    }

    IntState(IntState&& other) noexcept
        : size_(other.size_), head_(other.head_), last_(other.last_) {
        other.reset_empty();
    }

    IntState& operator=(const IntState& other) {
        if (this != &other) {
            IntState copy(other);
            swap(copy);
        }
        return *this;
    }

    IntState& operator=(IntState&& other) noexcept {
        if (this != &other) {
            release();
            size_ = other.size_;
            head_ = other.head_;
            last_ = other.last_;
            other.reset_empty();
        }
        return *this;
    }

    ~IntState() { release(); }

    void swap(IntState& other) noexcept {
        std::swap(size_, other.size_);
        std::swap(head_, other.head_);
        std::swap(last_, other.last_);
    }

    // Makes this the one-value state (value) where it lies: no temporary
    // to copy in.
    void assign_single(int64_t value) noexcept {
        release();
        size_ = 1;
        head_ = {value, 0, 0};
        last_.value = 0;
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    const int64_t& operator[](std::size_t i) const noexcept {
        if (i < kHead) return head_[i];
        return is_inline() ? last_.value : last_.tail[i - kHead];
    }
    int64_t& operator[](std::size_t i) noexcept {
        if (i < kHead) return head_[i];
        return is_inline() ? last_.value : last_.tail[i - kHead];
    }

    friend bool operator==(const IntState& a, const IntState& b) noexcept {
        if (a.size_ != b.size_) return false;
        // Unused inline words are always zero, so the head and the inline
        // last value compare whole, whatever the length, without branches.
        int64_t diff = 0;
        for (std::size_t i = 0; i < kHead; ++i) diff |= a.head_[i] ^ b.head_[i];
        if (a.is_inline()) return (diff | (a.last_.value ^ b.last_.value)) == 0;
        const int64_t* tail = a.last_.tail;
        return diff == 0 && std::equal(tail, tail + (a.size_ - kHead), b.last_.tail);
    }

private:
    bool is_inline() const noexcept { return size_ <= kInline; }

    void release() noexcept {
        if (!is_inline()) delete[] last_.tail;
    }

    void reset_empty() noexcept {
        size_ = 0;
        head_ = {};
        last_.value = 0;
    }

    // Value 3 of an inline state (0 when shorter), or the heap block of
    // values 3 .. size - 1 of a longer one; the length says which member is
    // in use.
    union Last {
        int64_t value;
        int64_t* tail;
    };

    std::size_t size_ = 0;
    std::array<int64_t, kHead> head_{};  // values 0 .. 2; 0 past the length
    Last last_{0};
};

static_assert(sizeof(IntState) == 40 || sizeof(void*) != 8);

inline void fx_feed(FxHasher& h, const IntState& state) noexcept {
    const std::size_t n = state.size();
    h.add(n);
    for (std::size_t i = 0; i < n; ++i) h.add(static_cast<uint64_t>(state[i]));
}

}  // namespace quorvane
