// HashedReachedTable: the reached table of any search on any node, keyed
// by node value. For nodes that are one word it is the word table
// (word_reached_table.hpp), which keeps node and entry in one slot.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "large_array.hpp"
#include "state/fx_hash.hpp"
#include "state/reached_entries.hpp"
#include "state/reached_table_base.hpp"
#include "state/word_reached_table.hpp"

namespace quorvane {

// Keyed by node value, Fx-hashed, open addressing with linear probing. Node
// ids are handed out in reaching order and stay valid for the table's life.
// A slot is 8 bytes, the low 32 bits of the node's hash and its id + 1: a
// search that reaches a new node at every step misses the cache on one
// slot per node, and a smaller array of slots keeps more of them cached.
// So ids stay below 2^31 (the slots, two per node, below 2^32, where the
// hash's low 32 bits still place every slot when the table grows), and are
// 32-bit numbers throughout: an entry is 16 bytes, a frontier's key 4. The
// node past them is refused as memory the machine cannot hold, as nodes,
// entries and slots of 2^31 nodes would take over 100 GiB.
template <class NodeT>
class HashedReachedTable : public detail::ReachedTableBase<HashedReachedTable<NodeT>, NodeT,
                                                           uint32_t, detail::CostEntry<uint32_t>> {
    using Base = detail::ReachedTableBase<HashedReachedTable<NodeT>, NodeT, uint32_t,
                                          detail::CostEntry<uint32_t>>;
    friend Base;

public:
    using typename Base::Id;
    using Node = NodeT;
    // Frontier entries hold ids: the node itself lives in the table once.
    using Key = Id;

    HashedReachedTable() : slots_(kInitialSlots) {
        nodes_.reserve(kInitialSlots / 2);
        entries_.reserve(kInitialSlots / 2);
    }

    // Hints to the cache that the slot of a node is about to be used (see
    // the one-word table's).
    [[gnu::always_inline]] void prefetch_node(const Node& node) const noexcept {
        const auto h = static_cast<uint32_t>(FxHash<Node>{}(node));
        __builtin_prefetch(slots_.data() + (h & mask()), 1);
    }

    std::optional<Id> find(const Node& node) const {
        const auto h = static_cast<uint32_t>(FxHash<Node>{}(node));
        for (std::size_t i = h & mask(); slots_[i].id_plus1 != 0; i = (i + 1) & mask()) {
            const Slot& s = slots_[i];
            if (s.hash == h && nodes_[s.id_plus1 - 1] == node) return s.id_plus1 - 1;
        }
        return std::nullopt;
    }

    // IMPORTANT: the reference is invalidated by the next intern_key().
    const Node& node_at(Id id) const noexcept { return nodes_[id]; }

    Id id_of_key(Key key) const noexcept { return key; }
    const Node& node_of_key(Key key) const noexcept { return nodes_[key]; }
    // Interns a node (moving it into the table when it is new) and gives
    // the frontier key for it.
    std::pair<Id, Key> intern_key(Node& node) {
        const Id id = intern(std::move(node));
        return {id, id};
    }
    // The node of a key just made by intern_key (`node` may be moved from).
    const Node& interned_node(Key key, const Node&) const noexcept { return nodes_[key]; }

    // Distinct nodes recorded.
    uint64_t size() const noexcept { return recorded_; }

private:
    static constexpr std::size_t kInitialSlots = 128;  // room for 64 nodes
    static constexpr Id kMaxNodes = Id{1} << 31;
    static constexpr std::size_t kQuadrupleBelow = std::size_t{1} << 22;

    struct Slot {
        uint32_t hash = 0;
        uint32_t id_plus1 = 0;  // 0 = empty
    };

    std::size_t mask() const noexcept { return slots_.size() - 1; }

    // The id of `node`, adding it (moved in) as an absent entry if new.
    Id intern(Node&& node) {
        const auto h = static_cast<uint32_t>(FxHash<Node>{}(node));
        std::size_t i = h & mask();
        while (slots_[i].id_plus1 != 0) {
            const Slot& s = slots_[i];
            if (s.hash == h && nodes_[s.id_plus1 - 1] == node) return s.id_plus1 - 1;
            i = (i + 1) & mask();
        }
        const auto id = static_cast<Id>(nodes_.size());  // below kMaxNodes
        if (id == nodes_.capacity()) [[unlikely]]
            reserve_more();
        nodes_.push_back(std::move(node));
        entries_.push_back(detail::CostEntry<Id>{0.0, 0, 0});
        slots_[i] = Slot{h, static_cast<uint32_t>(id + 1)};
        if (nodes_.size() * 2 > slots_.size()) grow();
        return id;
    }

    // Room for four times the nodes, up to kQuadrupleBelow of them, and for
    // twice as many beyond: each move copies the arrays to fresh memory,
    // which the kernel zeroes first, while memory reserved but not yet
    // written costs nothing. (Past that size a mapping four times larger
    // than needed could be refused where the next one would still fit.)
    // Only this grows the arrays and never past kMaxNodes, so the node past
    // the last id allowed always comes here, and is refused.
    [[gnu::noinline]] void reserve_more() {
        const std::size_t have = nodes_.capacity();
        if (have >= kMaxNodes) throw std::bad_alloc();
        const std::size_t want =
            std::min<std::size_t>(have < kQuadrupleBelow ? 4 * have : 2 * have, kMaxNodes);
        nodes_.reserve(want);
        entries_.reserve(want);
    }

    void grow() {
        Array<Slot> slots(slots_.size() * 2);
        const std::size_t m = slots.size() - 1;
        for (const Slot& s : slots_) {
            if (s.id_plus1 == 0) continue;
            std::size_t i = s.hash & m;
            while (slots[i].id_plus1 != 0) i = (i + 1) & m;
            slots[i] = s;
        }
        slots_ = std::move(slots);
    }

    detail::CostEntry<Id>& entry(Id id) noexcept { return entries_[id]; }
    const detail::CostEntry<Id>& entry(Id id) const noexcept { return entries_[id]; }
    void count_new() noexcept { ++recorded_; }

    // A search that reaches millions of nodes fills these arrays as fast as
    // it can compute the nodes, and each doubling moves them to fresh memory:
    // with 4 KiB pages, faulting that memory in costs about as much as the
    // search's own work. Large arrays therefore get huge pages.
    template <class T>
    using Array = std::vector<T, KeptArrayAllocator<T>>;

    Array<Slot> slots_;
    Array<Node> nodes_;
    Array<detail::CostEntry<Id>> entries_;
    uint64_t recorded_ = 0;
};

// The hashed table of any search on one-word nodes: 32-byte slots.
template <class NodeT>
    requires OneWordNode<NodeT>
class HashedReachedTable<NodeT> : public WordReachedTable<NodeT> {};

}  // namespace quorvane
