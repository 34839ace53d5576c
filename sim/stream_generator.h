#pragma once

#include "sim/instrument_state.h"
#include "sim/options.h"
#include "sim/signal_model.h"

#include <cstdint>
#include <vector>

namespace nereid::sim {

// One second of one channel as a real-time data frame payload:
//   0..1 unit number (serial), 2 channel index (channel - 1) in the low nibble, 3 zero,
//   4..7 second of the first sample, 8..10 zero, 11.. n samples of 24 bits, LSB first.
struct DataFrame {
    int channel = 0;
    std::vector<std::uint8_t> payload;
};

class StreamGenerator {
public:
    // The frame type byte of every data frame; the PC treats 0..19 alike.
    static constexpr std::uint8_t kDataFrameType = 0;

    // `origin` is the start time; relative skip ranges count from it.
    StreamGenerator(SignalModel signal, std::vector<SkipRange> skips, std::uint32_t origin);

    bool Skipped(std::uint32_t second) const;
    // The frames of every fitted, enabled channel with a known rate, channels in ascending
    // order; none for a skipped second.
    std::vector<DataFrame> Second(const InstrumentState& state, std::uint32_t second) const;
    static std::vector<std::uint8_t> Payload(std::uint16_t unit, int channel, std::uint32_t second,
                                             int rate, const SignalModel& signal);

    const SignalModel& Signal() const { return m_Signal; }

private:
    SignalModel m_Signal;
    std::vector<SkipRange> m_Skips; // absolute
};

} // namespace nereid::sim
