// Entry points whose bodies have not landed yet. Each raises
// NotImplementedError; the two class specs are placeholders that only
// refuse construction. When a function or class is implemented in its own
// source file, delete its stub here.
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

struct Placeholder {};

PyType_Slot kPlaceholderSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<Placeholder>)},
    {0, nullptr},
};

PyType_Spec kShortestPathsSpec = {"builtins.ShortestPaths",
                                  static_cast<int>(sizeof(Instance<Placeholder>)), 0,
                                  Py_TPFLAGS_DEFAULT, kPlaceholderSlots};
PyType_Spec kAllPairsSpec = {"builtins.AllPairs", static_cast<int>(sizeof(Instance<Placeholder>)),
                             0, Py_TPFLAGS_DEFAULT, kPlaceholderSlots};

}  // namespace

PyObject* search_graph(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("search_graph");
}
PyObject* search_implicit(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("search_implicit");
}
PyObject* bellman_ford(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("bellman_ford");
}
PyObject* floyd_warshall(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("floyd_warshall");
}
PyObject* search_npuzzle(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("search_npuzzle");
}
PyObject* search_hanoi(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("search_hanoi");
}
PyObject* search_wordladder(PyObject*, PyObject*, PyObject*) noexcept {
    return not_implemented("search_wordladder");
}

PyType_Spec* shortest_paths_spec() noexcept { return &kShortestPathsSpec; }
PyType_Spec* all_pairs_spec() noexcept { return &kAllPairsSpec; }

}  // namespace quorvane::py
