#pragma once

#include <cstdint>
#include <string>

namespace nereid::instrument {

// The "Time Left" estimate of a transfer: the time of the first M blocks (the measuring
// window) is measured once; after that, every M blocks take that time off the estimate.
// Times are milliseconds of any steady clock.
class CTimeLeftEstimate {
public:
    // M = baud / 2400, clamped to 4..10 blocks: a slow line measures over fewer blocks.
    static int WindowFor(std::uint32_t baud);

    void Start(std::uint64_t totalBlocks, std::uint32_t baud);
    // One block arrived at `nowMs`. Returns true when Text() changed.
    bool Block(std::int64_t nowMs);

    int Window() const { return m_Window; }
    bool HasEstimate() const { return m_HaveEstimate; }
    std::int64_t EstimateMs() const { return m_EstimateMs; }
    std::int64_t WindowMs() const { return m_ElapsedMs; }
    // "Time Left: %d min %d sec", or "" before the first full window after the measurement.
    const std::string& Text() const { return m_Text; }

private:
    std::uint64_t m_TotalBlocks = 0;
    int m_Window = 4;
    int m_Counted = 0;
    std::int64_t m_StartMs = 0;
    std::int64_t m_ElapsedMs = 0;
    std::int64_t m_EstimateMs = 0;
    int m_Countdown = 0;
    bool m_HaveEstimate = false;
    std::string m_Text;
};

} // namespace nereid::instrument
