#pragma once

#include <cstdint>

namespace nereid::recording {

// Samples per second of a sample-rate code, as the configuration and the recorder's files
// carry it; 0 for 0 and every unlisted code.
int SamplesPerSecondFromRateCode(std::uint8_t code);

// The rate of a recorder file's rate code: as above, but 10 samples/s for an unlisted code.
int RateOfCode(int code);

} // namespace nereid::recording
