#pragma once

#include <cstdint>
#include <vector>

namespace nereid::instrument {

// One entry of a sample-rate list shown to the operator.
struct RateChoice {
    int samplesPerSecond = 0;
    std::uint8_t code = 0;
};

// The 13 rates every model offers (10 .. 1000 samples/s), in list order.
const std::vector<RateChoice>& StandardRateList();
// The 25 rates of the eight-channel page for model code 3 (1 .. 1000 samples/s), ascending.
const std::vector<RateChoice>& ExtendedRateList();

// Position of `code` in `list`, or -1 when the list does not hold it (the combo box is then
// left without a selection).
int RatePositionOfCode(const std::vector<RateChoice>& list, std::uint8_t code);
// Position of `samplesPerSecond` in `list`, or -1.
int RatePositionOfRate(const std::vector<RateChoice>& list, int samplesPerSecond);
// The code whose samples/s equal `samplesPerSecond` in the recorder's whole rate-code table,
// or 0 when no code has that rate.
std::uint8_t RateCodeOfSamplesPerSecond(int samplesPerSecond);

// The secondary rates offered for a primary rate: every whole quotient primary/d for
// d = 2..10, in that order (100 gives 50, 25, 20, 10). Empty for a primary of 0.
std::vector<int> SecondaryRates(int primary);

} // namespace nereid::instrument
