// bellman_ford and floyd_warshall, and the two classes that hold their
// records: ShortestPaths and AllPairs.
//
// A call converts its arguments, checks the source (Bellman-Ford) and the
// edges with the lock held, then builds the graph and runs the algorithm
// with the lock released, and moves the record into a new object. The
// objects never change afterwards: every attribute and method only reads,
// and each list they return is built anew.
#include <string>
#include <utility>
#include <vector>

#include "args.hpp"
#include "functions.hpp"
#include "graph/csr.hpp"
#include "graph_args.hpp"
#include "native_class.hpp"
#include "py.hpp"
#include "search_result.hpp"
#include "shortest_paths/bellman_ford.hpp"
#include "shortest_paths/floyd_warshall.hpp"

namespace quorvane::py {

namespace {

// ---------------------------------------------------------------------------
// Helpers

PyRef bool_to_py(bool b) { return PyRef::borrow(b ? Py_True : Py_False); }

const char* lower_bool(bool b) { return b ? "true" : "false"; }

PyRef floats_to_list(const double* values, std::size_t n) {
    PyRef list = made(PyList_New(static_cast<Py_ssize_t>(n)));
    for (std::size_t i = 0; i < n; ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), float_to_py(values[i]).release());
    return list;
}

PyRef path_to_py(const std::optional<std::vector<uint64_t>>& path) {
    if (!path) return PyRef::borrow(Py_None);
    PyRef list = made(PyList_New(static_cast<Py_ssize_t>(path->size())));
    for (std::size_t i = 0; i < path->size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), uint_to_py((*path)[i]).release());
    return list;
}

using MethodBody = PyObject* (*)(PyObject*, PyObject*, PyObject*);

// ---------------------------------------------------------------------------
// ShortestPaths

const ShortestPaths& shortest_paths_of(PyObject* self) {
    return receiver<ShortestPaths>(self, ClassId::shortest_paths);
}

PyObject* sp_source(PyObject* self, void*) noexcept {
    return guarded([&] { return uint_to_py(shortest_paths_of(self).source); });
}

PyObject* sp_dist(PyObject* self, void*) noexcept {
    return guarded([&] {
        const ShortestPaths& r = shortest_paths_of(self);
        return floats_to_list(r.dist.data(), r.dist.size());
    });
}

PyObject* sp_pred(PyObject* self, void*) noexcept {
    return guarded([&] {
        const ShortestPaths& r = shortest_paths_of(self);
        PyRef list = made(PyList_New(static_cast<Py_ssize_t>(r.pred.size())));
        for (std::size_t i = 0; i < r.pred.size(); ++i) {
            PyRef item = r.pred[i] == kNoNode ? PyRef::borrow(Py_None) : uint_to_py(r.pred[i]);
            PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item.release());
        }
        return list;
    });
}

PyObject* sp_negative_cycle(PyObject* self, void*) noexcept {
    return guarded([&] { return bool_to_py(shortest_paths_of(self).negative_cycle); });
}

PyObject* sp_path_to(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const ShortestPaths& r = shortest_paths_of(self);
        static constexpr const char* kParams[] = {"target"};
        static constexpr Signature kSig{"ShortestPaths.path_to", kParams, 1};
        const BoundArgs a = bind(kSig, args, kwargs);
        return path_to_py(r.rebuild_path(a.convert(0, to_count)));
    });
}

PyObject* sp_repr(PyObject* self) noexcept {
    return guarded([&] {
        const ShortestPaths& r = shortest_paths_of(self);
        return str_to_py("ShortestPaths(source=" + std::to_string(r.source) +
                         ", nodes=" + std::to_string(r.dist.size()) +
                         ", negative_cycle=" + lower_bool(r.negative_cycle) + ")");
    });
}

constexpr const char kShortestPathsDoc[] =
    R"(Single-source shortest paths from [`bellman_ford_py`]. Thin wrapper over the
core `ShortestPaths`.

