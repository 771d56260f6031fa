// search_hanoi: check the disk and peg counts, build the puzzle, then search
// (run_search.hpp).
//
// Check order of a call: binding and conversion; disks >= 1; pegs >= 3;
// pegs <= 16 (a panic from the domain, before the heuristic is looked at);
// the heuristic's type; the heuristic name; the algorithm name and the
// depth limit of "dls". A search with a named heuristic runs with the
// interpreter lock released; a callable heuristic, h(state, goal) with
// tuples of ints, keeps it held.
#include <cstdint>
#include <utility>

#include "args.hpp"
#include "functions.hpp"
#include "puzzles/byte_state.hpp"
#include "puzzles/forms.hpp"
#include "puzzles/hanoi.hpp"
#include "puzzles/numbered_hanoi.hpp"
#include "py.hpp"
#include "run_search.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// search_hanoi(disks, algorithm="astar", heuristic=None, pegs=3, record=True,
//              weight=2.0, beam_width=None, depth_limit=None, max_nodes=None,
//              reopen=False)

namespace {

struct HanoiHeuristics {
    enum class Kind : uint8_t { misplaced, zero };

    static constexpr HeuristicNames<Kind, 2> kNames{
        .default_name = "misplaced",
        .rows = {{{"misplaced", Kind::misplaced}, {"zero", Kind::zero}}},
        .unknown_prefix = "unknown hanoi heuristic: '",
        .unknown_suffix = "'. Use misplaced, zero, or a callable",
    };

    // For either form of the towers (Hanoi or NumberedHanoi).
    template <class Domain, class Node, class F>
    static decltype(auto) with_kind(Kind kind, const Domain&, const Node&, F&& f) {
        switch (kind) {
            case Kind::misplaced: return f(MismatchHeuristic{});
            default: return f(ZeroHeuristic{});
        }
    }
};

constexpr const char* kSearchHanoiParams[] = {
    "disks",  "algorithm",  "heuristic",   "pegs",      "record",
    "weight", "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchHanoi{"search_hanoi", kSearchHanoiParams, 1};

struct SearchHanoiArgs {
    uint64_t disks = 0;
    uint64_t pegs = 3;
    SearchTail tail;
};

SearchHanoiArgs bind_search_hanoi(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchHanoi, args, kwargs);
    SearchHanoiArgs out;
    out.disks = a.convert(0, to_count);
    out.tail = convert_search_tail(a, {.algorithm_at = 1, .own_option = true}, [&](std::size_t i) {
        out.pegs = a.convert_or(i, to_count, uint64_t{3});
    });
    return out;
}

PyRef run_search_hanoi(SearchHanoiArgs a) {
    if (a.disks == 0) throw value_error("disks must be ≥ 1");
    if (a.pegs < 3) throw value_error("pegs must be ≥ 3");
    const Hanoi hanoi(a.disks, a.pegs);  // more than 16 pegs: a panic
    // The numbered form where it fits (puzzles/forms.hpp): the same results.
    return with_hanoi_form(hanoi, [&](const auto& domain, auto start, auto goal) {
        return run_search<HanoiHeuristics>(domain, std::move(start), std::move(goal), a.tail);
    });
}

}  // namespace

PyObject* search_hanoi(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_hanoi(bind_search_hanoi(args, kwargs)); });
}

}  // namespace quorvane::py
