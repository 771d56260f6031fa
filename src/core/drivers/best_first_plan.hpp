// The plan of a best-first search: which reached table (and entry layout),
// which frontier and which loop run it, worked out once, before the search,
// from the domain, the heuristic, the config and the limits. Every route
// pops the same nodes in the same order, so the outcome (path, counters,
// trace, tree) is the same on each; they differ in time and memory only.
// The driver (best_first.hpp) dispatches on the plan, and a test pins the
// plan of every kind of search.
//
// Words: "unit" = the domain declares that every step costs 1.0
// (DeclaresUnitSteps); a priority may be NaN unless priorities_never_nan
// (weights finite and >= 0, step costs >= 0, h >= 0 or its weight 0);
// "pure h" = evaluating h has no effect (PureHeuristic).
//
// Heuristic: a pure h that no pop reads (h weight 0, or a FIFO or LIFO
// frontier) is dropped (drop_h): the search runs with ZeroHeuristic and
// evaluates nothing. An h that does not declare itself >= 0 (a caller's
// callable) on a domain whose step costs are known runs behind an AnswerLog
// (best_first_rerun.hpp).
//
// Table, the first row that holds; the dense rows need a domain that numbers
// its nodes (DenseIndexing) and a start with a slot:
//   slots        FIFO order, unit, pure h, VisitsDenseSteps,  1-byte entries, a queue of slots: no
//                1 to 63 moves, start and goal numbered       g, no node values (bfs on a grid)
//   dense_move   unit, HasDenseMoves, 1 to 255 moves,         4-byte MoveEntry: the parent kept as
//                at most 2^22 slots                           the number of its move
//   dense_step   unit, at most 2^30 slots                     8-byte StepEntry: g is the depth
//   dense_cost   (any)                                        16-byte CostEntry: an array, no hash
//   word_move    unit, HasWordMoves, at most 255 moves        16-byte word slots: half the memory
//   hashed       anything                                     the hashed table (32-byte word slots
//                                                             for one-word nodes)
// A dense table that cannot be allocated leaves the search to the hashed
// one, with the same frontier and record setting (a slots plan there runs
// the general loop).
//
// Frontier, the first row that holds:
//   fifo       FIFO config                                FifoFrontier
//   lifo       LIFO config                                LifoFrontier
//   nan_stop   h behind an AnswerLog, h weight != 0,      buckets until a NaN priority, then
//              g terms never NaN (g_terms_never_nan)      a rerun on the heap (rerun_plan)
//   heap       a priority may be NaN                      PriorityFrontier: NaN in its order
//   fifo       unit and f = g (priorities_follow_g)       what the heap would pop, in O(1)
//   buckets    anything else                              BucketFrontier (radix heap, heap)
//
// Instances (has_instance). A domain and heuristic get a loop for every
// route the rows can give them, except where that route would buy nothing
// measurable; such a plan runs on the route instanced_route gives it, with
// the same frontier: on the 16-byte dense table or the hashed one in place
// of a compact one, and with one loop that reads `record` at run time where
// this says so:
//   zero h       slots: fifo; compact (dense_move, dense_step, word_move):
//                fifo, lifo (under unit steps the only other frontier is
//                the heap, left to the tables below);
//                dense_cost, hashed: every frontier
//   built-in h   compact: buckets; dense_cost, hashed: buckets, heap (a FIFO
//                or LIFO drops h)
//   opaque h     dense_cost, hashed: every frontier; the compact tables:
//                nan_stop only (the caller's A*, where their fewer cache
//                misses still show beside the calls); one record loop
//   heap         one record loop: it serves odd weights, negative costs and
//                a rerun after NaN, none of them a fast path
// Every other loop comes twice, recording compiled in and out. Instances
// never differ in behaviour; has_instance(instanced_route(p)) holds for
// every plan p the rows give.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "domain.hpp"
#include "drivers/best_first_config.hpp"
#include "drivers/best_first_rerun.hpp"
#include "state/reached_table.hpp"

namespace quorvane {

enum class TablePlan : uint8_t { slots, dense_move, dense_step, dense_cost, word_move, hashed };
enum class FrontierPlan : uint8_t { fifo, lifo, nan_stop, heap, buckets };
enum class RecordPlan : uint8_t { off, on, either };

struct BestFirstPlan {
    TablePlan table;
    FrontierPlan frontier;
    RecordPlan record;
    bool drop_h;  // the search runs with ZeroHeuristic

