// Module entry: `PyInit_quorvane_native`, the table of module functions,
// the class registry and `__all__`.
//
// Registration order is the module's public order: the fourteen functions,
// then SearchResult, ShortestPaths and AllPairs; `__all__` lists the
// seventeen names in that order. The first failure stops registration and
// fails the import. A module that initialised successfully once is never
// initialised again in this process (the classes and the panic type are
// process-wide); a second attempt is refused with ImportError.
#include <Python.h>

#include <cstdio>
#include <string>

#include "functions.hpp"
#include "native_class.hpp"
#include "py.hpp"

namespace quorvane::py {

namespace {

// ---------------------------------------------------------------------------
// State: made once, kept for the process.

PyModuleDef g_module_def = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "quorvane_native",
    .m_doc = "",  // so that __doc__ is "" rather than None
    .m_size = 0,
    .m_methods = nullptr,
    .m_slots = nullptr,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

// Set after the first successful initialisation, never cleared.
PyObject* g_module = nullptr;

struct ClassEntry {
    const char* name;
    PyType_Spec* (*spec)() noexcept;
    PyObject* type;  // made on first need, kept
};

ClassEntry g_classes[] = {
    {"SearchResult", search_result_spec, nullptr},
    {"ShortestPaths", shortest_paths_spec, nullptr},
    {"AllPairs", all_pairs_spec, nullptr},
};

// ---------------------------------------------------------------------------
// Docstrings: the text signature line, "--", an empty line, the description.

constexpr const char kSearchGridDoc[] =
    R"(search_grid(map, algorithm="astar", heuristic=None, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, diagonal=False, reopen=False)
--

Search a 2-D maze given as an ASCII map (`#` wall, `S` start, `G` goal, a
digit `1`–`9` = a free cell with that terrain cost).

`heuristic` is a built-in name (`"zero"`, `"manhattan"`, `"euclidean"`,
`"octile"`) or a custom callable `h((row, col), (row, col)) -> float`.

`reopen=True` puts a closed node back on the frontier when a cheaper path to it
appears. Leave it off with the built-in heuristics (they are consistent, so it
changes nothing); switch it on when you pass a **custom** callable that may be
admissible without being consistent, or A\* can return a sub-optimal path.
It applies to the frontier algorithms (bfs/dfs/ucs/greedy/astar/weighted_astar);
the iterative-deepening, beam and bidirectional drivers ignore it.)";

constexpr const char kSearchGridCostsDoc[] =
    R"(search_grid_costs(costs, start, goal, algorithm="astar", heuristic=None, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, diagonal=False, reopen=False)
--

Search a grid built from a matrix of **terrain costs**. `costs[r][c]` is the
movement cost of entering cell `(r, c)`; a non-positive or non-finite value
marks a wall. `start` and `goal` are `(row, col)` tuples. Same `heuristic`
options as [`search_grid`].)";

constexpr const char kSearchGraphDoc[] =
    R"(search_graph(num_nodes, edges, start, goal, algorithm="bfs", heuristic=None, undirected=True, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Search an explicit weighted graph given as an edge list over `0..num_nodes`.

`heuristic` defaults to the zero heuristic (so the informed algorithms behave
as their uninformed counterparts). Pass a custom callable
`h(node, goal) -> float` (nodes are ints) to run a real A\* / Greedy — e.g.
straight-line distance when your nodes have coordinates. `weight` sets the
`w` for `weighted_astar`.

With a custom heuristic, consider `reopen=True`: a hand-written `h` that is
admissible but not *consistent* can make A\* close a node too early and return
a sub-optimal path. `SearchResult.nodes_reopened` reports what it cost.)";

constexpr const char kSearchImplicitDoc[] =
    R"(search_implicit(successors, start, goal, algorithm="astar", heuristic=None, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Search an implicit graph defined by a Python successor callable
`successors(state) -> [(state, cost), ...]`. States are ints or tuples of
ints. `heuristic`, if given, is a callable `h(state, goal) -> float`.)";

constexpr const char kGenErdosRenyiDoc[] = R"(gen_erdos_renyi(n, p, seed)
--

Erdős–Rényi `G(n, p)` random graph → edge list.)";

constexpr const char kGenBarabasiAlbertDoc[] = R"(gen_barabasi_albert(n, m, seed)
--

Barabási–Albert scale-free graph → edge list.)";

constexpr const char kGenWattsStrogatzDoc[] = R"(gen_watts_strogatz(n, k, beta, seed)
--

