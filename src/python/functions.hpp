// Every Python-visible module function, and the type specs of the classes
// that live beside their functions.
//
// The method table in module.cpp lists these entry points with their names,
// docstrings and text signatures; each is defined in the source file of its
// family (run_grid.cpp, run_graph.cpp, run_implicit.cpp, run_npuzzle.cpp,
// run_hanoi.cpp, run_wordladder.cpp, shortest_paths.cpp, generators.cpp),
// beside its signature, binder and run routine (see args.hpp). Every one is
// a METH_VARARGS | METH_KEYWORDS function whose body goes through `guarded`.
#pragma once

#include <Python.h>

namespace quorvane::py {

PyObject* search_grid(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* search_grid_costs(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* search_graph(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* search_implicit(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* gen_erdos_renyi(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* gen_barabasi_albert(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* gen_watts_strogatz(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* sample_maze(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* random_maze_ascii(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* bellman_ford(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* floyd_warshall(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* search_npuzzle(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* search_hanoi(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;
PyObject* search_wordladder(PyObject* self, PyObject* args, PyObject* kwargs) noexcept;

// Type specs of the classes (static storage; see native_class.hpp for what
// a type spec must hold). `SearchResult` is in search_result.cpp; `ShortestPaths`
// and `AllPairs` in shortest_paths.cpp.
PyType_Spec* search_result_spec() noexcept;
PyType_Spec* shortest_paths_spec() noexcept;
PyType_Spec* all_pairs_spec() noexcept;

}  // namespace quorvane::py
