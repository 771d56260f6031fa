// The cheapest-step rule the drivers price a path with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "state/path_helpers.hpp"

namespace quorvane {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(PathHelpers, CheapestStepCostFollowsTheSmallerOfRule) {
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

}  // namespace
}  // namespace quorvane
