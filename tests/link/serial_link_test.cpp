#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "link/frame_codec.h"
#include "tests/link/pty_pair.h"

namespace nereid::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::PtyPair;
using Clock = std::chrono::steady_clock;

const Bytes kAck{0xE3, 0xE1, 0xE5};
const Bytes kNak{0xE3, 0xE2, 0xE5};

Bytes Frame(std::uint8_t type, const Bytes& payload) {
    Bytes out;
    AppendFrame(type, payload, out);
    return out;
}

Bytes Answer(std::uint8_t type, std::size_t length, std::uint8_t status = 1) {
    Bytes p(length, 0);
    if (length > 2) {
        p[2] = status;
    }
    return Frame(type, p);
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_Pty.Path().empty());
        ASSERT_EQ(m_Link.Open(m_Pty.Path(), 115200, kParityNone, kStopBitsOne, 8), 1);
        m_Link.SetReadWaitMs(20);
    }

    // Polls until a result other than 0 or the deadline (bytes cross the pty asynchronously).
    int ReadUntilResult(std::uint8_t& expected, FrameRecord& record, int ms = 2000) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        int result = 0;
        while (result == 0 && Clock::now() < end) {
            result = m_Link.ReadFrame(expected, record);
        }
        return result;
    }

    PtyPair m_Pty;
    CSerialLink m_Link;
    FrameRecord m_Record;
};

TEST_F(SerialLinkTest, WriteRawAndSendCommandBytes) {
    const Bytes three{0x41, 0xE3, 0x42};
    EXPECT_EQ(m_Link.WriteRaw(three.data(), three.size()), 3);
    EXPECT_EQ(m_Pty.Received(), three);
    EXPECT_FALSE(m_Link.FrameSentMark()); // WriteRaw does not count as a frame
    EXPECT_EQ(m_Link.SendCommand(0xB2, CommandRecord{}), 1);
    EXPECT_EQ(m_Pty.Received(), (Bytes{0xE3, 0xB2, 0x00, 0x00, 0x90, 0x9F, 0xE5}));
    EXPECT_EQ(m_Link.LastFrameLength(), 7);
    EXPECT_TRUE(m_Link.FrameSentMark());
}

TEST_F(SerialLinkTest, RefusedCommandWritesNothingAndKeepsLastFrame) {
    ASSERT_EQ(m_Link.SendCommand(0xB0, CommandRecord{}), 1);
    m_Pty.Received();
    for (std::uint8_t code : {0x90, 0x96, 0xB6, 0xBA, 0x7F, 0xBC, 0x8A}) {
        EXPECT_EQ(m_Link.SendCommand(code, CommandRecord{}), -4) << int(code);
    }
    CommandRecord tooLong;
    tooLong.params = TextCommand{std::string(1100, 'a')};
    EXPECT_EQ(m_Link.SendCommand(0xB8, tooLong), -4);
    EXPECT_TRUE(m_Pty.Received(100).empty());
    // A NAK now repeats the last frame really written.
    m_Pty.Send(kNak);
    std::uint8_t expected = 'P';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kNakReceived);
    EXPECT_EQ(m_Pty.Received(), (Bytes{0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5}));
}

TEST_F(SerialLinkTest, FrameSplitAcrossManyReadsIsAssembled) {
    Bytes frame = Answer('P', 32);
    frame[2 + 22] = 17; // model code (no escape needed)
    frame = Frame('P', Bytes(frame.begin() + 2, frame.end() - 3));
    for (std::size_t i = 0; i < frame.size(); ++i) {
        m_Pty.Send(Bytes{frame[i]});
        std::uint8_t expected = 'P';
        int result = 0;
        // Give each byte time to cross, then poll once more; only the end byte completes it.
        const auto end = Clock::now() + std::chrono::milliseconds(500);
        do {
            result = m_Link.ReadFrame(expected, m_Record);
        } while (result == 0 && i + 1 == frame.size() && Clock::now() < end);
        if (i + 1 < frame.size()) {
            EXPECT_EQ(result, 0) << i;
        } else {
            ASSERT_EQ(result, kAccepted);
            ASSERT_TRUE(std::holds_alternative<HardwareStatus>(m_Record.decoded));
            EXPECT_EQ(std::get<HardwareStatus>(m_Record.decoded).modelCode, 17);
        }
    }
    EXPECT_EQ(m_Pty.Received(), kAck);
}

