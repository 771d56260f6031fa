#include "panic.hpp"

namespace quorvane {

void panic_index_out_of_bounds(std::size_t len, std::size_t index) {
    throw Panic("index out of bounds: the len is " + std::to_string(len) + " but the index is " +
                std::to_string(index));
}

}  // namespace quorvane
