// The reached table: the memory of one best-first search.
//
// For every node the search has reached it holds g (the best cost from the
// start found so far), the parent (the node whose expansion gave that g;
// none for the start) and whether the node is closed (popped and expanded at
// its current g). The driver records the start first, records every child
// before pushing it, closes every node it pops and rebuilds the path from
// the parents when it pops the goal.
//
// Operations (by node, or by the table's id of a node on the hot path):
//   record(node, g[, parent]) stores a whole new entry {g, parent, open},
//                            replacing any entry the node had, closed or
//                            not; the table never compares costs;
//   close(node)              -> g, and marks the node closed; nothing when
//                            it was closed already (the popped frontier
//                            entry is a stale duplicate); panics on a node
//                            that was never recorded;
//   lookup(node)             -> absent / open with g / closed with g;
//   parent_of(node)          -> the entry's parent, if any;
//   rebuild_path(goal)       -> start ... goal, following parents.
//
// Two backends give identical answers; nothing observable depends on which
// one a search uses, because no operation iterates over the table:
//   HashedReachedTable  keyed by node value with the Fx hash; owns a copy of
//                       every reached node; node ids in reaching order;
//   DenseReachedTable   one slot per possible node, for domains that number
//                       their nodes densely (grid cells, graph indices); the
//                       slot array is zero-filled lazily (huge pages where
//                       Linux gives them), so a small search on a huge
//                       domain touches little.
// `DenseIndexing<D>` says whether and how a domain numbers its nodes, from
// the hooks HasDenseSlots and IndexNodes of domain.hpp:
//   - a domain offering
//       uint64_t dense_slots() const;              // number of slots
//       <unsigned> dense_slot(const Node&) const;  // the node's slot
//       Node dense_node(<unsigned>) const;         // inverse of dense_slot
//     (the grid, numbered Hanoi towers) is dense-indexed through them, at
//     any size, unless it also offers `bool dense_worthwhile() const` and
//     that says no (then dense_slot is never called);
//   - a domain whose Node is uint64_t and which offers num_nodes() (the
//     CSR graph) is dense-indexed by the node itself, up to kMaxSlots
//     nodes: past that, scattered indices would touch a page per node.
// Specialise `DenseIndexing` to change the choice for a domain. Where the
// slot array cannot be allocated, the driver falls back to the hashed table.
// IMPORTANT: a dense table refers to its domain, which must outlive it.
//
// Parents are stored as ids, so a parent costs no node copy. Besides g and
// the parent, each entry carries the depth (number of steps) of the path by
// which it was recorded; the best-first driver uses it to keep a search with
// reopening and a negative-cost cycle finite. A dense table for a search
// whose steps all cost 1.0 keeps g and depth as one integer (StepEntry),
// in 8 bytes instead of 16.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "large_array.hpp"
#include "panic.hpp"
#include "state/fx_hash.hpp"
#include "state/outcome.hpp"

