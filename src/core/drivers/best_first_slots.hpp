// The best-first loop on slots: breadth-first searches on a domain that
// names its steps by slot and move (VisitsDenseSteps), the route the plan
// (best_first_plan.hpp) calls "slots".
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "domain.hpp"
#include "drivers/best_first_config.hpp"
#include "state/outcome.hpp"
#include "state/queue_frontiers.hpp"
#include "state/reached_table.hpp"

namespace quorvane::detail {

// How many pops ahead a FIFO's next entries are prefetched.
inline constexpr std::size_t kFifoAhead = 16;

// Room reserved up front for the per-node records of a recorded search on
// a dense table, by best_first_loop and slot_loop alike: the table's hint,
// but no more than a node limit lets the search record. A trace then holds
// at most max_nodes entries (one when max_nodes is 0), and so does the
// record of children per expansion; the tree and the nodes in reaching
// order may hold more, and grow past the room as vectors do. Room for 2^20
// entries cost a search stopped after 69 expansions of a 3^14-node Hanoi
// tower more time than the search itself, and 34 MiB of address space.
// Out of line: one call a recorded search, and not one copy in each loop.
[[gnu::noinline]] inline std::size_t record_room(std::size_t hint,
                                                 const BestFirstLimits& limits) noexcept {
    const uint64_t max_nodes = limits.max_nodes.value_or(UINT64_MAX);
    return max_nodes < hint ? static_cast<std::size_t>(max_nodes) + 1 : hint;
}

// best_first_loop for a search the plan gives the slots table: on a
// dense table of ByteMoveEntry, the same pops, pushes, counters, trace and tree,
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
//
// Out of line, as best_first_loop: inlined into the plan's dispatch, the
// unrecorded loop ran at 35 ns an expansion on a 1000 x 1000 maze instead
// of 19.
template <bool kRecord, class D, SlotReachedTable Table>
[[gnu::noinline]] void slot_loop(const D& domain, const typename D::Node& start,
                                 const typename D::Node& goal, const BestFirstLimits& limits,
                                 Table& table, SearchOutcome<typename D::Node>& out) {
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
        const std::size_t hint = record_room(table.capacity_hint(), limits);
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

}  // namespace quorvane::detail
