// The best-first driver: the one search loop behind bfs, dfs, ucs,
// dijkstra, greedy, astar and weighted_astar.
//
//   best_first_search(domain, start, goal, config, heuristic, limits)
//
// The algorithms differ only in `config` (best_first_config.hpp): the
// frontier (FIFO, LIFO, or by priority f = g_weight * g + h_weight * h with
// ties in push order) and the two weights. The loop:
//   - records the start (g 0, no parent) and pushes it;
//   - pops; a node already closed is a stale duplicate: skipped, neither
//     counted nor traced;
//   - closes the node, traces it (node, g, frontier entries left), and
//     counts it as expanded;
//   - goal test on pop only (never on generation), then the node limit:
//     with max_nodes = m the m-th expanded node ends the search (goal first,
//     so a goal popped as the m-th node is still found);
//   - lists the successors into one reused buffer (or reads them in place
//     from a domain that offers `successors_view`, or takes each from a
//     domain that offers `for_each_successor`) and, in the domain's
//     order, records and pushes each child that is new, or improves
//     strictly on its stored g (NaN never improves) while open, or while
//     closed with `reopen` on (counted as reopened);
//   - h(child, goal) is evaluated once per push, the start's included
//     (a pure heuristic, whose evaluation nothing can observe, is not
//     evaluated when h_weight is 0);
//   - a weight of exactly 0 drops its term from f, so the quantity it
//     ignores cannot poison the order (0 * inf would be NaN): ucs keeps
//     ordering by g under an infinite h, greedy by h under an infinite g.
// g lives only in the reached table, never in the frontier, so an
// improvement is one overwrite and one push; older entries go stale.
//
// A search in which no priority can ever be NaN (priorities_never_nan)
// runs on a BucketFrontier (falling back to a radix heap, then to the
// binary heap), which pops the same sequence faster, and so does one whose
// heuristic may answer NaN until it does (AnswerLog); one whose steps all
// cost 1.0 and whose priority is g alone (priorities_follow_g) runs on a
// FIFO, which pops that sequence too; on a domain that names its steps by
// slot and move (VisitsDenseSteps) such a search, and bfs with unit steps,
// runs on slots alone with a one-byte table entry (dense_step_loop).
//
// Result: path and cost at a goal stop (the path rebuilt from the parents,
// the cost the goal's g); nodes_expanded counts the node at which a goal or
// node-limit stop happens; nodes_generated counts the start and every push,
// re-pushes included; max_frontier_size is the peak number of entries,
// stale ones included. With `record`, `trace` holds one entry per expansion
// and `tree` one (final parent, child) edge per node first reached other
// than the start, in first-reached order; without it neither costs anything.
// The driver never fails; its state is freed before the clock is read for
// `elapsed`.
//
// Reopening with a negative-cost cycle would lower g without end and could
// close a loop in the parent links. Two guards, both inert on every input
// without a reachable negative cycle:
//   - an improvement of a node that is an ancestor of the node being
//     expanded is dropped, so the parents always form a tree rooted at the
//     start and every returned path is a real path from the start (the walk
//     up the parents runs only once a negative step has been seen);
//   - a record whose path would be longer than the number of distinct nodes
//     reached is dropped, so the search stays finite.
//
// IMPORTANT: the domain must outlive the call; it is only read.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "drivers/best_first_config.hpp"
#include "state/bucket_frontier.hpp"
#include "state/outcome.hpp"
#include "state/priority_frontier.hpp"
#include "state/queue_frontiers.hpp"
#include "state/reached_table.hpp"

