// The frontier of the best-first driver that orders by priority:
// `PriorityFrontier` pops the entry of smallest f first, ties in push order,
// NaN priorities included. The other frontiers (bucket_frontier.hpp,
// queue_frontiers.hpp) keep the same shape:
//
//   push(item[, f]), pop() -> optional item, size().
//
// None ever updates or removes an entry in place: an item whose cost
// improves is pushed again and the older entry stays until it is popped
// (the driver recognises it as stale and skips it). size() counts every
// entry held, stale duplicates included. Pop on an empty frontier returns
// nothing and changes nothing. A frontier owns its entries and drops what is
// left with itself. Push and pop here are O(log n).
//
// Priority order: entry a leaves before b when a.f < b.f, or when neither
// a.f < b.f nor a.f > b.f (equal, or either is NaN) and a was pushed first.
// +0 and -0 are equal; infinities are ordinary priorities. With NaN this is
// no longer a total order (a NaN entry is ordered against every other by
// push number alone), so the sequence of pops is defined by the exact heap
// procedure below, which must not be replaced by another heap algorithm:
//   push: append, sift up while the entry orders before its parent;
//   pop:  take the root, move the last entry to the root, sink a hole from
//         the root to the bottom comparing only children with each other,
//         then sift the moved entry up from where the hole ended.
// Without NaN any correct binary heap gives the same sequence.
//
// Entries hold f as an order-preserving key (`detail::order_key`), which the
// bucket frontiers share.
//
// Optional hooks, for prefetching only (they never change an order):
//   peek_hint()     PeeksNext    the item the next pop would give were nothing
//                                pushed first (this heap, the bucket frontiers)
//   peek_ahead(k)   PeeksAhead   the item k pops ahead, 0 the next, or null
//                                (FifoFrontier)
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "uint128.hpp"

namespace quorvane {

template <class F>
concept PeeksNext = requires(const F& f) { f.peek_hint(); };

template <class F>
concept PeeksAhead = requires(const F& f, std::size_t k) { f.peek_ahead(k); };

namespace detail {

inline constexpr uint64_t kOrderKeySign = uint64_t{1} << 63;

// f as an unsigned key in the same order: for non-NaN a and b, a < b
// exactly when order_key(a) < order_key(b), and a == b exactly when the keys
// are equal (-0 is folded onto +0). NaN keys lie outside that order.
inline uint64_t order_key(double f) noexcept {
    const uint64_t bits = std::bit_cast<uint64_t>(f + 0.0);
    return (bits & kOrderKeySign) != 0 ? ~bits : bits ^ kOrderKeySign;
}

// The f of a key: the inverse of order_key (bit for bit, NaN payloads
// included), except that a -0 comes back as +0.
inline double key_priority(uint64_t key) noexcept {
    return std::bit_cast<double>((key & kOrderKeySign) != 0 ? key ^ kOrderKeySign : ~key);
}

// One heap entry: the item, its priority as an order-preserving key (see
// PriorityFrontier) and its push number. Items of 4 bytes are packed with a
// 32-bit push number into 16 bytes, laid out so that the whole entry read
// as one 128-bit number orders by (key, seq).
template <class Item, bool kPacked = sizeof(Item) == 4 && std::is_trivially_copyable_v<Item>>
struct FrontierEntry {
    Item item_;
    uint64_t key_;
    uint64_t seq_;

    static constexpr uint64_t kSeqEnd = UINT64_MAX;

    FrontierEntry() = default;
    FrontierEntry(Item item, uint64_t key, uint64_t seq)
        : item_(std::move(item)), key_(key), seq_(seq) {}
    Item& item() noexcept { return item_; }
    const Item& item() const noexcept { return item_; }
    uint64_t key() const noexcept { return key_; }
    uint64_t seq() const noexcept { return seq_; }
    void set_seq(uint64_t seq) noexcept { seq_ = seq; }
    uint128 order() const noexcept { return (static_cast<uint128>(key_) << 64) | seq_; }
};

template <class Item>
struct FrontierEntry<Item, true> {
    uint32_t item_bits_;  // lowest: never decides, push numbers are distinct
    uint32_t seq_;
    uint64_t key_;  // highest

    static constexpr uint64_t kSeqEnd = uint64_t{1} << 32;

    FrontierEntry() = default;
    FrontierEntry(Item item, uint64_t key, uint64_t seq)
        : item_bits_(std::bit_cast<uint32_t>(item)), seq_(static_cast<uint32_t>(seq)), key_(key) {}
    Item item() const noexcept { return std::bit_cast<Item>(item_bits_); }
    uint64_t key() const noexcept { return key_; }
    uint64_t seq() const noexcept { return seq_; }
    void set_seq(uint64_t seq) noexcept { seq_ = static_cast<uint32_t>(seq); }
    uint128 order() const noexcept {
        if constexpr (std::endian::native == std::endian::little) {
            uint128 w;
            std::memcpy(&w, this, sizeof w);
            return w;
        } else {
            return (static_cast<uint128>(key_) << 64) | (static_cast<uint64_t>(seq_) << 32) |
                   item_bits_;
        }
    }
};

// Memory for T on 64-byte boundaries (the heap's cache lines).
template <class T>
struct CacheLineAllocator {
    using value_type = T;
    static constexpr std::align_val_t kAlign{64};

    CacheLineAllocator() noexcept = default;
    template <class U>
    CacheLineAllocator(const CacheLineAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(::operator new(n * sizeof(T), kAlign));
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, kAlign); }

    friend bool operator==(const CacheLineAllocator&, const CacheLineAllocator&) noexcept {
        return true;
    }
};

}  // namespace detail

