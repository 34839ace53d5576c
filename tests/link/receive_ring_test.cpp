// The receive side of the link driven from memory: ring bounds, the pending-frame rules
// under load, and random streams.
#include "link/serial_link.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "link/frame_codec.h"

namespace nereid::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A link whose "driver" is a byte queue: each poll may take at most `chunk` bytes of it, and
// what the link leaves unread stays queued, as in a real driver's input queue.
class MemoryLink : public CSerialLink {
public:
    void Queue(const Bytes& bytes) { m_Input.insert(m_Input.end(), bytes.begin(), bytes.end()); }
    std::size_t Queued() const { return m_Input.size(); }
    void SetChunk(std::size_t chunk) { m_Chunk = chunk; }
    const Bytes& Written() const { return m_Written; }
    void ClearWritten() { m_Written.clear(); }

protected:
    bool PortIsOpen() const override { return true; }
    std::size_t PortRead(std::uint8_t* buffer, std::size_t capacity, int) override {
        const std::size_t n = std::min({capacity, m_Chunk, m_Input.size()});
        for (std::size_t i = 0; i < n; ++i) {
            buffer[i] = m_Input.front();
            m_Input.pop_front();
        }
        return n;
    }
    int PortWrite(const std::uint8_t* bytes, std::size_t length) override {
        m_Written.insert(m_Written.end(), bytes, bytes + length);
        return static_cast<int>(length);
    }

private:
    std::deque<std::uint8_t> m_Input;
    std::size_t m_Chunk = kReadChunk;
    Bytes m_Written;
};

Bytes Frame(std::uint8_t type, const Bytes& payload) {
    Bytes out;
    AppendFrame(type, payload, out);
    return out;
}

Bytes DataPayload(std::uint16_t sequence, std::size_t length) {
    Bytes p(length);
    for (std::size_t i = 0; i < length; ++i) {
        p[i] = static_cast<std::uint8_t>(i * 7 + sequence);
    }
    p[0] = static_cast<std::uint8_t>(sequence & 0xFF);
    p[1] = static_cast<std::uint8_t>(sequence >> 8);
    return p;
}

std::size_t CountControl(const Bytes& written, std::uint8_t type) {
    FrameScanner scanner;
    scanner.Feed(written);
    ScannedFrame f;
    std::size_t n = 0;
    while (scanner.Next(f) != kFrameNone) {
        n += f.control && f.type == type;
    }
    return n;
}

// An answer that a waiting sheet has not taken yet while more than a ring of data frames
// arrives behind it: the answer is set aside, no data frame is lost, and the sheet still gets
// the answer afterwards.
TEST(ReceiveRingTest, PendingAnswerIsSetAsideWhenTheRingFillsBehindIt) {
    MemoryLink link;
    link.SetDataReaderActive(true);
    link.SetTransactionWaiting(true); // the sheet polls only now and then
    Bytes p(32, 0);
    p[2] = 1;
    link.Queue(Frame('P', p));
    const int frames = 40;
    for (int i = 0; i < frames; ++i) {
        link.Queue(Frame(static_cast<std::uint8_t>(i % 16),
                         DataPayload(static_cast<std::uint16_t>(i), 300)));
    }
    std::vector<Bytes> delivered;
    FrameRecord record;
    for (int poll = 0; poll < 2000 && delivered.size() < static_cast<std::size_t>(frames); ++poll) {
        std::uint8_t expected = kReceiverExpectedType;
        const int result = link.ReadFrame(expected, record);
        ASSERT_NE(result, kCrcError) << "unread bytes were overwritten";
        ASSERT_LE(link.RingBytesHeld(), CSerialLink::kRingSize);
        if (result == kAccepted) {
            delivered.push_back(record.payload);
        }
    }
    ASSERT_EQ(delivered.size(), static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        EXPECT_EQ(delivered[static_cast<std::size_t>(i)],
                  DataPayload(static_cast<std::uint16_t>(i), 300))
            << i;
    }
    EXPECT_EQ(link.RingOverflowDrops(), 0u);
    EXPECT_EQ(link.AnswersSetAside(), 1u);
    EXPECT_EQ(link.HeldAnswers(), 1u);
    // Set aside, not yet answered: only the data frames are acknowledged so far.
    EXPECT_EQ(CountControl(link.Written(), kAckType), static_cast<std::size_t>(frames));

    std::uint8_t expected = 'P';
    ASSERT_EQ(link.ReadFrame(expected, record), kAccepted);
    EXPECT_EQ(record.type, 'P');
    EXPECT_EQ(link.HeldAnswers(), 0u);
    EXPECT_EQ(CountControl(link.Written(), kAckType), static_cast<std::size_t>(frames) + 1);
}

