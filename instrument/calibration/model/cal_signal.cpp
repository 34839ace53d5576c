#include "instrument/calibration/model/cal_signal.h"

namespace nereid::instrument {

namespace {

constexpr std::uint8_t kScheduledBit = 0x80;

} // namespace

bool HasPseudoRandomSignal(int modelCode) {
    return modelCode == 2 || modelCode == 3;
}

std::vector<std::string> CalSignalNames(int modelCode) {
    std::vector<std::string> names{"Sine", "Noise", "Pulse", "Random Pulse"};
    if (HasPseudoRandomSignal(modelCode)) {
        names.emplace_back("Pseudo Random Binary");
    }
    names.emplace_back("Shorted Input");
    names.emplace_back("Digital Output");
    return names;
}

int EncodeCalSignal(int position, int modelCode, bool scheduled) {
    const bool prbs = HasPseudoRandomSignal(modelCode);
    const int count = prbs ? 7 : 6;
    if (position < 0 || position >= count) {
        return -1;
    }
    // The codes 5..7 are not signals; the last two entries are codes 8 and 9.
    int code = position;
    if (position >= count - 2) {
        code = position + (prbs ? 3 : 4);
    }
    return scheduled ? code | kScheduledBit : code;
}

int DecodeCalSignal(std::uint8_t code, int modelCode, bool scheduled) {
    if (!scheduled && (code & kScheduledBit) != 0) {
        return -1; // an immediate run never carries the scheduled bit
    }
    const int base = code & ~kScheduledBit;
    const int position = base > 7 ? base - (HasPseudoRandomSignal(modelCode) ? 3 : 4) : base;
    // Codes the model does not have (4 without the pseudo-random signal, 5..7, above 9) would
    // otherwise land on a neighbouring entry.
    if (EncodeCalSignal(position, modelCode, false) != base) {
        return -1;
    }
    return position;
}

} // namespace nereid::instrument
