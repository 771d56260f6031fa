// search_wordladder: lower-case the end words and the dictionary, build the
// word ladder, then search (run_search.hpp).
//
// Check order: binding and conversion; the lower-cased start and goal of
// equal UTF-8 byte length; the heuristic's type; the heuristic name; the
// algorithm name and the depth limit of "dls". A search with a named
// heuristic runs with the interpreter lock released; a callable heuristic,
// h(word, goal) with two str, keeps it held. The word list is never
// refused: repeats, case variants and words of other lengths are all
// accepted (the last can never be on a path, since a move keeps the byte
// length).
//
// Lower-casing is Python's own `str.lower` on a plain `str` built from the
// text: the full Unicode lower-case mapping without locale, so a character
// may become several (U+0130 becomes "i" + U+0307) and a capital sigma ending
// a word becomes the final sigma. Building a plain `str` first means a `str`
// subclass with its own `lower` changes nothing. Pure-ASCII text, by far the
// common case, is lower-cased here directly, with the same result.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "args.hpp"
#include "functions.hpp"
#include "puzzles/byte_state.hpp"
#include "puzzles/word_ladder.hpp"
#include "py.hpp"
#include "run_search.hpp"

namespace quorvane::py {

// ---------------------------------------------------------------------------
// search_wordladder(start, goal, words, algorithm="astar", heuristic=None,
//                   record=True, weight=2.0, beam_width=None,
//                   depth_limit=None, max_nodes=None, reopen=False)

namespace {

struct WordLadderHeuristics {
    enum class Kind : uint8_t { hamming, zero };

    static constexpr HeuristicNames<Kind, 2> kNames{
        .default_name = "hamming",
        .rows = {{{"hamming", Kind::hamming}, {"zero", Kind::zero}}},
        .unknown_prefix = "unknown wordladder heuristic: '",
        .unknown_suffix = "'. Use hamming, zero, or a callable",
    };

    template <class F>
    static decltype(auto) with_kind(Kind kind, const WordLadder&, const std::string&, F&& f) {
        switch (kind) {
            case Kind::hamming: return f(MismatchHeuristic{});
            default: return f(ZeroHeuristic{});
        }
    }
};

constexpr const char* kSearchWordladderParams[] = {
    "start",  "goal",       "words",       "algorithm", "heuristic", "record",
    "weight", "beam_width", "depth_limit", "max_nodes", "reopen",
};
constexpr Signature kSearchWordladder{"search_wordladder", kSearchWordladderParams, 3};

struct SearchWordladderArgs {
    std::string start;
    std::string goal;
    std::vector<std::string> words;
    SearchTail tail;
};

SearchWordladderArgs bind_search_wordladder(PyObject* args, PyObject* kwargs) {
    const BoundArgs a = bind(kSearchWordladder, args, kwargs);
    return {a.convert(0, to_text), a.convert(1, to_text), a.convert(2, sequence_of(to_text)),
            convert_search_tail(a, {.algorithm_at = 3})};
}

// Needs the interpreter lock. `text` is UTF-8 as copied out of a `str`.
std::string lower_case(std::string text) {
    bool ascii = true;
    for (char& c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (ascii) return text;
    PyRef plain =
        checked(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
    PyRef lowered = checked(PyObject_CallMethod(plain.get(), "lower", nullptr));
    return to_text(lowered.get());
}

// Every word of the list, lower-cased, then the two end words (already
// lower-cased, so they go in as they are). A move keeps the byte length, so
// only words of the start's byte length can ever be asked for: the others
// are left out of the dictionary, which a list of words of every length
// would otherwise fill many times over. The list is consumed.
WordLadder build_dictionary(std::vector<std::string> words, const std::string& start,
                            const std::string& goal) {
    std::size_t kept = 0;
    for (std::string& word : words) {
        word = lower_case(std::move(word));
        if (word.size() == start.size()) ++kept;
    }
    WordLadder ladder;
    ladder.reserve(kept + 2);
    for (std::string& word : words) {
        if (word.size() == start.size()) ladder.insert(word);
        word = std::string();
    }
    ladder.insert(start);
    ladder.insert(goal);
    return ladder;
}

PyRef run_search_wordladder(SearchWordladderArgs a) {
    std::string start = lower_case(std::move(a.start));
    std::string goal = lower_case(std::move(a.goal));
    if (start.size() != goal.size()) throw value_error("start and goal must have the same length");
    const WordLadder ladder = build_dictionary(std::move(a.words), start, goal);
    return run_search<WordLadderHeuristics>(ladder, std::move(start), std::move(goal), a.tail);
}

}  // namespace

PyObject* search_wordladder(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return guarded([&] { return run_search_wordladder(bind_search_wordladder(args, kwargs)); });
}

}  // namespace quorvane::py