// Set-aside answers are kept in order for the answer readers, a reader waiting for another
// letter type drops one (acknowledged), and those left over when the transaction ends are
// dropped as orphans at the next data poll. Past the bound, an answer is given up as before.
TEST(ReceiveRingTest, SetAsideAnswersKeepTheirOrderAndTheirBound) {
    MemoryLink link;
    link.SetDataReaderActive(true);
    link.SetTransactionWaiting(true);
    const std::uint8_t answers[] = {'P', 'Q', 'T', 'W', 'R'};
    for (std::uint8_t type : answers) {
        Bytes a(type == 'R' ? 153 : 40, 0);
        a[2] = 1;
        link.Queue(Frame(type, a));
        for (int i = 0; i < 14; ++i) {
            link.Queue(Frame(2, DataPayload(static_cast<std::uint16_t>(i), 300)));
        }
    }
    FrameRecord record;
    int data = 0;
    for (int poll = 0; poll < 500 && link.Queued() > 0; ++poll) {
        std::uint8_t expected = kReceiverExpectedType;
        data += link.ReadFrame(expected, record) == kAccepted;
    }
    for (int poll = 0; poll < 500; ++poll) {
        std::uint8_t expected = kReceiverExpectedType;
        data += link.ReadFrame(expected, record) == kAccepted;
    }
    EXPECT_EQ(data, 5 * 14);
    EXPECT_EQ(link.HeldAnswers(), CSerialLink::kMaxHeldAnswers);
    EXPECT_EQ(link.RingOverflowDrops(), 1u); // the fifth answer

    std::uint8_t expected = 'P';
    EXPECT_EQ(link.ReadFrame(expected, record), kAccepted);
    expected = 'T'; // the sheet waits for 'T': the 'Q' before it is dropped
    EXPECT_EQ(link.ReadFrame(expected, record), kOtherType);
    EXPECT_EQ(expected, 'Q');
    expected = 'T';
    EXPECT_EQ(link.ReadFrame(expected, record), kAccepted);
    EXPECT_EQ(record.type, 'T');
    EXPECT_EQ(link.HeldAnswers(), 1u);

    link.SetTransactionWaiting(false);
    link.ClearWritten();
    expected = kReceiverExpectedType;
    EXPECT_EQ(link.ReadFrame(expected, record), kNothing);
    EXPECT_EQ(link.HeldAnswers(), 0u);
    EXPECT_EQ(link.OrphanDrops(), 1u);
    EXPECT_EQ(CountControl(link.Written(), kAckType), 1u);
}

// Without a data reader (a command-line connection, no receiver thread), a reader waiting for
// an answer behind several rings of data frames gets it in one poll; every data frame is
// acknowledged, as the recorder expects.
TEST(ReceiveRingTest, AnswerReaderTakesUnclaimedDataFramesInFrontOfItsAnswer) {
    MemoryLink link;
    link.SetTransactionWaiting(true);
    const int frames = 60; // about 18 kB, four and a half rings
    for (int i = 0; i < frames; ++i) {
        link.Queue(Frame(static_cast<std::uint8_t>(i % 20),
                         DataPayload(static_cast<std::uint16_t>(i), 300)));
    }
    Bytes r(153, 0);
    r[2] = 1;
    link.Queue(Frame('R', r));
    link.Queue(Frame(4, DataPayload(99, 300))); // behind the answer: stays for later

    FrameRecord record;
    std::uint8_t expected = 'R';
    ASSERT_EQ(link.ReadFrame(expected, record), kAccepted);
    EXPECT_EQ(record.type, 'R');
    EXPECT_EQ(link.UnclaimedDataFrames(), static_cast<std::uint32_t>(frames));
    EXPECT_EQ(CountControl(link.Written(), kAckType), static_cast<std::size_t>(frames) + 1);
    EXPECT_EQ(link.RingOverflowDrops(), 0u);

    // A data reader that starts now gets the frame behind the answer.
    link.SetDataReaderActive(true);
    expected = kReceiverExpectedType;
    ASSERT_EQ(link.ReadFrame(expected, record), kAccepted);
    EXPECT_EQ(record.payload, DataPayload(99, 300));
}

