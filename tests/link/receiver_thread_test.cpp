#include "link/receiver_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "link/channel_rebuild.h"
#include "link/frame_codec.h"
#include "link/serial_link.h"
#include "link/transaction.h"
#include "recording/channel_table.h"
#include "recording/stream_list.h"
#include "tests/link/fake_link.h"
#include "tests/link/memory_link.h"
#include "tests/link/pty_pair.h"

namespace nereid::link {
namespace {

using namespace nereid::recording;
using test::FakeLink;

struct Posted {
    unsigned message;
    std::uintptr_t wParam;
    long lParam;
    friend bool operator==(const Posted&, const Posted&) = default;
};

class RecordingEvents : public CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t wParam, long lParam) override {
        std::lock_guard lock(m_Mutex);
        m_Posted.push_back({message, wParam, lParam});
    }
    void Beep() override { ++beeps; }
    std::vector<Posted> Posts() const {
        std::lock_guard lock(m_Mutex);
        return m_Posted;
    }
    std::atomic<int> beeps{0};

private:
    mutable std::mutex m_Mutex;
    std::vector<Posted> m_Posted;
};

std::vector<std::uint8_t> DataPayload(int channelIndex, std::uint32_t second, int rate,
                                      std::int32_t base) {
    std::vector<std::uint8_t> p(11, 0);
    p[2] = static_cast<std::uint8_t>(channelIndex);
    for (int i = 0; i < 4; ++i) {
        p[4 + i] = static_cast<std::uint8_t>(second >> (8 * i));
    }
    for (int i = 0; i < rate; ++i) {
        const auto u = static_cast<std::uint32_t>(base + i);
        p.push_back(u & 0xFF);
        p.push_back((u >> 8) & 0xFF);
        p.push_back((u >> 16) & 0xFF);
    }
    return p;
}

FakeLink::Poll DataPoll(std::uint8_t type, std::vector<std::uint8_t> payload) {
    FakeLink::Poll poll;
    poll.result = kAccepted;
    poll.record.type = type;
    poll.record.payload = std::move(payload);
    return poll;
}

const Posted kIdle{kMsgAcquisition, 1, kCodeIdle};
const Posted kDataFrame{kMsgAcquisition, 1, kCodeDataFrame};
const Posted kStarted{kMsgAcquisition, 1, kCodeAcquisitionStarted};
const Posted kCrc{kMsgAcquisition, 1, kCodeCrcError};

class ReceiverPassTest : public ::testing::Test {
protected:
    void SetUp() override {
        CStreamList streams;
        streams.Streams().push_back({"1", "", true, 2});
        ASSERT_EQ(table.RebuildChannels(streams, nullptr, &state), 1);
    }
    void Passes(int n) {
        for (int i = 0; i < n; ++i) {
            thread.RunOnePass();
        }
    }

    FakeLink link;
    CChannelTable table;
    CIntakeState state;
    RecordingEvents events;
    CRealTimeIntake intake{table, state, events};
    CReceiverThread thread{link, intake, state, events};
};

TEST_F(ReceiverPassTest, IdleStateAfterTheTwelfthEmptyPollOnce) {
    state.m_bConnected = true;
    Passes(11);
    EXPECT_TRUE(events.Posts().empty());
    Passes(1);
    EXPECT_EQ(events.Posts(), std::vector<Posted>{kIdle});
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquisitionIdle);
    Passes(100);
    EXPECT_EQ(events.Posts(), std::vector<Posted>{kIdle});
    for (std::uint8_t type : link.ReadTypes()) {
        ASSERT_EQ(type, kReceiverExpectedType);
    }
}

TEST_F(ReceiverPassTest, IdleCounterStopsShortOfOverflow) {
    state.m_bConnected = true;
    state.m_AcquisitionState = kAcquisitionIdle;
    state.m_IdleCounter = std::numeric_limits<int>::max() - 1;
    Passes(5);
    EXPECT_GT(state.m_IdleCounter.load(), 0);
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquisitionIdle);
    EXPECT_TRUE(events.Posts().empty());
}

