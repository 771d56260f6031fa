// The set of nodes on the current depth-first path.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "state/on_path_set.hpp"

namespace quorvane {
namespace {

TEST(OnPathSet, MatchesAReferenceSetThroughPushesPopsAndGrowth) {
    std::vector<uint64_t> storage(1000);
    std::mt19937_64 rng(7);
    for (auto& v : storage) v = rng() % 300;  // repeats give equal values at distinct addresses
    OnPathSet<uint64_t> set;
    std::vector<uint64_t> stack;
    std::multiset<uint64_t> members;
    std::size_t next = 0;
    for (int step = 0; step < 20000; ++step) {
        const bool push = stack.empty() || (rng() % 3 != 0 && next < storage.size());
        if (push) {
            const uint64_t& v = storage[next++ % storage.size()];
            if (members.count(v) != 0) continue;
            set.push(v, OnPathSet<uint64_t>::hash(v));
            stack.push_back(v);
            members.insert(v);
        } else {
            set.pop();
            members.erase(members.find(stack.back()));
            stack.pop_back();
            if (stack.empty()) next = 0;
        }
        ASSERT_EQ(set.size(), stack.size());
        const uint64_t probe = rng() % 300;
        ASSERT_EQ(set.contains(probe, OnPathSet<uint64_t>::hash(probe)), members.count(probe) == 1);
    }
}

}  // namespace
}  // namespace quorvane