TEST_F(SerialLinkTest, AnswerSeenByReceiverStaysPendingForTheWaitingSheet) {
    m_Link.SetTransactionWaiting(true);
    m_Pty.Send(Answer('P', 32));
    std::uint8_t expected = kReceiverExpectedType;
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_EQ(expected, 'P');
    EXPECT_TRUE(m_Link.FramePending());
    expected = kReceiverExpectedType;
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kOtherType);
    EXPECT_TRUE(m_Pty.Received(100).empty()); // not answered while pending

    expected = 'P';
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kAccepted);
    EXPECT_EQ(m_Record.type, 'P');
    EXPECT_TRUE(std::holds_alternative<HardwareStatus>(m_Record.decoded));
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_EQ(m_Pty.Received(), kAck);
}

TEST_F(SerialLinkTest, DataFrameReadForAnswerStaysPendingForReceiver) {
    m_Link.SetDataReaderActive(true); // the receiver thread runs
    Bytes data(11 + 3 * 4, 0);
    data[2] = 0x04;
    data[11] = 0xE3; // a sample byte that must be escaped
    m_Pty.Send(Frame(5, data));
    std::uint8_t expected = 'R';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_EQ(expected, 5);
    EXPECT_TRUE(m_Link.FramePending());
    EXPECT_TRUE(m_Pty.Received(100).empty());

    expected = kReceiverExpectedType;
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kAccepted);
    EXPECT_EQ(expected, 5);
    EXPECT_EQ(m_Record.type, 5);
    EXPECT_EQ(m_Record.payload, data);
    EXPECT_EQ(m_Pty.Received(), kAck);
}

TEST_F(SerialLinkTest, OtherAnswerReadForAnswerIsDroppedAndAcked) {
    m_Pty.Send(Answer('Q', 35));
    std::uint8_t expected = 'R';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_EQ(expected, 'Q');
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_EQ(m_Pty.Received(), kAck);
    expected = 'R';
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kNothing); // the sheet keeps waiting
}

TEST_F(SerialLinkTest, AckGivesTwoAndIsNotAnswered) {
    m_Pty.Send(kAck);
    std::uint8_t expected = 'P';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAckReceived);
    expected = kReceiverExpectedType;
    m_Pty.Send(Bytes{0xE3, 0xE4, 0xE5});
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kIgnoredControl);
    EXPECT_TRUE(m_Pty.Received(100).empty());
}

TEST_F(SerialLinkTest, NakResendsLastFrameEachTime) {
    m_Pty.Send(kNak); // nothing sent yet: nothing to resend
    std::uint8_t expected = 'R';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kNakReceived);
    EXPECT_TRUE(m_Pty.Received(100).empty());

    ASSERT_EQ(m_Link.SendCommand(0xB2, CommandRecord{}), 1);
    const Bytes command = m_Pty.Received();
    for (int i = 0; i < 2; ++i) {
        m_Pty.Send(kNak);
        EXPECT_EQ(ReadUntilResult(expected, m_Record), kNakReceived);
        EXPECT_EQ(m_Pty.Received(), command);
    }
    // After the link answered a frame, a NAK repeats that control frame.
    m_Pty.Send(Answer('R', 153));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    EXPECT_EQ(m_Pty.Received(), kAck);
    m_Pty.Send(kNak);
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kNakReceived);
    EXPECT_EQ(m_Pty.Received(), kAck);
}

TEST_F(SerialLinkTest, MarkSentEnablesResendOfEmptyTransmitBuffer) {
    m_Link.MarkSent();
    EXPECT_TRUE(m_Link.FrameSentMark());
    m_Pty.Send(kNak);
    std::uint8_t expected = 'R';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kNakReceived);
    EXPECT_TRUE(m_Pty.Received(100).empty()); // no frame length yet: nothing to repeat
}

TEST_F(SerialLinkTest, CrcErrorIsNakedAndDropped) {
    Bytes bad = Answer('P', 32);
    bad[5] ^= 0x01;
    m_Pty.Send(bad);
    std::uint8_t expected = 'P';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kCrcError);
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_EQ(m_Pty.Received(), kNak);
}