namespace quorvane {

enum class Reached : uint8_t { absent = 0, open = 1, closed = 2 };

struct ReachedLookup {
    Reached state = Reached::absent;
    double g = 0.0;  // meaningless when absent
};

template <class D>
struct DenseIndexing {
    static constexpr bool enabled = false;
};

template <class D>
    requires HasDenseSlots<D>
struct DenseIndexing<D> {
    static constexpr bool enabled = true;
    using Id =
        decltype(std::declval<const D&>().dense_slot(std::declval<const typename D::Node&>()));
    static uint64_t slots(const D& d) noexcept { return d.dense_slots(); }
    static bool worthwhile(const D& d) noexcept {
        if constexpr (requires { d.dense_worthwhile(); }) {
            return d.dense_worthwhile();
        } else {
            return true;
        }
    }
    static Id slot(const D& d, const typename D::Node& n) noexcept { return d.dense_slot(n); }
    static typename D::Node node(const D& d, Id id) { return d.dense_node(id); }
};

template <class D>
    requires(!HasDenseSlots<D> && IndexNodes<D>)
struct DenseIndexing<D> {
    static constexpr bool enabled = true;
    static constexpr uint64_t kMaxSlots = uint64_t{1} << 25;
    // 32 bits hold every slot up to kMaxSlots, and 32-bit ids make the
    // smaller table entries and packed frontier entries.
    using Id = uint32_t;
    static uint64_t slots(const D& d) noexcept { return d.num_nodes(); }
    static bool worthwhile(const D& d) noexcept { return d.num_nodes() <= kMaxSlots; }
    // Saturates at kMaxSlots, so a node past the table (only a start can
    // be: successors are nodes of the domain) never aliases a real slot.
    static Id slot(const D&, uint64_t n) noexcept {
        return static_cast<Id>(n < kMaxSlots ? n : kMaxSlots);
    }
    static uint64_t node(const D&, Id id) noexcept { return id; }
};

// Whether a search from `start` takes a dense table: one is worth having
// for the domain, and the start has a slot in it (a start is the only node
// that can lie outside: successors are nodes of the domain).
template <class D>
    requires DenseIndexing<D>::enabled
bool dense_table_fits(const D& domain, const typename D::Node& start) {
    using Indexing = DenseIndexing<D>;
    return Indexing::worthwhile(domain) &&
           static_cast<uint64_t>(Indexing::slot(domain, start)) < Indexing::slots(domain);
}

namespace detail {

// The entry layouts. An all-zero entry is an absent node, which lets the
// dense backend start from zero-filled memory. Both keep the parent id and
// meta = <depth or g> << 2 | state; they differ in where g lives.
//
// CostEntry: g as a double beside them; meta holds the depth (steps of
// the path by which the node was recorded), saturating at kMaxDepth.
template <class Id>
struct CostEntry {
    static constexpr Id kMaxDepth = std::numeric_limits<Id>::max() >> 2;

    double g;
    Id parent;
    Id meta;

    double cost() const noexcept { return g; }
    Id depth() const noexcept { return meta >> 2; }
    void set(double new_g, Id new_parent, Id new_depth) noexcept {
        g = new_g;
        parent = new_parent;
        meta = static_cast<Id>((new_depth < kMaxDepth ? new_depth : kMaxDepth) << 2) |
               static_cast<Id>(Reached::open);
    }
};

// StepEntry: for searches in which every step costs exactly 1.0. Then g is
// the number of steps of the path by which the node was recorded, i.e. its
// depth, and one integer holds both: meta = g << 2 | state, half the size.
// Exact because such a g is a whole number below the count of distinct
// nodes (a recorded path never repeats a node: a node is only re-recorded
// at a strictly lower g, so reaching it again further down its own path is
// never an improvement); a table must therefore have at most kMaxSlots
// slots. The depth handed to set() is not needed: it equals g wherever the
// driver reads it back.
// IMPORTANT: only for g that are whole numbers of steps; anything else
// would be stored truncated.
template <class Id>
struct StepEntry {
    static constexpr Id kMaxDepth = std::numeric_limits<Id>::max() >> 2;
    static constexpr uint64_t kMaxSlots = uint64_t{kMaxDepth} + 1;

    Id parent;
    Id meta;

    double cost() const noexcept { return static_cast<double>(meta >> 2); }
    Id depth() const noexcept { return meta >> 2; }
    void set(double new_g, Id new_parent, Id /*new_depth*/) noexcept {
        parent = new_parent;
        meta = static_cast<Id>(static_cast<Id>(new_g) << 2) | static_cast<Id>(Reached::open);
    }
};

// MoveEntry: StepEntry in 4 bytes, for a domain that names each step by
// a small number (HasDenseMoves: the grid's four directions, the disk and
// source peg of a Hanoi move; HasWordMoves: the blank's cell in a packed
// board, in 8 bytes): the parent is kept as the number of the move that
// reached the node and found again from the node's own slot.
// meta = g << 10 | (move + 1) << 2 | state, move + 1 = 0 for no parent;
// at most kMaxMoves moves and kMaxSlots slots (g < 2^22 with 32-bit ids).
template <class Id>
struct MoveEntry {
    static constexpr unsigned kMoveBits = 8;
    static constexpr uint32_t kMaxMoves = (uint32_t{1} << kMoveBits) - 1;
    static constexpr unsigned kGShift = kMoveBits + 2;
    static constexpr uint64_t kMaxSlots = uint64_t{1} << (8 * sizeof(Id) - kGShift);

