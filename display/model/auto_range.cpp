#include "display/model/auto_range.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace nereid::display::model {

namespace {

// Head room above the peak, so that the trace never touches the band's edge.
constexpr double kHeadRoom = 1.05;
constexpr double kShrinkBelow = 0.4;

} // namespace

double NiceCeiling(double value) {
    if (!(value > 1.0))
        return 1.0;
    if (!std::isfinite(value))
        return 1e300;
    static constexpr std::array<double, 10> kSteps = {1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8};
    double power = std::pow(10.0, std::floor(std::log10(value)));
    for (int guard = 0; guard < 3; ++guard, power *= 10.0) {
        for (double step : kSteps) {
            // A relative tolerance: 120000 must not become 150000 by rounding of the power.
            if (step * power >= value * (1.0 - 1e-12))
                return step * power;
        }
    }
    return value;
}

std::string FittedLabel(double range, bool negative) {
    const char* suffix = "";
    double shown = range;
    if (range >= 1e9) {
        shown = range / 1e9;
        suffix = "G";
    } else if (range >= 1e6) {
        shown = range / 1e6;
        suffix = "M";
    } else if (range >= 1e4) {
        shown = range / 1e3;
        suffix = "K";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%s%.4g%s", negative ? "-" : "", shown, suffix);
    return text;
}

double CAutoRange::Fit(double peak, bool anySamples) {
    if (!anySamples)
        return m_Range > 0.0 ? m_Range : 1.0;
    const double wanted = NiceCeiling(std::fabs(peak) * kHeadRoom);
    if (m_Range <= 0.0 || wanted > m_Range || std::fabs(peak) < m_Range * kShrinkBelow)
        m_Range = wanted;
    return m_Range;
}

} // namespace nereid::display::model
