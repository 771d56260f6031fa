// `SearchResult`: the record a search hands back to Python, the conversion
// of a driver's `SearchOutcome` into it, and the Python form of each node.
//
// Python forms of nodes (`node_to_py`), one new object per occurrence:
//   grid cell (any type with `.row`, `.col`)   (row, col) tuple of ints
//   graph index (unsigned)                     int
//   N-puzzle / Hanoi state (bytes)             tuple of ints, one per byte
//   word (std::string)                         str
//   implicit state (int64 elements)            int if exactly one element,
//                                              else tuple of ints
// Trace entries become (node, g or None, frontier_size); tree edges become
// (parent, child).
//
// All of this runs with the interpreter lock held. A failure of the
// interpreter to make a list, tuple, int, float or str is the panic "Python
// API call failed"; a failing append raises the interpreter's error.
#pragma once

#include <Python.h>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "py.hpp"
#include "state/outcome.hpp"

namespace quorvane::py {

// The value a `SearchResult` object holds; never changed once built.
struct SearchResultRecord {
    PyRef path;  // list, or empty when no path was found
    double cost = 0.0;
    bool found = false;
    uint64_t nodes_expanded = 0;
    uint64_t nodes_generated = 0;
    uint64_t nodes_reopened = 0;
    uint64_t max_frontier_size = 0;
    double elapsed = 0.0;
    std::string stop_reason;
    PyRef trace;  // list
    PyRef tree;   // list
};

// ---------------------------------------------------------------------------
// Node forms

template <class C>
concept CellNode = requires(const C& c) {
    { c.row } -> std::convertible_to<int64_t>;
    { c.col } -> std::convertible_to<int64_t>;
};

template <class S>
concept ByteNode = requires(const S& s, std::size_t i) {
    { s.size() } -> std::convertible_to<std::size_t>;
    requires std::same_as<std::remove_cvref_t<decltype(s[i])>, uint8_t>;
};

template <class S>
concept Int64Node = requires(const S& s, std::size_t i) {
    { s.size() } -> std::convertible_to<std::size_t>;
    requires std::same_as<std::remove_cvref_t<decltype(s[i])>, int64_t>;
};

PyRef int_to_py(int64_t v);
PyRef uint_to_py(uint64_t v);
PyRef float_to_py(double v);
PyRef str_to_py(std::string_view text);
// A tuple taking over the given references, in order.
PyRef tuple_of(std::initializer_list<PyObject*> stolen);

inline PyRef node_to_py(uint64_t index) { return uint_to_py(index); }

inline PyRef node_to_py(const std::string& word) { return str_to_py(word); }

template <CellNode C>
PyRef node_to_py(const C& cell) {
    PyRef row = int_to_py(cell.row);
    PyRef col = int_to_py(cell.col);
    return tuple_of({row.release(), col.release()});
}

template <ByteNode S>
PyRef node_to_py(const S& state) {
    const std::size_t n = state.size();
    PyRef tuple = made(PyTuple_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i),
                        int_to_py(static_cast<uint8_t>(state[i])).release());
    }
    return tuple;
}

template <Int64Node S>
PyRef node_to_py(const S& state) {
    const std::size_t n = state.size();
    if (n == 1) return int_to_py(state[0]);
    PyRef tuple = made(PyTuple_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i) {
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), int_to_py(state[i]).release());
    }
    return tuple;
}

// ---------------------------------------------------------------------------
// Outcome -> record

namespace detail {
// Appends `item` to `list`; a failing append raises the interpreter's error.
void append(PyObject* list, PyRef item);
}  // namespace detail

// Consumes `outcome`: path, then trace, then tree, each node converted on its
// own and its buffer released as soon as it has been converted.
template <class Node>
SearchResultRecord build_search_result(SearchOutcome<Node>&& outcome) {
    SearchResultRecord r;
    if (outcome.path) {
        std::vector<Node>& nodes = *outcome.path;
        r.path = made(PyList_New(static_cast<Py_ssize_t>(nodes.size())));
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const Node node = std::move(nodes[i]);
            PyList_SetItem(r.path.get(), static_cast<Py_ssize_t>(i), node_to_py(node).release());
        }
    }
    r.trace = made(PyList_New(0));
    for (TraceEntry<Node>& entry : outcome.trace) {
        PyRef node;
        {
            const Node n = std::move(entry.node);
            node = node_to_py(n);
        }
        PyRef g = entry.g ? float_to_py(*entry.g) : PyRef::borrow(Py_None);
        PyRef size = uint_to_py(entry.frontier_size);
        detail::append(r.trace.get(), tuple_of({node.release(), g.release(), size.release()}));
    }
    r.tree = made(PyList_New(0));
    for (TreeEdge<Node>& edge : outcome.tree) {
        PyRef parent, child;
        {
            const Node p = std::move(edge.parent);
            parent = node_to_py(p);
        }
        {
            const Node c = std::move(edge.child);
            child = node_to_py(c);
        }
        detail::append(r.tree.get(), tuple_of({parent.release(), child.release()}));
    }
    r.stop_reason = std::string(stop_reason_word(outcome.stop_reason));
    r.elapsed = static_cast<double>(outcome.elapsed.secs) +
                static_cast<double>(outcome.elapsed.nanos) / 1e9;
    r.cost = outcome.cost;
    r.found = outcome.found();
    r.nodes_expanded = outcome.nodes_expanded;
    r.nodes_generated = outcome.nodes_generated;
    r.nodes_reopened = outcome.nodes_reopened;
    r.max_frontier_size = outcome.max_frontier_size;
    return r;
}

// Moves the record into a new `SearchResult` object.
PyRef new_search_result_object(SearchResultRecord record);

// The two steps together, for a run routine's last step.
template <class Node>
PyRef make_search_result(SearchOutcome<Node>&& outcome) {
    return new_search_result_object(build_search_result(std::move(outcome)));
}

}  // namespace quorvane::py
