// The set of nodes on the current depth-first path.
//
// `OnPathSet<Node>` answers "is this node on the path from the start to the
// node being expanded?" with one Fx-hashed lookup, so the depth-first
// drivers never follow a cycle back into their own path. It behaves as a set
// of node values compared with `==`; its size is the number of nodes on the
// path, which the drivers report as their frontier size.
//
// Membership is a stack: `push` adds the node just expanded, `pop` removes
// the node pushed last. That discipline is what makes the table cheap: it is
// open addressing with linear probing, and because only the newest member is
// ever removed, emptying its slot restores the exact table that existed
// before its insertion, so no tombstones and no backward shifting are needed.
// Growth reinserts the members in push order, which keeps that true.
//
// The set does not copy nodes: it keeps a pointer to each member.
// IMPORTANT: a pushed node must stay at its address until it is popped. The
// drivers push nodes that live in the start slot or in the successor buffer
// of the level below, which they leave untouched while the node is on the
// path.
//
// Callers pass the node's hash (`OnPathSet::hash`) so a child hashed for its
// membership test is not hashed again when it is pushed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "state/fx_hash.hpp"

namespace quorvane {

template <class Node>
class OnPathSet {
public:
    OnPathSet() : slots_(kInitialSlots), mask_(kInitialSlots - 1) {}

    static uint64_t hash(const Node& node) noexcept { return FxHash<Node>{}(node); }

    bool contains(const Node& node, uint64_t hash) const noexcept {
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.node == nullptr) return false;
            if (slot.hash == hash && *slot.node == node) return true;
        }
    }

    // `node` must not be a member already (the drivers test first).
    void push(const Node& node, uint64_t hash) {
        if ((order_.size() + 1) * 2 > slots_.size()) grow();
        order_.push_back(place(&node, hash));
    }

    // Removes the member pushed last; the set must not be empty.
    void pop() noexcept {
        slots_[order_.back()] = Slot{};
        order_.pop_back();
    }

    void clear() noexcept {
        while (!order_.empty()) pop();
    }

    std::size_t size() const noexcept { return order_.size(); }

private:
    static constexpr std::size_t kInitialSlots = 64;

    struct Slot {
        uint64_t hash = 0;
        const Node* node = nullptr;
    };

    std::size_t place(const Node* node, uint64_t hash) noexcept {
        std::size_t i = hash & mask_;
        while (slots_[i].node != nullptr) i = (i + 1) & mask_;
        slots_[i] = Slot{hash, node};
        return i;
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        mask_ = slots_.size() - 1;
        for (std::size_t& at : order_) {
            const Slot moved = old[at];
            at = place(moved.node, moved.hash);
        }
    }

    std::vector<Slot> slots_;
    std::size_t mask_;
    std::vector<std::size_t> order_;  // slot of each member, in push order
};

}  // namespace quorvane
