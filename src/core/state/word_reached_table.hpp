// WordReachedTable: the hashed reached table for nodes that are one word
// (OneWordNode), each slot holding the node's word and its whole entry. It
// is also what HashedReachedTable is for such nodes (hashed_reached_table.hpp).
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>

#include "domain.hpp"
#include "large_array.hpp"
#include "state/fx_hash.hpp"
#include "state/reached_entries.hpp"
#include "state/reached_table_base.hpp"

namespace quorvane {

// The hashed table for nodes that are one word (OneWordNode): each slot
// holds the node's word and its whole entry, so a lookup touches one cache
// line where the general table touches three (slot, node, entry). The
// entry is a CostEntry (32-byte slots) for any search, or a MoveEntry
// (16-byte slots) for one whose steps all cost 1.0 on a domain D with
// HasWordMoves (then every parent handed to record_id must have the child
// among its successors). A node's id is its word, which stays valid as the
// slots move. Open addressing with linear probing, at most half full, on
// zero-filled memory (huge pages for big tables, large_array.hpp).
//
// Growing doubles the slots and reinserts the entries in slot order: an
// entry's new slot is near its old one or S slots on, so the new table is
// written in two sweeps, and each stretch of a mapped old table read is
// handed back to the system at once: a big table's peak memory is the new
// table alone, not both.
// IMPORTANT: with a MoveEntry the domain must outlive the table.
template <class NodeT, class Entry = detail::CostEntry<uint64_t>, class D = void>
    requires OneWordNode<NodeT>
class WordReachedTable
    : public detail::ReachedTableBase<WordReachedTable<NodeT, Entry, D>, NodeT, uint64_t, Entry> {
    using Base =
        detail::ReachedTableBase<WordReachedTable<NodeT, Entry, D>, NodeT, uint64_t, Entry>;
    friend Base;

public:
    using typename Base::Id;
    using Node = NodeT;
    using Key = Id;

    WordReachedTable()
        requires std::is_void_v<D>
    {
        allocate(kInitialSlots);
    }
    template <class Domain>
        requires std::same_as<Domain, D>
    explicit WordReachedTable(const Domain& domain) : domain_(&domain) {
        allocate(kInitialSlots);
    }

    std::optional<Id> find(const Node& node) const {
        const uint64_t w = node.word();
        for (std::size_t i = home(w);; i = (i + 1) & mask_) {
            if (slots_[i].tag == ~w) return w;
            if (slots_[i].tag == 0) return std::nullopt;
        }
    }

    Node node_at(Id id) const noexcept { return Node::from_word(id); }
    Id id_of_key(Key key) const noexcept { return key; }
    Node node_of_key(Key key) const noexcept { return Node::from_word(key); }
    // Leaves `node` as it was.
    [[gnu::always_inline]] std::pair<Id, Key> intern_key(Node& node) {
        const Id id = intern_word(node.word());
        return {id, id};
    }
    const Node& interned_node(Key, const Node& node) const noexcept { return node; }

    uint64_t size() const noexcept { return recorded_; }

    // Hints to the cache that the slot of a node is about to be used. (A
    // prefetch the compiler sees as a pure call may be dropped: these must
    // inline.)
    [[gnu::always_inline]] void prefetch_node(const Node& node) const noexcept {
        __builtin_prefetch(slots_ + home(node.word()), 1);
    }
    [[gnu::always_inline]] void prefetch_key(Key key) const noexcept {
        __builtin_prefetch(slots_ + home(key), 1);
    }

private:
    static constexpr std::size_t kInitialSlots = 64;
    // Slots of the old table read before their pages are handed back.
    static constexpr std::size_t kSweepSlots = std::size_t{1} << 16;

    struct Slot {
        uint64_t tag;  // ~word; 0 = empty (no node's word is ~0)
        Entry entry;
    };

    std::size_t home(uint64_t word) const noexcept {
        return static_cast<std::size_t>(FxHash<Node>{}(Node::from_word(word))) & mask_;
    }

    [[gnu::always_inline]] Id intern_word(uint64_t w) {
        std::size_t i = home(w);
        for (; slots_[i].tag != 0; i = (i + 1) & mask_) {
            if (slots_[i].tag == ~w) {
                last_ = &slots_[i];
                return w;
            }
        }
        if ((interned_ + 1) * 2 > mask_ + 1) return grow_and_insert(w);
        slots_[i].tag = ~w;
        ++interned_;
        last_ = &slots_[i];
        return w;
    }

    // The first empty slot from the home of `w`, for a word not in the table.
    std::size_t free_slot(uint64_t w) const noexcept {
        std::size_t i = home(w);
        while (slots_[i].tag != 0) i = (i + 1) & mask_;
        return i;
    }

    // intern_word's way out when the table is full: `w` is not in it.
    [[gnu::noinline]] Id grow_and_insert(uint64_t w) {
        grow();
        const std::size_t i = free_slot(w);
        slots_[i].tag = ~w;
        ++interned_;
        last_ = &slots_[i];
        return w;
    }

    // The entry of an interned id: the slot last interned or looked up
    // (the driver asks for the same node several times in a row), else
    // found afresh.
    Entry& entry(Id id) const noexcept {
        if (last_->tag == ~id) [[likely]]
            return last_->entry;
        return find_entry(id);
    }
    [[gnu::noinline]] Entry& find_entry(Id id) const noexcept {
        std::size_t i = home(id);
        while (slots_[i].tag != ~id) i = (i + 1) & mask_;
        last_ = &slots_[i];
        return last_->entry;
    }
    void count_new() noexcept { ++recorded_; }
    // MoveEntry only: the domain's move from `parent` to `child`, and the
    // parent of `child` from the move kept in its entry.
    Id move_between(Id parent, Id child) const noexcept {
        return domain_->word_move(parent, child);
    }
    Id moved_from(Id child) const noexcept {
        const Id move = entry(child).move();
        if (move == 0) return Base::kNoParent;
        return domain_->word_unmove(child, static_cast<uint32_t>(move - 1));
    }

    void allocate(std::size_t slots) {
        if (slots > SIZE_MAX / sizeof(Slot)) throw std::bad_alloc();
        detail::ZeroedBlock block = detail::ZeroedBlock::allocate(slots * sizeof(Slot));
        if (block.data() == nullptr) throw std::bad_alloc();
        block_.swap(block);
        slots_ = static_cast<Slot*>(block_.data());
        mask_ = slots - 1;
        last_ = slots_;
    }

    [[gnu::noinline]] void grow() {
        const std::size_t old_slots = mask_ + 1;
        refuse_oversized_allocation(static_cast<long double>(old_slots) * 2 * sizeof(Slot));
        detail::ZeroedBlock old;
        old.swap(block_);
        const Slot* from = static_cast<const Slot*>(old.data());
        allocate(old_slots * 2);
        for (std::size_t done = 0; done < old_slots; done += kSweepSlots) {
            const std::size_t end = std::min(old_slots, done + kSweepSlots);
            for (std::size_t j = done; j < end; ++j) {
                if (from[j].tag == 0) continue;
                slots_[free_slot(~from[j].tag)] = from[j];
            }
            old.discard(done * sizeof(Slot), (end - done) * sizeof(Slot));
        }
    }

    std::conditional_t<std::is_void_v<D>, std::nullptr_t, const D*> domain_ = nullptr;
    detail::ZeroedBlock block_;
    Slot* slots_ = nullptr;
    std::size_t mask_ = 0;
    mutable Slot* last_ = nullptr;  // never null once allocated
    uint64_t interned_ = 0;
    uint64_t recorded_ = 0;
};

}  // namespace quorvane
