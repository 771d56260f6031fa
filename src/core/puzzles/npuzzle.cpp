#include "puzzles/npuzzle.hpp"

#include <cstdlib>
#include <vector>

#include "panic.hpp"

namespace quorvane {

namespace {

std::size_t blank_position(const ByteState& state) noexcept {
    const std::size_t zero = state.find_zero();
    return zero < state.size() ? zero : 0;
}

uint64_t cell_distance(std::size_t a, std::size_t b, uint64_t side) noexcept {
    const auto ra = static_cast<int64_t>(a / side), ca = static_cast<int64_t>(a % side);
    const auto rb = static_cast<int64_t>(b / side), cb = static_cast<int64_t>(b % side);
    return static_cast<uint64_t>(std::llabs(ra - rb) + std::llabs(ca - cb));
}

void require_side(uint64_t side) {
    if (side == 0) throw Panic("the board side of an N-puzzle must be at least 1");
}

}  // namespace

NPuzzle::NPuzzle(uint64_t side) : side_(side) {
    if (side == 0 || side > 16) return;
    auto table = std::make_shared<MoveTable>();
    table->cells = static_cast<std::size_t>(side * side);
    const auto s = static_cast<int64_t>(side);
    for (int64_t b = 0; b < s * s; ++b) {
        const int64_t row = b / s, col = b % s;
        const int64_t targets[4][2] = {
            {row - 1, col}, {row + 1, col}, {row, col - 1}, {row, col + 1}};
        uint8_t count = 0;
        for (const auto& rc : targets) {
            if (rc[0] < 0 || rc[0] >= s || rc[1] < 0 || rc[1] >= s) continue;
            table->to[b][count++] = static_cast<uint8_t>(rc[0] * s + rc[1]);
        }
        table->count[b] = count;
    }
    moves_ = std::move(table);
}

void NPuzzle::successors_slow(const Node& state, SuccessorList<Node>& out) const {
    require_side(side_);
    const std::size_t n = state.size();
    const std::size_t b = blank_position(state);
    const auto side = static_cast<int64_t>(side_);
    const auto row = static_cast<int64_t>(b / side_);
    const auto col = static_cast<int64_t>(b % side_);
    const int64_t targets[4][2] = {{row - 1, col}, {row + 1, col}, {row, col - 1}, {row, col + 1}};
    for (const auto& rc : targets) {
        if (rc[0] < 0 || rc[0] >= side || rc[1] < 0 || rc[1] >= side) continue;
        const auto t = static_cast<std::size_t>(rc[0] * side + rc[1]);
        if (t >= n || b >= n) throw_out_of_range(n, t >= n ? t : b);
        out.emplace_back(state, 1.0);
        uint8_t* s = out.back().node.data();
        std::swap(s[b], s[t]);
    }
}

void NPuzzle::throw_out_of_range(std::size_t len, std::size_t index) {
    panic_index_out_of_bounds(len, index);
}

bool NPuzzle::is_solvable(const ByteState& tiles, const ByteState& goal) const {
    if (tiles.size() != goal.size()) return false;
    const std::size_t n = tiles.size();

    // Where each tile value stands in the goal.
    std::vector<uint64_t> goal_pos(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (goal[i] >= n) throw_out_of_range(n, goal[i]);
        goal_pos[goal[i]] = i;
    }
    // perm[i]: the goal cell of the tile now standing at i.
    std::vector<uint64_t> perm(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (tiles[i] >= n) throw_out_of_range(n, tiles[i]);
        perm[i] = goal_pos[tiles[i]];
    }

    // Transpositions: the sum over the cycles of (cycle length - 1).
    std::vector<uint8_t> visited(n, 0);
    uint64_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (visited[i]) continue;
        for (uint64_t j = i; !visited[j]; j = perm[j]) {
            visited[j] = 1;
            ++count;
        }
        --count;
    }

    require_side(side_);
    const uint64_t d = cell_distance(blank_position(tiles), blank_position(goal), side_);
    return (count + d) % 2 == 0;
}

ByteState NPuzzle::default_goal() const {
    const std::size_t n = static_cast<std::size_t>(side_ * side_);
    ByteState goal(n);
    for (std::size_t i = 0; i + 1 < n; ++i) goal[i] = static_cast<uint8_t>(i + 1);
    return goal;
}

double NPuzzle::manhattan(const ByteState& state, const ByteState& goal) const {
    require_side(side_);
    constexpr uint16_t kAbsent = 0xFFFF;
    uint16_t goal_pos[256];
    for (auto& p : goal_pos) p = kAbsent;
    for (std::size_t i = 0; i < goal.size(); ++i) goal_pos[goal[i]] = static_cast<uint16_t>(i);

    uint64_t sum = 0;
    for (std::size_t i = 0; i < state.size(); ++i) {
        const uint8_t t = state[i];
        if (t == 0) continue;
        const std::size_t g = goal_pos[t] == kAbsent ? i : goal_pos[t];
        sum += cell_distance(i, g, side_);
    }
    return static_cast<double>(sum);
}

NPuzzleManhattan::NPuzzleManhattan(const NPuzzle& puzzle, const ByteState& goal)
    : puzzle_(puzzle), goal_(goal) {
    const uint64_t side = puzzle.side();
    const std::size_t n = goal.size();
    if (side == 0 || side > 16 || side * side != n) return;

    // Built exactly as `NPuzzle::manhattan` reads the goal: a later cell of
    // a repeated value wins, and a tile the goal lacks adds 0 wherever it is.
    constexpr uint16_t kAbsent = 0xFFFF;
    uint16_t goal_pos[256];
    for (auto& p : goal_pos) p = kAbsent;
    for (std::size_t i = 0; i < n; ++i) goal_pos[goal[i]] = static_cast<uint16_t>(i);

    // The goal's tiles, each with the row and column it belongs at.
    struct Target {
        uint8_t tile;
        int row;
        int col;
    };
    Target targets[256];
    std::size_t count = 0;
    for (std::size_t tile = 1; tile < 256; ++tile) {
        if (goal_pos[tile] == kAbsent) continue;
        targets[count++] = {static_cast<uint8_t>(tile), static_cast<int>(goal_pos[tile] / side),
                            static_cast<int>(goal_pos[tile] % side)};
    }
    auto table = std::make_shared<uint8_t[]>(n * 256);
    for (std::size_t cell = 0; cell < n; ++cell) {
        const auto row = static_cast<int>(cell / side);
        const auto col = static_cast<int>(cell % side);
        uint8_t* at = table.get() + cell * 256;
        for (std::size_t k = 0; k < count; ++k) {
            const Target& t = targets[k];
            at[t.tile] = static_cast<uint8_t>(std::abs(row - t.row) + std::abs(col - t.col));
        }
    }
    table_ = std::move(table);
}

}  // namespace quorvane
