// The per-thread key source of the randomly keyed sets.
#include "state/keyed_hash.hpp"

#include <cerrno>
#include <cstring>
#include <exception>
#include <random>

#if defined(__linux__)
#include <sys/random.h>
#endif

#include "panic.hpp"

namespace quorvane {

namespace {

// 16 bytes from the operating system: getrandom(2) on Linux, the standard
// library's OS-backed device elsewhere (and where getrandom is missing).
SipKey read_os_key() {
    uint64_t words[2] = {0, 0};
#if defined(__linux__)
    auto* bytes = reinterpret_cast<unsigned char*>(words);
    std::size_t got = 0;
    while (got < sizeof words) {
        const ssize_t r = getrandom(bytes + got, sizeof words - got, 0);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    if (got == sizeof words) return SipKey{words[0], words[1]};
#endif
    try {
        std::random_device device;
        for (auto& w : words) {
            w = (static_cast<uint64_t>(device()) << 32) | device();
        }
    } catch (const std::exception&) {
        throw Panic("could not read the operating system's random source");
    }
    return SipKey{words[0], words[1]};
}

struct ThreadKeys {
    bool ready = false;
    SipKey next;
};

thread_local ThreadKeys t_keys;

}  // namespace

SipKey fresh_sip_key() {
    if (!t_keys.ready) {
        t_keys.next = read_os_key();
        t_keys.ready = true;
    }
    const SipKey key = t_keys.next;
    ++t_keys.next.k0;
    return key;
}

}  // namespace quorvane