Attributes:
    source (int): the node distances are measured from.
    dist (list[float]): ``dist[v]`` is the cost of the cheapest
        ``source -> v`` path (``inf`` if unreachable).
    pred (list[int | None]): predecessor of each node on a shortest path
        (``None`` for the source and unreachable nodes).
    negative_cycle (bool): whether a negative-weight cycle is reachable from
        ``source`` (then the affected distances are not well defined).)";

constexpr const char kPathToDoc[] = R"(path_to($self, target)
--

Rebuild the ``source -> target`` shortest path (inclusive), or ``None``
if ``target`` is unreachable.)";

PyGetSetDef kShortestPathsGetters[] = {
    {"source", sp_source, nullptr, "", nullptr},
    {"dist", sp_dist, nullptr, "", nullptr},
    {"pred", sp_pred, nullptr, "", nullptr},
    {"negative_cycle", sp_negative_cycle, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kShortestPathsMethods[] = {
    {"path_to", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                    static_cast<MethodBody>(sp_path_to))),
     METH_VARARGS | METH_KEYWORDS, kPathToDoc},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kShortestPathsSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<ShortestPaths>)},
    {Py_tp_repr, reinterpret_cast<void*>(sp_repr)},
    {Py_tp_getset, kShortestPathsGetters},
    {Py_tp_methods, kShortestPathsMethods},
    {Py_tp_doc, const_cast<char*>(kShortestPathsDoc)},
    {0, nullptr},
};

PyType_Spec kShortestPathsSpec = {
    "builtins.ShortestPaths",
    static_cast<int>(sizeof(Instance<ShortestPaths>)),
    0,
    Py_TPFLAGS_DEFAULT,
    kShortestPathsSlots,
};

// ---------------------------------------------------------------------------
// AllPairs

const AllPairs& all_pairs_of(PyObject* self) {
    return receiver<AllPairs>(self, ClassId::all_pairs);
}

PyObject* ap_num_nodes(PyObject* self, void*) noexcept {
    return guarded([&] { return uint_to_py(all_pairs_of(self).num_nodes); });
}

PyObject* ap_negative_cycle(PyObject* self, void*) noexcept {
    return guarded([&] { return bool_to_py(all_pairs_of(self).negative_cycle); });
}

constexpr const char* kFromTo[] = {"from_", "to"};

PyObject* ap_distance(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        static constexpr Signature kSig{"AllPairs.distance", kFromTo, 2};
        const BoundArgs a = bind(kSig, args, kwargs);
        const uint64_t from = a.convert(0, to_count);
        const uint64_t to = a.convert(1, to_count);
        return float_to_py(r.dist_at(from, to));
    });
}

PyObject* ap_matrix(PyObject* self, PyObject*) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        const std::size_t n = r.num_nodes;
        // Rows straight from the flat table: the same values as
        // `AllPairs::rows`, without the intermediate copy.
        PyRef rows = made(PyList_New(static_cast<Py_ssize_t>(n)));
        for (std::size_t i = 0; i < n; ++i) {
            PyList_SetItem(rows.get(), static_cast<Py_ssize_t>(i),
                           floats_to_list(r.dist.data() + i * n, n).release());
        }
        return rows;
    });
}

PyObject* ap_path(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        static constexpr Signature kSig{"AllPairs.path", kFromTo, 2};
        const BoundArgs a = bind(kSig, args, kwargs);
        const uint64_t from = a.convert(0, to_count);
        const uint64_t to = a.convert(1, to_count);
        return path_to_py(r.rebuild_path(from, to));
    });
}

PyObject* ap_repr(PyObject* self) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        return str_to_py("AllPairs(num_nodes=" + std::to_string(r.num_nodes) +
                         ", negative_cycle=" + lower_bool(r.negative_cycle) + ")");
    });
}

constexpr const char kAllPairsDoc[] =
    R"(All-pairs shortest paths from [`floyd_warshall_py`]. Thin wrapper over the
core `AllPairs`.

