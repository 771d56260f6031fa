// The message of the Panic a call throws, so that a test asserts the fixed
// text whole; a call that throws no Panic gives "<no panic>", which no
// expected message equals.
#pragma once

#include <string>

#include "panic.hpp"

namespace quorvane {

inline std::string panic_message(auto&& fn) {
    try {
        fn();
    } catch (const Panic& p) {
        return p.what();
    }
    return "<no panic>";
}

}  // namespace quorvane
