#include "generators/maze.hpp"

#include <utility>

#include "generators/random_stream.hpp"

namespace quorvane {

RandomMaze random_maze(int32_t width, int32_t height, double obstacle_density, uint64_t seed) {
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    Grid grid(width, height);
    const Cell start{0, 0};
    const Cell goal{height - 1, width - 1};
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t col = 0; col < width; ++col) {
            const Cell cell{row, col};
            if (cell == start || cell == goal) continue;
            if (obstacle_density > rng.gen_f64()) grid.set_wall(cell, true);
        }
    }
    return RandomMaze{std::move(grid), start, goal};
}

}  // namespace quorvane
