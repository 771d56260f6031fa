// bellman_ford and floyd_warshall, and the two classes that hold their
// records: ShortestPaths and AllPairs.
//
// A call converts its arguments, checks the source (Bellman-Ford) and the
// edges with the lock held, then builds the graph and runs the algorithm
// with the lock released, and moves the record into a new object. The
// objects never change afterwards: every attribute and method only reads,
// and each list they return is built anew.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "args.hpp"
#include "edge_list.hpp"
#include "functions.hpp"
#include "graph/csr.hpp"
#include "native_class.hpp"
#include "py.hpp"
#include "search_result.hpp"
#include "shortest_paths/bellman_ford.hpp"
#include "shortest_paths/floyd_warshall.hpp"

namespace quorvane::py {

namespace {

// ---------------------------------------------------------------------------
// Helpers

const char* lower_bool(bool b) { return b ? "true" : "false"; }

// A list of `to_py(value)` for each value, in order.
template <class T, class ToPy>
PyRef list_of(std::span<const T> values, ToPy&& to_py) {
    PyRef list = made_or_panic(PyList_New(static_cast<Py_ssize_t>(values.size())));
    for (std::size_t i = 0; i < values.size(); ++i)
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), to_py(values[i]).release());
    return list;
}

PyRef floats_to_list(std::span<const double> values) { return list_of(values, float_to_py); }

// A node, or None for kNoNode.
PyRef node_or_none(uint64_t node) {
    return node == kNoNode ? PyRef::borrow(Py_None) : uint_to_py(node);
}

PyRef nodes_or_none(std::span<const uint64_t> nodes) { return list_of(nodes, node_or_none); }

PyRef path_to_py(const std::optional<std::vector<uint64_t>>& path) {
    if (!path) return PyRef::borrow(Py_None);
    return list_of(std::span<const uint64_t>(*path), uint_to_py);
}

// ---------------------------------------------------------------------------
// ShortestPaths

const ShortestPaths& shortest_paths_of(PyObject* self) {
    return receiver<ShortestPaths>(self, ClassId::shortest_paths);
}

constexpr const char* kPathToParams[] = {"target"};
constexpr Signature kPathTo{"ShortestPaths.path_to", kPathToParams, 1};

PyObject* sp_path_to(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const ShortestPaths& r = shortest_paths_of(self);
        const auto [target] = bind_each(kPathTo, args, kwargs, to_count);
        return path_to_py(r.rebuild_path(target));
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
    attribute("source", field_getter<&ShortestPaths::source, uint_to_py>),
    attribute("dist", field_getter<&ShortestPaths::dist, floats_to_list>),
    attribute("pred", field_getter<&ShortestPaths::pred, nodes_or_none>),
    attribute("negative_cycle", field_getter<&ShortestPaths::negative_cycle, bool_to_py>),
    {},
};

PyMethodDef kShortestPathsMethods[] = {
    {"path_to", as_cfunction(sp_path_to), METH_VARARGS | METH_KEYWORDS, kPathToDoc},
    {},
};

ClassSpec<ShortestPaths> kShortestPathsClass{"builtins.ShortestPaths", kShortestPathsDoc, sp_repr,
                                             kShortestPathsGetters, kShortestPathsMethods};

// ---------------------------------------------------------------------------
// AllPairs

const AllPairs& all_pairs_of(PyObject* self) {
    return receiver<AllPairs>(self, ClassId::all_pairs);
}

constexpr const char* kFromTo[] = {"from_", "to"};
constexpr Signature kDistance{"AllPairs.distance", kFromTo, 2};
constexpr Signature kPath{"AllPairs.path", kFromTo, 2};

PyObject* ap_distance(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        const auto [from, to] = bind_each(kDistance, args, kwargs, to_count, to_count);
        return float_to_py(r.dist_at(from, to));
    });
}

PyObject* ap_matrix(PyObject* self, PyObject*) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        const std::size_t n = r.num_nodes;
        // Rows straight from the flat table: the same values as
        // `AllPairs::rows`, without the intermediate copy.
        PyRef rows = made_or_panic(PyList_New(static_cast<Py_ssize_t>(n)));
        for (std::size_t i = 0; i < n; ++i) {
            PyList_SetItem(rows.get(), static_cast<Py_ssize_t>(i),
                           floats_to_list({r.dist.data() + i * n, n}).release());
        }
        return rows;
    });
}

