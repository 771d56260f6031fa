// The callback adaptors: heuristic evaluation, successor calls and the
// conversion of Python states into implicit-graph nodes.
//
// Hot path (one call per heuristic evaluation and per successor request,
// no caching): no interpreter exception is made on the way of a well-formed
// answer, and the successor pairs go straight into the driver's buffer.
#include "callbacks.hpp"

#include <concepts>
#include <cstddef>
#include <cstring>
#if __has_include(<dlfcn.h>)
#include <dlfcn.h>
#endif

namespace quorvane::py {

namespace {

constexpr const char kHeuristicMessage[] = "the heuristic callable must return a float";
constexpr const char kShapeMessage[] = "successors must return a list of (state, cost) pairs";
constexpr const char kStateMessage[] = "implicit-graph states must be an int or a sequence of ints";

// Drops the interpreter's current exception when it is an ordinary one (an
// Exception subclass): the caller reports a conversion failure instead.
// KeyboardInterrupt, SystemExit and the other BaseException subclasses are
// no such failure and must not be swallowed or renamed: they are put back
// and thrown, and reach the caller unchanged as the search unwinds. A
// PanicException resumes its panic the same way (in fetch_error).
void discard_error() {
    PyRef exception = fetch_error();
    if (!PyErr_GivenExceptionMatches(exception.get(), PyExc_Exception)) {
        restore_error(std::move(exception));
        throw PyErrAlreadySet{};
    }
}

// `v` from an int (a bool too) or an object with `__index__`, in the int64
// range. False, with the interpreter's error dropped, otherwise.
bool try_extract_int(PyObject* o, int64_t& v) {
    PyRef index;
    if (!PyLong_CheckExact(o) && !PyLong_Check(o)) {
        // Checked first so that a tuple or list state makes no exception.
        if (!PyIndex_Check(o)) return false;
        index = PyRef::steal(PyNumber_Index(o));
        if (!index) {
            discard_error();
            return false;
        }
        o = index.get();
    }
    v = PyLong_AsLongLong(o);
    if (v == -1 && PyErr_Occurred() != nullptr) {
        discard_error();
        return false;
    }
    return true;
}

// The elements of a non-str sequence state, each by `try_extract_int`.
bool try_extract_elements(PyObject* o, ImplicitNode& out) {
    int64_t v = 0;
    if (PyTuple_CheckExact(o)) {
        // A tuple cannot change while its items are converted, and its
        // length is known before: the state is filled in place.
        const Py_ssize_t n = PyTuple_Size(o);
        ImplicitNode state(static_cast<std::size_t>(n));
        for (Py_ssize_t i = 0; i < n; ++i) {
            if (!try_extract_int(PyTuple_GetItem(o, i), v)) return false;
            state[static_cast<std::size_t>(i)] = v;
        }
        out = std::move(state);
        return true;
    }
    const PyRef iterator = PyRef::steal(PyObject_GetIter(o));
    if (!iterator) {
        discard_error();
        return false;
    }
    std::vector<int64_t> values;
    while (const PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
        if (!try_extract_int(item.get(), v)) return false;
        values.push_back(v);
    }
    if (PyErr_Occurred() != nullptr) {
        discard_error();
        return false;
    }
    out = ImplicitNode(values.data(), values.size());
    return true;
}

bool try_extract_implicit_state(PyObject* o, ImplicitNode& out) {
    int64_t v = 0;
    if (try_extract_int(o, v)) {
        out.assign_single(v);
        return true;
    }
    if (PyUnicode_Check(o) || !PySequence_Check(o)) return false;
    return try_extract_elements(o, out);
}

using detail::CheckedPair;

// The cost of one item, or nothing when the item is not a 2-tuple whose
// second element converts to a float.
bool check_pair(PyObject* item, double& cost) {
    if (!(PyTuple_CheckExact(item) || PyTuple_Check(item)) || PyTuple_Size(item) != 2) return false;
    cost = float_of(PyTuple_GetItem(item, 1));
    if (cost == -1.0 && PyErr_Occurred() != nullptr) {
        discard_error();
        return false;
    }
    return true;
}

// Every item of the callable's answer, shape-checked, before any state is
// converted. False on the first violation.
bool check_shape(PyObject* result, std::vector<CheckedPair>& pairs) {
    double cost = 0.0;
    if (PyList_CheckExact(result) || PyTuple_CheckExact(result)) {
        // Index loops read the length afresh, as iteration does; each item
        // is held, as a cost's `__float__` may change the list.
        const bool list = PyList_CheckExact(result);
        auto size = [&] { return list ? PyList_Size(result) : PyTuple_Size(result); };
        for (Py_ssize_t i = 0; i < size(); ++i) {
            PyRef item =
                PyRef::borrow(list ? PyList_GetItem(result, i) : PyTuple_GetItem(result, i));
            if (!check_pair(item.get(), cost)) return false;
            pairs.push_back({std::move(item), cost});
        }
        return true;
    }
    if (PyUnicode_Check(result) || !PySequence_Check(result)) return false;
    const PyRef iterator = PyRef::steal(PyObject_GetIter(result));
    if (!iterator) {
        discard_error();
        return false;
    }
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
        if (!check_pair(item.get(), cost)) return false;
        pairs.push_back({std::move(item), cost});
    }
    if (PyErr_Occurred() != nullptr) {
        discard_error();
        return false;
    }
    return true;
}

// An exact int in the int64 range, read without running Python code or
// setting an error. False for anything else.
bool plain_int(PyObject* o, int64_t& v) {
    if (!PyLong_CheckExact(o)) return false;
    int overflow = 0;
    v = PyLong_AsLongLongAndOverflow(o, &overflow);
    return overflow == 0;
}

// The usual answer, read in one pass: an exact list or tuple of exact
// 2-tuples, each an exact int or an exact tuple of exact ints (in the int64
// range) with an exact float or int cost (in float range). Reading such an
// answer runs no Python code, so nothing can change it midway, and it gives
// what the checked route gives, the same calls of `hint` included. Anything
// else returns false with `out` as it was; nothing a caller can see has
// happened, and the checked route reads the answer from the start.
bool collect_plain_pairs(PyObject* result, SuccessorList<ImplicitNode>& out,
                         const ChildHint<ImplicitNode>* hint) {
    const bool list = PyList_CheckExact(result);
    if (!list && !PyTuple_CheckExact(result)) return false;
    const Py_ssize_t n = list ? PyList_Size(result) : PyTuple_Size(result);
    const std::size_t base = out.size();
    out.reserve(base + static_cast<std::size_t>(n));
    auto fail = [&] {
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(base), out.end());
        return false;
    };
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = list ? PyList_GetItem(result, i) : PyTuple_GetItem(result, i);
        if (!PyTuple_CheckExact(item) || PyTuple_Size(item) != 2) return fail();
        PyObject* cost = PyTuple_GetItem(item, 1);
        PyObject* state = PyTuple_GetItem(item, 0);
        Successor<ImplicitNode>& successor = out.emplace_back();
        if (!PyFloat_CheckExact(cost) && !PyLong_CheckExact(cost)) return fail();
        successor.cost = float_of(cost);
        if (successor.cost == -1.0 && PyErr_Occurred() != nullptr) {
            PyErr_Clear();  // an int past float range: the checked route says so
            return fail();
        }
        int64_t v = 0;
        if (plain_int(state, v)) {
            successor.node.assign_single(v);
        } else if (PyTuple_CheckExact(state)) {
            const Py_ssize_t m = PyTuple_Size(state);
            ImplicitNode node(static_cast<std::size_t>(m));
            for (Py_ssize_t j = 0; j < m; ++j) {
                if (!plain_int(PyTuple_GetItem(state, j), v)) return fail();
                node[static_cast<std::size_t>(j)] = v;
            }
            successor.node = std::move(node);
        } else {
            return fail();
        }
        if (hint != nullptr) (*hint)(successor.node);
    }
    return true;
}