namespace quorvane {

template <Domain D, HeuristicFor<typename D::Node> H>
SearchOutcome<typename D::Node> best_first_search(const D& domain, typename D::Node start,
                                                  typename D::Node goal,
                                                  const BestFirstConfig& config, const H& heuristic,
                                                  const BestFirstLimits& limits);

// ---- details ----

namespace detail {

// g_weight * g + h_weight * h, each term dropped when its weight is 0.
inline double weighted_priority(double g_weight, double g, double h_weight, double h) noexcept {
    if (h_weight == 0.0) return g_weight == 0.0 ? 0.0 : g_weight * g;
    if (g_weight == 0.0) return h_weight * h;
    return g_weight * g + h_weight * h;
}

// Whether `candidate` lies on the parent chain of `id` (`id` included).
// The chain is a tree path, so the walk ends at the start.
template <class Table>
bool is_ancestor(const Table& table, typename Table::Id candidate, typename Table::Id id) noexcept {
    for (auto at = id; at != Table::kNoParent; at = table.parent_id(at)) {
        if (at == candidate) return true;
    }
    return false;
}

// How many pops ahead a FIFO's next entries are prefetched.
inline constexpr std::size_t kFifoAhead = 16;

// Whether evaluating the heuristic has no effect besides its value
// (PureHeuristic); ZeroHeuristic always has none.
template <class H>
constexpr bool heuristic_pure() {
    if constexpr (std::is_same_v<H, ZeroHeuristic>) {
        return true;
    } else if constexpr (PureHeuristic<H>) {
        return H::kPure;
    } else {
        return false;
    }
}

// The search loop; `kRecord` is limits.record (see run_best_first).
// Returns false when a NanStopFrontier stopped it (its outcome is then
// meaningless), else true.
template <class Frontier, bool kRecord, class D, class H, class Table>
bool best_first_loop(const D& domain, typename D::Node start, const typename D::Node& goal,
                     const BestFirstConfig& config, const H& heuristic,
                     const BestFirstLimits& limits, Table& table,
                     SearchOutcome<typename D::Node>& out) {
    using Node = typename D::Node;
    using Id = typename Table::Id;
    using Key = typename Table::Key;

    const double g_weight = config.g_weight;
    const double h_weight = config.h_weight;
    constexpr bool record = kRecord;
    const bool reopen = limits.reopen;
    const bool limited = limits.max_nodes.has_value();
    const uint64_t max_nodes = limits.max_nodes.value_or(0);

    Frontier frontier;
    const double h_start = heuristic(start, goal);
    auto [start_id, start_key] = table.intern_key(start);
    table.record_id(start_id, 0.0, Table::kNoParent, 0);
    frontier.push(std::move(start_key), weighted_priority(g_weight, 0.0, h_weight, h_start));

    uint64_t expanded = 0;
    uint64_t generated = 1;
    uint64_t max_frontier = 1;
    uint64_t reopened = 0;
    TreeRecorder<Table> tree(table);
    if constexpr (requires { table.capacity_hint(); }) {
        // A recorded search over a dense table gets room for one entry per
        // slot up front (capped): growing by copies would touch the memory
        // of each entry about three times.
        if (record) {
            const std::size_t hint = table.capacity_hint();
            out.trace.reserve(hint);
            tree.reserve(hint);
        }
    }
    SuccessorList<Node> buffer;  // unused when the domain shows its lists in place
    bool negative_step_seen = false;

    for (;;) {
        std::optional<typename Table::Key> key = frontier.pop();
        if (!key) {
            out.stop_reason = StopReason::exhausted;
            break;
        }
        const Id id = table.id_of_key(*key);
        // A FIFO pops in push order, so the entry of the node it pops
        // kFifoAhead pops from now is known: asked for now, its cache miss
        // overlaps the expansions in between.
        if constexpr (requires(Key k) {
                          frontier.peek_ahead(kFifoAhead);
                          table.prefetch_key(k);
                      }) {
            if (const Key* ahead = frontier.peek_ahead(kFifoAhead)) table.prefetch_key(*ahead);
        }
        const std::optional<double> closed_g = table.close_id(id);
        if (!closed_g) continue;  // stale duplicate
        const double g = *closed_g;
        // IMPORTANT: with the hashed table this refers into the table and
        // is invalidated by the first child interned below.
        const auto& node = table.node_of_key(*key);
        if (record) {
            out.trace.push_back(TraceEntry<Node>{node, g, frontier.size()});
            tree.expanding(node);
        }
        const uint64_t e = expanded + 1;
        if (node == goal) {
            expanded = e;
            out.cost = g;
            out.path = table.rebuild_path_id(id);
            out.stop_reason = StopReason::goal;
            break;
        }
        if (limited && e >= max_nodes) {
            expanded = e;
            out.stop_reason = StopReason::node_limit;
            break;
        }
        expanded = e;

        // A domain that keeps its successor lists (a graph's arcs) has the
        // list of the node most likely popped next asked for now, with that
        // node's entry, so those misses overlap this expansion. (A grid
        // computes its lists from nearby walls: there the peek costs more
        // than it saves.) A dense table's keys are nodes of the domain, as
        // the domain's prefetch asks.
        if constexpr (PrefetchesSuccessors<D> && requires(Key k) {
                          frontier.peek_hint();
                          table.prefetch_key(k);
                      }) {
            if (const std::optional<Key> next = frontier.peek_hint()) {
                table.prefetch_key(*next);
                domain.prefetch_successors(table.node_of_key(*next));
            }
        } else if constexpr (BoundsSuccessors<D> && requires(Key k, const Node& n) {
                                 frontier.peek_hint();
                                 table.prefetch_key(k);
                                 table.prefetch_node(n);
                             }) {
            // A domain that lists successors into a fixed array (a packed
            // board) lists the node most likely popped next now, so the
            // misses on that node's entry and its children's overlap this
            // expansion.
            if (const std::optional<Key> next = frontier.peek_hint()) {
                table.prefetch_key(*next);
                Successor<Node> ahead[D::kMaxSuccessors];
                const std::size_t count = domain.successors_to(table.node_of_key(*next), ahead);
                for (std::size_t i = 0; i < count; ++i) table.prefetch_node(ahead[i].node);
            }
        }
        const Id child_depth = reopen ? table.depth_id(id) + 1 : 0;
        // One child, in the domain's order; `child` may be moved from.
        auto consider = [&](Node& child, double cost) {
            const double new_g = g + cost;
            if (cost < 0.0) negative_step_seen = true;
            auto [child_id, child_key] = table.intern_key(child);
            // g is read only when the child has an entry that may improve.
            const Reached seen = table.state_id(child_id);
            if (seen != Reached::absent) {
                if (seen == Reached::closed && !reopen) return;
                if (!(table.g_id(child_id) > new_g)) return;
            }
            if (reopen) {
                // The recorded path would hold child_depth + 1 nodes; more
                // than the distinct nodes reached means it repeats one,
                // which only a negative-cost cycle allows.
                const uint64_t distinct = table.size() + (seen == Reached::absent ? 1 : 0);
                if (static_cast<uint64_t>(child_depth) + 1 > distinct) return;
                if (negative_step_seen && seen != Reached::absent &&
                    detail::is_ancestor(table, child_id, id)) {
                    return;
                }
            }
            if (seen == Reached::absent) {
                if (record) tree.reached(child_id, child);
            } else {
                if (record) tree.replaced();
                if (seen == Reached::closed) ++reopened;
            }
            table.record_id(child_id, new_g, id, child_depth);
            const double h = heuristic(table.interned_node(child_key, child), goal);
            frontier.push(std::move(child_key), weighted_priority(g_weight, new_g, h_weight, h));
            ++generated;
            max_frontier = std::max<uint64_t>(max_frontier, frontier.size());
        };
        // All the children's entries are asked for at once, so their cache
        // misses overlap instead of coming one by one in the loop below.
        auto prefetch = [&](const auto& children) {
            if constexpr (requires(const Successor<Node>& c) { table.prefetch_node(c.node); }) {
                for (const Successor<Node>& successor : children)
                    table.prefetch_node(successor.node);
            }
        };
        if constexpr (VisitsSuccessors<D>) {
            // The domain hands each child over where it makes it: no list.
            // A node held in a hashed table may move while children are
            // interned, so the domain is given a copy of it.
            if constexpr (std::is_reference_v<decltype(table.node_of_key(*key))>) {
                const Node parent = node;
                domain.for_each_successor(parent, consider);
            } else {
                domain.for_each_successor(node, consider);
            }
        } else if constexpr (SuccessorsInPlace<D>) {
            // The arcs are read where the domain keeps them: no copy.
            const auto children = domain.successors_view(node);
            prefetch(children);
            for (const Successor<Node>& successor : children) {
                Node child = successor.node;
                consider(child, successor.cost);
            }
        } else if constexpr (BoundsSuccessors<D>) {
            // A short list of fixed size: made on the stack, no buffer.
            Successor<Node> children[D::kMaxSuccessors];
            const std::size_t count = domain.successors_to(node, children);
            prefetch(std::span<const Successor<Node>>(children, count));
            for (std::size_t i = 0; i < count; ++i) consider(children[i].node, children[i].cost);
        } else {
            buffer.clear();
            if constexpr (HintsSuccessors<D> &&
                          requires(const Node& n) { table.prefetch_node(n); }) {
                // Each child's entry is asked for as the domain makes the
                // child: the miss overlaps the rest of the listing.
                const ChildHint<Node> hint{&table, [](const void* t, const Node& child) {
                                               static_cast<const Table*>(t)->prefetch_node(child);
                                           }};
                domain.successors_into(node, buffer, hint);
            } else {
                domain.successors_into(node, buffer);
                prefetch(buffer);
            }
            for (Successor<Node>& successor : buffer) consider(successor.node, successor.cost);
        }
    }

    if (record) out.tree = tree.take_edges();
    out.nodes_expanded = expanded;
    out.nodes_generated = generated;
    out.max_frontier_size = max_frontier;
    out.nodes_reopened = reopened;
    if constexpr (requires { frontier.saw_nan(); }) {
        return !frontier.saw_nan();
    } else {
        return true;
    }
}

// A loop of its own for a recorded search, so that a search without
// recording carries none of its code: the record pushes, inlined, would
// otherwise crowd the registers of every search's loop.
template <class Frontier, class D, class H, class Table>
bool run_best_first(const D& domain, typename D::Node start, const typename D::Node& goal,
                    const BestFirstConfig& config, const H& heuristic,
                    const BestFirstLimits& limits, Table& table,
                    SearchOutcome<typename D::Node>& out) {
    if (limits.record) {
        return best_first_loop<Frontier, true>(domain, std::move(start), goal, config, heuristic,
                                               limits, table, out);
    }
    return best_first_loop<Frontier, false>(domain, std::move(start), goal, config, heuristic,
                                            limits, table, out);
}

// Whether every step cost of the domain is >= 0 and never NaN: as the
// domain declares it (DeclaresStepCosts), else by a look over all its arcs
// (ShowsArcs), in time linear in them like the domain's own building; other
// domains are not assumed to.
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

// Whether every step of the domain costs exactly 1.0, as the domain
// declares it (DeclaresUnitSteps); other domains are not assumed to.
template <class D>
bool unit_step_costs(const D& domain) {
    if constexpr (DeclaresUnitSteps<D>) {
        return domain.unit_step_costs();
    } else {
        return false;
    }
}

// Whether every value of the heuristic is >= 0 and never NaN, as its type
// declares it (DeclaresHeuristicSign); ZeroHeuristic always is.
template <class H>
constexpr bool heuristic_nonnegative() {
    if constexpr (std::is_same_v<H, ZeroHeuristic>) {
        return true;
    } else if constexpr (DeclaresHeuristicSign<H>) {
        return H::kNonNegative;
    } else {
        return false;
    }
}

// Whether the weights are finite and >= 0 and every step cost is >= 0 and
// never NaN: then only h can make a priority NaN.
template <class D>
bool g_terms_never_nan(const D& domain, const BestFirstConfig& config) {
    auto weight_ok = [](double w) { return w >= 0.0 && w < HUGE_VAL; };
    return weight_ok(config.g_weight) && weight_ok(config.h_weight) &&
           step_costs_nonnegative(domain);
}

// Whether no priority of the search can be NaN: g is a sum of costs in
// [0, inf] (g >= 0 and cost >= 0 never give inf - inf), h is in [0, inf],
// and finite weights >= 0 keep each term in [0, inf] (a zero weight drops
// its term), so their sum is never NaN either.
template <class D, class H>
bool priorities_never_nan(const D& domain, const BestFirstConfig& config) {
    return g_terms_never_nan(domain, config) &&
           (config.h_weight == 0.0 || heuristic_nonnegative<H>());
}

// Whether, in a search without NaN priorities, a FIFO pops what the
// priority frontier would: every step costs 1.0 and f = g_weight * g (no h
// term, or h = 0). Such a search is breadth-first: nodes are popped in
// order of g, a node is first recorded at its least g and never improved
// (so nothing is pushed twice, with or without reopening), and each push
// has g one more than the node being expanded, so pushes come in order of
// f and the least (f, push number) is always the oldest entry.
template <class H, class D>
bool priorities_follow_g(const D& domain, const BestFirstConfig& config) {
    return unit_step_costs(domain) && (config.h_weight == 0.0 || std::is_same_v<H, ZeroHeuristic>);
}

// A heuristic that declares no sign (a caller's callable) may answer NaN,
// and the binary heap pops a NaN priority in an order of its own that
// depends on the heap's whole history. When only h can make a priority NaN
// (g_terms_never_nan), such a search runs first on a BucketFrontier behind
// a NanStopFrontier, every answer of its heuristic kept in order by an
// AnswerLog. Without a NaN priority that run is the search. A NaN priority
// (or a log past its allowance, which answers NaN to the driver) stops it
// at its next pop, and the search runs again from nothing on the binary
// heap, its heuristic answered from the log for as long as the log lasts,
// then called again:
//   - up to the NaN push both runs pop the same sequence (without NaN any
//     correct priority queue pops it), so they make the same calls in the
//     same order; up to the stopping pop the first run ends the expansion
//     in hand, as the second one does. So the heuristic is called exactly
//     as by a run on the binary heap alone, each call once (which children
//     are evaluated depends on the table alone, never on h);
//   - only the domain's listing is done again, which has no effects on a
//     domain whose step costs are known (DeclaresStepCosts, ShowsArcs).

// The heuristic `H` with its answers kept, then given back: see above.
template <class H>
class AnswerLog {
public:
    explicit AnswerLog(const H& inner) noexcept : inner_(&inner) {}

