#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace nereid::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Frame(std::uint8_t type, const Bytes& payload, std::size_t capacity = 1024) {
    Bytes out(capacity);
    const int n = BuildFrame(type, payload.data(), payload.size(), out.data(), out.size());
    EXPECT_GT(n, 0);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

TEST(Crc16Test, KnownVectors) {
    const char* text = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)), 0x31C3);
    const Bytes b0{0xB0, 0x00, 0x00};
    EXPECT_EQ(Crc16(b0.data(), b0.size()), 0xFEFF);
    const Bytes b2{0xB2, 0x00, 0x00};
    EXPECT_EQ(Crc16(b2.data(), b2.size()), 0x909F);
    EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
}

TEST(Crc16Test, ChainedUpdateEqualsWholeBuffer) {
    const Bytes data{0x01, 0xE3, 0xFF, 0x00, 0x7F, 0x80};
    std::uint16_t crc = 0;
    for (std::uint8_t b : data) {
        crc = Crc16Update(crc, b);
    }
    EXPECT_EQ(crc, Crc16(data.data(), data.size()));
    EXPECT_EQ(Crc16(data.data() + 2, 4, Crc16(data.data(), 2)), crc);
    EXPECT_EQ(FrameCrc(0x01, data.data() + 1, 5), crc);
}

TEST(BuildFrameTest, QueryWireVectors) {
    const Bytes header{0x00, 0x00};
    EXPECT_EQ(Frame(0xB0, header), (Bytes{0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5}));
    EXPECT_EQ(Frame(0xB2, header), (Bytes{0xE3, 0xB2, 0x00, 0x00, 0x90, 0x9F, 0xE5}));
}

TEST(BuildFrameTest, EscapesReservedBytesOnly) {
    // Payload E3 travels as E0 43; E6 and FF travel unchanged; DF is below the range.
    const Bytes frame = Frame(0x10, {0xE3, 0xE6, 0xFF, 0xDF, 0xE0, 0xE5});
    ASSERT_GE(frame.size(), 11u);
    const Bytes body(frame.begin() + 2, frame.begin() + 10);
    EXPECT_EQ(body, (Bytes{0xE0, 0x43, 0xE6, 0xFF, 0xDF, 0xE0, 0x40, 0xE0}));
    EXPECT_EQ(frame[10], 0x45);
}

TEST(BuildFrameTest, CrcBytesAreEscapedHighFirst) {
    // Find a one-byte payload whose frame CRC is 0xE5E0 so both CRC bytes need escaping.
    bool found = false;
    for (unsigned type = 0; type < 256 && !found; ++type) {
        for (unsigned b = 0; b < 256 && !found; ++b) {
            const std::uint8_t p = static_cast<std::uint8_t>(b);
            if (type == kFrameStart || type == kFrameEnd ||
                FrameCrc(static_cast<std::uint8_t>(type), &p, 1) != 0xE5E0) {
                continue;
            }
            found = true;
            const Bytes frame = Frame(static_cast<std::uint8_t>(type), {p});
            const Bytes tail(frame.end() - 5, frame.end());
            EXPECT_EQ(tail, (Bytes{0xE0, 0x45, 0xE0, 0x40, 0xE5}));
        }
    }
    EXPECT_TRUE(found);
}

TEST(BuildFrameTest, RefusesFramesThatDoNotFitTheCapacity) {
    Bytes out(1024);
    // 1019 plain bytes: E3, type, 1019, CRC 2, E5 = 1024 bytes, the largest that fits.
    Bytes payload(1019, 0x11);
    const int n = BuildFrame(0x20, payload.data(), payload.size(), out.data(), out.size());
    std::uint16_t crc = FrameCrc(0x20, payload.data(), payload.size());
    const bool crcEscaped = NeedsEscape(crc >> 8) || NeedsEscape(crc & 0xFF);
    if (crcEscaped) {
        EXPECT_EQ(n, kFrameTooLong);
    } else {
        EXPECT_EQ(n, 1024);
        EXPECT_EQ(out[1023], kFrameEnd);
    }
    payload.push_back(0x11);
    EXPECT_EQ(BuildFrame(0x20, payload.data(), payload.size(), out.data(), out.size()),
              kFrameTooLong);
    // Escapes count: 600 reserved bytes need 1200 positions.
    const Bytes reserved(600, 0xE4);
    EXPECT_EQ(BuildFrame(0x20, reserved.data(), reserved.size(), out.data(), out.size()),
              kFrameTooLong);
}

