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
// Most lookups are for nodes that are not members, and most of those must
// end at their first probe, or the branch that ends them is mispredicted
// time and again: each slot has a one-byte tag (empty, or 7 bits of the
// hash), the tags of a short path fit a few cache lines, and the table is
// kept sparse, at most one member per 64 slots up to 2^16 slots (paths of a
// thousand nodes), one per 4 beyond. A node is compared only on a tag match.
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
    OnPathSet() { resize(kInitialSlots, 0); }

    static uint64_t hash(const Node& node) noexcept { return FxHash<Node>{}(node); }

    bool contains(const Node& node, uint64_t hash) const noexcept {
        const Tag tag = tag_of(hash);
        for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const Tag t = tags_[i];
            if (t == Tag::empty) return false;
            if (t == tag && *nodes_[i] == node) return true;
        }
    }

    // `node` must not be a member already (the drivers test first).
    void push(const Node& node, uint64_t hash) {
        if (top_ == limit_) grow();
        *top_++ = place(&node, hash);
    }

    // Removes the member pushed last; the set must not be empty.
    void pop() noexcept { tags_[*--top_] = Tag::empty; }

    void clear() noexcept {
        while (top_ != order_.data()) pop();
    }

    std::size_t size() const noexcept { return static_cast<std::size_t>(top_ - order_.data()); }

private:
    static constexpr std::size_t kInitialSlots = 1024;
    static constexpr std::size_t kSparseSlots = std::size_t{1} << 16;

    // One byte, but not a character type: a store of one may then not
    // alias the set's own fields, which would otherwise be read again
    // after every tag written.
    enum class Tag : uint8_t { empty = 0 };

    // Never Tag::empty.
    static Tag tag_of(uint64_t hash) noexcept { return static_cast<Tag>((hash >> 57) | 0x80); }

    std::size_t place(const Node* node, uint64_t hash) noexcept {
        std::size_t i = hash & mask_;
        while (tags_[i] != Tag::empty) i = (i + 1) & mask_;
        tags_[i] = tag_of(hash);
        nodes_[i] = node;
        return i;
    }

    // Empty slots, and room in order_ for as many members as they may
    // hold; keeps the first `members` entries of order_.
    void resize(std::size_t slots, std::size_t members) {
        tags_.assign(slots, Tag::empty);
        nodes_.assign(slots, nullptr);
        mask_ = slots - 1;
        order_.resize(slots <= kSparseSlots ? slots / 64 : slots / 4);
        top_ = order_.data() + members;
        limit_ = order_.data() + order_.size();
    }

    // Doubles the slots; the members keep their push order.
    [[gnu::noinline]] void grow() {
        const std::size_t count = size();
        std::vector<const Node*> members(count);
        for (std::size_t k = 0; k < count; ++k) members[k] = nodes_[order_[k]];
        resize(tags_.size() * 2, count);
        for (std::size_t k = 0; k < count; ++k) order_[k] = place(members[k], hash(*members[k]));
    }

    std::vector<Tag> tags_;
    std::vector<const Node*> nodes_;  // meaningful where the tag is not empty
    std::size_t mask_ = 0;
    // order_[k]: the slot of the k-th member in push order; as long as the
    // most members the table may hold, so a push never grows it. The
    // members are [order_.data(), top_): pointers, which (unlike counts)
    // a store of a node word does not oblige the compiler to read again.
    std::vector<std::size_t> order_;
    std::size_t* top_ = nullptr;
    std::size_t* limit_ = nullptr;
};

}  // namespace quorvane
