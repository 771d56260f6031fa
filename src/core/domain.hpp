// The domain contract every search driver runs on.
//
// A domain lists the successors of a node, each with the cost of the step,
// in the domain's own fixed order; drivers consume the list in that order.
// Two forms give the same entries in the same order:
//
//   successors_into(node, out)  appends to `out`, leaving earlier entries in
//                               place (the best-first driver reuses one
//                               buffer for the whole search);
//   successors(node)            returns a fresh list; a domain with no
//                               quicker way derives it from the first
//                               form through `FreshSuccessors`.
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
//
// Optional hooks, each probed by the concept named beside it. A driver that
// finds one runs faster, never differently: the best-first plan
// (drivers/best_first_plan.hpp) and loop read them with the tables' and
// frontiers' own (state/reached_table.hpp, state/priority_frontier.hpp),
// IDA* reads WholeHeuristic, the depth-first path stack `successors_to`;
// the others keep to the contract above. (Who offers it in brackets.)
//   successors_view(n)        SuccessorsInPlace     reads n's list in place, no copy (CSR)
//   for_each_successor(n, f)  VisitsSuccessors      each child as made, no list (grid, Hanoi)
//   prefetch_successors(n)    PrefetchesSuccessors  next node's list fetched during this one (CSR)
//   successors_to(n, out)     BoundsSuccessors      fixed-size lists; next pop prefetched (packed)
//   successors_into(n, o, h)  HintsSuccessors       child's entry prefetched when made (implicit)
//   step_costs_nonnegative()  DeclaresStepCosts     no NaN: bucket frontier (grid, Hanoi, puzzle)
//   arcs()                    ShowsArcs             the same, found by one look at the arcs (CSR)
//   unit_step_costs()         DeclaresUnitSteps     8-byte dense entries, FIFO ucs (grid, puzzles)
//   dense_slot(n) and kin     HasDenseSlots         reached table as one flat array (grid, Hanoi)
//   dense_worthwhile()        LimitsDenseSlots      no flat array past a size (numbered Hanoi)
//   dense_move(p, c) and kin  HasDenseMoves         4-byte entries for unit steps (grid, Hanoi)
//   for_each_dense_step(s, f) VisitsDenseSteps      unit-step bfs on slots, 1-byte entries (grid)
//   num_nodes(), Node uint64  IndexNodes            one array as HasDenseSlots, to 2^25 nodes (CSR)
//   H::kNonNegative           NonNegativeHeuristic  no NaN: bucket frontier (grid, Hanoi, puzzle)
//   H::kPure                  PureHeuristic         skipped where unread (grid, Hanoi, puzzle)
//   h.whole(n, goal)          WholeHeuristic        IDA* in integers under unit steps (packed)
//   n.word(), from_word(w)    OneWordNode           hashed table: node, record in one slot (packed)
//   word_move(p, c) and kin   HasWordMoves          16-byte slots for unit steps (packed)
// The bidirectional driver takes the predecessors of a one-way domain as a
// `NeighbourSource`.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <ranges>
#include <type_traits>
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
concept Domain =
    requires(const D& d, const typename D::Node& n, SuccessorList<typename D::Node>& out) {
        typename D::Node;
        requires std::equality_comparable<typename D::Node>;
        requires std::copyable<typename D::Node>;
        { d.successors_into(n, out) } -> std::same_as<void>;
        { d.successors(n) } -> std::same_as<SuccessorList<typename D::Node>>;
    };