// Converts the answer of the successor callable onto the end of `out`,
// with `pairs` (empty) as the buffer of checked items, telling `hint` (if
// any) of each state converted. On failure parks the error, leaves `out` as
// it was and returns false. Leaves `pairs` empty.
bool collect_successor_pairs(PyObject* result, SuccessorList<ImplicitNode>& out,
                             std::vector<CheckedPair>& pairs, CallbackErrorSlot& slot,
                             const ChildHint<ImplicitNode>* hint) {
    if (!check_shape(result, pairs)) {
        pairs.clear();
        slot.store(value_error(kShapeMessage));
        return false;
    }
    const std::size_t base = out.size();
    out.reserve(base + pairs.size());
    for (CheckedPair& pair : pairs) {
        // The state is read straight into its place in `out`.
        Successor<ImplicitNode>& successor = out.emplace_back();
        successor.cost = pair.cost;
        if (!try_extract_implicit_state(PyTuple_GetItem(pair.item.get(), 0), successor.node)) {
            out.erase(out.begin() + static_cast<std::ptrdiff_t>(base), out.end());
            pairs.clear();
            slot.store(value_error(kStateMessage));
            return false;
        }
        if (hint != nullptr) (*hint)(successor.node);
        pair.item = PyRef();  // released as consumed
    }
    pairs.clear();
    return true;
}