    // From now on every answer is kept.
    void keep() noexcept { mode_ = Mode::keeping; }
    bool keeping() const noexcept { return mode_ == Mode::keeping; }
    // From now on the kept answers are given back in order; once they are
    // all given, H answers again and nothing is kept.
    void replay() noexcept {
        mode_ = Mode::replaying;
        read_ = 0;
        last_ = 0.0;
    }

    template <class Node>
    [[gnu::always_inline]] double operator()(const Node& node, const Node& goal) const {
        if (mode_ == Mode::calling) return (*inner_)(node, goal);
        return logged(node, goal);
    }

private:
    enum class Mode : uint8_t { calling, keeping, replaying };

    template <class Node>
    [[gnu::noinline]] double logged(const Node& node, const Node& goal) const {
        if (mode_ == Mode::replaying) {
            if (read_ < bytes_.size()) return next_kept();
            bytes_ = {};
            mode_ = Mode::calling;
        }
        const double h = (*inner_)(node, goal);
        if (mode_ == Mode::keeping) {
            append(h);
            // Past its allowance the log ends the run as a NaN answer does:
            // the driver is told NaN, the log keeps the answer.
            if (bytes_.size() > kAllowance + 2 * ++kept_)
                return std::numeric_limits<double>::quiet_NaN();
        }
        return h;
    }

