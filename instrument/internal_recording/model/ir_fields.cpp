#include "instrument/internal_recording/model/ir_fields.h"

#include <algorithm>

#include "recording/calendar.h"

namespace nereid::instrument {

namespace {

long long Clamp(long long v, long long low, long long high) {
    return std::clamp(v, low, high);
}

} // namespace

std::uint32_t IRUnitSeconds(int unit) {
    switch (unit) {
    case kIRSeconds:
        return 1;
    case kIRMinutes:
        return 60;
    case kIRHours:
        return 3600;
    default:
        return 0;
    }
}

std::uint32_t IRDateTimeToSeconds(const IRDateTime& t) {
    return recording::CalendarToSeconds(t.second, t.minute, t.hour, t.day, t.month, t.year - 1900);
}

IRDateTime IRDateTimeFromSeconds(std::uint32_t seconds) {
    const recording::CalendarTime c = recording::SecondsToCalendar(seconds);
    return {c.month, c.day, c.year, c.hour, c.minute, c.second};
}

int CorrectMonth(long long month) {
    return static_cast<int>(Clamp(month, 1, 12));
}
int CorrectDay(long long day) {
    return static_cast<int>(Clamp(day, 1, 31));
}
int CorrectYear(long long year) {
    return static_cast<int>(Clamp(year, 1970, 2069));
}
int CorrectHour(long long hour) {
    return static_cast<int>(Clamp(hour, 0, 23));
}
int CorrectMinute(long long minute) {
    return static_cast<int>(Clamp(minute, 0, 59));
}
int CorrectWindowHours(long long h) {
    return static_cast<int>(Clamp(h, 0, 999));
}

int CorrectDelay(long long value, int unit) {
    const long long limit = unit == kIRHours ? 18 : unit == kIRMinutes ? 1092 : 65535;
    return static_cast<int>(Clamp(value, 0, limit));
}

int CorrectMaxSpace(long long mb) {
    return static_cast<int>(Clamp(mb, 1, 65535));
}
int CorrectPreEvent(long long seconds) {
    return static_cast<int>(Clamp(seconds, 0, 65535));
}
int CorrectPostEvent(long long seconds) {
    return static_cast<int>(Clamp(seconds, 1, 65535));
}
std::uint32_t CorrectMaxEvent(long long seconds) {
    return static_cast<std::uint32_t>(Clamp(seconds, 1, 0xFFFFFFFFLL));
}
int CorrectTotalVotes(long long votes) {
    return static_cast<int>(Clamp(votes, -99, 99));
}
int CorrectVote(long long vote) {
    return static_cast<int>(Clamp(vote, -10, 10));
}
std::uint32_t CorrectRepetitions(long long n) {
    return static_cast<std::uint32_t>(Clamp(n, 1, 0xFFFFFFFFLL));
}

std::uint32_t CorrectMaxFileSize(long long value, int unit) {
    const long long limit = unit == kIRHours     ? 1193046
                            : unit == kIRMinutes ? 71582788
                                                 : 0xFFFFFFFFLL;
    return static_cast<std::uint32_t>(Clamp(value, 0, limit));
}

int CorrectSohInterval(long long seconds) {
    return static_cast<int>(Clamp(seconds, 1, 65535));
}

IRDateTime CorrectDayForMonth(IRDateTime t) {
    if (t.month == 2) {
        if (t.day >= 30) {
            t.day = 29;
        }
        if (t.day == 29 && t.year % 4 != 0) {
            t.day = 28;
        }
    } else if ((t.month == 4 || t.month == 6 || t.month == 9 || t.month == 11) && t.day == 31) {
        t.day = 30;
    }
    return t;
}

long long ConvertUnitValue(long long value, int fromUnit, int toUnit) {
    const std::uint32_t from = IRUnitSeconds(fromUnit);
    const std::uint32_t to = IRUnitSeconds(toUnit);
    if (from == 0 || to == 0) {
        return value;
    }
    return from >= to ? value * (from / to) : value / (to / from);
}

int FileSizePosition(std::uint32_t seconds) {
    for (std::size_t p = 0; p + 1 < kFileSizeSeconds.size(); ++p) {
        if (seconds <= kFileSizeSeconds[p]) {
            return static_cast<int>(p);
        }
    }
    return static_cast<int>(kFileSizeSeconds.size()) - 1;
}

IRChannels ChannelsFromWord(std::uint16_t word) {
    IRChannels c;
    for (std::size_t k = 0; k < 6; ++k) {
        c.primary[k] = (word >> k) & 1;
        c.secondary[k] = (word >> (k + 8)) & 1;
    }
    return c;
}

std::uint16_t ChannelsToWord(const IRChannels& c) {
    unsigned word = 0;
    for (std::size_t k = 0; k < 6; ++k) {
        word |= (c.primary[k] ? 1u : 0u) << k;
        word |= (c.secondary[k] ? 1u : 0u) << (k + 8);
    }
    return static_cast<std::uint16_t>(word);
}

} // namespace nereid::instrument