// Callbacks are called through PyObject_Vectorcall, with the arguments in a
// C array: the call the interpreter itself makes, with nothing to build
// first (about 100 instructions a call fewer than the alternatives). The
// module is built against the 3.8 limited API, whose headers lack it: it is
// part of the stable ABI from 3.12 on, and 3.11 exports the very same
// function (public API since 3.9, an exported function from 3.11 on) under
// that name and signature. So it is looked up by name, once, in the running
// interpreter. Where it is not found (3.8 to 3.10, or a platform without
// dlsym) PyObject_CallFunctionObjArgs makes the same call, gathering its
// variable arguments into such an array first. (Calling PyObject_Call with
// an argument tuple kept from call to call, reused only while nothing else
// holds it, saves nothing over the latter.)
using VectorcallFunction = PyObject* (*)(PyObject*, PyObject* const*, std::size_t, PyObject*);

VectorcallFunction find_vectorcall() noexcept {
#if defined(RTLD_DEFAULT)
    void* found = dlsym(RTLD_DEFAULT, "PyObject_Vectorcall");
    VectorcallFunction function = nullptr;
    static_assert(sizeof function == sizeof found);
    std::memcpy(&function, &found, sizeof function);
    return function;
#else
    return nullptr;
#endif
}

// callable(args...), a new reference or null with the interpreter's error.
template <std::same_as<PyObject*>... Args>
PyRef call_python(PyObject* callable, Args... args) {
    static const VectorcallFunction vectorcall = find_vectorcall();
    if (vectorcall != nullptr) {
        PyObject* const argv[] = {args...};
        return PyRef::steal(vectorcall(callable, argv, sizeof...(args), nullptr));
    }
    return PyRef::steal(PyObject_CallFunctionObjArgs(callable, args..., nullptr));
}

}  // namespace

// ---------------------------------------------------------------------------
// CallbackErrorSlot

void CallbackErrorSlot::store(PyRef exception) noexcept {
    if (!holds_error()) raised_ = std::move(exception);
}

void CallbackErrorSlot::store(PyError error) {
    if (!holds_error()) made_.emplace(std::move(error));
}

void CallbackErrorSlot::raise_taken() {
    if (raised_) {
        restore_error(std::move(raised_));
        throw PyErrAlreadySet{};
    }
    if (made_) {
        PyError error = std::move(*made_);
        made_.reset();
        throw error;
    }
}

// ---------------------------------------------------------------------------
// Heuristic

double CallbackContext::evaluate(PyObject* node, PyObject* goal) const {
    const PyRef result = call_python(callable_.get(), node, goal);
    if (result) {
        const double value = float_of(result.get());
        if (!(value == -1.0 && PyErr_Occurred() != nullptr)) return value;
    }
    // An ordinary exception is dropped, neither raised later nor chained.
    discard_error();
    slot_->store(value_error(kHeuristicMessage));
    return 0.0;
}

// ---------------------------------------------------------------------------
// Implicit graphs

ImplicitNode extract_implicit_state(PyObject* state) {
    ImplicitNode node;
    if (!try_extract_implicit_state(state, node)) throw value_error(kStateMessage);
    return node;
}

void extend_successors(const ImplicitGraph& graph, const ImplicitNode& node,
                       SuccessorList<ImplicitNode>& out, const ChildHint<ImplicitNode>* hint) {
    CallbackErrorSlot& slot = graph.slot();
    if (slot.holds_error()) return;
    PyRef result;
    {
        const PyRef argument = node_to_py(node);
        result = call_python(graph.callable(), argument.get());
    }
    if (!result) {
        slot.store(fetch_error());  // type, value and traceback as raised
        return;
    }
    if (collect_plain_pairs(result.get(), out, hint)) return;
    // Taken out of the graph while in use, so that an exception thrown
    // midway (a panic, an interrupt) drops the items held with the local
    // and leaves the graph an empty buffer.
    std::vector<CheckedPair> pairs = std::move(graph.checked_pairs());
    collect_successor_pairs(result.get(), out, pairs, slot, hint);
    graph.checked_pairs() = std::move(pairs);
}

}  // namespace quorvane::py
