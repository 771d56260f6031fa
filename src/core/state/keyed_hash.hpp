// Randomly keyed hashing: SipHash-1-3 under a 128-bit key, and the hash set
// built on it.
//
// These sets hold values whose iteration order must not be predictable from
// outside: the word ladder's dictionary, the edge set of `watts_strogatz`
// and the per-node target sets of `barabasi_albert`. They are *not* the
// search tables (those use the unkeyed Fx hash, state/fx_hash.hpp).
//
// Keys: each thread draws one key pair (k0, k1) from the operating system's
// random source the first time it needs one, and keeps it thread-locally.
// Every hasher or set made on that thread takes the current pair and then
// adds one to k0, so no two sets of a thread share a key. Nothing else is
// read from the environment.
//
// Consequence for callers: iterating a `KeyedHashSet` visits its values in an
// order that follows from the set's key, contents and growth history, so it
// differs between sets and between runs. Results that follow that order are
// not reproducible from a seed, by design.
//
// Byte feeds (fixed here, not part of any contract): a 64-bit value is its
// 8 little-endian bytes; a pair is the two values in order; a string is its
// bytes followed by the byte 0xff.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "large_array.hpp"
#include "panic.hpp"

namespace quorvane {

struct SipKey {
    uint64_t k0 = 0;
    uint64_t k1 = 0;
};

// The current key pair of this thread, which then moves on (k0 + 1). The
// first call on a thread reads the operating system's random source; if that
// source cannot be read, it panics with "could not read the operating
// system's random source".
SipKey fresh_sip_key();

// Streaming SipHash with `C` compression and `D` finalisation rounds;
// `SipHasher13` is the one the sets use. Input may arrive in pieces of any
// size; the result depends only on the concatenated bytes.
template <int C, int D>
class SipHasher {
public:
    explicit SipHasher(SipKey key) noexcept
        : v0_(key.k0 ^ 0x736f6d6570736575ULL),
          v1_(key.k1 ^ 0x646f72616e646f6dULL),
          v2_(key.k0 ^ 0x6c7967656e657261ULL),
          v3_(key.k1 ^ 0x7465646279746573ULL) {}

    void write_u64(uint64_t value) noexcept {
        if (tail_len_ == 0) {
            compress(value);
            length_ += 8;
            return;
        }
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        write(bytes, 8);
    }

    void write(const void* data, std::size_t n) noexcept {
        const auto* p = static_cast<const unsigned char*>(data);
        length_ += n;
        if (tail_len_ != 0) {
            // Complete the word begun by an earlier write first.
            const std::size_t take = std::min<std::size_t>(8 - tail_len_, n);
            tail_ |= load_le(p, take) << (8 * tail_len_);
            tail_len_ += static_cast<unsigned>(take);
            p += take;
            n -= take;
            if (tail_len_ < 8) return;
            compress(tail_);
            tail_ = 0;
            tail_len_ = 0;
        }
        for (; n >= 8; p += 8, n -= 8) compress(load_le(p, 8));
        tail_ = load_le(p, n);
        tail_len_ = static_cast<unsigned>(n);
    }

    uint64_t finish() const noexcept {
        SipHasher s = *this;
        const uint64_t b = (static_cast<uint64_t>(s.length_ & 0xff) << 56) | s.tail_;
        s.v3_ ^= b;
        for (int i = 0; i < C; ++i) s.round();
        s.v0_ ^= b;
        s.v2_ ^= 0xff;
        for (int i = 0; i < D; ++i) s.round();
        return s.v0_ ^ s.v1_ ^ s.v2_ ^ s.v3_;
    }

private:
    // The first n (at most 8) bytes at p as a little-endian number.
    static uint64_t load_le(const unsigned char* p, std::size_t n) noexcept {
        uint64_t w = 0;
        for (std::size_t i = 0; i < n; ++i) w |= static_cast<uint64_t>(p[i]) << (8 * i);
        return w;
    }