    Id meta;

    double cost() const noexcept { return static_cast<double>(meta >> kGShift); }
    Id depth() const noexcept { return meta >> kGShift; }
    // The move that reached the node, plus 1; 0 for none.
    Id move() const noexcept { return (meta >> 2) & kMaxMoves; }
    void set(double new_g, Id move_plus1) noexcept {
        meta = static_cast<Id>(static_cast<Id>(new_g) << kGShift) |
               static_cast<Id>(move_plus1 << 2) | static_cast<Id>(Reached::open);
    }
};

// MoveEntry without g, in one byte: for the breadth-first loop on slots
// (dense_step_loop in drivers/best_first.hpp), which knows the g of each
// node it pops from the order of its pops and never reads one from the
// table. meta = (move + 1) << 2 | state. No g, no depth: the operations
// that read them (lookup, close_id, depth_id) are not for this layout;
// close_state_id closes.
template <class Id>
struct ByteMoveEntry {
    static constexpr uint32_t kMaxMoves = 63;

    uint8_t meta;

    Id move() const noexcept { return static_cast<Id>((meta >> 2) & kMaxMoves); }
    // g is not kept.
    void set(double /*new_g*/, Id move_plus1) noexcept {
        meta = static_cast<uint8_t>((move_plus1 << 2) | static_cast<Id>(Reached::open));
    }
};

// The operations both backends share; Derived supplies entry(id) (an
// Entry), node_at(id), find(node), intern(node) and count(), and for a
// MoveEntry move_between(parent, child) and moved_from(child).
template <class Derived, class NodeT, class IdT, class Entry>
class ReachedTableBase {
    static constexpr bool kParentByMove = requires(const Entry& e) { e.move(); };

public:
    using Node = NodeT;
    using Id = IdT;
    static constexpr Id kNoParent = std::numeric_limits<Id>::max();

    // ---- id level (the driver's hot path) ----

    ReachedLookup lookup_id(Id id) const noexcept {
        const auto& e = self().entry(id);
        return {static_cast<Reached>(e.meta & 3), e.cost()};
    }
    // lookup_id in two halves, for a caller that needs g only sometimes.
    Reached state_id(Id id) const noexcept {
        return static_cast<Reached>(self().entry(id).meta & 3);
    }
    double g_id(Id id) const noexcept { return self().entry(id).cost(); }

    void record_id(Id id, double g, Id parent, Id depth) noexcept {
        auto& e = self().entry(id);
        if ((e.meta & 3) == 0) self().count_new();
        if constexpr (kParentByMove) {
            e.set(g, parent == kNoParent ? 0 : self().move_between(parent, id) + 1);
        } else {
            e.set(g, parent, depth);
        }
    }

    std::optional<double> close_id(Id id) {
        auto& e = self().entry(id);
        const auto state = static_cast<Reached>(e.meta & 3);
        if (state == Reached::absent) [[unlikely]]
            never_reached();
        if (state == Reached::closed) return std::nullopt;
        e.meta = static_cast<Id>((e.meta & ~Id{3}) | static_cast<Id>(Reached::closed));
        return e.cost();
    }

    // close_id without reading g: false when the node was closed already.
    bool close_state_id(Id id) {
        auto& e = self().entry(id);
        const auto state = static_cast<Reached>(e.meta & 3);
        if (state == Reached::absent) [[unlikely]]
            never_reached();
        if (state == Reached::closed) return false;
        e.meta = static_cast<decltype(e.meta)>(e.meta | static_cast<uint8_t>(Reached::closed));
        return true;
    }

    Id depth_id(Id id) const noexcept { return self().entry(id).depth(); }
    Id parent_id(Id id) const noexcept {
        if constexpr (kParentByMove) {
            return self().moved_from(id);
        } else {
            return self().entry(id).parent;
        }
    }

