// The frontiers of bfs and dfs: `FifoFrontier` (first in, first out) and
// `LifoFrontier` (last in, first out). They have the shape of
// `PriorityFrontier` (priority_frontier.hpp) and ignore the priority; push
// and pop are O(1) amortised, size() counts every entry held, stale
// duplicates included, and a pop on an empty frontier returns nothing. A
// frontier owns its entries and drops what is left with itself.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvane {

// First in, first out, on a growable ring buffer.
template <class Item>
class FifoFrontier {
public:
    // Inlined into the search loop, whose size would keep the compiler from
    // choosing it; growth is out of line.
    [[gnu::always_inline]] void push(Item item, double /*f*/ = 0.0) {
        if (size_ == capacity_) [[unlikely]]
            grow();
        std::size_t tail = head_ + size_;
        if (tail >= capacity_) tail -= capacity_;
        slots_[tail] = std::move(item);
        ++size_;
    }

    std::optional<Item> pop() {
        if (size_ == 0) return std::nullopt;
        std::optional<Item> result(std::move(slots_[head_]));
        if constexpr (!std::is_trivially_destructible_v<Item>) slots_[head_] = Item();
        if (++head_ == capacity_) head_ = 0;
        --size_;
        return result;
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    // The entry k pops ahead (0: the next), or null when there is none; a
    // hint for prefetching, valid until the next push or pop.
    const Item* peek_ahead(std::size_t k) const noexcept {
        if (k >= size_) return nullptr;
        std::size_t at = head_ + k;
        if (at >= capacity_) at -= capacity_;
        return &slots_[at];
    }

private:
    [[gnu::noinline]] void grow() {
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
