#include "link/hayes_dialler.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace nereid::link {
namespace {

// A modem line whose answers the test feeds and whose written bytes it inspects.
class FakeLine : public CModemLine {
public:
    int Open(const std::string& device) override {
        opened = device;
        if (refuseOpen)
            return -1;
        open = true;
        return 1;
    }
    bool IsOpen() const override { return open; }
    int Write(const std::uint8_t* bytes, std::size_t length) override {
        if (!open)
            return 0;
        if (failWrites)
            return -1;
        written.append(reinterpret_cast<const char*>(bytes), length);
        return static_cast<int>(length);
    }
    int Read(std::uint8_t* bytes, std::size_t capacity) override {
        if (!open || input.empty())
            return 0;
        std::size_t n = 0;
        while (n < capacity && !input.empty()) {
            bytes[n++] = static_cast<std::uint8_t>(input.front());
            input.pop_front();
        }
        return static_cast<int>(n);
    }
    int DuplicateHandle() override { return open && !failDup ? 77 : -1; }
    void Close() override {
        open = false;
        ++closes;
    }
    void Feed(const std::string& text) { input.insert(input.end(), text.begin(), text.end()); }

    std::string opened;
    std::string written;
    std::deque<char> input;
    bool open = false;
    bool refuseOpen = false;
    bool failWrites = false;
    bool failDup = false;
    int closes = 0;
};

class Recorder : public CDiallerListener {
public:
    void CallProgress(const char* text) override { texts.emplace_back(text); }
    void CallConnected(int fd) override { connectedFd = fd; }
    void CallEnded(int result) override { ended.push_back(result); }
    std::vector<std::string> texts;
    int connectedFd = -1;
    std::vector<int> ended;
};

class HayesDiallerTest : public ::testing::Test {
protected:
    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            dialler.Tick();
    }
    FakeLine line;
    Recorder events;
    CHayesDialler dialler{line, events};
};

TEST_F(HayesDiallerTest, ConnectHandsTheLineOverAfterDialling) {
    ASSERT_EQ(dialler.Dial("/dev/ttyUSB0", "555 0100"), CHayesDialler::kDialStarted);
    EXPECT_EQ(line.opened, "/dev/ttyUSB0");
    EXPECT_EQ(line.written, "AT\r");
    line.Feed("AT\r\r\nOK\r\n"); // echo first, as a modem in its default E1 mode sends it
    Ticks(1);
    EXPECT_EQ(line.written, "AT\rATDT5550100\r");
    ASSERT_EQ(events.texts, std::vector<std::string>{"Dialing"});
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kDialling);
    line.Feed("\r\nCONNECT 9600\r\n");
    Ticks(1);
    EXPECT_EQ(events.texts.back(), "Connected");
    EXPECT_EQ(events.connectedFd, 77);
    EXPECT_TRUE(dialler.CallStands());
    EXPECT_TRUE(events.ended.empty());
    // Once connected the line belongs to the instrument link: the dialler reads nothing.
    line.Feed("\xE3\x50");
    Ticks(5);
    EXPECT_EQ(line.input.size(), 2u);
}

TEST_F(HayesDiallerTest, AnswerSplitOverSeveralReadsIsJoined) {
    ASSERT_EQ(dialler.Dial("m", "12"), 1);
    line.Feed("O");
    Ticks(1);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kInitialising);
    line.Feed("K\r");
    Ticks(1);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kDialling);
    line.Feed("CONN");
    Ticks(1);
    EXPECT_FALSE(dialler.CallStands());
    line.Feed("ECT\r\n");
    Ticks(1);
    EXPECT_TRUE(dialler.CallStands());
}

TEST_F(HayesDiallerTest, BusyEndsTheCallAndClosesTheLine) {
    ASSERT_EQ(dialler.Dial("m", "4711"), 1);
    line.Feed("OK\r\n");
    Ticks(1);
    line.Feed("BUSY\r\n");
    Ticks(1);
    EXPECT_EQ(events.texts, (std::vector<std::string>{"Dialing", "Busy", "Disconnect"}));
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kEndedNormally});
    EXPECT_FALSE(line.open);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    EXPECT_EQ(events.connectedFd, -1);
    // A new call can be placed at once.
    EXPECT_EQ(dialler.Dial("m", "4711"), 1);
}

TEST_F(HayesDiallerTest, FailureAnswersGiveDisconnect) {
    for (const char* answer : {"NO CARRIER", "NO ANSWER", "NO DIALTONE", "ERROR"}) {
        events.texts.clear();
        ASSERT_EQ(dialler.Dial("m", "1"), 1) << answer;
        line.Feed("OK\r\n");
        Ticks(1);
        line.Feed(std::string(answer) + "\r\n");
        Ticks(1);
        EXPECT_EQ(events.texts, (std::vector<std::string>{"Dialing", "Disconnect"})) << answer;
        EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle) << answer;
    }
}

TEST_F(HayesDiallerTest, RingingIsReportedAsRingback) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\nRINGING\r\n");
    Ticks(1);
    EXPECT_EQ(events.texts, (std::vector<std::string>{"Dialing", "Ringback"}));
}

