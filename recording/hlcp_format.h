#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "recording/rate_codes.h"

namespace nereid::recording {

// HLCP file recorded by the instrument: a 276-byte header, then 24-bit two's-complement
// samples, least significant byte first, to the end of the file.
//
//   offset width  field
//      0    12    file name text (the DADiSP dataset name of a translation)
//     14     2    channel word: low byte = channel index 0..15 (8..15 the second set)
//     17     1    format code, 17 for this format
//     18     1    sample-rate code (RateOfCode)
//     20     4    start second since 1970
//     32     4    latitude x 100000, signed
//     36     4    longitude x 100000, signed
//     40     4    elevation, signed
//    272     4    station name
// The other bytes are carried only by the HLCP form (a plain copy).

constexpr std::size_t kHlcpHeaderSize = 276;
constexpr std::uint8_t kHlcpFormatCode = 17;

struct HlcpHeader {
    std::string name;     // up to 12 characters, cut at the first NUL
    int channelIndex = 0; // 0..15
    int rateCode = 0;
    int rate = 10;
    std::uint32_t startSecond = 0;
    std::int32_t latitude = 0;
    std::int32_t longitude = 0;
    std::int32_t elevation = 0;
    std::string station; // up to 4 characters, cut at the first NUL
};

// " c1p" .. " c8p" for channel indices 0..7, " c1s" .. " c8s" for 8..15.
std::string ComponentOf(int channelIndex);

// False when the header is shorter than 276 bytes or its format code is not 17.
bool ParseHlcpHeader(const std::uint8_t* data, std::size_t size, HlcpHeader& header);

} // namespace nereid::recording
