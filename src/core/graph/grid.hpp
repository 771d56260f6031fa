// The grid domain: a rectangle of cells, each a wall or an open cell with a
// terrain cost, searched over its 4 (or, with `diagonal` on, 8) neighbours.
//
// Nodes are `Cell {row, col}`; row 0 is the first row, col 0 the first
// column; the cell index is row * width + col. Entering a cell costs its
// terrain cost; a diagonal step costs it times kDiagonalCostFactor.
//
// Successor order (the order every driver sees): up, down, left, right, then,
// with `diagonal` on, up-left, up-right, down-left, down-right. Only open
// cells inside the grid are listed, and a diagonal move also needs both cells
// it passes, (r + dr, c) and (r, c + dc), open: no corner cutting. A move
// a -> b exists exactly when b -> a does; the two costs may differ.
//
// Builders:
//   Grid(width, height)  every cell open at cost 1.0 (columns first);
//   Grid::from_ascii     the ASCII map format (see from_ascii below);
//   Grid::from_costs     a matrix of terrain costs (see from_costs below).
// Every builder leaves `diagonal` off and panics on an empty or oversized
// grid: width and height at least 1, width * height at most kMaxGridCells.
// `diagonal` is the one thing set after building, before a search starts; a
// grid is only read during a search.
//
// The grid heuristics (GridManhattan, GridEuclidean, GridOctile, and the
// shared ZeroHeuristic) read only the two cells, never walls or costs.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "domain.hpp"
#include "state/fx_hash.hpp"

namespace quorvane {

struct Cell {
    int32_t row = 0;
    int32_t col = 0;

    friend bool operator==(const Cell&, const Cell&) = default;
};

// Row, then column, each as its 32-bit pattern zero-extended: (-1, 0) adds
// 0xffffffff, then 0.
inline void fx_feed(FxHasher& h, const Cell& cell) noexcept {
    h.add(static_cast<uint32_t>(cell.row));
    h.add(static_cast<uint32_t>(cell.col));
}

inline constexpr uint64_t kMaxGridCells = 2147483647;  // 2^31 - 1
inline constexpr double kDiagonalCostFactor = 1.4142135623730951;

struct AsciiGrid;

namespace detail {

// n / d for every n < 2^31 by a multiply and a shift (Granlund and
// Montgomery): m = ceil(2^(31 + l) / d) with 2^(l - 1) < d <= 2^l.
class RowDivider {
public:
    explicit RowDivider(uint32_t d = 1) noexcept {
        uint32_t l = 0;
        while ((uint64_t{1} << l) < d) ++l;
        shift_ = 31 + l;
        magic_ = ((uint64_t{1} << shift_) + d - 1) / d;
    }
    uint32_t divide(uint32_t n) const noexcept {
        return static_cast<uint32_t>((n * magic_) >> shift_);
    }

private:
    uint64_t magic_;
    uint32_t shift_;
};

}  // namespace detail

// successors(cell) makes room for eight moves, the most a grid has.
class Grid : public FreshSuccessors<Grid, 8> {
public:
    using Node = Cell;

    // Every cell open at cost 1.0. Panics "grid must be non-empty" when
    // width <= 0 or height <= 0, and "grid too large: ..." past kMaxGridCells.
    Grid(int32_t width, int32_t height);

    // Parses an ASCII map:
    //   - every LF ends a line; a CR right before an LF is dropped, any other
    //     CR is an ordinary character; text after the last LF is one more
    //     line when it is not empty;
    //   - empty lines before the first and after the last non-empty line are
    //     dropped; empty lines between them are rows of open cells;
    //   - height = lines kept, width = the longest line in characters
    //     (Unicode scalar values, not bytes);
    //   - '#' wall; 'S' start and 'G' goal (the last of each in reading order
    //     counts; both open, cost 1.0); '1'..'9' open with that cost; any
    //     other character, and every cell past the end of a short line, open
    //     with cost 1.0.
    // Panics "grid must be non-empty" when no line is left (before looking
    // for S and G), then "ASCII map must contain a start cell 'S'", then
    // "ASCII map must contain a goal cell 'G'". The text must be UTF-8.
    static AsciiGrid from_ascii(std::string_view text);

    // height = rows, width = the longest row. A finite value > 0 (subnormals
    // included) is an open cell with that cost; anything else (zero,
    // negative, infinite, NaN) and every cell past the end of a short row is
    // a wall. Panics "cost grid must be non-empty" without rows or when every
    // row is empty.
    static Grid from_costs(const std::vector<std::vector<double>>& rows);

    int32_t width() const noexcept { return width_; }
    int32_t height() const noexcept { return height_; }
    bool diagonal() const noexcept { return diagonal_; }
    void set_diagonal(bool on) noexcept { diagonal_ = on; }

