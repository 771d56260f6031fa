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
#include "domains/graphs.hpp"
#include "domains/maze.hpp"
#include "functions.hpp"
#include "py.hpp"
#include "search_result.hpp"

namespace quorvane::py {

namespace {

// ---------------------------------------------------------------------------
// Signatures

constexpr const char* kErdosRenyiParams[] = {"n", "p", "seed"};
constexpr Signature kErdosRenyiSig{"gen_erdos_renyi", kErdosRenyiParams, 3};

constexpr const char* kBarabasiAlbertParams[] = {"n", "m", "seed"};
constexpr Signature kBarabasiAlbertSig{"gen_barabasi_albert", kBarabasiAlbertParams, 3};

constexpr const char* kWattsStrogatzParams[] = {"n", "k", "beta", "seed"};
constexpr Signature kWattsStrogatzSig{"gen_watts_strogatz", kWattsStrogatzParams, 4};

constexpr const char* kSampleMazeParams[] = {"name"};
constexpr Signature kSampleMazeSig{"sample_maze", kSampleMazeParams, 1};

constexpr const char* kRandomMazeParams[] = {"width", "height", "obstacle_density", "seed"};
constexpr Signature kRandomMazeSig{"random_maze_ascii", kRandomMazeParams, 4};

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

// Each edge of a generated (undirected) graph once: the arcs u -> v with
// u < v, u ascending and, within one u, in arc order, as (u, v, w) tuples.
// Every generated edge weighs 1.0, so one float object serves all tuples,
// and each node's int is made once and shared by the tuples that name it
// (ints are immutable: sharing is invisible to the caller, and it saves
// most of the allocations of a large list).
PyRef edges_to_py(const Csr& graph) {
    const auto& offsets = graph.offsets();
    const auto& arcs = graph.arcs();
    const uint64_t n = graph.num_nodes();
    Py_ssize_t count = 0;
    for (uint64_t u = 0; u < n; ++u)
        for (uint64_t i = offsets[u]; i < offsets[u + 1]; ++i) count += arcs[i].node > u ? 1 : 0;

    PyRef list = made(PyList_New(count));
    PyRef weight = float_to_py(1.0);
    // Cache node ints only when nodes are named more than once on average.
    std::vector<PyRef> ints(static_cast<uint64_t>(count) >= n ? n : 0);
    const auto node_int = [&](uint64_t node) -> PyRef {
        if (ints.empty()) return uint_to_py(node);
        if (!ints[node]) ints[node] = uint_to_py(node);
        return PyRef::borrow(ints[node].get());
    };
    Py_ssize_t at = 0;
    for (uint64_t u = 0; u < n; ++u) {
        for (uint64_t i = offsets[u]; i < offsets[u + 1]; ++i) {
            const uint64_t v = arcs[i].node;
            if (v <= u) continue;
            PyRef first = node_int(u);
            PyRef second = node_int(v);
            PyRef tuple = tuple_of(
                {first.release(), second.release(), PyRef::borrow(weight.get()).release()});
            PyList_SetItem(list.get(), at++, tuple.release());  // steals; cannot fail here
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
// Functions

PyObject* gen_erdos_renyi(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const BoundArgs a = bind(kErdosRenyiSig, args, kwargs);
        const uint64_t n = a.convert(0, to_count);
        const double p = a.convert(1, to_real);
        const uint64_t seed = a.convert(2, to_count);
        return edges_to_py(erdos_renyi(n, p, seed));
    });
}

PyObject* gen_barabasi_albert(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const BoundArgs a = bind(kBarabasiAlbertSig, args, kwargs);
        const uint64_t n = a.convert(0, to_count);
        const uint64_t m = a.convert(1, to_count);
        const uint64_t seed = a.convert(2, to_count);
        return edges_to_py(barabasi_albert(n, m, seed));
    });
}

PyObject* gen_watts_strogatz(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const BoundArgs a = bind(kWattsStrogatzSig, args, kwargs);
        const uint64_t n = a.convert(0, to_count);
        const uint64_t k = a.convert(1, to_count);
        const double beta = a.convert(2, to_real);
        const uint64_t seed = a.convert(3, to_count);
        return edges_to_py(watts_strogatz(n, k, beta, seed));
    });
}

PyObject* sample_maze(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const BoundArgs a = bind(kSampleMazeSig, args, kwargs);
        const std::string name = a.convert(0, to_text);
        if (name == "open") return str_to_py(kOpenMaze);
        if (name == "wall") return str_to_py(kWallMaze);
        throw value_error("unknown sample maze: '" + name + "'. Available: open, wall");
    });
}

PyObject* random_maze_ascii(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] {
        const BoundArgs a = bind(kRandomMazeSig, args, kwargs);
        const int32_t width = a.convert(0, to_int32);
        const int32_t height = a.convert(1, to_int32);
        const double density = a.convert(2, to_real);
        const uint64_t seed = a.convert(3, to_count);
        return str_to_py(render_maze(random_maze(width, height, density, seed)));
    });
}

}  // namespace quorvane::py
