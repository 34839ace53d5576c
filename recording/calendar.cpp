#include "recording/calendar.h"

namespace nereid::recording {

namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::uint32_t kDaysPerCycle = 1461;

} // namespace

CalendarTime SecondsToCalendar(std::uint32_t seconds) {
    CalendarTime t;
    t.second = static_cast<int>(seconds % 60);
    t.minute = static_cast<int>((seconds / 60) % 60);
    t.hour = static_cast<int>((seconds / 3600) % 24);

    const std::uint32_t days = seconds / kSecondsPerDay;
    const int cycle = static_cast<int>(days / kDaysPerCycle);
    int dayInCycle = static_cast<int>(days % kDaysPerCycle);

    // The third year of every cycle (1972, 1976, ...) is the leap year.
    static constexpr int kYearLengths[4] = {365, 365, 366, 365};
    int yearInCycle = 0;
    while (yearInCycle < 3 && dayInCycle >= kYearLengths[yearInCycle]) {
        dayInCycle -= kYearLengths[yearInCycle];
        ++yearInCycle;
    }
    t.year = 1970 + 4 * cycle + yearInCycle;
    t.dayOfYear = dayInCycle + 1;

    int monthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (yearInCycle == 2) {
        monthLengths[1] = 29;
    }
    int month = 0;
    while (month < 11 && dayInCycle >= monthLengths[month]) {
        dayInCycle -= monthLengths[month];
        ++month;
    }
    t.month = month + 1;
    t.day = dayInCycle + 1;
    return t;
}

std::uint32_t CalendarToSeconds(int second, int minute, int hour, int day, int month,
                                int yearSince1900) {
    int m = month;
    int y = yearSince1900;
    if (month <= 2) {
        m = month + 12;
        y = yearSince1900 - 1;
    }
    const long long days = day + 1461LL * y / 4 + (153LL * m - 457) / 5 - 25509;
    const long long total = days * 86400 + hour * 3600LL + minute * 60LL + second;
    return static_cast<std::uint32_t>(total);
}

} // namespace nereid::recording
