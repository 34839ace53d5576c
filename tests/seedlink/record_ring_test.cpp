#include "seedlink/record_ring.h"

#include <gtest/gtest.h>

#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

using test::AppendFake;
using test::kSecond;
using test::kT0;

TEST(RecordRing, WrapsAroundKeepingTheNewestRecords) {
    CRecordRing ring(4);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(AppendFake(ring, "HHZ", i, kT0 + i * kSecond, kT0 + i * kSecond + 1),
                  static_cast<std::uint64_t>(i));
    }
    EXPECT_EQ(ring.Oldest(), 6u);
    EXPECT_EQ(ring.Next(), 10u);
    std::array<char, kRecordLength> record{};
    SRecordInfo info;
    EXPECT_EQ(ring.Get(5, record, info), kRingGone);
    for (int i = 6; i < 10; ++i) {
        ASSERT_EQ(ring.Get(static_cast<std::uint64_t>(i), record, info), kRingRecord);
        EXPECT_EQ(test::LabelOf(record.data()), "HHZ#" + std::to_string(i));
        EXPECT_EQ(info.startNs, kT0 + i * kSecond);
    }
    EXPECT_EQ(ring.Get(10, record, info), kRingNotYet);
}

TEST(RecordRing, ResolvesWireSequenceNumbers) {
    CRecordRing ring(4);
    bool found = false;
    // Empty ring: the number of the next record is known, any other is not.
    EXPECT_EQ(ring.Resolve(0, found), 0u);
    EXPECT_TRUE(found);
    for (int i = 0; i < 10; ++i) {
        AppendFake(ring, "HHZ", i, kT0, kT0);
    }
    EXPECT_EQ(ring.Resolve(7, found), 7u);
    EXPECT_TRUE(found);
    EXPECT_EQ(ring.Resolve(10, found), 10u); // the next one: wait for it
    EXPECT_TRUE(found);
    // Overwritten: start at the oldest held.
    EXPECT_EQ(ring.Resolve(3, found), 6u);
    EXPECT_FALSE(found);
    // Never made here (an earlier run of the service counted further): the oldest too.
    EXPECT_EQ(ring.Resolve(0x123456, found), 6u);
    EXPECT_FALSE(found);
}

TEST(RecordRing, SequenceNumbersRollOverAfterSixHexDigits) {
    CRecordRing ring(8, 0xFFFFFE);
    for (int i = 0; i < 4; ++i) {
        AppendFake(ring, "HHZ", i, kT0, kT0);
    }
    bool found = false;
    EXPECT_EQ(ring.Resolve(0xFFFFFF, found), 0xFFFFFFu);
    EXPECT_TRUE(found);
    EXPECT_EQ(ring.Resolve(0x000000, found), 0x1000000u);
    EXPECT_TRUE(found);
    EXPECT_EQ(ring.Resolve(0x000002, found), 0x1000002u); // next to come
    EXPECT_TRUE(found);
}

TEST(RecordRing, FindsTimesAndListsStreams) {
    CRecordRing ring(16);
    AppendFake(ring, "HHZ", 0, kT0, kT0 + 2 * kSecond);
    AppendFake(ring, "HHN", 0, kT0, kT0 + 3 * kSecond);
    AppendFake(ring, "HHZ", 1, kT0 + 2 * kSecond, kT0 + 4 * kSecond);
    EXPECT_EQ(ring.FirstEndingAfter(kT0), 0u);
    EXPECT_EQ(ring.FirstEndingAfter(kT0 + 3 * kSecond), 1u);
    EXPECT_EQ(ring.FirstEndingAfter(kT0 + 4 * kSecond - 1), 2u);
    EXPECT_EQ(ring.FirstEndingAfter(kT0 + 5 * kSecond), 3u);
    const std::vector<SStreamSpan> streams = ring.Streams();
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].channel, "HHN");
    EXPECT_EQ(streams[1].channel, "HHZ");
    EXPECT_EQ(streams[1].beginNs, kT0);
    EXPECT_EQ(streams[1].endNs, kT0 + 4 * kSecond);
}

} // namespace
} // namespace nereid::seedlink
