#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::instrument {

// Whether a model's calibrator offers the pseudo-random binary signal (models 2 and 3).
bool HasPseudoRandomSignal(int modelCode);

// The "Cal Signal" list of a model, in list order.
std::vector<std::string> CalSignalNames(int modelCode);

// The signal code of list position `position`: the immediate code, with bit 7 set for a
// scheduled run. Returns -1 for a position outside the model's list.
int EncodeCalSignal(int position, int modelCode, bool scheduled);

// The list position of a signal code the recorder reported, or -1 when the code is not one of
// this model's signals (the list then selects nothing). A scheduled code is read without its
// bit 7 as well, so a run the recorder reports without that bit still shows its signal.
int DecodeCalSignal(std::uint8_t code, int modelCode, bool scheduled);

} // namespace nereid::instrument
