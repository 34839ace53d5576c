#include "display/model/time_axis.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "display/model/plot_labels.h"
#include "recording/bcd_time.h"

namespace nereid::display::model {

namespace {

constexpr std::uint64_t kDayMs = 86400000ull;

// Steps in milliseconds, smallest first.
constexpr std::array<std::uint64_t, 27> kSteps = {
    1,      2,      5,       10,      20,      50,       100,      200,      500,
    1000,   2000,   5000,    10000,   15000,   30000,    60000,    120000,   300000,
    600000, 900000, 1800000, 3600000, 7200000, 21600000, 43200000, 86400000, 172800000};

int Decimals(std::uint64_t stepMs) {
    if (stepMs % 1000 == 0)
        return 0;
    if (stepMs % 100 == 0)
        return 1;
    if (stepMs % 10 == 0)
        return 2;
    return 3;
}

std::string ClockText(std::uint64_t ms, int decimals) {
    const std::uint64_t day = ms % kDayMs;
    const unsigned h = static_cast<unsigned>(day / 3600000);
    const unsigned m = static_cast<unsigned>(day / 60000 % 60);
    const unsigned s = static_cast<unsigned>(day / 1000 % 60);
    const unsigned frac = static_cast<unsigned>(day % 1000);
    char text[32];
    if (decimals == 0)
        std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", h, m, s);
    else if (decimals == 1)
        std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u.%.1u", h, m, s, frac / 100);
    else if (decimals == 2)
        std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u.%.2u", h, m, s, frac / 10);
    else
        std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u.%.3u", h, m, s, frac);
    return text;
}

} // namespace

std::vector<TimeTick> TimeTicks(std::uint64_t startMs, std::uint64_t spanMs, int width,
                                int minPixels, std::uint64_t fromMs) {
    std::vector<TimeTick> ticks;
    if (spanMs == 0 || width <= 0)
        return ticks;
    const int labels = std::max(1, width / std::max(minPixels, 1));
    std::uint64_t step = kSteps.back();
    for (std::uint64_t candidate : kSteps) {
        if (spanMs / candidate <= static_cast<std::uint64_t>(labels)) {
            step = candidate;
            break;
        }
    }
    const int decimals = Decimals(step);
    const std::uint64_t from = std::max(startMs, fromMs);
    if (from >= startMs + spanMs)
        return ticks; // nothing there to label
    for (std::uint64_t t = (from + step - 1) / step * step; t < startMs + spanMs; t += step) {
        TimeTick tick;
        tick.fraction = static_cast<double>(t - startMs) / static_cast<double>(spanMs);
        tick.text = ClockText(t, decimals);
        ticks.push_back(tick);
    }
    return ticks;
}

std::string ClockReadout(std::uint64_t milliseconds) {
    return ClockText(milliseconds, 3);
}

std::string RealTimeStart(std::uint64_t milliseconds) {
    return RealTimeStartLabel(
        recording::BcdTime::FromSeconds(static_cast<std::uint32_t>(milliseconds / 1000)));
}

} // namespace nereid::display::model
