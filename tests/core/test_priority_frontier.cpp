// Frontier order: ties in push order, the exact heap procedure with NaN
// priorities (against a literal model of the heap on every item layout), the
// bucket frontier against the heap, and the plain queue and stack across
// ring-buffer growth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "state/bucket_frontier.hpp"
#include "state/priority_frontier.hpp"
#include "state/queue_frontiers.hpp"

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

// Random pushes and pops on both frontiers (about two pushes per pop), each
// priority drawn from the priority of the entry popped last; every pop and
// every size must agree, and so must the drain at the end.
template <class Frontier = BucketFrontier<uint32_t>, class Draw>
void expect_same_as_heap(uint64_t seed, Draw draw) {
    std::mt19937_64 rng(seed);
    Frontier buckets;
    PriorityFrontier<uint32_t> heap;
    std::vector<double> fs;
    double last = 0.0;
    for (uint32_t i = 0; i < 20000; ++i) {
        if (rng() % 3 != 0) {
            fs.push_back(draw(rng, last));
            buckets.push(static_cast<uint32_t>(fs.size() - 1), fs.back());
            heap.push(static_cast<uint32_t>(fs.size() - 1), fs.back());
        } else {
            // The hint, when given, names the entry popped next; the heap
            // and the radix heap always give it.
            const auto hint = buckets.peek_hint();
            const auto heap_hint = heap.peek_hint();
            const auto a = buckets.pop();
            if (hint || !std::is_same_v<Frontier, BucketFrontier<uint32_t>>) {
                ASSERT_EQ(hint, a) << "operation " << i;
            }
            ASSERT_EQ(heap_hint, a) << "operation " << i;
            ASSERT_EQ(a, heap.pop()) << "operation " << i;
            if (a) last = fs[*a];
        }
        ASSERT_EQ(buckets.size(), heap.size());
    }
    while (auto b = heap.pop()) ASSERT_EQ(buckets.pop(), b);
    EXPECT_FALSE(buckets.pop());
}

double unit_step(std::mt19937_64& rng, double last) {
    return last + static_cast<double>(rng() % 2);
}

TEST(BucketFrontier, PopsWhatTheHeapPops) {
    // Unit and digit steps stay in buckets; the rest switch to the heap at
    // some point (a fraction, an infinity, a span past the window) or widen
    // the window (large steps, negative priorities, -0).
    expect_same_as_heap(1, unit_step);
    expect_same_as_heap(
        2, [](auto& rng, double last) { return last + static_cast<double>(rng() % 10); });
    expect_same_as_heap(
        3, [](auto& rng, double) { return static_cast<double>(rng() % 5000) - 2500.0; });
    expect_same_as_heap(4, [](auto& rng, double) { return rng() % 2 ? 0.0 : -0.0; });
    expect_same_as_heap(5, [](auto& rng, double last) {
        return rng() % 5000 == 0 ? last + 0.5 : last + static_cast<double>(rng() % 3);
    });
    expect_same_as_heap(
        6, [](auto& rng, double last) { return rng() % 5000 == 0 ? kInf : last + 1.0; });
    expect_same_as_heap(7, [](auto& rng, double last) {
        return rng() % 5000 == 0 ? last + 70000.0 : last + static_cast<double>(rng() % 2);
    });
    expect_same_as_heap(
        8, [](auto& rng, double) { return std::ldexp(static_cast<double>(rng() % 8), 60); });
}

TEST(MonotoneFrontier, PopsWhatTheHeapPops) {
    // Dijkstra-like priorities (never below the last popped) stay in the
    // radix buckets, ties included; a drop below it switches to the heap.
    using Monotone = MonotoneFrontier<uint32_t>;
    auto uniform = [](auto& rng) { return static_cast<double>(rng() % 1000) / 64.0; };
    expect_same_as_heap<Monotone>(11, [&](auto& rng, double last) { return last + uniform(rng); });
    expect_same_as_heap<Monotone>(12, [&](auto& rng, double last) {
        return rng() % 4 == 0 ? last : last + uniform(rng) * 1e-3;
    });
    expect_same_as_heap<Monotone>(13, [&](auto& rng, double last) {
        return rng() % 5000 == 0 ? last - 1.0 : last + uniform(rng);
    });
    expect_same_as_heap<Monotone>(14, [&](auto& rng, double last) {
        return rng() % 3 == 0 ? -last - 1.0 : rng() % 2 ? -0.0 : kInf;
    });
    // Fractions move the bucket frontier onto the radix heap.
    expect_same_as_heap(15, [&](auto& rng, double last) { return last + uniform(rng); });
}

TEST(BucketFrontier, RefillsAfterRunningEmpty) {
    BucketFrontier<int> frontier;
    frontier.push(1, 100.0);
    EXPECT_EQ(frontier.pop(), 1);
    EXPECT_TRUE(frontier.empty());
    frontier.push(2, 7.0);
    frontier.push(3, 3.0);
    frontier.push(4, 7.0);
    EXPECT_EQ(frontier.pop(), 3);
    EXPECT_EQ(frontier.pop(), 2);
    EXPECT_EQ(frontier.pop(), 4);
    EXPECT_FALSE(frontier.pop());
}

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

TEST(PriorityFrontier, NaNPopSequenceIsTheHeapProcedureForEveryItemLayout) {
    for (uint64_t seed = 1; seed <= 8; ++seed) {
        // Packed; packed and renumbered; plain; plain and renumbered.
        expect_heap_procedure<PriorityFrontier<uint32_t>, uint32_t>(seed);
        expect_heap_procedure<PriorityFrontier<uint32_t, 16>, uint32_t>(seed);
        expect_heap_procedure<PriorityFrontier<uint64_t>, uint64_t>(seed);
        expect_heap_procedure<PriorityFrontier<uint64_t, 16>, uint64_t>(seed);
        expect_heap_procedure<PriorityFrontier<std::string>, std::string>(seed);
    }
}

}  // namespace
}  // namespace quorvane