TEST_F(ReceiverPassTest, NotConnectedStaysUnknownAndPostsNothing) {
    state.m_AcquisitionState = kAcquiring;
    state.m_IdleCounter = 5;
    Passes(50);
    EXPECT_TRUE(events.Posts().empty());
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquisitionUnknown);
    EXPECT_EQ(state.m_IdleCounter.load(), 0);
}

TEST_F(ReceiverPassTest, FirstDataFrameAfterIdlePostsTimingThenStarted) {
    state.m_bConnected = true;
    Passes(12);
    link.Queue(DataPoll(5, DataPayload(0, 100, 2, 0)));
    Passes(1);
    const std::vector<Posted> expected{kIdle, kDataFrame, kStarted};
    EXPECT_EQ(events.Posts(), expected);
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquiring);
    EXPECT_EQ(state.m_RestartSecond.load(), 100u); // and it went through the intake
    link.Queue(DataPoll(0, DataPayload(0, 101, 2, 0)));
    Passes(1);
    EXPECT_EQ(events.Posts().size(), 4u); // only the timing message this time
    EXPECT_EQ(events.Posts().back(), kDataFrame);
}

// A stream brings one burst of frames per recorder second; between two bursts the thread
// makes hundreds of empty polls. It stays acquiring (the state pane keeps the frame timing)
// until the stream has been quiet for kIdleQuietMs, then goes idle once.
TEST_F(ReceiverPassTest, StreamingRecorderStaysAcquiringBetweenItsSeconds) {
    std::int64_t now = 1000000;
    thread.SetClock([&now] { return now; });
    state.m_bConnected = true;
    for (std::uint32_t second = 100; second < 105; ++second) {
        link.Queue(DataPoll(0, DataPayload(0, second, 2, 1)));
        Passes(1);
        now += 990; // the rest of the second, polled every millisecond
        Passes(990);
    }
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquiring);
    for (const Posted& p : events.Posts()) {
        ASSERT_NE(p, kIdle);
    }
    now += kIdleQuietMs - 990 - 1;
    Passes(1);
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquiring);
    now += 1;
    Passes(1);
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquisitionIdle);
    EXPECT_EQ(events.Posts().back(), kIdle);
    const auto posts = events.Posts().size();
    Passes(50);
    EXPECT_EQ(events.Posts().size(), posts);
}

TEST_F(ReceiverPassTest, CrcErrorDuringAcquisitionKeepsTheState) {
    state.m_bConnected = true;
    link.Queue(DataPoll(5, DataPayload(0, 100, 2, 0)));
    link.QueueResult(kCrcError);
    Passes(2);
    EXPECT_EQ(events.Posts().back(), kCrc);
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquiring);
}

TEST_F(ReceiverPassTest, SmallTypesAndAnswersAreNotDataFrames) {
    state.m_bConnected = true;
    link.Queue(DataPoll(20, {}));
    link.Queue(DataPoll(21, {}));
    link.QueueAnswer<HardwareStatus>('P', HardwareStatus{});
    Passes(3);
    EXPECT_TRUE(events.Posts().empty());
    EXPECT_EQ(link.Pending(), 1u); // the 'P' answer is left for its reader
    EXPECT_EQ(state.m_IdleCounter.load(), 3);
}

TEST_F(ReceiverPassTest, DisplayOffDropsFramesWithoutCountingAndResynchronisesAfter) {
    state.m_bConnected = true;
    link.Queue(DataPoll(0, DataPayload(0, 100, 2, 0)));
    link.Queue(DataPoll(0, DataPayload(0, 101, 2, 7)));
    Passes(2);
    EXPECT_EQ(state.m_LastSecond.load(), 101u);
    state.m_bIntakeEnabled = false;
    link.Queue(DataPoll(0, DataPayload(0, 102, 2, 9)));
    Passes(30);
    EXPECT_EQ(state.m_IdleCounter.load(), 1); // frozen since the last counted pass
    EXPECT_EQ(state.m_LastSecond.load(), 101u);
    state.m_bIntakeEnabled = true;
    link.Queue(DataPoll(0, DataPayload(0, 150, 2, 3)));
    Passes(1);
    // Resynchronised: 150 starts afresh, no gap of 48 rows, and the old row is cleared.
    EXPECT_EQ(state.m_LastSecond.load(), 150u);
    const RtChannel* rec = table.Find(1);
    int nonZeroRows = 0;
    for (int r = 0; r < kRingRows; ++r) {
        nonZeroRows += rec->Row(r)[0] != 0 || rec->Row(r)[1] != 0;
    }
    EXPECT_EQ(nonZeroRows, 1);
}