    // The path start ... node, following parents. A parent chain that comes
    // back to a node already taken (possible only with reopening and a
    // negative-cost cycle) stops there, so this always ends.
    std::vector<Node> rebuild_path_id(Id id) const {
        std::vector<Id> ids{id};
        const uint64_t limit = self().size();
        // A parent handed to record() that was never recorded itself has
        // no entry: the chain ends there, not at its zeroed parent field.
        const auto has_parent = [this](Id at) {
            return (self().entry(at).meta & 3) != 0 && parent_id(at) != kNoParent;
        };
        while (has_parent(ids.back()) && ids.size() <= limit) ids.push_back(parent_id(ids.back()));
        if (ids.size() > limit) ids = cycle_safe_chain(id);
        std::vector<Node> path;
        path.reserve(ids.size());
        for (auto it = ids.rbegin(); it != ids.rend(); ++it) path.push_back(self().node_at(*it));
        return path;
    }

    // ---- node level ----

    // A start: no parent, depth 0.
    void record(const Node& node, double g) {
        record_id(self().intern(Node(node)), g, kNoParent, 0);
    }

    void record(const Node& node, double g, const Node& parent) {
        const Id parent_id_value = self().intern(Node(parent));
        const Id depth = depth_id(parent_id_value) + 1;
        record_id(self().intern(Node(node)), g, parent_id_value, depth);
    }

    std::optional<double> close(const Node& node) {
        const std::optional<Id> id = self().find(node);
        if (!id) never_reached();
        return close_id(*id);
    }

    ReachedLookup lookup(const Node& node) const {
        const std::optional<Id> id = self().find(node);
        return id ? lookup_id(*id) : ReachedLookup{};
    }

    std::optional<Node> parent_of(const Node& node) const {
        const std::optional<Id> id = self().find(node);
        if (!id || lookup_id(*id).state == Reached::absent) return std::nullopt;
        const Id parent = parent_id(*id);
        if (parent == kNoParent) return std::nullopt;
        return std::optional<Node>(self().node_at(parent));
    }

    // A node without an entry gives the one-node path of itself.
    std::vector<Node> rebuild_path(const Node& goal) const {
        const std::optional<Id> id = self().find(goal);
        if (!id || lookup_id(*id).state == Reached::absent) return {goal};
        return rebuild_path_id(*id);
    }

private:
    // Out of line, so that close_id stays small enough to inline.
    [[noreturn, gnu::cold, gnu::noinline]] static void never_reached() {
        throw Panic("a node on the frontier has always been reached first");
    }

    const Derived& self() const noexcept { return static_cast<const Derived&>(*this); }
    Derived& self() noexcept { return static_cast<Derived&>(*this); }

    std::vector<Id> cycle_safe_chain(Id id) const {
        std::unordered_set<uint64_t, FxHash<uint64_t>> seen;
        std::vector<Id> ids;
        while (seen.insert(id).second) {
            ids.push_back(id);
            if ((self().entry(id).meta & 3) == 0) break;
            id = parent_id(id);
            if (id == kNoParent) break;
        }
        return ids;
    }
};

}  // namespace detail

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

    // IMPORTANT: the reference is invalidated by the next intern().
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

// The hashed table for nodes that are one word (OneWordNode): each slot
// holds the node's word and its whole entry, so a lookup touches one cache
// line where the general table touches three (slot, node, entry). The
// entry is a CostEntry (32-byte slots) for any search, or a MoveEntry
// (16-byte slots) for one whose steps all cost 1.0 on a domain D with
// HasWordMoves (then every parent handed to record must have the child
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

