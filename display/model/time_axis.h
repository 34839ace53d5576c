#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::display::model {

// One labelled tick along a time plot: where it sits (0 = left edge, 1 = right edge of the
// window) and its clock time.
struct TimeTick {
    double fraction = 0.0;
    std::string text;
};

// Ticks for a window of `spanMs` milliseconds from `startMs` (milliseconds since 1970, UTC)
// drawn `width` pixels wide: a step of 1, 2 or 5 times a power of ten (then 10, 15, 30 s, 1, 2,
// 5, 10, 15, 30 min, 1, 2, 6, 12 h) leaving at least `minPixels` between labels, placed at
// whole multiples of the step. Labels read "hh:mm:ss", with as many decimals as the step needs.
// Ticks before `fromMs` are left out: a window that is not yet full labels only what is there.
std::vector<TimeTick> TimeTicks(std::uint64_t startMs, std::uint64_t spanMs, int width,
                                int minPixels, std::uint64_t fromMs = 0);

// The time of day of a pointer read-out: "hh:mm:ss.sss".
std::string ClockReadout(std::uint64_t milliseconds);

// Start label of a real-time plot: "YY DDD hh:mm:ss" of the first drawn sample.
std::string RealTimeStart(std::uint64_t milliseconds);

} // namespace nereid::display::model
