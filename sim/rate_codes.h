#pragma once

#include <cstdint>

namespace nereid::sim {

// Samples per second of a configuration sample-rate code; 0 for 0 and every unlisted code.
int SamplesPerSecond(std::uint8_t code);

// The code of a rate in samples per second; 0 when the recorder has no such rate.
std::uint8_t RateCode(int samplesPerSecond);

} // namespace nereid::sim
