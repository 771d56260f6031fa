// The run routine every search function ends with: from a domain, its start
// and goal and the converted search tail to a `SearchResult`. A function's
// own run routine makes its checks, builds the domain and hands over here.
//
// The road of a call, after the function's own checks:
//
//   heuristic's type      parse_heuristic, lock held: None takes the
//                         table's default name, a str is a name, a callable
//                         is called, anything else is a ValueError;
//   a name                the lock is released; the name is looked up in the
//                         domain's table (its own unknown-name message), then
//                         the algorithm name, then "'dls' requires
//                         depth_limit"; the driver runs with the heuristic
//                         value of that name; the lock is taken back and the
//                         outcome converted;
//   a callable            search_with_callable: the lock stays held; the
//                         algorithm name and the depth limit of "dls" are
//                         checked before any call, the driver runs, then a
//                         parked callback error is raised or the outcome
//                         converted.
//
// A domain's heuristic table is a small type in its run file:
//
//   struct HanoiHeuristics {
//       enum class Kind : uint8_t { misplaced, zero };
//       static constexpr HeuristicNames<Kind, 2> kNames{
//           .default_name = "misplaced",
//           .rows = {{{"misplaced", Kind::misplaced}, {"zero", Kind::zero}}},
//           .unknown_prefix = "unknown hanoi heuristic: '",
//           .unknown_suffix = "'. Use misplaced, zero, or a callable",
//       };
//       // Calls f once with the heuristic value of `kind` for this search.
//       template <class F>
//       static decltype(auto) with_kind(Kind kind, const Hanoi&, const ByteState& goal, F&& f);
//   };
//
// `with_kind` is handed the domain and the goal for the values that are
// prepared for them (the N-puzzle's Manhattan distance); it builds the value
// before f hands start and goal over to the driver.
//
// Adding a search function over a new domain: copy run_hanoi.cpp and write
// its checks, heuristic table, signature and binder; declare the entry point
// in functions.hpp and list it, with its docstring, in module.cpp. A node
// type of a new form also needs its Python form (search_result.hpp
// `node_to_py`) and its hash feed (state/fx_hash.hpp).
#pragma once

#include <utility>

#include "args.hpp"
#include "callbacks.hpp"
#include "domain.hpp"
#include "py.hpp"
#include "search_result.hpp"
#include "selection.hpp"
#include "state/outcome.hpp"

namespace quorvane::py {

// The callable branch: selects the driver by the tail's algorithm (the
// same table, parameters and messages as a named heuristic) and runs it with
// `callable` as heuristic, h(node, goal) with nodes in their result form,
// the interpreter lock held throughout. `slot` is the search's error slot,
// shared with the domain when the domain calls Python itself (an implicit
// graph). Takes over start, goal and the callable reference.
template <Domain D, class Bidirectional = ReversibleBidirectional>
PyRef search_with_callable(CallbackErrorSlot& slot, const D& domain, typename D::Node start,
                           typename D::Node goal, PyRef callable, const SearchTail& tail,
                           Bidirectional&& bidirectional = {}) {
    const SearchOptions options = search_options(tail);
    SearchOutcome<typename D::Node> outcome;
    {
        // Released when the driver returns, before the outcome is converted.
        const CallableHeuristic heuristic{CallbackContext(slot, std::move(callable))};
        outcome =
            dispatch_algorithm(domain, std::move(start), std::move(goal), tail.algorithm, heuristic,
                               tail.record, options, std::forward<Bidirectional>(bidirectional));
    }
    slot.raise_taken();
    return make_search_result(std::move(outcome));
}

// As above, for a domain that calls no Python: the search's slot is its own.
template <Domain D, class Bidirectional = ReversibleBidirectional>
PyRef search_with_callable(const D& domain, typename D::Node start, typename D::Node goal,
                           PyRef callable, const SearchTail& tail,
                           Bidirectional&& bidirectional = {}) {
    CallbackErrorSlot slot;
    return search_with_callable(slot, domain, std::move(start), std::move(goal),
                                std::move(callable), tail,
                                std::forward<Bidirectional>(bidirectional));
}

// The whole road above, with the heuristic table `Heuristics`. Takes over
// start and goal, and the tail's heuristic.
template <class Heuristics, Domain D, class Bidirectional = ReversibleBidirectional>
PyRef run_search(const D& domain, typename D::Node start, typename D::Node goal, SearchTail& tail,
                 Bidirectional&& bidirectional = {}) {
    HeuristicSpec choice =
        parse_heuristic(std::move(tail.heuristic), Heuristics::kNames.default_name);
    if (!choice.is_name()) {
        return search_with_callable(domain, std::move(start), std::move(goal),
                                    std::move(choice.callable), tail, bidirectional);
    }
    const SearchOptions options = search_options(tail);
    SearchOutcome<typename D::Node> outcome = without_gil([&] {
        const auto kind = Heuristics::kNames.parse(choice.name);
        return Heuristics::with_kind(kind, domain, goal, [&](const auto& heuristic) {
            return dispatch_algorithm(domain, std::move(start), std::move(goal), tail.algorithm,
                                      heuristic, tail.record, options, bidirectional);
        });
    });
    return make_search_result(std::move(outcome));
}

}  // namespace quorvane::py
