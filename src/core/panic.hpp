// The core's one error type.
//
// Core code throws `Panic` for a broken internal invariant and for the few
// argument checks that only the core makes (peg limits, generator
// parameters, oversized grids). Nothing in the core catches it: the
// extension module's entry guard turns it into `PanicException(message)`.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvane {

class Panic : public std::runtime_error {
public:
    explicit Panic(const std::string& message) : std::runtime_error(message) {}
    explicit Panic(const char* message) : std::runtime_error(message) {}
};

}  // namespace quorvane
