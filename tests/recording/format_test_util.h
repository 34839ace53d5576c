#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nereid::recording::test {

// A private temporary folder, removed with its contents at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "nereid-fmt-XXXXXX");
        char* made = ::mkdtemp(pattern.data());
        m_path = made != nullptr ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string ReadText(const std::string& path) {
    const std::vector<std::uint8_t> b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

inline void WriteBytes(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteBytes(path, bytes.data(), bytes.size());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes.data(), bytes.size());
}

// An instrument (HLCP) file built byte by byte from the header layout, independent of the
// translator's parser.
struct HlcpPlan {
    std::string name = "D1345A.HLC";
    int channelIndex = 0;
    int rateCode = 30;                // 100 samples/s
    std::uint32_t start = 1049383800; // 2003-04-03 15:30:00 UTC, day 93
    std::int32_t latitude = 1234560;
    std::int32_t longitude = -4567890;
    std::int32_t elevation = 123;
    std::string station = "ABCD";
    std::vector<std::int32_t> samples;
};

inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

inline std::vector<std::uint8_t> MakeHlcp(const HlcpPlan& s) {
    std::vector<std::uint8_t> b(276, 0);
    for (std::size_t i = 0; i < s.name.size() && i < 12; ++i) {
        b[i] = static_cast<std::uint8_t>(s.name[i]);
    }
    b[12] = 0x5A; // bytes the translation ignores; HLCP copies keep them
    b[14] = static_cast<std::uint8_t>(s.channelIndex);
    b[15] = 0x01;
    b[17] = 17;
    b[18] = static_cast<std::uint8_t>(s.rateCode);
    Put32(b, 20, s.start);
    Put32(b, 32, static_cast<std::uint32_t>(s.latitude));
    Put32(b, 36, static_cast<std::uint32_t>(s.longitude));
    Put32(b, 40, static_cast<std::uint32_t>(s.elevation));
    b[100] = 0xEE;
    for (std::size_t i = 0; i < s.station.size() && i < 4; ++i) {
        b[272 + i] = static_cast<std::uint8_t>(s.station[i]);
    }
    for (std::int32_t v : s.samples) {
        const auto u = static_cast<std::uint32_t>(v);
        b.push_back(static_cast<std::uint8_t>(u));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
        b.push_back(static_cast<std::uint8_t>(u >> 16));
    }
    return b;
}

// Little-endian i4 bytes of the samples.
inline std::vector<std::uint8_t> I4(const std::vector<std::int32_t>& samples) {
    std::vector<std::uint8_t> b;
    for (std::int32_t v : samples) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) {
            b.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
        }
    }
    return b;
}

// A ramp with sign changes and the 24-bit extremes.
inline std::vector<std::int32_t> TestSamples(std::size_t n) {
    std::vector<std::int32_t> s(n);
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<std::int32_t>((i * 7919) % 16777216) - 8388608;
    }
    if (n > 0) {
        s[0] = 8388607;
    }
    if (n > 1) {
        s[1] = -8388608;
    }
    return s;
}

} // namespace nereid::recording::test
