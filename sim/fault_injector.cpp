#include "sim/fault_injector.h"

namespace nereid::sim {

bool FaultInjector::Chance(double p) {
    if (p <= 0.0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_Random) < p;
}

std::vector<std::uint8_t> FaultInjector::Garbage() {
    std::vector<std::uint8_t> bytes;
    if (!Chance(m_Garbage))
        return bytes;
    const int n = std::uniform_int_distribution<int>(1, 16)(m_Random);
    std::uniform_int_distribution<int> any(0, 255 - 6);
    for (int i = 0; i < n; ++i) {
        int b = any(m_Random);
        if (b >= 0xE0)
            b += 6; // skip 0xE0..0xE5
        bytes.push_back(static_cast<std::uint8_t>(b));
    }
    return bytes;
}

} // namespace nereid::sim
