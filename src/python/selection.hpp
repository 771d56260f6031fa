// Algorithm and heuristic selection: from the `algorithm` and `heuristic`
// arguments to exactly one driver call. run_search.hpp puts the pieces
// together; this header holds the tables and the dispatch.
//
// Errors found while the lock is released (an unknown heuristic or
// algorithm name, "'dls' requires depth_limit") are thrown as `PyError`
// values (type + text, no interpreter object); `ReleasedGil` takes the lock
// back while they unwind, and the entry guard raises them. Check order:
// heuristic type (parse_heuristic), heuristic name, algorithm name, then
// the depth limit of "dls". Nothing here touches a Python object except
// parse_heuristic, which runs with the lock held.
//
// Adding a domain (see run_search.hpp for the run file):
//   - nothing to do here if `bidirectional_search(domain, start, goal,
//     record)` is right for it; otherwise pass your own call as the last
//     argument of run_search (a directed graph passes its predecessor lists,
//     an implicit graph `bidirectional_search_checked`);
//   - its nodes must be movable values; start and goal are taken over;
//   - its heuristic names are a `HeuristicNames` in its run file's table.
//     Each kind is one driver instance.
// Adding an algorithm: one enumerator, one row in `parse_algorithm`, one
// case in `run_algorithm`.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "args.hpp"
#include "domain.hpp"
#include "drivers/beam.hpp"
#include "drivers/best_first.hpp"
#include "drivers/bidirectional.hpp"
#include "drivers/depth_limited.hpp"
#include "drivers/ida_star.hpp"
#include "drivers/iddfs.hpp"
#include "py.hpp"
#include "state/outcome.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// Options

// The common options of a search call, as selection reads them.
struct SearchOptions {
    std::optional<uint64_t> depth_limit;
    std::optional<uint64_t> max_nodes;
    double weight = 2.0;
    uint64_t beam_width = std::numeric_limits<uint64_t>::max();  // absent: unbounded
    bool reopen = false;
};

inline SearchOptions search_options(const SearchTail& tail) {
    return SearchOptions{tail.depth_limit, tail.max_nodes, tail.weight,
                         tail.beam_width.value_or(std::numeric_limits<uint64_t>::max()),
                         tail.reopen};
}

// ---------------------------------------------------------------------------
// Algorithms

enum class Algorithm : uint8_t {
    bfs,
    dfs,
    ucs,  // also "dijkstra"
    greedy,
    astar,
    weighted_astar,
    iddfs,
    dls,
    ida_star,
    beam,
    bidirectional,
};

// The parsed algorithm with what its driver needs from the options.
struct AlgorithmChoice {
    Algorithm algorithm;
    BestFirstConfig config;  // the seven best-first names
    BestFirstLimits limits;  // the seven best-first names
    uint64_t depth = 0;      // dls: the limit; iddfs: the maximum depth
};

// Matches the name exactly (bytes, case-sensitive, no trimming). Safe
// without the interpreter lock.
inline AlgorithmChoice parse_algorithm(std::string_view name, bool record,
                                       const SearchOptions& options) {
    struct Row {
        std::string_view name;
        Algorithm algorithm;
    };
    static constexpr Row kTable[] = {
        {"bfs", Algorithm::bfs},
        {"dfs", Algorithm::dfs},
        {"ucs", Algorithm::ucs},
        {"dijkstra", Algorithm::ucs},
        {"greedy", Algorithm::greedy},
        {"astar", Algorithm::astar},
        {"a*", Algorithm::astar},
        {"weighted_astar", Algorithm::weighted_astar},
        {"wastar", Algorithm::weighted_astar},
        {"iddfs", Algorithm::iddfs},
        {"dls", Algorithm::dls},
        {"ida_star", Algorithm::ida_star},
        {"idastar", Algorithm::ida_star},
        {"beam", Algorithm::beam},
        {"bidirectional", Algorithm::bidirectional},
        {"bidir", Algorithm::bidirectional},
    };
    const Row* row = nullptr;
    for (const Row& r : kTable) {
        if (r.name == name) {
            row = &r;
            break;
        }
    }
    if (row == nullptr) {
        throw value_error("unknown algorithm: '" + std::string(name) +
                          "'. Available: bfs, dfs, ucs, dijkstra, greedy, astar, "
                          "weighted_astar, iddfs, dls, ida_star, beam, bidirectional");
    }
    AlgorithmChoice choice{row->algorithm, {}, {options.max_nodes, record, options.reopen}, 0};
    switch (row->algorithm) {
        case Algorithm::bfs: choice.config = {FrontierKind::fifo, 1.0, 0.0}; break;
        case Algorithm::dfs: choice.config = {FrontierKind::lifo, 1.0, 0.0}; break;
        case Algorithm::ucs: choice.config = {FrontierKind::priority, 1.0, 0.0}; break;
        case Algorithm::greedy: choice.config = {FrontierKind::priority, 0.0, 1.0}; break;
        case Algorithm::astar: choice.config = {FrontierKind::priority, 1.0, 1.0}; break;
        case Algorithm::weighted_astar:
            choice.config = {FrontierKind::priority, 1.0, options.weight};
            break;
        case Algorithm::dls:
            if (!options.depth_limit) throw value_error("'dls' requires depth_limit");
            choice.depth = *options.depth_limit;
            break;
        case Algorithm::iddfs: choice.depth = options.depth_limit.value_or(1000); break;
        default: break;
    }
    return choice;
}

