// What an algorithm name becomes for the best-first driver.
//
// `BestFirstConfig` picks the frontier discipline and the priority
// f = g_weight * g + h_weight * h (used by the priority frontier only);
// `BestFirstLimits` carries the per-call options. The module writes both
// (per algorithm name: bfs FIFO 1/0; dfs LIFO 1/0; ucs, dijkstra priority
// 1/0; greedy priority 0/1; astar priority 1/1; weighted_astar priority
// 1/weight); the driver reads them and nothing else.
#pragma once

#include <cstdint>
#include <optional>

namespace quorvane {

// Any code other than fifo and lifo selects the priority frontier.
enum class FrontierKind : uint8_t { fifo = 0, lifo = 1, priority = 2 };

struct BestFirstConfig {
    FrontierKind kind = FrontierKind::priority;
    double g_weight = 1.0;
    double h_weight = 1.0;
};

struct BestFirstLimits {
    std::optional<uint64_t> max_nodes;  // absent: no limit
    bool record = true;                 // fill trace and tree
    bool reopen = false;                // a strictly cheaper path reopens a closed node
};

}  // namespace quorvane
