#include "instrument/calibration/model/cal_entry.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "recording/calendar.h"

namespace nereid::instrument {

namespace {

constexpr std::uint16_t kMaxDuration = 65535;

// Product of a typed decimal and a power of ten, truncated toward zero. The small nudge away
// from zero undoes the binary representation error of the decimal (2.675 is 2.67499999...).
double TruncatedProduct(double value, double scale) {
    const double product = value * scale;
    const double nudge = 1e-7 * std::max(1.0, std::fabs(product));
    return std::trunc(product + (product < 0 ? -nudge : nudge));
}

template <typename T> T Clamped(double value) {
    if (!(value > static_cast<double>(std::numeric_limits<T>::min()))) {
        return std::numeric_limits<T>::min(); // also NaN
    }
    if (value >= static_cast<double>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(value);
}

} // namespace

std::vector<std::string> CalUnitNames(int count) {
    static const char* const kNames[kIntervalUnitCount] = {"Second", "Minute", "Hour",
                                                           "Day",    "Week",   "Year"};
    std::vector<std::string> names;
    for (int k = 0; k < count && k < kIntervalUnitCount; ++k) {
        names.emplace_back(kNames[k]);
    }
    return names;
}

std::uint32_t SecondsPerUnit(int unit) {
    switch (unit) {
    case kUnitSecond:
        return 1;
    case kUnitMinute:
        return 60;
    case kUnitHour:
        return 3600;
    case kUnitDay:
        return 86400;
    case kUnitWeek:
        return 86400 * 7;
    case kUnitYear:
        return 86400 * 365;
    default:
        return 0;
    }
}

std::string FormatInUnit(double seconds, int unit) {
    static const char* const kFormats[kIntervalUnitCount] = {"%.0f", "%.2f", "%.4f",
                                                             "%.6f", "%.8f", "%.10f"};
    if (unit < 0 || unit >= kIntervalUnitCount) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, kFormats[unit], seconds / SecondsPerUnit(unit));
    return text;
}

DurationEntry EnterDuration(double value, int unit, bool scheduled, std::uint32_t interval) {
    DurationEntry entry;
    if (SecondsPerUnit(unit) == 0 || unit >= kDurationUnitCount) {
        return entry;
    }
    const double seconds = std::trunc(value * SecondsPerUnit(unit));
    if (!(seconds >= 1.0)) {
        entry.messages.push_back({kDurationAtLeastOneText, kCalMessageCaption});
        return entry;
    }
    if (seconds > kMaxDuration) {
        entry.seconds = kMaxDuration;
        static const char* const kImmediateTexts[] = {"65535", " 1092.2", "18.20"};
        static const char* const kScheduledTexts[] = {"65535", "1092.2", "18.20"};
        entry.replacedText = (scheduled ? kScheduledTexts : kImmediateTexts)[unit];
    } else {
        entry.seconds = static_cast<std::uint16_t>(seconds);
    }
    if (entry.seconds == kMaxDuration) {
        entry.messages.push_back({kDurationMaximumText, kCalMessageCaption});
    }
    // The pair is checked when its second field is left: before an interval is entered (0)
    // the duration is not yet wrong, the interval's own check speaks then.
    if (scheduled && interval > 0 && entry.seconds >= interval) {
        entry.messages.push_back({kDurationBelowIntervalText, kCalMessageCaption});
    }
    return entry;
}

IntervalEntry EnterInterval(double value, int unit, std::uint16_t duration) {
    IntervalEntry entry;
    if (SecondsPerUnit(unit) == 0) {
        return entry;
    }
    entry.seconds = Clamped<std::uint32_t>(std::trunc(value * SecondsPerUnit(unit)));
    if (entry.seconds != 0 && duration >= entry.seconds) {
        entry.messages.push_back({kIntervalAboveDurationText, kCalMessageCaption});
    }
    return entry;
}

RepetitionsEntry EnterRepetitions(long long value) {
    RepetitionsEntry entry;
    if (value > 65535) {
        entry.repetitions = 65535;
        entry.replacedText = "65535";
        entry.messages.push_back({kRepetitionMaximumText, kCalSetupCaption});
    } else if (value < 0) {
        entry.replacedText = "0";
    } else {
        entry.repetitions = static_cast<std::uint16_t>(value);
    }
    return entry;
}

std::int16_t VoltsToMillivolts(double volts) {
    return Clamped<std::int16_t>(TruncatedProduct(volts, 1000.0));
}

std::int32_t VoltsToTenthMillivolts(double volts) {
    return Clamped<std::int32_t>(TruncatedProduct(volts, 10000.0));
}

std::uint16_t ToTenths(double value) {
    return Clamped<std::uint16_t>(TruncatedProduct(value, 10.0));
}

std::uint32_t ToThousandths(double value) {
    return Clamped<std::uint32_t>(std::trunc(value * 1000.0 + 0.1));
}

int FullYear(int twoDigitYear) {
    return twoDigitYear >= 70 ? 1900 + twoDigitYear : 2000 + twoDigitYear;
}

bool ValidStartTime(const CalStartTime& t) {
    if (t.month < 1 || t.month > 12 || t.year < 0 || t.year > 99 || t.day < 1) {
        return false;
    }
    int days = 31;
    switch (t.month) {
    case 4:
    case 6:
    case 9:
    case 11:
        days = 30;
        break;
    case 2:
        days = FullYear(t.year) % 4 == 0 ? 29 : 28;
        break;
    default:
        break;
    }
    return t.day <= days && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
           t.second >= 0 && t.second < 60;
}

int StartTimeToSeconds(const CalStartTime& t, std::uint32_t& seconds) {
    if (!ValidStartTime(t)) {
        return -1;
    }
    seconds = recording::CalendarToSeconds(t.second, t.minute, t.hour, t.day, t.month,
                                           FullYear(t.year) - 1900);
    return 1;
}

CalStartTime StartTimeFromSeconds(std::uint32_t seconds) {
    const recording::CalendarTime c = recording::SecondsToCalendar(seconds);
    CalStartTime t;
    t.day = c.day;
    t.month = c.month;
    t.year = c.year % 100;
    t.hour = c.hour;
    t.minute = c.minute;
    t.second = c.second;
    return t;
}

} // namespace nereid::instrument
