#include "link/modem_session.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace nereid::link {
namespace {

class FakeLine : public CModemLine {
public:
    int Open(const std::string&) override {
        open = true;
        return 1;
    }
    bool IsOpen() const override { return open; }
    int Write(const std::uint8_t* bytes, std::size_t length) override {
        written.append(reinterpret_cast<const char*>(bytes), length);
        return static_cast<int>(length);
    }
    int Read(std::uint8_t* bytes, std::size_t capacity) override {
        std::size_t n = 0;
        while (open && n < capacity && !input.empty()) {
            bytes[n++] = static_cast<std::uint8_t>(input.front());
            input.pop_front();
        }
        return static_cast<int>(n);
    }
    int DuplicateHandle() override { return open ? 9 : -1; }
    bool CarrierLost() const override { return lost; }
    void Close() override { open = false; }
    void Feed(const std::string& s) { input.insert(input.end(), s.begin(), s.end()); }
    bool open = false;
    bool lost = false;
    std::string written;
    std::deque<char> input;
};

// A link whose answers the test queues; it records the commands and raw bytes sent.
class FakeLink : public CInstrumentLink {
public:
    int ReadFrame(std::uint8_t& expectedType, FrameRecord& record) override {
        ++polls;
        waitingSeen = waitingSeen || TransactionWaiting();
        if (answers.empty() || answers.front().type != expectedType)
            return kNothing;
        record = answers.front();
        answers.pop_front();
        return kAccepted;
    }
    int SendCommand(std::uint8_t code, const CommandRecord&) override {
        sent.push_back(code);
        waitingAtSend.push_back(TransactionWaiting());
        return 1;
    }
    void Purge() override { ++purges; }
    int WriteRaw(const std::uint8_t* bytes, std::size_t length) override {
        raw.append(reinterpret_cast<const char*>(bytes), length);
        return static_cast<int>(length);
    }
    void Unlock() override {}
    void Lock() override {}
    void MarkSent() override {}
    void SendAck() override {}
    void SendNak() override {}

    std::deque<FrameRecord> answers;
    std::vector<std::uint8_t> sent;
    std::vector<bool> waitingAtSend;
    std::string raw;
    int purges = 0;
    int polls = 0;
    bool waitingSeen = false;
};

FrameRecord Hardware(std::uint8_t adc0, std::uint8_t adc0pb, std::uint8_t adc1,
                     std::uint8_t model) {
    FrameRecord r;
    r.type = kHardwareStatusType;
    r.status = 1;
    HardwareStatus h;
    h.adc0Found = adc0;
    h.adc0PbFound = adc0pb;
    h.adc1Found = adc1;
    h.modelCode = model;
    r.decoded = h;
    return r;
}

FrameRecord Configuration() {
    FrameRecord r;
    r.type = kConfigurationType;
    r.status = 1;
    ConfigurationRecord c;
    c.channelEnableMask = 0x0101;
    r.decoded = c;
    r.payload.assign(58, 0);
    return r;
}

class ModemSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        CModemSession::Hooks hooks;
        hooks.statusText = [this](const std::string& t) { status.push_back(t); };
        hooks.showResult = [this](const std::string& t) { results.push_back(t); };
        hooks.attachPort = [this](int fd) { attached = fd; };
        hooks.setConnected = [this](bool on) { connected = on; };
        hooks.showConnection = [this](const std::string& n, int g) {
            shown = n + "/" + std::to_string(g);
        };
        hooks.setStreams = [this](int n) { streams = n; };
        hooks.callDropped = [this] {
            ++drops;
            status.push_back("(dropped)");
        };
        session.SetHooks(hooks);
    }
    // Dials and answers CONNECT; returns after the line was handed to the link.
    void Connect() {
        ASSERT_EQ(session.Dial("/dev/ttyUSB0", "555"), CHayesDialler::kDialStarted);
        line.Feed("OK\r\nOK\r\nOK\r\nCONNECT 9600\r\n");
        ASSERT_EQ(session.Tick(), kModemRunning);
        ASSERT_EQ(attached, 9);
    }
    int TickUntilDone(int limit) {
        for (int i = 0; i < limit; ++i) {
            const int r = session.Tick();
            if (r != kModemRunning)
                return r;
        }
        return kModemRunning;
    }
    FakeLine line;
    FakeLink link;
    CModemSession session{link, line};
    std::vector<std::string> status;
    std::vector<std::string> results;
    int attached = -1;
    bool connected = false;
    std::string shown;
    int streams = 0;
    int drops = 0;
};

