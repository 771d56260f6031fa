// The reached table: records, closes, lookups and parents, its answers for
// nodes it never saw, and growth.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "panic_message.hpp"
#include "state/reached_table.hpp"

namespace quorvane {
namespace {

TEST(ReachedTable, CloseRecordLookupAndParents) {
    HashedReachedTable<uint64_t> table;
    EXPECT_EQ(table.lookup(7).state, Reached::absent);
    EXPECT_FALSE(table.parent_of(7).has_value());
    EXPECT_EQ(table.rebuild_path(7), (std::vector<uint64_t>{7}));
    table.record(1, 0.0);
    table.record(2, 5.0, 1);
    EXPECT_EQ(table.close(2), 5.0);
    EXPECT_FALSE(table.close(2).has_value());
    EXPECT_EQ(table.lookup(2).state, Reached::closed);
    // A new record reopens whatever the old g was; the table compares nothing.
    table.record(2, 9.0, 1);
    EXPECT_EQ(table.lookup(2).state, Reached::open);
    EXPECT_EQ(table.close(2), 9.0);
    EXPECT_EQ(table.parent_of(2), 1u);
    EXPECT_FALSE(table.parent_of(1).has_value());
    EXPECT_EQ(table.rebuild_path(2), (std::vector<uint64_t>{1, 2}));
    EXPECT_EQ(table.rebuild_path(1), (std::vector<uint64_t>{1}));
    EXPECT_EQ(panic_message([&] { table.close(42); }),
              "a node on the frontier has always been reached first");
}

TEST(ReachedTable, ParentCycleStopsAtTheFirstRepeatedNode) {
    HashedReachedTable<uint64_t> table;
    table.record(1, 0.0);
    table.record(2, 1.0, 1);
    table.record(3, 2.0, 2);
    table.record(2, -5.0, 3);  // 2 <- 3 <- 2: a loop
    EXPECT_EQ(table.rebuild_path(3), (std::vector<uint64_t>{2, 3}));
}

TEST(ReachedTable, GrowsPastItsInitialRoomWithoutLosingEntries) {
    HashedReachedTable<uint64_t> table;
    for (uint64_t i = 0; i < 5000; ++i) table.record(i * 7919, static_cast<double>(i));
    EXPECT_EQ(table.size(), 5000u);
    for (uint64_t i = 0; i < 5000; ++i) EXPECT_EQ(table.lookup(i * 7919).g, static_cast<double>(i));
}

TEST(ReachedTable, UnknownNodesAndOverwrites) {
    HashedReachedTable<std::string> table;
    EXPECT_EQ(table.lookup("x").state, Reached::absent);
    EXPECT_FALSE(table.parent_of("x").has_value());
    EXPECT_EQ(table.rebuild_path("x"), std::vector<std::string>{"x"});

    table.record("s", 0.0);
    table.record("a", 5.0, std::string("s"));
    // The parent copy interned for "s" must not make "s" look reached twice,
    // nor make an unrecorded parent look reached.
    table.record("b", 1.0, std::string("p"));
    EXPECT_EQ(table.lookup("p").state, Reached::absent);
    EXPECT_FALSE(table.parent_of("p").has_value());
    EXPECT_EQ(table.parent_of("b"), std::optional<std::string>("p"));

    EXPECT_EQ(table.close("a"), std::optional<double>(5.0));
    EXPECT_FALSE(table.close("a").has_value());
    // A dearer record still overwrites: the table never compares costs.
    table.record("a", 9.0, std::string("b"));
    EXPECT_EQ(table.lookup("a").state, Reached::open);
    EXPECT_EQ(table.lookup("a").g, 9.0);
    EXPECT_EQ(table.close("a"), std::optional<double>(9.0));
    EXPECT_EQ(table.rebuild_path("s"), std::vector<std::string>{"s"});
}

// A parent handed to record() without an entry of its own ends the chain
// (its zeroed entry must not be read as a parent of id 0, the start).
TEST(ReachedTable, RebuildStopsAtAParentThatWasNeverRecorded) {
    HashedReachedTable<std::string> table;
    table.record("s", 0.0);
    table.record("b", 1.0, std::string("p"));
    table.record("a", 2.0, std::string("b"));
    EXPECT_EQ(table.rebuild_path("a"), (std::vector<std::string>{"p", "b", "a"}));
}

}  // namespace
}  // namespace quorvane
