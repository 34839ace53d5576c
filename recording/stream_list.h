#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/rate_codes.h"

namespace nereid::recording {

// One data stream the instrument may send: channel c (1..16) has the number text "c".
struct StreamEntry {
    std::string number;      // decimal channel number, "1".."16"
    std::string description; // second text shown beside the number (set by the main frame)
    bool enabled = false;
    int rate = 0; // samples per second; 0 while unknown
};

// The streams of one connection: primary streams 1..n and secondary streams 9..8+n.
class CStreamList {
public:
    // Rebuilds the list for stream count n (1, 3 or 6 from the hardware answer; any other
    // value 1..8 is taken as it is, values outside are clamped). Streams start disabled.
    void SetStreams(int count);

    // Takes the enables and rates of a configuration: bit c-1 of enableMask enables channel c;
    // rateCodes[c-1] is the rate code of channel c. Unknown codes leave a stream's rate as it is.
    void ApplyConfiguration(std::uint16_t enableMask, const std::uint8_t (&rateCodes)[16]);
    // Same, with the codes as a decoded configuration record holds them.
    void ApplyConfiguration(std::uint16_t enableMask,
                            const std::array<std::uint8_t, 16>& rateCodes);

    // Same, from a decoded configuration answer ('R') payload: enable mask at offset 13, rate
    // codes at 15..30. Returns 1, or 0 (and changes nothing) when the payload is shorter.
    int ApplyConfigurationAnswer(const std::uint8_t* payload, std::size_t length);

    const std::vector<StreamEntry>& Streams() const { return m_Streams; }
    std::vector<StreamEntry>& Streams() { return m_Streams; }

private:
    std::vector<StreamEntry> m_Streams;
};

} // namespace nereid::recording
