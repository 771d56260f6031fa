// The frontiers of the best-first driver: `PriorityFrontier` (smallest f
// first, ties in push order) and the plain `FifoFrontier` and
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

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

template <class Item>
class PriorityFrontier {
public:
    void push(Item item, double f) {
        entries_.push_back(Entry{std::move(item), f, next_seq_++});
        sift_up(entries_.size() - 1);
    }

    std::optional<Item> pop() {
        if (entries_.empty()) return std::nullopt;
        Entry last = std::move(entries_.back());
        entries_.pop_back();
        if (entries_.empty()) return std::optional<Item>(std::move(last.item));
        std::optional<Item> result(std::move(entries_[0].item));
        entries_[0] = std::move(last);
        sift_up(sink_hole_from_root());
        return result;
    }

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }

private:
    struct Entry {
        Item item;
        double f;
        uint64_t seq;
    };

    static bool before(const Entry& a, const Entry& b) noexcept {
        if (a.f < b.f) return true;
        if (a.f > b.f) return false;
        return a.seq < b.seq;
    }

    // Moves the entry at `pos` up while it orders before its parent.
    void sift_up(std::size_t pos) {
        if (pos == 0) return;
        Entry moving = std::move(entries_[pos]);
        while (pos > 0) {
            const std::size_t parent = (pos - 1) / 2;
            if (!before(moving, entries_[parent])) break;
            entries_[pos] = std::move(entries_[parent]);
            pos = parent;
        }
        entries_[pos] = std::move(moving);
    }

    // Sinks a hole from the root to the bottom along the smaller children
    // (children compared with each other only) and leaves the root's entry
    // at the hole's final position. Returns that position.
    std::size_t sink_hole_from_root() {
        const std::size_t end = entries_.size();
        Entry placed = std::move(entries_[0]);
        std::size_t hole = 0;
        std::size_t child = 1;
        while (child + 1 < end) {  // both children exist
            if (before(entries_[child + 1], entries_[child])) ++child;
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

    std::vector<Entry> entries_;
    uint64_t next_seq_ = 0;
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