Watts–Strogatz small-world graph → edge list.)";

constexpr const char kSampleMazeDoc[] = R"(sample_maze(name)
--

A named sample maze as an ASCII map. `name` is `"open"` or `"wall"`.)";

constexpr const char kRandomMazeAsciiDoc[] =
    R"(random_maze_ascii(width, height, obstacle_density, seed)
--

A reproducible random maze rendered as an ASCII map (with `S`/`G`).)";

constexpr const char kBellmanFordDoc[] = R"(bellman_ford(num_nodes, edges, source, undirected=False)
--

**Bellman–Ford** single-source shortest paths on an explicit weighted graph.

Unlike Dijkstra/A\*, this tolerates **negative edge weights** and reports a
reachable negative cycle. Edges are ``(u, v, w)`` over ``0..num_nodes``.

``undirected`` defaults to ``False``: negative weights are the whole point,
and an undirected negative edge is itself a trivial negative cycle.)";

constexpr const char kFloydWarshallDoc[] = R"(floyd_warshall(num_nodes, edges, undirected=False)
--

**Floyd–Warshall** all-pairs shortest paths on an explicit weighted graph.

``O(V³)`` — for small/medium or dense graphs where you want *every* distance
at once. Tolerates negative edges and flags any negative cycle. Edges are
``(u, v, w)`` over ``0..num_nodes``; ``undirected`` defaults to ``False``.)";

constexpr const char kSearchNpuzzleDoc[] =
    R"(search_npuzzle(tiles, algorithm="astar", heuristic=None, goal=None, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Solve a sliding-tile **N-puzzle** (3×3 → 8-puzzle, 4×4 → 15-puzzle, …).

`tiles` is the flat, row-major start state with `0` for the blank; its length
must be a perfect square. `goal` defaults to the canonical `1, 2, …, n−1, 0`.
States in the result are tuples of ints. `heuristic` is `"manhattan"`
(default), `"misplaced"`, `"zero"`, or a callable `h(state, goal) -> float`.
Raises if the configuration is not solvable into the goal (parity).)";

constexpr const char kSearchHanoiDoc[] =
    R"(search_hanoi(disks, algorithm="astar", heuristic=None, pegs=3, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Solve the **Towers of Hanoi** with `disks` disks over `pegs` pegs (default 3).

Start = every disk on peg 0; goal = every disk on the last peg. A state in the
result is a tuple `peg_of_disk[d]` (disk 0 = smallest). `heuristic` is
`"misplaced"` (default), `"zero"`, or a callable `h(state, goal) -> float`.
The classic 3-peg optimum is `2^disks − 1` moves.)";

constexpr const char kSearchWordladderDoc[] =
    R"(search_wordladder(start, goal, words, algorithm="astar", heuristic=None, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Solve a **word ladder** from `start` to `goal` over a `words` dictionary
(equal-length lowercase words; `start`/`goal` are added automatically so the
endpoints are valid nodes). Each step changes exactly one letter. `heuristic`
is `"hamming"` (default), `"zero"`, or a callable `h(word, goal) -> float`.)";

constexpr int kFlags = METH_VARARGS | METH_KEYWORDS;

constexpr auto F = as_cfunction;

// The functions in registration order.
PyMethodDef g_functions[] = {
    {"search_grid", F(search_grid), kFlags, kSearchGridDoc},
    {"search_grid_costs", F(search_grid_costs), kFlags, kSearchGridCostsDoc},
    {"search_graph", F(search_graph), kFlags, kSearchGraphDoc},
    {"search_implicit", F(search_implicit), kFlags, kSearchImplicitDoc},
    {"gen_erdos_renyi", F(gen_erdos_renyi), kFlags, kGenErdosRenyiDoc},
    {"gen_barabasi_albert", F(gen_barabasi_albert), kFlags, kGenBarabasiAlbertDoc},
    {"gen_watts_strogatz", F(gen_watts_strogatz), kFlags, kGenWattsStrogatzDoc},
    {"sample_maze", F(sample_maze), kFlags, kSampleMazeDoc},
    {"random_maze_ascii", F(random_maze_ascii), kFlags, kRandomMazeAsciiDoc},
    {"bellman_ford", F(bellman_ford), kFlags, kBellmanFordDoc},
    {"floyd_warshall", F(floyd_warshall), kFlags, kFloydWarshallDoc},
    {"search_npuzzle", F(search_npuzzle), kFlags, kSearchNpuzzleDoc},
    {"search_hanoi", F(search_hanoi), kFlags, kSearchHanoiDoc},
    {"search_wordladder", F(search_wordladder), kFlags, kSearchWordladderDoc},
};

