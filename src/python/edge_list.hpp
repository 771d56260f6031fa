// The edge-list argument of `search_graph`, `bellman_ford` and
// `floyd_warshall`, and its range check.
#pragma once

#include <Python.h>

#include <cstdint>

#include "graph/csr.hpp"

namespace quorvane::py {

// A converted edge list and its largest endpoint (0 when empty), noted
// while converting so that the range check needs no pass of its own.
struct EdgeListArg {
    EdgeList edges;
    uint64_t largest = 0;
};

// A non-str sequence of (u, v, w) tuples (tuple subclasses too): u and v
// counts, w anything with a float conversion; order kept, weights
// unchecked. Errors are those of `sequence_of(to_edge_triple)` (args.hpp),
// raised for the first failing item. Plain lists and tuples of exact
// tuples, ints and floats take a fast path that calls no Python code.
EdgeListArg to_edge_list(PyObject* o);

// ValueError "edge ({u}, {v}) is out of range for a {n}-node graph" for the
// first edge with an endpoint >= num_nodes.
void check_edges(uint64_t num_nodes, const EdgeListArg& edges);

}  // namespace quorvane::py
