#include "link/channel_rebuild.h"

#include <gtest/gtest.h>

#include <string>

#include "recording/channel_table.h"
#include "recording/intake_state.h"
#include "recording/pausable.h"
#include "recording/stream_list.h"
#include "tests/link/fake_link.h"
#include "tests/recording/counting_pause.h"

namespace nereid::link {
namespace {

using recording::test::CountingPause;

recording::CStreamList Rates(std::initializer_list<int> rates) {
    recording::CStreamList list;
    int number = 1;
    for (int rate : rates) {
        list.Streams().push_back({std::to_string(number++), "", true, rate});
    }
    return list;
}

// The link decodes a data frame of the fastest channel into this buffer: 11 bytes of header,
// three per sample and the CRC, with room for at least 2048 and 4 bytes of margin.
TEST(ChannelRebuild, GrowsAndShrinksTheLinksDecodeBufferWithTheFastestChannel) {
    test::FakeLink link;
    CountingPause pause;
    recording::CChannelTable table;
    recording::CIntakeState state;
    state.m_LastSecond = 99;
    ASSERT_EQ(RebuildChannels(table, Rates({100, 1000, 50}), &link, &pause, &state), 1);
    EXPECT_EQ(link.DecodeBufferSize(), 3u * 1000 + 13 + 4);
    EXPECT_EQ(table.m_ChanMap.size(), 3u);
    EXPECT_EQ(state.m_LastSecond.load(), 0u);
    EXPECT_EQ(pause.parks, 1);
    EXPECT_EQ(pause.resumes, 1);

    ASSERT_EQ(RebuildChannels(table, Rates({100}), &link, &pause), 1);
    EXPECT_EQ(link.DecodeBufferSize(), 2048u + 4);
    ASSERT_EQ(RebuildChannels(table, Rates({}), &link, nullptr), 1);
    EXPECT_EQ(link.DecodeBufferSize(), 2048u + 4);
}

TEST(ChannelRebuild, ThreadThatWillNotParkLeavesTableAndBufferAlone) {
    test::FakeLink link;
    CountingPause pause;
    recording::CChannelTable table;
    ASSERT_EQ(RebuildChannels(table, Rates({1000}), &link, nullptr), 1);
    pause.parkResult = -1;
    EXPECT_EQ(RebuildChannels(table, Rates({10}), &link, &pause),
              recording::kRebuildThreadWaitFailed);
    EXPECT_EQ(link.DecodeBufferSize(), 3u * 1000 + 13 + 4);
    EXPECT_EQ(table.Find(1)->rate, 1000);
    EXPECT_EQ(pause.resumes, 0);
}

TEST(ChannelRebuild, WithoutALinkOnlyTheTableIsRebuilt) {
    recording::CChannelTable table;
    ASSERT_EQ(RebuildChannels(table, Rates({200, 0}), nullptr, nullptr), 1);
    EXPECT_EQ(table.m_ChanMap.size(), 2u);
    EXPECT_EQ(table.Find(2)->ring.size(), 0u);
}

} // namespace
} // namespace nereid::link
