#include "recording/channel_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "recording/intake_state.h"
#include "recording/pausable.h"
#include "recording/stream_list.h"
#include "tests/recording/counting_pause.h"

namespace nereid::recording {
namespace {

using test::CountingPause;

CStreamList Streams(std::vector<std::tuple<int, bool, int>> entries) {
    CStreamList list;
    for (auto [number, enabled, rate] : entries) {
        list.Streams().push_back({std::to_string(number), "", enabled, rate});
    }
    return list;
}

TEST(ChannelTable, RebuildsEnabledStreamsWithDefaultsAndSizesTheDecodeBufferWhileParked) {
    CountingPause pause;
    CChannelTable table;
    CIntakeState state;
    state.m_LastSecond = 99;
    std::vector<std::size_t> sized;
    // The receiver thread decodes into the buffer: it is sized before the thread continues.
    const CChannelTable::DecodeBufferSizer sizer = [&](std::size_t bytes) {
        EXPECT_EQ(pause.parks - pause.resumes, 1);
        sized.push_back(bytes);
        return 1;
    };
    auto streams = Streams({{1, true, 100}, {2, false, 100}, {5, true, 1000}, {9, true, 50}});
    ASSERT_EQ(table.RebuildChannels(streams, &pause, &state, sizer), 1);
    EXPECT_EQ(pause.parks, 1);
    EXPECT_EQ(pause.resumes, 1);
    EXPECT_EQ(state.m_LastSecond.load(), 0u);
    ASSERT_EQ(table.m_ChanMap.size(), 3u);
    EXPECT_EQ(table.Find(2), nullptr);
    EXPECT_EQ(table.Find(5)->ring.size(), 120u * 1000);
    EXPECT_EQ(table.Find(5)->fileName, "DChan5.dat");
    EXPECT_FALSE(table.Find(5)->recordEnable);
    EXPECT_TRUE(table.Find(1)->recordEnable);
    EXPECT_FALSE(table.Find(1)->directory.empty());
    EXPECT_EQ(sized, (std::vector<std::size_t>{3u * 1000 + 13 + 4}));

    ASSERT_EQ(table.RebuildChannels(Streams({{1, true, 100}}), &pause, nullptr, sizer), 1);
    EXPECT_EQ(sized.back(), 2048u + 4); // never below 2048
    EXPECT_EQ(table.m_ChanMap.size(), 1u);
}

TEST(ChannelTable, DecodeBufferRefusedIsAMemoryFailureAndTheThreadStillResumes) {
    CountingPause pause;
    CChannelTable table;
    EXPECT_EQ(table.RebuildChannels(Streams({{1, true, 100}}), &pause, nullptr,
                                    [](std::size_t) { return 0; }),
              kRebuildMemoryFailed);
    EXPECT_EQ(table.LastError(), "Memory allocation failure ( No enough Memory )");
    EXPECT_EQ(pause.resumes, 1);
    EXPECT_NE(table.Find(1), nullptr); // the rings themselves were had
}

TEST(ChannelTable, FailedParkChangesNothing) {
    CountingPause pause;
    pause.parkResult = -1;
    CChannelTable table;
    ASSERT_EQ(table.RebuildChannels(Streams({{1, true, 10}}), nullptr), 1);
    EXPECT_EQ(table.RebuildChannels(Streams({{2, true, 10}}), &pause), kRebuildThreadWaitFailed);
    EXPECT_EQ(table.LastError(), "Failure: thread waiting");
    EXPECT_NE(table.Find(1), nullptr);
    EXPECT_EQ(pause.resumes, 0);
}

TEST(ChannelTable, MemoryFailureLeavesAPartialTableAndStillResumesTheThread) {
    CountingPause pause;
    CChannelTable table;
    table.SetRingByteLimit(120 * 4 * 150); // room for channel 1 at 100 samples/s only
    EXPECT_EQ(table.RebuildChannels(Streams({{1, true, 100}, {2, true, 100}}), &pause),
              kRebuildMemoryFailed);
    EXPECT_EQ(table.LastError(), "Memory allocation failure ( No enough Memory )");
    EXPECT_EQ(pause.resumes, 1);
    EXPECT_NE(table.Find(1), nullptr);
    EXPECT_EQ(table.Find(2), nullptr);
}

TEST(StreamList, StreamCountGivesPrimaryAndSecondaryNumbers) {
    CStreamList list;
    list.SetStreams(3);
    std::vector<std::string> numbers;
    for (const auto& s : list.Streams()) {
        numbers.push_back(s.number);
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2", "3", "9", "10", "11"}));
    list.SetStreams(1);
    EXPECT_EQ(list.Streams().size(), 2u);
    EXPECT_EQ(list.Streams()[1].number, "9");
}

TEST(StreamList, ConfigurationSetsEnablesAndKnownRates) {
    CStreamList list;
    list.SetStreams(3);
    list.Streams()[1].rate = 77;
    std::uint8_t codes[16] = {};
    codes[0] = 40;                          // 1000
    codes[1] = 99;                          // unknown: rate kept
    codes[2] = 61;                          // 2
    codes[8] = 30;                          // channel 9: 100
    list.ApplyConfiguration(0x0105, codes); // channels 1, 3, 9
    const auto& s = list.Streams();
    EXPECT_TRUE(s[0].enabled);
    EXPECT_EQ(s[0].rate, 1000);
    EXPECT_FALSE(s[1].enabled);
    EXPECT_EQ(s[1].rate, 77);
    EXPECT_TRUE(s[2].enabled);
    EXPECT_EQ(s[2].rate, 2);
    EXPECT_TRUE(s[3].enabled);
    EXPECT_EQ(s[3].rate, 100);
    EXPECT_FALSE(s[4].enabled);

    std::vector<std::uint8_t> answer(31, 0);
    answer[13] = 0x02; // channel 2 only, from the 'R' layout
    answer[16] = 35;   // channel 2 at 500
    EXPECT_EQ(list.ApplyConfigurationAnswer(answer.data(), answer.size()), 1);
    EXPECT_TRUE(list.Streams()[1].enabled);
    EXPECT_EQ(list.Streams()[1].rate, 500);
    EXPECT_FALSE(list.Streams()[0].enabled);
    EXPECT_EQ(list.ApplyConfigurationAnswer(answer.data(), 30), 0);
    EXPECT_TRUE(list.Streams()[1].enabled);
}

} // namespace
} // namespace nereid::recording
