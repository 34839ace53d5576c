#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace nereid::sim {

// Seeded faults, so that a test run repeats exactly. Each probability is 0 (off) to 1.
class FaultInjector {
public:
    FaultInjector(std::uint64_t seed, double corrupt, double drop, double garbage)
        : m_Random(seed), m_Corrupt(corrupt), m_Drop(drop), m_Garbage(garbage) {}

    bool CorruptNext() { return Chance(m_Corrupt); }
    bool DropNext() { return Chance(m_Drop); }
    // Noise bytes to put in front of the next frame: none, or 1..16 bytes that hold no frame
    // control byte (0xE0..0xE5), so the PC skips them as line noise between frames.
    std::vector<std::uint8_t> Garbage();

private:
    bool Chance(double p);

    std::mt19937_64 m_Random;
    double m_Corrupt;
    double m_Drop;
    double m_Garbage;
};

} // namespace nereid::sim
