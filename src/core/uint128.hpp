// `uint128`: the core's one name for the unsigned 128-bit integer of GCC and
// Clang. The core uses it where a 64-bit word is too narrow and only exact
// integer arithmetic will do: the full 64 x 64-bit product (the Fx byte fold,
// the random stream's range draws, the generators' overflow-checked counts)
// and the best-first heap's (priority key, push number) pairs compared as one
// number. `__extension__` keeps -Wpedantic quiet about the non-standard type.
#pragma once

namespace quorvane {

__extension__ using uint128 = unsigned __int128;

}  // namespace quorvane
