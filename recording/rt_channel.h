#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nereid::recording {

// Rows kept per channel: the last 120 seconds, one row per second.
constexpr int kRingRows = 120;

// One enabled channel of the real-time stream: its 120-second ring and the recorder's settings
// for it. Owned by the channel table; the receiver thread writes ring, slot and lastSecond, the
// displays read the ring without locking, the recorder reads the rest.
struct RtChannel {
    std::int32_t rate = 0;        // samples per second, from the configuration
    std::uint32_t lastSecond = 0; // second (since 1970) of the latest frame stored; 0 before it
    // kRingRows x rate samples; row r (0..119) starts at element r x rate.
    std::vector<std::int32_t> ring;
    bool recordEnable = false; // written by the recorder; default on for channels 1 to 4
    std::string fileName;      // default "DChan%i.dat"; the recorder overwrites it
    std::string directory;     // output folder; default the current directory at build time
    std::string comments;      // recording comment; at most 80 characters are used
    std::int32_t slot = 0;     // ring row (0..119) of the latest second
    // Second (since 1970) each row holds, 0 while it holds none. After a clock jump the rows
    // before the jump keep their own seconds, so a reader can tell them from the new ones.
    std::array<std::uint32_t, kRingRows> rowSecond{};
    // 1 for a row filled with zeros for a second that never arrived.
    std::array<std::uint8_t, kRingRows> rowGap{};

    std::int32_t* Row(int row) { return ring.data() + static_cast<std::size_t>(row) * rate; }
    const std::int32_t* Row(int row) const {
        return ring.data() + static_cast<std::size_t>(row) * rate;
    }
};

} // namespace nereid::recording
