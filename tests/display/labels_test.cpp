#include "display/model/header_info.h"
#include "display/model/plot_labels.h"
#include "display/model/tables.h"

#include <gtest/gtest.h>

#include "recording/bcd_time.h"
#include "recording/file_channel.h"

using namespace nereid::display::model;

TEST(PlotLabels, AmplitudeLabelsByTheirThresholds) {
    EXPECT_EQ(TopLabel(16777216), "16M");
    EXPECT_EQ(BottomLabel(16777216, false), "-16M");
    EXPECT_EQ(TopLabel(4096), "4096");
    EXPECT_EQ(BottomLabel(4096, false), "-4096");
    EXPECT_EQ(TopLabel(65536), "65K");
    EXPECT_EQ(BottomLabel(65536, false), "-65K");
    EXPECT_EQ(TopLabel(9999), "9999");
    EXPECT_EQ(TopLabel(10000), "10K");
    EXPECT_EQ(TopLabel(999999), "999K");
    EXPECT_EQ(TopLabel(1000000), "1M");
    EXPECT_EQ(TopLabel(4294967295u), "4294M");
    EXPECT_EQ(BottomLabel(4294967295u, false), "-4294M");
    EXPECT_EQ(BottomLabel(65536, true), "0");
}

TEST(PlotLabels, SpanLabels) {
    EXPECT_EQ(SpanLabel(50, 100), "0.50");
    EXPECT_EQ(SpanLabel(6000, 100), "1.00m");
    EXPECT_EQ(SpanLabel(400, 100), "4.00s");
    EXPECT_EQ(SpanLabel(5999, 100), "59.99s");
    EXPECT_EQ(SpanLabel(360000, 100), "1.00h");
    EXPECT_EQ(SpanLabel(9000, 100), "1.50m");
}

TEST(PlotLabels, StartLabelsAndReadouts) {
    nereid::recording::FileChannel channel;
    channel.dateWord = (26u << 16) | (12u << 8) | 7u;
    channel.timeWord = (9u << 16) | (5u << 8) | 3u;
    channel.fraction = 0.25;
    EXPECT_EQ(FileStartLabel(channel), "12-07-26 09:05:03.25");
    // 2026-12-07 is day 341; 09:05:03 UTC.
    const auto time = nereid::recording::BcdTime::FromSeconds(1796634303u);
    EXPECT_EQ(RealTimeStartLabel(time), "26 341 09:05:03");
    EXPECT_EQ(RealTimeReadout(time, 7), "05:03.07");
    EXPECT_EQ(ReadoutText(-12.345), "-12.35");
    EXPECT_EQ(ReadoutText(999999), "999999.00");
    EXPECT_EQ(ReadoutText(2500000), "2500.00K");
    EXPECT_EQ(FrequencyLabel(50), "50");
    EXPECT_EQ(FrequencyLabel(2000), "2K");
    EXPECT_EQ(FrequencyLabel(3000000), "3M");
    EXPECT_EQ(FrequencyLabel(12.8), "12");
}

// The quarter ticks of a slow channel's spectrum (1 sample/s, 128 of 1024 bins shown) must
// not all read "0".
TEST(PlotLabels, SlowChannelFrequencyTicksKeepTheirFraction) {
    EXPECT_EQ(FrequencyLabel(0.0), "0");
    EXPECT_EQ(FrequencyLabel(0.03125), "0.03");
    EXPECT_EQ(FrequencyLabel(0.25), "0.25");
    EXPECT_EQ(FrequencyLabel(0.5), "0.5");
    EXPECT_EQ(FrequencyLabel(1.0), "1");
    EXPECT_EQ(FrequencyLabel(9.999), "10");
    // One axis reads alike: a 12.5 Hz axis keeps whole hertz at every tick.
    EXPECT_EQ(FrequencyAxisLabel(3.125, 12.5), "3");
    EXPECT_EQ(FrequencyAxisLabel(12.5, 12.5), "12");
    EXPECT_EQ(FrequencyAxisLabel(0.3125, 1.25), "0.31");
    EXPECT_EQ(FrequencyAxisLabel(1.25, 1.25), "1.25");
}

