// The module's three classes as the interpreter sees them, and the pieces
// each class's slot table is made of.
//
// Every class is a heap type made from a `PyType_Spec` with the default
// flags only: it cannot be subclassed, its instances have no `__dict__`, no
// weak-reference slot and take no part in the cyclic collector. An instance
// is the object header followed by one C++ value, built in place when the
// instance is made and destroyed in dealloc; nothing changes it in between.
// Python cannot construct one: the `tp_new` slot is `refuse_new`.
//
// A class is declared in the file of its functions, top-down: its getters
// (mostly `field_getter<&Value::field, convert>`), methods and `__repr__`, then
// its tables:
//
//   PyGetSetDef kGetters[] = {
//       attribute("cost", field_getter<&Record::cost, float_to_py>), ..., {}};
//   ClassSpec<Record> kClass{"builtins.Name", kDoc, repr, kGetters, kMethods};
//
// `ClassSpec` (static storage: the interpreter keeps pointers into it) holds
// the slot table every class shares and the type spec made from it.
#pragma once

#include <Python.h>

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "py.hpp"

namespace quorvane::py {

enum class ClassId : uint8_t { search_result, shortest_paths, all_pairs };

// The class's type object, made from its type spec on the first call and kept for
// the process. Returns null with the interpreter's error set if the type
// cannot be made (registration reports that error).
PyTypeObject* try_class_type(ClassId id) noexcept;

// As `try_class_type`, for use after import: a failure prints the
// interpreter's error and panics with "failed to create type object for
// {name}".
PyTypeObject* class_type(ClassId id);

template <class Value>
struct Instance {
    PyObject_HEAD Value value;
};

// `tp_new` of every class: TypeError "No constructor defined for {name}".
PyObject* refuse_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept;

// `tp_dealloc` of a class holding a `Value`.
template <class Value>
void dealloc_instance(PyObject* self) noexcept {
    guarded_void([&] { std::destroy_at(&reinterpret_cast<Instance<Value>*>(self)->value); });
    PyTypeObject* type = Py_TYPE(self);
    auto free_fn = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_fn(self);
    Py_DECREF(reinterpret_cast<PyObject*>(type));  // instances of heap types own their type
}

namespace detail {
// Panics with "called `Result::unwrap()` on an `Err` value: ..." describing
// the interpreter's current error.
[[noreturn]] void instance_allocation_failed();
// TypeError "'{receiver type}' object cannot be converted to '{class}'".
[[noreturn]] void wrong_receiver(PyObject* self, ClassId id);
}  // namespace detail

// Moves `value` into a new instance of the class and returns it. A failed
// allocation releases `value` and is a panic.
template <class Value>
PyRef new_instance(ClassId id, Value value) {
    static_assert(
        std::is_nothrow_move_constructible_v<Value>,
        "the value is moved into a live object; a throwing move would leave it half-made");
    PyTypeObject* type = class_type(id);
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* object = alloc(type, 0);
    if (object == nullptr) detail::instance_allocation_failed();
    PyRef owned = PyRef::steal(object);
    ::new (static_cast<void*>(&reinterpret_cast<Instance<Value>*>(object)->value))
        Value(std::move(value));
    return owned;
}

// The value `self` holds, after checking that `self` is an instance of the
// class (a method or `__repr__` may be handed any object when called through
// the class).
template <class Value>
const Value& receiver(PyObject* self, ClassId id) {
    if (!PyObject_TypeCheck(self, class_type(id))) detail::wrong_receiver(self, id);
    return reinterpret_cast<const Instance<Value>*>(self)->value;
}

// ---------------------------------------------------------------------------
// Tables

namespace detail {
template <class Member>
struct MemberPointer;
template <class Class_, class Field>
struct MemberPointer<Field Class_::*> {
    using Class = Class_;
};
}  // namespace detail

// The getter of one field: `convert(value.*field)`, a new reference. The
// attribute's descriptor checks the instance's class before calling it.
template <auto field, auto convert>
PyObject* field_getter(PyObject* self, void*) noexcept {
    using Value = typename detail::MemberPointer<decltype(field)>::Class;
    return guarded([&] {
        Value& value = reinterpret_cast<Instance<Value>*>(self)->value;
        return convert(value.*field);
    });
}

// A (self, args, kwargs) function as a method table holds it
// (METH_VARARGS | METH_KEYWORDS).
using KeywordFunction = PyObject* (*)(PyObject*, PyObject*, PyObject*) noexcept;
inline PyCFunction as_cfunction(KeywordFunction fn) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn));
}

// A read-only attribute row of a getter table (ended by `{}`).
constexpr PyGetSetDef attribute(const char* name, ::getter get) {
    return {.name = name, .get = get, .set = nullptr, .doc = "", .closure = nullptr};
}

// The slot table and type spec of the class holding a `Value`: the refusing
// `tp_new`, the value's dealloc, `__repr__`, the getters, the docstring and,
// when given, the methods; the default flags, no items. Must stay where it
// was made (the PyType_Spec points into the slot table).
template <class Value>
class ClassSpec {
public:
    ClassSpec(const char* name, const char* doc, reprfunc repr, PyGetSetDef* getters,
              PyMethodDef* methods = nullptr) noexcept
        : slots_{
              {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
              {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<Value>)},
              {Py_tp_repr, reinterpret_cast<void*>(repr)},
              {Py_tp_getset, getters},
              {Py_tp_doc, const_cast<char*>(doc)},
              {methods != nullptr ? Py_tp_methods : 0, methods},  // else the end
              {0, nullptr},
          },
          spec_{
              .name = name,
              .basicsize = static_cast<int>(sizeof(Instance<Value>)),
              .itemsize = 0,
              .flags = Py_TPFLAGS_DEFAULT,
              .slots = slots_,
          } {}
    ClassSpec(const ClassSpec&) = delete;
    ClassSpec& operator=(const ClassSpec&) = delete;

    PyType_Spec* get() noexcept { return &spec_; }

private:
    PyType_Slot slots_[7];
    PyType_Spec spec_;
};

}  // namespace quorvane::py
