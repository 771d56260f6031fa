// The best-first plan: which table, frontier and loop each kind of search
// takes, for every domain form, heuristic kind, algorithm family and record
// setting, and on both sides of each size limit of the dense tables. One
// table (tests/golden/best_first_plans.txt) states them all; a predicate
// that quietly turns false, or a limit that moves, changes a line of it.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adjacency_domain.hpp"
#include "drivers/best_first_plan.hpp"
#include "graph/csr.hpp"
#include "graph/grid.hpp"
#include "puzzles/forms.hpp"
#include "puzzles/numbered_hanoi.hpp"

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

// Domains of any size that hold nothing, for the size limits: the plan
// reads only their hooks, and they list no successors.
// Nodes numbered by the dense hooks (HasDenseSlots), every step 1.0, no
// dense moves.
struct UnitSlots {
    using Node = uint64_t;
    uint64_t slots;
    void successors_into(Node, SuccessorList<Node>&) const {}
    SuccessorList<Node> successors(Node) const { return {}; }
    bool unit_step_costs() const { return true; }
    uint64_t dense_slots() const { return slots; }
    uint32_t dense_slot(Node n) const { return static_cast<uint32_t>(n); }
    Node dense_node(uint32_t slot) const { return slot; }
};
// Nodes that are their own indices below num_nodes(), as in the CSR graph.
struct IndexedNodes {
    using Node = uint64_t;
    uint64_t nodes;
    void successors_into(Node, SuccessorList<Node>&) const {}
    SuccessorList<Node> successors(Node) const { return {}; }
    uint64_t num_nodes() const { return nodes; }
};

const char* name(TablePlan t) {
    static const char* const kNames[] = {"slots",      "dense_move", "dense_step",
                                         "dense_cost", "word_move",  "hashed"};
    return kNames[static_cast<int>(t)];
}
const char* name(FrontierPlan f) {
    static const char* const kNames[] = {"fifo", "lifo", "nan_stop", "heap", "buckets"};
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
    {"bfs", {FrontierKind::fifo, 1.0, 0.0}},       {"dfs", {FrontierKind::lifo, 1.0, 0.0}},
    {"ucs", {FrontierKind::priority, 1.0, 0.0}},   {"astar", {FrontierKind::priority, 1.0, 1.0}},
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

    // Each size limit of the dense tables, at the limit and past it: the
    // bfs plan with h zero.
    auto limit_row = [&](const std::string& form, const auto& d, const auto& s, const auto& g) {
        got << form << " bfs: " << cell<ZeroHeuristic>(d, s, g, kAlgorithms[0].config) << "\n";
    };
    for (const uint64_t disks : {22, 23, 24, 25}) {
        const NumberedHanoi towers(disks, 2);
        limit_row("towers 2^" + std::to_string(disks), towers, towers.start(), towers.goal());
    }
    limit_row("slots 2^30", UnitSlots{uint64_t{1} << 30}, 0, 1);
    limit_row("slots 2^30+1", UnitSlots{(uint64_t{1} << 30) + 1}, 0, 1);
    limit_row("nodes 2^25", IndexedNodes{uint64_t{1} << 25}, 0, 1);
    limit_row("nodes 2^25+1", IndexedNodes{(uint64_t{1} << 25) + 1}, 0, 1);

    std::ifstream file(QUORVANE_GOLDEN_DIR "/best_first_plans.txt");
    ASSERT_TRUE(file) << "best_first_plans.txt is missing";
    std::string want;
    for (std::string line; std::getline(file, line);)
        if (!line.empty() && line[0] != '#') want += line + "\n";
    EXPECT_EQ(got.str(), want);
}

}  // namespace
}  // namespace quorvane
