#pragma once

#include <cstdint>

namespace nereid::recording {

// A second since 1970-01-01 00:00:00 UTC broken into its calendar parts.
struct CalendarTime {
    int year = 1970;   // full year, 1970..2099 (later years wrap the leap rule)
    int month = 1;     // 1..12
    int day = 1;       // day of month, 1..31
    int dayOfYear = 1; // 1..366
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Plain four-year leap cycle (365, 365, 366, 365 days from 1970) with no century rule, so the
// result is exact from 1970 to 2099, which is all the recorder's 32-bit clock reaches.
CalendarTime SecondsToCalendar(std::uint32_t seconds);

// Inverse of SecondsToCalendar. `yearSince1900` is the full year minus 1900 (103 for 2003).
// Exact for the same range; dates before 1970 give negative values wrapped to uint32.
std::uint32_t CalendarToSeconds(int second, int minute, int hour, int day, int month,
                                int yearSince1900);

} // namespace nereid::recording
