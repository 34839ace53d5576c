#include "recording/bcd_time.h"
#include "recording/calendar.h"

#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

// Reference instants checked with an independent tool (GNU date -u -d @N).
TEST(Calendar, KnownInstants) {
    struct Case {
        std::uint32_t seconds;
        int year, month, day, doy, hour, minute, second;
    };
    const Case cases[] = {
        {0, 1970, 1, 1, 1, 0, 0, 0},
        {68169600, 1972, 2, 29, 60, 0, 0, 0},
        {951782400, 2000, 2, 29, 60, 0, 0, 0},
        {1049328000, 2003, 4, 3, 93, 0, 0, 0},
        {1049328059, 2003, 4, 3, 93, 0, 0, 59},
        {4102444799u, 2099, 12, 31, 365, 23, 59, 59},
    };
    for (const Case& c : cases) {
        const CalendarTime t = SecondsToCalendar(c.seconds);
        EXPECT_EQ(t.year, c.year) << c.seconds;
        EXPECT_EQ(t.month, c.month) << c.seconds;
        EXPECT_EQ(t.day, c.day) << c.seconds;
        EXPECT_EQ(t.dayOfYear, c.doy) << c.seconds;
        EXPECT_EQ(t.hour, c.hour) << c.seconds;
        EXPECT_EQ(t.minute, c.minute) << c.seconds;
        EXPECT_EQ(t.second, c.second) << c.seconds;
        EXPECT_EQ(CalendarToSeconds(t.second, t.minute, t.hour, t.day, t.month, t.year - 1900),
                  c.seconds);
    }
}

TEST(Calendar, LeapYearEndsAndRoundTripEveryDay) {
    // 1972-12-31 is day 366; 1973-01-01 follows.
    EXPECT_EQ(SecondsToCalendar(94608000u).dayOfYear, 366);
    EXPECT_EQ(SecondsToCalendar(94608000u + 86400u).dayOfYear, 1);
    for (std::uint32_t s = 0; s < 4102444800u - 86400u; s += 86400u + 3671u) {
        const CalendarTime t = SecondsToCalendar(s);
        ASSERT_EQ(CalendarToSeconds(t.second, t.minute, t.hour, t.day, t.month, t.year - 1900), s);
        const CalendarTime next = SecondsToCalendar(s + 86400u);
        ASSERT_TRUE(next.dayOfYear == t.dayOfYear + 1 || next.dayOfYear == 1) << s;
    }
}

TEST(BcdTime, PacksDigits) {
    // 2003-04-03 15:30:00 = 1049383800, day 93.
    const BcdTime b = BcdTime::FromSeconds(1049383800u);
    EXPECT_EQ(b.word0, 0x153000u);
    EXPECT_EQ(b.word1, 0x03093u);
    EXPECT_EQ(b.Hours(), 15);
    EXPECT_EQ(b.DayOfYear(), 93);
    EXPECT_EQ(b.YearInCentury(), 3);
    // 1998-12-31 23:59:59 = 915148799: year 98, day 365.
    const BcdTime old = BcdTime::FromSeconds(915148799u);
    EXPECT_EQ(old.word0, 0x235959u);
    EXPECT_EQ(old.word1, 0x98365u);
    EXPECT_EQ(BcdTime::FromSeconds(0).word1, 0x70001u);
}

} // namespace
} // namespace nereid::recording
