// The word ladder: from a start word to a goal word one letter at a time,
// every word on the way taken from a dictionary.
//
// A node is a word: a `std::string` of UTF-8 bytes. Positions are byte
// positions and a move replaces one byte by a lower-case ASCII letter, so
// every word reachable from the start has the start's byte length.
//
// Successors, in this order: for each byte position ascending, for each
// letter 'a' to 'z' ascending other than the byte already there, the word
// with that byte replaced, kept when it is valid UTF-8 and in the
// dictionary, at cost 1.0. A position inside a multi-byte character yields
// nothing (any ASCII byte there breaks the encoding); a byte that is not a
// lower-case letter is replaced like any other. The word itself is never
// among its successors.
//
// The dictionary is a randomly keyed hash set (state/keyed_hash.hpp), only
// ever asked whether it holds a candidate (exact bytes); its key and order
// never show in a result. The caller fills it before
// the search (the Python layer adds the start and the goal, which makes the
// move relation symmetric) and it is read-only during the search.
//
// The heuristic "hamming" is `count_mismatches(word, goal)` over the bytes
// (`MismatchHeuristic`, byte_state.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "domain.hpp"
#include "state/keyed_hash.hpp"

namespace quorvane {

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates
// or code points above U+10FFFF).
bool is_valid_utf8(std::string_view bytes) noexcept;

class WordLadder : public FreshSuccessors<WordLadder> {
public:
    using Node = std::string;

    void reserve(std::size_t words) { words_.reserve(words); }
    // Adds a word; a word already present is left as it is.
    void insert(const std::string& word);
    bool contains(const std::string& word) const { return words_.contains(word); }
    std::size_t size() const noexcept { return words_.size(); }

    void successors_into(const Node& word, SuccessorList<Node>& out) const;

private:
    KeyedHashSet<std::string> words_;
    // Bit c of letters_at_[i]: some word has the letter 'a' + c at byte i.
    // A candidate whose new letter is not there cannot be a word, so it is
    // never hashed: in a small dictionary that is most of them.
    std::vector<uint32_t> letters_at_;
};

}  // namespace quorvane