    // A run may keep 2 bytes an answer, and kAllowance besides: answers
    // that keep badly (fractions, 9 bytes each) soon send the search to the
    // binary heap, where it costs no more memory than it always did.
    static constexpr std::size_t kAllowance = std::size_t{1} << 16;

    // An answer is kept as its step from the answer before when that step
    // is a whole number that gives the answer back bit for bit (never so
    // for NaN, for -0.0 after 0.0, or for a fraction): the step, zigzagged,
    // plus 1, in 7-bit groups, low group first (1 byte for a step below 64,
    // 2 below 8192). Any other answer is a 0 byte and its 8 bytes. Most
    // heuristics give whole numbers close to the one before.
    static double stepped(double from, int64_t step) noexcept {
        return from + static_cast<double>(step);
    }

    void append(double h) const {
        const double step = h - last_;
        if (step >= -0x1p52 && step <= 0x1p52) {
            const auto whole = static_cast<int64_t>(step);
            if (std::bit_cast<uint64_t>(stepped(last_, whole)) == std::bit_cast<uint64_t>(h)) {
                uint64_t code =
                    ((static_cast<uint64_t>(whole) << 1) ^ static_cast<uint64_t>(whole >> 63)) + 1;
                for (; code >= 0x80; code >>= 7)
                    bytes_.push_back(static_cast<uint8_t>(code | 0x80));
                bytes_.push_back(static_cast<uint8_t>(code));
                last_ = h;
                return;
            }
        }
        const auto raw = std::bit_cast<std::array<uint8_t, 8>>(h);
        bytes_.push_back(0);
        bytes_.insert(bytes_.end(), raw.begin(), raw.end());
        last_ = h;
    }