TEST_F(HayesDiallerTest, SilentModemIsTriedThreeTimesThenGivenUp) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    Ticks(CHayesDialler::kInitReplyTicks * CHayesDialler::kInitTries - 1);
    EXPECT_EQ(line.written, "AT\rAT\rAT\r");
    EXPECT_TRUE(events.ended.empty());
    Ticks(1);
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kNoModemAnswer});
    EXPECT_FALSE(line.open);
}

TEST_F(HayesDiallerTest, UnansweredDialTimesOutAfterSixtySeconds) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\n");
    Ticks(1);
    Ticks(CHayesDialler::kDialReplyTicks - 1);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kDialling);
    Ticks(1);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    EXPECT_EQ(events.texts.back(), "Disconnect");
}

TEST_F(HayesDiallerTest, BadNumbersAreRefusedBeforeTheLineOpens) {
    EXPECT_EQ(dialler.Dial("m", ""), CHayesDialler::kNoNumber);
    EXPECT_EQ(dialler.Dial("m", "   "), CHayesDialler::kNoNumber);
    EXPECT_EQ(dialler.Dial("m", "123\rATZ"), CHayesDialler::kBadNumber);
    EXPECT_EQ(dialler.Dial("m", "12;H0"), CHayesDialler::kBadNumber);
    EXPECT_EQ(dialler.Dial("m", "--"), CHayesDialler::kBadNumber);
    EXPECT_TRUE(line.opened.empty());
    EXPECT_TRUE(CHayesDialler::ValidNumber("9,(030) 555-01#*"));
    EXPECT_TRUE(CHayesDialler::ValidNumber("P0W123"));
}

TEST_F(HayesDiallerTest, DialWhileACallStandsIsRefused) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    EXPECT_EQ(dialler.Dial("m", "2"), CHayesDialler::kAlreadyConnected);
    line.Feed("OK\r\nCONNECT\r\n");
    Ticks(1);
    ASSERT_TRUE(dialler.CallStands());
    EXPECT_EQ(dialler.Dial("m", "2"), CHayesDialler::kAlreadyConnected);
}

TEST_F(HayesDiallerTest, OpenFailureIsReported) {
    line.refuseOpen = true;
    EXPECT_EQ(dialler.Dial("/dev/nothing", "1"), CHayesDialler::kLineOpenFailed);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    EXPECT_TRUE(events.texts.empty());
}

TEST_F(HayesDiallerTest, HangupOfAStandingCallKeepsTheGuardTimes) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\nCONNECT 9600\r\n");
    Ticks(1);
    ASSERT_TRUE(dialler.CallStands());
    line.written.clear();
    ASSERT_EQ(dialler.Hangup(), 1);
    EXPECT_EQ(dialler.Hangup(), 0);
    Ticks(CHayesDialler::kGuardTicks - 1);
    EXPECT_EQ(line.written, "");
    Ticks(1);
    EXPECT_EQ(line.written, "+++");
    Ticks(CHayesDialler::kGuardTicks);
    EXPECT_EQ(line.written, "+++ATH0\r");
    EXPECT_TRUE(line.open);
    line.Feed("OK\r\n");
    Ticks(1);
    EXPECT_FALSE(line.open);
    EXPECT_EQ(events.texts.back(), "LineClosed");
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kEndedNormally});
}

TEST_F(HayesDiallerTest, HangupWithoutModemAnswerStillClosesTheLine) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\nCONNECT\r\n");
    Ticks(1);
    dialler.Hangup();
    Ticks(2 * CHayesDialler::kGuardTicks + CHayesDialler::kHangupReplyTicks + 1);
    EXPECT_FALSE(line.open);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kEndedNormally});
}

TEST_F(HayesDiallerTest, HangupWhileDiallingAbortsTheDial) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\n");
    Ticks(1);
    line.written.clear();
    dialler.Hangup();
    EXPECT_EQ(line.written, "\r");
    // A late CONNECT after the abort must not hand the line over.
    line.Feed("CONNECT\r\n");
    Ticks(2);
    EXPECT_EQ(events.connectedFd, -1);
    EXPECT_EQ(line.written, "\rATH0\r");
    line.Feed("OK\r\n");
    Ticks(1);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
}

TEST_F(HayesDiallerTest, FailedWritesDuringHangupReportDropFailure) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\nCONNECT\r\n");
    Ticks(1);
    dialler.Hangup();
    line.failWrites = true;
    Ticks(CHayesDialler::kGuardTicks);
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kDropFailed});
    EXPECT_FALSE(line.open);
}

TEST_F(HayesDiallerTest, ConnectWithoutAHandleEndsTheCall) {
    line.failDup = true;
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed("OK\r\nCONNECT\r\n");
    Ticks(1);
    EXPECT_FALSE(dialler.CallStands());
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kConnectLost});
}

TEST_F(HayesDiallerTest, OverlongGarbageLineDoesNotGrowWithoutBound) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed(std::string(5000, 'x'));
    Ticks(3);
    line.Feed("\r\nOK\r\n");
    Ticks(1);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kDialling);
}

} // namespace
} // namespace nereid::link
