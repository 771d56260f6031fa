// The rerun of a best-first search whose heuristic may answer NaN.
//
// A heuristic that declares no sign (a caller's callable) may answer NaN,
// and the binary heap pops a NaN priority in an order of its own that
// depends on the heap's whole history. When only h can make a priority NaN
// (g_terms_never_nan), such a search runs first on a BucketFrontier behind
// a NanStopFrontier, every answer of its heuristic kept in order by an
// AnswerLog. Without a NaN priority that run is the search. A NaN priority
// (or a log past its allowance, which answers NaN to the driver) stops it
// at its next pop, and the search runs again from nothing on the binary
// heap, its heuristic answered from the log for as long as the log lasts,
// then called again:
//   - up to the NaN push both runs pop the same sequence (without NaN any
//     correct priority queue pops it), so they make the same calls in the
//     same order; up to the stopping pop the first run ends the expansion
//     in hand, as the second one does. So the heuristic is called exactly
//     as by a run on the binary heap alone, each call once (which children
//     are evaluated depends on the table alone, never on h);
//   - only the domain's listing is done again, which has no effects on a
//     domain whose step costs are known (KnowsStepCosts).
//
// Here: `AnswerLog` (the heuristic with its answers kept, then given back),
// `NanStopFrontier` (the first run's frontier) and `kLoggedHeuristic` (which
// heuristics run behind a log). The plan (best_first_plan.hpp) routes such
// a first run to the nan_stop frontier; best_first_search makes the rerun.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "domain.hpp"
#include "state/priority_frontier.hpp"

namespace quorvane::detail {

// The heuristic `H` with its answers kept, then given back: see above.
template <class H>
class AnswerLog {
public:
    explicit AnswerLog(const H& inner) noexcept : inner_(&inner) {}

    // From now on every answer is kept.
    void keep() noexcept { mode_ = Mode::keeping; }
    // From now on the kept answers are given back in order; once they are
    // all given, H answers again and nothing is kept.
    void replay() noexcept {
        mode_ = Mode::replaying;
        read_ = 0;
        last_ = 0.0;
    }

    template <class Node>
    [[gnu::always_inline]] double operator()(const Node& node, const Node& goal) const {
        if (mode_ == Mode::calling) return (*inner_)(node, goal);
        return logged(node, goal);
    }

private:
    enum class Mode : uint8_t { calling, keeping, replaying };

    template <class Node>
    [[gnu::noinline]] double logged(const Node& node, const Node& goal) const {
        if (mode_ == Mode::replaying) {
            if (read_ < bytes_.size()) return next_kept();
            bytes_ = {};
            mode_ = Mode::calling;
        }
        const double h = (*inner_)(node, goal);
        if (mode_ == Mode::keeping) {
            append(h);
            // Past its allowance the log ends the run as a NaN answer does:
            // the driver is told NaN, the log keeps the answer.
            if (bytes_.size() > kAllowance + 2 * ++kept_)
                return std::numeric_limits<double>::quiet_NaN();
        }
        return h;
    }

    // A run may keep 2 bytes an answer, and kAllowance besides: answers
    // that keep badly (fractions, 9 bytes each) soon send the search to the
    // binary heap, where it costs no more memory than it always did.
    static constexpr std::size_t kAllowance = std::size_t{1} << 16;

    // An answer is kept as its step from the answer before when that step
    // is a whole number that gives the answer back bit for bit (never so
    // for NaN, for -0.0 after 0.0, or for a fraction): the step, zigzagged,
    // plus 1, in 7-bit groups, low group first (1 byte for a step below 64,
    // 2 below 8192). Any other answer is a 0 byte and its 8 bytes. Most
    // heuristics give whole numbers close to the one before.
    static double stepped(double from, int64_t step) noexcept {
        return from + static_cast<double>(step);
    }

    void append(double h) const {
        const double step = h - last_;
        if (step >= -0x1p52 && step <= 0x1p52) {
            const auto whole = static_cast<int64_t>(step);
            if (std::bit_cast<uint64_t>(stepped(last_, whole)) == std::bit_cast<uint64_t>(h)) {
                uint64_t code =
                    ((static_cast<uint64_t>(whole) << 1) ^ static_cast<uint64_t>(whole >> 63)) + 1;
                for (; code >= 0x80; code >>= 7)
                    bytes_.push_back(static_cast<uint8_t>(code | 0x80));
                bytes_.push_back(static_cast<uint8_t>(code));
                last_ = h;
                return;
            }
        }
        const auto raw = std::bit_cast<std::array<uint8_t, 8>>(h);
        bytes_.push_back(0);
        bytes_.insert(bytes_.end(), raw.begin(), raw.end());
        last_ = h;
    }

    double next_kept() const {
        uint64_t code = 0;
        for (unsigned shift = 0;; shift += 7) {
            const uint8_t byte = bytes_[read_++];
            code |= static_cast<uint64_t>(byte & 0x7f) << shift;
            if (byte < 0x80) break;
        }
        if (code != 0) {
            const uint64_t zigzag = code - 1;
            last_ = stepped(last_,
                            static_cast<int64_t>(zigzag >> 1) ^ -static_cast<int64_t>(zigzag & 1));
        } else {
            std::array<uint8_t, 8> raw;
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(read_), raw.size(),
                        raw.begin());
            read_ += raw.size();
            last_ = std::bit_cast<double>(raw);
        }
        return last_;
    }

    const H* inner_;
    mutable std::vector<uint8_t> bytes_;
    mutable std::size_t kept_ = 0;  // keeping: the answers kept
    mutable std::size_t read_ = 0;  // replaying: the bytes given back
    mutable double last_ = 0.0;     // the answer last kept, or last given back
    mutable Mode mode_ = Mode::calling;
};

template <class H>
inline constexpr bool kIsAnswerLog = false;
template <class H>
inline constexpr bool kIsAnswerLog<AnswerLog<H>> = true;

// Whether best_first_search runs the heuristic H through an AnswerLog: it
// does not declare itself non-negative, so it may answer NaN, and the
// domain's step costs are known, so only h can make a priority NaN and
// listing a node again has no effects.
template <class H, class D>
inline constexpr bool kLoggedHeuristic = !NonNegativeHeuristic<H> && KnowsStepCosts<D>;

// A frontier that may stop a search: saw_nan() after its last pop says
// whether it did (NanStopFrontier).
template <class F>
concept StopsOnNan = requires(const F& f) {
    { f.saw_nan() } -> std::same_as<bool>;
};

// `Frontier` until the first NaN priority: that push and every later one
// are dropped, and the next pop finds the frontier empty.
template <class Frontier>
class NanStopFrontier {
public:
    template <class Item>
    [[gnu::always_inline]] void push(Item&& item, double f) {
        if (f != f) [[unlikely]]
            saw_nan_ = true;
        if (!saw_nan_) inner_.push(std::forward<Item>(item), f);
    }

    auto pop() -> decltype(std::declval<Frontier&>().pop()) {
        if (saw_nan_) return std::nullopt;
        return inner_.pop();
    }

    auto peek_hint() const
        requires PeeksNext<Frontier>
    {
        return inner_.peek_hint();
    }

    std::size_t size() const noexcept { return inner_.size(); }
    bool saw_nan() const noexcept { return saw_nan_; }

private:
    Frontier inner_;
    bool saw_nan_ = false;
};

}  // namespace quorvane::detail