    double next_kept() const {
        uint64_t code = 0;
        for (unsigned shift = 0;; shift += 7) {
            const uint8_t byte = bytes_[read_++];
            code |= static_cast<uint64_t>(byte & 0x7f) << shift;
            if (byte < 0x80) break;
        }
        if (code != 0) {
            const uint64_t zigzag = code - 1;
            last_ = stepped(last_,
                            static_cast<int64_t>(zigzag >> 1) ^ -static_cast<int64_t>(zigzag & 1));
        } else {
            std::array<uint8_t, 8> raw;
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(read_), raw.size(),
                        raw.begin());
            read_ += raw.size();
            last_ = std::bit_cast<double>(raw);
        }
        return last_;
    }

    const H* inner_;
    mutable std::vector<uint8_t> bytes_;
    mutable std::size_t kept_ = 0;  // keeping: the answers kept
    mutable std::size_t read_ = 0;  // replaying: the bytes given back
    mutable double last_ = 0.0;     // the answer last kept, or last given back
    mutable Mode mode_ = Mode::calling;
};

// Whether best_first_search runs the heuristic through an AnswerLog: it
// does not declare itself non-negative, so it may answer NaN, and the
// domain's step costs are known, so only h can make a priority NaN and
// listing a node again has no effects.
template <class H, class D>
constexpr bool heuristic_logged() {
    return !heuristic_nonnegative<H>() && (DeclaresStepCosts<D> || ShowsArcs<D>);
}

// `Frontier` until the first NaN priority: that push and every later one
// are dropped, and the next pop finds the frontier empty.
template <class Frontier>
class NanStopFrontier {
public:
    template <class Item>
    [[gnu::always_inline]] void push(Item&& item, double f) {
        if (f != f) [[unlikely]]
            saw_nan_ = true;
        if (!saw_nan_) inner_.push(std::forward<Item>(item), f);
    }

