#include "graph/grid.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "large_array.hpp"
#include "panic.hpp"

namespace quorvane {

namespace {

// Sizes are checked in 64 bits so that a line or row count past the 32-bit
// range is reported as too large rather than wrapping into a bogus size.
void check_size(uint64_t width, uint64_t height) {
    if (width == 0 || height == 0) throw Panic("grid must be non-empty");
    uint64_t cells = 0;
    // A product beyond 64 bits cannot come from real input (it needs a text
    // of more than 2^32 lines); it is shown saturated.
    if (__builtin_mul_overflow(width, height, &cells)) cells = UINT64_MAX;
    if (cells > kMaxGridCells) {
        throw Panic("grid too large: " + std::to_string(width) + "\u00d7" + std::to_string(height) +
                    " = " + std::to_string(cells) + " cells (max " + std::to_string(kMaxGridCells) +
                    ")");
    }
    // A wall flag per cell, written in full on construction, and a terrain
    // cost per cell once any cost is not 1.0: past physical memory the
    // process would be killed while filling them.
    refuse_oversized_allocation(static_cast<long double>(cells) *
                                (sizeof(uint8_t) + sizeof(double)));
}

// Validates both sizes; returns the width for the delegating constructor.
uint64_t checked_width(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) throw Panic("grid must be non-empty");
    check_size(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    return static_cast<uint64_t>(width);
}

bool is_utf8_continuation(unsigned char b) noexcept { return (b & 0xC0) == 0x80; }

bool is_ascii(std::string_view line) noexcept {
    unsigned char any = 0;
    for (const char ch : line) any |= static_cast<unsigned char>(ch);
    return any < 0x80;
}

// A map character that is neither a wall nor plain open ground.
bool is_mark(char ch) noexcept {
    return ch == 'S' || ch == 'G' || static_cast<unsigned char>(ch - '1') < 9;
}

// Whether any of kChunk characters is a mark, in a few vector operations
// (a loop over the characters compiles to a branch per character).
constexpr std::size_t kChunk = 16;
bool any_mark(const char* chars) noexcept {
    using Bytes = uint8_t __attribute__((vector_size(kChunk)));
    Bytes c;
    std::memcpy(&c, chars, kChunk);
    const auto marks = (c == 'S') | (c == 'G') | ((c - '1') < 9);
    uint64_t words[2];
    std::memcpy(words, &marks, kChunk);
    return (words[0] | words[1]) != 0;
}

uint64_t count_chars(std::string_view line) noexcept {
    uint64_t n = 0;
    for (const char ch : line) n += is_utf8_continuation(static_cast<unsigned char>(ch)) ? 0 : 1;
    return n;
}

// Splits on LF, dropping a CR right before each LF; the text after the last
// LF is a line only when it is not empty.
std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t lf = text.find('\n', begin);
        if (lf == std::string_view::npos) {
            lines.push_back(text.substr(begin));
            break;
        }
        std::size_t end = lf;
        if (end > begin && text[end - 1] == '\r') --end;
        lines.push_back(text.substr(begin, end - begin));
        begin = lf + 1;
    }
    return lines;
}

}  // namespace

Grid::Grid(uint64_t width, uint64_t height, bool /*checked*/)
    : walls_(width * height, 0),
      width_(static_cast<int32_t>(width)),
      height_(static_cast<int32_t>(height)),
      rows_(width == 0 ? 1 : static_cast<uint32_t>(width)) {}

Grid::Grid(int32_t width, int32_t height)
    : Grid(checked_width(width, height), static_cast<uint64_t>(height), true) {}

AsciiGrid Grid::from_ascii(std::string_view text) {
    std::vector<std::string_view> lines = split_lines(text);
    std::size_t first = 0;
    std::size_t last = lines.size();
    while (first < last && lines[first].empty()) ++first;
    while (last > first && lines[last - 1].empty()) --last;

    uint64_t width = 0;
    for (std::size_t i = first; i < last; ++i) {
        const uint64_t n = count_chars(lines[i]);
        if (n > width) width = n;
    }
    const uint64_t height = last - first;
    check_size(width, height);
    Grid grid(width, height, true);

    bool has_start = false;
    bool has_goal = false;
    Cell start;
    Cell goal;
    // Every character but a wall: the cell is open, and may be more.
    const auto mark = [&](Cell cell, char ch) {
        if (ch == 'S') {
            start = cell;
            has_start = true;
        } else if (ch == 'G') {
            goal = cell;
            has_goal = true;
        } else if (ch >= '1' && ch <= '9') {
            grid.set_cost(cell, static_cast<double>(ch - '0'));
        }
    };
    for (std::size_t r = first; r < last; ++r) {
        const auto row = static_cast<int32_t>(r - first);
        const std::string_view line = lines[r];
        if (is_ascii(line)) {
            // A character per cell: the walls in one sweep, then the rare
            // other marks.
            uint8_t* walls = grid.walls_.data() + grid.index(Cell{row, 0});
            for (std::size_t i = 0; i < line.size(); ++i) walls[i] = line[i] == '#' ? 1 : 0;
            for (std::size_t from = 0; from < line.size(); from += kChunk) {
                const std::size_t to = std::min(line.size(), from + kChunk);
                if (to - from == kChunk && !any_mark(line.data() + from)) continue;
                for (std::size_t i = from; i < to; ++i) {
                    if (is_mark(line[i])) mark(Cell{row, static_cast<int32_t>(i)}, line[i]);
                }
            }
            continue;
        }
        int32_t col = -1;
        for (const char ch : line) {
            if (is_utf8_continuation(static_cast<unsigned char>(ch))) continue;
            ++col;
            const Cell cell{row, col};
            if (ch == '#') {
                grid.set_wall(cell, true);
            } else {
                mark(cell, ch);
            }
        }
    }
    if (!has_start) throw Panic("ASCII map must contain a start cell 'S'");
    if (!has_goal) throw Panic("ASCII map must contain a goal cell 'G'");
    return AsciiGrid{std::move(grid), start, goal};
}

Grid Grid::from_costs(const std::vector<std::vector<double>>& rows) {
    uint64_t width = 0;
    for (const auto& row : rows) width = row.size() > width ? row.size() : width;
    if (rows.empty() || width == 0) throw Panic("cost grid must be non-empty");
    check_size(width, rows.size());
    Grid grid(width, rows.size(), true);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < width; ++c) {
            const Cell cell{static_cast<int32_t>(r), static_cast<int32_t>(c)};
            const double v = c < rows[r].size() ? rows[r][c] : 0.0;
            if (std::isfinite(v) && v > 0.0) {
                grid.set_cost(cell, v);
            } else {
                grid.set_wall(cell, true);
            }
        }
    }
    return grid;
}

}  // namespace quorvane
