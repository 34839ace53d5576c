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
    bool CarrierLost() const override { return lost; }
    void Reclaim() override { ++reclaims; }
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
    bool lost = false;
    int closes = 0;
    int reclaims = 0;
};

class Recorder : public CDiallerListener {
public:
    void CallProgress(const char* text) override { texts.emplace_back(text); }
    void CallConnected(int fd) override { connectedFd = fd; }
    void CallDropped() override { texts.emplace_back("(dropped)"); }
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

// Answers that take a call from "AT" to the "ATD" that starts it.
const std::string kToOriginate = "OK\r\nOK\r\nOK\r\n";

TEST_F(HayesDiallerTest, AGoodCallShowsEveryProgressTextInOrder) {
    ASSERT_EQ(dialler.Dial("/dev/ttyUSB0", "555 0100"), CHayesDialler::kDialStarted);
    EXPECT_EQ(line.opened, "/dev/ttyUSB0");
    EXPECT_EQ(line.written, "AT\r");
    line.Feed("AT\r\r\nOK\r\n"); // echo first, as a modem in its default E1 mode sends it
    Ticks(1);
    EXPECT_EQ(line.written, "AT\rATX4DT;\r");
    EXPECT_EQ(events.texts, std::vector<std::string>{"LineAccepted"});
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kDialling);
    line.Feed("ATX4DT;\r\r\nOK\r\n");
    Ticks(1);
    EXPECT_EQ(line.written, "AT\rATX4DT;\rATDT5550100;\r");
    EXPECT_EQ(events.texts, (std::vector<std::string>{"LineAccepted", "Dialtone", "Dialing"}));
    line.Feed("\r\nOK\r\n");
    Ticks(1);
    EXPECT_EQ(line.written, "AT\rATX4DT;\rATDT5550100;\rATD\r");
    EXPECT_EQ(events.texts.back(), "Proceeding");
    line.Feed("\r\nRINGING\r\n");
    Ticks(1);
    line.Feed("\r\nCONNECT 9600\r\n");
    Ticks(1);
    EXPECT_EQ(events.texts, (std::vector<std::string>{"LineAccepted", "Dialtone", "Dialing",
                                                      "Proceeding", "Ringback", "Connected"}));
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
    line.Feed("OK\r\nOK\r\nCONN");
    Ticks(1);
    EXPECT_FALSE(dialler.CallStands());
    line.Feed("ECT\r\n");
    Ticks(1);
    EXPECT_TRUE(dialler.CallStands());
}

TEST_F(HayesDiallerTest, BusyEndsTheCallAndClosesTheLine) {
    ASSERT_EQ(dialler.Dial("m", "4711"), 1);
    line.Feed(kToOriginate);
    Ticks(1);
    line.Feed("BUSY\r\n");
    Ticks(1);
    EXPECT_EQ(events.texts, (std::vector<std::string>{"LineAccepted", "Dialtone", "Dialing",
                                                      "Proceeding", "Busy", "Disconnect"}));
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kEndedNormally});
    EXPECT_FALSE(line.open);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    EXPECT_EQ(events.connectedFd, -1);
    // A new call can be placed at once.
    EXPECT_EQ(dialler.Dial("m", "4711"), 1);
}

TEST_F(HayesDiallerTest, FailureAnswersGiveDisconnectAtEveryStep) {
    // (answers before the failure, the failure, the texts shown)
    const struct {
        const char* before;
        const char* answer;
        std::vector<std::string> texts;
    } cases[] = {
        {"OK\r\n", "NO DIALTONE", {"LineAccepted", "Disconnect"}},
        {"OK\r\n", "ERROR", {"LineAccepted", "Disconnect"}},
        {"OK\r\nOK\r\n", "NO DIAL TONE", {"LineAccepted", "Dialtone", "Dialing", "Disconnect"}},
        {"OK\r\nOK\r\n", "ERROR", {"LineAccepted", "Dialtone", "Dialing", "Disconnect"}},
    };
    for (const auto& c : cases) {
        events.texts.clear();
        ASSERT_EQ(dialler.Dial("m", "1"), 1) << c.answer;
        line.Feed(std::string(c.before) + c.answer + "\r\n");
        Ticks(1);
        EXPECT_EQ(events.texts, c.texts) << c.answer;
        EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle) << c.answer;
    }
    for (const char* answer :
         {"NO CARRIER", "NO ANSWER", "NO DIALTONE", "ERROR", "DELAYED", "BLACKLISTED"}) {
        events.texts.clear();
        ASSERT_EQ(dialler.Dial("m", "1"), 1) << answer;
        line.Feed(kToOriginate + answer + "\r\n");
        Ticks(1);
        EXPECT_EQ(events.texts.back(), "Disconnect") << answer;
        EXPECT_EQ(events.texts.size(), 5u) << answer;
        EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle) << answer;
        EXPECT_FALSE(line.open);
    }
}

