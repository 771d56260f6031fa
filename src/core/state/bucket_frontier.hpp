// The faster frontiers for best-first searches in which no priority can ever
// be NaN: `BucketFrontier` (one FIFO bucket per integer priority, for unit-
// and digit-cost grids) and `MonotoneFrontier` (a radix heap, for priorities
// that mostly never fall below the last one popped), each falling back to the
// next (bucket -> radix -> the binary heap of priority_frontier.hpp) when a
// priority leaves its reach.
//
// Both have the shape and the size() of `PriorityFrontier` and pop exactly
// its sequence, smallest f first and ties in push order, as long as the
// caller keeps the promise that no priority is NaN: without NaN any correct
// priority queue pops the same sequence, so the fall-backs are invisible.
// Push and pop are O(1) amortised in the integer buckets; in the radix heap
// a refill moves each entry it touches to a strictly lower bucket, so an
// entry moves at most 64 times; once the binary heap has taken over they are
// O(log n). A frontier owns its entries and drops what is left with itself;
// its emptied buckets go to the thread's keeper (kept_memory.hpp) for the
// next frontier of the thread, which is the only state one frontier passes
// on to another: memory, never an entry.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "kept_memory.hpp"
#include "state/priority_frontier.hpp"

namespace quorvane {

// The same order as PriorityFrontier for searches in which no priority can
// ever be NaN (the caller's promise) and priorities mostly never fall below
// the last one popped, as in Dijkstra's algorithm with costs >= 0: a radix
// heap over the order-preserving keys. Bucket 0 holds the keys equal to the
// last key popped, in push order; bucket i > 0 the keys whose highest bit
// differing from it is bit i - 1. A pop with bucket 0 empty takes the lowest
// non-empty bucket, makes its least key the last key and spreads the
// bucket's entries, in order, over the lower buckets (all empty then), so
// entries of equal keys always share a bucket in push order. The first push
// below the last key popped moves every entry, in (f, push) order, into a
// PriorityFrontier for the rest of the search (invisible without NaN).
template <class Item>
class MonotoneFrontier {
public:
    // A frontier starts with the buckets that the last one of its thread
    // left behind, emptied but with their room kept (see the destructor).
    MonotoneFrontier() {
        detail::take_value<KeptItems>([&](KeptItems& kept) noexcept {
            for (std::size_t i = 0; i < kBuckets; ++i) buckets_[i].items = std::move(kept[i]);
        });
    }
    MonotoneFrontier(const MonotoneFrontier&) = delete;
    MonotoneFrontier& operator=(const MonotoneFrontier&) = delete;

    // As for BucketFrontier: a small search would otherwise grow every
    // bucket it spreads into from nothing. The buckets go to the thread's
    // keeper (kept_memory.hpp) while their room is at most kOfferedBytes.
    ~MonotoneFrontier() {
        std::size_t bytes = 0;
        for (const Bucket& b : buckets_) bytes += b.items.capacity() * sizeof(Entry);
        if (bytes == 0 || bytes > kOfferedBytes) return;
        detail::keep_value<KeptItems>(bytes, [&](KeptItems& into) noexcept {
            for (std::size_t i = 0; i < kBuckets; ++i) {
                buckets_[i].items.clear();
                into[i] = std::move(buckets_[i].items);
            }
        });
    }

    void push(Item item, double f) {
        if (heap_) {
            heap_->push(std::move(item), f);
            return;
        }
        const uint64_t key = detail::order_key(f);
        if (key < last_) {
            to_heap();
            heap_->push(std::move(item), f);
            return;
        }
        put(Entry{key, std::move(item)});
        ++size_;
    }

    std::optional<Item> pop() {
        if (heap_) return heap_->pop();
        if (size_ == 0) return std::nullopt;
        Bucket& zero = buckets_[0];
        if (zero.head == zero.items.size()) refill();
        std::optional<Item> result(std::move(zero.items[zero.head].item));
        if (++zero.head == zero.items.size()) {
            zero.items.clear();
            zero.head = 0;
        }
        --size_;
        return result;
    }