    void round() noexcept {
        v0_ += v1_;
        v1_ = std::rotl(v1_, 13);
        v1_ ^= v0_;
        v0_ = std::rotl(v0_, 32);
        v2_ += v3_;
        v3_ = std::rotl(v3_, 16);
        v3_ ^= v2_;
        v0_ += v3_;
        v3_ = std::rotl(v3_, 21);
        v3_ ^= v0_;
        v2_ += v1_;
        v1_ = std::rotl(v1_, 17);
        v1_ ^= v2_;
        v2_ = std::rotl(v2_, 32);
    }

    void compress(uint64_t m) noexcept {
        v3_ ^= m;
        for (int i = 0; i < C; ++i) round();
        v0_ ^= m;
    }

    uint64_t v0_, v1_, v2_, v3_;
    uint64_t tail_ = 0;
    uint64_t length_ = 0;
    unsigned tail_len_ = 0;
};

using SipHasher13 = SipHasher<1, 3>;

inline void sip_feed(SipHasher13& h, uint64_t value) noexcept { h.write_u64(value); }

inline void sip_feed(SipHasher13& h, const std::pair<uint64_t, uint64_t>& pair) noexcept {
    h.write_u64(pair.first);
    h.write_u64(pair.second);
}

inline void sip_feed(SipHasher13& h, std::string_view word) noexcept {
    h.write(word.data(), word.size());
    const unsigned char end = 0xff;
    h.write(&end, 1);
}

inline void sip_feed(SipHasher13& h, const std::string& word) noexcept {
    sip_feed(h, std::string_view(word));
}

// A hash functor for standard containers; each default-constructed one takes
// a fresh key, so a container built with it is keyed on its own.
template <class T>
struct KeyedHash {
    SipKey key = fresh_sip_key();

    std::size_t operator()(const T& value) const noexcept {
        SipHasher13 h(key);
        sip_feed(h, value);
        return static_cast<std::size_t>(h.finish());
    }
};

// An open-addressing hash set (linear probing, backward-shift deletion,
// power-of-two capacity, at most 3/4 full) keyed with its own SipHash key.
// Each slot has a tag byte beside it: 0 when the slot is empty, else the
// top 7 bits of its value's hash with the high bit set. A probe compares a
// value only where the tags agree, so a lookup of an absent value (a run
// of several slots at 3/4 full) mostly reads the tags alone.
//
// Iteration visits the occupied slots in slot order. Inserting may grow the
// table and so reorder it; erasing moves later entries of a probe run back.
// Iterators and references are invalidated by every insert and erase.
//
// `rekey_and_clear` empties the set and gives it a fresh key while keeping
// its storage: to every observer it is a new set (a loop that needs "a new
// set per step" uses it to avoid an allocation per step).
template <class T>
class KeyedHashSet {
public:
    KeyedHashSet() : hash_() {}

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // Makes room for `count` values without growing later.
    void reserve(std::size_t count) {
        if (count > slots_.max_size() / 2) throw Panic("capacity overflow");
        std::size_t needed = 8;
        while (needed / 4 * 3 < count) needed *= 2;
        if (needed > slots_.size()) rehash(needed);
    }

    // True when `value` was not present and has been added.
    bool insert(const T& value) { return insert_hashed(value, hash(value)); }

    // The split forms of `insert` and `contains` for many values at once:
    // hash a value, `prefetch` its slot, and insert or look it up a few
    // values later, when the slot is in cache. `hashed` must be
    // hash(value); the results are those of insert(value) and
    // contains(value).
    std::size_t hash(const T& value) const noexcept { return hash_(value); }
    void prefetch(std::size_t hashed) const noexcept {
#if defined(__GNUC__)
        if (!slots_.empty()) {
            __builtin_prefetch(tags_.data() + (hashed & mask_));
            __builtin_prefetch(slots_.data() + (hashed & mask_));
        }
#else
        (void)hashed;
#endif
    }
    bool insert_hashed(const T& value, std::size_t hashed) {
        if ((size_ + 1) > slots_.size() / 4 * 3) rehash(slots_.empty() ? 8 : slots_.size() * 2);
        const unsigned char tag = tag_of(hashed);
        std::size_t i = hashed & mask_;
        while (tags_[i]) {
            if (tags_[i] == tag && slots_[i] == value) return false;
            i = (i + 1) & mask_;
        }
        slots_[i] = value;
        tags_[i] = tag;
        ++size_;
        return true;
    }
    bool contains_hashed(const T& value, std::size_t hashed) const {
        if (size_ == 0) return false;
        const unsigned char tag = tag_of(hashed);
        for (std::size_t i = hashed & mask_; tags_[i]; i = (i + 1) & mask_) {
            if (tags_[i] == tag && slots_[i] == value) return true;
        }
        return false;
    }