    Id intern(Node&& node) { return intern_word(node.word()); }

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

// The hashed table of any search on one-word nodes: 32-byte slots.
template <class NodeT>
    requires OneWordNode<NodeT>
class HashedReachedTable<NodeT> : public WordReachedTable<NodeT> {};

// One zero-initialised entry per slot of the domain, of the layout Entry:
// detail::CostEntry (16 bytes with 32-bit ids) for any search,
// detail::StepEntry (8 bytes) only for searches whose steps all cost 1.0,
// on a domain of at most StepEntry::kMaxSlots slots, and
// detail::MoveEntry (4 bytes) for those on a domain with HasDenseMoves of
// at most MoveEntry::kMaxSlots slots and kMaxMoves moves (then every
// parent handed to record must have the child among its successors), and
// detail::ByteMoveEntry (1 byte) likewise, for the breadth-first loop on
// slots alone.
// IMPORTANT: the domain must outlive the table.
template <class D, class Entry = detail::CostEntry<typename DenseIndexing<D>::Id>>
    requires DenseIndexing<D>::enabled
class DenseReachedTable
    : public detail::ReachedTableBase<DenseReachedTable<D, Entry>, typename D::Node,
                                      typename DenseIndexing<D>::Id, Entry> {
    using Base = detail::ReachedTableBase<DenseReachedTable<D, Entry>, typename D::Node,
                                          typename DenseIndexing<D>::Id, Entry>;
    using Indexing = DenseIndexing<D>;
    friend Base;

public:
    using typename Base::Id;
    using Node = typename D::Node;
    // Frontier entries hold slots: small entries make a faster heap.
    using Key = Id;

    // Nothing when the slot array cannot be allocated.
    static std::optional<DenseReachedTable> try_create(const D& domain) {
        const uint64_t n = Indexing::slots(domain);
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(Entry)) return std::nullopt;
        detail::ZeroedBlock block = detail::ZeroedBlock::allocate(n * sizeof(Entry));
        if (block.data() == nullptr) return std::nullopt;
        return DenseReachedTable(domain, std::move(block));
    }

    Id intern(Node&& node) const noexcept { return Indexing::slot(*domain_, node); }
    std::optional<Id> find(const Node& node) const { return Indexing::slot(*domain_, node); }
    Node node_at(Id id) const { return Indexing::node(*domain_, id); }

    Id id_of_key(Key key) const noexcept { return key; }
    Node node_of_key(Key key) const { return Indexing::node(*domain_, key); }
    // Leaves `node` as it was.
    std::pair<Id, Key> intern_key(Node& node) const noexcept {
        const Id id = Indexing::slot(*domain_, node);
        return {id, id};
    }
    // The node of a key just made by intern_key from `node`.
    const Node& interned_node(Key, const Node& node) const noexcept { return node; }

    uint64_t size() const noexcept { return recorded_; }

    // A hint to the cache that the entry of `node` is about to be used.
    void prefetch_node(const Node& node) const noexcept {
        __builtin_prefetch(entries_ + Indexing::slot(*domain_, node), 1);
    }
    // The same by frontier key.
    void prefetch_key(Key key) const noexcept { __builtin_prefetch(entries_ + key, 1); }

    // ByteMoveEntry only: record_id for a slot without an entry, given the
    // move from the parent (no lookup of the move).
    void record_new_move(Id id, Id move) noexcept
        requires std::same_as<Entry, detail::ByteMoveEntry<Id>>
    {
        ++recorded_;
        entries_[id].set(0.0, move + 1);
    }

    // Room worth reserving for per-node records of a search on this table:
    // one per slot, up to 2^20 (untouched reserved memory costs nothing).
    std::size_t capacity_hint() const noexcept {
        const uint64_t slots = Indexing::slots(*domain_);
        return static_cast<std::size_t>(slots < kHintCap ? slots : kHintCap);
    }

private:
    static constexpr uint64_t kHintCap = uint64_t{1} << 20;

    DenseReachedTable(const D& domain, detail::ZeroedBlock block)
        : domain_(&domain),
          block_(std::move(block)),
          entries_(static_cast<Entry*>(block_.data())) {}

    Entry& entry(Id id) noexcept { return entries_[id]; }
    const Entry& entry(Id id) const noexcept { return entries_[id]; }
    // MoveEntry only: the domain's move from slot `parent` to slot `child`,
    // and the parent of `child` from the move kept in its entry.
    Id move_between(Id parent, Id child) const noexcept {
        return static_cast<Id>(domain_->dense_move(parent, child));
    }
    Id moved_from(Id child) const noexcept {
        const Id move = entries_[child].move();
        if (move == 0) return Base::kNoParent;
        return static_cast<Id>(domain_->dense_unmove(child, move - 1));
    }
    void count_new() noexcept { ++recorded_; }

    const D* domain_;
    detail::ZeroedBlock block_;
    Entry* entries_;
    uint64_t recorded_ = 0;
};