TEST(PlotWindow, StartSpanAndRanges) {
    EXPECT_EQ(RealTimeWindowStart(2, 400), 11800);
    EXPECT_EQ(RealTimeWindowStart(50, 400), 4600);
    EXPECT_EQ(RealTimeWindowStart(0, SpanHundredths(10)), 200);
    EXPECT_EQ(SpanHundredths(3), 400);
    EXPECT_EQ(SpanHundredths(0), 10);
    EXPECT_EQ(SpanHundredths(10), 11800);
    EXPECT_EQ(SpanHundredths(14), 11800); // above 10 is taken as 10
    EXPECT_EQ(FrozenWindowStart(0, 11800), 11800);
    EXPECT_EQ(FrozenWindowStart(10, 11800), 400);
    EXPECT_STREQ(AmplitudeRangeLabel(12), "4294M");
    EXPECT_STREQ(SpectrumRangeLabel(9), "1000M");
}

TEST(PlotWindow, DraggedDividerDecidesThePanesWhileBothHaveRoom) {
    EXPECT_EQ(TimePaneHeight(600, 0.5f, kInitialDivider, 80), 300); // never dragged: the share
    EXPECT_EQ(TimePaneHeight(600, 0.25f, kInitialDivider, 80), 450);
    EXPECT_EQ(TimePaneHeight(600, 0.5f, 420, 80), 420);
    EXPECT_EQ(TimePaneHeight(600, 0.25f, 560, 80), 450); // spectra would get 40 pixels
    EXPECT_EQ(TimePaneHeight(600, 0.25f, 20, 80), 450);
    EXPECT_EQ(TimePaneHeight(600, 7.0f, kInitialDivider, 80), 300); // a bad share: half
    EXPECT_EQ(TimePaneHeight(0, 0.5f, 420, 80), 0);
    EXPECT_FLOAT_EQ(ShareOfDivider(600, 420), 0.3f);
    EXPECT_FLOAT_EQ(ShareOfDivider(600, 900), 0.0f);
}

TEST(PlotGrid, StepsOfOneTwoFiveAndPowersOfTwo) {
    EXPECT_EQ(TimeGridStep(1024), 500); // 2048 high: 5 steps of 500
    EXPECT_EQ(TimeGridStep(16), 5);     // 32 high
    EXPECT_EQ(TimeGridStep(100), 50);   // 200 high: 4 steps
    EXPECT_EQ(TimeGridStep(4294967295.0), 2000000000.0);
    for (double range : {16.0, 64.0, 1024.0, 65536.0, 16777216.0}) {
        const double steps = 2 * range / TimeGridStep(range);
        EXPECT_LE(steps, 8.0) << range;
        EXPECT_GE(steps, 2.0) << range;
    }
    EXPECT_EQ(SpectrumGridStep(100), 16); // 6.25 steps
    EXPECT_EQ(SpectrumGridStep(1), 0.125);
    EXPECT_EQ(SpectrumGridStep(1024), 128);
}

TEST(HeaderInformation, LinesOfAFileChannel) {
    nereid::recording::FileChannel file;
    file.formatText = "CSS Format";
    file.rate = 100;
    file.sampleCount = 9000;
    file.sampleType = 4;
    file.signalName = "SIM01";
    file.dateText = "12-07-26";
    file.timeText = "12:10:00";
    file.path = "/data/CD1234_121000.341";
    const auto lines = HeaderInfo(file);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], (std::pair<std::string, std::string>{"File Type", "CSS Format"}));
    EXPECT_EQ(lines[1].second, "100");
    EXPECT_EQ(lines[5], (std::pair<std::string, std::string>{"Total Time", "1.500 Minute"}));
    EXPECT_EQ(lines[6].second, "LONG");
    EXPECT_EQ(lines[7].second, "/data/CD1234_121000.341");
    file.sampleType = 9;
    file.rate = 0; // no rate given: no division by zero
    EXPECT_EQ(HeaderInfo(file)[6].second, "Unknown");
    EXPECT_EQ(HeaderInfo(file)[5].second, "0.000 Minute");
}
