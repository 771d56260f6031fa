// IntState, the implicit-graph node: value semantics on both sides of the
// inline boundary (4 values), and its Fx feed.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>

#include "state/fx_hash.hpp"
#include "state/int_state.hpp"

namespace quorvane {
namespace {

IntState counting(std::size_t n, int64_t first) {
    IntState s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = first + static_cast<int64_t>(i);
    return s;
}

TEST(IntState, CopiesMovesAndAssignmentsKeepValueAcrossTheInlineBoundary) {
    for (std::size_t n : {0, 1, 3, 4, 5, 6, 9}) {
        const IntState a = counting(n, std::numeric_limits<int64_t>::max() - 8);
        IntState copy = a;
        EXPECT_EQ(copy, a);
        IntState moved = std::move(copy);
        EXPECT_EQ(moved, a);
        EXPECT_TRUE(copy.empty());
        IntState assigned = counting(7, 1);
        assigned = a;
        EXPECT_EQ(assigned, a);
        assigned = counting(2, 1);
        EXPECT_EQ(assigned, counting(2, 1));
        assigned = std::move(moved);
        EXPECT_EQ(assigned, a);
        for (std::size_t i = 0; i < n; ++i) {
            IntState changed = a;
            changed[i] ^= 1;
            EXPECT_FALSE(changed == a) << n << " " << i;
        }
    }
}

TEST(IntState, ZeroPaddedPrefixesAreDistinct) {
    for (std::size_t n : {0, 2, 3, 4, 5}) {
        EXPECT_FALSE(IntState(n) == IntState(n + 1)) << n;
    }
}

TEST(IntState, FxFeedIsTheLengthThenEachValue) {
    EXPECT_EQ(FxHash<IntState>{}(IntState{1, -2, 3}), 0xd2ee7c38b78953d4ULL);
    const IntState five{-0x7fffffffffffffffLL - 1, 0x7fffffffffffffffLL, 0, 7, -1};
    EXPECT_EQ(FxHash<IntState>{}(five), 0x7e3809ce980c938cULL);
}

}  // namespace
}  // namespace quorvane