TEST(ReceiveRingTest, PartialFrameLongerThanTheRingIsGivenUp) {
    MemoryLink link;
    Bytes junk(5000, 0x11);
    junk[0] = kFrameStart;
    link.Queue(junk);
    link.Queue(Frame(7, DataPayload(1, 50)));
    FrameRecord record;
    int result = 0;
    for (int poll = 0; poll < 50 && result != kAccepted; ++poll) {
        std::uint8_t expected = kReceiverExpectedType;
        result = link.ReadFrame(expected, record);
        ASSERT_LE(link.RingBytesHeld(), CSerialLink::kRingSize);
    }
    EXPECT_EQ(result, kAccepted);
    EXPECT_EQ(record.payload, DataPayload(1, 50));
    EXPECT_EQ(link.RingOverflowDrops(), 1u);
}

TEST(ReceiveRingTest, FramesWrapAroundTheRingEnd) {
    MemoryLink link;
    link.SetChunk(333); // never aligned with the ring size
    FrameRecord record;
    for (int i = 0; i < 100; ++i) {
        Bytes payload = DataPayload(static_cast<std::uint16_t>(i), 200 + i);
        payload[5] = 0xE3;
        payload[6] = 0xE0;
        link.Queue(Frame(3, payload));
        int result = 0;
        for (int poll = 0; poll < 10 && result == 0; ++poll) {
            std::uint8_t expected = kReceiverExpectedType;
            result = link.ReadFrame(expected, record);
        }
        ASSERT_EQ(result, kAccepted) << i;
        ASSERT_EQ(record.payload, payload) << i;
    }
}

TEST(ReceiveRingTest, ReceiverTakesDataBehindAnAnswerOnlyAfterTheSheet) {
    MemoryLink link;
    link.SetTransactionWaiting(true);
    Bytes p(35, 0);
    p[2] = 1;
    link.Queue(Frame('Q', p));
    link.Queue(Frame(1, DataPayload(9, 20)));
    FrameRecord record;
    for (int i = 0; i < 5; ++i) {
        std::uint8_t expected = kReceiverExpectedType;
        EXPECT_EQ(link.ReadFrame(expected, record), kOtherType);
    }
    std::uint8_t expected = 'Q';
    EXPECT_EQ(link.ReadFrame(expected, record), kAccepted);
    expected = kReceiverExpectedType;
    EXPECT_EQ(link.ReadFrame(expected, record), kAccepted);
    EXPECT_EQ(record.payload, DataPayload(9, 20));
    EXPECT_EQ(link.OrphanDrops(), 0u);
}

