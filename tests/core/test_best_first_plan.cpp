// The best-first plan: which table, frontier and loop each kind of search
// takes, for every domain form, heuristic kind, algorithm family and record
// setting. One table states them all; a predicate that quietly turns false
// changes a line of it.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adjacency_domain.hpp"
#include "drivers/best_first_plan.hpp"
#include "graph/csr.hpp"
#include "graph/grid.hpp"
#include "puzzles/forms.hpp"

namespace quorvane {
namespace {

// A heuristic of each kind; the plan reads their declarations only.
struct BuiltIn {
    static constexpr bool kNonNegative = true;
    static constexpr bool kPure = true;
    template <class N>
    double operator()(const N&, const N&) const {
        return 0.0;
    }
};
struct Callable {
    template <class N>
    double operator()(const N&, const N&) const {
        return 0.0;
    }
};

const char* name(TablePlan t) {
    static const char* const kNames[] = {"slots", "move", "step", "cost", "word", "hash"};
    return kNames[static_cast<int>(t)];
}
const char* name(FrontierPlan f) {
    static const char* const kNames[] = {"fifo", "lifo", "nan", "heap", "bkt"};
    return kNames[static_cast<int>(f)];
}

// "table frontier record[ -h][, rerun table frontier]": record "0/1" when
// the loop follows the call's record setting, "*" when one loop reads it;
// "-h" when h is dropped; the rerun's route after a NaN priority.
template <class H, class D>
std::string cell(const D& d, const typename D::Node& s, const typename D::Node& g,
                 const BestFirstConfig& config) {
    const BestFirstPlan off = plan_best_first<H>(d, s, g, config, {std::nullopt, false, false});
    const BestFirstPlan on = plan_best_first<H>(d, s, g, config, {std::nullopt, true, false});
    std::string record = "?";
    if (off.record == RecordPlan::off && on.record == RecordPlan::on) record = "0/1";
    if (off.record == RecordPlan::either && on.record == RecordPlan::either) record = "*";
    BestFirstPlan same = on;
    same.record = off.record;
    if (!(same == off)) return "differs with record";
    std::string text = std::string(name(on.table)) + " " + name(on.frontier) + " " + record;
    if (on.drop_h) text += " -h";
    if (on.frontier == FrontierPlan::nan_stop) {
        const BestFirstPlan rerun = rerun_plan(on);
        text += std::string(", rerun ") + name(rerun.table) + " " + name(rerun.frontier);
    }
    return text;
}

struct Algorithm {
    const char* name;
    BestFirstConfig config;
};
const Algorithm kAlgorithms[] = {
    {"bfs", {FrontierKind::fifo, 1.0, 0.0}},      {"dfs", {FrontierKind::lifo, 1.0, 0.0}},
    {"ucs", {FrontierKind::priority, 1.0, 0.0}},  {"astar", {FrontierKind::priority, 1.0, 1.0}},
    {"w=-1", {FrontierKind::priority, 1.0, -1.0}},
};

// One line per algorithm: its plans with h zero | built-in | callable.
template <class D>
void add_rows(std::ostringstream& out, const char* form, const D& d, const typename D::Node& s,
              const typename D::Node& g) {
    for (const Algorithm& a : kAlgorithms) {
        out << form << " " << a.name << ": " << cell<ZeroHeuristic>(d, s, g, a.config) << " | "
            << cell<BuiltIn>(d, s, g, a.config) << " | " << cell<Callable>(d, s, g, a.config)
            << "\n";
    }
}

TEST(BestFirstPlan, EveryKindOfSearchTakesItsRoute) {
    std::ostringstream got;
    const Grid grid(9, 9);
    add_rows(got, "grid", grid, {0, 0}, {8, 8});
    Grid costs(9, 9);
    costs.set_cost({4, 4}, 2.0);
    add_rows(got, "costs", costs, {0, 0}, {8, 8});
    Grid diagonal(9, 9);
    diagonal.set_diagonal(true);
    add_rows(got, "diagonal", diagonal, {0, 0}, {8, 8});
    const std::vector<Edge> arcs{{0, 1, 1.0}, {1, 2, 2.0}};
    add_rows(got, "graph", Csr::from_edges(3, arcs, false), 0, 2);
    const std::vector<Edge> negative{{0, 1, 1.0}, {1, 2, -2.0}};
    add_rows(got, "graph<0", Csr::from_edges(3, negative, false), 0, 2);
    for (const uint64_t side : {3, 5}) {
        const NPuzzle puzzle(side);
        with_npuzzle_form(puzzle, puzzle.default_goal(), puzzle.default_goal(),
                          [&](const auto& d, const auto& s, const auto& g) {
                              add_rows(got, side == 3 ? "board9" : "board25", d, s, g);
                          });
    }
    for (const uint64_t disks : {3, 13, 40}) {
        with_hanoi_form(Hanoi(disks, 4), [&](const auto& d, const auto& s, const auto& g) {
            add_rows(got, disks == 3 ? "towers3" : disks == 13 ? "towers13" : "towers40", d, s, g);
        });
    }
    const auto implicit = test_support::AdjDomain::build(3, {{0, 1, 1.0}, {1, 2, 1.0}}, false);
    add_rows(got, "implicit", implicit, 0, 2);

    // form algorithm: h zero | built-in | callable
    const std::string want = R"(grid bfs: slots fifo 0/1 | slots fifo 0/1 -h | cost fifo *
grid dfs: move lifo 0/1 | move lifo 0/1 -h | cost lifo *
grid ucs: slots fifo 0/1 | slots fifo 0/1 -h | cost fifo *
grid astar: slots fifo 0/1 | move bkt 0/1 | move nan *, rerun cost heap
grid w=-1: cost heap * | cost heap * | cost heap *
costs bfs: cost fifo 0/1 | cost fifo 0/1 -h | cost fifo *
costs dfs: cost lifo 0/1 | cost lifo 0/1 -h | cost lifo *
costs ucs: cost bkt 0/1 | cost bkt 0/1 -h | cost bkt *
costs astar: cost bkt 0/1 | cost bkt 0/1 | cost nan *, rerun cost heap
costs w=-1: cost heap * | cost heap * | cost heap *
diagonal bfs: cost fifo 0/1 | cost fifo 0/1 -h | cost fifo *
diagonal dfs: cost lifo 0/1 | cost lifo 0/1 -h | cost lifo *
diagonal ucs: cost bkt 0/1 | cost bkt 0/1 -h | cost bkt *
diagonal astar: cost bkt 0/1 | cost bkt 0/1 | cost nan *, rerun cost heap
diagonal w=-1: cost heap * | cost heap * | cost heap *
graph bfs: cost fifo 0/1 | cost fifo 0/1 -h | cost fifo *
graph dfs: cost lifo 0/1 | cost lifo 0/1 -h | cost lifo *
graph ucs: cost bkt 0/1 | cost bkt 0/1 -h | cost bkt *
graph astar: cost bkt 0/1 | cost bkt 0/1 | cost nan *, rerun cost heap
graph w=-1: cost heap * | cost heap * | cost heap *
graph<0 bfs: cost fifo 0/1 | cost fifo 0/1 -h | cost fifo *
graph<0 dfs: cost lifo 0/1 | cost lifo 0/1 -h | cost lifo *
graph<0 ucs: cost heap * | cost heap * -h | cost heap *
graph<0 astar: cost heap * | cost heap * | cost heap *
graph<0 w=-1: cost heap * | cost heap * | cost heap *
board9 bfs: word fifo 0/1 | word fifo 0/1 -h | hash fifo *
board9 dfs: word lifo 0/1 | word lifo 0/1 -h | hash lifo *
board9 ucs: word fifo 0/1 | word fifo 0/1 -h | hash fifo *
board9 astar: word fifo 0/1 | word bkt 0/1 | word nan *, rerun hash heap
board9 w=-1: hash heap * | hash heap * | hash heap *
board25 bfs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
board25 dfs: hash lifo 0/1 | hash lifo 0/1 -h | hash lifo *
board25 ucs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
board25 astar: hash fifo 0/1 | hash bkt 0/1 | hash nan *, rerun hash heap
board25 w=-1: hash heap * | hash heap * | hash heap *
towers3 bfs: move fifo 0/1 | move fifo 0/1 -h | cost fifo *
towers3 dfs: move lifo 0/1 | move lifo 0/1 -h | cost lifo *
towers3 ucs: move fifo 0/1 | move fifo 0/1 -h | cost fifo *
towers3 astar: move fifo 0/1 | move bkt 0/1 | move nan *, rerun cost heap
towers3 w=-1: cost heap * | cost heap * | cost heap *
towers13 bfs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
towers13 dfs: hash lifo 0/1 | hash lifo 0/1 -h | hash lifo *
towers13 ucs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
towers13 astar: hash fifo 0/1 | hash bkt 0/1 | hash nan *, rerun hash heap
towers13 w=-1: hash heap * | hash heap * | hash heap *
towers40 bfs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
towers40 dfs: hash lifo 0/1 | hash lifo 0/1 -h | hash lifo *
towers40 ucs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
towers40 astar: hash fifo 0/1 | hash bkt 0/1 | hash nan *, rerun hash heap
towers40 w=-1: hash heap * | hash heap * | hash heap *
implicit bfs: hash fifo 0/1 | hash fifo 0/1 -h | hash fifo *
implicit dfs: hash lifo 0/1 | hash lifo 0/1 -h | hash lifo *
implicit ucs: hash heap * | hash heap * -h | hash heap *
implicit astar: hash heap * | hash heap * | hash heap *
implicit w=-1: hash heap * | hash heap * | hash heap *
)";
    EXPECT_EQ(got.str(), want);
}

}  // namespace
}  // namespace quorvane
