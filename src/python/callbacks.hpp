// Python callables inside a search: the callable heuristic of every domain,
// the successor callable of an implicit graph, and the slot through which
// their first failure reaches the caller.
//
// A driver has no error path, so an adaptor never fails toward it. The
// first failure of a search is parked in the search's `CallbackErrorSlot`;
// from then on no adaptor of that search calls Python again (a heuristic
// counts 0.0, an implicit node has no successors), the frontier drains, the
// driver ends in its ordinary way, and the run routine (run_search.hpp
// `search_with_callable`) raises the parked error instead of converting the
// outcome. What gets parked:
//
//   heuristic raises, or returns what       ValueError "the heuristic
//   does not convert to a float             callable must return a float"
//                                           (the original is dropped)
//   successors raises                       that exception, unchanged
//   successors returns a str, a non-        ValueError "successors must
//   sequence, or an item that is not a      return a list of (state, cost)
//   2-tuple (state, float)                  pairs"
//   a returned state is neither an int      ValueError "implicit-graph states
//   nor a non-str sequence of ints, all     must be an int or a sequence of
//   within the signed 64-bit range          ints"
//
// A `PanicException` raised by any Python code we call is never parked:
// fetching it resumes the panic (py.hpp `fetch_error`), which unwinds
// through the driver and reaches the caller as `PanicException`.
//
// Node forms given to Python are those of results (search_result.hpp
// `node_to_py`), fresh objects on every call: a cell (row, col), a graph
// index an int, a puzzle state a tuple of ints, a word a str, an implicit
// node an int when it has one element, else a tuple.
//
// IMPORTANT: everything here needs the interpreter lock, and takes it as
// held: a search that uses a callable keeps the lock for its whole length
// and never enters a `ReleasedGil` scope (run_search.hpp
// `search_with_callable`), so no adaptor asks for it again on each call.
// The copies of a `CallableHeuristic` that the beam and IDA* drivers take,
// and their destruction, happen under it too.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "drivers/bidirectional.hpp"
#include "py.hpp"
#include "search_result.hpp"
#include "state/int_state.hpp"
#include "state/outcome.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// The error slot

// The first callback error of one search. The run routine owns it; the
// heuristic contexts and the implicit graph refer to it for the length of
// the search (so the run routine must outlive the driver call, which it
// does by construction). Single-threaded, like everything under the lock.
class CallbackErrorSlot {
public:
    CallbackErrorSlot() = default;
    CallbackErrorSlot(const CallbackErrorSlot&) = delete;
    CallbackErrorSlot& operator=(const CallbackErrorSlot&) = delete;

    bool holds_error() const noexcept { return raised_ || made_.has_value(); }

    // Park an exception raised by Python code, or an error of our own
    // making. Either is dropped when the slot already holds an error: the
    // first one wins.
    void store(PyRef exception) noexcept;
    void store(PyError error);

    // Takes the parked error out, leaving the slot empty, and raises it;
    // returns normally when there was none. Called once by the run routine
    // after its driver has returned, before the outcome is converted.
    void raise_taken();

private:
    PyRef raised_;
    std::optional<PyError> made_;
};

// ---------------------------------------------------------------------------
// Heuristic callables

// What a heuristic adaptor needs: the search's slot and the callable (an
// owned reference; empty only for `search_implicit` without a heuristic,
// which then counts h = 0). Copying takes one more reference to the
// callable, under the lock; the beam and IDA* drivers own such a copy.
class CallbackContext {
public:
    CallbackContext(CallbackErrorSlot& slot, PyRef callable) noexcept
        : slot_(&slot), callable_(std::move(callable)) {}
    CallbackContext(const CallbackContext& other) noexcept
        : slot_(other.slot_), callable_(PyRef::borrow(other.callable_.get())) {}
    CallbackContext& operator=(const CallbackContext& other) noexcept {
        slot_ = other.slot_;
        callable_ = PyRef::borrow(other.callable_.get());
        return *this;
    }
    CallbackContext(CallbackContext&&) noexcept = default;
    CallbackContext& operator=(CallbackContext&&) noexcept = default;

    // False when there is nothing to call: no callable, or an error parked.
    bool active() const noexcept { return callable_ && !slot_->holds_error(); }