// Random streams and random corruptions of valid frames, read by random readers: no crash,
// nothing outside the buffers (the sanitizer build checks), the ring never over its size, and
// every delivered frame is one that a separate scan of the same stream finds with a good CRC.
TEST(ReceiveRingTest, RandomStreamsNeverDeliverABadFrame) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        std::mt19937 rng(seed);
        MemoryLink link;
        Bytes stream;
        std::size_t good = 0;
        while (stream.size() < 120000) {
            const unsigned kind = rng() % 10;
            if (kind < 3) {
                // Noise, rich in reserved values.
                const std::size_t n = rng() % 64;
                for (std::size_t i = 0; i < n; ++i) {
                    stream.push_back(
                        static_cast<std::uint8_t>(rng() % 2 ? 0xE0 + rng() % 6 : rng()));
                }
                continue;
            }
            static const std::uint8_t types[] = {0,    5,    16,   19,   20,  21,  0x29,
                                                 'P',  'Q',  'R',  'S',  'X', 'Y', '[',
                                                 0x56, 0xE1, 0xE2, 0xE4, 0x99};
            const std::uint8_t type = types[rng() % sizeof types];
            Bytes payload(rng() % (rng() % 8 == 0 ? 1400 : 120));
            for (auto& b : payload) {
                b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0xE0 + rng() % 6 : rng());
            }
            if (payload.size() > 2) {
                payload[2] = static_cast<std::uint8_t>(rng() % 3);
            }
            Bytes frame;
            if (type == 0xE1 || type == 0xE2 || type == 0xE4) {
                AppendControlFrame(type, frame);
            } else {
                AppendFrame(type, payload, frame);
            }
            switch (kind) {
            case 3: // flip, drop or insert a byte
                if (frame.size() > 3) {
                    const std::size_t at = 1 + rng() % (frame.size() - 2);
                    const unsigned how = rng() % 3;
                    if (how == 0) {
                        frame[at] = static_cast<std::uint8_t>(rng());
                    } else if (how == 1) {
                        frame.erase(frame.begin() + static_cast<std::ptrdiff_t>(at));
                    } else {
                        frame.insert(frame.begin() + static_cast<std::ptrdiff_t>(at),
                                     static_cast<std::uint8_t>(rng()));
                    }
                }
                break;
            case 4: // cut short
                frame.resize(rng() % frame.size());
                break;
            default:
                ++good;
                break;
            }
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
        ASSERT_GT(good, 100u);

        // The frames an independent scanner accepts.
        std::set<std::pair<std::uint8_t, Bytes>> valid;
        FrameScanner scanner(1 << 20);
        scanner.Feed(stream);
        ScannedFrame f;
        for (int r; (r = scanner.Next(f)) != kFrameNone;) {
            if (r == kFrameGood && !f.control) {
                valid.emplace(f.type, f.payload);
            }
        }

        link.Queue(stream);
        FrameRecord record;
        std::size_t accepted = 0;
        for (int poll = 0; poll < 400000 && (link.Queued() > 0 || link.FramePending()); ++poll) {
            link.SetChunk(1 + rng() % CSerialLink::kReadChunk);
            if (rng() % 50 == 0) {
                link.SetTransactionWaiting(!link.TransactionWaiting());
            }
            if (rng() % 5000 == 0) {
                ASSERT_EQ(link.ResizeDecodeBuffer(rng() % 2 ? 1000 : 2052), 1);
            }
            static const std::uint8_t readers[] = {16, 16, 16, 'P', 'R', 'S', 'X', 'Y', 0x29, 20};
            std::uint8_t expected = readers[rng() % sizeof readers];
            const std::uint8_t asked = expected;
            const int result = link.ReadFrame(expected, record);
            ASSERT_LE(link.RingBytesHeld(), CSerialLink::kRingSize);
            switch (result) {
            case kAccepted:
            case kRefused:
                ++accepted;
                ASSERT_TRUE(valid.count({record.type, record.payload}) == 1 ||
                            (record.type >= 20 && record.type <= 21))
                    << "seed " << seed << " type " << int(record.type);
                if (asked > kLastSmallType) {
                    ASSERT_EQ(record.type, asked);
                }
                break;
            case kOtherType:
                ASSERT_NE(expected, asked);
                break;
            case kNothing:
            case kCrcError:
            case kNakReceived:
            case kIgnoredControl:
            case kAckReceived:
                break;
            default:
                FAIL() << "unexpected result " << result;
            }
        }
        EXPECT_GT(accepted, 0u) << seed;
        EXPECT_EQ(link.Queued(), 0u) << "the link stalled, seed " << seed;

        // The link itself only ever wrote control frames (no command was sent).
        FrameScanner written;
        written.Feed(link.Written());
        while (written.Next(f) != kFrameNone) {
            ASSERT_TRUE(f.control);
        }
    }
}

} // namespace
} // namespace nereid::link