PyObject* ap_path(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const AllPairs& r = all_pairs_of(self);
        const auto [from, to] = bind_each(kPath, args, kwargs, to_count, to_count);
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
    attribute("num_nodes", field_getter<&AllPairs::num_nodes, uint_to_py>),
    attribute("negative_cycle", field_getter<&AllPairs::negative_cycle, bool_to_py>),
    {},
};

PyMethodDef kAllPairsMethods[] = {
    {"distance", as_cfunction(ap_distance), METH_VARARGS | METH_KEYWORDS, kDistanceDoc},
    {"matrix", ap_matrix, METH_NOARGS, kMatrixDoc},
    {"path", as_cfunction(ap_path), METH_VARARGS | METH_KEYWORDS, kPathDoc},
    {},
};

ClassSpec<AllPairs> kAllPairsClass{"builtins.AllPairs", kAllPairsDoc, ap_repr, kAllPairsGetters,
                                   kAllPairsMethods};

}  // namespace

// ---------------------------------------------------------------------------
// bellman_ford(num_nodes, edges, source, undirected=False)

namespace {

constexpr const char* kBellmanFordParams[] = {"num_nodes", "edges", "source", "undirected"};
constexpr Signature kBellmanFord{"bellman_ford", kBellmanFordParams, 3};

struct BellmanFordArgs {
    uint64_t num_nodes;
    EdgeListArg edges;
    uint64_t source;
    bool undirected;
};

BellmanFordArgs bind_bellman_ford(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kBellmanFord, args, kwargs);
    return {a.convert(0, to_count), a.convert(1, to_edge_list), a.convert(2, to_count),
            a.convert_or(3, to_flag, false)};
}

PyRef run_bellman_ford(BellmanFordArgs a) {
    if (a.source >= a.num_nodes) throw value_error("source must be < num_nodes");
    check_edges(a.num_nodes, a.edges);
    ShortestPaths record;
    {
        ReleasedGil released;
        const Csr graph = Csr::from_edges(a.num_nodes, a.edges.edges, a.undirected);
        a.edges = {};
        record = quorvane::bellman_ford(graph, a.source);
    }
    return new_instance(ClassId::shortest_paths, std::move(record));
}

}  // namespace

PyObject* bellman_ford(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_bellman_ford(bind_bellman_ford(args, kwargs)); });
}

// ---------------------------------------------------------------------------
// floyd_warshall(num_nodes, edges, undirected=False)

namespace {

constexpr const char* kFloydWarshallParams[] = {"num_nodes", "edges", "undirected"};
constexpr Signature kFloydWarshall{"floyd_warshall", kFloydWarshallParams, 2};

struct FloydWarshallArgs {
    uint64_t num_nodes;
    EdgeListArg edges;
    bool undirected;
};

FloydWarshallArgs bind_floyd_warshall(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kFloydWarshall, args, kwargs);
    return {a.convert(0, to_count), a.convert(1, to_edge_list), a.convert_or(2, to_flag, false)};
}

PyRef run_floyd_warshall(FloydWarshallArgs a) {
    check_edges(a.num_nodes, a.edges);
    AllPairs record;
    {
        ReleasedGil released;
        // A size whose tables cannot be built is refused before the graph is
        // built.
        check_all_pairs_size(a.num_nodes);
        const Csr graph = Csr::from_edges(a.num_nodes, a.edges.edges, a.undirected);
        a.edges = {};
        record = quorvane::floyd_warshall(graph);
    }
    return new_instance(ClassId::all_pairs, std::move(record));
}

}  // namespace

PyObject* floyd_warshall(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_floyd_warshall(bind_floyd_warshall(args, kwargs)); });
}

PyType_Spec* shortest_paths_spec() noexcept { return kShortestPathsClass.get(); }
PyType_Spec* all_pairs_spec() noexcept { return kAllPairsClass.get(); }

}  // namespace quorvane::py
