// A recorder that is already streaming when the PC connects: the connection search, the
// station name and status queries have to get their answers past the data frames, on a line
// paced at 115200 baud and filled to about 90 %, and on an unpaced pseudo-terminal at several
// times that rate. The nereid tool is checked on the same lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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
#include "tests/sim/cli_process.h"
#include "tests/sim/sim_process.h"

namespace nereid::link {
namespace {

using namespace nereid::recording;
using Clock = std::chrono::steady_clock;

// A 115200-baud line carries 11520 bytes per second (ten bits a byte).
constexpr double kLineBytesPerSecond = 11520.0;
// Six streams at the power-up rates (100 and 10 samples per second) send about 2220 bytes per
// recorder second; 4.65 recorder seconds per wall second fill about 90 % of the line.
const std::vector<std::string> kNinetyPercentOf115200 = {
    "--baud", "115200", "--streams", "6", "--realtime", "--time-scale", "4.65"};
// Unpaced, about 44 kB/s: nearly four times what the line could carry.
const std::vector<std::string> kFastUnpaced = {"--streams", "6", "--realtime", "--time-scale",
                                               "20"};

std::vector<std::string> With(std::vector<std::string> base,
                              std::initializer_list<std::string> more) {
    base.insert(base.end(), more);
    return base;
}

// Runs the search as the dialog does, one tick per 100 ms. Returns its result.
int Search(CDirectSearch& search, const std::string& port) {
    search.SetPorts({port});
    search.SetFixedBaud(115200);
    int result = search.Start();
    auto next = Clock::now();
    while (result == kSearchRunning) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        result = search.Tick();
    }
    return result;
}

// One transaction at the sheets' pace (100 ms ticks).
int RunTransaction(CTransaction& t, std::uint8_t code, int limit) {
    t.Send(code, CommandRecord{}, limit);
    int result = kTransactionWaiting;
    auto next = Clock::now();
    while (result == kTransactionWaiting) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        result = t.Tick();
    }
    return result;
}

class FrameLog : public CIntakeObserver {
public:
    void OnFrameStored(int channel, std::uint32_t second, const std::int32_t*, int) override {
        std::lock_guard lock(m_Mutex);
        m_Seconds[channel].push_back(second);
    }
    void OnGapRow(int, std::uint32_t) override { ++m_Gaps; }
    std::map<int, std::vector<std::uint32_t>> Seconds() const {
        std::lock_guard lock(m_Mutex);
        return m_Seconds;
    }
    int Gaps() const { return m_Gaps.load(); }

private:
    mutable std::mutex m_Mutex;
    std::map<int, std::vector<std::uint32_t>> m_Seconds;
    std::atomic<int> m_Gaps{0};
};

class SilentEvents : public CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t, long lParam) override {
        if (message == kMsgAcquisition && lParam == kCodeCrcError) {
            ++crcErrors;
        }
    }
    std::atomic<int> crcErrors{0};
};

// The command-line connection: no receiver thread runs while the search waits for its
// answers, so the link itself must take the data frames in front of them.
void ExpectSearchFindsTheStreamingRecorder(const std::vector<std::string>& simOptions) {
    sim::test::SimProcess sim(With(simOptions, {"--station", "BUSY"}));
    ASSERT_EQ(sim.ReadyLine(), sim.Link());
    CSerialLink link;
    CSerialPortControl ports(link);
    CDirectSearch search(link, ports);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the stream is under way
    ASSERT_EQ(Search(search, sim.Link()), kSearchConnected);
    EXPECT_EQ(search.Attempts(), 1) << "the first hardware query must get through";
    EXPECT_EQ(search.StreamCount(), 6);
    EXPECT_TRUE(search.HasConfiguration());
    EXPECT_EQ(search.StationNameOutcome(), kStationNameAnswered);
    EXPECT_EQ(search.StationName(), "BUSY");
    EXPECT_GT(link.UnclaimedDataFrames(), 0u) << "the line was not busy";
}

TEST(BusyLine, SearchFindsARecorderStreamingAtNinetyPercentOf115200) {
    ExpectSearchFindsTheStreamingRecorder(kNinetyPercentOf115200);
}

TEST(BusyLine, SearchFindsARecorderStreamingFasterThanAnyLine) {
    ExpectSearchFindsTheStreamingRecorder(kFastUnpaced);
}

