// The binding layer's foundation: owned object handles, the three error
// kinds, the interpreter-lock release scope and the one entry guard.
//
// Every call from the interpreter into the module (module function, method,
// getter, `__repr__`, the refusing `tp_new`, dealloc, module init) is a
// `noexcept` function whose body is `return guarded([&] { ... });`. Inside,
// failures travel as C++ exceptions of three kinds:
//
//   PyErrAlreadySet   an interpreter call failed and the interpreter holds
//                     the exception (thrown by `checked`);
//   PyError           an error the module makes itself: an exception type and
//                     a message. It needs no interpreter lock to be built, so
//                     it may be thrown inside a `ReleasedGil` scope;
//   quorvane::Panic   a broken invariant or a core-only argument check;
//                     raised to Python as `PanicException(message)` after a
//                     short report on standard error.
//
// `std::bad_alloc` reaching the guard becomes `MemoryError`; any other C++
// exception is treated as a panic carrying its `what()`.
//
// IMPORTANT: nothing here may touch a Python object without the interpreter
// lock. A `PyRef` must not be destroyed inside a `ReleasedGil` scope.
#pragma once

#ifndef Py_LIMITED_API
#error "the module is built against the stable ABI only (define Py_LIMITED_API)"
#endif
#include <Python.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "panic.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// Owned references

// Owns one reference to a Python object (or nothing). Move-only; copying a
// reference is explicit (`PyRef::borrow(r.get())`).
class PyRef {
public:
    PyRef() noexcept = default;
    PyRef(std::nullptr_t) noexcept {}

    // Takes over a new reference (may be null).
    static PyRef steal(PyObject* p) noexcept { return PyRef(p); }
    // Adds a reference to a borrowed one (may be null).
    static PyRef borrow(PyObject* p) noexcept {
        Py_XINCREF(p);
        return PyRef(p);
    }

    PyRef(PyRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        if (this != &other) {
            PyObject* old = std::exchange(p_, std::exchange(other.p_, nullptr));
            Py_XDECREF(old);
        }
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    ~PyRef() { Py_XDECREF(p_); }

    PyObject* get() const noexcept { return p_; }
    // Hands the reference over to the caller (e.g. as a return value to the
    // interpreter, or to a function that steals it).
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    explicit PyRef(PyObject* p) noexcept : p_(p) {}
    PyObject* p_ = nullptr;
};

// ---------------------------------------------------------------------------
// Errors

// The interpreter already holds the exception to raise.
struct PyErrAlreadySet {};

// An exception the module raises itself. `type` is a long-lived exception
// type (a `PyExc_*` object or `PanicException`), never released; the value
// can therefore be built and thrown without the interpreter lock.
struct PyError {
    PyObject* type;
    std::string message;

    PyError(PyObject* type_, std::string message_) : type(type_), message(std::move(message_)) {}

    // Makes this the interpreter's current exception. Needs the lock.
    void restore() const noexcept;
};

inline PyError type_error(std::string message) { return {PyExc_TypeError, std::move(message)}; }
inline PyError value_error(std::string message) { return {PyExc_ValueError, std::move(message)}; }
inline PyError overflow_error(std::string message) {
    return {PyExc_OverflowError, std::move(message)};
}

// A new reference from a C-API call: null means the interpreter set an error.
inline PyRef checked(PyObject* result) {
    if (result == nullptr) throw PyErrAlreadySet{};
    return PyRef::steal(result);
}

// A status from a C-API call: -1 means the interpreter set an error.
inline int checked(int status) {
    if (status == -1) throw PyErrAlreadySet{};
    return status;
}

// float(o) as a double: -1.0 with the interpreter's error set when that
// fails. An exact int is read directly, without the float object that its
// conversion would make and drop (the usual answer of a distance callable).
inline double float_of(PyObject* o) {
    return PyLong_CheckExact(o) ? PyLong_AsDouble(o) : PyFloat_AsDouble(o);
}

// A new reference to a value the module is converting for Python (a list,
// tuple, int, float or str). Failing to make one is not an argument error
// but a broken expectation: a null result prints the interpreter's error
// and becomes the panic "Python API call failed" (python_call_failed, out
// of line: the conversions inline).
[[noreturn, gnu::cold]] void python_call_failed();
inline PyRef made_or_panic(PyObject* result) {
    if (result == nullptr) [[unlikely]]
        python_call_failed();
    return PyRef::steal(result);
}

// Writes the interpreter's current exception, if any, with its traceback to
// standard error and clears it.
void print_pending_error() noexcept;

// The `PanicException` type (created on first use, kept for the process).
// Derives from BaseException; its qualified name is
// "pyo3_runtime.PanicException". Borrowed; throws PyErrAlreadySet if it
// cannot be made.
PyObject* panic_exception_type();

// Writes the panic report to standard error and raises
// `PanicException(message)`. Never fails: should the exception type itself
// be impossible to make, the interpreter's error from that attempt stands.
void raise_panic(std::string_view message) noexcept;

// Takes the interpreter's current exception out of it, normalised, as an
// exception object (never null; the interpreter must hold an exception).
// A `PanicException` is not an error to park or to translate: it writes a
// notice with the exception to standard error and throws `Panic` with the
// exception's text, so it reaches the caller as a `PanicException` again.
PyRef fetch_error();

// Makes `exception` (an exception object) the interpreter's current
// exception again.
void restore_error(PyRef exception) noexcept;

// The text of `str(object)` as UTF-8; `fallback` if that fails (the
// interpreter's error is cleared).
std::string str_or(PyObject* object, std::string_view fallback);

// The qualified name of the object's type, or "<failed to extract type
// name>".
std::string type_qualname(PyObject* object);

// ---------------------------------------------------------------------------
// The interpreter lock

// A scope that calls `enter` when it begins and `leave` with what `enter`
// returned when it ends, unwinding included.
template <class State, State (*enter)(), void (*leave)(State)>
class LockScope {
public:
    LockScope() noexcept : state_(enter()) {}
    ~LockScope() { leave(state_); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    State state_;
};

// Releases the interpreter lock for its lifetime; other Python threads run
// meanwhile. Use only around code that touches no Python object at all;
// PyError and Panic may be thrown from inside (the lock is taken back while
// unwinding).
using ReleasedGil = LockScope<PyThreadState*, PyEval_SaveThread, PyEval_RestoreThread>;

// ---------------------------------------------------------------------------
// The entry guard

namespace detail {

// Sets the interpreter's exception for the exception being handled. Called
// only from inside a catch-all handler.
void raise_current_exception() noexcept;

inline PyObject* into_result(PyObject* p) noexcept { return p; }
inline PyObject* into_result(PyRef&& r) noexcept { return r.release(); }

}  // namespace detail

// Runs `body` and returns its result (a `PyObject*` new reference or a
// `PyRef`) as a new reference. Any failure becomes the interpreter's current
// exception and the result is null.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return detail::into_result(body());
    } catch (...) {
        detail::raise_current_exception();
        return nullptr;
    }
}

// The guard for deallocation, which has no caller to report to: a failure
// goes to the interpreter's unraisable-exception hook.
// Deallocation may run while an exception is propagating; that exception is
// kept aside and put back afterwards.
template <class Body>
void guarded_void(Body&& body) noexcept {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    try {
        body();
    } catch (...) {
        detail::raise_current_exception();
        PyErr_WriteUnraisable(nullptr);
    }
    PyErr_Restore(type, value, traceback);
}

}  // namespace quorvane::py
