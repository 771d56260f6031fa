// A reached table by node, for tests: record, close, lookup, parent_of and
// rebuild_path over any ReachedTable, written with the operations the search
// loops call (state/reached_table.hpp), so that a test of these is a test of
// those.
#pragma once

#include <optional>
#include <vector>

#include "state/reached_table.hpp"

namespace quorvane {

struct ReachedLookup {
    Reached state = Reached::absent;
    double g = 0.0;  // meaningless when absent
};

// A start: no parent, depth 0.
template <ReachedTable T>
void record(T& table, const typename T::Node& node, double g) {
    typename T::Node copy(node);
    table.record_id(table.intern_key(copy).first, g, T::kNoParent, 0);
}

// `parent` is interned first; it need not have an entry of its own.
template <ReachedTable T>
void record(T& table, const typename T::Node& node, double g, const typename T::Node& parent) {
    typename T::Node parent_copy(parent);
    const typename T::Id parent_id = table.intern_key(parent_copy).first;
    const typename T::Id depth = table.depth_id(parent_id) + 1;
    typename T::Node copy(node);
    table.record_id(table.intern_key(copy).first, g, parent_id, depth);
}

// A node never recorded reaches close_id as an absent entry, which panics.
template <ReachedTable T>
std::optional<double> close(T& table, const typename T::Node& node) {
    typename T::Node copy(node);
    return table.close_id(table.intern_key(copy).first);
}

template <ReachedTable T>
ReachedLookup lookup(const T& table, const typename T::Node& node) {
    const std::optional<typename T::Id> id = table.find(node);
    if (!id) return {};
    return {table.state_id(*id), table.g_id(*id)};
}

template <ReachedTable T>
std::optional<typename T::Node> parent_of(const T& table, const typename T::Node& node) {
    const std::optional<typename T::Id> id = table.find(node);
    if (!id || table.state_id(*id) == Reached::absent) return std::nullopt;
    const typename T::Id parent = table.parent_id(*id);
    if (parent == T::kNoParent) return std::nullopt;
    return std::optional<typename T::Node>(table.node_at(parent));
}

// A node without an entry gives the one-node path of itself.
template <ReachedTable T>
std::vector<typename T::Node> rebuild_path(const T& table, const typename T::Node& goal) {
    const std::optional<typename T::Id> id = table.find(goal);
    if (!id || table.state_id(*id) == Reached::absent) return {goal};
    return table.rebuild_path_id(*id);
}

}  // namespace quorvane