    bool contains(const T& value) const {
        return size_ != 0 && contains_hashed(value, hash(value));
    }

    // True when `value` was present and has been removed.
    bool erase(const T& value) {
        if (size_ == 0) return false;
        const std::size_t hashed = hash(value);
        const unsigned char tag = tag_of(hashed);
        std::size_t i = hashed & mask_;
        while (true) {
            if (!tags_[i]) return false;
            if (tags_[i] == tag && slots_[i] == value) break;
            i = (i + 1) & mask_;
        }
        // Backward shift: pull each later entry of the run into the hole
        // unless its home lies cyclically after the hole.
        std::size_t hole = i;
        for (std::size_t j = (i + 1) & mask_; tags_[j]; j = (j + 1) & mask_) {
            const std::size_t h = home(slots_[j]);
            const bool stays = ((j - h) & mask_) < ((j - hole) & mask_);
            if (!stays) {
                slots_[hole] = std::move(slots_[j]);
                tags_[hole] = tags_[j];
                hole = j;
            }
        }
        tags_[hole] = 0;
        slots_[hole] = T{};
        --size_;
        return true;
    }

    void rekey_and_clear() {
        hash_ = KeyedHash<T>();
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (tags_[i]) {
                slots_[i] = T{};
                tags_[i] = 0;
            }
        }
        size_ = 0;
    }

    // Calls f(value) for every value, in iteration order.
    template <class F>
    void for_each(F&& f) const {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (tags_[i]) f(slots_[i]);
        }
    }

    std::vector<T> to_vector() const {
        std::vector<T> out;
        to_vector(out);
        return out;
    }

    // The same into `out`, whose capacity is reused.
    template <class Vector>
    void to_vector(Vector& out) const {
        out.clear();
        if constexpr (std::is_trivially_copyable_v<T>) {
            // Whether a slot is used is a coin toss in a big table: a branch
            // per slot would mostly be mispredicted. Every slot is copied to
            // the next free place (one spare place takes the last unused
            // ones) and only used slots move that place on.
            out.resize(size_ + 1);
            T* dst = out.data();
            std::size_t k = 0;
            for (std::size_t i = 0; i < slots_.size(); ++i) {
                dst[k] = slots_[i];
                k += tags_[i] != 0;
            }
            out.pop_back();
        } else {
            out.reserve(size_);
            for_each([&](const T& v) { out.push_back(v); });
        }
    }

private:
    std::size_t home(const T& value) const noexcept { return hash_(value) & mask_; }
    static unsigned char tag_of(std::size_t hashed) noexcept {
        return static_cast<unsigned char>(0x80 | (static_cast<uint64_t>(hashed) >> 57));
    }

    void rehash(std::size_t capacity) {
        if (capacity > slots_.max_size()) throw Panic("capacity overflow");
        Slots old_slots(capacity, T{});
        Flags old_tags(capacity, 0);
        old_slots.swap(slots_);
        old_tags.swap(tags_);
        mask_ = capacity - 1;
        size_ = 0;
        for (std::size_t i = 0; i < old_slots.size(); ++i) {
            if (!old_tags[i]) continue;
            std::size_t j = home(old_slots[i]);
            while (tags_[j]) j = (j + 1) & mask_;
            slots_[j] = std::move(old_slots[i]);
            tags_[j] = old_tags[i];
            ++size_;
        }
    }

    // A big set's slots are touched in random order: see LargeArrayAllocator.
    using Slots = std::vector<T, LargeArrayAllocator<T>>;
    using Flags = std::vector<unsigned char, LargeArrayAllocator<unsigned char>>;

    KeyedHash<T> hash_;
    Slots slots_;
    Flags tags_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

}  // namespace quorvane