// `kSeqEnd` bounds the push numbers held in an entry; when it is reached,
// the entries are renumbered 0..n-1 in their order, which changes no
// comparison (tests lower it to exercise that).
template <class Item, uint64_t kSeqEnd = detail::FrontierEntry<Item>::kSeqEnd>
class PriorityFrontier {
public:
    PriorityFrontier() { entries_.emplace_back(); }  // the unused place 0
    // Not moved or copied: a moved-from heap would lose its place 0.
    PriorityFrontier(const PriorityFrontier&) = delete;
    PriorityFrontier& operator=(const PriorityFrontier&) = delete;

    void push(Item item, double f) {
        if (next_seq_ == kSeqEnd) renumber();
        nans_ += f != f ? 1 : 0;
        entries_.emplace_back(std::move(item), detail::order_key(f), next_seq_++);
        if (nans_ == 0) {
            sift_up<true>(entries_.size() - 1);
        } else {
            sift_up<false>(entries_.size() - 1);
        }
    }

    std::optional<Item> pop() {
        if (empty()) return std::nullopt;
        const bool exact = nans_ == 0;
        Entry last = std::move(entries_.back());
        entries_.pop_back();
        if (empty()) return std::optional<Item>(take(last));
        std::optional<Item> result(take(entries_[kRoot]));
        entries_[kRoot] = std::move(last);
        if (exact) {
            sift_up<true>(sink_hole_from_root<true>());
        } else {
            sift_up<false>(sink_hole_from_root<false>());
        }
        return result;
    }

    // The item the next pop would give were nothing pushed first; a hint
    // for prefetching only.
    std::optional<Item> peek_hint() const
        requires std::is_trivially_copyable_v<Item>
    {
        if (empty()) return std::nullopt;
        return Item(entries_[kRoot].item());
    }

    std::size_t size() const noexcept { return entries_.size() - 1; }
    bool empty() const noexcept { return entries_.size() == 1; }

private:
    // f is kept as an order-preserving key: comparing (key, seq) as one
    // 128-bit number is the entry order whenever no NaN is on the heap, and
    // it compiles to branch-free code, which matters with the many equal
    // priorities of unit-cost searches. While a NaN is held, entries are
    // compared through their decoded f instead.
    using Entry = detail::FrontierEntry<Item>;

    // The heap is numbered from 1 (place 0 is never used), so that the
    // children of place p are 2p and 2p + 1 and its grandchildren 4p to
    // 4p + 3: with 16-byte entries on a 64-byte aligned array, siblings
    // share a cache line and the four grandchildren fill one.
    static constexpr std::size_t kRoot = 1;

    Item take(Entry& e) {
        if (detail::key_priority(e.key()) != detail::key_priority(e.key())) --nans_;
        return std::move(e.item());
    }

    template <bool kNoNaN>
    static bool before(const Entry& a, const Entry& b) noexcept {
        if constexpr (kNoNaN) {
            return a.order() < b.order();
        } else {
            const double fa = detail::key_priority(a.key());
            const double fb = detail::key_priority(b.key());
            if (fa < fb) return true;
            if (fa > fb) return false;
            return a.seq() < b.seq();
        }
    }

    // Moves the entry at `pos` up while it orders before its parent.
    template <bool kNoNaN>
    void sift_up(std::size_t pos) {
        if (pos == kRoot) return;
        Entry moving = std::move(entries_[pos]);
        while (pos > kRoot) {
            const std::size_t parent = pos / 2;
            if (!before<kNoNaN>(moving, entries_[parent])) break;
            entries_[pos] = std::move(entries_[parent]);
            pos = parent;
        }
        entries_[pos] = std::move(moving);
    }

    // Sinks a hole from the root to the bottom along the smaller children
    // (children compared with each other only) and leaves the root's entry
    // at the hole's final position. Returns that position. Each level asks
    // for the line of the hole's grandchildren, so that the next level's
    // load is on its way while this one compares: the sink is a chain of
    // dependent loads.
    template <bool kNoNaN>
    std::size_t sink_hole_from_root() {
        const std::size_t end = entries_.size();
        Entry placed = std::move(entries_[kRoot]);
        std::size_t hole = kRoot;
        std::size_t child = 2 * kRoot;
        while (child + 1 < end) {  // both children exist
            if (2 * child < end) __builtin_prefetch(entries_.data() + 2 * child);
            child += before<kNoNaN>(entries_[child + 1], entries_[child]) ? 1 : 0;
            entries_[hole] = std::move(entries_[child]);
            hole = child;
            child = 2 * hole;
        }
        if (child == end - 1) {  // a lone left child
            entries_[hole] = std::move(entries_[child]);
            hole = child;
        }
        entries_[hole] = std::move(placed);
        return hole;
    }

    // Gives the entries the push numbers 0..n-1 in their push order; the
    // heap arrangement and every comparison stay as they were.
    void renumber() {
        std::vector<std::pair<uint64_t, std::size_t>> by_seq;
        by_seq.reserve(entries_.size());
        for (std::size_t i = kRoot; i < entries_.size(); ++i)
            by_seq.emplace_back(entries_[i].seq(), i);
        std::sort(by_seq.begin(), by_seq.end());
        for (std::size_t rank = 0; rank < by_seq.size(); ++rank)
            entries_[by_seq[rank].second].set_seq(rank);
        next_seq_ = by_seq.size();
    }

    std::vector<Entry, detail::CacheLineAllocator<Entry>> entries_;
    uint64_t next_seq_ = 0;
    std::size_t nans_ = 0;  // entries with a NaN priority now on the heap
};

}  // namespace quorvane
