// The record every search driver returns, its companion types, and
// `timed`, which fills in the time a driver took.
//
// A driver returns exactly one `SearchOutcome` and reports no error of its
// own. Invariants every driver keeps:
//   - `path` is present exactly when `stop_reason` is `goal`; it starts with
//     the start node and ends with the goal ([start] when start == goal);
//   - `cost` is +inf when `path` is absent;
//   - `nodes_generated` >= 1 (the start); `nodes_reopened` is 0 except in a
//     best-first search with reopening on;
//   - `trace` and `tree` are empty when recording is off; `tree` is filled
//     only by the best-first driver.
// The record owns copies of every node in it; nothing refers back into the
// search's state.
#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane {

enum class StopReason : uint8_t { goal = 0, exhausted = 1, node_limit = 2 };

inline std::string_view stop_reason_word(StopReason r) noexcept {
    static constexpr std::string_view kWords[] = {"goal", "exhausted", "node_limit"};
    return kWords[static_cast<uint8_t>(r)];
}

template <class Node>
struct TraceEntry {
    Node node;
    std::optional<double> g;  // absent only in bidirectional traces
    uint64_t frontier_size;
};

template <class Node>
struct TreeEdge {
    Node parent;
    Node child;
};

// Elapsed time as whole seconds and nanoseconds (< 10^9).
struct Elapsed {
    uint64_t secs = 0;
    uint32_t nanos = 0;

    double seconds() const noexcept { return static_cast<double>(secs) + nanos / 1e9; }

    static Elapsed since(std::chrono::steady_clock::time_point start) noexcept {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        const uint64_t total = ns < 0 ? 0 : static_cast<uint64_t>(ns);
        return {total / 1000000000ULL, static_cast<uint32_t>(total % 1000000000ULL)};
    }
};

template <class Node>
struct SearchOutcome {
    std::vector<TraceEntry<Node>> trace;
    std::vector<TreeEdge<Node>> tree;
    std::optional<std::vector<Node>> path;
    Elapsed elapsed;
    double cost = std::numeric_limits<double>::infinity();
    uint64_t nodes_expanded = 0;
    uint64_t nodes_generated = 0;
    uint64_t max_frontier_size = 0;
    uint64_t nodes_reopened = 0;
    StopReason stop_reason = StopReason::exhausted;

    bool found() const noexcept { return path.has_value(); }
};

// Runs `search`, which returns a SearchOutcome, and sets its `elapsed` to
// the time from just before the call to just after its return. Whatever
// `search` builds and frees itself is inside the measured span; the caller's
// own objects (the driver's parameters) are not.
template <class Search>
auto timed(Search&& search) {
    const auto started = std::chrono::steady_clock::now();
    auto out = std::forward<Search>(search)();
    out.elapsed = Elapsed::since(started);
    return out;
}

}  // namespace quorvane