TEST_F(ModemSessionTest, WakesTheRecorderThenSynchronisesAndReadsTheConfiguration) {
    Connect();
    EXPECT_TRUE(connected);
    EXPECT_EQ(shown, "com2/0");
    EXPECT_EQ(link.raw, "\r");
    for (int i = 0; i < kModemWakeTicks - 1; ++i)
        session.Tick();
    EXPECT_EQ(link.raw, "\r");
    session.Tick();
    EXPECT_EQ(link.raw, "\r\r");
    for (int i = 0; i < kModemWakeTicks; ++i)
        session.Tick();
    EXPECT_EQ(link.raw, "\r\r3\r");
    EXPECT_TRUE(link.sent.empty());
    session.Tick(); // sync
    EXPECT_EQ(results.back(), kModemSyncText);
    EXPECT_EQ(link.purges, 1);
    EXPECT_EQ(link.raw, "\r\r3\r\xE3\xE1\xE5");
    EXPECT_EQ(link.sent, std::vector<std::uint8_t>{0xB0});
    // Waiting is set before the first query leaves, so that the receiver thread leaves its
    // answer pending instead of dropping it as an orphan.
    EXPECT_EQ(link.waitingAtSend, std::vector<bool>{true});

    link.answers.push_back(Hardware(1, 1, 1, 17));
    session.Tick();
    EXPECT_EQ(streams, 6);
    EXPECT_EQ(session.ModelCode(), 17);
    EXPECT_EQ(link.ModelCode(), 17);
    EXPECT_EQ(link.sent, (std::vector<std::uint8_t>{0xB0, 0xB2}));
    EXPECT_EQ(results.back(), kModemConfigurationText);
    EXPECT_TRUE(link.TransactionWaiting());
    link.answers.push_back(Configuration());
    EXPECT_EQ(session.Tick(), kModemConnected);
    EXPECT_TRUE(session.HasConfiguration());
    EXPECT_EQ(session.Configuration().channelEnableMask, 0x0101);
    EXPECT_FALSE(link.TransactionWaiting());
    EXPECT_TRUE(session.CallStands());
    // Finished: further ticks report nothing and send nothing.
    EXPECT_EQ(TickUntilDone(50), kModemRunning);
    EXPECT_EQ(link.sent.size(), 2u);
}

TEST_F(ModemSessionTest, HardwareQueryIsRepeatedEveryTwentyTicksWithoutLimit) {
    Connect();
    for (int i = 0; i < 2 * kModemWakeTicks + 1; ++i)
        session.Tick();
    ASSERT_EQ(link.sent.size(), 1u);
    for (int i = 0; i < kModemHardwareResendTicks - 1; ++i)
        session.Tick();
    EXPECT_EQ(link.sent.size(), 1u);
    session.Tick();
    EXPECT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(TickUntilDone(100 * kModemHardwareResendTicks), kModemRunning);
    EXPECT_EQ(link.sent.size(), 102u);
    EXPECT_TRUE(link.waitingSeen);
}

TEST_F(ModemSessionTest, StreamCountFollowsTheAdcBytes) {
    Connect();
    for (int i = 0; i < 2 * kModemWakeTicks + 1; ++i)
        session.Tick();
    link.answers.push_back(Hardware(1, 0, 0, 0));
    session.Tick();
    EXPECT_EQ(streams, 1);
}

TEST_F(ModemSessionTest, MissingConfigurationEndsAfterTwentySeconds) {
    Connect();
    for (int i = 0; i < 2 * kModemWakeTicks + 1; ++i)
        session.Tick();
    link.answers.push_back(Hardware(1, 1, 0, 3));
    session.Tick();
    EXPECT_EQ(streams, 3);
    for (int i = 0; i < kModemConfigurationTicks; ++i)
        ASSERT_EQ(session.Tick(), kModemRunning) << i;
    EXPECT_EQ(session.Tick(), kModemNoConfiguration);
    EXPECT_EQ(results.back(), "Unable To Get Configuration");
    EXPECT_FALSE(session.HasConfiguration());
    EXPECT_FALSE(link.TransactionWaiting());
}

