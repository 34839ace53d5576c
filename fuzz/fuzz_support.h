#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Shared by the libFuzzer harnesses. A broken invariant aborts with a message, so libFuzzer
// saves the input as a crash just as it does for a sanitizer report.
namespace nereid::fuzz {

[[noreturn]] inline void Broken(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

#define NEREID_FUZZ_CHECK(condition)                                                               \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::nereid::fuzz::Broken(__FILE__, __LINE__, #condition);                                \
    } while (0)

// A copy of the input on the heap of exactly its size, so that AddressSanitizer sees any
// read past its end (libFuzzer's own buffer may be followed by readable memory).
inline std::vector<std::uint8_t> ExactCopy(const std::uint8_t* data, std::size_t size) {
    return std::vector<std::uint8_t>(data, data + size);
}

// One private folder per harness process, emptied by the caller between runs.
const std::string& ScratchFolder();
// Removes every entry of ScratchFolder().
void ClearScratchFolder();
void WriteFileBytes(const std::string& path, const std::uint8_t* data, std::size_t size);
std::string ReadFileBytes(const std::string& path);

} // namespace nereid::fuzz