    bool contains(Cell c) const noexcept {
        return c.row >= 0 && c.row < height_ && c.col >= 0 && c.col < width_;
    }
    // The cell must be inside the grid.
    uint64_t index(Cell c) const noexcept {
        return static_cast<uint64_t>(c.row) * static_cast<uint64_t>(width_) +
               static_cast<uint64_t>(c.col);
    }
    bool is_open(Cell c) const noexcept { return contains(c) && walls_[index(c)] == 0; }
    // The cell must be inside the grid.
    bool is_wall(Cell c) const noexcept { return walls_[index(c)] != 0; }
    double cost(Cell c) const noexcept { return uniform_ ? 1.0 : costs_[index(c)]; }
    void set_wall(Cell c, bool wall) noexcept { walls_[index(c)] = wall ? 1 : 0; }
    // Terrain costs must be finite and > 0.
    // The cost array is only built by the first cost other than 1.0 (then
    // std::bad_alloc is possible).
    void set_cost(Cell c, double cost) {
        if (uniform_) {
            if (cost == 1.0) return;
            costs_.assign(walls_.size(), 1.0);
            uniform_ = false;
        }
        costs_[index(c)] = cost;
    }

    // Calls f(Cell& child, double cost) for each successor of `cell` (which
    // must be inside the grid), in order; f may move from the child. The
    // list is gathered before the first call, so f runs in one place.
    template <class F>
    void for_each_successor(const Cell& cell, F&& f) const {
        if (uniform_ && !diagonal_) {
            // The common case on its own: four moves, each of cost 1.0.
            Cell list[4];
            const std::size_t n = gather_unit(cell, list);
            for (std::size_t k = 0; k < n; ++k) f(list[k], 1.0);
            return;
        }
        Successor<Cell> list[8];
        const std::size_t n = gather(cell, list);
        for (std::size_t k = 0; k < n; ++k) f(list[k].node, list[k].cost);
    }

    // Appends the successors of `cell` (which must be inside the grid) to
    // `out`.
    void successors_into(const Cell& cell, SuccessorList<Cell>& out) const {
        Successor<Cell> list[8];
        const std::size_t n = gather(cell, list);
        out.insert(out.end(), list, list + n);
    }

    // Every terrain cost is finite and > 0, and so is the diagonal factor.
    bool step_costs_nonnegative() const noexcept { return true; }
    // Every cost 1.0 and no diagonal moves: every step costs exactly 1.0.
    bool unit_step_costs() const noexcept { return uniform_ && !diagonal_; }

    // Dense reached-table support (state/reached_table.hpp): every cell has a
    // slot, its index, below dense_slots() <= kMaxGridCells.
    uint64_t dense_slots() const noexcept { return walls_.size(); }
    uint32_t dense_slot(const Cell& c) const noexcept { return static_cast<uint32_t>(index(c)); }
    Cell dense_node(uint32_t slot) const noexcept {
        const uint32_t row = rows_.divide(slot);
        return Cell{static_cast<int32_t>(row),
                    static_cast<int32_t>(slot - row * static_cast<uint32_t>(width_))};
    }
    // The four steps of a grid without diagonal moves, by their slot
    // difference: 0 up (-width), 1 down (+width), 2 left (-1), 3 right (+1).
    // (With width 1 there is no left or right, so -1 is up.) A grid with
    // diagonal moves names none.
    uint32_t dense_moves() const noexcept { return diagonal_ ? 0 : 4; }
    uint32_t dense_move(uint32_t parent, uint32_t child) const noexcept {
        const auto w = static_cast<uint32_t>(width_);
        if (child + w == parent) return 0;
        if (parent + w == child) return 1;
        return child + 1 == parent ? 2 : 3;
    }
    uint32_t dense_unmove(uint32_t child, uint32_t move) const noexcept {
        const auto w = static_cast<uint32_t>(width_);
        switch (move) {
            case 0: return child + w;
            case 1: return child - w;
            case 2: return child + 1;
            default: return child - 1;
        }
    }

    // The steps of the cell in slot `slot` that stay on the grid, as slots
    // with their move numbers, each blocked when it leads into a wall
    // (VisitsDenseSteps); only for a grid without diagonal moves.
    template <class F>
    void for_each_dense_step(uint32_t slot, F&& f) const {
        const auto w = static_cast<uint32_t>(width_);
        const uint32_t row = rows_.divide(slot);
        const uint32_t col = slot - row * w;
        const uint8_t* at = walls_.data() + slot;
        if (row > 0) f(slot - w, 0u, at[-static_cast<std::ptrdiff_t>(w)] != 0);
        if (row + 1 < static_cast<uint32_t>(height_)) f(slot + w, 1u, at[w] != 0);
        if (col > 0) f(slot - 1, 2u, at[-1] != 0);
        if (col + 1 < w) f(slot + 1, 3u, at[1] != 0);
    }

private:
    Grid(uint64_t width, uint64_t height, bool checked);

