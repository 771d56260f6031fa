// The reached table: which table meets which contract and offers which hook,
// records, closes, lookups and parents, its answers for nodes it never saw,
// and growth.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graph/csr.hpp"
#include "graph/grid.hpp"
#include "panic_message.hpp"
#include "puzzles/packed_npuzzle.hpp"
#include "reached_by_node.hpp"
#include "state/reached_table.hpp"

namespace quorvane {
namespace {

// Every table a search takes meets the contract of the loop that takes it,
// and offers the hooks reached_table.hpp lists for it.
using detail::ByteMoveEntry;
using detail::CostEntry;
using detail::MoveEntry;
using detail::StepEntry;
using GeneralHashed = HashedReachedTable<std::string>;
using WordHashed = HashedReachedTable<PackedBoard>;
using WordMoves = WordReachedTable<PackedBoard, MoveEntry<uint64_t>, PackedNPuzzle>;
using GridSlots = DenseReachedTable<Grid, ByteMoveEntry<uint32_t>>;
using GridMoves = DenseReachedTable<Grid, MoveEntry<uint32_t>>;
using GridSteps = DenseReachedTable<Grid, StepEntry<uint32_t>>;
using GridCosts = DenseReachedTable<Grid, CostEntry<uint32_t>>;
using GraphCosts = DenseReachedTable<Csr>;

static_assert(ReachedTable<GeneralHashed> && ReachedTable<WordHashed> && ReachedTable<WordMoves>);
static_assert(ReachedTable<GridMoves> && ReachedTable<GridSteps> && ReachedTable<GridCosts> &&
              ReachedTable<GraphCosts>);
// The table of 1-byte entries keeps no g: only the loop on slots takes it.
static_assert(SlotReachedTable<GridSlots> && !ReachedTable<GridSlots>);
static_assert(!SlotReachedTable<GridCosts> && !SlotReachedTable<WordHashed>);

static_assert(HoldsNodes<GeneralHashed> && !HoldsNodes<WordHashed> && !HoldsNodes<WordMoves> &&
              !HoldsNodes<GridCosts>);
static_assert(!PrefetchesKeys<GeneralHashed> && PrefetchesKeys<WordHashed> &&
              PrefetchesKeys<WordMoves> && PrefetchesKeys<GridCosts> && PrefetchesKeys<GraphCosts>);
static_assert(PrefetchesNodes<GeneralHashed> && PrefetchesNodes<WordHashed> &&
              PrefetchesNodes<WordMoves> && PrefetchesNodes<GridCosts>);
static_assert(HintsCapacity<GridCosts> && HintsCapacity<GraphCosts> &&
              !HintsCapacity<GeneralHashed> && !HintsCapacity<WordMoves>);

TEST(ReachedTable, CloseRecordLookupAndParents) {
    HashedReachedTable<uint64_t> table;
    EXPECT_EQ(lookup(table, 7).state, Reached::absent);
    EXPECT_FALSE(parent_of(table, 7).has_value());
    EXPECT_EQ(rebuild_path(table, 7), (std::vector<uint64_t>{7}));
    record(table, 1, 0.0);
    record(table, 2, 5.0, 1);
    EXPECT_EQ(close(table, 2), 5.0);
    EXPECT_FALSE(close(table, 2).has_value());
    EXPECT_EQ(lookup(table, 2).state, Reached::closed);
    // A new record reopens whatever the old g was; the table compares nothing.
    record(table, 2, 9.0, 1);
    EXPECT_EQ(lookup(table, 2).state, Reached::open);
    EXPECT_EQ(close(table, 2), 9.0);
    EXPECT_EQ(parent_of(table, 2), 1u);
    EXPECT_FALSE(parent_of(table, 1).has_value());
    EXPECT_EQ(rebuild_path(table, 2), (std::vector<uint64_t>{1, 2}));
    EXPECT_EQ(rebuild_path(table, 1), (std::vector<uint64_t>{1}));
    EXPECT_EQ(panic_message([&] { close(table, 42); }),
              "a node on the frontier has always been reached first");
}

TEST(ReachedTable, ParentCycleStopsAtTheFirstRepeatedNode) {
    HashedReachedTable<uint64_t> table;
    record(table, 1, 0.0);
    record(table, 2, 1.0, 1);
    record(table, 3, 2.0, 2);
    record(table, 2, -5.0, 3);  // 2 <- 3 <- 2: a loop
    EXPECT_EQ(rebuild_path(table, 3), (std::vector<uint64_t>{2, 3}));
}

TEST(ReachedTable, GrowsPastItsInitialRoomWithoutLosingEntries) {
    HashedReachedTable<uint64_t> table;
    for (uint64_t i = 0; i < 5000; ++i) record(table, i * 7919, static_cast<double>(i));
    EXPECT_EQ(table.size(), 5000u);
    for (uint64_t i = 0; i < 5000; ++i)
        EXPECT_EQ(lookup(table, i * 7919).g, static_cast<double>(i));
}

TEST(ReachedTable, UnknownNodesAndOverwrites) {
    HashedReachedTable<std::string> table;
    EXPECT_EQ(lookup(table, "x").state, Reached::absent);
    EXPECT_FALSE(parent_of(table, "x").has_value());
    EXPECT_EQ(rebuild_path(table, "x"), std::vector<std::string>{"x"});

    record(table, "s", 0.0);
    record(table, "a", 5.0, std::string("s"));
    // The parent copy interned for "s" must not make "s" look reached twice,
    // nor make an unrecorded parent look reached.
    record(table, "b", 1.0, std::string("p"));
    EXPECT_EQ(lookup(table, "p").state, Reached::absent);
    EXPECT_FALSE(parent_of(table, "p").has_value());
    EXPECT_EQ(parent_of(table, "b"), std::optional<std::string>("p"));

    EXPECT_EQ(close(table, "a"), std::optional<double>(5.0));
    EXPECT_FALSE(close(table, "a").has_value());
    // A dearer record still overwrites: the table never compares costs.
    record(table, "a", 9.0, std::string("b"));
    EXPECT_EQ(lookup(table, "a").state, Reached::open);
    EXPECT_EQ(lookup(table, "a").g, 9.0);
    EXPECT_EQ(close(table, "a"), std::optional<double>(9.0));
    EXPECT_EQ(rebuild_path(table, "s"), std::vector<std::string>{"s"});
}

// A parent handed to record() without an entry of its own ends the chain
// (its zeroed entry must not be read as a parent of id 0, the start).
TEST(ReachedTable, RebuildStopsAtAParentThatWasNeverRecorded) {
    HashedReachedTable<std::string> table;
    record(table, "s", 0.0);
    record(table, "b", 1.0, std::string("p"));
    record(table, "a", 2.0, std::string("b"));
    EXPECT_EQ(rebuild_path(table, "a"), (std::vector<std::string>{"p", "b", "a"}));
}

}  // namespace
}  // namespace quorvane
