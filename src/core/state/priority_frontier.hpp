// The frontiers of the best-first driver: `PriorityFrontier` (smallest f
// first, ties in push order), `BucketFrontier` (the same order, for
// searches without NaN priorities) and the plain `FifoFrontier` and
// `LifoFrontier`.
//
// All three share one shape: push(item[, f]), pop() -> optional item,
// size(). None ever updates or removes an entry in place: an item whose cost
// improves is pushed again and the older entry stays until it is popped
// (the driver recognises it as stale and skips it). size() counts every
// entry held, stale duplicates included. Pop on an empty frontier returns
// nothing and changes nothing. Push and pop of the priority frontier are
// O(log n); the other two are O(1) amortised. A frontier owns its entries
// and drops what is left with itself.
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
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvane {

namespace detail {

__extension__ using FrontierWide = unsigned __int128;

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
    FrontierEntry(Item item, uint64_t key, uint64_t seq) : item_(std::move(item)), key_(key), seq_(seq) {}
    Item& item() noexcept { return item_; }
    const Item& item() const noexcept { return item_; }
    uint64_t key() const noexcept { return key_; }
    uint64_t seq() const noexcept { return seq_; }
    void set_seq(uint64_t seq) noexcept { seq_ = seq; }
    FrontierWide order() const noexcept { return (static_cast<FrontierWide>(key_) << 64) | seq_; }
};

template <class Item>
struct FrontierEntry<Item, true> {
    uint32_t item_bits_;  // lowest: never decides, push numbers are distinct
    uint32_t seq_;
    uint64_t key_;        // highest

    static constexpr uint64_t kSeqEnd = uint64_t{1} << 32;

    FrontierEntry() = default;
    FrontierEntry(Item item, uint64_t key, uint64_t seq)
        : item_bits_(std::bit_cast<uint32_t>(item)), seq_(static_cast<uint32_t>(seq)), key_(key) {}
    Item item() const noexcept { return std::bit_cast<Item>(item_bits_); }
    uint64_t key() const noexcept { return key_; }
    uint64_t seq() const noexcept { return seq_; }
    void set_seq(uint64_t seq) noexcept { seq_ = static_cast<uint32_t>(seq); }
    FrontierWide order() const noexcept {
        if constexpr (std::endian::native == std::endian::little) {
            FrontierWide w;
            std::memcpy(&w, this, sizeof w);
            return w;
        } else {
            return (static_cast<FrontierWide>(key_) << 64) |
                   (static_cast<uint64_t>(seq_) << 32) | item_bits_;
        }
    }
};

}  // namespace detail

// `kSeqEnd` bounds the push numbers held in an entry; when it is reached,
// the entries are renumbered 0..n-1 in their order, which changes no
// comparison (tests lower it to exercise that).
template <class Item, uint64_t kSeqEnd = detail::FrontierEntry<Item>::kSeqEnd>
class PriorityFrontier {
public:
    void push(Item item, double f) {
        if (next_seq_ == kSeqEnd) renumber();
        nans_ += f != f ? 1 : 0;
        entries_.emplace_back(std::move(item), order_key(f), next_seq_++);
        if (nans_ == 0) {
            sift_up<true>(entries_.size() - 1);
        } else {
            sift_up<false>(entries_.size() - 1);
        }
    }

    std::optional<Item> pop() {
        if (entries_.empty()) return std::nullopt;
        const bool exact = nans_ == 0;
        Entry last = std::move(entries_.back());
        entries_.pop_back();
        if (entries_.empty()) return std::optional<Item>(take(last));
        std::optional<Item> result(take(entries_[0]));
        entries_[0] = std::move(last);
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
        if (entries_.empty()) return std::nullopt;
        return Item(entries_[0].item());
    }

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }

private:
    // f is kept as an order-preserving key: comparing (key, seq) as one
    // 128-bit number is the entry order whenever no NaN is on the heap, and
    // it compiles to branch-free code, which matters with the many equal
    // priorities of unit-cost searches. While a NaN is held, entries are
    // compared through their decoded f instead.
    using Entry = detail::FrontierEntry<Item>;

    static constexpr uint64_t kSign = uint64_t{1} << 63;

    // Monotone for every non-NaN f; -0 is folded onto +0 (they are equal).
    static uint64_t order_key(double f) noexcept {
        const uint64_t bits = std::bit_cast<uint64_t>(f + 0.0);
        return (bits & kSign) != 0 ? ~bits : bits ^ kSign;
    }
    static double priority(uint64_t key) noexcept {
        return std::bit_cast<double>((key & kSign) != 0 ? key ^ kSign : ~key);
    }

    Item take(Entry& e) {
        if (priority(e.key()) != priority(e.key())) --nans_;
        return std::move(e.item());
    }

    template <bool kNoNaN>
    static bool before(const Entry& a, const Entry& b) noexcept {
        if constexpr (kNoNaN) {
            return a.order() < b.order();
        } else {
            const double fa = priority(a.key());
            const double fb = priority(b.key());
            if (fa < fb) return true;
            if (fa > fb) return false;
            return a.seq() < b.seq();
        }
    }

    // Moves the entry at `pos` up while it orders before its parent.
    template <bool kNoNaN>
    void sift_up(std::size_t pos) {
        if (pos == 0) return;
        Entry moving = std::move(entries_[pos]);
        while (pos > 0) {
            const std::size_t parent = (pos - 1) / 2;
            if (!before<kNoNaN>(moving, entries_[parent])) break;
            entries_[pos] = std::move(entries_[parent]);
            pos = parent;
        }
        entries_[pos] = std::move(moving);
    }

    // Sinks a hole from the root to the bottom along the smaller children
    // (children compared with each other only) and leaves the root's entry
    // at the hole's final position. Returns that position.
    template <bool kNoNaN>
    std::size_t sink_hole_from_root() {
        const std::size_t end = entries_.size();
        Entry placed = std::move(entries_[0]);
        std::size_t hole = 0;
        std::size_t child = 1;
        while (child + 1 < end) {  // both children exist
            child += before<kNoNaN>(entries_[child + 1], entries_[child]) ? 1 : 0;
            entries_[hole] = std::move(entries_[child]);
            hole = child;
            child = 2 * hole + 1;
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
        for (std::size_t i = 0; i < entries_.size(); ++i) by_seq.emplace_back(entries_[i].seq(), i);
        std::sort(by_seq.begin(), by_seq.end());
        for (std::size_t rank = 0; rank < by_seq.size(); ++rank)
            entries_[by_seq[rank].second].set_seq(rank);
        next_seq_ = by_seq.size();
    }

    std::vector<Entry> entries_;
    uint64_t next_seq_ = 0;
    std::size_t nans_ = 0;  // entries with a NaN priority now on the heap
};

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
    void push(Item item, double f) {
        if (heap_) {
            heap_->push(std::move(item), f);
            return;
        }
        const uint64_t key = order_key(f);
        if (key < last_) {
            to_heap();
            heap_->push(std::move(item), f);
            return;
        }
        buckets_[bucket_of(key)].items.push_back(Entry{key, std::move(item)});
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
        std::size_t i = 1;
        while (buckets_[i].items.empty()) ++i;
        const Entry* least = buckets_[i].items.data();
        for (const Entry& e : buckets_[i].items) least = e.key < least->key ? &e : least;
        return least->item;
    }

    std::size_t size() const noexcept { return heap_ ? heap_->size() : size_; }
    bool empty() const noexcept { return size() == 0; }

