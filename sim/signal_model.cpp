#include "sim/signal_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace nereid::sim {

SignalModel::SignalModel(std::vector<double> freqs, std::vector<double> amps, int noise,
                         std::uint64_t seed)
    : m_Freqs(std::move(freqs)), m_Amps(std::move(amps)), m_Noise(noise), m_Seed(seed) {}

double SignalModel::Frequency(int channel) const {
    if (m_Freqs.empty())
        return 1.0;
    const auto i = static_cast<std::size_t>(std::max(channel, 1) - 1);
    return m_Freqs[std::min(i, m_Freqs.size() - 1)];
}

double SignalModel::Amplitude(int channel) const {
    if (m_Amps.empty())
        return 100000.0 * channel;
    const auto i = static_cast<std::size_t>(std::max(channel, 1) - 1);
    return m_Amps[std::min(i, m_Amps.size() - 1)];
}

std::uint64_t SignalModel::Mix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::int32_t SignalModel::Sample(int channel, std::uint32_t second, int index, int rate) const {
    const double f = Frequency(channel);
    const double phase = std::fmod(f * static_cast<double>(second), 1.0) +
                         f * static_cast<double>(index) / static_cast<double>(rate);
    long long value = std::llround(Amplitude(channel) * std::sin(2.0 * std::numbers::pi * phase));
    if (m_Noise > 0) {
        const std::uint64_t h =
            Mix64(m_Seed ^ (static_cast<std::uint64_t>(channel) << 56) ^
                  (static_cast<std::uint64_t>(second) << 20) ^ static_cast<std::uint64_t>(index));
        const auto span = static_cast<std::uint64_t>(2 * m_Noise + 1);
        value += static_cast<long long>(h % span) - m_Noise;
    }
    return static_cast<std::int32_t>(std::clamp(value, -8388608LL, 8388607LL));
}

} // namespace nereid::sim
