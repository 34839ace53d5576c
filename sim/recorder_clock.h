#pragma once

#include <chrono>
#include <cstdint>

namespace nereid::sim {

// The recorder's clock: whole seconds since 1970 that advance `scale` recorder seconds per
// wall second from a settable origin. Wall time comes from a steady clock so that a change of
// the PC clock does not make the data stream jump.
class RecorderClock {
public:
    using Steady = std::chrono::steady_clock;

    RecorderClock(std::uint32_t start, double scale, Steady::time_point now = Steady::now())
        : m_Origin(start), m_Scale(scale), m_WallOrigin(now) {}

    // Recorder time in seconds, with its fraction.
    double Now(Steady::time_point now = Steady::now()) const {
        const double wall = std::chrono::duration<double>(now - m_WallOrigin).count();
        return static_cast<double>(m_Origin) + wall * m_Scale;
    }
    std::uint32_t Second(Steady::time_point now = Steady::now()) const {
        return static_cast<std::uint32_t>(Now(now));
    }
    // Sets the clock (command 0x8B): `second` starts now.
    void Set(std::uint32_t second, Steady::time_point now = Steady::now()) {
        m_Origin = second;
        m_WallOrigin = now;
    }
    // The wall time at which recorder second `second` begins (it may lie in the past).
    Steady::time_point WallTimeOf(double second) const {
        const double wall = (second - static_cast<double>(m_Origin)) / m_Scale;
        return m_WallOrigin +
               std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(wall));
    }
    double Scale() const { return m_Scale; }

private:
    std::uint32_t m_Origin;
    double m_Scale;
    Steady::time_point m_WallOrigin;
};

} // namespace nereid::sim