    // gather() for a uniform grid without diagonal moves: the cells only.
    std::size_t gather_unit(const Cell& cell, Cell* list) const noexcept {
        const int32_t r = cell.row;
        const int32_t c = cell.col;
        const auto w = static_cast<std::ptrdiff_t>(width_);
        const uint8_t* at = walls_.data() + r * w + c;
        std::size_t n = 0;
        if (r > 0 && at[-w] == 0) list[n++] = Cell{r - 1, c};
        if (r + 1 < height_ && at[w] == 0) list[n++] = Cell{r + 1, c};
        if (c > 0 && at[-1] == 0) list[n++] = Cell{r, c - 1};
        if (c + 1 < width_ && at[1] == 0) list[n++] = Cell{r, c + 1};
        return n;
    }

    // Writes the successors of `cell` to list[0 .. n) and returns n <= 8.
    std::size_t gather(const Cell& cell, Successor<Cell>* list) const noexcept {
        const int32_t r = cell.row;
        const int32_t c = cell.col;
        const std::size_t w = static_cast<std::size_t>(width_);
        const std::size_t i = static_cast<std::size_t>(r) * w + static_cast<std::size_t>(c);
        const bool up = r > 0 && walls_[i - w] == 0;
        const bool down = r + 1 < height_ && walls_[i + w] == 0;
        const bool left = c > 0 && walls_[i - 1] == 0;
        const bool right = c + 1 < width_ && walls_[i + 1] == 0;
        const double* costs = costs_.data();
        const bool uniform = uniform_;
        auto cost = [&](std::size_t j) { return uniform ? 1.0 : costs[j]; };
        std::size_t n = 0;
        if (up) list[n++] = {Cell{r - 1, c}, cost(i - w)};
        if (down) list[n++] = {Cell{r + 1, c}, cost(i + w)};
        if (left) list[n++] = {Cell{r, c - 1}, cost(i - 1)};
        if (right) list[n++] = {Cell{r, c + 1}, cost(i + 1)};
        if (!diagonal_) return n;
        // A diagonal neighbour is inside the grid exactly when both cells it
        // passes are, so the two orthogonal flags cover the bounds too.
        if (up && left && walls_[i - w - 1] == 0)
            list[n++] = {Cell{r - 1, c - 1}, cost(i - w - 1) * kDiagonalCostFactor};
        if (up && right && walls_[i - w + 1] == 0)
            list[n++] = {Cell{r - 1, c + 1}, cost(i - w + 1) * kDiagonalCostFactor};
        if (down && left && walls_[i + w - 1] == 0)
            list[n++] = {Cell{r + 1, c - 1}, cost(i + w - 1) * kDiagonalCostFactor};
        if (down && right && walls_[i + w + 1] == 0)
            list[n++] = {Cell{r + 1, c + 1}, cost(i + w + 1) * kDiagonalCostFactor};
        return n;
    }

    std::vector<uint8_t> walls_;  // 1 = wall, row-major
    std::vector<double> costs_;   // terrain cost of entering the cell; empty while uniform_
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool diagonal_ = false;
    bool uniform_ = true;      // every cost is 1.0: costs_ is not built
    detail::RowDivider rows_;  // by width
};

struct AsciiGrid {
    Grid grid;
    Cell start;
    Cell goal;
};

// |dr| + |dc| (exact: no overflow within one grid).
struct GridManhattan {
    static constexpr bool kNonNegative = true;  // finite and >= 0
    static constexpr bool kPure = true;
    double operator()(const Cell& a, const Cell& goal) const noexcept {
        const int64_t dr = static_cast<int64_t>(a.row) - goal.row;
        const int64_t dc = static_cast<int64_t>(a.col) - goal.col;
        return static_cast<double>((dr < 0 ? -dr : dr) + (dc < 0 ? -dc : dc));
    }
};

// sqrt(dr^2 + dc^2) in doubles (correctly rounded sqrt, not hypot).
struct GridEuclidean {
    static constexpr bool kNonNegative = true;  // finite and >= 0
    static constexpr bool kPure = true;
    double operator()(const Cell& a, const Cell& goal) const noexcept {
        const auto dr = static_cast<double>(static_cast<int64_t>(a.row) - goal.row);
        const auto dc = static_cast<double>(static_cast<int64_t>(a.col) - goal.col);
        return std::sqrt(dr * dr + dc * dc);
    }
};

// (max - min) + min * sqrt(2), with a = |dr|, b = |dc| as doubles.
struct GridOctile {
    static constexpr bool kNonNegative = true;  // finite and >= 0
    static constexpr bool kPure = true;
    double operator()(const Cell& a, const Cell& goal) const noexcept {
        const double dr = std::fabs(static_cast<double>(static_cast<int64_t>(a.row) - goal.row));
        const double dc = std::fabs(static_cast<double>(static_cast<int64_t>(a.col) - goal.col));
        const double hi = dr > dc ? dr : dc;
        const double lo = dr > dc ? dc : dr;
        return (hi - lo) + lo * kDiagonalCostFactor;
    }
};

}  // namespace quorvane
