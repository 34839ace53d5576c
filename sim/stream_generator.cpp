#include "sim/stream_generator.h"

#include "sim/byte_order.h"

namespace nereid::sim {

StreamGenerator::StreamGenerator(SignalModel signal, std::vector<SkipRange> skips,
                                 std::uint32_t origin)
    : m_Signal(std::move(signal)) {
    for (SkipRange r : skips) {
        if (r.relative) {
            r.first += origin;
            r.last += origin;
            r.relative = false;
        }
        m_Skips.push_back(r);
    }
}

bool StreamGenerator::Skipped(std::uint32_t second) const {
    for (const SkipRange& r : m_Skips)
        if (second >= r.first && second <= r.last)
            return true;
    return false;
}

std::vector<std::uint8_t> StreamGenerator::Payload(std::uint16_t unit, int channel,
                                                   std::uint32_t second, int rate,
                                                   const SignalModel& signal) {
    std::vector<std::uint8_t> p(11 + 3 * static_cast<std::size_t>(rate), 0);
    PutU16(p.data(), unit);
    p[2] = static_cast<std::uint8_t>((channel - 1) & 0x0F);
    PutU32(&p[4], second);
    for (int k = 0; k < rate; ++k)
        PutU24(&p[11 + 3 * static_cast<std::size_t>(k)],
               static_cast<std::uint32_t>(signal.Sample(channel, second, k, rate)));
    return p;
}

std::vector<DataFrame> StreamGenerator::Second(const InstrumentState& state,
                                               std::uint32_t second) const {
    std::vector<DataFrame> frames;
    if (Skipped(second))
        return frames;
    for (int c = 1; c <= 16; ++c) {
        const int rate = state.StreamRate(c);
        if (rate > 0)
            frames.push_back({c, Payload(state.Identity().serial, c, second, rate, m_Signal)});
    }
    return frames;
}

} // namespace nereid::sim
