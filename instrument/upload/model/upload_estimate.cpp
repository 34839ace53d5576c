#include "instrument/upload/model/upload_estimate.h"

#include <algorithm>
#include <cstdio>

namespace nereid::instrument {

int CTimeLeftEstimate::WindowFor(std::uint32_t baud) {
    return static_cast<int>(std::clamp<std::uint32_t>(baud / 2400, 4, 10));
}

void CTimeLeftEstimate::Start(std::uint64_t totalBlocks, std::uint32_t baud) {
    *this = CTimeLeftEstimate();
    m_TotalBlocks = totalBlocks;
    m_Window = WindowFor(baud);
}

bool CTimeLeftEstimate::Block(std::int64_t nowMs) {
    if (!m_HaveEstimate) {
        if (m_Counted == 0) {
            m_StartMs = nowMs;
        }
        if (++m_Counted < m_Window) {
            return false;
        }
        m_ElapsedMs = std::max<std::int64_t>(1, nowMs - m_StartMs);
        const std::int64_t rest =
            m_TotalBlocks > static_cast<std::uint64_t>(m_Window)
                ? static_cast<std::int64_t>(m_TotalBlocks - static_cast<std::uint64_t>(m_Window))
                : 0;
        // Multiplied before the division, so that a window of 4 blocks does not round
        // the remaining blocks down to whole windows.
        m_EstimateMs = rest * m_ElapsedMs / m_Window;
        m_Countdown = m_Window;
        m_HaveEstimate = true;
        return false;
    }
    if (--m_Countdown > 1) {
        return false;
    }
    m_Countdown = m_Window;
    m_EstimateMs = std::max<std::int64_t>(1000, m_EstimateMs - m_ElapsedMs);
    const std::int64_t minutes = m_EstimateMs / 60000;
    const std::int64_t seconds = m_EstimateMs / 1000 - 60 * minutes;
    char text[64];
    std::snprintf(text, sizeof text, "Time Left: %d min %d sec", static_cast<int>(minutes),
                  static_cast<int>(seconds));
    const bool changed = m_Text != text;
    m_Text = text;
    return changed;
}

} // namespace nereid::instrument