TEST_F(SerialLinkTest, RefusalsGiveMinusOneAndAreAcked) {
    m_Pty.Send(Answer(0x29, 3, 0));
    std::uint8_t expected = 0x29;
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kRefused);
    ASSERT_TRUE(std::holds_alternative<PlainAck>(m_Record.decoded));
    EXPECT_EQ(m_Pty.Received(), kAck);

    m_Pty.Send(Answer('R', 153, 0));
    expected = 'R';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kRefused);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(m_Record.decoded));
    EXPECT_EQ(m_Pty.Received(), kAck);

    m_Pty.Send(Answer(0x29, 3, 1));
    expected = 0x29;
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
}

TEST_F(SerialLinkTest, UploadFramesAreNeverAnsweredByTheLink) {
    Bytes y(7 + 4, 0);
    y[2] = 2;
    y[5] = 4;
    m_Pty.Send(Frame('Y', y));
    std::uint8_t expected = 'Y';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    EXPECT_EQ(std::get<FileData>(m_Record.decoded).dataLength, 4);
    m_Pty.Send(Answer('X', 189, 1));
    expected = 'X';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    m_Pty.Send(Answer('X', 189, 0));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kRefused);
    m_Pty.Send(Answer('Y', 7, 1));
    expected = 'R'; // dropped as another letter type, still not answered
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_TRUE(m_Pty.Received(150).empty());
}

TEST_F(SerialLinkTest, CalibrationAnswerLengthSelectsCommandForm) {
    CommandRecord setup;
    setup.params = CalibrationSetupRecord{};
    auto sentPayloadLength = [&] {
        EXPECT_EQ(m_Link.SendCommand(0x8C, setup), 1);
        FrameScanner scanner;
        scanner.Feed(m_Pty.Received());
        ScannedFrame f;
        EXPECT_EQ(scanner.Next(f), kFrameGood);
        return f.payload.size();
    };
    EXPECT_EQ(sentPayloadLength(), 24u);
    std::uint8_t expected = 'S';
    m_Pty.Send(Answer('S', 36));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    m_Pty.Received();
    EXPECT_TRUE(m_Link.LongCalibrationAnswer());
    EXPECT_EQ(sentPayloadLength(), 34u);
    m_Pty.Send(Answer('S', 26));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    m_Pty.Received();
    EXPECT_EQ(sentPayloadLength(), 24u);
    m_Pty.Send(Answer('S', 34, 0)); // a refusal still tells the form
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kRefused);
    m_Pty.Received();
    EXPECT_TRUE(m_Link.LongCalibrationAnswer());
    // A corrupt answer must not change the form.
    Bytes bad = Answer('S', 26);
    bad[4] ^= 0x01;
    m_Pty.Send(bad);
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kCrcError);
    m_Pty.Received();
    EXPECT_TRUE(m_Link.LongCalibrationAnswer());
}

TEST_F(SerialLinkTest, DecodeBufferBoundsFrameBodies) {
    ASSERT_EQ(m_Link.DecodeBufferSize(), 1000u);
    auto dataFrame = [](std::size_t payload) {
        Bytes p(payload, 0x11);
        return Frame(3, p);
    };
    std::uint8_t expected = kReceiverExpectedType;
    // Body = payload + 2 CRC bytes; 998 + 2 reaches 1000 and is dropped without NAK.
    m_Pty.Send(dataFrame(998));
    EXPECT_EQ(ReadUntilResult(expected, m_Record, 300), kNothing);
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_TRUE(m_Pty.Received(100).empty());
    m_Pty.Send(dataFrame(997));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    EXPECT_EQ(m_Record.payload.size(), 997u);
    m_Pty.Received();

    ASSERT_EQ(m_Link.ResizeDecodeBuffer(4 + 2048), 1);
    m_Pty.Send(dataFrame(2049));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    EXPECT_EQ(m_Record.payload.size(), 2049u);
    EXPECT_EQ(m_Pty.Received(), kAck);
}

