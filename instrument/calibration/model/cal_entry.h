#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Unit conversions, field checks and start dates of the calibration pages.
namespace nereid::instrument {

inline constexpr const char* kCalMessageCaption = "Tellus Application";
inline constexpr const char* kCalSetupCaption = "Tellus Setup";

inline constexpr const char* kDurationAtLeastOneText = "Duration time Must be at least one second";
inline constexpr const char* kDurationMaximumText =
    "The maximum value for duration time is 65535 seconds";
inline constexpr const char* kDurationBelowIntervalText =
    "Duration time must be smaller than intervale time";
inline constexpr const char* kIntervalAboveDurationText =
    "Interval time must be bigger than duration time";
inline constexpr const char* kRepetitionMaximumText = "Maximum\tNumber for Repetition is 65535";
inline constexpr const char* kInvalidDataText = "Invalid data input";

// A message box the operator sees: text and caption.
struct CalMessage {
    std::string text;
    std::string caption;
    bool operator==(const CalMessage&) const = default;
};

// Units of the duration ("Second", "Minute", "Hour") and interval (all six) lists.
enum CalUnit : int {
    kUnitSecond = 0,
    kUnitMinute,
    kUnitHour,
    kUnitDay,
    kUnitWeek,
    kUnitYear,
};
constexpr int kDurationUnitCount = 3;
constexpr int kIntervalUnitCount = 6;

std::vector<std::string> CalUnitNames(int count);

// Seconds in one unit; 0 for an unknown unit.
std::uint32_t SecondsPerUnit(int unit);

// `seconds` shown in `unit`: "%.0f" seconds, "%.2f" minutes, "%.4f" hours, "%.6f" days,
// "%.8f" weeks, "%.10f" years of 365 days. Empty for an unknown unit.
std::string FormatInUnit(double seconds, int unit);

// What leaving the duration edit did: the seconds stored, the edit text when it was replaced
// (empty when it stays as typed), and the messages shown, in order.
struct DurationEntry {
    std::uint16_t seconds = 0;
    std::string replacedText;
    std::vector<CalMessage> messages;
};

// Leaving the duration edit with `value` in `unit`. 65535 s at most: a longer duration is
// clamped and the edit shows 65535 s in the unit (" 1092.2" minutes on the Immediate page,
// "1092.2" on the Scheduled page). A value under one second (zero, a fraction, or negative) is
// refused with the at-least-one-second message and stores 0. On the Scheduled page the
// duration is also checked against `interval` seconds once an interval is set (not 0).
DurationEntry EnterDuration(double value, int unit, bool scheduled, std::uint32_t interval);

// Leaving the interval edit: seconds of `value` in `unit`, clamped to 0..4294967295 (a
// negative value stores 0), and the message when `duration` is not below it.
struct IntervalEntry {
    std::uint32_t seconds = 0;
    std::vector<CalMessage> messages;
};
IntervalEntry EnterInterval(double value, int unit, std::uint16_t duration);

// Leaving the repetitions edit: above 65535 shows the maximum message and the edit becomes
// "65535"; below 0 becomes 0.
struct RepetitionsEntry {
    std::uint16_t repetitions = 0;
    std::string replacedText;
    std::vector<CalMessage> messages;
};
RepetitionsEntry EnterRepetitions(long long value);

// Volts to whole millivolts and to 0.1 mV, truncated toward zero. The value is truncated as
// the decimal the operator typed, so 1.001 V is 1001 mV, not the 1000 a binary product gives.
std::int16_t VoltsToMillivolts(double volts);
std::int32_t VoltsToTenthMillivolts(double volts);
// Frequency or pulse width to 0.1 units (truncated) and to thousandths (value x 1000 + 0.1,
// truncated); negative values give 0, values beyond the field give its maximum.
std::uint16_t ToTenths(double value);
std::uint32_t ToThousandths(double value);

// The Scheduled page's start date and time as entered: two-digit year.
struct CalStartTime {
    int day = 1;
    int month = 1;
    int year = 0; // 70..99 = 1970..1999, 0..69 = 2000..2069
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const CalStartTime&) const = default;
};

// Full year of a two-digit year: 1900 + yy from 70, else 2000 + yy.
int FullYear(int twoDigitYear);

// Whether the date (day within its month, February 29 only in years divisible by four) and the
// time are valid. The two-digit year must be 0..99.
bool ValidStartTime(const CalStartTime& t);

// Seconds since 1970-01-01 00:00:00 of a valid start time, no time zone. Returns 1, or -1 for
// an invalid one (the page shows "Invalid data input" and sends nothing).
int StartTimeToSeconds(const CalStartTime& t, std::uint32_t& seconds);

// The start time a second since 1970 shows, with the year as two digits.
CalStartTime StartTimeFromSeconds(std::uint32_t seconds);

} // namespace nereid::instrument
