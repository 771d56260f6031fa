// Grid building (ASCII maps, cost matrices, size limits), successor lists
// and the grid heuristics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "graph/grid.hpp"
#include "panic_message.hpp"

namespace quorvane {
namespace {

std::vector<Cell> cells_of(const SuccessorList<Cell>& list) {
    std::vector<Cell> cells;
    for (const auto& s : list) cells.push_back(s.node);
    return cells;
}

TEST(GridAscii, OneLineMap) {
    const AsciiGrid a = Grid::from_ascii("S.G");
    EXPECT_EQ(a.grid.width(), 3);
    EXPECT_EQ(a.grid.height(), 1);
    EXPECT_EQ(a.start, (Cell{0, 0}));
    EXPECT_EQ(a.goal, (Cell{0, 2}));
    for (int c = 0; c < 3; ++c) {
        EXPECT_TRUE(a.grid.is_open({0, c}));
        EXPECT_EQ(a.grid.cost({0, c}), 1.0);
    }
    EXPECT_FALSE(a.grid.diagonal());
}

TEST(GridAscii, EdgeBlankLinesDroppedInnerBlankLineKept) {
    const AsciiGrid a = Grid::from_ascii("\n\nS#\n\n..G\n\n\n");
    EXPECT_EQ(a.grid.width(), 3);
    EXPECT_EQ(a.grid.height(), 3);
    EXPECT_EQ(a.start, (Cell{0, 0}));
    EXPECT_EQ(a.goal, (Cell{2, 2}));
    EXPECT_TRUE(a.grid.is_wall({0, 1}));
    EXPECT_TRUE(a.grid.is_open({0, 2}));  // past the end of a short line
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(a.grid.is_open({1, c}));
}

TEST(GridAscii, CarriageReturnDroppedOnlyBeforeLineFeed) {
    const AsciiGrid crlf = Grid::from_ascii("S1\r\n9G");
    EXPECT_EQ(crlf.grid.width(), 2);
    EXPECT_EQ(crlf.grid.cost({0, 1}), 1.0);
    EXPECT_EQ(crlf.grid.cost({1, 0}), 9.0);

    const AsciiGrid stray = Grid::from_ascii("SG\r");
    EXPECT_EQ(stray.grid.width(), 3);
    EXPECT_TRUE(stray.grid.is_open({0, 2}));
    EXPECT_EQ(stray.grid.cost({0, 2}), 1.0);
}

TEST(GridAscii, DigitsWallsAndOtherCharacters) {
    const AsciiGrid a = Grid::from_ascii("S0 5\t#9G");
    EXPECT_EQ(a.grid.cost({0, 1}), 1.0);  // '0' is cost 1, not 0
    EXPECT_EQ(a.grid.cost({0, 2}), 1.0);
    EXPECT_EQ(a.grid.cost({0, 3}), 5.0);
    EXPECT_EQ(a.grid.cost({0, 4}), 1.0);
    EXPECT_TRUE(a.grid.is_wall({0, 5}));
    EXPECT_EQ(a.grid.cost({0, 6}), 9.0);
}

TEST(GridAscii, LastStartAndGoalInReadingOrderCount) {
    const AsciiGrid a = Grid::from_ascii("SG\n.S\nG.");
    EXPECT_EQ(a.start, (Cell{1, 1}));
    EXPECT_EQ(a.goal, (Cell{2, 0}));
    EXPECT_TRUE(a.grid.is_open({0, 0}));
    EXPECT_EQ(a.grid.cost({0, 0}), 1.0);
}

TEST(GridAscii, MultiByteCharacterIsOneColumn) {
    const AsciiGrid a = Grid::from_ascii("S\xc3\xa9G\n\xe2\x82\xac#");
    EXPECT_EQ(a.grid.width(), 3);
    EXPECT_EQ(a.goal, (Cell{0, 2}));
    EXPECT_TRUE(a.grid.is_wall({1, 1}));
}

TEST(GridAscii, PanicsInOrderEmptyThenStartThenGoal) {
    EXPECT_EQ(panic_message([] { Grid::from_ascii(""); }), "grid must be non-empty");
    EXPECT_EQ(panic_message([] { Grid::from_ascii("\n\r\n"); }), "grid must be non-empty");
    EXPECT_EQ(panic_message([] { Grid::from_ascii("\n\r"); }),
              "ASCII map must contain a start cell 'S'");  // a last "\r" is a one-cell line
    EXPECT_EQ(panic_message([] { Grid::from_ascii("\n\n"); }), "grid must be non-empty");
    EXPECT_EQ(panic_message([] { Grid::from_ascii("G.."); }),
              "ASCII map must contain a start cell 'S'");
    EXPECT_EQ(panic_message([] { Grid::from_ascii("S.."); }),
              "ASCII map must contain a goal cell 'G'");
}

TEST(GridCosts, CellsKeepCostOneUntilSetAndEverySetCostSticks) {
    // The first cost other than 1.0 builds the cost array; cells set
    // before and after it, and cells never set, all read back.
    Grid grid(3, 3);
    grid.set_cost({0, 0}, 1.0);
    grid.set_cost({1, 1}, 3.0);
    grid.set_cost({2, 2}, 0.5);
    grid.set_cost({1, 1}, 1.0);
    grid.set_cost({0, 1}, 4.0);
    EXPECT_EQ(grid.cost({0, 0}), 1.0);
    EXPECT_EQ(grid.cost({1, 1}), 1.0);
    EXPECT_EQ(grid.cost({2, 2}), 0.5);
    EXPECT_EQ(grid.cost({0, 1}), 4.0);
    EXPECT_EQ(grid.cost({2, 0}), 1.0);
    const auto moves = grid.successors({0, 0});
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].node, (Cell{1, 0}));
    EXPECT_EQ(moves[0].cost, 1.0);
    EXPECT_EQ(moves[1].node, (Cell{0, 1}));
    EXPECT_EQ(moves[1].cost, 4.0);
}

