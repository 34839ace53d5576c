// The receiver thread and the transaction engine sharing one link to nereid-sim.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "link/channel_rebuild.h"
#include "link/direct_search.h"
#include "link/receiver_thread.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"
#include "link/transaction.h"
#include "recording/channel_table.h"
#include "recording/intake.h"
#include "recording/stream_list.h"
#include "tests/sim/sim_process.h"

namespace nereid::link {
namespace {

using namespace nereid::recording;

class FrameLog : public CIntakeObserver {
public:
    void OnFrameStored(int channel, std::uint32_t second, const std::int32_t*, int) override {
        std::lock_guard lock(m_Mutex);
        m_Seconds[channel].push_back(second);
    }
    void OnGapRow(int channel, std::uint32_t second) override {
        std::lock_guard lock(m_Mutex);
        m_Gaps.emplace_back(channel, second);
    }
    std::map<int, std::vector<std::uint32_t>> Seconds() const {
        std::lock_guard lock(m_Mutex);
        return m_Seconds;
    }
    std::vector<std::pair<int, std::uint32_t>> Gaps() const {
        std::lock_guard lock(m_Mutex);
        return m_Gaps;
    }
    std::size_t Frames() const {
        std::lock_guard lock(m_Mutex);
        std::size_t n = 0;
        for (const auto& [c, v] : m_Seconds) {
            n += v.size();
        }
        return n;
    }

private:
    mutable std::mutex m_Mutex;
    std::map<int, std::vector<std::uint32_t>> m_Seconds;
    std::vector<std::pair<int, std::uint32_t>> m_Gaps;
};

class CountingEvents : public CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t, long lParam) override {
        if (message == kMsgAcquisition && lParam == kCodeCrcError) {
            ++crcErrors;
        }
        if (message == kMsgAcquisition && lParam == kCodeDataFrame) {
            ++dataFrames;
        }
    }
    std::atomic<int> crcErrors{0};
    std::atomic<int> dataFrames{0};
};

// Ticks a transaction every 25 ms (the limits count ticks, so a quicker tick only shortens
// the wall time of a lost answer).
int RunTransaction(CTransaction& t, std::uint8_t code, const CommandRecord& record, int limit) {
    t.Send(code, record, limit);
    int result = kTransactionWaiting;
    while (result == kTransactionWaiting) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        result = t.Tick();
    }
    return result;
}

TEST(SessionAgainstSimulator, StatusQueriesDuringTheStreamLoseNoFrameAndNoAnswer) {
    sim::test::SimProcess sim({"--time-scale", "10", "--streams", "3"});
    ASSERT_EQ(sim.ReadyLine(), sim.Link());

    CSerialLink link;
    CSerialPortControl ports(link);
    CDirectSearch search(link, ports);
    search.SetPorts({sim.Link()});
    search.SetFixedBaud(9600);
    ASSERT_EQ(search.Start(), kSearchRunning);
    int found = kSearchRunning;
    while (found == kSearchRunning) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        found = search.Tick();
    }
    ASSERT_EQ(found, kSearchConnected);
    EXPECT_EQ(search.StreamCount(), 3);

    CStreamList streams;
    streams.SetStreams(search.StreamCount());
    streams.ApplyConfiguration(search.Configuration().channelEnableMask,
                               search.Configuration().rateCodes);

    CChannelTable table;
    CIntakeState state;
    CountingEvents events;
    CRealTimeIntake intake(table, state, events);
    FrameLog log;
    intake.SetObserver(&log);
    state.m_bConnected = true;
    CReceiverThread thread(link, intake, state, events);
    ASSERT_EQ(thread.Start(), 1);
    ASSERT_EQ(link::RebuildChannels(table, streams, &link, &thread, &state), 1);
    ASSERT_FALSE(table.m_ChanMap.empty());

    CTransaction transaction(link);
    ASSERT_EQ(RunTransaction(transaction, 0x94, CommandRecord{0, ByteCommand{1}}, kSheetPolls),
              kTransactionAccepted);

    // Status queries one after another while the stream runs, as the status sheet's refresh,
    // for at least 30 queries and 20 recorder seconds.
    const std::uint8_t queries[] = {0xB0, 0xB1, 0xB4};
    const std::size_t wanted = 20 * table.m_ChanMap.size();
    int sent = 0, accepted = 0;
    for (; (sent < 30 || log.Frames() < wanted) && sent < 600; ++sent) {
        const std::uint8_t code = queries[sent % 3];
        const int result = RunTransaction(transaction, code, CommandRecord{}, kStatusSheetPolls);
        EXPECT_EQ(result, kTransactionAccepted) << "query " << sent << " code " << int(code);
        accepted += result == kTransactionAccepted;
        EXPECT_EQ(transaction.Answer().type, code - 0x60);
    }
    EXPECT_EQ(accepted, sent);
    EXPECT_GE(log.Frames(), wanted);
    ASSERT_EQ(RunTransaction(transaction, 0x94, CommandRecord{0, ByteCommand{0}}, kSheetPolls),
              kTransactionAccepted);
    thread.Stop();

    EXPECT_EQ(events.crcErrors.load(), 0);
    EXPECT_TRUE(log.Gaps().empty());
    const auto seconds = log.Seconds();
    ASSERT_EQ(seconds.size(), table.m_ChanMap.size());
    std::size_t fewest = SIZE_MAX, most = 0;
    for (const auto& [channel, list] : seconds) {
        ASSERT_GE(list.size(), 20u) << "channel " << channel;
        for (std::size_t i = 1; i < list.size(); ++i) {
            ASSERT_EQ(list[i], list[i - 1] + 1) << "channel " << channel << " frame " << i;
        }
        fewest = std::min(fewest, list.size());
        most = std::max(most, list.size());
    }
    // The stream stops between two frames of one second at most.
    EXPECT_LE(most - fewest, 1u);
}

} // namespace
} // namespace nereid::link
