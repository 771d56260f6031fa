#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

#include "puzzles/forms.hpp"

namespace quorvane {
namespace {

TEST(PuzzleForms, BoardsUpToSixteenCellsArePacked) {
    EXPECT_EQ(board_form(1), BoardForm::packed);
    EXPECT_EQ(board_form(16), BoardForm::packed);
    EXPECT_EQ(board_form(17), BoardForm::bytes);
    EXPECT_EQ(board_form(25), BoardForm::bytes);
}

TEST(PuzzleForms, TowersOfAtMostTwoToThe54StatesAreNumbered) {
    struct Case {
        uint64_t disks, pegs;
        TowerForm form;
    };
    // 3^34 < 2^54 < 3^35; 4^27 = 2^54; 16^13 < 2^54 < 16^14; 17 pegs never.
    for (const Case& c : {Case{1, 3, TowerForm::numbered}, Case{34, 3, TowerForm::numbered},
                          Case{35, 3, TowerForm::bytes}, Case{27, 4, TowerForm::numbered},
                          Case{28, 4, TowerForm::bytes}, Case{13, 16, TowerForm::numbered},
                          Case{14, 16, TowerForm::bytes}, Case{1, 17, TowerForm::bytes}}) {
        EXPECT_EQ(tower_form(c.disks, c.pegs), c.form)
            << c.disks << " disks, " << c.pegs << " pegs";
    }
}

TEST(PuzzleForms, DispatchersHandOverTheFormTheChoiceNames) {
    for (uint64_t side = 1; side <= 5; ++side) {
        const NPuzzle puzzle(side);
        const BoardForm handed = with_npuzzle_form(
            puzzle, puzzle.default_goal(), puzzle.default_goal(),
            [](const auto& domain, auto, auto) {
                return std::is_same_v<std::decay_t<decltype(domain)>, PackedNPuzzle>
                           ? BoardForm::packed
                           : BoardForm::bytes;
            });
        EXPECT_EQ(handed, board_form(side * side)) << "side " << side;
    }
    for (const uint64_t disks : {34, 35}) {
        const Hanoi hanoi(disks, 3);
        const TowerForm handed = with_hanoi_form(hanoi, [](const auto& domain, auto, auto) {
            return std::is_same_v<std::decay_t<decltype(domain)>, NumberedHanoi>
                       ? TowerForm::numbered
                       : TowerForm::bytes;
        });
        EXPECT_EQ(handed, tower_form(disks, 3)) << disks << " disks";
    }
}

}  // namespace
}  // namespace quorvane
