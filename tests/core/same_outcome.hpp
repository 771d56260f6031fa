// Field-by-field comparison of two search outcomes, for the tests that run
// one search on two domains (or two tables) that must agree: path, cost,
// every counter, the stop reason, the trace and the tree.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "state/outcome.hpp"

namespace quorvane {

// `as_want(node)` gives a node of `got` as a node of `want`'s type.
// A record kept folded is compared unfolded.
template <class Want, class Got, class AsWant>
void expect_same_outcome(SearchOutcome<Want> want, SearchOutcome<Got> got, AsWant as_want) {
    unfold_record(want);
    unfold_record(got);
    EXPECT_EQ(got.stop_reason, want.stop_reason);
    EXPECT_EQ(got.cost, want.cost);
    EXPECT_EQ(got.nodes_expanded, want.nodes_expanded);
    EXPECT_EQ(got.nodes_generated, want.nodes_generated);
    EXPECT_EQ(got.max_frontier_size, want.max_frontier_size);
    EXPECT_EQ(got.nodes_reopened, want.nodes_reopened);
    ASSERT_EQ(got.path.has_value(), want.path.has_value());
    if (want.path) {
        ASSERT_EQ(got.path->size(), want.path->size());
        for (std::size_t i = 0; i < want.path->size(); ++i)
            EXPECT_EQ(as_want((*got.path)[i]), (*want.path)[i]) << "path " << i;
    }
    ASSERT_EQ(got.trace.size(), want.trace.size());
    for (std::size_t i = 0; i < want.trace.size(); ++i) {
        EXPECT_EQ(as_want(got.trace[i].node), want.trace[i].node) << "trace " << i;
        EXPECT_EQ(got.trace[i].g, want.trace[i].g) << "trace " << i;
        EXPECT_EQ(got.trace[i].frontier_size, want.trace[i].frontier_size) << "trace " << i;
    }
    ASSERT_EQ(got.tree.size(), want.tree.size());
    for (std::size_t i = 0; i < want.tree.size(); ++i) {
        EXPECT_EQ(as_want(got.tree[i].parent), want.tree[i].parent) << "tree " << i;
        EXPECT_EQ(as_want(got.tree[i].child), want.tree[i].child) << "tree " << i;
    }
}

template <class Node>
void expect_same_outcome(const SearchOutcome<Node>& want, const SearchOutcome<Node>& got) {
    expect_same_outcome(want, got, [](const Node& n) -> const Node& { return n; });
}

}  // namespace quorvane
