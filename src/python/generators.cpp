// The generator and maze functions: gen_erdos_renyi, gen_barabasi_albert,
// gen_watts_strogatz, sample_maze and random_maze_ascii.
//
// All five run with the interpreter lock held from start to end: they are
// short compared with a search, and their results are Python objects built
// as they go. Every argument is required; conversion errors come first, in
// parameter order; the core generators' own checks arrive as panics.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "args.hpp"
#include "functions.hpp"
#include "generators/graphs.hpp"
#include "generators/maze.hpp"
#include "py.hpp"
#include "search_result.hpp"

namespace quorvane::py {

namespace {

// ---------------------------------------------------------------------------
// The two sample maps: six rows of nine characters, no final line feed.

constexpr std::string_view kOpenMaze =
    "S........\n"
    ".........\n"
    "....#....\n"
    "....#....\n"
    "....#....\n"
    "........G";

constexpr std::string_view kWallMaze =
    "S.#......\n"
    "..#.####.\n"
    "..#.#..#.\n"
    "..#.#.##.\n"
    "....#...G\n"
    "#####.#..";

// ---------------------------------------------------------------------------
// Helpers

// Each edge of a generated graph once, as (u, v, 1.0) tuples in the graph's
// order (u < v, u ascending). One float object serves every tuple, and each
// node's int is made once and shared by the tuples that name it (ints are
// immutable: sharing is invisible to the caller, and it saves most of the
// allocations of a large list).
//
// The tuples hold only ints and a float, so they can never be part of a
// reference cycle: they are left untracked by the cyclic garbage collector,
// as the interpreter itself would leave them after their first collection.
// Tracked, a list of a million of them makes the collector walk the growing
// list over and over while it is built.
PyRef edges_to_py(const GeneratedGraph& graph) {
    const uint64_t n = graph.num_nodes();
    const uint64_t* starts = graph.starts.data();
    const uint64_t* larger = graph.larger.data();
    const auto count = static_cast<Py_ssize_t>(graph.num_edges());

    PyRef list = made_or_panic(PyList_New(count));
    PyRef weight = float_to_py(1.0);
    // Node ints are cached only when nodes are named more than once on
    // average; made in node order, they sit in memory in node order too.
    std::vector<PyRef> ints;
    if (static_cast<uint64_t>(count) >= n) {
        ints.reserve(n);
        for (uint64_t u = 0; u < n; ++u) ints.push_back(uint_to_py(u));
    }
    const PyRef* cached = ints.data();

    Py_ssize_t at = 0;
    const auto append = [&](PyObject* first, PyObject* second) {
        PyRef tuple = made_or_panic(PyTuple_Pack(3, first, second, weight.get()));
        PyObject_GC_UnTrack(tuple.get());
        PyList_SetItem(list.get(), at++, tuple.release());  // steals; cannot fail here
    };
    if (!ints.empty()) {
        // The larger ends are scattered over all the ints: their slots are
        // asked for kSlotAhead edges ahead and the ints kIntAhead ahead.
        constexpr uint64_t kSlotAhead = 16;
        constexpr uint64_t kIntAhead = 8;
        const auto total = static_cast<uint64_t>(count);
        for (uint64_t u = 0; u < n; ++u) {
            for (uint64_t i = starts[u]; i < starts[u + 1]; ++i) {
                if (i + kSlotAhead < total) __builtin_prefetch(cached + larger[i + kSlotAhead]);
                if (i + kIntAhead < total) __builtin_prefetch(cached[larger[i + kIntAhead]].get());
                append(cached[u].get(), cached[larger[i]].get());
            }
        }
    } else {
        for (uint64_t u = 0; u < n; ++u) {
            if (starts[u] == starts[u + 1]) continue;
            PyRef first = uint_to_py(u);
            for (uint64_t i = starts[u]; i < starts[u + 1]; ++i) {
                PyRef second = uint_to_py(larger[i]);
                append(first.get(), second.get());
            }
        }
    }
    return list;
}

std::string render_maze(const RandomMaze& maze) {
    const Grid& grid = maze.grid;
    const auto width = static_cast<std::size_t>(grid.width());
    const auto height = static_cast<std::size_t>(grid.height());
    std::string text;
    text.reserve(height * (width + 1) - 1);
    for (int32_t row = 0; row < grid.height(); ++row) {
        if (row > 0) text += '\n';
        for (int32_t col = 0; col < grid.width(); ++col) {
            const Cell cell{row, col};
            if (cell == maze.start) {
                text += 'S';
            } else if (cell == maze.goal) {
                text += 'G';
            } else {
                text += grid.is_open(cell) ? '.' : '#';
            }
        }
    }
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// The graph generators: gen_erdos_renyi(n, p, seed),
// gen_barabasi_albert(n, m, seed), gen_watts_strogatz(n, k, beta, seed)

namespace {

constexpr const char* kErdosRenyiParams[] = {"n", "p", "seed"};
constexpr Signature kErdosRenyi{"gen_erdos_renyi", kErdosRenyiParams, 3};

constexpr const char* kBarabasiAlbertParams[] = {"n", "m", "seed"};
constexpr Signature kBarabasiAlbert{"gen_barabasi_albert", kBarabasiAlbertParams, 3};

constexpr const char* kWattsStrogatzParams[] = {"n", "k", "beta", "seed"};
constexpr Signature kWattsStrogatz{"gen_watts_strogatz", kWattsStrogatzParams, 4};

}  // namespace

PyObject* gen_erdos_renyi(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const auto [n, p, seed] = bind_each(kErdosRenyi, args, kwargs, to_count, to_real, to_count);
        return edges_to_py(erdos_renyi(n, p, seed));
    });
}

PyObject* gen_barabasi_albert(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const auto [n, m, seed] =
            bind_each(kBarabasiAlbert, args, kwargs, to_count, to_count, to_count);
        return edges_to_py(barabasi_albert(n, m, seed));
    });
}

PyObject* gen_watts_strogatz(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const auto [n, k, beta, seed] =
            bind_each(kWattsStrogatz, args, kwargs, to_count, to_count, to_real, to_count);
        return edges_to_py(watts_strogatz(n, k, beta, seed));
    });
}

// ---------------------------------------------------------------------------
// sample_maze(name)

namespace {

constexpr const char* kSampleMazeParams[] = {"name"};
constexpr Signature kSampleMaze{"sample_maze", kSampleMazeParams, 1};

}  // namespace

PyObject* sample_maze(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const auto [name] = bind_each(kSampleMaze, args, kwargs, to_text);
        if (name == "open") return str_to_py(kOpenMaze);
        if (name == "wall") return str_to_py(kWallMaze);
        throw value_error("unknown sample maze: '" + name + "'. Available: open, wall");
    });
}

// ---------------------------------------------------------------------------
// random_maze_ascii(width, height, obstacle_density, seed)

namespace {

constexpr const char* kRandomMazeParams[] = {"width", "height", "obstacle_density", "seed"};
constexpr Signature kRandomMaze{"random_maze_ascii", kRandomMazeParams, 4};

}  // namespace

PyObject* random_maze_ascii(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const auto [width, height, density, seed] =
            bind_each(kRandomMaze, args, kwargs, to_int32, to_int32, to_real, to_count);
        // The grid (refused by itself past physical memory), its text and
        // the str made from it live at once: two bytes per cell more.
        if (width > 0 && height > 0) {
            const auto cells = static_cast<long double>(width) * height;
            if (cells <= kMaxGridCells) refuse_oversized_allocation(cells * 11);
        }
        return str_to_py(render_maze(random_maze(width, height, density, seed)));
    });
}

}  // namespace quorvane::py
