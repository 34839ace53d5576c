// The nereid tool against nereid-sim, and against a small peer that refuses real-time data.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "link/frame_codec.h"
#include "tests/sim/cli_process.h"
#include "tests/sim/sim_process.h"

namespace {

using Outcome = nereid::sim::test::CliOutcome;
using nereid::sim::test::RunCli;

struct ChannelLine {
    int frames = -1, rate = -1, gapRows = -1;
    long long first = 0, last = 0, min = 0, max = 0;
};

// Parses the per-channel lines "channel N: frames F, rate R, first S (..), last S (..), gap
// rows G, min A, max B" of `nereid stream`.
std::map<int, ChannelLine> ChannelLines(const std::string& out) {
    std::map<int, ChannelLine> lines;
    std::istringstream in(out);
    std::string text;
    while (std::getline(in, text)) {
        ChannelLine c;
        int channel = 0;
        char firstText[32] = {}, lastText[32] = {};
        const int fields = std::sscanf(
            text.c_str(),
            "channel %d: frames %d, rate %d, first %lld (%31[^)]), last %lld (%31[^)]), "
            "gap rows %d, min %lld, max %lld",
            &channel, &c.frames, &c.rate, &c.first, firstText, &c.last, lastText, &c.gapRows,
            &c.min, &c.max);
        if (fields == 10) {
            lines[channel] = c;
        }
    }
    return lines;
}

TEST(NereidProbe, ReportsTheRecorder) {
    nereid::sim::test::SimProcess sim(
        {"--model", "3", "--streams", "1", "--serial", "4321", "--station", "ABCD"});
    ASSERT_EQ(sim.ReadyLine(), sim.Link());
    const Outcome o = RunCli({"--port", sim.Link(), "probe"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("Port:          " + sim.Link() + "\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Baud rate:     1200\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Model:         3 Lumen\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Streams:       1\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Serial number: 4321\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Station name:  ABCD\n"), std::string::npos) << o.out;
}

TEST(NereidProbe, FixedBaudIsTheOneReported) {
    nereid::sim::test::SimProcess sim({});
    const Outcome o = RunCli({"--port", sim.Link(), "--baud", "38400", "probe"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("Baud rate:     38400\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Model:         17 Merlin\n"), std::string::npos) << o.out;
}

TEST(NereidProbe, SilentRecorderGivesConnectionFailed) {
    nereid::sim::test::SimProcess sim({"--drop", "1"});
    const Outcome o = RunCli({"--port", sim.Link(), "--baud", "9600", "probe"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("Connection Failed"), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
}

TEST(NereidCommandLine, MissingPortAndBadUsageHaveTheirOwnExitCodes) {
    Outcome o = RunCli({"--port", "/nonexistent/tty", "probe"});
    EXPECT_EQ(o.exitCode, 3);
    EXPECT_NE(o.err.find("cannot open port /nonexistent/tty"), std::string::npos) << o.err;

    o = RunCli({"--port", "/nonexistent/tty", "stream"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("--seconds N is required"), std::string::npos) << o.err;
    o = RunCli({"stream", "--seconds", "0"});
    EXPECT_EQ(o.exitCode, 2);
    o = RunCli({"stream", "--seconds", "12x"});
    EXPECT_EQ(o.exitCode, 2);
    o = RunCli({"--baud", "1234", "probe"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("--baud takes one of"), std::string::npos) << o.err;
    o = RunCli({"frobnicate"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("unknown command 'frobnicate'"), std::string::npos) << o.err;
    o = RunCli({});
    EXPECT_EQ(o.exitCode, 2);
    o = RunCli({"--help"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_NE(o.out.find("stream --seconds N"), std::string::npos) << o.out;
}

TEST(NereidStream, ThirtySecondsAtTimeScaleTenGiveThirtyFramesPerChannel) {
    nereid::sim::test::SimProcess sim({"--time-scale", "10"});
    const Outcome o = RunCli({"--port", sim.Link(), "stream", "--seconds", "30"});
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    const auto lines = ChannelLines(o.out);
    ASSERT_EQ(lines.size(), 12u) << o.out; // six streams: channels 1..6 and 9..14
    for (const auto& [channel, c] : lines) {
        EXPECT_EQ(c.frames, 30) << "channel " << channel;
        EXPECT_EQ(c.gapRows, 0) << "channel " << channel;
        EXPECT_EQ(c.last - c.first, 29) << "channel " << channel;
        EXPECT_GT(c.rate, 0);
    }
    // Channel c carries a sine of amplitude 100000 x c at 1 Hz: at 100 samples per second
    // its peaks are sampled exactly, which checks the 24-bit decoding end to end.
    ASSERT_EQ(lines.count(1), 1u);
    EXPECT_EQ(lines.at(1).rate, 100);
    EXPECT_EQ(lines.at(1).max, 100000);
    EXPECT_EQ(lines.at(1).min, -100000);
    EXPECT_EQ(lines.at(6).max, 600000);
}

TEST(NereidStream, SkippedSecondsShowAsGapRows) {
    nereid::sim::test::SimProcess sim({"--time-scale", "10", "--streams", "1", "--start-time",
                                       "1000000000", "--skip-seconds", "1000000040-1000000041"});
    const Outcome o = RunCli({"--port", sim.Link(), "stream", "--seconds", "60"});
    ASSERT_EQ(o.exitCode, 0) << o.err << o.out;
    const auto lines = ChannelLines(o.out);
    ASSERT_FALSE(lines.empty()) << o.out;
    for (const auto& [channel, c] : lines) {
        EXPECT_EQ(c.gapRows, 2) << "channel " << channel;
        EXPECT_EQ(c.frames, 58) << "channel " << channel;
    }
}

// A peer on a pseudo-terminal that answers the connection queries and refuses 0x94.
class RefusingPeer {
public:
    RefusingPeer() {
        char name[256] = {};
        if (::openpty(&m_Master, &m_Slave, name, nullptr, nullptr) != 0) {
            return;
        }
        termios t{};
        ::tcgetattr(m_Master, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_Master, TCSANOW, &t);
        m_Path = name;
        m_Thread = std::thread([this] { Serve(); });
    }
    ~RefusingPeer() {
        m_Stop = true;
        if (m_Thread.joinable()) {
            m_Thread.join();
        }
        ::close(m_Master);
        ::close(m_Slave);
    }
    const std::string& Path() const { return m_Path; }

private:
    void Answer(std::uint8_t code) {
        std::vector<std::uint8_t> payload;
        std::uint8_t type = static_cast<std::uint8_t>(code - 0x60);
        switch (code) {
        case 0xB0:
            payload.assign(32, 0);
            payload[11] = 1; // one stream
            payload[22] = 17;
            break;
        case 0xB2:
            payload.assign(153, 0);
            payload[13] = 0x01; // channel 1
            payload[15] = 30;   // at 100 samples per second
            break;
        case 0xB5:
            payload.assign(474, 0);
            break;
        default:
            payload.assign(3, 0);
            break; // refused: status byte 0
        }
        if (code == 0xB0 || code == 0xB2 || code == 0xB5) {
            payload[2] = 1;
        }
        std::vector<std::uint8_t> frame;
        nereid::link::AppendFrame(type, payload, frame);
        if (::write(m_Master, frame.data(), frame.size()) < 0) {
            m_Stop = true;
        }
    }
    void Serve() {
        std::vector<std::uint8_t> pending;
        while (!m_Stop) {
            pollfd p{m_Master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            std::uint8_t buffer[512];
            const ssize_t n = ::read(m_Master, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            pending.insert(pending.end(), buffer, buffer + n);
            for (;;) {
                auto start = std::find(pending.begin(), pending.end(), 0xE3);
                auto end = std::find(start, pending.end(), 0xE5);
                if (start == pending.end() || end == pending.end()) {
                    break;
                }
                if (end - start >= 2 && start[1] >= 0x80 && start[1] <= 0xBB) {
                    Answer(start[1]);
                }
                pending.erase(pending.begin(), end + 1);
            }
        }
    }

    int m_Master = -1, m_Slave = -1;
    std::string m_Path;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

TEST(NereidStream, RefusedRealTimeDataGivesRejected) {
    RefusingPeer peer;
    ASSERT_FALSE(peer.Path().empty());
    const Outcome o = RunCli({"--port", peer.Path(), "stream", "--seconds", "5"});
    EXPECT_EQ(o.exitCode, 4) << o.err;
    EXPECT_NE(o.err.find("Real Time Data to PC: Rejected"), std::string::npos) << o.err;
}

} // namespace