    // The item the next pop would give were nothing pushed first; a hint
    // for prefetching only. With bucket 0 empty it looks over the bucket
    // the next refill spreads (the least entry of which is popped next).
    std::optional<Item> peek_hint() const
        requires std::is_trivially_copyable_v<Item>
    {
        if (heap_) return heap_->peek_hint();
        if (size_ == 0) return std::nullopt;
        const Bucket& zero = buckets_[0];
        if (zero.head < zero.items.size()) return zero.items[zero.head].item;
        const std::size_t i = lowest_filled();
        const Entry* least = buckets_[i].items.data();
        for (const Entry& e : buckets_[i].items) least = e.key < least->key ? &e : least;
        return least->item;
    }

    std::size_t size() const noexcept { return heap_ ? heap_->size() : size_; }
    bool empty() const noexcept { return size() == 0; }

private:
    struct Entry {
        uint64_t key;
        Item item;
    };
    struct Bucket {
        std::vector<Entry> items;
        std::size_t head = 0;  // only bucket 0 pops from the front
    };

    static constexpr std::size_t kBuckets = 65;
    static constexpr std::size_t kOfferedBytes = std::size_t{256} << 10;

    // What the keeper holds between frontiers: the buckets' items, emptied.
    using KeptItems = std::array<std::vector<Entry>, kBuckets>;

    std::size_t bucket_of(uint64_t key) const noexcept {
        return key == last_ ? 0 : static_cast<std::size_t>(64 - std::countl_zero(key ^ last_));
    }

    void put(Entry&& e) {
        const std::size_t b = bucket_of(e.key);
        buckets_[b].items.push_back(std::move(e));
        if (b != 0) filled_ |= uint64_t{1} << (b - 1);
    }

    // The lowest bucket above 0 that holds entries; there must be one.
    std::size_t lowest_filled() const noexcept {
        return static_cast<std::size_t>(std::countr_zero(filled_)) + 1;
    }

    // Bucket 0 is empty and entries remain: spreads the lowest bucket.
    [[gnu::noinline]] void refill() {
        buckets_[0].items.clear();
        buckets_[0].head = 0;
        const std::size_t i = lowest_filled();
        std::vector<Entry> moving = std::move(buckets_[i].items);
        buckets_[i].items.clear();
        filled_ &= ~(uint64_t{1} << (i - 1));
        uint64_t least = moving[0].key;
        for (const Entry& e : moving) least = e.key < least ? e.key : least;
        last_ = least;
        for (Entry& e : moving) put(std::move(e));
        moving.clear();
        buckets_[i].items = std::move(moving);  // keeps the capacity for reuse
    }

    [[gnu::noinline]] void to_heap() {
        heap_ = std::make_unique<PriorityFrontier<Item>>();
        for (Bucket& b : buckets_) {
            for (std::size_t j = b.head; j < b.items.size(); ++j)
                heap_->push(std::move(b.items[j].item), detail::key_priority(b.items[j].key));
        }
        buckets_ = {};
        filled_ = 0;
        size_ = 0;
    }

    std::array<Bucket, kBuckets> buckets_;
    uint64_t filled_ = 0;  // bit i - 1: bucket i > 0 holds entries
    std::size_t size_ = 0;
    uint64_t last_ = 0;  // the last key popped; no entry has a lower key
    std::unique_ptr<PriorityFrontier<Item>> heap_;
};

// The same order as PriorityFrontier for searches in which no priority can
// ever be NaN (the caller's promise), faster when priorities are small
// integers, as in unit- and digit-cost grids: one FIFO bucket per integer
// priority in a sliding window, so a pop takes the head of the lowest
// non-empty bucket, which is the entry of least (f, push number). The first
// priority that is not an integer within reach of the window moves every
// entry, in that order, into a MonotoneFrontier, which takes over for the
// rest of the search; with no NaN any correct priority queue pops the same
// sequence, so the switch is invisible. size() counts entries exactly as
// PriorityFrontier does.
// IMPORTANT: a NaN priority breaks the promise: with NaN the pop sequence
// of PriorityFrontier depends on its heap's history, which this one does not
// replay.
template <class Item>
class BucketFrontier {
public:
    // A frontier starts with the buckets that the last one of its thread
    // left behind, emptied but with their room kept (see the destructor).
    BucketFrontier() {
        if (!detail::take_value<KeptBuckets>(
                [&](KeptBuckets& kept) noexcept { buckets_ = std::move(kept); }))
            buckets_.resize(kMinBuckets);
        mask_ = buckets_.size() - 1;
    }
    BucketFrontier(const BucketFrontier&) = delete;
    BucketFrontier& operator=(const BucketFrontier&) = delete;