TEST(GridCosts, ShortRowsAndNonPositiveOrNonFiniteValuesAreWalls) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Grid g = Grid::from_costs({{1.0, 2.0}, {3.0}});
    EXPECT_EQ(g.width(), 2);
    EXPECT_EQ(g.height(), 2);
    EXPECT_TRUE(g.is_wall({1, 1}));
    EXPECT_EQ(g.cost({0, 1}), 2.0);

    const double tiny = 4.9406564584124654e-324;
    const Grid h = Grid::from_costs({{0.0, -0.0, -1.0, inf, nan, -inf, tiny}});
    for (int c = 0; c < 6; ++c) EXPECT_TRUE(h.is_wall({0, c})) << c;
    EXPECT_TRUE(h.is_open({0, 6}));
    EXPECT_EQ(h.cost({0, 6}), tiny);
}

TEST(GridCosts, EmptyMatrixOrOnlyEmptyRowsPanic) {
    EXPECT_EQ(panic_message([] { Grid::from_costs({}); }), "cost grid must be non-empty");
    EXPECT_EQ(panic_message([] { Grid::from_costs({{}, {}}); }), "cost grid must be non-empty");
}

TEST(GridNew, SizeLimits) {
    EXPECT_EQ(panic_message([] { Grid(0, 5); }), "grid must be non-empty");
    EXPECT_EQ(panic_message([] { Grid(5, -1); }), "grid must be non-empty");
    EXPECT_EQ(panic_message([] { Grid(65536, 32768); }),
              "grid too large: 65536\u00d732768 = 2147483648 cells (max 2147483647)");
    EXPECT_EQ(panic_message([] { Grid(INT32_MAX, INT32_MAX); }),
              "grid too large: 2147483647\u00d72147483647 = 4611686014132420609 cells (max "
              "2147483647)");
}

TEST(GridSuccessors, OrthogonalOrderAndCornerCell) {
    Grid g(3, 3);
    g.set_cost({0, 1}, 4.0);
    const auto mid = g.successors({1, 1});
    EXPECT_EQ(cells_of(mid), (std::vector<Cell>{{0, 1}, {2, 1}, {1, 0}, {1, 2}}));
    EXPECT_EQ(mid[0].cost, 4.0);
    EXPECT_EQ(cells_of(g.successors({0, 0})), (std::vector<Cell>{{1, 0}, {0, 1}}));
}

