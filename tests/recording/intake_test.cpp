#include "recording/intake.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "recording/channel_table.h"
#include "recording/intake_state.h"
#include "recording/stream_list.h"

namespace nereid::recording {
namespace {

struct Posted {
    unsigned message;
    std::uintptr_t wParam;
    long lParam;
    friend bool operator==(const Posted&, const Posted&) = default;
};

class RecordingEvents : public CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t wParam, long lParam) override {
        posted.push_back({message, wParam, lParam});
    }
    void SetRecordingProgress(int percent) override { progress.push_back(percent); }
    std::vector<Posted> posted;
    std::vector<int> progress;
};

// Records every WriteSecond with the recorder members as the intake had set them.
class RecordingSink : public CSecondSink {
public:
    struct Write {
        int channel;
        std::uint32_t currentSecond;
        bool stopRecording;
        std::vector<std::int32_t> samples;
    };
    int WriteSecond(int channel, const std::int32_t* samples, int bytes, int& progress) override {
        writes.push_back({channel, m_CurrentSecondFrom1970.load(), StopRecording.load(),
                          std::vector<std::int32_t>(samples, samples + bytes / 4)});
        progress = nextProgress;
        if (failOnWrite >= 0 && static_cast<int>(writes.size()) == failOnWrite + 1) {
            return -1;
        }
        return 1;
    }
    std::vector<Write> writes;
    int failOnWrite = -1; // index of the write that fails
    int nextProgress = -1;
};

std::vector<std::uint8_t> DataFrame(int channelIndexByte, std::uint32_t second,
                                    const std::vector<std::int32_t>& samples,
                                    std::uint16_t unit = 0x1234) {
    std::vector<std::uint8_t> p(11, 0);
    p[0] = unit & 0xFF;
    p[1] = unit >> 8;
    p[2] = static_cast<std::uint8_t>(channelIndexByte);
    for (int i = 0; i < 4; ++i) {
        p[4 + i] = static_cast<std::uint8_t>(second >> (8 * i));
    }
    for (std::int32_t s : samples) {
        const auto u = static_cast<std::uint32_t>(s);
        p.push_back(u & 0xFF);
        p.push_back((u >> 8) & 0xFF);
        p.push_back((u >> 16) & 0xFF);
    }
    return p;
}

std::vector<std::int32_t> Samples(std::int32_t base, int rate = 4) {
    std::vector<std::int32_t> v;
    for (int i = 0; i < rate; ++i) {
        v.push_back(base + i);
    }
    return v;
}

CStreamList Streams(std::vector<std::tuple<int, bool, int>> entries) {
    CStreamList list;
    for (auto [number, enabled, rate] : entries) {
        list.Streams().push_back({std::to_string(number), "", enabled, rate});
    }
    return list;
}

class IntakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(table.RebuildChannels(Streams({{1, true, 4}, {2, true, 4}}), nullptr, &state), 1);
        intake.SetRecorder(&sink);
    }
    void Feed(int chan, std::uint32_t second, std::int32_t base = 100) {
        auto frame = DataFrame(chan - 1, second, Samples(base));
        intake.HandleDataFrame(frame.data(), frame.size());
    }
    // Arms the gate with `second` - 1 and starts channel 1 at `second`.
    void StartAt(std::uint32_t second) {
        Feed(1, second - 1);
        Feed(1, second);
    }
    std::vector<std::int32_t> Row(int chan, int row) {
        RtChannel* rec = table.Find(chan);
        return std::vector<std::int32_t>(rec->Row(row), rec->Row(row) + rec->rate);
    }

    CChannelTable table;
    CIntakeState state;
    RecordingEvents events;
    RecordingSink sink;
    CRealTimeIntake intake{table, state, events};
};

TEST(SampleDecoding, TwentyFourBitVectorsSignExtend) {
    const std::uint8_t most_negative[] = {0x00, 0x00, 0x80};
    const std::uint8_t most_positive[] = {0xFF, 0xFF, 0x7F};
    const std::uint8_t one[] = {0x01, 0x00, 0x00};
    const std::uint8_t minus_one[] = {0xFF, 0xFF, 0xFF};
    EXPECT_EQ(DecodeSample24(most_negative), -8388608);
    EXPECT_EQ(DecodeSample24(most_positive), 8388607);
    EXPECT_EQ(DecodeSample24(one), 1);
    EXPECT_EQ(DecodeSample24(minus_one), -1);
}

