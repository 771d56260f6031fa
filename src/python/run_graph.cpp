// search_graph: build the CSR graph of the caller's edge list, then search
// (run_search.hpp).
//
// Check order of a call: binding and conversion (the edge list: edge_list.hpp);
// start and goal below num_nodes; every edge in range; then the CSR graph is
// built (with the lock held); the heuristic's type; the heuristic name
// ("zero" only); the algorithm name and the depth limit of "dls". The search
// with "zero" runs with the interpreter lock released; a callable heuristic,
// h(node, goal) with ints, keeps it held.
#include <cstdint>
#include <utility>

#include "args.hpp"
#include "edge_list.hpp"
#include "functions.hpp"
#include "graph/csr.hpp"
#include "py.hpp"
#include "run_search.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// search_graph(num_nodes, edges, start, goal, algorithm="bfs", heuristic=None,
//              undirected=True, record=True, weight=2.0, beam_width=None,
//              depth_limit=None, max_nodes=None, reopen=False)

namespace {

struct GraphHeuristics {
    enum class Kind : uint8_t { zero };

    static constexpr HeuristicNames<Kind, 1> kNames{
        .default_name = "zero",
        .rows = {{{"zero", Kind::zero}}},
        .unknown_prefix = "unknown graph heuristic: '",
        .unknown_suffix = "'. Use 'zero' or a callable h(node, goal) -> float",
    };

    template <class F>
    static decltype(auto) with_kind(Kind, const Csr&, uint64_t, F&& f) {
        return f(ZeroHeuristic{});
    }
};

// Bidirectional search walks the goal side against the arcs: an undirected
// graph is its own reverse; a directed one gets its arcs reversed, so the
// backward side follows real in-arcs and every joined path is a real path.
struct GraphBidirectional {
    bool undirected;

    SearchOutcome<uint64_t> operator()(const Csr& graph, uint64_t start, uint64_t goal,
                                       bool record) const {
        if (undirected) return bidirectional_search(graph, start, goal, record);
        EdgeList reversed = graph.to_edges();
        for (Edge& e : reversed) std::swap(e.u, e.v);
        const Csr predecessors = Csr::from_edges(graph.num_nodes(), reversed, false);
        reversed = {};
        return bidirectional_search(graph, start, goal, record, predecessors);
    }
};

constexpr const char* kSearchGraphParams[] = {
    "num_nodes", "edges",  "start",      "goal",        "algorithm", "heuristic", "undirected",
    "record",    "weight", "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchGraph{"search_graph", kSearchGraphParams, 4};

struct SearchGraphArgs {
    uint64_t num_nodes = 0;
    EdgeListArg edges;
    uint64_t start = 0;
    uint64_t goal = 0;
    bool undirected = true;
    SearchTail tail;
};

SearchGraphArgs bind_search_graph(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchGraph, args, kwargs);
    SearchGraphArgs out;
    out.num_nodes = a.convert(0, to_count);
    out.edges = a.convert(1, to_edge_list);
    out.start = a.convert(2, to_count);
    out.goal = a.convert(3, to_count);
    const TailLayout layout{.algorithm_at = 4, .default_algorithm = "bfs", .own_option = true};
    out.tail = convert_search_tail(
        a, layout, [&](std::size_t i) { out.undirected = a.convert_or(i, to_flag, true); });
    return out;
}

PyRef run_search_graph(SearchGraphArgs a) {
    if (a.start >= a.num_nodes || a.goal >= a.num_nodes)
        throw value_error("start and goal must be < num_nodes");
    check_edges(a.num_nodes, a.edges);
    const Csr graph = Csr::from_edges(a.num_nodes, a.edges.edges, a.undirected);
    a.edges = {};  // the graph holds what the search needs
    return run_search<GraphHeuristics>(graph, a.start, a.goal, a.tail,
                                       GraphBidirectional{a.undirected});
}

}  // namespace

PyObject* search_graph(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_graph(bind_search_graph(args, kwargs)); });
}

}  // namespace quorvane::py
