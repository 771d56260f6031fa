// The seeded random stream of the generators and the random maze.
//
// `ChaCha8Rng` is the ChaCha stream cipher with 8 rounds (4 double rounds),
// in its original layout: a 64-bit block counter in state words 12-13 and a
// 64-bit nonce (always zero) in words 14-15. The key is a PCG32 expansion of
// the caller's 64-bit seed. The stream is read as 32-bit words: stream word w
// is output word (w mod 16) of block (w div 16). Every draw takes whole words
// from the front of the stream, in order; none is skipped or used twice.
//
// Guarantees (each is relied on for bit-exact graphs and mazes):
//   - equal seeds give equal streams, on every platform;
//   - `next_u64` takes the next two words, the earlier one as the low half,
//     also across a refill;
//   - `gen_f64` takes exactly two words and gives k * 2^-53, k < 2^53;
//   - the range draws reject with the conservative zone (n << lz(n)) - 1, so
//     for a power of two n (1 included) half of all draws are rejected; the
//     number of words a range draw takes depends on this and must not be
//     "improved";
//   - `choose` on an empty list takes no word.
//
// A generator is made per call (`seed_from_u64`), owned by that call and
// dropped at its end; it is never shared between threads. The buffer holds
// four blocks (64 words), refilled four blocks at a time; the four blocks of
// a refill are independent and computed in vector lanes where the compiler
// offers vector types.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "panic.hpp"
#include "uint128.hpp"

namespace quorvane {

using ChaChaKey = std::array<uint32_t, 8>;

namespace detail {

inline constexpr uint32_t kChaChaConstants[4] = {0x61707865u, 0x3320646eu, 0x79622d32u,
                                                 0x6b206574u};
inline constexpr int kChaChaDoubleRounds = 4;

// One quarter round on any type with wrapping +, ^, << and >> (a word, or a
// vector of words).
template <class W>
inline void chacha_quarter(W& a, W& b, W& c, W& d) noexcept {
    a += b;
    d ^= a;
    d = (d << 16) | (d >> 16);
    c += d;
    b ^= c;
    b = (b << 12) | (b >> 20);
    a += b;
    d ^= a;
    d = (d << 8) | (d >> 24);
    c += d;
    b ^= c;
    b = (b << 7) | (b >> 25);
}

// The 8-round permutation of a 16-word state, generic over the word type.
template <class W>
inline void chacha8_rounds(W (&x)[16]) noexcept {
    for (int r = 0; r < kChaChaDoubleRounds; ++r) {
        chacha_quarter(x[0], x[4], x[8], x[12]);
        chacha_quarter(x[1], x[5], x[9], x[13]);
        chacha_quarter(x[2], x[6], x[10], x[14]);
        chacha_quarter(x[3], x[7], x[11], x[15]);
        chacha_quarter(x[0], x[5], x[10], x[15]);
        chacha_quarter(x[1], x[6], x[11], x[12]);
        chacha_quarter(x[2], x[7], x[8], x[13]);
        chacha_quarter(x[3], x[4], x[9], x[14]);
    }
}

#if defined(__GNUC__)
// Four lanes of 32-bit words; GCC and Clang lower this to SSE2/NEON/AVX or,
// without vector units, to scalar code. Lane l holds block c + l.
typedef uint32_t ChaChaLanes __attribute__((vector_size(16)));
#define QUORVANE_CHACHA_LANES 1
#endif

}  // namespace detail

// Writes the 16 output words of block `block` (the 64-bit block number)
// under `key` with a zero nonce.
inline void chacha8_block(const ChaChaKey& key, uint64_t block, uint32_t (&out)[16]) noexcept {
    uint32_t input[16];
    for (int i = 0; i < 4; ++i) input[i] = detail::kChaChaConstants[i];
    for (int i = 0; i < 8; ++i) input[4 + i] = key[i];
    input[12] = static_cast<uint32_t>(block);
    input[13] = static_cast<uint32_t>(block >> 32);
    input[14] = 0;
    input[15] = 0;
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = input[i];
    detail::chacha8_rounds(x);
    for (int i = 0; i < 16; ++i) out[i] = x[i] + input[i];
}

// Writes blocks block, block + 1, block + 2 and block + 3 (mod 2^64) into
// out[0..15], out[16..31], out[32..47] and out[48..63].
inline void chacha8_blocks4(const ChaChaKey& key, uint64_t block, uint32_t* out) noexcept {
#if defined(QUORVANE_CHACHA_LANES)
    using V = detail::ChaChaLanes;
    V input[16];
    for (int i = 0; i < 4; ++i) input[i] = V{} + detail::kChaChaConstants[i];
    for (int i = 0; i < 8; ++i) input[4 + i] = V{} + key[i];
    uint32_t lo[4];
    uint32_t hi[4];
    for (int l = 0; l < 4; ++l) {
        const uint64_t b = block + static_cast<uint64_t>(l);
        lo[l] = static_cast<uint32_t>(b);
        hi[l] = static_cast<uint32_t>(b >> 32);
    }
    input[12] = V{lo[0], lo[1], lo[2], lo[3]};
    input[13] = V{hi[0], hi[1], hi[2], hi[3]};
    input[14] = V{};
    input[15] = V{};
    V x[16];
    for (int i = 0; i < 16; ++i) x[i] = input[i];
    detail::chacha8_rounds(x);
    for (int i = 0; i < 16; ++i) {
        const V w = x[i] + input[i];
        for (int l = 0; l < 4; ++l) out[16 * l + i] = w[l];
    }
#else
    for (int l = 0; l < 4; ++l) {
        uint32_t words[16];
        chacha8_block(key, block + static_cast<uint64_t>(l), words);
        for (int i = 0; i < 16; ++i) out[16 * l + i] = words[i];
    }
#endif
}

class ChaCha8Rng {
public:
    static constexpr std::size_t kBufferWords = 64;

