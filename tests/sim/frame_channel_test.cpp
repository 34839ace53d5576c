#include "sim/frame_channel.h"

#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace nereid::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<InboundFrame> FeedAll(FrameChannel& ch, const Bytes& bytes, bool oneByOne = false) {
    if (oneByOne)
        for (std::uint8_t b : bytes)
            ch.Feed(&b, 1);
    else
        ch.Feed(bytes.data(), bytes.size());
    std::vector<InboundFrame> out;
    InboundFrame f;
    while (ch.Next(f))
        out.push_back(f);
    return out;
}

TEST(FrameChannelInbound, AcceptsWellFormedCommandsWhateverThePieces) {
    FaultInjector faults(1, 0, 0, 0);
    for (bool oneByOne : {false, true}) {
        FrameChannel ch(faults, 0);
        // Noise before, two frames, the second with an escaped 0xE3 in its payload.
        Bytes wire = {0x11, 0xE5, 0x00, 0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5, 0x42};
        const Bytes payload = {0x00, 0x00, 0xE3};
        link::AppendFrame(0x87, payload, wire);
        const auto frames = FeedAll(ch, wire, oneByOne);
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[0].kind, InboundFrame::kCommand);
        EXPECT_EQ(frames[0].type, 0xB0);
        EXPECT_EQ(frames[0].payload, (Bytes{0, 0}));
        EXPECT_EQ(frames[1].kind, InboundFrame::kCommand);
        EXPECT_EQ(frames[1].payload, payload);
    }
}

TEST(FrameChannelInbound, FlagsEveryKindOfDamage) {
    FaultInjector faults(1, 0, 0, 0);
    struct Case {
        Bytes wire;
        const char* what;
    };
    const Case cases[] = {
        {{0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFE, 0xE5}, "CRC"},
        {{0xE3, 0xB0, 0xE0, 0x30, 0x00, 0xFE, 0xFF, 0xE5}, "escape outside 0x40..0x45"},
        {{0xE3, 0xB0, 0x00, 0xE1, 0x00, 0xFE, 0xFF, 0xE5}, "unescaped control byte"},
        {{0xE3, 0xB0, 0x00, 0xE5}, "shorter than its CRC"},
        {{0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xE0, 0xE5}, "escape before the end"},
        {{0xE3, 0xE5}, "no type"},
    };
    for (const Case& c : cases) {
        FrameChannel ch(faults, 0);
        const auto frames = FeedAll(ch, c.wire);
        ASSERT_EQ(frames.size(), 1u) << c.what;
        EXPECT_EQ(frames[0].kind, InboundFrame::kBad) << c.what;
        EXPECT_FALSE(frames[0].why.empty());
    }
    // Longer than 1024 bytes: bad, and the channel still takes the next frame.
    FrameChannel ch(faults, 0);
    Bytes big(2000, 0x00);
    Bytes wire;
    link::AppendFrame(0xB8, big, wire);
    const Bytes good = {0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5};
    wire.insert(wire.end(), good.begin(), good.end());
    const auto frames = FeedAll(ch, wire);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, InboundFrame::kBad);
    EXPECT_EQ(frames[1].kind, InboundFrame::kCommand);
}

TEST(FrameChannelInbound, LatestStartByteWinsAndControlFramesAreKnown) {
    FaultInjector faults(1, 0, 0, 0);
    FrameChannel ch(faults, 0);
    const Bytes wire = {0xE3, 0xB2, 0x00, 0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5, 0xE3, 0xE1,
                        0xE5, 0xE3, 0xE2, 0xE5, 0xE3, 0xE4, 0xE5, 0xE3, 0xE1, 0x00, 0xE5};
    const auto frames = FeedAll(ch, wire);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[0].kind, InboundFrame::kCommand);
    EXPECT_EQ(frames[0].type, 0xB0);
    EXPECT_EQ(frames[1].kind, InboundFrame::kAck);
    EXPECT_EQ(frames[2].kind, InboundFrame::kNak);
    EXPECT_EQ(frames[3].kind, InboundFrame::kIgnored);
    EXPECT_EQ(frames[4].kind, InboundFrame::kIgnored) << "a damaged ACK is neither ACK nor NAKed";
}

