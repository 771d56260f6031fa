// Parent maps and the small path helpers the layered drivers share.
//
// `ParentMap<Node>` maps a node to the node it was first reached from. Both
// keys and parents are owned copies; keys are hashed with the Fx hash of
// their value and compared with `==`. The drivers that fill one (beam and
// bidirectional search) enter a node only when it has no entry yet, so an
// entry never changes once written and the parent of a node was always
// reached before the node itself.
//
// `rebuild_path_from_parents(map, goal)` follows parents from `goal` until a
// node without an entry (or one mapped to itself, the way bidirectional
// search marks its roots) and returns the chain root-first, goal last:
// [goal] when the goal has no entry. It copies every node; the map is only
// read. A chain longer than the map is large can only come from a cycle,
// which no driver builds: it panics rather than loop. O(path length).
//
// `cheapest_step_cost(list, start, target)` folds the step costs of the
// entries of one successor list whose node equals `target`, from `start`,
// with a smaller-of rule that never takes a NaN operand: a NaN cost never
// replaces the running value, a NaN running value is replaced by the first
// non-NaN match, and of two equal values the later one is kept (visible only
// as the sign of a zero). No match returns `start`. The list is consumed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "panic.hpp"
#include "state/fx_hash.hpp"

namespace quorvane {

template <class Node>
class ParentMap {
public:
    // Stores (node, parent) and hands back the parent the node had before,
    // if any (in which case the old entry is replaced).
    std::optional<Node> insert(Node node, Node parent) {
        auto [it, inserted] = map_.try_emplace(std::move(node), std::move(parent));
        if (inserted) return std::nullopt;
        // try_emplace leaves `parent` untouched when the key exists.
        std::optional<Node> previous(std::move(it->second));
        it->second = std::move(parent);
        return previous;
    }

    bool contains(const Node& node) const { return map_.find(node) != map_.end(); }

    // The node's parent, or nullptr when it has no entry. The pointer stays
    // valid until the next insertion.
    const Node* parent_of(const Node& node) const {
        const auto it = map_.find(node);
        return it == map_.end() ? nullptr : &it->second;
    }

    std::size_t size() const noexcept { return map_.size(); }
    bool empty() const noexcept { return map_.empty(); }

private:
    std::unordered_map<Node, Node, FxHash<Node>> map_;
};

template <class Node>
std::vector<Node> rebuild_path_from_parents(const ParentMap<Node>& parents, Node goal) {
    std::vector<Node> path;
    path.push_back(std::move(goal));
    // An acyclic chain visits each entry at most once.
    std::size_t steps = 0;
    while (const Node* parent = parents.parent_of(path.back())) {
        if (*parent == path.back()) break;
        if (++steps > parents.size()) throw Panic("parent map holds a cycle");
        path.push_back(*parent);
    }
    std::reverse(path.begin(), path.end());
    return path;
}

template <class Node>
double cheapest_step_cost(SuccessorList<Node> list, double start, const Node& target) {
    double m = start;
    for (const Successor<Node>& entry : list) {
        if (!(entry.node == target)) continue;
        if (m < entry.cost || std::isnan(entry.cost)) continue;
        m = entry.cost;
    }
    return m;
}

}  // namespace quorvane
