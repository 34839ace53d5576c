#pragma once

#include <cstdint>
#include <string>

namespace nereid::display::model {

// The smallest value of the series 1, 1.2, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten that
// is at least `value`; 1 for values up to 1. Fine enough steps that a fitted trace fills most
// of its band (a peak of 100000 gets 120000, not the 262144 of the fixed ranges).
double NiceCeiling(double value);

// Amplitude label of a fitted range: "120K", "1.5M", "20G", "0.5"; `negative` puts a minus.
std::string FittedLabel(double range, bool negative = false);

// The automatic range of one plot: grows at once when the signal needs more room, so nothing
// is clipped for longer than one redraw, and shrinks only when the peak fell below 40 % of the
// range, so that the scale does not flicker with every window.
class CAutoRange {
public:
    // Range for a window whose largest absolute value is `peak`; a window without samples
    // keeps the range it had.
    double Fit(double peak, bool anySamples);
    double Value() const { return m_Range; }
    void Reset() { m_Range = 0.0; }

private:
    double m_Range = 0.0; // 0 until the first window with samples
};

} // namespace nereid::display::model