TEST_F(ReceiverPassTest, ArmedRecordingTakesFramesWhileTheDisplayIsOff) {
    state.m_bConnected = true;
    link.Queue(DataPoll(0, DataPayload(0, 100, 2, 0)));
    link.Queue(DataPoll(0, DataPayload(0, 101, 2, 7)));
    Passes(2);
    state.m_bIntakeEnabled = false;
    // Armed but not yet resumed: the frame must still reach the intake to start the files.
    state.m_bResumePending = true;
    link.Queue(DataPoll(0, DataPayload(0, 102, 2, 9)));
    Passes(1);
    EXPECT_EQ(state.m_LastSecond.load(), 102u);
    state.m_bResumePending = false;
    state.m_bRecording = true;
    link.Queue(DataPoll(0, DataPayload(0, 103, 2, 9)));
    Passes(1);
    EXPECT_EQ(state.m_LastSecond.load(), 103u);
    // Once the recording ends, a stopped display drops frames again.
    state.m_bRecording = false;
    link.Queue(DataPoll(0, DataPayload(0, 104, 2, 9)));
    Passes(1);
    EXPECT_EQ(state.m_LastSecond.load(), 103u);
}

TEST(ReceiverThread, ParksOnRequestAndResumes) {
    FakeLink link;
    CChannelTable table;
    CIntakeState state;
    RecordingEvents events;
    CRealTimeIntake intake{table, state, events};
    CReceiverThread thread{link, intake, state, events};
    EXPECT_EQ(thread.Park(), 1); // not running: nothing to wait for
    ASSERT_EQ(thread.Start(), 1);
    EXPECT_EQ(thread.Start(), 0);
    ASSERT_EQ(thread.Park(), 1);
    EXPECT_TRUE(thread.Parked());
    EXPECT_EQ(events.beeps.load(), 1);
    const auto passes = thread.Passes();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(thread.Passes(), passes); // parked: no polls
    EXPECT_EQ(thread.Park(), 1);        // already parked
    thread.Resume();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (thread.Passes() < passes + 5 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(thread.Passes(), passes + 5);
    EXPECT_EQ(thread.Stop(), 1);
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.Stop(), 1);
}

