// Binding of a call's arguments to a parameter list, and the conversions.
#include "args.hpp"

#include <cstring>
#include <limits>
#include <string_view>

namespace quorvane::py {

namespace {

std::string call_name(const Signature& sig) { return std::string(sig.function) + "()"; }

[[noreturn]] void too_many_positional(const Signature& sig, std::size_t given) {
    const std::size_t total = sig.params.size();
    std::string msg = call_name(sig) + " takes ";
    if (sig.required != total) {
        msg += "from " + std::to_string(sig.required) + " to ";
    }
    msg += std::to_string(total) + " positional arguments but " + std::to_string(given) +
           (given == 1 ? " was given" : " were given");
    throw type_error(std::move(msg));
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string quoted_list(const std::vector<const char*>& names) {
    std::string out;
    const std::size_t n = names.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0) {
            if (n > 2) out += ',';
            out += (i == n - 1) ? " and " : " ";
        }
        out += '\'';
        out += names[i];
        out += '\'';
    }
    return out;
}

// Raises TypeError "{function}() {middle}'{keyword}'" with the keyword as the
// caller spelled it (it may hold any character).
[[noreturn]] void keyword_error(const Signature& sig, const char* middle, PyObject* keyword) {
    const std::string prefix = call_name(sig) + middle;
    PyErr_Format(PyExc_TypeError, "%s'%S'", prefix.c_str(), keyword);
    throw PyErrAlreadySet{};
}

// A new TypeError object with `message`, for the wrapping rule.
[[noreturn]] void raise_wrapped(const char* name, const std::string& message, PyObject* cause) {
    std::string text = "argument '";
    text += name;
    text += "': ";
    text += message;
    PyRef str =
        checked(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
    PyRef exc = checked(PyObject_CallFunctionObjArgs(PyExc_TypeError, str.get(), nullptr));
    // Always set, also to no cause: like `raise ... from`, this marks the
    // context as suppressed.
    PyException_SetCause(exc.get(), cause != nullptr ? PyRef::borrow(cause).release() : nullptr);
    restore_error(std::move(exc));
    throw PyErrAlreadySet{};
}

[[noreturn]] void cannot_convert(PyObject* o, const char* target) {
    throw type_error("'" + type_qualname(o) + "' object cannot be converted to '" + target + "'");
}

// The tuple's items after the length check.
void check_tuple(PyObject* o, Py_ssize_t expected) {
    if (!PyTuple_Check(o)) cannot_convert(o, "PyTuple");
    const Py_ssize_t n = PyTuple_Size(o);
    if (n != expected) {
        throw value_error("expected tuple of length " + std::to_string(expected) +
                          ", but got tuple of length " + std::to_string(n));
    }
}

PyRef index_of(PyObject* o) { return checked(PyNumber_Index(o)); }

}  // namespace

// ---------------------------------------------------------------------------
// Binding

BoundArgs bind(const Signature& sig, PyObject* args, PyObject* kwargs) {
    BoundArgs bound(sig);
    const std::size_t count = sig.params.size();
    const Py_ssize_t given = args != nullptr ? PyTuple_Size(args) : 0;
    if (given < 0) throw PyErrAlreadySet{};
    if (static_cast<std::size_t>(given) > count) {
        too_many_positional(sig, static_cast<std::size_t>(given));
    }
    for (Py_ssize_t i = 0; i < given; ++i) {
        bound.slots_[static_cast<std::size_t>(i)] = PyRef::borrow(PyTuple_GetItem(args, i));
    }
    if (kwargs != nullptr) {
        Py_ssize_t pos = 0;
        PyObject *key = nullptr, *value = nullptr;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            std::size_t index = count;
            if (PyUnicode_Check(key)) {
                for (std::size_t i = 0; i < count; ++i) {
                    if (PyUnicode_CompareWithASCIIString(key, sig.params[i]) == 0) {
                        index = i;
                        break;
                    }
                }
            }
            if (index == count) keyword_error(sig, " got an unexpected keyword argument ", key);
            if (bound.slots_[index]) keyword_error(sig, " got multiple values for argument ", key);
            bound.slots_[index] = PyRef::borrow(value);
        }
    }
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < sig.required; ++i) {
        if (!bound.slots_[i]) missing.push_back(sig.params[i]);
    }
    if (!missing.empty()) {
        const std::size_t n = missing.size();
        throw type_error(call_name(sig) + " missing " + std::to_string(n) +
                         " required positional argument" + (n == 1 ? "" : "s") + ": " +
                         quoted_list(missing));
    }
    return bound;
}

void BoundArgs::rethrow_for_argument(std::size_t i) const {
    const char* param = sig_->params[i];
    try {
        throw;
    } catch (const PyError& e) {
        if (e.type == PyExc_TypeError) {
            throw type_error("argument '" + std::string(param) + "': " + e.message);
        }
        throw;
    } catch (const PyErrAlreadySet&) {
        if (PyErr_Occurred() != PyExc_TypeError) throw;
        PyRef exc = fetch_error();
        if (Py_TYPE(exc.get()) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
            restore_error(std::move(exc));  // a subclass of TypeError: unchanged
            throw;
        }
        PyRef cause = PyRef::steal(PyException_GetCause(exc.get()));
        raise_wrapped(param, str_or(exc.get(), ""), cause.get());
    }
}

// ---------------------------------------------------------------------------
// Conversions

