#pragma once

#include "sim/signal_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::sim {

// One recording the simulated recorder keeps on a drive: a 276-byte header and 24-bit samples
// (least significant byte first) of one channel from `startTime` on.
struct HlcpFilePlan {
    char kind = 'D';      // D, W, E or C
    int channelIndex = 0; // 0..15; channel number = index + 1
    std::uint8_t rateCode = 30;
    std::uint32_t startTime = 0;
    std::uint32_t seconds = 60;
    int sequence = 1; // 1..999, tells files of one channel apart
    std::uint16_t serial = 1234;
    std::string station = "SIM1";
};

constexpr std::size_t kHlcpHeaderBytes = 276;

// File name "KCNNNSSS.DDD": kind, channel character ('1'..'8' for indices 0..7, 'A'..'H' for
// 8..15), last three digits of the serial number, three-digit sequence, and day of year of the
// start time as extension. Only digits and the kind letter, so the name never holds an 'S' or
// a 'T' (the PC keeps such files unconverted).
std::string HlcpFileName(const HlcpFilePlan& plan);

// The whole file. Samples follow `signal` at the plan's rate.
std::vector<std::uint8_t> BuildHlcpFile(const HlcpFilePlan& plan, const SignalModel& signal);

// Fills `folder` with a few recordings of different channels and rates, one of them in the
// subfolder "DAY<doy>". Returns 1, or -1 with the reason in `why`.
int GenerateRecordings(const std::string& folder, std::uint32_t startTime, std::uint16_t serial,
                       const std::string& station, const SignalModel& signal, std::string& why);

} // namespace nereid::sim