// The program's case: the receiver thread polls throughout, the search and then the status
// queries (the 474-byte station name answer among them) wait for answers among the data
// frames; no data frame is lost and every query is answered on its first try.
void ExpectQueriesAnsweredDuringTheStream(const std::vector<std::string>& simOptions,
                                          double minimumBytesPerSecond) {
    sim::test::SimProcess sim(With(simOptions, {"--station", "BUSY"}));
    ASSERT_EQ(sim.ReadyLine(), sim.Link());
    CSerialLink link;
    CSerialPortControl ports(link);
    ASSERT_EQ(ports.Open(sim.Link(), 9600), 1);

    CChannelTable table;
    CIntakeState state;
    SilentEvents events;
    CRealTimeIntake intake(table, state, events);
    FrameLog log;
    intake.SetObserver(&log);
    CReceiverThread thread(link, intake, state, events);
    ASSERT_EQ(thread.Start(), 1);

    CDirectSearch search(link, ports);
    ASSERT_EQ(Search(search, sim.Link()), kSearchConnected);
    EXPECT_EQ(search.Attempts(), 1);
    EXPECT_EQ(search.StationName(), "BUSY");
    CStreamList streams;
    streams.SetStreams(search.StreamCount());
    streams.ApplyConfiguration(search.Configuration().channelEnableMask,
                               search.Configuration().rateCodes);
    state.m_bConnected = true;
    ASSERT_EQ(link::RebuildChannels(table, streams, &link, &thread, &state), 1);
    ASSERT_EQ(table.m_ChanMap.size(), 12u);

    const std::uint64_t bytesBefore = link.BytesReceived();
    const auto start = Clock::now();
    CTransaction transaction(link);
    const std::uint8_t queries[] = {0xB0, 0xB1, 0xB5, 0xB4, 0xB2, 0xB7};
    for (int round = 0; round < 2; ++round) {
        for (std::uint8_t code : queries) {
            const int limit =
                code == 0xB5 || code == 0xB7 ? kInternalRecordingPolls : kStatusSheetPolls;
            ASSERT_EQ(RunTransaction(transaction, code, limit), kTransactionAccepted)
                << "code " << int(code);
            EXPECT_EQ(transaction.Answer().type, code - 0x60);
            EXPECT_LE(transaction.TickCount(), 10) << "code " << int(code);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    thread.Stop();

    const double rate = static_cast<double>(link.BytesReceived() - bytesBefore) / seconds;
    EXPECT_GE(rate, minimumBytesPerSecond) << "the line was not as busy as meant";
    EXPECT_EQ(link.RingOverflowDrops(), 0u);
    EXPECT_EQ(events.crcErrors.load(), 0);
    EXPECT_EQ(log.Gaps(), 0);
    const auto seconds1 = log.Seconds();
    ASSERT_EQ(seconds1.size(), 12u);
    for (const auto& [channel, list] : seconds1) {
        ASSERT_GE(list.size(), 5u) << "channel " << channel;
        for (std::size_t i = 1; i < list.size(); ++i) {
            ASSERT_EQ(list[i], list[i - 1] + 1) << "channel " << channel << " frame " << i;
        }
    }
}

TEST(BusyLine, QueriesDuringAStreamAtNinetyPercentOf115200) {
    ExpectQueriesAnsweredDuringTheStream(kNinetyPercentOf115200, 0.8 * kLineBytesPerSecond);
}

TEST(BusyLine, QueriesDuringAStreamFasterThanAnyLine) {
    ExpectQueriesAnsweredDuringTheStream(kFastUnpaced, 2.0 * kLineBytesPerSecond);
}

// --- the nereid tool -----------------------------------------------------------------------

using Outcome = sim::test::CliOutcome;

// Runs nereid in `folder` with `args`; standard output and error are returned.
Outcome RunCli(const std::string& folder, std::vector<std::string> args) {
    return sim::test::RunCli(std::move(args), folder);
}

TEST(BusyLineCli, ProbeStreamAndRecordOnABusyLine) {
    for (const auto& options : {kNinetyPercentOf115200, kFastUnpaced}) {
        sim::test::SimProcess sim(With(options, {"--station", "NR42"}));
        ASSERT_EQ(sim.ReadyLine(), sim.Link());
        Outcome o = RunCli(sim.Folder(), {"--port", sim.Link(), "probe"});
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.out.find("Station name:  NR42\n"), std::string::npos) << o.out << o.err;
        EXPECT_EQ(o.err.find("0xB5"), std::string::npos) << o.err;

        o = RunCli(sim.Folder(), {"--port", sim.Link(), "stream", "--seconds", "2"});
        EXPECT_EQ(o.exitCode, 0) << o.err << o.out;
        EXPECT_NE(o.out.find("channel 14: frames 2,"), std::string::npos) << o.out;
    }
}

// Real-time data answered at once and then a flood of 60 recorder seconds per wall second:
// the answer to 0x94 must not be lost behind the stream.
TEST(BusyLineCli, RecordWhileTheStreamFloodsTheLine) {
    sim::test::SimProcess sim({"--model", "17", "--streams", "3", "--time-scale", "60",
                               "--start-time", "2003-04-03T12:00:30"});
    ASSERT_EQ(sim.ReadyLine(), sim.Link());
    const std::string dir = sim.Folder() + "/rec";
    std::filesystem::create_directory(dir);
    const Outcome o = RunCli(sim.Folder(), {"--port", sim.Link(), "record", "--format", "dadisp",
                                            "--minutes", "1", "--seconds", "20", "--dir", dir});
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        files += entry.path().filename().string().rfind("DD", 0) == 0;
    }
    EXPECT_GE(files, 3) << o.out; // channels 1 to 3, one period
}

} // namespace
} // namespace nereid::link
