#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace nereid::recording::test {

// SEISAN files put together column by column and byte by byte from the published layout,
// without the system's writers, so that a reader is checked against the layout itself.
struct SeisanTestChannel {
    std::string station = "ST01";
    std::string component = "S  Z";
    int sampleSize = 4;
    std::vector<std::int32_t> samples;
};

// Main header line 1 for 2003-04-03 (day 93) 12:34:00.000.
inline std::string SeisanTestMainLine(const std::string& network, int channels) {
    char l[96];
    std::snprintf(l, sizeof l, " %-29.29s%3d103 093 04 03 12 34  0.000 %9.3f", network.c_str(),
                  channels, 60.0);
    std::string s(l);
    s.resize(80, ' ');
    return s;
}

inline std::string SeisanTestChannelHeader(const SeisanTestChannel& c) {
    char h[96];
    std::snprintf(h, sizeof h, "%-4.4s %-4.4s103 093 04 03 12 34  0.000  100.00 %6d",
                  c.station.c_str(), c.component.c_str(), static_cast<int>(c.samples.size()));
    std::string s(h);
    s.resize(76, ' ');
    s += c.sampleSize == 2 ? '2' : '4';
    s.resize(1040, ' ');
    return s;
}

inline int SeisanTestHeaderLines(int channels) {
    return std::max(12, channels / 3 + 2 + (channels % 3 != 0 ? 1 : 0));
}

inline std::string SeisanTestSamples(const SeisanTestChannel& c) {
    std::string b;
    for (std::int32_t v : c.samples) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < c.sampleSize; ++i) {
            b += static_cast<char>(u >> (8 * i));
        }
    }
    return b;
}

// The Linux form: each record framed by its length as a 4-byte little-endian word before and
// after it.
inline std::string LinuxRecord(const std::string& body) {
    std::string len;
    for (int i = 0; i < 4; ++i) {
        len += static_cast<char>(static_cast<std::uint32_t>(body.size()) >> (8 * i));
    }
    return len + body + len;
}

inline std::string SeisanLinuxFile(const std::string& network,
                                   const std::vector<SeisanTestChannel>& channels) {
    const int n = static_cast<int>(channels.size());
    std::string f = LinuxRecord(SeisanTestMainLine(network, n));
    for (int i = 1; i < SeisanTestHeaderLines(n); ++i) {
        f += LinuxRecord(std::string(80, ' '));
    }
    for (const SeisanTestChannel& c : channels) {
        f += LinuxRecord(SeisanTestChannelHeader(c));
        f += LinuxRecord(SeisanTestSamples(c));
    }
    return f;
}

// The PC form: the byte "K", then every record in pieces of at most 128 bytes, each framed by
// its length byte (0x80 for full pieces) before and after it.
inline std::string PcRecord(const std::string& body) {
    std::string f;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(128, body.size() - at);
        f += static_cast<char>(n);
        f += body.substr(at, n);
        f += static_cast<char>(n);
        at += n;
    } while (at < body.size());
    return f;
}

inline std::string SeisanPcFile(const std::string& network,
                                const std::vector<SeisanTestChannel>& channels) {
    const int n = static_cast<int>(channels.size());
    std::string f = "K" + PcRecord(SeisanTestMainLine(network, n));
    for (int i = 1; i < SeisanTestHeaderLines(n); ++i) {
        f += PcRecord(std::string(80, ' '));
    }
    for (const SeisanTestChannel& c : channels) {
        f += PcRecord(SeisanTestChannelHeader(c));
        f += PcRecord(SeisanTestSamples(c));
    }
    return f;
}

} // namespace nereid::recording::test
