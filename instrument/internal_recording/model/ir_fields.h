#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Field types, corrections and conversions shared by the pages of the internal recording
// setup. Corrections are made in place when the operator leaves an edit, without a message.
namespace nereid::instrument {

inline constexpr const char* kStartModeNames[] = {"Disabled", "Immediate", "Delayed", "Start Time",
                                                  "Window Control"};
constexpr int kContinuousStartModes = 4; // the event page adds "Window Control"
constexpr int kEventStartModes = 5;
enum IRStartMode : int {
    kStartDisabled = 0,
    kStartImmediate = 1,
    kStartDelayed = 2,
    kStartAtTime = 3,
    kStartWindowControl = 4,
};

// Units of the start delay and the window's maximum file size.
inline constexpr const char* kTimeUnitNames[] = {"Seconds", "Minutes", "Hours"};
enum IRTimeUnit : int { kIRSeconds = 0, kIRMinutes = 1, kIRHours = 2 };
std::uint32_t IRUnitSeconds(int unit); // 1, 60, 3600; 0 for an unknown unit

// Date and time of a start time, four-digit year. Continuous and event start times carry no
// seconds.
struct IRDateTime {
    int month = 1;
    int day = 1;
    int year = 1970;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const IRDateTime&) const = default;
};

// Seconds since 1970 of a date and time, plain civil arithmetic, no time zone.
std::uint32_t IRDateTimeToSeconds(const IRDateTime& t);
IRDateTime IRDateTimeFromSeconds(std::uint32_t seconds);

// Corrections on leaving an edit.
int CorrectMonth(long long month);                // 1..12
int CorrectDay(long long day);                    // 1..31
int CorrectYear(long long year);                  // 1970..2069
int CorrectHour(long long hour);                  // 0..23
int CorrectMinute(long long minute);              // 0..59, also seconds
int CorrectWindowHours(long long h);              // 0..999
int CorrectDelay(long long value, int unit);      // 0..65535 s, 1092 min, 18 h
int CorrectMaxSpace(long long mb);                // 1..65535
int CorrectPreEvent(long long seconds);           // 0..65535
int CorrectPostEvent(long long seconds);          // 1..65535, also the trigger window
std::uint32_t CorrectMaxEvent(long long seconds); // 1..4294967295
int CorrectTotalVotes(long long votes);           // -99..99
int CorrectVote(long long vote);                  // -10..10
std::uint32_t CorrectRepetitions(long long n);    // 1..4294967295
// Window maximum file size in its unit: the seconds must fit 32 bits.
std::uint32_t CorrectMaxFileSize(long long value, int unit);
int CorrectSohInterval(long long seconds); // 1..65535

// In "Start Time" mode the day is made valid for its month before a Send: February 30 and 31
// become 29, and 29 becomes 28 when the year is not divisible by 4; the 31st of April, June,
// September and November becomes the 30th.
IRDateTime CorrectDayForMonth(IRDateTime t);

// Changing a delay or file-size unit: one step finer multiplies by 60, two by 3600; coarser
// divides (integer division).
long long ConvertUnitValue(long long value, int fromUnit, int toUnit);

// File size list: "5", "10", "15", "30", "60" minutes.
inline constexpr std::array<std::uint32_t, 5> kFileSizeSeconds{300, 600, 900, 1800, 3600};
inline constexpr const char* kFileSizeNames[] = {"5", "10", "15", "30", "60"};
// The list entry a received file size shows: up to 300 s "5", ... above 1800 s "60".
int FileSizePosition(std::uint32_t seconds);

// Primary and secondary channels 1..6 of a channel-bit word (bits 0..5 and 8..13).
struct IRChannels {
    std::array<bool, 6> primary{};
    std::array<bool, 6> secondary{};
    bool operator==(const IRChannels&) const = default;
};
IRChannels ChannelsFromWord(std::uint16_t word);
std::uint16_t ChannelsToWord(const IRChannels& c);

} // namespace nereid::instrument