TEST_F(ModemSessionTest, BusyEndsTheCallWithoutConnecting) {
    ASSERT_EQ(session.Dial("/dev/ttyUSB0", "555"), 1);
    EXPECT_EQ(results.back(), "Dialing");
    line.Feed("OK\r\nOK\r\nOK\r\nBUSY\r\n");
    EXPECT_EQ(session.Tick(), kModemCallEnded);
    EXPECT_EQ(status, (std::vector<std::string>{"LineAccepted", "Dialtone", "Dialing", "Proceeding",
                                                "Busy", "Disconnect"}));
    // The result line follows the call progress until the call is connected.
    EXPECT_EQ(results, (std::vector<std::string>{"Dialing", "LineAccepted", "Dialtone", "Dialing",
                                                 "Proceeding", "Busy", "Disconnect"}));
    EXPECT_FALSE(connected);
    EXPECT_EQ(attached, -1);
    EXPECT_FALSE(session.Busy());
    EXPECT_EQ(session.LastEnd(), CHayesDialler::kEndedNormally);
}

TEST_F(ModemSessionTest, DialRefusalsCarryTheirMessages) {
    EXPECT_STREQ(CModemSession::MessageFor(session.Dial("m", "")), kModemNoNumberText);
    EXPECT_STREQ(CModemSession::MessageFor(session.Dial("m", "1;ATZ")), kModemBadNumberText);
    Connect();
    EXPECT_STREQ(CModemSession::MessageFor(session.Dial("m", "1")), kModemAlreadyConnectedText);
}

TEST_F(ModemSessionTest, HangupClosesTheLinkPortFirstAndKeepsTheConnectedFlag) {
    Connect();
    for (int i = 0; i < 2 * kModemWakeTicks + 1; ++i)
        session.Tick();
    bool portClosed = false;
    ASSERT_EQ(session.Hangup([&] { portClosed = true; }), 1);
    EXPECT_TRUE(portClosed);
    EXPECT_EQ(status.back(), "Line Hangup");
    EXPECT_FALSE(link.TransactionWaiting());
    EXPECT_EQ(session.Hangup([] {}), 0);
    const std::size_t sent = link.sent.size();
    EXPECT_EQ(TickUntilDone(2 * CHayesDialler::kGuardTicks), kModemRunning);
    line.Feed("OK\r\n");
    EXPECT_EQ(session.Tick(), kModemCallEnded);
    EXPECT_EQ(link.sent.size(), sent); // the connection start stopped
    EXPECT_EQ(status.back(), "LineClosed");
    EXPECT_FALSE(session.CallStands());
    EXPECT_TRUE(connected); // a hang-up leaves the main frame's flag alone
    EXPECT_EQ(line.written.substr(line.written.size() - 8), "+++ATH0\r");
}

TEST_F(ModemSessionTest, HangupWithoutACallShowsLineHangupAndResetsTheTelephony) {
    EXPECT_EQ(session.Hangup([] { FAIL() << "no port to close without a call"; }), 0);
    EXPECT_EQ(status, std::vector<std::string>{"Line Hangup"});
    EXPECT_FALSE(session.Busy());
    EXPECT_TRUE(line.written.empty());
    // The next dial starts from the beginning.
    ASSERT_EQ(session.Dial("/dev/ttyUSB0", "555"), CHayesDialler::kDialStarted);
    EXPECT_EQ(line.written, "AT\r");
}

TEST_F(ModemSessionTest, ALostCallGivesUpTheLinkBeforeDisconnectIsShown) {
    Connect();
    for (int i = 0; i < 2 * kModemWakeTicks + 1; ++i)
        session.Tick();
    ASSERT_TRUE(link.TransactionWaiting());
    status.clear();
    line.lost = true;
    EXPECT_EQ(session.Tick(), kModemCallEnded);
    EXPECT_EQ(status, (std::vector<std::string>{"(dropped)", "Disconnect"}));
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(session.LastEnd(), CHayesDialler::kCarrierLost);
    EXPECT_FALSE(session.CallStands());
    EXPECT_FALSE(session.Busy());
    EXPECT_FALSE(link.TransactionWaiting());
    // The connection start stopped with it.
    const std::size_t sent = link.sent.size();
    EXPECT_EQ(TickUntilDone(3 * kModemHardwareResendTicks), kModemRunning);
    EXPECT_EQ(link.sent.size(), sent);
}

} // namespace
} // namespace nereid::link