    friend bool operator==(const BestFirstPlan&, const BestFirstPlan&) = default;
};

// The plan of best_first_search(domain, start, goal, config, h, limits)
// for a heuristic of type H.
template <class H, class D>
BestFirstPlan plan_best_first(const D& domain, const typename D::Node& start,
                              const typename D::Node& goal, const BestFirstConfig& config,
                              const BestFirstLimits& limits);

// The table a compact or word table gives way to: the 16-byte dense
// table, or the hashed one.
constexpr TablePlan general_table(TablePlan table) noexcept {
    return table == TablePlan::hashed || table == TablePlan::word_move ? TablePlan::hashed
                                                                       : TablePlan::dense_cost;
}

// The plan of the rerun after a NaN priority stopped a nan_stop search: the
// heap, on the general table (see "Instances").
constexpr BestFirstPlan rerun_plan(BestFirstPlan plan) noexcept {
    plan.frontier = FrontierPlan::heap;
    plan.table = general_table(plan.table);
    return plan;
}

// ---- details ----

namespace detail {

// What a heuristic type declares, as far as the plan is concerned.
enum class HeuristicKind : uint8_t { zero, built_in, opaque };

template <class H>
inline constexpr HeuristicKind kHeuristicKind =
    std::is_same_v<H, ZeroHeuristic>              ? HeuristicKind::zero
    : PureHeuristic<H> && NonNegativeHeuristic<H> ? HeuristicKind::built_in
                                                  : HeuristicKind::opaque;

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
template <class H, class D>
bool priorities_never_nan(const D& domain, const BestFirstConfig& config) {
    return g_terms_never_nan(domain, config) && (config.h_weight == 0.0 || NonNegativeHeuristic<H>);
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

// The frontier rows, for the heuristic the loop runs (`Run`).
template <class Run, class D>
FrontierPlan plan_frontier(const D& domain, const BestFirstConfig& config) {
    if (config.kind == FrontierKind::fifo) return FrontierPlan::fifo;
    if (config.kind == FrontierKind::lifo) return FrontierPlan::lifo;
    if (kIsAnswerLog<Run> && config.h_weight != 0.0 && g_terms_never_nan(domain, config))
        return FrontierPlan::nan_stop;
    if (!priorities_never_nan<Run>(domain, config)) return FrontierPlan::heap;
    if (priorities_follow_g<Run>(domain, config)) return FrontierPlan::fifo;
    return FrontierPlan::buckets;
}

// The slots row's own conditions, besides a FIFO order and a dense table:
// a heuristic that can be left unevaluated unseen, and a start and a goal
// that the domain numbers (a slot of a node outside the numbering could
// alias another node's).
template <class Run, class D>
bool slots_fit(const D& domain, const typename D::Node& start, const typename D::Node& goal) {
    if constexpr (VisitsDenseSteps<D> && PureHeuristic<Run>) {
        if (!unit_step_costs(domain) || domain.dense_moves() == 0 ||
            domain.dense_moves() > ByteMoveEntry<uint32_t>::kMaxMoves) {
            return false;
        }
        const uint64_t slots = domain.dense_slots();
        auto numbered = [&](const typename D::Node& n) {
            const auto slot = domain.dense_slot(n);
            return static_cast<uint64_t>(slot) < slots && domain.dense_node(slot) == n;
        };
        return numbered(start) && numbered(goal);
    } else {
        return false;
    }
}

// The table rows.
template <class Run, class D>
TablePlan plan_table(const D& domain, const typename D::Node& start, const typename D::Node& goal,
                     FrontierPlan frontier) {
    const bool unit = unit_step_costs(domain);
    if constexpr (DenseIndexing<D>::enabled) {
        if (dense_table_fits(domain, start)) {
            using Id = typename DenseIndexing<D>::Id;
            const uint64_t slots = DenseIndexing<D>::slots(domain);
            if (frontier == FrontierPlan::fifo && slots_fit<Run>(domain, start, goal))
                return TablePlan::slots;
            if constexpr (HasDenseMoves<D>) {
                const uint64_t moves = domain.dense_moves();
                if (unit && moves > 0 && moves <= MoveEntry<Id>::kMaxMoves &&
                    slots <= MoveEntry<Id>::kMaxSlots)
                    return TablePlan::dense_move;
            }
            if (unit && slots <= StepEntry<Id>::kMaxSlots) return TablePlan::dense_step;
            return TablePlan::dense_cost;
        }
    }
    if constexpr (HasWordMoves<D>) {
        if (unit && domain.word_moves() <= MoveEntry<uint64_t>::kMaxMoves)
            return TablePlan::word_move;
    }
    return TablePlan::hashed;
}

// Whether domain D can have a table of this plan at all.
template <class D>
constexpr bool domain_takes(TablePlan table) {
    switch (table) {
        case TablePlan::slots: return VisitsDenseSteps<D>;
        case TablePlan::dense_move: return HasDenseMoves<D> && DeclaresUnitSteps<D>;
        case TablePlan::dense_step: return DenseIndexing<D>::enabled && DeclaresUnitSteps<D>;
        case TablePlan::dense_cost: return DenseIndexing<D>::enabled;
        case TablePlan::word_move: return HasWordMoves<D> && DeclaresUnitSteps<D>;
        case TablePlan::hashed: return true;
    }
    return false;
}

// Whether a plan's loop reads `record` at run time: one loop for record on
// and off (see the header's "Instances").
template <class Run>
constexpr bool one_record_loop(FrontierPlan frontier) {
    return kHeuristicKind<Run> == HeuristicKind::opaque || frontier == FrontierPlan::heap;
}

}  // namespace detail

// Whether domain D and the heuristic the loop runs (ZeroHeuristic for a
// plan that drops h, an AnswerLog for a logged one) have a loop for `plan`
// (the header's "Instances").
template <class D, class Run>
constexpr bool has_instance(BestFirstPlan plan) {
    using detail::HeuristicKind;
    if (!detail::domain_takes<D>(plan.table)) return false;
    if (plan.frontier == FrontierPlan::buckets && !KnowsStepCosts<D>) return false;
    if (plan.frontier == FrontierPlan::nan_stop && !detail::kIsAnswerLog<Run>) return false;
    if ((plan.record == RecordPlan::either) != detail::one_record_loop<Run>(plan.frontier))
        return false;
    if (plan.table == TablePlan::slots)
        return detail::kHeuristicKind<Run> == HeuristicKind::zero &&
               plan.frontier == FrontierPlan::fifo;
    const bool general = plan.table == TablePlan::dense_cost || plan.table == TablePlan::hashed;
    switch (detail::kHeuristicKind<Run>) {
        case HeuristicKind::zero:
            return general || plan.frontier == FrontierPlan::fifo ||
                   plan.frontier == FrontierPlan::lifo;
        case HeuristicKind::built_in:
            return plan.frontier == FrontierPlan::buckets ||
                   (general && plan.frontier == FrontierPlan::heap);
        case HeuristicKind::opaque: return general || plan.frontier == FrontierPlan::nan_stop;
    }
    return false;
}

// The route a plan runs on (see "Instances"): its own where it has an
// instance; else with one record loop where the header says so, and on the
// general table where the table of the plan has no loop.
template <class D, class Run>
constexpr BestFirstPlan instanced_route(BestFirstPlan plan) {
    if (detail::one_record_loop<Run>(plan.frontier)) plan.record = RecordPlan::either;
    if (!has_instance<D, Run>(plan)) plan.table = general_table(plan.table);
    return plan;
}

template <class H, class D>
BestFirstPlan plan_best_first(const D& domain, const typename D::Node& start,
                              const typename D::Node& goal, const BestFirstConfig& config,
                              const BestFirstLimits& limits) {
    if constexpr (PureHeuristic<H> && !std::is_same_v<H, ZeroHeuristic>) {
        if (config.kind == FrontierKind::fifo || config.kind == FrontierKind::lifo ||
            config.h_weight == 0.0) {
            BestFirstPlan plan =
                plan_best_first<ZeroHeuristic>(domain, start, goal, config, limits);
            plan.drop_h = true;
            return plan;
        }
    }
    using Run = std::conditional_t<detail::kLoggedHeuristic<H, D>, detail::AnswerLog<H>, H>;
    const FrontierPlan frontier = detail::plan_frontier<Run>(domain, config);
    const BestFirstPlan plan{detail::plan_table<Run>(domain, start, goal, frontier), frontier,
                             limits.record ? RecordPlan::on : RecordPlan::off, false};
    return instanced_route<D, Run>(plan);
}

}  // namespace quorvane