// Bidirectional search as the domain's moves allow when every move can be
// undone (grids, puzzles, word ladders, undirected graphs).
struct ReversibleBidirectional {
    template <Domain D>
    SearchOutcome<typename D::Node> operator()(const D& domain, typename D::Node start,
                                               typename D::Node goal, bool record) const {
        return bidirectional_search(domain, std::move(start), std::move(goal), record);
    }
};

// Runs the chosen driver once and returns its outcome untouched. `heuristic`
// is copied for the drivers that take it by value (ida_star, beam).
template <Domain D, HeuristicFor<typename D::Node> H, class Bidirectional = ReversibleBidirectional>
SearchOutcome<typename D::Node> run_algorithm(const AlgorithmChoice& choice, const D& domain,
                                              typename D::Node start, typename D::Node goal,
                                              const H& heuristic, const SearchOptions& options,
                                              Bidirectional&& bidirectional = {}) {
    const bool record = choice.limits.record;
    switch (choice.algorithm) {
        case Algorithm::iddfs:
            return iddfs(domain, std::move(start), std::move(goal), choice.depth, record);
        case Algorithm::dls:
            return dls(domain, std::move(start), std::move(goal), choice.depth, record);
        case Algorithm::ida_star:
            return ida_star(domain, std::move(start), std::move(goal), heuristic, record);
        case Algorithm::beam:
            return beam_search(domain, std::move(start), std::move(goal), options.beam_width,
                               heuristic, record);
        case Algorithm::bidirectional:
            return bidirectional(domain, std::move(start), std::move(goal), record);
        default:
            return best_first_search(domain, std::move(start), std::move(goal), choice.config,
                                     heuristic, choice.limits);
    }
}

// parse_algorithm, then run_algorithm.
template <Domain D, HeuristicFor<typename D::Node> H, class Bidirectional = ReversibleBidirectional>
SearchOutcome<typename D::Node> dispatch_algorithm(const D& domain, typename D::Node start,
                                                   typename D::Node goal,
                                                   std::string_view algorithm, const H& heuristic,
                                                   bool record, const SearchOptions& options,
                                                   Bidirectional&& bidirectional = {}) {
    const AlgorithmChoice choice = parse_algorithm(algorithm, record, options);
    return run_algorithm(choice, domain, std::move(start), std::move(goal), heuristic, options,
                         std::forward<Bidirectional>(bidirectional));
}

// ---------------------------------------------------------------------------
// Heuristics

// The parsed `heuristic` argument: a name, or a callable (owned reference).
struct HeuristicSpec {
    std::string name;  // meaningful when `callable` is empty
    PyRef callable;

    bool is_name() const noexcept { return !callable; }
};

// Needs the interpreter lock. `object` is empty for an absent or None
// argument. A str (or subclass) is a name, even when it is also callable; a
// str that cannot be encoded as UTF-8 falls through to the callable check.
inline HeuristicSpec parse_heuristic(PyRef object, std::string_view default_name) {
    if (!object) return HeuristicSpec{std::string(default_name), {}};
    if (PyUnicode_Check(object.get())) {
        PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(object.get()));
        char* data = nullptr;
        Py_ssize_t size = 0;
        if (bytes && PyBytes_AsStringAndSize(bytes.get(), &data, &size) == 0)
            return HeuristicSpec{std::string(data, static_cast<std::size_t>(size)), {}};
        PyErr_Clear();
    }
    if (PyCallable_Check(object.get())) return HeuristicSpec{{}, std::move(object)};
    throw value_error("heuristic must be a name (str) or a callable h(node, goal) -> float");
}

// A domain's heuristic names: the name taken for `heuristic=None`, the
// (name, kind) rows, and the message for any other name,
// `unknown_prefix` + name + `unknown_suffix`.
template <class Kind, std::size_t N>
struct HeuristicNames {
    struct Row {
        std::string_view name;
        Kind kind;
    };

    std::string_view default_name;
    std::array<Row, N> rows;
    std::string_view unknown_prefix;
    std::string_view unknown_suffix;

    // Matches the name exactly (bytes, case-sensitive, no trimming). Safe
    // without the interpreter lock.
    Kind parse(std::string_view name) const {
        for (const Row& row : rows)
            if (row.name == name) return row.kind;
        std::string message(unknown_prefix);
        message.append(name);
        message.append(unknown_suffix);
        throw value_error(std::move(message));
    }
};

// Runs `body` with the interpreter lock released and returns its result.
// IMPORTANT: `body` must touch no Python object (no PyRef may be made,
// copied or destroyed in it). PyError and Panic may be thrown from it.
template <class Body>
auto without_gil(Body&& body) {
    ReleasedGil released;
    return body();
}

}  // namespace quorvane::py