// `class G : public FreshSuccessors<G>` gives G `successors(n)`: a fresh
// list filled by G's successors_into, with room for kRoom entries made
// first when G knows how long its lists get.
template <class D, std::size_t kRoom = 0>
struct FreshSuccessors {
    // Self is D, named only when called, once D is a complete type.
    template <class Self = D>
    SuccessorList<typename Self::Node> successors(const typename Self::Node& node) const {
        SuccessorList<typename Self::Node> out;
        if constexpr (kRoom > 0) out.reserve(kRoom);
        static_cast<const Self&>(*this).successors_into(node, out);
        return out;
    }
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

// ---- optional hooks ----

// `successors_view(n)`: a forward range of `Successor<Node>` holding exactly
// what successors_into would append, in the same order, valid until the next
// call.
template <class D>
concept SuccessorsInPlace = requires(const D& d, const typename D::Node& n) {
    requires std::ranges::forward_range<decltype(d.successors_view(n))>;
    requires std::convertible_to<std::ranges::range_reference_t<decltype(d.successors_view(n))>,
                                 const Successor<typename D::Node>&>;
};

// `for_each_successor(n, f)`: calls f(Node& child, double cost) once for
// each entry successors_into would append, in the same order; f may move
// from the child.
template <class D>
concept VisitsSuccessors = requires(const D& d, const typename D::Node& n) {
    d.for_each_successor(n, [](typename D::Node&, double) {});
};

// `prefetch_successors(n)`: a cache hint that n's list is about to be read;
// it reads nothing, and n must be a node of the domain. Used only with a
// table that prefetches its own entries and a frontier that can peek.
template <class D>
concept PrefetchesSuccessors =
    requires(const D& d, const typename D::Node& n) { d.prefetch_successors(n); };

// `D::kMaxSuccessors` and `successors_to(n, out)`: no node has more than
// kMaxSuccessors successors, and successors_to writes exactly the entries
// successors_into would append, in the same order, to out[0 .. count) and
// returns count; it may overwrite the rest of out[0 .. kMaxSuccessors), so
// that it need not branch on the count. Cheap enough that the best-first
// driver lists the node it expects to pop next ahead of time, to prefetch
// the entries of its children.
template <class D>
concept BoundsSuccessors =
    requires(const D& d, const typename D::Node& n, Successor<typename D::Node>* out) {
        { D::kMaxSuccessors } -> std::convertible_to<std::size_t>;
        { d.successors_to(n, out) } -> std::same_as<std::size_t>;
    };

// A cache hint about a child just made: `hint(child)` reads nothing the
// listing depends on. Called through a pointer, so that a domain listing
// out of line (behind a callback) can take it.
template <class Node>
struct ChildHint {
    const void* context;
    void (*call)(const void* context, const Node& child);