TEST(BuildFrameTest, AppendFrameHasNoLimitAndMatchesBuildFrame) {
    Bytes small{0x00, 0x00, 0xE2};
    Bytes appended;
    AppendFrame(0x2C, small, appended);
    EXPECT_EQ(appended, Frame(0x2C, small));

    Bytes big(3013, 0xE5);
    Bytes out;
    const std::size_t n = AppendFrame(0x05, big, out);
    EXPECT_EQ(n, out.size());
    EXPECT_GT(n, 6026u);
    FrameScanner scanner;
    scanner.Feed(out);
    ScannedFrame f;
    ASSERT_EQ(scanner.Next(f), kFrameGood);
    EXPECT_EQ(f.payload, big);

    Bytes ack;
    AppendControlFrame(kAckType, ack);
    EXPECT_EQ(ack, (Bytes{0xE3, 0xE1, 0xE5}));
}

TEST(CheckFrameBodyTest, ShortAndCorruptBodies) {
    const Bytes body{0x00, 0x00, 0xFE, 0xFF};
    EXPECT_EQ(CheckFrameBody(0xB0, body.data(), body.size()), kFrameGood);
    EXPECT_EQ(CheckFrameBody(0xB1, body.data(), body.size()), kFrameBadCrc);
    EXPECT_EQ(CheckFrameBody(0xB0, body.data(), 1), kFrameMalformed);
    EXPECT_EQ(CheckFrameBody(0xB0, body.data(), 0), kFrameMalformed);
}

TEST(UnescaperTest, OrsTheByteAfterTheEscape) {
    Unescaper u;
    std::uint8_t out = 0;
    EXPECT_FALSE(u.Push(0xE0, out));
    EXPECT_TRUE(u.Push(0x43, out));
    EXPECT_EQ(out, 0xE3);
    // Not checked to lie in 0x40..0x45: E0 10 gives F0.
    EXPECT_FALSE(u.Push(0xE0, out));
    EXPECT_TRUE(u.Push(0x10, out));
    EXPECT_EQ(out, 0xF0);
    EXPECT_TRUE(u.Push(0x41, out));
    EXPECT_EQ(out, 0x41);
}

TEST(FrameScannerTest, SkipsNoiseAndResynchronisesOnLatestStart) {
    FrameScanner scanner;
    Bytes stream{0x01, 0xE5, 0x02, 0xE3, 0x55, 0x99}; // noise, then a broken frame start
    const Bytes good = Frame(0xB0, {0x00, 0x00});
    stream.insert(stream.end(), good.begin(), good.end());
    stream.push_back(0x77); // between frames
    scanner.Feed(stream);
    ScannedFrame f;
    ASSERT_EQ(scanner.Next(f), kFrameGood);
    EXPECT_EQ(f.type, 0xB0);
    EXPECT_FALSE(f.control);
    EXPECT_EQ(f.payload, (Bytes{0x00, 0x00}));
    EXPECT_EQ(scanner.Next(f), kFrameNone);
}

