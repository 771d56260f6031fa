// Entry points whose bodies have not landed yet. Each raises
// NotImplementedError. When a function is implemented in its own source
// file, delete its stub here.
#include "functions.hpp"
#include "native_class.hpp"
#include "py.hpp"

namespace quorvane::py {

namespace {

PyObject* not_implemented(const char* name) noexcept {
    return guarded([&]() -> PyObject* {
        throw PyError(PyExc_NotImplementedError, std::string(name) + "() is not implemented yet");
    });
}

}  // namespace


}  // namespace quorvane::py
