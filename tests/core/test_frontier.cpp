// Frontier order: ties in push order, the exact heap procedure with NaN
// priorities, and the plain queue and stack across ring-buffer growth.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "state/priority_frontier.hpp"

namespace quorvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Pushes item i with priority fs[i]; returns the items in pop order.
std::vector<int> pop_order(const std::vector<double>& fs) {
    PriorityFrontier<int> frontier;
    for (std::size_t i = 0; i < fs.size(); ++i) frontier.push(static_cast<int>(i), fs[i]);
    std::vector<int> order;
    while (auto item = frontier.pop()) order.push_back(*item);
    return order;
}

TEST(PriorityFrontier, EqualPrioritiesLeaveInPushOrder) {
    EXPECT_EQ(pop_order({1, 1, 0.5, 1}), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_EQ(pop_order({0.0, -0.0, 0.0}), (std::vector<int>{0, 1, 2}));
}

TEST(PriorityFrontier, NaNPrioritiesFollowTheHeapProcedure) {
    EXPECT_EQ(pop_order({2, kNaN, 1}), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(pop_order({kNaN, 5, 1, kNaN, 0}), (std::vector<int>{0, 4, 2, 1, 3}));
}

TEST(PriorityFrontier, InfinitiesAreOrdinaryPriorities) {
    EXPECT_EQ(pop_order({kInf, 3, -kInf, 1e300, kInf}), (std::vector<int>{2, 1, 3, 0, 4}));
}

TEST(PriorityFrontier, PopOnOneEntryEmptiesItAndPopOnEmptyGivesNothing) {
    PriorityFrontier<int> frontier;
    EXPECT_FALSE(frontier.pop().has_value());
    frontier.push(7, 1.0);
    EXPECT_EQ(frontier.pop(), 7);
    EXPECT_EQ(frontier.size(), 0u);
    EXPECT_FALSE(frontier.pop().has_value());
}

TEST(PriorityFrontier, SameItemTwiceGivesTwoEntries) {
    PriorityFrontier<int> frontier;
    frontier.push(5, 3.0);
    frontier.push(5, 1.0);
    EXPECT_EQ(frontier.size(), 2u);
    EXPECT_EQ(frontier.pop(), 5);
    EXPECT_EQ(frontier.pop(), 5);
    EXPECT_FALSE(frontier.pop().has_value());
}

TEST(PriorityFrontier, ManyFinitePrioritiesLeaveSortedAndStable) {
    // Interleaved pushes and pops over a larger heap, against a stable sort.
    PriorityFrontier<int> frontier;
    std::vector<std::pair<double, int>> model;
    std::vector<int> got;
    std::vector<int> want;
    uint32_t x = 12345;
    for (int i = 0; i < 2000; ++i) {
        x = x * 1103515245u + 12345u;
        const double f = static_cast<double>((x >> 16) % 50);
        frontier.push(i, f);
        model.emplace_back(f, i);
        if (i % 3 == 2) {
            got.push_back(*frontier.pop());
            auto best = model.begin();
            for (auto it = model.begin(); it != model.end(); ++it)
                if (it->first < best->first) best = it;
            want.push_back(best->second);
            model.erase(best);
        }
    }
    EXPECT_EQ(got, want);
}

TEST(PriorityFrontier, PackedEntriesAndRenumberingKeepTheOrder) {
    // 4-byte items take the packed layout; a tiny push-number range forces
    // renumbering many times. Both must pop exactly as the plain layout,
    // NaN priorities included.
    PriorityFrontier<uint32_t, 8> packed;
    PriorityFrontier<uint64_t> plain;
    uint32_t x = 99;
    std::vector<uint64_t> got;
    std::vector<uint64_t> want;
    for (uint32_t i = 0; i < 3000; ++i) {
        x = x * 1103515245u + 12345u;
        const uint32_t r = (x >> 16) % 23;
        const double f = r == 0 ? kNaN : r == 1 ? -0.0 : static_cast<double>(r % 7);
        packed.push(i, f);
        plain.push(i, f);
        if (r % 3 == 0) {
            got.push_back(*packed.pop());
            want.push_back(*plain.pop());
        }
    }
    while (auto v = plain.pop()) {
        want.push_back(*v);
        got.push_back(*packed.pop());
    }
    EXPECT_EQ(got, want);
    EXPECT_TRUE(packed.empty());
}

TEST(FifoFrontier, KeepsOrderAcrossWrapAroundAndGrowth) {
    FifoFrontier<int> queue;
    std::vector<int> got;
    int next = 0;
    for (int round = 0; round < 40; ++round) {
        for (int k = 0; k < 3; ++k) queue.push(next++);
        got.push_back(*queue.pop());
    }
    while (auto v = queue.pop()) got.push_back(*v);
    ASSERT_EQ(got.size(), 120u);
    for (int i = 0; i < 120; ++i) EXPECT_EQ(got[i], i);
    EXPECT_FALSE(queue.pop().has_value());
}

TEST(LifoFrontier, LastPushedLeavesFirst) {
    LifoFrontier<int> stack;
    for (int i = 0; i < 4; ++i) stack.push(i);
    EXPECT_EQ(stack.pop(), 3);
    stack.push(9);
    EXPECT_EQ(stack.pop(), 9);
    EXPECT_EQ(stack.pop(), 2);
    EXPECT_EQ(stack.size(), 2u);
}

}  // namespace
}  // namespace quorvane
