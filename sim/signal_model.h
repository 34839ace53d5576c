#pragma once

#include <cstdint>
#include <vector>

namespace nereid::sim {

// The known signal on each channel, so that a test can compute every sample it receives:
//   phase  = fmod(f * t, 1.0) + f * k / n
//   sample = llround(A * sin(2 * pi * phase)) + noise(seed, c, t, k)
// for channel c (1..16) with frequency f (Hz) and amplitude A (counts), second t since 1970,
// sample k (0..n-1) of a second of n samples. The sum is clamped to the 24-bit range.
// noise is 0 unless a noise amplitude N is set; then it is (h mod (2N + 1)) - N with
// h = Mix64(seed ^ (c << 56) ^ (t << 20) ^ k).
class SignalModel {
public:
    SignalModel() = default;
    // Per-channel lists; the last value repeats for the channels after it. An empty frequency
    // list means 1 Hz; an empty amplitude list means 100000 x channel number.
    SignalModel(std::vector<double> freqs, std::vector<double> amps, int noise, std::uint64_t seed);

    double Frequency(int channel) const;
    double Amplitude(int channel) const;

    std::int32_t Sample(int channel, std::uint32_t second, int index, int rate) const;

    // SplitMix64 finaliser.
    static std::uint64_t Mix64(std::uint64_t x);

private:
    std::vector<double> m_Freqs;
    std::vector<double> m_Amps;
    int m_Noise = 0;
    std::uint64_t m_Seed = 1;
};

} // namespace nereid::sim