// ---------------------------------------------------------------------------
// Registration

// Appends `name` to the module's `__all__` (made on first use) and sets the
// attribute.
void add(PyObject* module, const char* name, PyObject* value) {
    PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw PyErrAlreadySet{};
        PyErr_Clear();
        all = checked(PyList_New(0));
        checked(PyObject_SetAttrString(module, "__all__", all.get()));
    } else if (!PyList_Check(all.get())) {
        throw type_error("'" + type_qualname(all.get()) +
                         "' object cannot be converted to 'PyList'");
    }
    PyRef text = checked(PyUnicode_FromString(name));
    if (PyList_Append(all.get(), text.get()) != 0) {
        print_pending_error();
        throw Panic("could not append __name__ to __all__");
    }
    checked(PyObject_SetAttrString(module, name, value));
}

void add_function(PyObject* module, PyMethodDef* def) {
    PyRef module_name = checked(PyModule_GetNameObject(module));
    PyRef function = checked(PyCFunction_NewEx(def, module, module_name.get()));
    add(module, def->ml_name, function.get());
}

void add_class(PyObject* module, ClassId id) {
    PyTypeObject* type = try_class_type(id);
    if (type == nullptr) throw PyErrAlreadySet{};
    add(module, g_classes[static_cast<int>(id)].name, reinterpret_cast<PyObject*>(type));
}

void register_module_items(PyObject* module) {
    for (PyMethodDef& def : g_functions) add_function(module, &def);
    add_class(module, ClassId::search_result);
    add_class(module, ClassId::shortest_paths);
    add_class(module, ClassId::all_pairs);
}

PyObject* init_module() {
    return guarded([]() -> PyRef {
        if (g_module != nullptr) {
            throw PyError(PyExc_ImportError,
                          "PyO3 modules compiled for CPython 3.8 or older may only be "
                          "initialized once per interpreter process");
        }
        PyRef module = checked(PyModule_Create2(&g_module_def, PYTHON_ABI_VERSION));
        register_module_items(module.get());
        g_module = PyRef::borrow(module.get()).release();
        return module;
    });
}

}  // namespace

// ---------------------------------------------------------------------------
// Classes

PyTypeObject* try_class_type(ClassId id) noexcept {
    ClassEntry& entry = g_classes[static_cast<int>(id)];
    if (entry.type == nullptr) entry.type = PyType_FromSpec(entry.spec());
    return reinterpret_cast<PyTypeObject*>(entry.type);
}

PyTypeObject* class_type(ClassId id) {
    PyTypeObject* type = try_class_type(id);
    if (type == nullptr) {
        print_pending_error();
        throw Panic(std::string("failed to create type object for ") +
                    g_classes[static_cast<int>(id)].name);
    }
    return type;
}

PyObject* refuse_new(PyTypeObject* type, PyObject*, PyObject*) noexcept {
    return guarded([&]() -> PyObject* {
        PyRef name = checked(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
        throw type_error("No constructor defined for " + str_or(name.get(), ""));
    });
}

namespace detail {

void instance_allocation_failed() {
    std::string message = "called `Result::unwrap()` on an `Err` value: ";
    if (PyErr_Occurred() != nullptr) {
        PyRef exc = fetch_error();
        PyRef type = PyRef::borrow(reinterpret_cast<PyObject*>(Py_TYPE(exc.get())));
        PyRef type_repr = PyRef::steal(PyObject_Repr(type.get()));
        PyRef value_repr = PyRef::steal(PyObject_Repr(exc.get()));
        message += "PyErr { type: " + (type_repr ? str_or(type_repr.get(), "?") : "?") +
                   ", value: " + (value_repr ? str_or(value_repr.get(), "?") : "?") +
                   ", traceback: None }";
        PyErr_Clear();
    }
    throw Panic(message);
}

void wrong_receiver(PyObject* self, ClassId id) {
    throw type_error("'" + type_qualname(self) + "' object cannot be converted to '" +
                     g_classes[static_cast<int>(id)].name + "'");
}

}  // namespace detail

}  // namespace quorvane::py

// Exported explicitly: the module is built with hidden visibility, and before 3.9
// PyMODINIT_FUNC carries no visibility attribute of its own.
extern "C" __attribute__((visibility("default"))) PyObject* PyInit_quorvane_native(void) {
    return quorvane::py::init_module();
}
