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
#include "selection.hpp"

namespace quorvane::py {

namespace {

constexpr const char* kParams[] = {
    "successors", "start",      "goal",        "algorithm", "heuristic", "record",
    "weight",     "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSignature{"search_implicit", kParams, 3};

PyRef run_implicit(PyRef successors, PyRef start_object, PyRef goal_object, SearchTail& tail) {
    ImplicitNode start = extract_implicit_state(start_object.get());
    ImplicitNode goal = extract_implicit_state(goal_object.get());
    start_object = PyRef();
    goal_object = PyRef();

    CallbackErrorSlot slot;
    const ImplicitGraph graph(std::move(successors), slot);
    const SearchOptions options = search_options(tail);
    SearchOutcome<ImplicitNode> outcome;
    {
        // Released when the driver returns, before the outcome is converted.
        const CallableHeuristic heuristic{CallbackContext(slot, std::move(tail.heuristic))};
        outcome = dispatch_algorithm(graph, std::move(start), std::move(goal), tail.algorithm,
                                     heuristic, tail.record, options, CheckedBidirectional{});
    }
    return finish_callback_search(slot, std::move(outcome));
}

}  // namespace

PyObject* search_implicit(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const BoundArgs a = bind(kSignature, args, kwargs);
        PyRef successors = a.object(0);
        PyRef start = a.object(1);
        PyRef goal = a.object(2);
        SearchTail tail = convert_search_tail(a, {3, "astar", false, false});
        return run_implicit(std::move(successors), std::move(start), std::move(goal), tail);
    });
}

}  // namespace quorvane::py
