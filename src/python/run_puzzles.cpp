// search_npuzzle and search_hanoi: check the puzzle, build the domain with
// its start and goal states, choose heuristic and algorithm, search,
// convert.
//
// Check order of search_npuzzle: binding and conversion; the tile count
// (a non-zero perfect square); tiles a permutation; the board fits one byte
// per tile; the goal's length, then the goal a permutation; solvability
// (parity); the heuristic's type; the heuristic name; the algorithm name and
// the depth limit of "dls".
// Check order of search_hanoi: binding and conversion; disks >= 1; pegs >= 3;
// pegs <= 16 (a panic from the domain, before the heuristic is looked at);
// then heuristic and algorithm as above.
//
// A search with a named heuristic runs with the interpreter lock released;
// a callable heuristic keeps it held.
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "args.hpp"
#include "callbacks.hpp"
#include "functions.hpp"
#include "puzzles/byte_state.hpp"
#include "puzzles/hanoi.hpp"
#include "puzzles/npuzzle.hpp"
#include "py.hpp"
#include "search_result.hpp"
#include "selection.hpp"

namespace quorvane::py {

namespace {

// One byte per tile: boards up to 16 x 16.
constexpr std::size_t kMaxTiles = 256;

// ---------------------------------------------------------------------------
// Heuristic names

enum class NPuzzleHeuristic : uint8_t { manhattan, misplaced, zero };

NPuzzleHeuristic parse_npuzzle_heuristic(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, NPuzzleHeuristic>, 3> kNames{{
        {"manhattan", NPuzzleHeuristic::manhattan},
        {"misplaced", NPuzzleHeuristic::misplaced},
        {"zero", NPuzzleHeuristic::zero},
    }};
    return match_name(name, kNames, "unknown npuzzle heuristic: '",
                      "'. Use manhattan, misplaced, zero, or a callable h(state, goal) -> float");
}

// "manhattan" is prepared for the goal (a per-cell distance table); the
// values are those of NPuzzle::manhattan.
template <class F>
decltype(auto) with_npuzzle_heuristic(NPuzzleHeuristic kind, const NPuzzle& puzzle,
                                      const ByteState& goal, F&& f) {
    switch (kind) {
        case NPuzzleHeuristic::manhattan:
            return f(NPuzzleManhattan(puzzle, goal));
        case NPuzzleHeuristic::misplaced:
            return f(NPuzzleMisplaced{});
        default:
            return f(ZeroHeuristic{});
    }
}

enum class HanoiHeuristic : uint8_t { misplaced, zero };

HanoiHeuristic parse_hanoi_heuristic(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, HanoiHeuristic>, 2> kNames{{
        {"misplaced", HanoiHeuristic::misplaced},
        {"zero", HanoiHeuristic::zero},
    }};
    return match_name(name, kNames, "unknown hanoi heuristic: '",
                      "'. Use misplaced, zero, or a callable");
}

template <class F>
decltype(auto) with_hanoi_heuristic(HanoiHeuristic kind, F&& f) {
    switch (kind) {
        case HanoiHeuristic::misplaced:
            return f(MismatchHeuristic{});
        default:
            return f(ZeroHeuristic{});
    }
}

// ---------------------------------------------------------------------------
// Arguments

constexpr const char* kSearchNpuzzleParams[] = {
    "tiles",  "algorithm",  "heuristic",   "goal",      "record",
    "weight", "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchNpuzzle{"search_npuzzle", kSearchNpuzzleParams, 1};

constexpr const char* kSearchHanoiParams[] = {
    "disks",  "algorithm",  "heuristic",   "pegs",      "record",
    "weight", "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchHanoi{"search_hanoi", kSearchHanoiParams, 1};

struct SearchNpuzzleArgs {
    std::vector<int64_t> tiles;
    std::optional<std::vector<int64_t>> goal;
    SearchTail tail;
};

struct SearchHanoiArgs {
    uint64_t disks = 0;
    uint64_t pegs = 3;
    SearchTail tail;
};

SearchNpuzzleArgs bind_search_npuzzle(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchNpuzzle, args, kwargs);
    SearchNpuzzleArgs out;
    out.tiles = a.convert(0, sequence_of(to_int64));
    out.tail = convert_search_tail(a, {1, "astar", true, false}, [&](std::size_t i) {
        out.goal = a.convert_optional(i, sequence_of(to_int64));
    });
    return out;
}

SearchHanoiArgs bind_search_hanoi(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchHanoi, args, kwargs);
    SearchHanoiArgs out;
    out.disks = a.convert(0, to_count);
    out.tail = convert_search_tail(a, {1, "astar", true, false}, [&](std::size_t i) {
        out.pegs = a.convert_or(i, to_count, uint64_t{3});
    });
    return out;
}

// ---------------------------------------------------------------------------
// Run routines

// Every value below n (negative ones fail as huge unsigned ones) and none
// twice; `values` holds exactly n of them.
void check_permutation(const std::vector<int64_t>& values, std::size_t n, const char* name) {
    std::vector<uint8_t> seen(n, 0);
    for (const int64_t v : values) {
        const auto u = static_cast<uint64_t>(v);
        if (u >= n || seen[u]) {
            throw value_error(std::string(name) + " must be a permutation of 0.." +
                              std::to_string(n - 1) + " (0 = blank)");
        }
        seen[u] = 1;
    }
}

// Only called on a checked permutation of at most kMaxTiles values, so
// every value fits its byte.
ByteState to_state(const std::vector<int64_t>& values) {
    ByteState state(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) state[i] = static_cast<uint8_t>(values[i]);
    return state;
}

PyRef run_npuzzle(SearchNpuzzleArgs& a) {
    const std::size_t n = a.tiles.size();
    const auto side = static_cast<uint64_t>(std::round(std::sqrt(static_cast<double>(n))));
    if (n == 0 || side * side != n)
        throw value_error("tiles length must be a non-zero perfect square (9, 16, 25, …)");
    check_permutation(a.tiles, n, "tiles");
    // Tile values from 256 on cannot be held by the one-byte state.
    if (n > kMaxTiles) throw value_error("tiles length must be at most 256 (boards up to 16×16)");

    const NPuzzle puzzle(side);
    ByteState start = to_state(a.tiles);
    ByteState goal;
    if (a.goal) {
        if (a.goal->size() != n) throw value_error("goal must have the same length as tiles");
        check_permutation(*a.goal, n, "goal");
        goal = to_state(*a.goal);
    } else {
        goal = puzzle.default_goal();
    }
    if (!puzzle.is_solvable(start, goal))
        throw value_error("this configuration is not solvable into the goal (parity)");

    const SearchOptions options = search_options(a.tail);
    HeuristicSpec choice = parse_heuristic(std::move(a.tail.heuristic), "manhattan");
    if (choice.is_name()) {
        SearchOutcome<ByteState> outcome = without_gil([&] {
            const NPuzzleHeuristic kind = parse_npuzzle_heuristic(choice.name);
            return with_npuzzle_heuristic(kind, puzzle, goal, [&](const auto& heuristic) {
                return dispatch_algorithm(puzzle, std::move(start), std::move(goal),
                                          a.tail.algorithm, heuristic, a.tail.record, options);
            });
        });
        return make_search_result(std::move(outcome));
    }

    // A Python callable as heuristic, h(state, goal) with tuples of ints:
    // the lock stays held.
    return search_with_callable(puzzle, std::move(start), std::move(goal), std::move(choice.callable),
                                a.tail.algorithm, a.tail.record, options);
}

PyRef run_hanoi(SearchHanoiArgs& a) {
    if (a.disks == 0) throw value_error("disks must be ≥ 1");
    if (a.pegs < 3) throw value_error("pegs must be ≥ 3");
    const Hanoi hanoi(a.disks, a.pegs);  // more than 16 pegs: a panic
    ByteState start = hanoi.start();
    ByteState goal = hanoi.goal();

    const SearchOptions options = search_options(a.tail);
    HeuristicSpec choice = parse_heuristic(std::move(a.tail.heuristic), "misplaced");
    if (choice.is_name()) {
        SearchOutcome<ByteState> outcome = without_gil([&] {
            const HanoiHeuristic kind = parse_hanoi_heuristic(choice.name);
            return with_hanoi_heuristic(kind, [&](const auto& heuristic) {
                return dispatch_algorithm(hanoi, std::move(start), std::move(goal),
                                          a.tail.algorithm, heuristic, a.tail.record, options);
            });
        });
        return make_search_result(std::move(outcome));
    }

    // A Python callable as heuristic, h(state, goal) with tuples of ints:
    // the lock stays held.
    return search_with_callable(hanoi, std::move(start), std::move(goal), std::move(choice.callable),
                                a.tail.algorithm, a.tail.record, options);
}

}  // namespace

PyObject* search_npuzzle(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        SearchNpuzzleArgs a = bind_search_npuzzle(args, kwargs);
        return run_npuzzle(a);
    });
}

PyObject* search_hanoi(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        SearchHanoiArgs a = bind_search_hanoi(args, kwargs);
        return run_hanoi(a);
    });
}

}  // namespace quorvane::py