    // h(node, goal) for nodes already in their Python form. Parks the
    // heuristic error and returns 0.0 when the call raises or its result
    // does not convert to a float; any float (NaN, infinities, negatives)
    // is returned as is.
    double evaluate(PyObject* node, PyObject* goal) const;

private:
    CallbackErrorSlot* slot_;
    PyRef callable_;
};

// The heuristic adaptor, one instance per node form.
template <class Node>
double callable_heuristic(const CallbackContext& context, const Node& node, const Node& goal) {
    if (!context.active()) return 0.0;
    const PyRef py_node = node_to_py(node);
    const PyRef py_goal = node_to_py(goal);
    return context.evaluate(py_node.get(), py_goal.get());
}

// A Python callable as a heuristic value type, for every driver.
struct CallableHeuristic {
    CallbackContext context;

    template <class Node>
    double operator()(const Node& node, const Node& goal) const {
        return callable_heuristic(context, node, goal);
    }
};

// ---------------------------------------------------------------------------
// Implicit graphs

using ImplicitNode = IntState;

namespace detail {

// An item of a successor answer that passed the shape check, held while
// the answer is converted, with its cost; its state is read afterwards.
struct CheckedPair {
    PyRef item;
    double cost;
};

}  // namespace detail

// The domain of `search_implicit`: successors come from the caller's
// callable, `successors(state) -> [(state, cost), ...]`. Nodes are
// sequences of int64 compared by value (state/int_state.hpp); the Python
// int x and the sequence (x,) are one node. Costs are not checked. Only
// read during a search, apart from a scratch buffer of its own.
// IMPORTANT: the slot must outlive the graph's use.
class ImplicitGraph : public FreshSuccessors<ImplicitGraph> {
public:
    using Node = ImplicitNode;

    ImplicitGraph(PyRef successors, CallbackErrorSlot& slot) noexcept
        : successors_(std::move(successors)), slot_(&slot) {}

    void successors_into(const Node& node, SuccessorList<Node>& out) const;
    // The same, with `hint` told of each state as soon as it is converted,
    // before the callable's answer is released.
    void successors_into(const Node& node, SuccessorList<Node>& out, ChildHint<Node> hint) const;

    PyObject* callable() const noexcept { return successors_.get(); }
    CallbackErrorSlot& slot() const noexcept { return *slot_; }

    // The buffer of checked pairs, kept from call to call so that its
    // memory is allocated once per search; empty between calls.
    std::vector<detail::CheckedPair>& checked_pairs() const noexcept { return checked_pairs_; }

private:
    PyRef successors_;
    CallbackErrorSlot* slot_;
    mutable std::vector<detail::CheckedPair> checked_pairs_;
};

// The Python state as a node: an int (or an object with `__index__`) in the
// int64 range is the one-element node; any other object except a str is
// read as a sequence of such ints. Fails with ValueError "implicit-graph
// states must be an int or a sequence of ints".
ImplicitNode extract_implicit_state(PyObject* state);

// Calls the successor callable on `node` and appends the pairs it returned,
// in order, to `out`. Appends nothing when the slot already holds an error
// or when this call parks one (pairs converted before the failure are
// dropped again).
// `hint`, when given, is called on each converted state.
void extend_successors(const ImplicitGraph& graph, const ImplicitNode& node,
                       SuccessorList<ImplicitNode>& out,
                       const ChildHint<ImplicitNode>* hint = nullptr);

inline void ImplicitGraph::successors_into(const Node& node, SuccessorList<Node>& out) const {
    extend_successors(*this, node, out);
}

inline void ImplicitGraph::successors_into(const Node& node, SuccessorList<Node>& out,
                                           ChildHint<Node> hint) const {
    extend_successors(*this, node, out, &hint);
}

// Bidirectional search on a graph whose in-moves are unknown: every
// backward step is checked against the forward successors.
struct CheckedBidirectional {
    template <Domain D>
    SearchOutcome<typename D::Node> operator()(const D& domain, typename D::Node start,
                                               typename D::Node goal, bool record) const {
        return bidirectional_search_checked(domain, std::move(start), std::move(goal), record);
    }
};

}  // namespace quorvane::py
