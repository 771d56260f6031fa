// Errors, panics and the entry guard's translation of C++ exceptions.
#include "py.hpp"

#include <cstdio>
#include <exception>
#include <optional>

namespace quorvane::py {

namespace {

// Created on first use and kept for the process (the interpreter lock makes
// the first use race-free).
PyObject* g_panic_exception = nullptr;

constexpr const char kPanicDoc[] =
    "Raised when the native core of quorvane_native panics: a broken internal\n"
    "invariant, or an argument check that only the core makes.\n"
    "\n"
    "It derives from BaseException, so ``except Exception`` does not catch it.";

std::optional<std::string> utf8_of(PyObject* str) {
    const PyRef bytes = PyRef::steal(PyUnicode_AsEncodedString(str, "utf-8", "replace"));
    if (!bytes) return std::nullopt;
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) != 0) return std::nullopt;
    return std::string(data, static_cast<std::size_t>(size));
}

void write_stderr(std::string_view text) noexcept {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void print_pending_error() noexcept {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type == nullptr) return;
    PyErr_NormalizeException(&type, &value, &traceback);
    // Owned from here; declared so that the value is released before its
    // traceback.
    const PyRef owned_traceback = PyRef::steal(traceback);
    const PyRef owned_value = PyRef::steal(value);
    const PyRef owned_type = PyRef::steal(type);
    // Unlike PyErr_Print, never exits the process on a pending SystemExit.
    PyErr_Display(type, value, traceback);
}

void PyError::restore() const noexcept {
    const PyRef text = PyRef::steal(
        PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
    if (!text) return;  // the interpreter's error (memory) stands
    PyErr_SetObject(type, text.get());
}

void python_call_failed() {
    print_pending_error();
    throw Panic("Python API call failed");
}

PyObject* panic_exception_type() {
    if (g_panic_exception == nullptr) {
        g_panic_exception = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", kPanicDoc,
                                                      PyExc_BaseException, nullptr);
        if (g_panic_exception == nullptr) throw PyErrAlreadySet{};
    }
    return g_panic_exception;
}

void raise_panic(std::string_view message) noexcept {
    std::string report = "quorvane_native panicked: ";
    report.append(message);
    report.push_back('\n');
    write_stderr(report);
    PyObject* type = nullptr;
    try {
        type = panic_exception_type();
    } catch (const PyErrAlreadySet&) {
        return;
    }
    PyError(type, std::string(message)).restore();
}

PyRef fetch_error() {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type == nullptr) {
        throw PyError(PyExc_SystemError, "error return without exception set");
    }
    PyErr_NormalizeException(&type, &value, &traceback);
    PyRef owned_type = PyRef::steal(type);
    PyRef owned_value = PyRef::steal(value);
    PyRef owned_traceback = PyRef::steal(traceback);
    if (traceback != nullptr && value != nullptr) PyException_SetTraceback(value, traceback);
    if (g_panic_exception != nullptr && PyErr_GivenExceptionMatches(type, g_panic_exception)) {
        std::string message = value != nullptr ? str_or(value, "Unwrapped panic from Python code")
                                               : std::string("Unwrapped panic from Python code");
        write_stderr(
            "quorvane_native: a PanicException was raised from Python code; "
            "resuming the panic:\n");
        PyErr_Restore(owned_type.release(), owned_value.release(), owned_traceback.release());
        print_pending_error();
        throw Panic(message);
    }
    return owned_value;
}

void restore_error(PyRef exception) noexcept {
    PyObject* value = exception.release();
    PyRef type = PyRef::borrow(reinterpret_cast<PyObject*>(Py_TYPE(value)));
    PyErr_Restore(type.release(), value, PyException_GetTraceback(value));
}

std::string str_or(PyObject* object, std::string_view fallback) {
    const PyRef text = PyRef::steal(PyObject_Str(object));
    std::optional<std::string> out;
    if (text) out = utf8_of(text.get());
    if (!out) {
        PyErr_Clear();
        return std::string(fallback);
    }
    return *out;
}

std::string type_qualname(PyObject* object) {
    const PyRef name = PyRef::steal(
        PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
    std::optional<std::string> out;
    if (name && PyUnicode_Check(name.get())) out = utf8_of(name.get());
    if (!out) {
        PyErr_Clear();
        return "<failed to extract type name>";
    }
    return *out;
}

namespace detail {

void raise_current_exception() noexcept {
    try {
        throw;
    } catch (const PyErrAlreadySet&) {
        if (PyErr_Occurred() == nullptr) {
            PyErr_SetString(PyExc_SystemError, "error return without exception set");
        }
    } catch (const PyError& e) {
        e.restore();
    } catch (const Panic& p) {
        raise_panic(p.what());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        raise_panic(e.what());
    } catch (...) {
        raise_panic("unknown C++ exception");
    }
}

}  // namespace detail

}  // namespace quorvane::py
