// Search state against literal models: the priority frontier's heap
// procedure with NaN priorities on every item layout, the reached table's
// answers for nodes it never saw, and the path helpers' edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "state/path_helpers.hpp"
#include "state/priority_frontier.hpp"
#include "state/reached_table.hpp"
#include "drivers/best_first.hpp"

namespace quorvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The frontier's heap, written out step by step from its definition.
class ModelHeap {
public:
    void push(uint64_t item, double f) {
        a_.push_back({f, seq_++, item});
        sift_up(a_.size() - 1);
    }

    std::optional<uint64_t> pop() {
        if (a_.empty()) return std::nullopt;
        const Entry last = a_.back();
        a_.pop_back();
        if (a_.empty()) return last.item;
        const Entry result = a_[0];
        const std::size_t end = a_.size();
        std::size_t hole = 0;
        std::size_t child = 1;
        while (end >= 2 && child <= end - 2) {
            if (before(a_[child + 1], a_[child])) child += 1;
            a_[hole] = a_[child];
            hole = child;
            child = 2 * hole + 1;
        }
        if (child == end - 1) {
            a_[hole] = a_[child];
            hole = child;
        }
        a_[hole] = last;
        sift_up(hole);
        return result.item;
    }

    std::size_t size() const { return a_.size(); }

private:
    struct Entry {
        double f;
        uint64_t seq;
        uint64_t item;
    };

    static bool before(const Entry& x, const Entry& y) {
        if (x.f < y.f) return true;
        if (x.f > y.f) return false;
        return x.seq < y.seq;
    }

    void sift_up(std::size_t pos) {
        const Entry moving = a_[pos];
        while (pos > 0) {
            const std::size_t parent = (pos - 1) / 2;
            if (!before(moving, a_[parent])) break;
            a_[pos] = a_[parent];
            pos = parent;
        }
        a_[pos] = moving;
    }

    std::vector<Entry> a_;
    uint64_t seq_ = 0;
};

template <class Item>
Item make_item(uint64_t i) {
    if constexpr (std::is_same_v<Item, std::string>) {
        std::string s = std::to_string(i);
        s.insert(s.begin(), 'n');
        return s;
    } else {
        return static_cast<Item>(i);
    }
}

// Random interleaved pushes and pops, about one priority in four NaN, the
// rest from a few values with ties, signed zeros and infinities.
template <class Frontier, class Item>
void expect_heap_procedure(uint64_t seed) {
    static const double kValues[] = {kNaN, kNaN, 0.0, -0.0, 1.0, 1.0, 2.5, -3.0, kInf, -kInf, 7.0};
    std::mt19937_64 rng(seed);
    Frontier frontier;
    ModelHeap model;
    for (uint64_t i = 0; i < 4000; ++i) {
        if (rng() % 5 < 3) {
            const double f = kValues[rng() % std::size(kValues)];
            frontier.push(make_item<Item>(i), f);
            model.push(i, f);
        } else {
            const std::optional<uint64_t> want = model.pop();
            const std::optional<Item> got = frontier.pop();
            ASSERT_EQ(got.has_value(), want.has_value()) << "operation " << i;
            if (want) {
                ASSERT_EQ(*got, make_item<Item>(*want)) << "operation " << i;
            }
        }
        ASSERT_EQ(frontier.size(), model.size());
    }
    while (const auto want = model.pop()) ASSERT_EQ(frontier.pop(), make_item<Item>(*want));
    EXPECT_FALSE(frontier.pop().has_value());
}

TEST(AuditPriorityFrontier, NaNPopSequenceIsTheHeapProcedureForEveryItemLayout) {
    for (uint64_t seed = 1; seed <= 8; ++seed) {
        expect_heap_procedure<PriorityFrontier<uint32_t>, uint32_t>(seed);      // packed
        expect_heap_procedure<PriorityFrontier<uint32_t, 16>, uint32_t>(seed);  // renumbered
        expect_heap_procedure<PriorityFrontier<uint64_t>, uint64_t>(seed);
        expect_heap_procedure<PriorityFrontier<uint64_t, 16>, uint64_t>(seed);
        expect_heap_procedure<PriorityFrontier<std::string>, std::string>(seed);
    }
}

TEST(AuditReachedTable, UnknownNodesAndOverwrites) {
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
TEST(AuditReachedTable, RebuildStopsAtAParentThatWasNeverRecorded) {
    HashedReachedTable<std::string> table;
    table.record("s", 0.0);
    table.record("b", 1.0, std::string("p"));
    table.record("a", 2.0, std::string("b"));
    EXPECT_EQ(table.rebuild_path("a"), (std::vector<std::string>{"p", "b", "a"}));
}

TEST(AuditReachedTable, CloseOfANeverRecordedNodePanics) {
    HashedReachedTable<uint64_t> table;
    table.record(1, 0.0);
    try {
        table.close(2);
        FAIL() << "no panic";
    } catch (const Panic& p) {
        EXPECT_STREQ(p.what(), "a node on the frontier has always been reached first");
    }
}

TEST(AuditPathHelpers, CheapestStepCostFollowsTheSmallerOfRule) {
    using N = std::vector<int64_t>;
    const N t{1, 2};
    const N u{7};
    const auto cheapest = [&](std::vector<std::pair<N, double>> entries, double start) {
        SuccessorList<N> list;
        for (auto& [n, c] : entries) list.push_back({n, c});
        return cheapest_step_cost(std::move(list), start, t);
    };
    EXPECT_EQ(cheapest({}, kInf), kInf);
    EXPECT_EQ(cheapest({{t, 3.0}, {u, 1.0}, {t, 2.0}}, kInf), 2.0);
    EXPECT_EQ(cheapest({{t, kNaN}, {t, 4.0}}, kInf), 4.0);
    EXPECT_EQ(cheapest({{t, 4.0}, {t, kNaN}}, kInf), 4.0);
    EXPECT_EQ(cheapest({{t, kNaN}}, 11.0), 11.0);
    EXPECT_EQ(cheapest({{t, 5.0}}, kNaN), 5.0);
    EXPECT_EQ(cheapest({{N{1, 2, 3}, 1.0}}, kInf), kInf);
    // Of two equal values the later wins: visible as the sign of a zero.
    EXPECT_TRUE(std::signbit(cheapest({{t, 0.0}, {t, -0.0}}, kInf)));
    EXPECT_FALSE(std::signbit(cheapest({{t, -0.0}, {t, 0.0}}, kInf)));
}

TEST(AuditPathHelpers, RebuildFromAnEmptyMapOrARootGoalIsTheGoalAlone) {
    ParentMap<std::string> parents;
    EXPECT_EQ(rebuild_path_from_parents(parents, std::string("g")), std::vector<std::string>{"g"});
    parents.insert("g", "a");
    parents.insert("a", "r");
    EXPECT_EQ(rebuild_path_from_parents(parents, std::string("r")), std::vector<std::string>{"r"});
    EXPECT_EQ(rebuild_path_from_parents(parents, std::string("g")),
              (std::vector<std::string>{"r", "a", "g"}));
}

}  // namespace
}  // namespace quorvane