    // The key is eight PCG32 outputs; the state is advanced before each
    // output, so seed 0 gives an ordinary key.
    static ChaCha8Rng seed_from_u64(uint64_t seed) noexcept {
        constexpr uint64_t kMul = 0x5851f42d4c957f2dULL;
        constexpr uint64_t kInc = 0xa17654e46fbe17f3ULL;
        ChaCha8Rng rng;
        uint64_t s = seed;
        for (std::size_t i = 0; i < 8; ++i) {
            s = s * kMul + kInc;
            const auto x = static_cast<uint32_t>((s >> 45) ^ (s >> 27));
            const auto r = static_cast<int>(s >> 59);
            rng.key_[i] = std::rotr(x, r);
        }
        return rng;
    }

    const ChaChaKey& key() const noexcept { return key_; }

    // Number of stream words taken so far (blocks made minus unread words).
    uint64_t words_consumed() const noexcept {
        return (next_block_ - kBufferWords / 16) * 16 + index_;
    }

    uint32_t next_u32() noexcept {
        if (index_ >= kBufferWords) {
            refill();
            index_ = 0;
        }
        return buffer_[index_++];
    }

    uint64_t next_u64() noexcept {
        uint64_t lo;
        uint64_t hi;
        if (index_ + 1 < kBufferWords) {
            lo = buffer_[index_];
            hi = buffer_[index_ + 1];
            index_ += 2;
        } else if (index_ + 1 == kBufferWords) {
            lo = buffer_[kBufferWords - 1];
            refill();
            hi = buffer_[0];
            index_ = 1;
        } else {
            refill();
            lo = buffer_[0];
            hi = buffer_[1];
            index_ = 2;
        }
        return (hi << 32) | lo;
    }

    // Calls f(next_u64()) `count` times, reading whole runs of the buffer at
    // once. The values and the words consumed are exactly those of `count`
    // calls of next_u64.
    template <class F>
    void for_each_u64(uint64_t count, F&& f) {
        while (count > 0) {
            if (index_ + 1 >= kBufferWords) {
                f(next_u64());  // the refill boundary, word 63 + word 0
                --count;
                continue;
            }
            const uint64_t run = std::min<uint64_t>(count, (kBufferWords - index_) / 2);
            const uint32_t* words = buffer_.data() + index_;
            for (uint64_t i = 0; i < run; ++i) {
                f((static_cast<uint64_t>(words[2 * i + 1]) << 32) | words[2 * i]);
            }
            index_ += 2 * run;
            count -= run;
        }
    }

    // Uniform in [0, 1): the top 53 bits of one next_u64, times 2^-53.
    // Calls f(word, j) for the words that the draws j = from .. from + count
    // - 1 places ahead would read, as far as they are already in the buffer
    // (none past it). Consumes nothing: for prefetching what later draws will
    // touch.
    template <class F>
    void peek_u32(uint64_t from, uint64_t count, F&& f) const {
        const uint64_t available = kBufferWords - std::min<uint64_t>(index_, kBufferWords);
        const uint64_t end = std::min(from + count, available);
        for (uint64_t j = from; j < end; ++j) f(buffer_[index_ + j], j);
    }

    double gen_f64() noexcept {
        constexpr double kScale = 1.0 / 9007199254740992.0;  // 2^-53
        return static_cast<double>(next_u64() >> 11) * kScale;
    }

    // Uniform in [0, n). n must be at least 1.
    uint64_t gen_range(uint64_t n) {
        if (n == 0) throw Panic("cannot draw from an empty range");
        const uint64_t zone = (n << std::countl_zero(n)) - 1;
        for (;;) {
            const uint128 p = static_cast<uint128>(next_u64()) * n;
            if (static_cast<uint64_t>(p) <= zone) return static_cast<uint64_t>(p >> 64);
        }
    }

    // Uniform in [0, n) from 32-bit words, one word per attempt. n >= 1.
    uint32_t gen_range_u32(uint32_t n) {
        if (n == 0) throw Panic("cannot draw from an empty range");
        const uint32_t zone = (n << std::countl_zero(n)) - 1;
        for (;;) {
            const uint64_t p = static_cast<uint64_t>(next_u32()) * n;
            if (static_cast<uint32_t>(p) <= zone) return static_cast<uint32_t>(p >> 32);
        }
    }

    // A uniform element of `items`, or nothing (and no draw) when empty.
    template <class T>
    std::optional<T> choose(std::span<const T> items) {
        const std::size_t len = items.size();
        if (len == 0) return std::nullopt;
        if (len <= UINT32_MAX) return items[gen_range_u32(static_cast<uint32_t>(len))];
        return items[static_cast<std::size_t>(gen_range(static_cast<uint64_t>(len)))];
    }

private:
    ChaCha8Rng() = default;

    void refill() noexcept {
        chacha8_blocks4(key_, next_block_, buffer_.data());
        next_block_ += kBufferWords / 16;
    }

    alignas(64) std::array<uint32_t, kBufferWords> buffer_{};
    uint64_t index_ = kBufferWords;  // used up: the first draw refills
    ChaChaKey key_{};
    uint64_t next_block_ = 0;
};

}  // namespace quorvane