// The search tree of a recorded best-first search, gathered while it runs:
// one (parent, child) edge per node first reached other than the start, in
// first-reached order, with the parent the table holds at the end (a node
// improved after it was first reached shows its final parent). The driver
// calls
//   expanding(node)             as it expands a node, before it interns any
//                               child (`node` may refer into the table);
//   reached(child, child_node)  when it records a node not reached before,
//                               a child of the node being expanded;
//   replaced()                  when it records a node already reached (an
//                               improvement or reopening);
//   take_edges()                once, at the end.
// This general form keeps the ids of the nodes first reached and reads each
// one's parent and nodes at the end. IMPORTANT: the table must outlive it.
template <class Table>
class TreeRecorder {
public:
    using Id = typename Table::Id;
    using Node = typename Table::Node;

    explicit TreeRecorder(const Table& table) noexcept : table_(&table) {}

    void reserve(std::size_t n) { first_reached_.reserve(n); }
    void expanding(const Node&) noexcept {}
    void reached(Id child, const Node&) { first_reached_.push_back(child); }
    void replaced() noexcept {}

    TreeEdges<Node> take_edges() {
        TreeEdges<Node> tree;
        tree.reserve(first_reached_.size());
        for (const Id id : first_reached_) {
            const Id parent = table_->parent_id(id);
            if (parent == Table::kNoParent) continue;
            tree.push_back({table_->node_at(parent), table_->node_at(id)});
        }
        return tree;
    }

private:
    const Table* table_;
    std::vector<Id> first_reached_;
};

// On a dense table the edge is written as the node is first reached, with
// the node being expanded (kept by copy: a dense table's nodes are small
// values) as its parent: the final parent unless some entry was replaced
// later, in which case take_edges() reads every child's parent again (a
// child's id is a computation on its node here, no lookup). A unit-cost
// search never replaces an entry, and its tree then costs no pass over the
// table at the end, whose reads would come in wavefront order, at random.
template <class D, class Entry>
class TreeRecorder<DenseReachedTable<D, Entry>> {
public:
    using Table = DenseReachedTable<D, Entry>;
    using Id = typename Table::Id;
    using Node = typename Table::Node;

    explicit TreeRecorder(const Table& table) noexcept : table_(&table) {}

    void reserve(std::size_t n) { edges_.reserve(n); }
    void expanding(const Node& node) noexcept { parent_ = node; }
    void reached(Id, const Node& child) { edges_.push_back({parent_, child}); }
    void replaced() noexcept { replaced_ = true; }

    TreeEdges<Node> take_edges() {
        if (replaced_) {
            std::size_t kept = 0;
            for (const TreeEdge<Node>& edge : edges_) {
                const Id parent = table_->parent_id(*table_->find(edge.child));
                if (parent == Table::kNoParent) continue;
                edges_[kept++] = {table_->node_at(parent), edge.child};
            }
            edges_.truncate(kept);
        }
        return std::move(edges_);
    }

private:
    const Table* table_;
    TreeEdges<Node> edges_;
    Node parent_{};  // the node being expanded
    bool replaced_ = false;
};

// Calls run(table) with kTables == 1, run(first, second) with 2, on fresh
// tables of one kind: dense ones (CostEntry) where the domain numbers its
// nodes, each of `nodes` has a slot and the memory can be had, else hashed
// ones. For the drivers that keep one table per side or one in all.
template <std::size_t kTables, class D, class F, class... Nodes>
    requires(kTables == 1 || kTables == 2)
void with_cost_tables(const D& domain, F&& run, const Nodes&... nodes) {
    if constexpr (DenseIndexing<D>::enabled) {
        if ((dense_table_fits(domain, nodes) && ...)) {
            auto first = DenseReachedTable<D>::try_create(domain);
            if constexpr (kTables == 1) {
                if (first) return run(*first);
            } else if (first) {
                if (auto second = DenseReachedTable<D>::try_create(domain))
                    return run(*first, *second);
            }
        }
    }
    HashedReachedTable<typename D::Node> first;
    if constexpr (kTables == 1) {
        run(first);
    } else {
        HashedReachedTable<typename D::Node> second;
        run(first, second);
    }
}

}  // namespace quorvane
