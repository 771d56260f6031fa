// The domain contract every search driver runs on.
//
// A domain lists the successors of a node, each with the cost of the step,
// in the domain's own fixed order; drivers consume the list in that order.
// Two forms give the same entries in the same order:
//
//   successors_into(node, out)  appends to `out`, leaving earlier entries in
//                               place (the best-first driver reuses one
//                               buffer for the whole search);
//   successors(node)            returns a fresh list.
//
// A node is a plain value that owns its storage and refers to nothing in the
// domain; drivers copy it freely and compare it with `==` (the goal test is
// equality with the goal node; domains have no goal operation). Every node
// form has an `FxHasher` feed (state/fx_hash.hpp) so it can key the search
// tables. Neither form fails on a reachable node; a node without moves gives
// an empty list. A domain is only read during a search.
//
// Heuristics are small value types: `double operator()(const Node&, const
// Node&) const`; the ones that need the domain hold a copy of what they read.
#pragma once

#include <concepts>
#include <vector>

namespace quorvane {

template <class Node>
struct Successor {
    Node node;
    double cost;
};

template <class Node>
using SuccessorList = std::vector<Successor<Node>>;

template <class D>
concept Domain = requires(const D& d, const typename D::Node& n,
                          SuccessorList<typename D::Node>& out) {
    typename D::Node;
    requires std::equality_comparable<typename D::Node>;
    requires std::copyable<typename D::Node>;
    { d.successors_into(n, out) } -> std::same_as<void>;
    { d.successors(n) } -> std::same_as<SuccessorList<typename D::Node>>;
};

template <class H, class Node>
concept HeuristicFor = requires(const H& h, const Node& a, const Node& b) {
    { h(a, b) } -> std::convertible_to<double>;
};

// The heuristic that estimates nothing: h = 0 for every node.
struct ZeroHeuristic {
    template <class Node>
    double operator()(const Node&, const Node&) const noexcept {
        return 0.0;
    }
};

}  // namespace quorvane
