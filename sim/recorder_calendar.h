#pragma once

#include <cstdint>

namespace nereid::sim {

// The recorder's own calendar: its clock counts seconds since 1970-01-01 00:00:00 UTC and
// takes every fourth year from 1972 as a leap year, which is the civil calendar from 1970 to
// 2099; later seconds of the 32-bit count follow the same four-year rule.

// Day of the year, 1..366, of recorder second `seconds`.
int DayOfYear(std::uint32_t seconds);

// The recorder second at the given date and time (year 1970..2099, month 1..12). A day past
// the end of its month runs on into the next month (February 30 is March 1 or 2).
std::uint32_t SecondsAt(int year, int month, int day, int hour, int minute, int second);

} // namespace nereid::sim
