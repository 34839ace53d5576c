#pragma once

#include <cstdint>
#include <string>

namespace nereid::recording {
struct BcdTime;
struct FileChannel;
} // namespace nereid::recording

namespace nereid::display::model {

// Top amplitude label of range R: "%dM" of R / 1000000 from 1000000 on, "%d" below 10000,
// otherwise "%dK" of R / 1000.
std::string TopLabel(std::uint32_t range);
// Bottom label: "0" for spectra; the negative range by the same thresholds for time plots.
std::string BottomLabel(std::uint32_t range, bool spectrum);

// Label of a time span of `samples` samples at `rate` per second: "0.50" below a second,
// "%.2fs" below a minute, "%.2fm" below an hour, else "%.2fh".
std::string SpanLabel(std::uint64_t samples, int rate);

// Start of a file plot: "MM-DD-YY hh:mm:ss.hh".
std::string FileStartLabel(const recording::FileChannel& channel);
// Start of a real-time plot from its first ring row: "YY DDD hh:mm:ss".
std::string RealTimeStartLabel(const recording::BcdTime& time);

// A numeric read-out: "%.2f", or "%.2fK" of value / 1000 when the value exceeds 999999.
std::string ReadoutText(double value);
// The time read-out over a real-time plot: minutes and seconds of the ring row, then the
// hundredths: "%.2u:%.2u.%.2u".
std::string RealTimeReadout(const recording::BcdTime& row, int hundredths);
// Frequency axis label: "%dK" / "%dM" for thousands and millions, else "%d"; below 10 Hz
// up to two decimals, so that the ticks of a slow channel differ.
std::string FrequencyLabel(double hertz);
// A tick of a frequency axis ending at `axisEnd` Hz: whole hertz on an axis that reaches
// 10 Hz, so that one axis does not mix "3.12" with "12".
std::string FrequencyAxisLabel(double hertz, double axisEnd);

// Grid step of a time plot of range R: 1, 2, 5 or 10 times a power of ten, the smallest that
// divides the full height (2 R) into at most 8 steps, and never more than 1000 steps.
double TimeGridStep(double range);
// Grid step of a spectrum of range R: the smallest power of two giving at most 8 steps.
double SpectrumGridStep(double range);

} // namespace nereid::display::model
