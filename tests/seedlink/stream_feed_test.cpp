#include "seedlink/stream_feed.h"

#include <gtest/gtest.h>
#include <libmseed.h>

#include <cmath>
#include <vector>

#include "seedlink/mseed_record_packer.h"

namespace nereid::seedlink {
namespace {

constexpr std::uint32_t kSecond0 = 1796666100; // 2026-12-07 17:55:00
constexpr std::int64_t kNs = 1000000000LL;

std::vector<std::int32_t> Ramp(int count, int from) {
    std::vector<std::int32_t> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        samples[static_cast<std::size_t>(i)] = from + i * 3;
    }
    return samples;
}

struct FeedFixture : ::testing::Test {
    CRecordRing ring{100};
    int notified = 0;
    CStreamFeed feed{ring, MseedPackerFactory(2.0), [this] { ++notified; }};

    std::vector<std::int32_t> SamplesOf(std::uint64_t position, SRecordInfo& info) {
        std::array<char, kRecordLength> record{};
        EXPECT_EQ(ring.Get(position, record, info), kRingRecord);
        MSRecord* msr = nullptr;
        EXPECT_EQ(msr_unpack(record.data(), kRecordLength, &msr, 1, 0), MS_NOERROR);
        const auto* s = static_cast<const std::int32_t*>(msr->datasamples);
        std::vector<std::int32_t> out(s, s + msr->numsamples);
        EXPECT_EQ(msr->starttime * 1000, info.startNs);
        EXPECT_STREQ(msr->channel, info.channel.c_str());
        msr_free(&msr);
        return out;
    }
};

TEST_F(FeedFixture, SecondsBecomeRecordsWithinTheLatencyAndAGapStaysAGap) {
    feed.SetStream(9, SFeedStream{"XX", "SIM1", "", "BHZ", 10});
    // Two seconds at 10 samples per second: the two-second latency sends them as a record.
    const auto first = Ramp(10, 0);
    const auto second = Ramp(10, 30);
    feed.OnFrameStored(9, kSecond0, first.data(), 10);
    EXPECT_EQ(ring.Next(), 0u);
    feed.OnFrameStored(9, kSecond0 + 1, second.data(), 10);
    ASSERT_EQ(ring.Next(), 1u);
    EXPECT_EQ(notified, 1);
    SRecordInfo info;
    std::vector<std::int32_t> got = SamplesOf(0, info);
    EXPECT_EQ(info.startNs, kSecond0 * kNs);
    EXPECT_EQ(info.endNs, kSecond0 * kNs + 19 * kNs / 10);
    EXPECT_EQ(info.channel, "BHZ");
    std::vector<std::int32_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(got, expected);

    // One second, then a gap-filled second: the record under way goes out short, and the
    // next data start a record of their own at their own time.
    feed.OnFrameStored(9, kSecond0 + 2, first.data(), 10);
    feed.OnGapRow(9, kSecond0 + 3);
    ASSERT_EQ(ring.Next(), 2u);
    EXPECT_EQ(SamplesOf(1, info).size(), 10u);
    feed.OnFrameStored(9, kSecond0 + 4, second.data(), 10);
    feed.FlushAll();
    ASSERT_EQ(ring.Next(), 3u);
    EXPECT_EQ(SamplesOf(2, info), second);
    EXPECT_EQ(info.startNs, (kSecond0 + 4) * kNs);
    EXPECT_EQ(feed.Failures(), 0u);
    EXPECT_EQ(feed.SecondsSeen(), 4u);
}

// A sine of a 100 samples/s seismometer with some noise: about two seconds to a record.
std::vector<std::int32_t> Signal(int second) {
    std::vector<std::int32_t> samples(100);
    for (int i = 0; i < 100; ++i) {
        const int n = second * 100 + i;
        samples[static_cast<std::size_t>(i)] =
            static_cast<std::int32_t>(200000 * std::sin(0.06 * n)) + (n * 7919 % 2001) - 1000;
    }
    return samples;
}

TEST(FeedLatency, AFullRecordGoesOutWithTheSecondThatFillsItLongBeforeTheLatency) {
    CRecordRing ring(100);
    CStreamFeed feed(ring, MseedPackerFactory(10.0), nullptr);
    feed.SetStream(1, SFeedStream{"XX", "SIM1", "", "HH1", 100});
    constexpr int kSeconds = 30;
    std::vector<std::uint64_t> outAfter; // records out after each stored second
    for (int s = 0; s < kSeconds; ++s) {
        const auto samples = Signal(s);
        feed.OnFrameStored(1, kSecond0 + static_cast<std::uint32_t>(s), samples.data(), 100);
        outAfter.push_back(ring.Next());
    }
    feed.FlushAll();
    // Every record but the last (flushed short): out with the stored second that brought the
    // first sample it could not take, which is at most a second after its own last sample.
    ASSERT_GE(ring.Next(), 12u); // about 2 s of this signal to a record
    std::array<char, kRecordLength> record{};
    SRecordInfo info;
    for (std::uint64_t k = 0; k + 1 < ring.Next(); ++k) {
        ASSERT_EQ(ring.Get(k, record, info), kRingRecord);
        const std::int64_t nextSampleNs = info.endNs + kNs / 100;
        const auto second = static_cast<std::size_t>(nextSampleNs / kNs - kSecond0);
        ASSERT_LT(second, outAfter.size());
        EXPECT_GE(outAfter[second], k + 1) << "record " << k << " ending " << info.endNs;
        // The packer waited for nothing else: one second earlier it was not yet full.
        if (second > 0) {
            EXPECT_LE(outAfter[second - 1], k + 1) << k;
        }
    }
    EXPECT_EQ(feed.Failures(), 0u);
}

TEST_F(FeedFixture, ChannelsNotServedAreLeftOutAndGarbageIsNoRecord) {
    feed.SetStream(1, SFeedStream{"XX", "SIM1", "", "HHZ", 100});
    const auto samples = Ramp(100, 5);
    feed.OnFrameStored(2, kSecond0, samples.data(), 100); // not a served channel
    feed.FlushAll();
    EXPECT_EQ(ring.Next(), 0u);
    SRecordInfo info;
    std::string garbage(kRecordLength, 'x');
    EXPECT_FALSE(DescribeRecord(garbage.data(), static_cast<int>(garbage.size()), info));
    EXPECT_FALSE(DescribeRecord(garbage.data(), 100, info));
}

} // namespace
} // namespace nereid::seedlink
