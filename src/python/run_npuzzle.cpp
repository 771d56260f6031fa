// search_npuzzle: check the board and the goal, build the puzzle, then
// search (run_search.hpp).
//
// Check order of a call: binding and conversion; the tile count (a non-zero
// perfect square); tiles a permutation; the board fits one byte per tile;
// the goal's length, then the goal a permutation; solvability (parity); the
// heuristic's type; the heuristic name; the algorithm name and the depth
// limit of "dls". A search with a named heuristic runs with the interpreter
// lock released; a callable heuristic, h(state, goal) with tuples of ints,
// keeps it held.
//
// The board is searched in the form `with_npuzzle_form` picks
// (puzzles/forms.hpp): `PackedBoard` words for boards of up to 16 cells,
// `ByteState`s beyond; both give the same results and Python forms.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "args.hpp"
#include "functions.hpp"
#include "puzzles/byte_state.hpp"
#include "puzzles/forms.hpp"
#include "puzzles/npuzzle.hpp"
#include "puzzles/packed_npuzzle.hpp"
#include "py.hpp"
#include "run_search.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// search_npuzzle(tiles, algorithm="astar", heuristic=None, goal=None,
//                record=True, weight=2.0, beam_width=None, depth_limit=None,
//                max_nodes=None, reopen=False)

namespace {

// One byte per tile: boards up to 16 x 16.
constexpr std::size_t kMaxTiles = 256;

// "manhattan" is prepared for the goal (a per-cell distance table); the
// values are those of NPuzzle::manhattan.
struct NPuzzleHeuristics {
    enum class Kind : uint8_t { manhattan, misplaced, zero };

    static constexpr HeuristicNames<Kind, 3> kNames{
        .default_name = "manhattan",
        .rows = {{
            {"manhattan", Kind::manhattan},
            {"misplaced", Kind::misplaced},
            {"zero", Kind::zero},
        }},
        .unknown_prefix = "unknown npuzzle heuristic: '",
        .unknown_suffix =
            "'. Use manhattan, misplaced, zero, or a callable h(state, goal) -> float",
    };

    template <class F>
    static decltype(auto) with_kind(Kind kind, const NPuzzle& puzzle, const ByteState& goal,
                                    F&& f) {
        switch (kind) {
            case Kind::manhattan: return f(NPuzzleManhattan(puzzle, goal));
            case Kind::misplaced: return f(NPuzzleMisplaced{});
            default: return f(ZeroHeuristic{});
        }
    }

    template <class F>
    static decltype(auto) with_kind(Kind kind, const PackedNPuzzle& puzzle, PackedBoard goal,
                                    F&& f) {
        switch (kind) {
            case Kind::manhattan: return f(PackedManhattan(puzzle, goal));
            case Kind::misplaced: return f(PackedMisplaced{});
            default: return f(ZeroHeuristic{});
        }
    }
};

constexpr const char* kSearchNpuzzleParams[] = {
    "tiles",  "algorithm",  "heuristic",   "goal",      "record",
    "weight", "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchNpuzzle{"search_npuzzle", kSearchNpuzzleParams, 1};

struct SearchNpuzzleArgs {
    std::vector<int64_t> tiles;
    std::optional<std::vector<int64_t>> goal;
    SearchTail tail;
};

SearchNpuzzleArgs bind_search_npuzzle(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchNpuzzle, args, kwargs);
    SearchNpuzzleArgs out;
    out.tiles = a.convert(0, sequence_of(to_int64));
    out.tail = convert_search_tail(a, {.algorithm_at = 1, .own_option = true}, [&](std::size_t i) {
        out.goal = a.convert_optional(i, sequence_of(to_int64));
    });
    return out;
}

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

PyRef run_search_npuzzle(SearchNpuzzleArgs a) {
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
    return with_npuzzle_form(
        puzzle, std::move(start), std::move(goal), [&](const auto& domain, auto from, auto to) {
            return run_search<NPuzzleHeuristics>(domain, std::move(from), std::move(to), a.tail);
        });
}

}  // namespace

PyObject* search_npuzzle(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_npuzzle(bind_search_npuzzle(args, kwargs)); });
}

}  // namespace quorvane::py
