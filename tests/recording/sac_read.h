#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nereid::recording::test {

// A binary SAC file written big-endian (mseed2sac -f 4): 158 header words of 4 bytes, the
// samples as 32-bit floats after them. Header word 79 (byte 316) is NPTS.
struct SacFile {
    bool ok = false;
    std::int32_t npts = -1;
    std::vector<float> samples;
};

inline std::uint32_t SacBe32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

inline SacFile ReadSacBigEndian(const std::string& path) {
    constexpr std::size_t kHeaderBytes = 632;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SacFile sac;
    if (bytes.size() < kHeaderBytes) {
        return sac;
    }
    sac.npts = static_cast<std::int32_t>(SacBe32(bytes, 316));
    if (sac.npts < 0 || bytes.size() != kHeaderBytes + 4 * static_cast<std::size_t>(sac.npts)) {
        return sac;
    }
    for (std::int32_t i = 0; i < sac.npts; ++i) {
        const std::uint32_t word = SacBe32(bytes, kHeaderBytes + 4 * static_cast<std::size_t>(i));
        float value = 0;
        std::memcpy(&value, &word, sizeof value);
        sac.samples.push_back(value);
    }
    sac.ok = true;
    return sac;
}

} // namespace nereid::recording::test