Attributes:
    num_nodes (int): number of nodes ``n``.
    negative_cycle (bool): whether the graph has any negative-weight cycle.)";

constexpr const char kDistanceDoc[] = R"(distance($self, from_, to)
--

Cost of the cheapest ``from_ -> to`` path (``inf`` if none, ``0`` if
``from_ == to``).)";

constexpr const char kMatrixDoc[] = R"(matrix($self)
--

The full ``n x n`` distance matrix as a list of rows.)";

constexpr const char kPathDoc[] = R"(path($self, from_, to)
--

Rebuild the cheapest ``from_ -> to`` path (inclusive), or ``None`` if
there is none.)";

PyGetSetDef kAllPairsGetters[] = {
    {"num_nodes", ap_num_nodes, nullptr, "", nullptr},
    {"negative_cycle", ap_negative_cycle, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kAllPairsMethods[] = {
    {"distance", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                     static_cast<MethodBody>(ap_distance))),
     METH_VARARGS | METH_KEYWORDS, kDistanceDoc},
    {"matrix", ap_matrix, METH_NOARGS, kMatrixDoc},
    {"path", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(
                 static_cast<MethodBody>(ap_path))),
     METH_VARARGS | METH_KEYWORDS, kPathDoc},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot kAllPairsSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_instance<AllPairs>)},
    {Py_tp_repr, reinterpret_cast<void*>(ap_repr)},
    {Py_tp_getset, kAllPairsGetters},
    {Py_tp_methods, kAllPairsMethods},
    {Py_tp_doc, const_cast<char*>(kAllPairsDoc)},
    {0, nullptr},
};

PyType_Spec kAllPairsSpec = {
    "builtins.AllPairs",
    static_cast<int>(sizeof(Instance<AllPairs>)),
    0,
    Py_TPFLAGS_DEFAULT,
    kAllPairsSlots,
};

}  // namespace

// ---------------------------------------------------------------------------
// The two functions

PyObject* bellman_ford(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        static constexpr const char* kParams[] = {"num_nodes", "edges", "source", "undirected"};
        static constexpr Signature kSig{"bellman_ford", kParams, 3};
        const BoundArgs a = bind(kSig, args, kwargs);
        const uint64_t num_nodes = a.convert(0, to_count);
        EdgeListArg edges = a.convert(1, to_edge_list);
        const uint64_t source = a.convert(2, to_count);
        const bool undirected = a.convert_or(3, to_flag, false);
        if (source >= num_nodes) throw value_error("source must be < num_nodes");
        check_edges(num_nodes, edges);
        ShortestPaths record;
        {
            ReleasedGil released;
            const Csr graph = Csr::from_edges(num_nodes, edges.edges, undirected);
            edges = {};
            record = quorvane::bellman_ford(graph, source);
        }
        return new_instance(ClassId::shortest_paths, std::move(record));
    });
}

PyObject* floyd_warshall(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        static constexpr const char* kParams[] = {"num_nodes", "edges", "undirected"};
        static constexpr Signature kSig{"floyd_warshall", kParams, 2};
        const BoundArgs a = bind(kSig, args, kwargs);
        const uint64_t num_nodes = a.convert(0, to_count);
        EdgeListArg edges = a.convert(1, to_edge_list);
        const bool undirected = a.convert_or(2, to_flag, false);
        check_edges(num_nodes, edges);
        AllPairs record;
        {
            ReleasedGil released;
            // A size whose tables cannot be built is refused before the
            // graph is built.
            check_all_pairs_size(num_nodes);
            const Csr graph = Csr::from_edges(num_nodes, edges.edges, undirected);
            edges = {};
            record = quorvane::floyd_warshall(graph);
        }
        return new_instance(ClassId::all_pairs, std::move(record));
    });
}

PyType_Spec* shortest_paths_spec() noexcept { return &kShortestPathsSpec; }
PyType_Spec* all_pairs_spec() noexcept { return &kAllPairsSpec; }

}  // namespace quorvane::py
