#pragma once

#include <cstdint>
#include <string>

namespace nereid::recording {

// ASCII listing of a translated file:
//   line 1   "StaNm Cha yr doy mm dd hh mm second SamplRt #Smpls latitude longitude alt__"
//   line 2   station(4) component(" c1p") yr "%.2d" doy "%.3d" mm dd hh mm "%.2d"
//            second "%06.3f" rate "%7.2f" samples "%6d" latitude "%8.4f" longitude "%9.4f"
//            elevation "%.5d", each followed by one space
//   lines 3-5  80 spaces
//   then one line per sample, the value in decimal. Every line ends with CR LF.
struct AsciiHeader {
    std::string station;
    std::string component;
    std::uint32_t startSecond = 0;
    int rate = 0;
    std::uint64_t sampleCount = 0;
    std::int32_t latitude = 0;  // degrees x 100000
    std::int32_t longitude = 0; // degrees x 100000
    std::int32_t elevation = 0;
};

std::string BuildAsciiHeader(const AsciiHeader& header);

} // namespace nereid::recording
