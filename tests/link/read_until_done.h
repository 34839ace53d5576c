#pragma once

#include <chrono>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace nereid::link::test {

// Reads what `fd` gives until `done` says the bytes so far are enough, or `ms` have passed.
template <typename Done> std::string ReadUntilDone(int fd, Done done, int ms) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done(got) && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return got;
}

} // namespace nereid::link::test