    // A small search would otherwise spend more time growing each bucket
    // from nothing (an allocation at every doubling) than searching: the
    // buckets go to the thread's keeper (kept_memory.hpp) for the next
    // frontier of the thread, here or when the radix heap takes over, while
    // their room is at most kOfferedBytes. The keeper holds one set per
    // item type; a frontier that ends while another's set is kept (a search
    // inside a callable) frees its own.
    ~BucketFrontier() { keep_buckets(); }

    [[gnu::always_inline]] void push(Item item, double f) {
        // The common case inline: an integer priority inside the current
        // window (what fits() would accept without a change but to high_).
        if (!heap_ && size_ != 0 && f > -kIntegral && f < kIntegral) {
            const auto k = static_cast<int64_t>(f);
            if (static_cast<double>(k) == f && k >= low_ &&
                static_cast<uint64_t>(k - low_) <= mask_) {
                buckets_[static_cast<std::size_t>(k) & mask_].items.push_back(std::move(item));
                ++size_;
                if (k > high_) high_ = k;
                return;
            }
        }
        push_slow(std::move(item), f);
    }

    std::optional<Item> pop() {
        if (heap_) return heap_->pop();
        if (size_ == 0) return std::nullopt;
        for (;;) {
            Bucket& b = buckets_[static_cast<std::size_t>(low_) & mask_];
            if (b.head < b.items.size()) {
                std::optional<Item> result(std::move(b.items[b.head]));
                if (++b.head == b.items.size()) {
                    b.items.clear();
                    b.head = 0;
                } else if (b.head >= kDropFrom && b.head >= b.items.size() - b.head) {
                    drop_popped(b);
                }
                --size_;
                return result;
            }
            ++low_;
        }
    }

    // The item the next pop would give were nothing pushed first, when the
    // lowest bucket or the one after it holds it; a hint for prefetching.
    // Asked for at every expansion: inlined, as push is.
    [[gnu::always_inline]] std::optional<Item> peek_hint() const
        requires std::is_trivially_copyable_v<Item>
    {
        if (heap_) return heap_->peek_hint();
        if (size_ == 0) return std::nullopt;
        for (int64_t k = low_; k <= low_ + 1; ++k) {
            const Bucket& b = buckets_[static_cast<std::size_t>(k) & mask_];
            if (b.head < b.items.size()) return b.items[b.head];
        }
        return std::nullopt;
    }

    std::size_t size() const noexcept { return heap_ ? heap_->size() : size_; }
    bool empty() const noexcept { return size() == 0; }

private:
    static constexpr double kIntegral = 4503599627370496.0;  // 2^52
    // The widest span of priorities held in buckets at once.
    static constexpr int64_t kMaxSpan = int64_t{1} << 16;

    // A bucket that is pushed to as it is popped (A*'s lowest f, in a
    // large layer of equal f) would otherwise keep every entry it ever
    // held: once as many are popped as remain, and at least kDropFrom, the
    // popped ones are dropped, so a bucket holds at most about twice what
    // it has left, for one move of each remaining entry per such drop.
    static constexpr std::size_t kDropFrom = 1024;

