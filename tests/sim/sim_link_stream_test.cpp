// The PC's link core against nereid-sim over a pseudo-terminal: the real-time stream and its
// clock, faults on the line, the modem front end, and the line closed and reopened.

#include "sim_process.h"
#include "tests/sim/sim_commands.h"

#include "link/frame_codec.h"
#include "tests/link/read_until_done.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <numbers>
#include <poll.h>
#include <termios.h>

namespace nereid::sim::test {
namespace {

using link::CommandRecord;
using link::FrameRecord;

std::int32_t Signed24(const std::uint8_t* p) {
    std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
    return (v & 0x800000) ? v - 0x1000000 : v;
}

TEST(SimLink, RealTimeFramesCarryTheKnownSine) {
    const std::uint32_t start = 1041379200;
    SimProcess sim({"--realtime", "--streams", "1", "--time-scale", "20", "--start-time",
                    "2003-01-01T00:00:00Z", "--signal-freq", "2.5,0.75", "--signal-amp",
                    "8000000,1000", "--skip-seconds", "+3"});
    PcSide pc(sim.Link());
    std::map<int, std::vector<std::uint32_t>> seconds;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end && seconds[9].size() < 8) {
        FrameRecord f;
        std::uint8_t type = link::kReceiverExpectedType;
        if (pc.Link().ReadFrame(type, f) != 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        ASSERT_LE(type, 19);
        const int channel = (f.payload[2] & 0x0F) + 1;
        const std::uint32_t second = f.payload[4] | (f.payload[5] << 8) | (f.payload[6] << 16) |
                                     (static_cast<std::uint32_t>(f.payload[7]) << 24);
        const int rate = channel == 1 ? 100 : 10; // power-up rates, primary and secondary
        ASSERT_EQ(f.payload.size(), 11u + 3u * rate);
        EXPECT_EQ(f.header, 1234);
        const double freq = channel == 1 ? 2.5 : 0.75;
        const double amp = channel == 1 ? 8000000 : 1000;
        for (int k = 0; k < rate; ++k) {
            const double phase = std::fmod(freq * second, 1.0) + freq * k / rate;
            const auto want = static_cast<std::int32_t>(
                std::llround(amp * std::sin(2.0 * std::numbers::pi * phase)));
            ASSERT_EQ(Signed24(&f.payload[11 + 3 * static_cast<std::size_t>(k)]), want)
                << "channel " << channel << " second " << second << " sample " << k;
        }
        seconds[channel].push_back(second);
    }
    ASSERT_EQ(seconds.size(), 2u) << "one primary and one secondary stream";
    for (auto& [channel, list] : seconds) {
        ASSERT_GE(list.size(), 8u);
        EXPECT_GE(list.front(), start);
        for (std::size_t i = 1; i < list.size(); ++i) {
            const std::uint32_t gap = list[i - 1] + 1 == start + 3 ? 2 : 1;
            EXPECT_EQ(list[i] - list[i - 1], gap) << "channel " << channel;
        }
        EXPECT_EQ(std::count(list.begin(), list.end(), start + 3), 0);
    }
    // Stopping the stream answers in order among the data frames.
    FrameRecord answer;
    ASSERT_EQ(pc.Transact(0x94, Byte(0), answer), 1);
}

TEST(SimLink, ClockSetMovesTheStreamTimeStamps) {
    SimProcess sim(
        {"--realtime", "--streams", "1", "--time-scale", "20", "--start-time", "1041379200"});
    PcSide pc(sim.Link());
    auto nextSecond = [&](int channel) -> std::uint32_t {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < end) {
            FrameRecord f;
            std::uint8_t type = link::kReceiverExpectedType;
            if (pc.Link().ReadFrame(type, f) == 1 && (f.payload[2] & 0x0F) + 1 == channel)
                return f.payload[4] | (f.payload[5] << 8) | (f.payload[6] << 16) |
                       (static_cast<std::uint32_t>(f.payload[7]) << 24);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    };
    const std::uint32_t before = nextSecond(1);
    EXPECT_GE(before, 1041379200u);
    EXPECT_LT(before, 1041379200u + 100);
    FrameRecord answer;
    ASSERT_EQ(pc.Transact(0x8B, CommandRecord{0, link::ClockSetCommand{2000000000, 0}}, answer), 1);
    std::uint32_t after = 0;
    for (int i = 0; i < 200 && (after = nextSecond(1)) < 2000000000u; ++i) {
    }
    EXPECT_GE(after, 2000000000u);
    EXPECT_LT(after, 2000000000u + 100);
}

TEST(SimLink, GarbageBetweenFramesDoesNotDisturbTheAnswers) {
    SimProcess sim({"--garbage", "0.7", "--seed", "3"});
    PcSide pc(sim.Link());
    for (int i = 0; i < 20; ++i) {
        FrameRecord answer;
        ASSERT_EQ(pc.Transact(0xB2, Plain(), answer), 1) << i;
        EXPECT_EQ(answer.payload.size(), 153u);
    }
}

TEST(SimLink, DroppedAndDelayedAnswers) {
    {
        SimProcess sim({"--drop", "1"});
        PcSide pc(sim.Link());
        FrameRecord answer;
        EXPECT_EQ(pc.Transact(0xB0, Plain(), answer, std::chrono::milliseconds(500)), 0);
    }
    SimProcess sim({"--delay", "600"});
    PcSide pc(sim.Link());
    FrameRecord answer;
    // Given up too early: the answer turns up later as an orphan, and a sheet waiting for
    // that very type takes it.
    EXPECT_EQ(pc.Transact(0xB0, Plain(), answer, std::chrono::milliseconds(200)), 0);
    pc.Link().SetTransactionWaiting(true);
    EXPECT_EQ(pc.Await('P', answer, std::chrono::milliseconds(3000)), 1);
    pc.Link().SetTransactionWaiting(false);
    EXPECT_EQ(pc.Transact(0xB2, Plain(), answer, std::chrono::milliseconds(3000)), 1);
    EXPECT_EQ(answer.type, 'R');
}

int OpenRaw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

std::string ReadUntil(int fd, const std::string& wanted, int ms = 2000) {
    return nereid::link::test::ReadUntilDone(
        fd, [&wanted](const std::string& got) { return got.find(wanted) != std::string::npos; },
        ms);
}

TEST(SimLink, ModemAnswersAtAndDialsBeforeTheProtocol) {
    SimProcess sim({"--modem", "--busy-number", "555-0100", "--no-carrier-number", "4711"});
    const int fd = OpenRaw(sim.Link());
    ASSERT_GE(fd, 0);
    // The recorder is not reachable before a call: a frame gets no answer.
    const std::uint8_t query[] = {0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5};
    ASSERT_EQ(::write(fd, query, sizeof query), 7);
    EXPECT_EQ(ReadUntil(fd, "\xE5", 300).find('\xE5'), std::string::npos);
    ASSERT_EQ(::write(fd, "\rAT\r", 4), 4);
    EXPECT_NE(ReadUntil(fd, "OK\r\n").find("OK\r\n"), std::string::npos);
    ASSERT_EQ(::write(fd, "ATDT5550100\r", 12), 12);
    EXPECT_NE(ReadUntil(fd, "BUSY").find("BUSY"), std::string::npos);
    ASSERT_EQ(::write(fd, "ATDT 4711\r", 10), 10);
    EXPECT_NE(ReadUntil(fd, "NO CARRIER").find("NO CARRIER"), std::string::npos);
    ASSERT_EQ(::write(fd, "ATDT0123456\r", 12), 12);
    EXPECT_NE(ReadUntil(fd, "CONNECT 9600").find("CONNECT 9600"), std::string::npos);
    ::close(fd);
    // Closing the line drops the call; a new PC must dial again. Reopen as the link.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PcSide pc(sim.Link());
    const char at[] = "AT\rATDT123\r";
    pc.Link().WriteRaw(reinterpret_cast<const std::uint8_t*>(at), sizeof at - 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pc.Link().Purge();
    FrameRecord answer;
    ASSERT_EQ(pc.Transact(0xB0, Plain(), answer), 1);
    EXPECT_EQ(std::get<link::HardwareStatus>(answer.decoded).modemLocalPort, 1);
}

TEST(SimLink, BadFramesGetNakAndWrongLengthsARefusal) {
    SimProcess sim({});
    const int fd = OpenRaw(sim.Link());
    // Wrong CRC.
    const std::uint8_t badCrc[] = {0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFE, 0xE5};
    ASSERT_EQ(::write(fd, badCrc, sizeof badCrc), 7);
    EXPECT_EQ(ReadUntil(fd, "\xE3\xE2\xE5"), "\xE3\xE2\xE5");
    // An escape followed by a byte outside 0x40..0x45.
    const std::uint8_t badEscape[] = {0xE3, 0xB0, 0xE0, 0x30, 0x00, 0xFE, 0xFF, 0xE5};
    ASSERT_EQ(::write(fd, badEscape, sizeof badEscape), 8);
    EXPECT_EQ(ReadUntil(fd, "\xE3\xE2\xE5"), "\xE3\xE2\xE5");
    // Good frame, 0xB0 with a 3-byte payload: refused in its answer type 'P'.
    std::vector<std::uint8_t> frame;
    const std::uint8_t payload[] = {0, 0, 0};
    link::AppendFrame(0xB0, payload, frame);
    ASSERT_EQ(::write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    const std::string got = ReadUntil(fd, "\xE5");
    ASSERT_GE(got.size(), 6u);
    EXPECT_EQ(static_cast<std::uint8_t>(got[1]), 'P');
    EXPECT_EQ(got[4], 0) << "status byte 0";
    ::close(fd);
}

TEST(SimLink, SurvivesThePcClosingAndReopeningTheLine) {
    SimProcess sim({});
    for (int round = 0; round < 3; ++round) {
        PcSide pc(sim.Link());
        ASSERT_TRUE(pc.IsOpen());
        FrameRecord answer;
        ASSERT_EQ(pc.Transact(0xB0, Plain(), answer), 1) << "round " << round;
    }
}

TEST(SimLink, TermRemovesTheLink) {
    SimProcess sim({});
    ASSERT_TRUE(std::filesystem::is_symlink(sim.Link()));
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim.Link())));
}

} // namespace
} // namespace nereid::sim::test