TEST(FrameScannerTest, AssemblesFramesFedByteByByte) {
    FrameScanner scanner;
    Bytes stream = Frame(0x92, {0x00, 0x00, 0x03, 0x00, 'A', 0xE3, 'B', 0x00});
    AppendControlFrame(kNakType, stream);
    ScannedFrame f;
    for (std::size_t i = 0; i + 1 < stream.size(); ++i) {
        scanner.Feed(&stream[i], 1);
        if (i + 4 < stream.size()) {
            EXPECT_EQ(scanner.Next(f), kFrameNone) << i;
        }
    }
    scanner.Feed(&stream.back(), 1);
    ASSERT_EQ(scanner.Next(f), kFrameGood);
    EXPECT_EQ(f.payload, (Bytes{0x00, 0x00, 0x03, 0x00, 'A', 0xE3, 'B', 0x00}));
    ASSERT_EQ(scanner.Next(f), kFrameGood);
    EXPECT_TRUE(f.control);
    EXPECT_EQ(f.type, kNakType);
}

TEST(FrameScannerTest, ReportsCorruptShortAndOverlongFrames) {
    FrameScanner scanner(8);
    Bytes bad = Frame(0xB0, {0x00, 0x00});
    bad[3] = 0x01;
    scanner.Feed(bad);
    scanner.Feed(Bytes{0xE3, 0xB0, 0x00, 0xE5});
    scanner.Feed(Frame(0x10, Bytes(20, 0x01)));
    scanner.Feed(Bytes{0xE3, 0xE5});
    ScannedFrame f;
    EXPECT_EQ(scanner.Next(f), kFrameBadCrc);
    EXPECT_EQ(f.type, 0xB0);
    EXPECT_EQ(scanner.Next(f), kFrameMalformed);
    EXPECT_EQ(scanner.Next(f), kFrameMalformed);
    EXPECT_EQ(f.type, 0x10);
    EXPECT_TRUE(f.payload.empty());
    EXPECT_EQ(scanner.Next(f), kFrameMalformed);
    EXPECT_EQ(scanner.Next(f), kFrameNone);
}

TEST(FrameScannerTest, ResetForgetsPartialAndQueuedFrames) {
    FrameScanner scanner;
    scanner.Feed(Frame(0xB0, {0x00, 0x00}));
    const Bytes partial{0xE3, 0xB2, 0x00};
    scanner.Feed(partial);
    scanner.Reset();
    scanner.Feed(Bytes{0x00, 0x90, 0x9F, 0xE5}); // the rest of 0xB2 without its start
    ScannedFrame f;
    EXPECT_EQ(scanner.Next(f), kFrameNone);
}

TEST(FrameScannerTest, RandomRoundTripsAndCorruptionsNeverYieldWrongFrames) {
    std::mt19937 rng(20261207);
    FrameScanner scanner(4096);
    for (int round = 0; round < 300; ++round) {
        Bytes payload(rng() % 300);
        for (auto& b : payload) {
            // Reserved values often, to exercise the escapes.
            b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 0xE0 + rng() % 6 : rng());
        }
        const std::uint8_t type = static_cast<std::uint8_t>(rng() % 0x60);
        Bytes frame;
        AppendFrame(type, payload, frame);
        const bool corrupt = round % 2 == 1;
        if (corrupt) {
            // One byte of the body changed to another non-framing value: CRC-16 catches every
            // error burst of up to 16 bits.
            const std::size_t at = 2 + rng() % (frame.size() - 3);
            std::uint8_t v;
            do {
                v = static_cast<std::uint8_t>(rng());
            } while (v == frame[at] || NeedsEscape(v));
            if (frame[at] == kEscapeByte || (at > 0 && frame[at - 1] == kEscapeByte)) {
                continue;
            }
            frame[at] = v;
        }
        std::size_t pos = 0;
        while (pos < frame.size()) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 17, frame.size() - pos);
            scanner.Feed(&frame[pos], n);
            pos += n;
        }
        ScannedFrame f;
        const int result = scanner.Next(f);
        if (corrupt) {
            EXPECT_EQ(result, kFrameBadCrc) << round;
        } else {
            ASSERT_EQ(result, kFrameGood) << round;
            EXPECT_EQ(f.type, type);
            EXPECT_EQ(f.payload, payload);
        }
        EXPECT_EQ(scanner.Next(f), kFrameNone);
    }
}

} // namespace
} // namespace nereid::link
