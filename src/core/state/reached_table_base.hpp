// The operations every reached table shares, written once over the entry
// layouts of reached_entries.hpp: detail::ReachedTableBase, the CRTP base
// of the hashed, word and dense tables. The contract of each operation is
// in reached_table.hpp; a table supplies only the storage of its entries
// and the ids and keys of its nodes.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

#include "panic.hpp"
#include "state/fx_hash.hpp"
#include "state/reached_entries.hpp"

namespace quorvane {
namespace detail {

// The id-level operations every table shares; Derived supplies entry(id)
// (an Entry), node_at(id), count_new() and size(), and for a layout of
// ParentByMove move_between(parent, child) and moved_from(child). The
// operations that read g or the depth exist only for a layout that keeps
// them (KeepsCost).
template <class Derived, class NodeT, class IdT, class Entry>
class ReachedTableBase {
    static constexpr bool kParentByMove = ParentByMove<Entry>;

public:
    using Node = NodeT;
    using Id = IdT;
    static constexpr Id kNoParent = std::numeric_limits<Id>::max();

    Reached state_id(Id id) const noexcept {
        return static_cast<Reached>(self().entry(id).meta & 3);
    }
    double g_id(Id id) const noexcept
        requires KeepsCost<Entry>
    {
        return self().entry(id).cost();
    }

    void record_id(Id id, double g, Id parent, Id depth) noexcept {
        auto& e = self().entry(id);
        if ((e.meta & 3) == 0) self().count_new();
        if constexpr (kParentByMove) {
            e.set(g, parent == kNoParent ? 0 : self().move_between(parent, id) + 1);
        } else {
            e.set(g, parent, depth);
        }
    }

    std::optional<double> close_id(Id id)
        requires KeepsCost<Entry>
    {
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

    Id depth_id(Id id) const noexcept
        requires KeepsCost<Entry>
    {
        return self().entry(id).depth();
    }
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
        // A parent handed to record_id that was never recorded itself has
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
}  // namespace quorvane
