#include <gtest/gtest.h>

#include "display/model/auto_range.h"
#include "display/model/time_axis.h"

namespace nereid::display::model {
namespace {

// 2026-12-08 03:32:10 UTC
constexpr std::uint64_t kMorningMs = 1796700730000ull;

TEST(TimeAxis, TicksSitOnWholeStepsWithClockLabels) {
    // 4 s from 03:32:10.250 over 800 pixels, labels at least 200 pixels apart: a 1 s step.
    const auto ticks = TimeTicks(kMorningMs + 250, 4000, 800, 200);
    ASSERT_EQ(ticks.size(), 4u);
    EXPECT_EQ(ticks[0].text, "03:32:11");
    EXPECT_DOUBLE_EQ(ticks[0].fraction, 750.0 / 4000.0);
    EXPECT_EQ(ticks[3].text, "03:32:14");
    for (std::size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GT(ticks[i].fraction, ticks[i - 1].fraction);
}

TEST(TimeAxis, ShortSpansGetDecimalsAndLongOnesMinuteSteps) {
    const auto fine = TimeTicks(kMorningMs, 100, 800, 100); // 0.1 s
    ASSERT_FALSE(fine.empty());
    EXPECT_EQ(fine[0].text, "03:32:10.00");
    EXPECT_EQ(fine[1].text, "03:32:10.02");
    const auto coarse = TimeTicks(kMorningMs, 118000, 800, 100); // 118 s
    ASSERT_GE(coarse.size(), 2u);
    EXPECT_EQ(coarse[0].text, "03:32:15");
    EXPECT_EQ(coarse[1].text, "03:32:30");
    EXPECT_LE(coarse.size(), 8u);
}

TEST(TimeAxis, AWindowNotYetFullIsLabelledOnlyWhereSamplesAre) {
    const auto ticks = TimeTicks(kMorningMs, 4000, 800, 200, kMorningMs + 2500);
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(ticks[0].text, "03:32:13");
    EXPECT_TRUE(TimeTicks(kMorningMs, 0, 800, 100).empty());
    // Nothing drawn at all: no tick, however far the "from" lies.
    EXPECT_TRUE(TimeTicks(kMorningMs, 4000, 800, 100, ~0ull).empty());
    EXPECT_TRUE(TimeTicks(kMorningMs, 4000, 800, 100, kMorningMs + 4000).empty());
    EXPECT_TRUE(TimeTicks(kMorningMs, 1000, 0, 100).empty());
}

TEST(TimeAxis, ReadoutAndStartLabelShowTheRecordersClock) {
    EXPECT_EQ(ClockReadout(kMorningMs + 7), "03:32:10.007");
    EXPECT_EQ(ClockReadout(kMorningMs - 12730000 + 86399999), "23:59:59.999"); // same day
    // Year 26, day 342 (8 December).
    EXPECT_EQ(RealTimeStart(kMorningMs + 999), "26 342 03:32:10");
}

TEST(AutoRange, NiceCeilingTakesTheNextFineStep) {
    EXPECT_DOUBLE_EQ(NiceCeiling(105000), 120000);
    EXPECT_DOUBLE_EQ(NiceCeiling(120000), 120000);
    EXPECT_DOUBLE_EQ(NiceCeiling(8.1), 10);
    EXPECT_DOUBLE_EQ(NiceCeiling(0.3), 1);
    EXPECT_DOUBLE_EQ(NiceCeiling(0), 1);
    EXPECT_DOUBLE_EQ(NiceCeiling(-5), 1);
    EXPECT_DOUBLE_EQ(NiceCeiling(5e9), 5e9);
}

TEST(AutoRange, FittedLabelsAreShort) {
    EXPECT_EQ(FittedLabel(120000), "120K");
    EXPECT_EQ(FittedLabel(120000, true), "-120K");
    EXPECT_EQ(FittedLabel(1.5e6), "1.5M");
    EXPECT_EQ(FittedLabel(2e10), "20G");
    EXPECT_EQ(FittedLabel(4000), "4000");
    EXPECT_EQ(FittedLabel(1), "1");
}

TEST(AutoRange, GrowsAtOnceAndShrinksOnlyWellBelow) {
    CAutoRange range;
    // A +-100000 sine fills 100000 / 120000 of its half band.
    EXPECT_DOUBLE_EQ(range.Fit(100000, true), 120000);
    EXPECT_DOUBLE_EQ(range.Fit(130000, true), 150000); // grown at once
    EXPECT_DOUBLE_EQ(range.Fit(90000, true), 150000);  // 60 %: kept
    EXPECT_DOUBLE_EQ(range.Fit(50000, true), 60000);   // below 40 %: fitted anew
    EXPECT_DOUBLE_EQ(range.Fit(0, false), 60000);      // a window without samples keeps it
    range.Reset();
    EXPECT_DOUBLE_EQ(range.Fit(0, false), 1);
    EXPECT_DOUBLE_EQ(range.Fit(-3000, true), 4000); // the peak's size counts, not its sign
}

} // namespace
} // namespace nereid::display::model
