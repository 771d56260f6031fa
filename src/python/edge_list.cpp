// The edge-list argument: its conversion, with a fast path for the common
// shape, and its range check.
#include "edge_list.hpp"

#include <algorithm>
#include <vector>

#include "args.hpp"
#include "py.hpp"

namespace quorvane::py {

namespace {

bool cleared() {
    PyErr_Clear();
    return false;
}

// The numbers of an edge in the common shape (an exact tuple of two exact
// ints and an exact float or int, all in range), converted without running
// any Python code. Anything else, and any value that fails, gives false and
// takes the general route, which also raises the exact error.
bool convert_plain_numbers(PyObject* u, PyObject* v, PyObject* w, Edge& out) {
    if (!PyLong_CheckExact(u) || !PyLong_CheckExact(v)) return false;
    constexpr unsigned long long kFailed = static_cast<unsigned long long>(-1);
    out.u = PyLong_AsUnsignedLongLong(u);
    if (out.u == kFailed && PyErr_Occurred() != nullptr) return cleared();
    out.v = PyLong_AsUnsignedLongLong(v);
    if (out.v == kFailed && PyErr_Occurred() != nullptr) return cleared();
    if (PyFloat_CheckExact(w)) {
        out.w = PyFloat_AsDouble(w);
    } else if (PyLong_CheckExact(w)) {
        out.w = PyLong_AsDouble(w);  // what float(w) gives
        if (out.w == -1.0 && PyErr_Occurred() != nullptr) return cleared();
    } else {
        return false;
    }
    return true;
}

bool is_plain_triple(PyObject* item) { return PyTuple_CheckExact(item) && Py_SIZE(item) == 3; }

bool convert_plain_edge(PyObject* item, Edge& out) {
    return is_plain_triple(item) &&
           convert_plain_numbers(PyTuple_GetItem(item, 0), PyTuple_GetItem(item, 1),
                                 PyTuple_GetItem(item, 2), out);
}

void push_edge(EdgeListArg& arg, const Edge& e) {
    arg.edges.push_back(e);
    arg.largest = std::max({arg.largest, e.u, e.v});
}

Edge convert_edge(PyObject* item) {
    Edge e;
    if (convert_plain_edge(item, e)) return e;
    const EdgeTriple t = to_edge_triple(item);
    return {t.u, t.v, t.w};
}

// Converts the items of an exact list or tuple from `from` on while they
// have the common shape, appending them to `out`; returns the index of the
// first item that does not (or the length). No Python code runs meanwhile,
// so a list cannot change and the borrowed items stay alive.
//
// The edge objects of a long list are scattered over the heap, and the
// conversion waits on memory more than it computes. It is a pipeline: the
// tuple kTupleAhead items ahead is asked for, the numbers of the one
// kItemsAhead ahead are read out of their (by then cached) tuple and asked
// for, and the current edge is converted from numbers already at hand.
template <PyObject* (*GetItem)(PyObject*, Py_ssize_t)>
Py_ssize_t convert_plain_run(PyObject* sequence, Py_ssize_t from, EdgeListArg& out) {
    constexpr Py_ssize_t kTupleAhead = 16;
    constexpr Py_ssize_t kItemsAhead = 8;
    constexpr Py_ssize_t kRing = 32;  // > kTupleAhead, a power of two
    struct Slot {
        PyObject* tuple;
        PyObject* numbers[3];  // null when the tuple is not a plain triple
    };
    Slot ring[kRing];
    const Py_ssize_t size = Py_SIZE(sequence);
    const auto ask_tuple = [&](Py_ssize_t j) {
        PyObject* t = GetItem(sequence, j);
        ring[j % kRing].tuple = t;
        __builtin_prefetch(t);
        __builtin_prefetch(reinterpret_cast<const char*>(t) + 40);
    };
    const auto ask_numbers = [&](Py_ssize_t j) {
        Slot& s = ring[j % kRing];
        if (!is_plain_triple(s.tuple)) {
            s.numbers[0] = nullptr;
            return;
        }
        for (Py_ssize_t k = 0; k < 3; ++k) {
            s.numbers[k] = PyTuple_GetItem(s.tuple, k);
            __builtin_prefetch(s.numbers[k]);
        }
    };
    for (Py_ssize_t j = from; j < size && j < from + kTupleAhead; ++j) ask_tuple(j);
    for (Py_ssize_t j = from; j < size && j < from + kItemsAhead; ++j) ask_numbers(j);
    for (Py_ssize_t i = from; i < size; ++i) {
        if (i + kTupleAhead < size) ask_tuple(i + kTupleAhead);
        if (i + kItemsAhead < size) ask_numbers(i + kItemsAhead);
        const Slot& s = ring[i % kRing];
        Edge e;
        if (s.numbers[0] == nullptr ||
            !convert_plain_numbers(s.numbers[0], s.numbers[1], s.numbers[2], e))
            return i;
        push_edge(out, e);
    }
    return size;
}

}  // namespace

EdgeListArg to_edge_list(PyObject* o) {
    EdgeListArg arg;
    EdgeList& out = arg.edges;
    if (PyList_CheckExact(o)) {
        // Index by index, re-reading the length, exactly as iterating the
        // list would: a conversion that runs Python code may change it.
        out.reserve(static_cast<std::size_t>(PyList_Size(o)));
        Py_ssize_t i = 0;
        while ((i = convert_plain_run<PyList_GetItem>(o, i, arg)) < PyList_Size(o)) {
            PyRef item = PyRef::borrow(PyList_GetItem(o, i));
            push_edge(arg, convert_edge(item.get()));
            ++i;
        }
        return arg;
    }
    if (PyTuple_CheckExact(o)) {
        const Py_ssize_t n = PyTuple_Size(o);
        out.reserve(static_cast<std::size_t>(n));
        Py_ssize_t i = 0;
        while ((i = convert_plain_run<PyTuple_GetItem>(o, i, arg)) < n) {
            push_edge(arg, convert_edge(PyTuple_GetItem(o, i)));
            ++i;
        }
        return arg;
    }
    const std::vector<Edge> items = to_sequence(o, convert_edge);
    out.assign(items.begin(), items.end());
    for (const Edge& e : out) arg.largest = std::max({arg.largest, e.u, e.v});
    return arg;
}

void check_edges(uint64_t num_nodes, const EdgeListArg& edges) {
    if (edges.edges.empty() || edges.largest < num_nodes) return;
    for (const Edge& e : edges.edges) {
        if (e.u >= num_nodes || e.v >= num_nodes) {
            throw value_error(edge_out_of_range_message(e, num_nodes));
        }
    }
}

}  // namespace quorvane::py
