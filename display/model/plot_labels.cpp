#include "display/model/plot_labels.h"

#include <cmath>
#include <cstdio>

#include "recording/bcd_time.h"
#include "recording/file_channel.h"

namespace nereid::display::model {

namespace {

std::string Format(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

} // namespace

std::string TopLabel(std::uint32_t range) {
    if (range >= 1000000)
        return Format("%dM", static_cast<int>(range / 1000000));
    if (range < 10000)
        return Format("%d", static_cast<int>(range));
    return Format("%dK", static_cast<int>(range / 1000));
}

std::string BottomLabel(std::uint32_t range, bool spectrum) {
    if (spectrum)
        return "0";
    if (range >= 1000000)
        return Format("%ldM", -static_cast<long>(range / 1000000));
    if (range < 10000)
        return Format("%ld", -static_cast<long>(range));
    return Format("%ldK", -static_cast<long>(range / 1000));
}

std::string SpanLabel(std::uint64_t samples, int rate) {
    if (rate <= 0)
        return Format("%llu", static_cast<unsigned long long>(samples));
    const double seconds = static_cast<double>(samples) / rate;
    if (samples < static_cast<std::uint64_t>(rate))
        return Format("%.2f", seconds);
    const std::uint64_t c = samples / static_cast<std::uint64_t>(rate);
    if (c < 60)
        return Format("%.2fs", seconds);
    if (c < 3600)
        return Format("%.2fm", static_cast<double>(c) / 60.0);
    return Format("%.2fh", static_cast<double>(c) / 3600.0);
}

std::string FileStartLabel(const recording::FileChannel& channel) {
    const int day = channel.dateWord & 0xFF;
    const int month = (channel.dateWord >> 8) & 0xFF;
    const int year = static_cast<int>(channel.dateWord >> 16);
    const int second = channel.timeWord & 0xFF;
    const int minute = (channel.timeWord >> 8) & 0xFF;
    const int hour = (channel.timeWord >> 16) & 0xFF;
    const int hundredths = static_cast<int>(channel.fraction * 100.0 + 0.5) % 100;
    return Format("%.2d-%.2d-%.2d %.2d:%.2d:%.2d.%.2d", month, day, year % 100, hour, minute,
                  second, hundredths);
}

std::string RealTimeStartLabel(const recording::BcdTime& time) {
    return Format("%.2u %.3u %.2u:%.2u:%.2u", static_cast<unsigned>(time.YearInCentury()),
                  static_cast<unsigned>(time.DayOfYear()), static_cast<unsigned>(time.Hours()),
                  static_cast<unsigned>(time.Minutes()), static_cast<unsigned>(time.Seconds()));
}

std::string ReadoutText(double value) {
    if (value > 999999.0)
        return Format("%.2fK", value / 1000.0);
    return Format("%.2f", value);
}

std::string RealTimeReadout(const recording::BcdTime& row, int hundredths) {
    return Format("%.2u:%.2u.%.2u", static_cast<unsigned>(row.Minutes()),
                  static_cast<unsigned>(row.Seconds()), static_cast<unsigned>(hundredths));
}

std::string FrequencyAxisLabel(double hertz, double axisEnd) {
    return FrequencyLabel(axisEnd >= 10.0 ? std::floor(hertz) : hertz);
}

std::string FrequencyLabel(double hertz) {
    // Whole hertz read well from 10 Hz up; below, a channel of a few samples a second would
    // have every tick read "0", so the fraction is shown (at most two places, no trailing
    // zeros: 0.25, 0.5, 1.75).
    if (hertz < 10.0 && hertz > 0.0) {
        std::string text = Format("%.2f", hertz);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
        return text;
    }
    const long whole = static_cast<long>(hertz);
    if (whole >= 1000000)
        return Format("%ldM", whole / 1000000);
    if (whole >= 1000)
        return Format("%ldK", whole / 1000);
    return Format("%ld", whole);
}

double TimeGridStep(double range) {
    const double height = 2.0 * std::fabs(range);
    if (height <= 0.0)
        return 1.0;
    double power = std::pow(10.0, std::floor(std::log10(height / 1000.0)));
    for (int guard = 0; guard < 40; ++guard, power *= 10.0) {
        for (double factor : {1.0, 2.0, 5.0}) {
            const double step = factor * power;
            if (height / step <= 8.0 + 1e-9)
                return step;
        }
    }
    return height;
}

double SpectrumGridStep(double range) {
    if (range <= 0.0)
        return 1.0;
    double step = std::ldexp(1.0, static_cast<int>(std::floor(std::log2(range / 8.0))));
    while (range / step > 8.0 + 1e-9)
        step *= 2.0;
    return step;
}

} // namespace nereid::display::model
