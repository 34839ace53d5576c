#include "sim/recorder_calendar.h"

#include <gtest/gtest.h>

#include <ctime>

namespace nereid::sim {
namespace {

// The C library's UTC calendar is an implementation independent of the simulator's; over the
// recorder's years the two must agree on every day.
TEST(RecorderCalendar, AgreesWithTheCLibraryOnEveryDayFrom1970To2099) {
    for (int year = 1970; year <= 2099; ++year) {
        std::tm first{};
        first.tm_year = year - 1900;
        first.tm_mon = 0;
        first.tm_mday = 1;
        const std::time_t start = timegm(&first);
        for (std::time_t t = start;; t += 86400) {
            std::tm day{};
            gmtime_r(&t, &day);
            if (day.tm_year != year - 1900)
                break;
            const auto seconds = static_cast<std::uint32_t>(t);
            ASSERT_EQ(SecondsAt(year, day.tm_mon + 1, day.tm_mday, 0, 0, 0), seconds)
                << year << '-' << day.tm_mon + 1 << '-' << day.tm_mday;
            ASSERT_EQ(DayOfYear(seconds), day.tm_yday + 1) << seconds;
            ASSERT_EQ(DayOfYear(seconds + 86399), day.tm_yday + 1) << seconds;
        }
    }
}

TEST(RecorderCalendar, KnownInstants) {
    EXPECT_EQ(SecondsAt(1970, 1, 1, 0, 0, 0), 0u);
    EXPECT_EQ(SecondsAt(2003, 4, 3, 12, 34, 5), 1049373245u);
    EXPECT_EQ(SecondsAt(2099, 12, 31, 23, 59, 59), 4102444799u);
    EXPECT_EQ(DayOfYear(1049373245u), 93);
    EXPECT_EQ(DayOfYear(951782400u), 60);  // 2000-02-29: 2000 is a leap year
    EXPECT_EQ(DayOfYear(978220800u), 366); // 2000-12-31
}

TEST(RecorderCalendar, DayPastTheMonthRunsOn) {
    EXPECT_EQ(SecondsAt(2003, 2, 30, 0, 0, 0), SecondsAt(2003, 3, 2, 0, 0, 0));
    EXPECT_EQ(SecondsAt(2004, 2, 30, 0, 0, 0), SecondsAt(2004, 3, 1, 0, 0, 0));
    EXPECT_EQ(SecondsAt(2003, 12, 32, 0, 0, 0), SecondsAt(2004, 1, 1, 0, 0, 0));
}

// Past 2099 the recorder's four-year rule holds on: 2100 keeps its 29 February.
TEST(RecorderCalendar, FourYearRuleBeyond2099) {
    const std::uint32_t march1 = SecondsAt(2100, 3, 1, 0, 0, 0);
    EXPECT_EQ(march1 - SecondsAt(2100, 2, 28, 0, 0, 0), 2u * 86400);
    EXPECT_EQ(DayOfYear(march1), 61);
    EXPECT_EQ(DayOfYear(0xFFFFFFFFu), 37); // 6 February 2106; the civil calendar says the 7th
}

} // namespace
} // namespace nereid::sim
