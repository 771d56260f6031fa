// The core's one error type.
//
// Core code throws `Panic` for a broken internal invariant and for the few
// argument checks that only the core makes (peg limits, generator
// parameters, oversized grids). Nothing in the core catches it: the
// extension module's entry guard turns it into `PanicException(message)`.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace quorvane {

class Panic : public std::runtime_error {
public:
    explicit Panic(const std::string& message) : std::runtime_error(message) {}
    explicit Panic(const char* message) : std::runtime_error(message) {}
};

// Panic "index out of bounds: the len is {len} but the index is {index}",
// for a state read past its end. Out of line, so that the hot paths that
// check an index carry no message-building code.
[[noreturn]] void panic_index_out_of_bounds(std::size_t len, std::size_t index);

}  // namespace quorvane
