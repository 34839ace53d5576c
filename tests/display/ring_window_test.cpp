#include <gtest/gtest.h>

#include "display/model/ring_window.h"

namespace nereid::display::model {
namespace {

using recording::kRingRows;
using recording::RtChannel;

// A ring as the intake leaves it: rows for `from` .. `to`, each sample the second x 10 plus its
// index, the newest second in row `newestRow`.
RtChannel FilledRing(int rate, std::uint32_t from, std::uint32_t to, int newestRow) {
    RtChannel rt;
    rt.rate = rate;
    rt.ring.assign(static_cast<std::size_t>(kRingRows) * rate, 0);
    for (std::uint32_t s = from; s <= to; ++s) {
        const int row =
            ((newestRow - static_cast<int>(to - s)) % kRingRows + kRingRows) % kRingRows;
        rt.rowSecond[static_cast<std::size_t>(row)] = s;
        for (int i = 0; i < rate; ++i)
            rt.Row(row)[i] = static_cast<std::int32_t>(s * 10 + static_cast<std::uint32_t>(i));
    }
    rt.slot = newestRow;
    rt.lastSecond = to;
    return rt;
}

TEST(RingWindow, RowsAreFoundByTheirOwnSecondAcrossTheWrap) {
    const RtChannel rt = FilledRing(4, 1000, 1119, 5); // 120 s, wrapped
    const RingView ring = RingView::Of(rt);
    EXPECT_EQ(RowOf(ring, 1119), 5);
    EXPECT_EQ(RowOf(ring, 1114), 0);
    EXPECT_EQ(RowOf(ring, 1113), 119);
    EXPECT_EQ(RowOf(ring, 1000), 6);
    EXPECT_EQ(RowOf(ring, 999), -1);  // overwritten
    EXPECT_EQ(RowOf(ring, 1120), -1); // not yet arrived
    std::uint32_t oldest = 0, newest = 0;
    ASSERT_TRUE(HeldSeconds(ring, oldest, newest));
    EXPECT_EQ(oldest, 1000u);
    EXPECT_EQ(newest, 1119u);
}

TEST(RingWindow, AClockSetBackStartsTheHeldSecondsAfresh) {
    RtChannel rt = FilledRing(4, 5000, 5050, 50);
    // The recorder's clock went back seven minutes: the next frame lands one row on.
    rt.slot = 51;
    rt.lastSecond = 4631;
    rt.rowSecond[51] = 4631;
    const RingView ring = RingView::Of(rt);
    std::uint32_t oldest = 0, newest = 0;
    ASSERT_TRUE(HeldSeconds(ring, oldest, newest));
    EXPECT_EQ(oldest, 4631u);
    EXPECT_EQ(newest, 4631u);
    EXPECT_EQ(RowOf(ring, 4630), -1); // row 50 holds 5050, not 4630

    // A window over the last four seconds draws only the one second there is.
    std::vector<MinMax> columns;
    WindowSummary summary;
    DecimateSeconds(ring, 4628ull * 4, 16, 16, columns, nullptr, summary);
    EXPECT_EQ(summary.drawn, 4u);
    EXPECT_EQ(summary.firstDrawn, 4631ull * 4);
    for (int c = 0; c < 12; ++c)
        EXPECT_EQ(columns[static_cast<std::size_t>(c)].count, 0u) << c;
    EXPECT_EQ(columns[12].count, 1u);
}

TEST(RingWindow, GapRowsAreEmptyColumnsMarkedAsGaps) {
    RtChannel rt = FilledRing(100, 2000, 2009, 9);
    const int gapRow = RowOf(RingView::Of(rt), 2005);
    rt.rowGap[static_cast<std::size_t>(gapRow)] = 1;
    std::fill(rt.Row(gapRow), rt.Row(gapRow) + 100, 0);
    const RingView ring = RingView::Of(rt);
    std::vector<MinMax> columns;
    std::vector<std::uint8_t> gaps;
    WindowSummary summary;
    // Seconds 2004 .. 2006 in 30 columns: columns 10 .. 19 cover the gap.
    DecimateSeconds(ring, 2004ull * 100, 300, 30, columns, &gaps, summary);
    EXPECT_EQ(summary.gapSamples, 100u);
    EXPECT_EQ(summary.drawn, 200u);
    for (int c = 0; c < 30; ++c) {
        const bool inGap = c >= 10 && c < 20;
        EXPECT_EQ(columns[static_cast<std::size_t>(c)].count, inGap ? 0u : 10u) << c;
        EXPECT_EQ(gaps[static_cast<std::size_t>(c)], inGap ? 1 : 0) << c;
    }
    EXPECT_EQ(columns[0].min, 20040.0);
    EXPECT_EQ(columns[0].max, 20049.0);
    EXPECT_EQ(columns[29].max, 20060.0 + 99.0);
}

TEST(RingWindow, ColumnsKeepEveryPeakAcrossRowBoundaries) {
    RtChannel rt = FilledRing(7, 3000, 3003, 2);
    rt.Row(RowOf(RingView::Of(rt), 3001))[6] = -99999; // last sample of a row
    std::vector<MinMax> columns;
    WindowSummary summary;
    // 28 samples in 3 columns: the boundaries do not fall on row boundaries.
    DecimateSeconds(RingView::Of(rt), 3000ull * 7, 28, 3, columns, nullptr, summary);
    std::uint64_t total = 0;
    double lowest = 0;
    for (const MinMax& m : columns) {
        total += m.count;
        lowest = std::min(lowest, m.min);
    }
    EXPECT_EQ(total, 28u);
    EXPECT_EQ(lowest, -99999.0);
}

TEST(RingWindow, SpectrumBlockEndsAtTheWindowAndCountsWhatIsMissing) {
    RtChannel rt = FilledRing(4, 100, 110, 3);
    const int gapRow = RowOf(RingView::Of(rt), 109);
    rt.rowGap[static_cast<std::size_t>(gapRow)] = 1;
    float block[8];
    // The 8 samples before second 110: seconds 108 and 109 (a gap).
    EXPECT_EQ(SecondsBlock(RingView::Of(rt), 110ull * 4, 8, block), 4);
    EXPECT_EQ(block[0], 1080.0f);
    EXPECT_EQ(block[3], 1083.0f);
    EXPECT_EQ(block[4], 0.0f);
    // Before the oldest second held, everything is missing.
    EXPECT_EQ(SecondsBlock(RingView::Of(rt), 100ull * 4, 8, block), 8);
    EXPECT_EQ(SecondsBlock(RingView::Of(rt), 3, 8, block), 8); // before 1970 + 0
}

TEST(RingWindow, FrozenScrollRunsFromOldestToNewestWithoutJumping) {
    const int span = 400;
    std::uint64_t previous = 0;
    for (int p = 0; p <= 200; ++p) {
        const std::uint64_t start = FrozenWindowStartAt(p, 11000, 11119, span);
        if (p > 0) {
            EXPECT_GT(start, previous) << p;
        }
        previous = start;
    }
    EXPECT_EQ(FrozenWindowStartAt(0, 11000, 11119, span), 1100000u);
    EXPECT_EQ(FrozenWindowStartAt(200, 11000, 11119, span), 1111900u - 400u);
    // A span longer than what is held: the window stays at the newest end.
    EXPECT_EQ(FrozenWindowStartAt(0, 11100, 11119, 11800), 1111900u - 11800u);
    EXPECT_EQ(FrozenWindowStartAt(200, 11100, 11119, 11800), 1111900u - 11800u);
    EXPECT_EQ(FrozenWindowStartAt(999, 11000, 11119, span), 1111900u - 400u); // clamped
}

TEST(RingWindow, CopyTakenAtFreezeStaysWhenTheLiveRingMovesOn) {
    RtChannel rt = FilledRing(4, 100, 110, 3);
    RingCopy copy;
    copy.Take(rt);
    rt.rowSecond[4] = 111;
    rt.slot = 4;
    rt.lastSecond = 111;
    std::fill(rt.ring.begin(), rt.ring.end(), 7);
    const RingView frozen = copy.View();
    EXPECT_EQ(frozen.lastSecond, 110u);
    EXPECT_EQ(RowOf(frozen, 111), -1);
    EXPECT_EQ(frozen.samples[static_cast<std::size_t>(RowOf(frozen, 105)) * 4], 1050);
}

TEST(RingWindow, AnEmptyOrUnallocatedRingDrawsNothing) {
    RtChannel rt;
    rt.rate = 10; // no ring allocated
    EXPECT_FALSE(RingView::Of(rt).Valid());
    std::vector<MinMax> columns;
    WindowSummary summary;
    DecimateSeconds(RingView::Of(rt), 0, 100, 10, columns, nullptr, summary);
    EXPECT_EQ(columns.size(), 10u);
    EXPECT_EQ(summary.drawn, 0u);
    std::uint32_t oldest = 0, newest = 0;
    EXPECT_FALSE(HeldSeconds(RingView::Of(rt), oldest, newest));
}

} // namespace
} // namespace nereid::display::model
