#include "puzzles/word_ladder.hpp"

#include <array>
#include <bit>
#include <cstdint>

namespace quorvane {

bool is_valid_utf8(std::string_view bytes) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;  // no overlong forms
            if (c == 0xED) hi = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;  // no overlong forms
            if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (n - i < len) return false;
        if (p[i + 1] < lo || p[i + 1] > hi) return false;
        for (std::size_t k = 2; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

void WordLadder::insert(const std::string& word) {
    if (letters_at_.size() < word.size()) letters_at_.resize(word.size(), 0);
    for (std::size_t i = 0; i < word.size(); ++i) {
        const auto letter = static_cast<unsigned>(static_cast<unsigned char>(word[i]) - 'a');
        if (letter < 26) letters_at_[i] |= uint32_t{1} << letter;
    }
    words_.insert(word);
}

void WordLadder::successors_into(const Node& word, SuccessorList<Node>& out) const {
    if (words_.empty()) return;
    // In a valid word an ASCII byte can be replaced by another without
    // touching the encoding, and a byte of a multi-byte character never can;
    // only an invalid word needs each candidate checked whole.
    const bool valid = is_valid_utf8(word);
    std::string candidate = word;
    for (std::size_t i = 0; i < candidate.size(); ++i) {
        const char original = candidate[i];
        if (valid && static_cast<unsigned char>(original) >= 0x80) continue;
        // The letters some word has at this byte, then their lookups in two
        // passes: every candidate hashed and its slot asked for, then each
        // looked up. In a big dictionary each lookup misses the cache; this
        // way the misses of a position overlap instead of coming one by one.
        uint32_t possible = i < letters_at_.size() ? letters_at_[i] : 0;
        const auto own = static_cast<unsigned>(static_cast<unsigned char>(original) - 'a');
        if (own < 26) possible &= ~(uint32_t{1} << own);
        uint32_t letters = 0;
        std::array<std::size_t, 26> hashes;
        for (; possible != 0; possible &= possible - 1) {
            const int k = std::countr_zero(possible);
            const char c = static_cast<char>('a' + k);
            candidate[i] = c;
            if (!valid && !is_valid_utf8(candidate)) continue;
            const std::size_t h = words_.hash(candidate);
            words_.prefetch(h);
            hashes[k] = h;
            letters |= uint32_t{1} << k;
        }
        for (; letters != 0; letters &= letters - 1) {
            const int k = std::countr_zero(letters);
            candidate[i] = static_cast<char>('a' + k);
            if (words_.contains_hashed(candidate, hashes[k])) out.emplace_back(candidate, 1.0);
        }
        candidate[i] = original;
    }
}

}  // namespace quorvane