TEST_F(IntakeTest, StoresTheVectorsInTheRing) {
    StartAt(500);
    std::vector<std::uint8_t> frame = DataFrame(0, 501, {});
    for (std::uint8_t b :
         {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0xFE, 0xFF, 0xFF}) {
        frame.push_back(b);
    }
    intake.HandleDataFrame(frame.data(), frame.size());
    EXPECT_EQ(Row(1, state.m_CurIndex.load()),
              (std::vector<std::int32_t>{-8388608, 8388607, 1, -2}));
}

TEST_F(IntakeTest, FirstFrameOnlyArmsTheRestartGate) {
    Feed(1, 1000, 7);
    EXPECT_EQ(state.m_RestartSecond.load(), 1000u);
    EXPECT_EQ(state.m_LastSecond.load(), 0u);
    EXPECT_EQ(table.Find(1)->lastSecond, 0u);
    EXPECT_EQ(Row(1, 0), (std::vector<std::int32_t>{0, 0, 0, 0}));

    Feed(2, 1000, 9); // same second, other channel: still behind the gate
    EXPECT_EQ(state.m_LastSecond.load(), 0u);

    Feed(2, 1001, 9); // the next second is stored, and its channel becomes the reference
    EXPECT_EQ(state.m_LastSecond.load(), 1001u);
    EXPECT_EQ(intake.ReferenceChannel(), 2);
    EXPECT_EQ(Row(2, state.m_CurIndex.load()), Samples(9));
    EXPECT_EQ(state.m_TimeStamps[state.m_CurIndex.load()], BcdTime::FromSeconds(1001));
    EXPECT_EQ(table.Find(1)->lastSecond, 1001u); // every channel starts at that second
}