TEST(GridSuccessors, DiagonalMovesNeverCutCorners) {
    Grid g(2, 2);
    g.set_diagonal(true);
    g.set_wall({0, 1}, true);
    EXPECT_EQ(cells_of(g.successors({0, 0})), (std::vector<Cell>{{1, 0}}));

    Grid open(3, 3);
    open.set_diagonal(true);
    open.set_cost({2, 2}, 2.0);
    const auto all = open.successors({1, 1});
    EXPECT_EQ(cells_of(all),
              (std::vector<Cell>{{0, 1}, {2, 1}, {1, 0}, {1, 2}, {0, 0}, {0, 2}, {2, 0}, {2, 2}}));
    EXPECT_EQ(all[7].cost, 2.8284271247461903);
    // A corner: only the inward diagonal, after the two orthogonal moves.
    EXPECT_EQ(cells_of(open.successors({0, 0})), (std::vector<Cell>{{1, 0}, {0, 1}, {1, 1}}));
}

TEST(GridSuccessors, WalledInCellHasNoMovesAndAppendKeepsEarlierEntries) {
    const AsciiGrid a = Grid::from_ascii(".#.\n#S#\n.#G");
    EXPECT_TRUE(a.grid.successors(a.start).empty());
    SuccessorList<Cell> out{{Cell{9, 9}, 1.0}};
    a.grid.successors_into({0, 0}, out);
    ASSERT_EQ(out.size(), 1u);
    a.grid.successors_into({0, 2}, out);
    EXPECT_EQ(cells_of(out), (std::vector<Cell>{{9, 9}}));  // (0,2) is walled in too
    Grid g(2, 1);
    g.successors_into({0, 0}, out);
    EXPECT_EQ(cells_of(out), (std::vector<Cell>{{9, 9}, {0, 1}}));
}

TEST(GridDenseSlots, RowDividerIsExactBelowTwoToThe31) {
    // Checked against plain division around every multiple boundary that
    // matters, up to the last possible slot.
    for (const uint32_t d :
         {1u, 2u, 3u, 7u, 64u, 1000u, 65535u, 65536u, 1u << 20, 46341u, 2147483647u}) {
        const detail::RowDivider div(d);
        const uint32_t top = 2147483646u;
        for (const uint32_t base : {0u, d, top / d * d, top / 2, top, d - 1, 2 * d}) {
            for (int64_t n = static_cast<int64_t>(base) - 2; n <= static_cast<int64_t>(base) + 2;
                 ++n) {
                if (n < 0 || n > top) continue;
                const auto v = static_cast<uint32_t>(n);
                ASSERT_EQ(div.divide(v), v / d) << d << " " << v;
            }
        }
    }
}

TEST(GridDenseSlots, SlotAndNodeAreInverse) {
    const Grid g(37, 11);
    for (uint32_t slot = 0; slot < 37 * 11; ++slot) {
        const Cell c = g.dense_node(slot);
        ASSERT_EQ(c, (Cell{static_cast<int32_t>(slot / 37), static_cast<int32_t>(slot % 37)}));
        ASSERT_EQ(g.dense_slot(c), slot);
    }
}

TEST(GridHeuristics, ValuesFromTheCellsAlone) {
    const Cell start{0, 0};
    const Cell goal{3, 4};
    EXPECT_EQ(GridManhattan{}(start, goal), 7.0);
    EXPECT_EQ(GridEuclidean{}(start, goal), 5.0);
    EXPECT_EQ(GridOctile{}(start, goal), 5.242640687119286);
    EXPECT_EQ(ZeroHeuristic{}(start, goal), 0.0);
    EXPECT_EQ(GridOctile{}(Cell{2, 5}, Cell{3, 2}), 3.414213562373095);
}

}  // namespace
}  // namespace quorvane