std::string to_text(PyObject* o) {
    if (!PyUnicode_Check(o)) cannot_convert(o, "PyString");
    PyRef bytes = checked(PyUnicode_AsUTF8String(o));
    char* data = nullptr;
    Py_ssize_t size = 0;
    checked(PyBytes_AsStringAndSize(bytes.get(), &data, &size));
    return std::string(data, static_cast<std::size_t>(size));
}

namespace {

// Whether `o`'s type is numpy's bool scalar type ("numpy.bool_" or, in
// numpy 2, "numpy.bool").
bool is_numpy_bool(PyObject* o) {
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(o));
    PyRef module = PyRef::steal(PyObject_GetAttrString(type, "__module__"));
    if (!module || !PyUnicode_Check(module.get()) ||
        PyUnicode_CompareWithASCIIString(module.get(), "numpy") != 0) {
        PyErr_Clear();
        return false;
    }
    PyRef name = PyRef::steal(PyObject_GetAttrString(type, "__name__"));
    if (!name || !PyUnicode_Check(name.get())) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_CompareWithASCIIString(name.get(), "bool_") == 0 ||
           PyUnicode_CompareWithASCIIString(name.get(), "bool") == 0;
}

}  // namespace

bool to_flag(PyObject* o) {
    if (o == Py_True) return true;
    if (o == Py_False) return false;
    if (!is_numpy_bool(o)) cannot_convert(o, "PyBool");
    // Looked up on the type, as the interpreter looks up special methods.
    PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(o));
    PyRef method = PyRef::steal(PyObject_GetAttrString(type, "__bool__"));
    if (!method) {
        PyErr_Clear();
        throw type_error("object of type '" + str_or(type, "") +
                         "' does not define a '__bool__' conversion");
    }
    PyRef get = PyRef::steal(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(method.get())), "__get__"));
    if (get) {
        method = checked(PyObject_CallFunctionObjArgs(get.get(), method.get(), o, type, nullptr));
    } else {
        PyErr_Clear();
    }
    PyRef result = checked(PyObject_CallObject(method.get(), nullptr));
    if (result.get() == Py_True) return true;
    if (result.get() == Py_False) return false;
    cannot_convert(result.get(), "PyBool");
}

double to_real(PyObject* o) {
    const double v = float_of(o);
    if (v == -1.0 && PyErr_Occurred() != nullptr) throw PyErrAlreadySet{};
    return v;
}

uint64_t to_count(PyObject* o) {
    PyRef index = index_of(o);
    const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) {
        throw PyErrAlreadySet{};
    }
    return static_cast<uint64_t>(v);
}

int64_t to_int64(PyObject* o) {
    PyRef index = index_of(o);
    const long long v = PyLong_AsLongLong(index.get());
    if (v == -1 && PyErr_Occurred() != nullptr) throw PyErrAlreadySet{};
    return static_cast<int64_t>(v);
}

int32_t to_int32(PyObject* o) {
    const int64_t v = to_int64(o);
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        throw overflow_error("out of range integral type conversion attempted");
    }
    return static_cast<int32_t>(v);
}

IntPair to_int_pair(PyObject* o) {
    check_tuple(o, 2);
    const int32_t first = to_int32(PyTuple_GetItem(o, 0));
    const int32_t second = to_int32(PyTuple_GetItem(o, 1));
    return {first, second};
}

EdgeTriple to_edge_triple(PyObject* o) {
    check_tuple(o, 3);
    const uint64_t u = to_count(PyTuple_GetItem(o, 0));
    const uint64_t v = to_count(PyTuple_GetItem(o, 1));
    const double w = to_real(PyTuple_GetItem(o, 2));
    return {u, v, w};
}

namespace detail {

std::pair<PyRef, std::size_t> open_sequence(PyObject* o) {
    if (PyUnicode_Check(o)) throw type_error("Can't extract `str` to `Vec`");
    if (!PySequence_Check(o)) cannot_convert(o, "Sequence");
    const Py_ssize_t n = PySequence_Size(o);
    std::size_t length = 0;
    if (n < 0) {
        PyErr_Clear();  // no readable length: the result grows as it goes
    } else {
        length = static_cast<std::size_t>(n);
    }
    return {checked(PyObject_GetIter(o)), length};
}

PyRef next_item(PyObject* iterator) {
    PyObject* item = PyIter_Next(iterator);
    if (item == nullptr && PyErr_Occurred() != nullptr) throw PyErrAlreadySet{};
    return PyRef::steal(item);
}

// ---------------------------------------------------------------------------
// The common search tail

void convert_tail_head(const BoundArgs& a, const TailLayout& layout, SearchTail& tail) {
    const std::size_t at = layout.algorithm_at;
    tail.algorithm = a.convert_or(at, to_text, std::string(layout.default_algorithm));
    tail.heuristic = a.optional_object(at + 1);
}

void convert_tail_rest(const BoundArgs& a, std::size_t record_at, const TailLayout& layout,
                       SearchTail& tail) {
    std::size_t i = record_at;
    tail.record = a.convert_or(i++, to_flag, true);
    tail.weight = a.convert_or(i++, to_real, 2.0);
    tail.beam_width = a.convert_optional(i++, to_count);
    tail.depth_limit = a.convert_optional(i++, to_count);
    tail.max_nodes = a.convert_optional(i++, to_count);
    if (layout.diagonal) tail.diagonal = a.convert_or(i++, to_flag, false);
    tail.reopen = a.convert_or(i++, to_flag, false);
}

}  // namespace detail

}  // namespace quorvane::py