    static constexpr std::size_t kMinBuckets = 64;
    static constexpr std::size_t kOfferedBytes = std::size_t{256} << 10;

    struct Bucket {
        std::vector<Item> items;
        std::size_t head = 0;  // items before it are popped
    };

    // What the keeper holds between frontiers: a power-of-two count of
    // empty buckets with room.
    using KeptBuckets = std::vector<Bucket>;

    // Hands the buckets, emptied, to the keeper when their room is small
    // enough and it takes them, else frees them. Leaves none.
    void keep_buckets() noexcept {
        if (buckets_.empty()) return;
        std::size_t bytes = buckets_.size() * sizeof(Bucket);
        for (const Bucket& b : buckets_) bytes += b.items.capacity() * sizeof(Item);
        if (bytes <= kOfferedBytes) {
            detail::keep_value<KeptBuckets>(bytes, [&](KeptBuckets& into) noexcept {
                for (Bucket& b : buckets_) {
                    b.items.clear();
                    b.head = 0;
                }
                into = std::move(buckets_);
            });
        }
        buckets_ = {};
    }

    [[gnu::noinline]] static void drop_popped(Bucket& b) {
        b.items.erase(b.items.begin(), b.items.begin() + static_cast<std::ptrdiff_t>(b.head));
        b.head = 0;
    }

    [[gnu::noinline]] void push_slow(Item item, double f) {
        if (heap_) {
            heap_->push(std::move(item), f);
            return;
        }
        // Integers of magnitude below 2^52 only (infinities and fractions
        // fail the round trip; NaN fails the range test).
        if (f > -kIntegral && f < kIntegral) {
            const auto k = static_cast<int64_t>(f);
            if (static_cast<double>(k) == f && fits(k)) {
                Bucket& b = buckets_[static_cast<std::size_t>(k) & mask_];
                b.items.push_back(std::move(item));
                ++size_;
                if (k > high_) high_ = k;
                return;
            }
        }
        to_heap();
        heap_->push(std::move(item), f);
    }

    // Whether priority k can join the buckets: widens the window as needed.
    // (The rare paths below stay out of line, so that push inlines.)
    // Every held entry lies in [low_, high_].
    bool fits(int64_t k) {
        if (size_ == 0) {
            low_ = high_ = k;
            return true;
        }
        const int64_t low = k < low_ ? k : low_;
        const int64_t high = k > high_ ? k : high_;
        if (high - low >= kMaxSpan) return false;
        if (static_cast<uint64_t>(high - low) >= buckets_.size()) regrow(low, high);
        low_ = low;
        return true;
    }

    // A bucket array of at least high - low + 1 buckets, entries kept.
    [[gnu::noinline]] void regrow(int64_t low, int64_t high) {
        std::size_t n = buckets_.size() * 2;
        while (n <= static_cast<uint64_t>(high - low)) n *= 2;
        std::vector<Bucket> buckets(n);
        for (int64_t k = low_; k <= high_; ++k)
            buckets[static_cast<std::size_t>(k) & (n - 1)] =
                std::move(buckets_[static_cast<std::size_t>(k) & mask_]);
        buckets_ = std::move(buckets);
        mask_ = n - 1;
    }

    // Hands every entry, in (f, push) order, to a heap that takes over.
    [[gnu::noinline]] void to_heap() {
        heap_ = std::make_unique<MonotoneFrontier<Item>>();
        for (int64_t k = low_; size_ > 0 && k <= high_; ++k) {
            Bucket& b = buckets_[static_cast<std::size_t>(k) & mask_];
            for (std::size_t i = b.head; i < b.items.size(); ++i)
                heap_->push(std::move(b.items[i]), static_cast<double>(k));
            size_ -= b.items.size() - b.head;
        }
        keep_buckets();
    }

    std::vector<Bucket> buckets_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
    int64_t low_ = 0;   // no held entry has a lower priority
    int64_t high_ = 0;  // nor a higher one
    std::unique_ptr<MonotoneFrontier<Item>> heap_;
};

}  // namespace quorvane