TEST_F(IntakeTest, GapIsFilledWithStampedZeroRowsWrittenInAscendingOrder) {
    state.m_bRecording = true;
    Feed(1, 99);
    Feed(1, 100, 10); // start: stored, nothing written
    EXPECT_TRUE(sink.writes.empty());
    Feed(1, 101, 20);
    // Make the rows of 102 and 103 dirty, to see them zeroed.
    std::fill(table.Find(1)->ring.begin(), table.Find(1)->ring.end(), 55);
    Feed(1, 104, 40);

    ASSERT_EQ(sink.writes.size(), 4u);
    EXPECT_EQ(sink.writes[0].currentSecond, 101u);
    EXPECT_EQ(sink.writes[0].samples, Samples(20));
    EXPECT_EQ(sink.writes[1].currentSecond, 102u);
    EXPECT_EQ(sink.writes[1].samples, (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(sink.writes[2].currentSecond, 103u);
    EXPECT_EQ(sink.writes[2].samples, (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(sink.writes[3].currentSecond, 104u);
    EXPECT_EQ(sink.writes[3].samples, Samples(40));

    const int row104 = state.m_CurIndex.load();
    const int row102 = (row104 + kRingRows - 2) % kRingRows;
    const int row103 = (row104 + kRingRows - 1) % kRingRows;
    EXPECT_EQ(Row(1, row102), (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(Row(1, row103), (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(state.m_TimeStamps[row102], BcdTime::FromSeconds(102));
    EXPECT_EQ(state.m_TimeStamps[row103], BcdTime::FromSeconds(103));
    EXPECT_EQ(state.m_TimeStamps[row104], BcdTime::FromSeconds(104));
    EXPECT_EQ(state.m_LastSecond.load(), 104u);
    // Each row carries its own second; only the filled ones are marked as gaps.
    const RtChannel& rec = *table.Find(1);
    EXPECT_EQ(rec.rowSecond[static_cast<std::size_t>(row102)], 102u);
    EXPECT_EQ(rec.rowSecond[static_cast<std::size_t>(row103)], 103u);
    EXPECT_EQ(rec.rowSecond[static_cast<std::size_t>(row104)], 104u);
    EXPECT_EQ(rec.rowGap[static_cast<std::size_t>(row102)], 1);
    EXPECT_EQ(rec.rowGap[static_cast<std::size_t>(row103)], 1);
    EXPECT_EQ(rec.rowGap[static_cast<std::size_t>(row104)], 0);
    // A frame that later lands in a gap row's place clears its mark.
    const int row101 = (row104 + kRingRows - 3) % kRingRows;
    EXPECT_EQ(rec.rowSecond[static_cast<std::size_t>(row101)], 101u);
    EXPECT_EQ(rec.rowGap[static_cast<std::size_t>(row101)], 0);
}

TEST_F(IntakeTest, RowsKeepTheirOwnSecondsAcrossABackwardClockJump) {
    StartAt(5000);
    Feed(1, 5001, 1);
    Feed(1, 5002, 2);
    const int before = table.Find(1)->slot;
    Feed(1, 4000, 3); // the recorder's clock was set back by more than the ring holds
    const RtChannel& rec = *table.Find(1);
    EXPECT_EQ(rec.slot, before);
    EXPECT_EQ(rec.rowSecond[static_cast<std::size_t>(rec.slot)], 4000u);
    // The row before still says 5001: a reader sees that it does not precede 4000.
    EXPECT_EQ(rec.rowSecond[static_cast<std::size_t>((rec.slot + kRingRows - 1) % kRingRows)],
              5001u);
}

TEST_F(IntakeTest, AChannelAddedWhileStreamingStartsWithoutInventedSeconds) {
    state.m_bRecording = true;
    StartAt(100);
    Feed(1, 101);
    Feed(1, 102);
    // The table gained a channel (a configuration change): it has seen no second yet.
    RtChannel& added = table.m_ChanMap[5];
    added.rate = 4;
    added.ring.assign(static_cast<std::size_t>(kRingRows) * 4, 0);
    const std::size_t writesBefore = sink.writes.size();
    Feed(5, 103, 30);
    EXPECT_EQ(added.slot, state.m_CurIndex.load() + 1);
    EXPECT_EQ(added.rowSecond[static_cast<std::size_t>(added.slot)], 103u);
    int gapRows = 0;
    for (std::uint8_t g : added.rowGap)
        gapRows += g;
    EXPECT_EQ(gapRows, 0);
    // Only the frame itself reached the recorder, no zero seconds before it.
    ASSERT_EQ(sink.writes.size(), writesBefore + 1);
    EXPECT_EQ(sink.writes.back().currentSecond, 103u);
    EXPECT_EQ(sink.writes.back().samples, Samples(30));
}

TEST_F(IntakeTest, GapOfAnotherChannelDoesNotStampTheRows) {
    StartAt(100); // channel 1 is the reference
    Feed(2, 100);
    Feed(1, 101);
    Feed(2, 103); // channel 2 skipped 101 and 102
    const int row2 = table.Find(2)->slot;
    EXPECT_EQ(state.m_TimeStamps[(row2 + kRingRows - 1) % kRingRows], BcdTime{});
    EXPECT_EQ(state.m_LastSecond.load(), 101u);
}

TEST_F(IntakeTest, ForwardJumpOf150SecondsStopsRecordingFirstAndFills29Rows) {
    state.m_bRecording = true;
    StartAt(1000);
    const int startSlot = table.Find(1)->slot;
    Feed(1, 1150, 3);

    ASSERT_EQ(sink.writes.size(), 30u); // 29 gap rows, then the frame
    for (std::size_t i = 0; i < 29; ++i) {
        EXPECT_TRUE(sink.writes[i].stopRecording) << i;
        EXPECT_EQ(sink.writes[i].samples, (std::vector<std::int32_t>{0, 0, 0, 0}));
        EXPECT_EQ(sink.writes[i].currentSecond, 1121u + i) << i; // ascending, just before 1150
    }
    EXPECT_EQ(sink.writes[29].samples, Samples(3));
    EXPECT_EQ(table.Find(1)->slot, (startSlot + 30) % kRingRows);
    EXPECT_EQ(state.m_LastSecond.load(), 1150u);
}

TEST_F(IntakeTest, BackwardTimeMovesTheSlotBackAndLargeJumpsOverwriteInPlace) {
    StartAt(2000);
    for (std::uint32_t s = 2001; s <= 2010; ++s) {
        Feed(2, s - 1);
        Feed(1, s);
    }
    const int slot2010 = table.Find(1)->slot;
    Feed(1, 2003, 77); // 7 s back
    EXPECT_EQ(table.Find(1)->slot, (slot2010 + kRingRows - 7) % kRingRows);
    EXPECT_EQ(Row(1, table.Find(1)->slot), Samples(77));
    EXPECT_EQ(state.m_LastSecond.load(), 2003u);
    EXPECT_EQ(table.Find(1)->lastSecond, 2003u);

    const int before = table.Find(2)->slot;
    Feed(2, 1000, 88); // far behind: channel 2 takes over as reference, slot unchanged
    EXPECT_EQ(intake.ReferenceChannel(), 2);
    EXPECT_EQ(table.Find(2)->slot, before);
    EXPECT_EQ(Row(2, before), Samples(88));
    EXPECT_EQ(state.m_LastSecond.load(), 1000u);
}

TEST_F(IntakeTest, ChannelNibbleIgnoresHighBitsAndUnknownChannelsAreDropped) {
    StartAt(300);
    auto frame = DataFrame(0xF0, 301, Samples(5)); // low nibble 0: channel 1
    intake.HandleDataFrame(frame.data(), frame.size());
    EXPECT_EQ(table.Find(1)->lastSecond, 301u);
    EXPECT_EQ(Row(1, table.Find(1)->slot), Samples(5));

    auto stranger = DataFrame(4, 302, Samples(6)); // channel 5 has no record
    intake.HandleDataFrame(stranger.data(), stranger.size());
    EXPECT_EQ(table.Find(5), nullptr);
    EXPECT_EQ(table.Find(2)->lastSecond, 300u); // channel 2 never sent: it stays put
}

TEST_F(IntakeTest, ShortFramesNeverReadPastTheirEnd) {
    StartAt(400);
    auto frame = DataFrame(0, 401, {9, 8}); // two samples of four
    intake.HandleDataFrame(frame.data(), frame.size());
    EXPECT_EQ(Row(1, table.Find(1)->slot), (std::vector<std::int32_t>{9, 8, 0, 0}));

    const std::uint8_t stub[6] = {0, 0, 0, 0, 0x92, 0x01};
    intake.HandleDataFrame(stub, sizeof stub);
    intake.HandleDataFrame(nullptr, 0);
    EXPECT_EQ(table.Find(1)->lastSecond, 401u);
}

TEST_F(IntakeTest, FailedGapWriteRearmsRecordingAtTheNextNewSecond) {
    state.m_bRecording = true;
    StartAt(100);
    sink.failOnWrite = 0; // the first gap row
    Feed(1, 103, 1);
    EXPECT_FALSE(state.m_bRecording.load());
    EXPECT_TRUE(state.m_bResumePending.load());
    EXPECT_EQ(state.m_RestartSecond.load(), kRestartArmed);
    ASSERT_EQ(sink.writes.size(), 1u); // no further write once it failed
    ASSERT_EQ(events.posted.size(), 1u);
    EXPECT_EQ(events.posted[0], (Posted{kMsgAcquisition, 2, kCodeAcquisitionStopped}));

    sink.failOnWrite = -1;
    sink.StopRecording = true;
    Feed(1, 104, 2); // arms the gate
    Feed(2, 104, 2); // same second: ignored
    EXPECT_FALSE(state.m_bRecording.load());
    Feed(1, 105, 3); // resumes here
    EXPECT_TRUE(state.m_bRecording.load());
    EXPECT_FALSE(sink.StopRecording.load());
    EXPECT_FALSE(state.m_bResumePending.load());
    ASSERT_EQ(sink.writes.size(), 2u);
    EXPECT_EQ(sink.writes[1].samples, Samples(3));
    EXPECT_EQ(table.Find(2)->lastSecond, 105u);
    EXPECT_EQ(table.Find(2)->slot, table.Find(1)->slot);
}

TEST_F(IntakeTest, RecordingStartedBeforeAnyDataIsNotTakenForAJump) {
    // No second seen yet: the first frame must start the files, not close them.
    state.m_RestartSecond = 0;
    state.m_bRecording = true;
    Feed(1, 5000);
    EXPECT_FALSE(sink.StopRecording.load());
    Feed(1, 5001);
    EXPECT_FALSE(sink.StopRecording.load());
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_FALSE(sink.writes[0].stopRecording);
    EXPECT_TRUE(state.m_bRecording.load());
}

TEST_F(IntakeTest, JumpOfWholeRingLengthsRearmsInsteadOfEndingTheRecording) {
    // A recorder refuses every second while its files are being closed for the jump.
    class ClosingSink : public RecordingSink {
    public:
        int WriteSecond(int channel, const std::int32_t* samples, int bytes,
                        int& progress) override {
            RecordingSink::WriteSecond(channel, samples, bytes, progress);
            return StopRecording.load() ? 0 : 1;
        }
    } closing;
    intake.SetRecorder(&closing);
    state.m_bRecording = true;
    StartAt(1000);
    Feed(1, 1121, 7); // 121 s: the gap of 120 rows modulo the ring is no row at all
    EXPECT_FALSE(state.m_bRecording.load());
    EXPECT_TRUE(state.m_bResumePending.load());
    EXPECT_EQ(state.m_RestartSecond.load(), kRestartArmed);
    for (const Posted& p : events.posted) {
        EXPECT_NE(p.message, kMsgStopRecording); // not the "recording stopped" path
    }
    Feed(1, 1122); // arms the gate
    Feed(1, 1123, 9);
    EXPECT_TRUE(state.m_bRecording.load());
    EXPECT_FALSE(closing.StopRecording.load());
    EXPECT_EQ(closing.writes.back().samples, Samples(9));
}

TEST_F(IntakeTest, FailedFrameWriteStopsRecordingAndPostsStopFirst) {
    state.m_bRecording = true;
    StartAt(100);
    sink.failOnWrite = 0;
    Feed(1, 101);
    Feed(1, 102);
    ASSERT_EQ(events.posted.size(), 2u);
    EXPECT_EQ(events.posted[0], (Posted{kMsgStopRecording, 0, 0}));
    EXPECT_EQ(events.posted[1], (Posted{kMsgAcquisition, 1, kCodeAcquisitionStopped}));
    EXPECT_FALSE(state.m_bRecording.load());
    EXPECT_EQ(sink.writes.size(), 1u); // 102 is stored but no longer written
    EXPECT_EQ(table.Find(1)->lastSecond, 102u);
}

TEST_F(IntakeTest, RecorderMembersFollowTheFrames) {
    state.m_bRecording = true;
    Feed(1, 49);
    EXPECT_EQ(sink.m_UnitNumber.load(), 0u); // behind the gate: the recorder sees nothing
    auto frame = DataFrame(0, 50, Samples(1), 4321);
    intake.HandleDataFrame(frame.data(), frame.size());
    EXPECT_EQ(sink.m_SecondFrom1970.load(), 50u);
    EXPECT_EQ(sink.m_UnitNumber.load(), 4321u);
    EXPECT_TRUE(sink.writes.empty()); // the start frame is not written
    frame = DataFrame(0, 51, Samples(1), 999);
    intake.HandleDataFrame(frame.data(), frame.size());
    EXPECT_EQ(sink.m_UnitNumber.load(), 999u);
    EXPECT_EQ(sink.m_CurrentSecondFrom1970.load(), 51u);
    EXPECT_EQ(sink.m_SecondFrom1970.load(), 50u); // set once only
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(sink.writes[0].currentSecond, 51u);
}

TEST_F(IntakeTest, ProgressBarMovesInStepsOfTen) {
    state.m_bRecording = true;
    StartAt(10);
    for (int p : {5, 15, 20, 25, -1, 40}) {
        sink.nextProgress = p;
        Feed(1, 11 + static_cast<std::uint32_t>(sink.writes.size()));
    }
    EXPECT_EQ(events.progress, (std::vector<int>{10, 15, 25, 40}));
    EXPECT_EQ(state.m_LastProgress.load(), 40);
}

TEST_F(IntakeTest, ResynchroniseClearsRingsAndStamps) {
    StartAt(700);
    Feed(1, 701, 5);
    intake.Resynchronise();
    EXPECT_EQ(state.m_LastSecond.load(), 0u);
    for (const BcdTime& t : state.m_TimeStamps) {
        ASSERT_EQ(t, BcdTime::FromSeconds(0));
    }
    for (std::int32_t v : table.Find(1)->ring) {
        ASSERT_EQ(v, 0);
    }
    for (std::uint32_t second : table.Find(1)->rowSecond) {
        ASSERT_EQ(second, 0u);
    }
    Feed(1, 702, 6); // the next frame starts afresh without a gap
    EXPECT_EQ(state.m_LastSecond.load(), 702u);
}

} // namespace
} // namespace nereid::recording