    void operator()(const Node& child) const { call(context, child); }
};

// `successors_into(n, out, hint)`: as successors_into(n, out), calling
// hint(child) on each child as soon as it is made, before the rest of the
// listing's work (releasing a callback's answer), so that the best-first
// driver's miss on the child's entry overlaps that work.
template <class D>
concept HintsSuccessors =
    requires(const D& d, const typename D::Node& n, SuccessorList<typename D::Node>& out,
             ChildHint<typename D::Node> hint) { d.successors_into(n, out, hint); };

// `step_costs_nonnegative()`: true promises that every step cost is >= 0
// and never NaN; false promises nothing. A domain that declares it (or
// shows its arcs) lists successors without effects: the best-first driver
// may list a node again in a rerun (drivers/best_first_rerun.hpp).
template <class D>
concept DeclaresStepCosts = requires(const D& d) {
    { d.step_costs_nonnegative() } -> std::convertible_to<bool>;
};

// `unit_step_costs()`: true promises that every step costs exactly 1.0;
// false promises nothing.
template <class D>
concept DeclaresUnitSteps = requires(const D& d) {
    { d.unit_step_costs() } -> std::convertible_to<bool>;
};

// `arcs()`: a range of every step of the domain, each with a `cost`; looked
// over in time linear in its length when the domain does not declare its
// step costs.
template <class D>
concept ShowsArcs = requires(const D& d) { d.arcs().begin()->cost; };

// Whether every step of the domain costs exactly 1.0, as the domain
// declares it (DeclaresUnitSteps); no other domain is assumed to.
template <class D>
bool unit_step_costs(const D& domain) {
    if constexpr (DeclaresUnitSteps<D>) {
        return domain.unit_step_costs();
    } else {
        return false;
    }
}

// Whether every step cost of the domain is >= 0 and never NaN: as the
// domain declares it (DeclaresStepCosts), else by a look over all its arcs
// (ShowsArcs), in time linear in them like the domain's own building; no
// other domain is assumed to.
template <class D>
bool step_costs_nonnegative(const D& domain) {
    if constexpr (DeclaresStepCosts<D>) {
        return domain.step_costs_nonnegative();
    } else if constexpr (ShowsArcs<D>) {
        bool bad = false;
        for (const auto& arc : domain.arcs()) bad |= !(arc.cost >= 0.0);
        return !bad;
    } else {
        return false;
    }
}

// Whether step costs are known without listing anything: a domain of
// either kind lists successors without effects, so a node may be listed
// again (the best-first rerun, drivers/best_first_rerun.hpp).
template <class D>
concept KnowsStepCosts = DeclaresStepCosts<D> || ShowsArcs<D>;

// `dense_slots()` (the number of slots), `dense_slot(n)` (an unsigned slot
// below it, one per node) and `dense_node(slot)` (its inverse): the domain
// numbers its nodes densely, at any size; a domain may add
// `dense_worthwhile()`, false when its slots are too many for a table.
template <class D>
concept HasDenseSlots = requires(const D& d, const typename D::Node& n) {
    { d.dense_slots() } -> std::convertible_to<uint64_t>;
    { d.dense_slot(n) } -> std::unsigned_integral;
    { d.dense_node(d.dense_slot(n)) } -> std::same_as<typename D::Node>;
};

// `dense_worthwhile()`, beside HasDenseSlots: false when the domain's slots
// are too many for a table (then dense_slot is never called).
template <class D>
concept LimitsDenseSlots = requires(const D& d) {
    { d.dense_worthwhile() } -> std::convertible_to<bool>;
};

// `dense_moves()` (a count K), `dense_move(parent_slot, child_slot)` (the
// number below K of the step from a node to one of its successors) and
// `dense_unmove(child_slot, move)` (the parent again): the domain names its
// steps by small numbers, so a parent can be kept as the step's number.
// K = 0 names none.
template <class D>
concept HasDenseMoves = HasDenseSlots<D> && requires(const D& d, const typename D::Node& n) {
    { d.dense_moves() } -> std::convertible_to<uint32_t>;
    { d.dense_move(d.dense_slot(n), d.dense_slot(n)) } -> std::convertible_to<uint32_t>;
    { d.dense_unmove(d.dense_slot(n), uint32_t{0}) } -> std::convertible_to<uint64_t>;
};

// `for_each_dense_step(slot, f)`: for a domain with HasDenseMoves, called
// only while unit_step_costs() is true and dense_moves() > 0: calls
// f(child_slot, move, blocked) for each step that dense_node(slot) might
// take, in the order successors_into lists its successors, with
// move = dense_move(slot, child_slot). The successors are exactly the calls
// with blocked false (no more than dense_moves() of them); a blocked call
// (a step into a wall) still names a slot below dense_slots(), so that f
// may test it together with its own test of the slot, in one branch. A
// breadth-first search then never turns a slot into a node on its hot path.
template <class D>
concept VisitsDenseSteps = HasDenseMoves<D> && requires(const D& d, const typename D::Node& n) {
    d.for_each_dense_step(d.dense_slot(n), [](decltype(d.dense_slot(n)), uint32_t, bool) {});
};

// Nodes that are indices below `num_nodes()`: each node is its own slot.
template <class D>
concept IndexNodes = std::same_as<typename D::Node, uint64_t> && requires(const D& d) {
    { d.num_nodes() } -> std::convertible_to<uint64_t>;
};

// `static constexpr bool kNonNegative = true` on a heuristic type promises
// that every value is >= 0 and never NaN. ZeroHeuristic needs no flag.
template <class H>
concept NonNegativeHeuristic =
    std::same_as<H, ZeroHeuristic> || requires { requires bool(H::kNonNegative); };

// `static constexpr bool kPure = true` on a heuristic type promises that
// evaluating it has no effect besides the value returned (no callback, no
// state), so skipping an evaluation whose value is not used changes nothing.
// ZeroHeuristic needs no flag.
template <class H>
concept PureHeuristic = std::same_as<H, ZeroHeuristic> || requires { requires bool(H::kPure); };

// `h.whole(n, goal)`: h(n, goal) as an integer, for a heuristic whose every
// value is a whole number of magnitude below 2^53, so that the double and
// the integer are the same number.
template <class H, class Node>
concept WholeHeuristic = requires(const H& h, const Node& n) {
    { h.whole(n, n) } -> std::same_as<int64_t>;
};

// A node that is one 64-bit word: `n.word()` gives it, never ~0, and
// `Node::from_word(n.word()) == n`; equal nodes have equal words.
template <class N>
concept OneWordNode = std::is_trivially_copyable_v<N> && requires(const N& n, uint64_t w) {
    { n.word() } -> std::same_as<uint64_t>;
    { N::from_word(w) } -> std::same_as<N>;
};

// `word_moves()` (a count K), `word_move(parent_word, child_word)` (the
// number below K of the step from a node to one of its successors) and
// `word_unmove(child_word, move)` (the parent's word again): HasDenseMoves
// for one-word nodes, named by their words.
template <class D>
concept HasWordMoves = OneWordNode<typename D::Node> && requires(const D& d, uint64_t w) {
    { d.word_moves() } -> std::convertible_to<uint32_t>;
    { d.word_move(w, w) } -> std::convertible_to<uint32_t>;
    { d.word_unmove(w, uint32_t{0}) } -> std::same_as<uint64_t>;
};

// Anything that lists (neighbour, cost) pairs for a node the way a domain
// lists its successors: the bidirectional driver's predecessors, whose
// `successors(v)` lists (u, cost) for every move u -> v.
template <class S, class Node>
concept NeighbourSource = requires(const S& s, const Node& n) {
    { s.successors(n) } -> std::same_as<SuccessorList<Node>>;
};

// A NeighbourSource that also appends its lists (`successors_into(n, out)`),
// so that the driver reuses one buffer.
template <class S, class Node>
concept NeighbourSourceInto =
    NeighbourSource<S, Node> &&
    requires(const S& s, const Node& n, SuccessorList<Node>& out) { s.successors_into(n, out); };

}  // namespace quorvane