// A pseudo-terminal to catch what the channel writes.
class Capture {
public:
    Capture() {
        char pattern[] = "/tmp/nereid-sim-fc-XXXXXX";
        m_Folder = ::mkdtemp(pattern);
        std::string why;
        EXPECT_EQ(m_Line.OpenPty(m_Folder + "/line", why), 1) << why;
        m_Slave = ::open(m_Line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~Capture() {
        ::close(m_Slave);
        m_Line.RemoveLink();
        std::filesystem::remove_all(m_Folder);
    }
    LineEndpoint& Line() { return m_Line; }
    Bytes Take() {
        Bytes out;
        std::uint8_t buffer[8192];
        for (;;) {
            pollfd p{m_Slave, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                break;
            const ssize_t n = ::read(m_Slave, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

private:
    std::string m_Folder;
    LineEndpoint m_Line;
    int m_Slave = -1;
};

std::vector<link::ScannedFrame> Scan(const Bytes& wire, std::vector<int>* results = nullptr) {
    link::FrameScanner scanner;
    scanner.Feed(wire);
    std::vector<link::ScannedFrame> frames;
    link::ScannedFrame f;
    for (int r; (r = scanner.Next(f)) != link::kFrameNone;) {
        frames.push_back(f);
        if (results)
            results->push_back(r);
    }
    return frames;
}

TEST(FrameChannelOutbound, NakRepeatsTheOldestUnansweredFrame) {
    FaultInjector faults(1, 0, 0, 0);
    FrameChannel ch(faults, 0);
    Capture cap;
    const Bytes a = {0x34, 0x12, 1, 0xAA};
    const Bytes b = {0x34, 0x12, 1, 0xBB};
    const auto idA = ch.Send('P', a);
    const auto idB = ch.Send('Q', b);
    ASSERT_EQ(ch.Flush(cap.Line()), 1);
    ASSERT_EQ(Scan(cap.Take()).size(), 2u);

    EXPECT_EQ(ch.OnNak(), idA);
    ASSERT_EQ(ch.Flush(cap.Line()), 1);
    auto again = Scan(cap.Take());
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].type, 'P');
    EXPECT_EQ(again[0].payload, a);
    // The repeat now waits behind B.
    EXPECT_EQ(ch.OnAck(), idB);
    EXPECT_EQ(ch.OnAck(), idA);
    EXPECT_EQ(ch.OnAck(), 0u);
    // With nothing waiting, a NAK repeats the last frame sent.
    EXPECT_EQ(ch.OnNak(), idA);
    ASSERT_EQ(ch.Flush(cap.Line()), 1);
    again = Scan(cap.Take());
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].payload, a);
}

TEST(FrameChannelOutbound, FramesNotAwaitingAnAnswerAreNotMatchedByAcks) {
    FaultInjector faults(1, 0, 0, 0);
    FrameChannel ch(faults, 0);
    ch.Send('X', Bytes{0, 0, 0}, false);
    EXPECT_EQ(ch.Waiting(), 0u);
    EXPECT_EQ(ch.OnAck(), 0u);
    const auto id = ch.Send('P', Bytes{0, 0, 1});
    EXPECT_EQ(ch.OnAck(), id);
}

TEST(FrameChannelOutbound, CorruptedFramesKeepTheirEnvelopeAndTheRepeatIsIntact) {
    FaultInjector faults(3, 0.5, 0, 0.5);
    FrameChannel ch(faults, 0);
    Capture cap;
    Bytes payload(64);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<std::uint8_t>(0xD8 + i); // many bytes to escape
    for (int i = 0; i < 40; ++i)
        ch.Send(0x50, payload);
    ASSERT_EQ(ch.Flush(cap.Line()), 1);
    std::vector<int> results;
    const auto frames = Scan(cap.Take(), &results);
    ASSERT_EQ(frames.size(), 40u) << "noise must never look like a frame";
    const int bad =
        static_cast<int>(std::count(results.begin(), results.end(), link::kFrameBadCrc));
    EXPECT_GT(bad, 5);
    EXPECT_LT(bad, 35);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_NE(results[i], link::kFrameMalformed);
        EXPECT_EQ(frames[i].payload, payload);
    }
}

TEST(FrameChannelOutbound, PacingHoldsTheByteRate) {
    FaultInjector faults(1, 0, 0, 0);
    FrameChannel ch(faults, 10000); // 1000 bytes per second
    Capture cap;
    ch.Send(0x50, Bytes(300, 0x11));
    const auto t0 = FrameChannel::Clock::now();
    ASSERT_EQ(ch.Flush(cap.Line(), t0), 1);
    ASSERT_EQ(ch.Flush(cap.Line(), t0 + std::chrono::milliseconds(20)), 1);
    const std::size_t first = cap.Take().size();
    EXPECT_GE(first, 19u);
    EXPECT_LE(first, 21u);
    EXPECT_GT(ch.PacingDelay(t0 + std::chrono::milliseconds(20)),
              FrameChannel::Clock::duration::zero());
    // Idle credit is capped at 50 ms worth: a second later only 50 more bytes go at once.
    ASSERT_EQ(ch.Flush(cap.Line(), t0 + std::chrono::milliseconds(1020)), 1);
    const std::size_t second = cap.Take().size();
    EXPECT_GE(second, 49u);
    EXPECT_LE(second, 51u);
}

// A stream that outruns the line loses data frames at the recorder, as on a real line, and
// an answer is never held behind more than about a second of the line's bytes.
TEST(FrameChannelOutbound, DataFramesBeyondASecondOfTheLineAreDroppedAnswersNever) {
    FaultInjector faults(1, 0, 0, 0);
    FrameChannel ch(faults, 115200);
    EXPECT_EQ(ch.MaxQueuedBytes(), 11520u);
    const Bytes data(311, 0x21);
    int queued = 0;
    for (int i = 0; i < 100; ++i)
        queued += ch.Send(0, data, true, true) != 0;
    EXPECT_GE(queued, 37); // 11520 / 316 bytes a frame, and one past the bound
    EXPECT_LE(queued, 38);
    EXPECT_EQ(ch.DroppedFrames(), static_cast<std::uint64_t>(100 - queued));
    EXPECT_NE(ch.Send(0x50, Bytes(32, 1)), 0u); // the answer is queued all the same

    FrameChannel unpaced(faults, 0);
    EXPECT_EQ(unpaced.MaxQueuedBytes(), FrameChannel::kMaxQueuedBytesUnpaced);
}

} // namespace
} // namespace nereid::sim
