// The seeded random maze: a grid whose cells are walls at random.
//
// random_maze(width, height, obstacle_density, seed) builds the grid of
// `width` columns and `height` rows that Grid(width, height) makes (open,
// cost 1.0, diagonal off; its size checks and panics apply before any draw),
// then visits the cells in row-major order. The start (0, 0) and the goal
// (height - 1, width - 1) draw nothing and stay open; every other cell takes
// one gen_f64 x from a ChaCha8Rng seeded with `seed` and becomes a wall when
// obstacle_density > x (a NaN density never walls a cell). The result is a
// function of the four arguments. Nothing guarantees a path from start to
// goal. A 1 x 1 maze's one cell is both start and goal and draws nothing.
#pragma once

#include <cstdint>

#include "graph/grid.hpp"

namespace quorvane {

struct RandomMaze {
    Grid grid;
    Cell start;
    Cell goal;
};

RandomMaze random_maze(int32_t width, int32_t height, double obstacle_density, uint64_t seed);

}  // namespace quorvane