private:
    static constexpr uint64_t kSign = uint64_t{1} << 63;

    struct Entry {
        uint64_t key;
        Item item;
    };
    struct Bucket {
        std::vector<Entry> items;
        std::size_t head = 0;  // only bucket 0 pops from the front
    };

    // Monotone for every non-NaN f; -0 is folded onto +0.
    static uint64_t order_key(double f) noexcept {
        const uint64_t bits = std::bit_cast<uint64_t>(f + 0.0);
        return (bits & kSign) != 0 ? ~bits : bits ^ kSign;
    }
    static double priority(uint64_t key) noexcept {
        return std::bit_cast<double>((key & kSign) != 0 ? key ^ kSign : ~key);
    }

    std::size_t bucket_of(uint64_t key) const noexcept {
        return key == last_ ? 0 : static_cast<std::size_t>(64 - std::countl_zero(key ^ last_));
    }

    // Bucket 0 is empty and entries remain: spreads the lowest bucket.
    [[gnu::noinline]] void refill() {
        buckets_[0].items.clear();
        buckets_[0].head = 0;
        std::size_t i = 1;
        while (buckets_[i].items.empty()) ++i;
        std::vector<Entry> moving = std::move(buckets_[i].items);
        buckets_[i].items.clear();
        uint64_t least = moving[0].key;
        for (const Entry& e : moving) least = e.key < least ? e.key : least;
        last_ = least;
        for (Entry& e : moving) buckets_[bucket_of(e.key)].items.push_back(std::move(e));
        moving.clear();
        buckets_[i].items = std::move(moving);  // keeps the capacity for reuse
    }

    [[gnu::noinline]] void to_heap() {
        heap_ = std::make_unique<PriorityFrontier<Item>>();
        for (Bucket& b : buckets_) {
            for (std::size_t j = b.head; j < b.items.size(); ++j)
                heap_->push(std::move(b.items[j].item), priority(b.items[j].key));
        }
        buckets_ = {};
        size_ = 0;
    }

    std::array<Bucket, 65> buckets_;
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
    void push(Item item, double f) {
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
                }
                --size_;
                return result;
            }
            ++low_;
        }
    }

    // The item the next pop would give were nothing pushed first, when the
    // lowest bucket or the one after it holds it; a hint for prefetching.
    std::optional<Item> peek_hint() const
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

    struct Bucket {
        std::vector<Item> items;
        std::size_t head = 0;  // items before it are popped
    };

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
        buckets_.clear();
    }

    std::vector<Bucket> buckets_ = std::vector<Bucket>(64);
    std::size_t mask_ = 63;
    std::size_t size_ = 0;
    int64_t low_ = 0;   // no held entry has a lower priority
    int64_t high_ = 0;  // nor a higher one
    std::unique_ptr<MonotoneFrontier<Item>> heap_;
};

// First in, first out, on a growable ring buffer.
template <class Item>
class FifoFrontier {
public:
    void push(Item item, double /*f*/ = 0.0) {
        if (size_ == capacity_) grow();
        std::size_t tail = head_ + size_;
        if (tail >= capacity_) tail -= capacity_;
        slots_[tail] = std::move(item);
        ++size_;
    }

    std::optional<Item> pop() {
        if (size_ == 0) return std::nullopt;
        std::optional<Item> result(std::move(slots_[head_]));
        slots_[head_] = Item();
        if (++head_ == capacity_) head_ = 0;
        --size_;
        return result;
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    void grow() {
        const std::size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
        auto slots = std::make_unique<Item[]>(capacity);
        for (std::size_t i = 0; i < size_; ++i) {
            std::size_t from = head_ + i;
            if (from >= capacity_) from -= capacity_;
            slots[i] = std::move(slots_[from]);
        }
        slots_ = std::move(slots);
        capacity_ = capacity;
        head_ = 0;
    }

    std::unique_ptr<Item[]> slots_;
    std::size_t capacity_ = 0;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
};

// Last in, first out.
template <class Item>
class LifoFrontier {
public:
    void push(Item item, double /*f*/ = 0.0) { items_.push_back(std::move(item)); }

    std::optional<Item> pop() {
        if (items_.empty()) return std::nullopt;
        std::optional<Item> result(std::move(items_.back()));
        items_.pop_back();
        return result;
    }

    std::size_t size() const noexcept { return items_.size(); }
    bool empty() const noexcept { return items_.empty(); }

private:
    std::vector<Item> items_;
};

}  // namespace quorvane
