#include "recording/bcd_time.h"

#include "recording/calendar.h"

namespace nereid::recording {

namespace {

std::uint32_t ToBcd2(int value) {
    return static_cast<std::uint32_t>(((value / 10) % 10) << 4 | (value % 10));
}

int FromBcd(std::uint32_t bits, int digits) {
    int value = 0;
    for (int d = digits - 1; d >= 0; --d) {
        value = value * 10 + static_cast<int>((bits >> (4 * d)) & 0xF);
    }
    return value;
}

} // namespace

BcdTime BcdTime::FromSeconds(std::uint32_t secondsSince1970) {
    const CalendarTime t = SecondsToCalendar(secondsSince1970);
    BcdTime b;
    b.word0 = ToBcd2(t.second) | ToBcd2(t.minute) << 8 | ToBcd2(t.hour) << 16;
    const int yearInCentury = t.year >= 2000 ? t.year - 2000 : t.year - 1900;
    const std::uint32_t doy =
        static_cast<std::uint32_t>((t.dayOfYear / 100) << 8) | ToBcd2(t.dayOfYear % 100);
    b.word1 = doy | ToBcd2(yearInCentury) << 12;
    return b;
}

int BcdTime::Seconds() const {
    return FromBcd(word0 & 0xFF, 2);
}
int BcdTime::Minutes() const {
    return FromBcd((word0 >> 8) & 0xFF, 2);
}
int BcdTime::Hours() const {
    return FromBcd((word0 >> 16) & 0xFF, 2);
}
int BcdTime::DayOfYear() const {
    return FromBcd(word1 & 0xFFF, 3);
}
int BcdTime::YearInCentury() const {
    return FromBcd((word1 >> 12) & 0xFF, 2);
}

} // namespace nereid::recording