TEST_F(SerialLinkTest, WithoutDecodeBufferEveryFrameIsDropped) {
    EXPECT_EQ(m_Link.ResizeDecodeBuffer(static_cast<std::size_t>(-1)), 0);
    EXPECT_EQ(m_Link.DecodeBufferSize(), 0u);
    std::uint8_t expected = 'P';
    m_Pty.Send(Answer('P', 32));
    m_Pty.Send(kNak);
    m_Pty.Send(Frame(5, Bytes(20, 1)));
    int delivered = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(400);
    while (Clock::now() < end) {
        expected = 'P';
        const int result = m_Link.ReadFrame(expected, m_Record);
        EXPECT_EQ(result, kNothing);
        delivered += result != kNothing;
    }
    EXPECT_EQ(delivered, 0);
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_TRUE(m_Pty.Received(50).empty());
    // The link recovers once a buffer exists again.
    ASSERT_EQ(m_Link.ResizeDecodeBuffer(2052), 1);
    m_Pty.Send(Answer('P', 32));
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
}

TEST_F(SerialLinkTest, PurgeDropsPendingFrameAndScansOnlyNewBytes) {
    m_Link.SetTransactionWaiting(true);
    m_Pty.Send(Answer('P', 32));
    std::uint8_t expected = kReceiverExpectedType;
    ASSERT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    ASSERT_TRUE(m_Link.FramePending());
    m_Link.Purge();
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_EQ(m_Link.RingBytesHeld(), 0u);
    expected = 'P';
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kNothing);
    m_Pty.Send(Answer('Q', 35));
    expected = 'Q';
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
}

TEST_F(SerialLinkTest, OrphanedAnswerDoesNotStallDataFrames) {
    // A late answer with no sheet waiting, followed by data frames.
    m_Link.SetTransactionWaiting(false);
    Bytes stream = Answer('P', 32);
    const Bytes data = Frame(2, Bytes(30, 0x22));
    stream.insert(stream.end(), data.begin(), data.end());
    m_Pty.Send(stream);
    std::uint8_t expected = kReceiverExpectedType;
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_EQ(expected, 'P');
    EXPECT_FALSE(m_Link.FramePending());
    EXPECT_EQ(m_Link.OrphanDrops(), 1u);
    expected = kReceiverExpectedType;
    EXPECT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    EXPECT_EQ(m_Record.type, 2);
    EXPECT_EQ(m_Pty.Received(), (Bytes{0xE3, 0xE1, 0xE5, 0xE3, 0xE1, 0xE5}));
}

TEST_F(SerialLinkTest, InterFrameTimingOfConsumedFrames) {
    std::int64_t now = 1000000;
    m_Link.SetClock([&now] { return now; });
    std::uint8_t expected = kReceiverExpectedType;
    const std::int64_t steps[] = {0, 1000, 1010, 990, 70000};
    for (std::int64_t step : steps) {
        now += step;
        m_Pty.Send(Frame(1, Bytes(12, 0)));
        ASSERT_EQ(ReadUntilResult(expected, m_Record), kAccepted);
    }
    // 70000 ms wraps to 70000 - 65536 = 4464 in 16 bits; the sum holds 1010 + 990 + 4464.
    EXPECT_EQ(m_Link.FrameIntervalMs(), 4464);
    EXPECT_EQ(m_Link.LastThreeIntervalsMs(), 1010 + 990 + 4464);
    // A CRC error or an ACK is not a consumed frame for the timing.
    now += 5;
    m_Pty.Send(kAck);
    ASSERT_EQ(ReadUntilResult(expected, m_Record), kAckReceived);
    EXPECT_EQ(m_Link.FrameIntervalMs(), 4464);
    now += 5;
    m_Pty.Send(Answer('Q', 35)); // dropped as another type (-2): counts
    expected = 'R';
    ASSERT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_EQ(m_Link.FrameIntervalMs(), 10);
    EXPECT_EQ(m_Link.LastThreeIntervalsMs(), 990 + 4464 + 10);
}

TEST_F(SerialLinkTest, ClosedPortKeepsRingStateUntilPurge) {
    m_Link.SetTransactionWaiting(true);
    m_Pty.Send(Answer('P', 32));
    std::uint8_t expected = kReceiverExpectedType;
    ASSERT_EQ(ReadUntilResult(expected, m_Record), kOtherType);
    EXPECT_EQ(m_Link.Close(), 0);
    expected = 'P';
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kNothing);
    m_Link.Purge(); // closed: does nothing
    EXPECT_TRUE(m_Link.FramePending());
    ASSERT_EQ(m_Link.Open(m_Pty.Path(), 9600, kParityNone, kStopBitsOne, 8), 1);
    EXPECT_EQ(m_Link.ReadFrame(expected, m_Record), kAccepted);
}

} // namespace
} // namespace nereid::link
