// search_implicit: a search over a graph that exists only through the
// caller's `successors` callable.
//
// Check order of a call: binding and conversion of the tail (`successors`,
// `start` and `goal` are taken as they are, None included); `start`, then
// `goal`, as implicit-graph states; the algorithm name and the depth limit
// of "dls". No callback runs before all of these have passed. Neither
// `successors` nor `heuristic` is tested for being callable: an object that
// cannot be called fails at its first call, like any other callback error.
//
// There are no heuristic names here: `heuristic=None` counts h = 0 and any
// other object, a str included, is called as h(state, goal). Every
// expansion calls Python, so the interpreter lock stays held throughout.
#include <utility>

#include "args.hpp"
#include "callbacks.hpp"
#include "functions.hpp"
#include "py.hpp"
#include "run_search.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// search_implicit(successors, start, goal, algorithm="astar", heuristic=None,
//                 record=True, weight=2.0, beam_width=None, depth_limit=None,
//                 max_nodes=None, reopen=False)

namespace {

constexpr const char* kSearchImplicitParams[] = {
    "successors", "start",      "goal",        "algorithm", "heuristic", "record",
    "weight",     "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchImplicit{"search_implicit", kSearchImplicitParams, 3};

struct SearchImplicitArgs {
    PyRef successors;
    PyRef start;
    PyRef goal;
    SearchTail tail;
};

SearchImplicitArgs bind_search_implicit(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchImplicit, args, kwargs);
    return {a.object(0), a.object(1), a.object(2), convert_search_tail(a, {.algorithm_at = 3})};
}

// The heuristic is the tail's object as it is: empty for None (h = 0).
PyRef run_search_implicit(SearchImplicitArgs a) {
    ImplicitNode start = extract_implicit_state(a.start.get());
    ImplicitNode goal = extract_implicit_state(a.goal.get());
    a.start = PyRef();
    a.goal = PyRef();
    CallbackErrorSlot slot;
    const ImplicitGraph graph(std::move(a.successors), slot);
    return search_with_callable(slot, graph, std::move(start), std::move(goal),
                                std::move(a.tail.heuristic), a.tail, CheckedBidirectional{});
}

}  // namespace

PyObject* search_implicit(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_implicit(bind_search_implicit(args, kwargs)); });
}

}  // namespace quorvane::py
