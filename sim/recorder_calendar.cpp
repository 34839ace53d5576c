#include "sim/recorder_calendar.h"

namespace nereid::sim {

namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr int kDaysPerFourYears = 4 * 365 + 1;

bool LeapYear(int year) {
    return year % 4 == 0;
}

// Days before the first of `month` (1..12).
int DaysBeforeMonth(int month, bool leap) {
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return kBefore[month - 1] + (leap && month > 2 ? 1 : 0);
}

} // namespace

int DayOfYear(std::uint32_t seconds) {
    int days = static_cast<int>(seconds / kSecondsPerDay);
    // Whole four-year blocks from 1970 (1970..1973, ...), each with one leap year.
    days %= kDaysPerFourYears;
    for (int year = 1970;; ++year) {
        const int length = LeapYear(year) ? 366 : 365;
        if (days < length)
            return days + 1;
        days -= length;
    }
}

std::uint32_t SecondsAt(int year, int month, int day, int hour, int minute, int second) {
    std::int64_t days = 0;
    for (int y = 1970; y < year; ++y)
        days += LeapYear(y) ? 366 : 365;
    days += DaysBeforeMonth(month, LeapYear(year)) + (day - 1);
    const std::int64_t total = days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    return static_cast<std::uint32_t>(total);
}

} // namespace nereid::sim