TEST(ReceiverThread, RebuildWhileRunningUsesTheHandshake) {
    FakeLink link;
    CChannelTable table;
    CIntakeState state;
    RecordingEvents events;
    CRealTimeIntake intake{table, state, events};
    CReceiverThread thread{link, intake, state, events};
    ASSERT_EQ(thread.Start(), 1);
    CStreamList streams;
    streams.SetStreams(6);
    for (auto& s : streams.Streams()) {
        s.enabled = true;
        s.rate = 100;
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(link::RebuildChannels(table, streams, &link, &thread, &state), 1);
    }
    EXPECT_EQ(table.m_ChanMap.size(), 12u);
    EXPECT_EQ(events.beeps.load(), 20);
    // Resumed: the thread wakes up and polls again.
    const auto passes = thread.Passes();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (thread.Passes() == passes && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GT(thread.Passes(), passes);
    EXPECT_FALSE(thread.Parked());
    thread.Stop();
}

// The real link and codec with a memory port: the thread polls for data frames while a
// transaction waits for its 'P' answer on the same link.
TEST(ReceiverThread, HardwareAnswerArrivingWhileTheThreadPollsReachesTheTransaction) {
    test::MemoryLink link;
    CChannelTable table;
    CIntakeState state;
    RecordingEvents events;
    CStreamList streams;
    streams.Streams().push_back({"1", "", true, 4});
    ASSERT_EQ(link::RebuildChannels(table, streams, &link, nullptr, &state), 1);
    CRealTimeIntake intake{table, state, events};
    CReceiverThread thread{link, intake, state, events};
    ASSERT_EQ(thread.Start(), 1);

    CTransaction transaction(link);
    transaction.Send(0xB0, CommandRecord{}, kStatusSheetPolls);
    link.FeedFrame(0, DataPayload(0, 1000, 4, 0));
    link.FeedFrame(0, DataPayload(0, 1001, 4, 0));
    std::vector<std::uint8_t> answer(32, 0);
    answer[0] = 0x39; // serial number 12345
    answer[1] = 0x30;
    answer[2] = 1;
    answer[22] = 17;
    link.FeedFrame('P', answer);
    link.FeedFrame(0, DataPayload(0, 1002, 4, 0));

    int result = kTransactionWaiting;
    while (result == kTransactionWaiting) {
        // Ticks come quicker than 100 ms here; the thread polls every millisecond meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        result = transaction.Tick();
    }
    ASSERT_EQ(result, kTransactionAccepted);
    EXPECT_EQ(transaction.Answer().header, 12345);
    EXPECT_EQ(std::get<HardwareStatus>(transaction.Answer().decoded).modelCode, 17);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (state.m_LastSecond.load() != 1002 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(state.m_LastSecond.load(), 1002u); // the frame behind the answer came through
    thread.Stop();
}

// On a real descriptor (a pseudo-terminal) the thread sleeps in poll while the line is quiet,
// wakes as soon as a frame arrives, and a pause request ends its sleep at once.
TEST(ReceiverThread, SleepsOnAQuietPortAndWakesForDataAndForAPause) {
    test::PtyPair pty;
    ASSERT_FALSE(pty.Path().empty());
    CSerialLink link;
    ASSERT_EQ(link.Open(pty.Path(), 115200, kParityNone, kStopBitsOne, 8), 1);
    CChannelTable table;
    CIntakeState state;
    RecordingEvents events;
    CStreamList streams;
    streams.Streams().push_back({"1", "", true, 4});
    ASSERT_EQ(link::RebuildChannels(table, streams, &link, nullptr, &state), 1);
    CRealTimeIntake intake{table, state, events};
    state.m_bConnected.store(true);
    CReceiverThread thread{link, intake, state, events};
    // Sleeps far longer than any wake-up may take, so that a wake-up cannot pass for the end
    // of a sleep.
    constexpr int kSleepMs = 4000;
    thread.SetIdleWaitMs(kSleepMs);
    ASSERT_EQ(thread.Start(), 1);

    // The idle count (a dozen passes a millisecond apart), then one long sleep: a pass or two
    // where the loop of before made a thousand a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto quietFrom = thread.Passes();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LE(thread.Passes() - quietFrom, 1u);
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquisitionIdle);

    // A frame ends the sleep: taken well within the sleep's length.
    std::vector<std::uint8_t> frame;
    AppendFrame(0, DataPayload(0, 1000, 4, 0), frame);
    const auto sent = std::chrono::steady_clock::now();
    pty.Send(frame);
    while (state.m_AcquisitionState.load() != kAcquiring &&
           std::chrono::steady_clock::now() - sent < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(state.m_AcquisitionState.load(), kAcquiring);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(kSleepMs / 2));

    // Asleep again (the idle count is over): a pause is granted without waiting for the sleep
    // to end, and the port lock is free meanwhile (a sheet may use the link).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_EQ(thread.Park(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(kSleepMs / 2));
    thread.Resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::thread sheet([&link] {
        link.Lock(); // would wait out a sleep held under the lock
        link.Unlock();
    });
    const auto locking = std::chrono::steady_clock::now();
    sheet.join();
    EXPECT_LT(std::chrono::steady_clock::now() - locking, std::chrono::milliseconds(kSleepMs / 2));
    EXPECT_EQ(thread.Stop(), 1);
}

} // namespace
} // namespace nereid::link
