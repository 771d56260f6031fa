// The Fx hash: the fast, unkeyed multiply-and-rotate hash of every table a
// search keeps (reached tables, on-path sets).
//
// It has no key and no per-process seed: a node hashes to the same value in
// every run. No search result depends on the iteration order of a table
// hashed with it; the value matters only for speed.
//
// A hasher holds one word h (start 0). Adding a word w: h = (h + w) * K.
// Finishing: h rotated left by 26. Byte strings are first folded into one
// word (`fx_fold_bytes`). Each node form is fed by an `fx_feed` overload;
// node types outside this header provide theirs next to their definition
// (found by argument-dependent lookup).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "uint128.hpp"

namespace quorvane {

namespace detail {

inline uint64_t fx_mix(uint64_t x, uint64_t y) noexcept {
    const uint128 p = static_cast<uint128>(x) * y;
    return static_cast<uint64_t>(p) ^ static_cast<uint64_t>(p >> 64);
}

inline uint64_t fx_load8(const unsigned char* p) noexcept {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return w;
}

inline uint64_t fx_load4(const unsigned char* p) noexcept {
    uint32_t w;
    std::memcpy(&w, p, 4);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
    return w;
}

}  // namespace detail

// Folds n bytes into one word; short strings read (possibly overlapping)
// words from both ends, longer ones take 16-byte blocks and an overlapping
// last block.
inline uint64_t fx_fold_bytes(const void* data, std::size_t n) noexcept {
    constexpr uint64_t kS1 = 0x243f6a8885a308d3ULL;
    constexpr uint64_t kS2 = 0x13198a2e03707344ULL;
    constexpr uint64_t kZ = 0xa4093822299f31d0ULL;
    const auto* b = static_cast<const unsigned char*>(data);
    uint64_t s0 = kS1;
    uint64_t s1 = kS2;
    if (n <= 16) {
        if (n >= 8) {
            s0 ^= detail::fx_load8(b);
            s1 ^= detail::fx_load8(b + n - 8);
        } else if (n >= 4) {
            s0 ^= detail::fx_load4(b);
            s1 ^= detail::fx_load4(b + n - 4);
        } else if (n >= 1) {
            s0 ^= b[0];
            s1 ^= (static_cast<uint64_t>(b[n - 1]) << 8) | b[n / 2];
        }
    } else {
        for (std::size_t off = 0; off < n - 16; off += 16) {
            const uint64_t x = detail::fx_load8(b + off);
            const uint64_t y = detail::fx_load8(b + off + 8);
            const uint64_t t = detail::fx_mix(s0 ^ x, kZ ^ y);
            s0 = s1;
            s1 = t;
        }
        s0 ^= detail::fx_load8(b + n - 16);
        s1 ^= detail::fx_load8(b + n - 8);
    }
    return detail::fx_mix(s0, s1) ^ static_cast<uint64_t>(n);
}

class FxHasher {
public:
    static constexpr uint64_t kMultiplier = 0xf1357aea2e62a9c5ULL;

    void add(uint64_t w) noexcept { h_ = (h_ + w) * kMultiplier; }
    void add_bytes(const void* data, std::size_t n) noexcept { add(fx_fold_bytes(data, n)); }
    uint64_t finish() const noexcept { return std::rotl(h_, 26); }

private:
    uint64_t h_ = 0;
};

// Feeds of the node forms that are plain standard types.
inline void fx_feed(FxHasher& h, uint64_t index) noexcept { h.add(index); }

inline void fx_feed(FxHasher& h, const std::vector<uint8_t>& bytes) noexcept {
    h.add(bytes.size());
    h.add_bytes(bytes.data(), bytes.size());
}

// Integer vectors fold their elements' little-endian bytes, 8 per element.
inline void fx_feed(FxHasher& h, const std::vector<int64_t>& values) noexcept {
    h.add(values.size());
    if constexpr (std::endian::native == std::endian::little) {
        h.add_bytes(values.data(), values.size() * 8);
    } else {
        std::vector<unsigned char> le(values.size() * 8);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto v = static_cast<uint64_t>(values[i]);
            for (int k = 0; k < 8; ++k) le[i * 8 + k] = static_cast<unsigned char>(v >> (8 * k));
        }
        h.add_bytes(le.data(), le.size());
    }
}

// Words fold their bytes, then add 0xff (no length word).
inline void fx_feed(FxHasher& h, const std::string& word) noexcept {
    h.add_bytes(word.data(), word.size());
    h.add(0xff);
}

// Hash functor for the search tables.
template <class Node>
struct FxHash {
    std::size_t operator()(const Node& node) const noexcept {
        FxHasher h;
        fx_feed(h, node);
        return static_cast<std::size_t>(h.finish());
    }
};

}  // namespace quorvane