    auto pop() -> decltype(std::declval<Frontier&>().pop()) {
        if (saw_nan_) return std::nullopt;
        return inner_.pop();
    }

    auto peek_hint() const
        requires requires(const Frontier& f) { f.peek_hint(); }
    {
        return inner_.peek_hint();
    }

    std::size_t size() const noexcept { return inner_.size(); }
    bool saw_nan() const noexcept { return saw_nan_; }

private:
    Frontier inner_;
    bool saw_nan_ = false;
};

// Whether a search runs as dense_step_loop: breadth-first (a FIFO, or a
// priority frontier whose priorities follow g, which pops what a FIFO
// does) with every step costing 1.0, on a domain that names its successors
// by slot and move (VisitsDenseSteps), with a heuristic that a FIFO never
// reads and that can be left unevaluated unseen, between a start and a
// goal that the domain numbers (a slot of a node outside the numbering
// could alias another node's).
template <class H, class D>
bool breadth_first_on_steps(const D& domain, const typename D::Node& start,
                            const typename D::Node& goal, const BestFirstConfig& config) {
    if constexpr (VisitsDenseSteps<D> && heuristic_pure<H>()) {
        if (!unit_step_costs(domain) || domain.dense_moves() == 0 ||
            domain.dense_moves() > ByteMoveEntry<uint32_t>::kMaxMoves) {
            return false;
        }
        const bool fifo =
            config.kind == FrontierKind::fifo ||
            (config.kind != FrontierKind::lifo && priorities_never_nan<D, H>(domain, config) &&
             priorities_follow_g<H>(domain, config));
        const uint64_t slots = domain.dense_slots();
        auto numbered = [&](const typename D::Node& n) {
            const auto slot = domain.dense_slot(n);
            return static_cast<uint64_t>(slot) < slots && domain.dense_node(slot) == n;
        };
        return fifo && numbered(start) && numbered(goal);
    } else {
        return false;
    }
}

// best_first_loop for a search that breadth_first_on_steps admits, on a
// table of ByteMoveEntry: the same pops, pushes, counters, trace and tree,
// with nodes handled as slots. Such a search pops in order of g and pushes
// each child with g one more than its parent's, so
//   - the g of a popped node is the number of the level of pops it
//     belongs to (the start alone is level 0; level k + 1 is what level k
//     pushed), and the table need not keep it;
//   - a child that has an entry already never improves on it: it is
//     skipped on its state alone, nothing is pushed twice, nothing is
//     reopened, and the path-length guard of a reopening search never
//     fires.
// Recorded, the search keeps its record folded (ReachOrder), and the
// record's array of nodes in reaching order is the queue itself: its part
// not yet expanded is the frontier.
template <bool kRecord, class D, class Table>
void dense_step_loop(const D& domain, const typename D::Node& start, const typename D::Node& goal,
                     const BestFirstLimits& limits, Table& table,
                     SearchOutcome<typename D::Node>& out) {
    using Id = typename Table::Id;
    constexpr bool record = kRecord;
    const bool limited = limits.max_nodes.has_value();
    const uint64_t max_nodes = limits.max_nodes.value_or(0);

    FifoFrontier<Id> fifo;  // the queue when not recording
    auto& order = out.reach_order.nodes;
    std::size_t taken = 0;  // recording: the nodes of `order` expanded
    const Id start_id = static_cast<Id>(domain.dense_slot(start));
    const Id goal_id = static_cast<Id>(domain.dense_slot(goal));
    table.record_id(start_id, 0.0, Table::kNoParent, 0);
    if (record) {
        const std::size_t hint = table.capacity_hint();
        order.reserve(hint);
        out.reach_order.reached.reserve(hint);
        order.push_back(start);
    } else {
        fifo.push(start_id);
    }
    auto queued = [&]() -> uint64_t {
        if constexpr (record) {
            return order.size() - taken;
        } else {
            return fifo.size();
        }
    };

    uint64_t expanded = 0;
    uint64_t generated = 1;
    uint64_t max_frontier = 1;
    // The level being popped, its entries still to pop, and the entries
    // pushed for the next level.
    uint64_t level = 0;
    uint64_t level_left = 1;
    uint64_t next_level = 0;

    for (;;) {
        Id id;
        if constexpr (record) {
            if (taken == order.size()) {
                out.stop_reason = StopReason::exhausted;
                break;
            }
            id = static_cast<Id>(domain.dense_slot(order[taken++]));
            if (taken + kFifoAhead < order.size())
                table.prefetch_key(static_cast<Id>(domain.dense_slot(order[taken + kFifoAhead])));
        } else {
            const std::optional<Id> key = fifo.pop();
            if (!key) {
                out.stop_reason = StopReason::exhausted;
                break;
            }
            id = *key;
            if (const Id* ahead = fifo.peek_ahead(kFifoAhead)) table.prefetch_key(*ahead);
        }
        if (level_left == 0) {
            ++level;
            level_left = next_level;
            next_level = 0;
        }
        --level_left;
        if (!table.close_state_id(id)) continue;  // (never: nothing is pushed twice)
        const double g = static_cast<double>(level);
        // The ending of best_first_loop's expansion, written out again: as a
        // shared helper it made GCC split this loop, for more instructions.
        const uint64_t e = expanded + 1;
        if (id == goal_id) {
            expanded = e;
            if (record) out.reach_order.reached.push_back(0);
            out.cost = g;
            out.path = table.rebuild_path_id(id);
            out.stop_reason = StopReason::goal;
            break;
        }
        if (limited && e >= max_nodes) {
            expanded = e;
            if (record) out.reach_order.reached.push_back(0);
            out.stop_reason = StopReason::node_limit;
            break;
        }
        expanded = e;
        const uint64_t generated_before = generated;
        auto reach = [&](Id child, uint32_t move, bool blocked) {
            // One branch for both tests: which way it goes is hard to guess.
            if (blocked | (table.state_id(child) != Reached::absent)) return;
            table.record_new_move(child, static_cast<Id>(move));
            if constexpr (record) {
                order.push_back(table.node_at(child));
            } else {
                fifo.push(child);
            }
            ++next_level;
            ++generated;
            max_frontier = std::max<uint64_t>(max_frontier, queued());
        };
        domain.for_each_dense_step(id, reach);
        if (record)
            out.reach_order.reached.push_back(static_cast<uint8_t>(generated - generated_before));
    }

    out.nodes_expanded = expanded;
    out.nodes_generated = generated;
    out.max_frontier_size = max_frontier;
    out.nodes_reopened = 0;
}

// Returns false when a NaN priority stopped the search (see AnswerLog).
template <class D, class H, class Table>
bool run_with_frontier(const D& domain, typename D::Node start, const typename D::Node& goal,
                       const BestFirstConfig& config, const H& heuristic,
                       const BestFirstLimits& limits, Table& table,
                       SearchOutcome<typename D::Node>& out) {
    if constexpr (!std::is_same_v<H, ZeroHeuristic> && heuristic_pure<H>()) {
        // A pure heuristic whose term is dropped need not be evaluated at
        // all: the search runs as with h = 0, which is what it computes.
        if (config.h_weight == 0.0) {
            return run_with_frontier(domain, std::move(start), goal, config, ZeroHeuristic{},
                                     limits, table, out);
        }
    }
    using Key = typename Table::Key;
    switch (config.kind) {
        case FrontierKind::fifo:
            return run_best_first<FifoFrontier<Key>>(domain, std::move(start), goal, config,
                                                     heuristic, limits, table, out);
        case FrontierKind::lifo:
            return run_best_first<LifoFrontier<Key>>(domain, std::move(start), goal, config,
                                                     heuristic, limits, table, out);
        default:
            if constexpr (requires { heuristic.keeping(); }) {
                if (heuristic.keeping()) {
                    return run_best_first<NanStopFrontier<BucketFrontier<Key>>>(
                        domain, std::move(start), goal, config, heuristic, limits, table, out);
                }
            }
            if (!priorities_never_nan<D, H>(domain, config)) {
                return run_best_first<PriorityFrontier<Key>>(domain, std::move(start), goal, config,
                                                             heuristic, limits, table, out);
            }
            if (priorities_follow_g<H>(domain, config)) {
                return run_best_first<FifoFrontier<Key>>(domain, std::move(start), goal, config,
                                                         heuristic, limits, table, out);
            }
            return run_best_first<BucketFrontier<Key>>(domain, std::move(start), goal, config,
                                                       heuristic, limits, table, out);
    }
}

// run_with_frontier, or dense_step_loop on a table of ByteMoveEntry, which
// is made only for a search that breadth_first_on_steps admits.
// Returns false when a NaN priority stopped the search (see AnswerLog).
template <class D, class H, class Table>
bool run_on_table(const D& domain, typename D::Node start, const typename D::Node& goal,
                  const BestFirstConfig& config, const H& heuristic, const BestFirstLimits& limits,
                  Table& table, SearchOutcome<typename D::Node>& out) {
    if constexpr (requires(Table& t, typename Table::Id i) { t.record_new_move(i, i); }) {
        if (limits.record) {
            dense_step_loop<true>(domain, start, goal, limits, table, out);
        } else {
            dense_step_loop<false>(domain, start, goal, limits, table, out);
        }
        return true;
    } else {
        return run_with_frontier(domain, std::move(start), goal, config, heuristic, limits, table,
                                 out);
    }
}

// The search on the table it gets: a dense table of the most compact entry
// layout that holds it, else the hashed table (one-word nodes of unit steps
// named by HasWordMoves in its compact form). Returns false when a NaN
// priority stopped it (see AnswerLog).
template <class D, class H>
[[gnu::noinline]] bool search_on_table(const D& domain, typename D::Node start,
                                       const typename D::Node& goal, const BestFirstConfig& config,
                                       const H& heuristic, const BestFirstLimits& limits,
                                       SearchOutcome<typename D::Node>& out) {
    bool done = false;
    bool complete = true;
    if constexpr (DenseIndexing<D>::enabled) {
        using Indexing = DenseIndexing<D>;
        using Id = typename Indexing::Id;
        // A dense table of the given entry layout, if it can be had.
        auto run_dense = [&]<class Entry>(std::type_identity<Entry>) {
            auto table = DenseReachedTable<D, Entry>::try_create(domain);
            if (!table) return false;
            complete = run_on_table(domain, std::move(start), goal, config, heuristic, limits,
                                    *table, out);
            return true;
        };
        const uint64_t slots = Indexing::slots(domain);
        if (dense_table_fits(domain, start)) {
            // Steps that all cost 1.0 keep g in half the room, or in a
            // quarter with the parent kept as the number of its move; a
            // breadth-first search on slots keeps no g at all.
            const bool unit = unit_step_costs(domain);
            if constexpr (VisitsDenseSteps<D>) {
                if (breadth_first_on_steps<H>(domain, start, goal, config))
                    done = run_dense(std::type_identity<ByteMoveEntry<Id>>{});
            }
            if constexpr (HasDenseMoves<D>) {
                using Move = MoveEntry<Id>;
                const uint64_t moves = domain.dense_moves();
                if (!done && unit && moves > 0 && moves <= Move::kMaxMoves &&
                    slots <= Move::kMaxSlots)
                    done = run_dense(std::type_identity<Move>{});
            }
            if (!done && unit && slots <= StepEntry<Id>::kMaxSlots)
                done = run_dense(std::type_identity<StepEntry<Id>>{});
            if (!done) done = run_dense(std::type_identity<CostEntry<Id>>{});
        }
    }
    if constexpr (HasWordMoves<D>) {
        // Steps that all cost 1.0 keep g and the parent's move in one word
        // beside the node's: half the room of a full entry.
        using Move = MoveEntry<uint64_t>;
        if (!done && unit_step_costs(domain) && domain.word_moves() <= Move::kMaxMoves) {
            WordReachedTable<typename D::Node, Move, D> table(domain);
            complete = run_with_frontier(domain, std::move(start), goal, config, heuristic, limits,
                                         table, out);
            done = true;
        }
    }
    if (!done) {
        HashedReachedTable<typename D::Node> table;
        complete = run_with_frontier(domain, std::move(start), goal, config, heuristic, limits,
                                     table, out);
    }
    return complete;
}

}  // namespace detail

template <Domain D, HeuristicFor<typename D::Node> H>
SearchOutcome<typename D::Node> best_first_search(const D& domain, typename D::Node start,
                                                  typename D::Node goal,
                                                  const BestFirstConfig& config, const H& heuristic,
                                                  const BestFirstLimits& limits) {
    // Everything the search builds is freed before the clock is read again.
    return timed([&] {
        SearchOutcome<typename D::Node> out;
        if constexpr (detail::heuristic_logged<H, D>()) {
            detail::AnswerLog<H> log(heuristic);
            if (config.kind == FrontierKind::priority && config.h_weight != 0.0 &&
                detail::g_terms_never_nan(domain, config)) {
                log.keep();
                if (detail::search_on_table(domain, typename D::Node(start), goal, config, log,
                                            limits, out)) {
                    return out;
                }
                out = SearchOutcome<typename D::Node>{};
                log.replay();
            }
            detail::search_on_table(domain, std::move(start), goal, config, log, limits, out);
        } else {
            detail::search_on_table(domain, std::move(start), goal, config, heuristic, limits, out);
        }
        return out;
    });
}

}  // namespace quorvane
