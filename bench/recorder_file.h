#pragma once

#include <fcntl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "recording/unique_fd.h"

namespace nereid::bench {

// A recorder (HLCP) file of `samples` recorder-like 24-bit samples: noise of a few thousand
// counts and one event every 10000 samples, written 3 MiB at a time so that a file of
// gigabytes needs no more memory. The benchmarks that read or translate large files share it,
// so that their figures are of the same signal. False when the file cannot be written.
inline bool WriteGeneratedRecorderFile(const std::string& path, std::uint64_t samples) {
    using recording::UniqueFd;
    using recording::WriteAll;
    std::vector<std::uint8_t> head(276);
    head[17] = 17;
    head[18] = 30;
    const std::uint32_t start = 1049383800;
    for (int i = 0; i < 4; ++i) {
        head[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(start >> (8 * i));
    }
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    if (WriteAll(fd.Get(), head.data(), head.size()) != 0) {
        return false;
    }
    std::vector<std::uint8_t> chunk(3u << 20);
    std::uint32_t x = 12345;
    for (std::uint64_t n = 0; n < samples;) {
        std::size_t used = 0;
        for (; used + 3 <= chunk.size() && n < samples; used += 3, ++n) {
            x = x * 1103515245u + 12345u;
            std::int32_t v = static_cast<std::int32_t>((x >> 16) % 4001) - 2000;
            if (n % 10000 < 1000) {
                v += static_cast<std::int32_t>((1000 - n % 10000) * 4000);
            }
            const auto u = static_cast<std::uint32_t>(v);
            chunk[used] = static_cast<std::uint8_t>(u);
            chunk[used + 1] = static_cast<std::uint8_t>(u >> 8);
            chunk[used + 2] = static_cast<std::uint8_t>(u >> 16);
        }
        if (WriteAll(fd.Get(), chunk.data(), used) != 0) {
            return false;
        }
    }
    return fd.Reset() == 0;
}

} // namespace nereid::bench