TEST_F(HayesDiallerTest, SilentModemIsTriedThreeTimesThenGivenUp) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    Ticks(CHayesDialler::kInitReplyTicks * CHayesDialler::kInitTries - 1);
    EXPECT_EQ(line.written, "AT\rAT\rAT\r");
    EXPECT_TRUE(events.ended.empty());
    Ticks(1);
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kNoModemAnswer});
    EXPECT_EQ(events.texts, std::vector<std::string>{"Disconnect"});
    EXPECT_FALSE(line.open);
}

TEST_F(HayesDiallerTest, EveryDialStepHasItsTimeLimit) {
    const struct {
        const char* answers;
        int ticks;
    } steps[] = {{"OK\r\n", CHayesDialler::kDialToneTicks},
                 {"OK\r\nOK\r\n", CHayesDialler::kDigitsTicks},
                 {"OK\r\nOK\r\nOK\r\n", CHayesDialler::kDialReplyTicks}};
    for (const auto& step : steps) {
        events.texts.clear();
        ASSERT_EQ(dialler.Dial("m", "1"), 1);
        line.Feed(step.answers);
        Ticks(1);
        Ticks(step.ticks - 1);
        EXPECT_EQ(dialler.GetState(), CHayesDialler::kDialling) << step.ticks;
        Ticks(1);
        EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle) << step.ticks;
        EXPECT_EQ(events.texts.back(), "Disconnect");
    }
}

TEST_F(HayesDiallerTest, ALostCarrierEndsTheStandingCall) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.Feed(kToOriginate + "CONNECT 9600\r\n");
    Ticks(1);
    ASSERT_TRUE(dialler.CallStands());
    Ticks(10);
    EXPECT_TRUE(dialler.CallStands());
    events.texts.clear();
    line.lost = true;
    Ticks(1);
    // The receiver gives up the line before "Disconnect" is shown.
    EXPECT_EQ(events.texts, (std::vector<std::string>{"(dropped)", "Disconnect"}));
    EXPECT_EQ(events.ended, std::vector<int>{CHayesDialler::kCarrierLost});
    EXPECT_FALSE(line.open);
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    // Nothing more, and a new call can be placed.
    Ticks(5);
    EXPECT_EQ(events.ended.size(), 1u);
    line.lost = false;
    EXPECT_EQ(dialler.Dial("m", "1"), 1);
}

TEST_F(HayesDiallerTest, ResetForgetsTheCallWithoutAWord) {
    ASSERT_EQ(dialler.Dial("m", "1"), 1);
    line.written.clear();
    dialler.Reset();
    EXPECT_EQ(dialler.GetState(), CHayesDialler::kIdle);
    EXPECT_FALSE(line.open);
    EXPECT_EQ(line.written, "");
    EXPECT_TRUE(events.ended.empty());
    EXPECT_EQ(dialler.Dial("m", "1"), 1);
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
    line.Feed(kToOriginate + "CONNECT\r\n");
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
    line.Feed(kToOriginate + "CONNECT 9600\r\n");
    Ticks(1);
    ASSERT_TRUE(dialler.CallStands());
    line.written.clear();
    ASSERT_EQ(dialler.Hangup(), 1);
    EXPECT_EQ(line.reclaims, 1) << "the modem's answers must reach the dialler again";
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
    line.Feed(kToOriginate + "CONNECT\r\n");
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
    line.Feed(kToOriginate + "CONNECT\r\n");
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
    line.Feed(kToOriginate + "CONNECT\r\n");
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
