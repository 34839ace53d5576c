#include "link/command_builder.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "link/frame_codec.h"

namespace nereid::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The record each code needs; header-only codes get an empty one.
CommandRecord RecordFor(std::uint8_t code) {
    CommandRecord r;
    switch (code) {
    case 0x87:
    case 0x88:
    case 0x8D:
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x98:
    case 0xB3:
        r.params = ByteCommand{0x5A};
        break;
    case 0x86:
        r.params = RelayCommand{0x01020304};
        break;
    case 0x89:
        r.params = ConfigurationRecord{};
        break;
    case 0x8B:
        r.params = ClockSetCommand{};
        break;
    case 0x8C:
        r.params = CalibrationSetupRecord{};
        break;
    case 0x8F:
        r.params = InternalRecordingRecord{};
        break;
    case 0x92:
    case 0xB8:
        r.params = TextCommand{"ABC"};
        break;
    case 0xB9:
        r.params = FileReadCommand{600, "ABC"};
        break;
    case 0x97:
        r.params = DampingValuesCommand{};
        break;
    case 0x9B:
        r.params = DampingCommand{};
        break;
    default:
        break;
    }
    return r;
}

// Payload the frame carries, read back with the scanner (independent of the packer).
Bytes SentPayload(CCommandBuilder& builder, std::uint8_t code, const CommandRecord& record,
                  std::uint8_t model, bool longCal, int* result = nullptr) {
    Bytes out(1024);
    const int n = builder.Build(code, record, model, longCal, out.data(), out.size());
    if (result != nullptr) {
        *result = n;
    }
    if (n <= 0) {
        return {};
    }
    FrameScanner scanner;
    scanner.Feed(out.data(), static_cast<std::size_t>(n));
    ScannedFrame f;
    EXPECT_EQ(scanner.Next(f), kFrameGood);
    EXPECT_EQ(f.type, code);
    return f.payload;
}

TEST(CommandBuilderTest, PayloadLengthOfEveryCode) {
    const std::map<int, std::size_t> expected = {
        {0x80, 2}, {0x81, 2},  {0x82, 2}, {0x83, 2},  {0x84, 2}, {0x85, 2},   {0x86, 6},  {0x87, 3},
        {0x88, 3}, {0x89, 58}, {0x8B, 7}, {0x8C, 24}, {0x8D, 3}, {0x8F, 473}, {0x91, 2},  {0x92, 8},
        {0x93, 3}, {0x94, 3},  {0x95, 3}, {0x97, 18}, {0x98, 3}, {0x9B, 19},  {0xB0, 2},  {0xB1, 2},
        {0xB2, 2}, {0xB3, 3},  {0xB4, 2}, {0xB5, 2},  {0xB7, 2}, {0xB8, 8},   {0xB9, 10}, {0xBB, 2},
    };
    CCommandBuilder builder;
    for (int code = 0; code < 256; ++code) {
        const auto c = static_cast<std::uint8_t>(code);
        int result = 0;
        const Bytes payload = SentPayload(builder, c, RecordFor(c), 0, false, &result);
        const auto it = expected.find(code);
        if (it == expected.end()) {
            EXPECT_EQ(result, -4) << std::hex << code;
            EXPECT_FALSE(CCommandBuilder::IsSendable(c)) << std::hex << code;
        } else {
            EXPECT_GT(result, 0) << std::hex << code;
            EXPECT_EQ(payload.size(), it->second) << std::hex << code;
            EXPECT_TRUE(CCommandBuilder::IsSendable(c)) << std::hex << code;
        }
    }
}

TEST(CommandBuilderTest, RefusedCodesIncludeTheGapsOfTheTable) {
    for (int code :
         {0x00, 0x7F, 0x8A, 0x8E, 0x90, 0x96, 0x99, 0x9A, 0x9C, 0xAF, 0xB6, 0xBA, 0xBC, 0xFF}) {
        CCommandBuilder builder;
        Bytes out(1024, 0xAA);
        EXPECT_EQ(builder.Build(static_cast<std::uint8_t>(code), CommandRecord{}, 0, false,
                                out.data(), out.size()),
                  -4)
            << std::hex << code;
        EXPECT_EQ(CCommandBuilder::PayloadLength(static_cast<std::uint8_t>(code), 0, false), -4);
    }
}

TEST(CommandBuilderTest, ConfigurationLengthFollowsModelCode) {
    CCommandBuilder builder;
    for (int model : {0, 1, 2, 3, 16, 18, 32, 255}) {
        EXPECT_EQ(
            SentPayload(builder, 0x89, RecordFor(0x89), static_cast<std::uint8_t>(model), false)
                .size(),
            58u)
            << model;
    }
    EXPECT_EQ(SentPayload(builder, 0x89, RecordFor(0x89), 17, false).size(), 152u);
}

TEST(CommandBuilderTest, CalibrationLengthFollowsLongAnswerFlag) {
    CCommandBuilder builder;
    EXPECT_EQ(SentPayload(builder, 0x8C, RecordFor(0x8C), 17, false).size(), 24u);
    EXPECT_EQ(SentPayload(builder, 0x8C, RecordFor(0x8C), 17, true).size(), 34u);
}

TEST(CommandBuilderTest, ConfigurationFieldsAtTheirOffsets) {
    ConfigurationRecord c;
    c.portWords = {0x0102, 0x0304, 0x0506, 0x0708, 0x090A};
    c.channelEnableMask = 0x8001;
    for (std::size_t i = 0; i < 16; ++i) {
        c.rateCodes[i] = static_cast<std::uint8_t>(20 + i);
    }
    c.syncMode = 2;
    c.gpsCycleTime = 0x11223344;
    c.minimumCorrection = 0x55667788;
    c.jamSetThreshold = 0x0999;
    c.driftCompensation = 0xA1B2C3D4;
    c.sohFrameEnables = 3;
    c.authFrameMaskLocal = 0x0F0E;
    c.authFrameMaskMain = 0x0D0C;
    c.authGenerationMask = 0x0B0A;
    c.channelWords = {0x3F01, 0x0002, 0x0003, 0x0004, 0x3F3F};
    c.triggers[5] = {2, 29, 1000, 0x0102, 0x0304, 0x0506, 0x0708, 1};
    CommandRecord r;
    r.params = c;
    CCommandBuilder builder;
    const Bytes p = SentPayload(builder, 0x89, r, 17, false);
    ASSERT_EQ(p.size(), 152u);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 0x02);
    EXPECT_EQ(p[3], 0x01);
    EXPECT_EQ(p[11], 0x09);
    EXPECT_EQ(p[12], 0x01);
    EXPECT_EQ(p[13], 0x80);
    EXPECT_EQ(p[14], 20); // channel 1 at 13 + 1
    EXPECT_EQ(p[29], 35); // channel 16
    EXPECT_EQ(p[30], 2);
    EXPECT_EQ(Bytes(p.begin() + 31, p.begin() + 35), (Bytes{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(Bytes(p.begin() + 35, p.begin() + 39), (Bytes{0x88, 0x77, 0x66, 0x55}));
    EXPECT_EQ(Bytes(p.begin() + 39, p.begin() + 41), (Bytes{0x99, 0x09}));
    EXPECT_EQ(Bytes(p.begin() + 41, p.begin() + 45), (Bytes{0xD4, 0xC3, 0xB2, 0xA1}));
    EXPECT_EQ(p[45], 3);
    EXPECT_EQ(p[46], 0x0E);
    EXPECT_EQ(p[49], 0x0D);
    EXPECT_EQ(Bytes(p.begin() + 50, p.begin() + 56), Bytes(6, 0));
    EXPECT_EQ(p[56], 0x0A);
    EXPECT_EQ(p[57], 0x0B);
    EXPECT_EQ(p[58], 0x01);
    EXPECT_EQ(p[59], 0x3F);
    EXPECT_EQ(p[67], 0x3F);
    const std::size_t t = 68 + 14 * 5;
    EXPECT_EQ(Bytes(p.begin() + t, p.begin() + t + 14),
              (Bytes{2, 29, 0, 0xE8, 0x03, 0x02, 0x01, 0x04, 0x03, 0x06, 0x05, 0x08, 0x07, 1}));

    // The short form is the same first 58 bytes.
    const Bytes shortForm = SentPayload(builder, 0x89, r, 3, false);
    EXPECT_EQ(shortForm, Bytes(p.begin(), p.begin() + 58));
}

TEST(CommandBuilderTest, CalibrationFieldsAtTheirOffsets) {
    CalibrationSetupRecord c;
    c.signalCode = 0x82;
    c.runIndex = 31;
    c.channelModeWord = 0x0000A5C3;
    c.startTime = 0x5F000000;
    c.duration = 600;
    c.interval = 86400;
    c.repetitions = 7;
    c.amplitudeMv = -1500;
    c.frequencyTenths = 15;
    c.amplitudeTenthMv = -15000;
    c.frequencyThousandths = 1500;
    c.dampingDisable = 0x21;
    c.controlMode = 1;
    CommandRecord r;
    r.params = c;
    CCommandBuilder builder;
    const Bytes p = SentPayload(builder, 0x8C, r, 0, true);
    const Bytes expected{0x00, 0x00, 0x82, 31,   0xC3, 0xA5, 0x00, 0x00, 0x00, 0x00, 0x00, 0x5F,
                         0x58, 0x02, 0x80, 0x51, 0x01, 0x00, 0x07, 0x00, 0x24, 0xFA, 0x0F, 0x00,
                         0x68, 0xC5, 0xFF, 0xFF, 0xDC, 0x05, 0x00, 0x00, 0x21, 0x01};
    EXPECT_EQ(p, expected);
    EXPECT_EQ(SentPayload(builder, 0x8C, r, 0, false),
              Bytes(expected.begin(), expected.begin() + 24));
}

TEST(CommandBuilderTest, InternalRecordingFieldsAtTheirOffsets) {
    InternalRecordingRecord s;
    s.continuousStartMode = 3;
    s.fileSizeSeconds = 3600;
    s.continuousChannels = 0x3F3F;
    s.eventStartMode = 4;
    s.totalVotes = -99;
    s.channelVotes[5] = -10;
    s.externalVote = 10;
    s.eventChannels = 0x0101;
    s.windows[0].enabled = 1;
    s.windows[15].channelBits = 0x2A15;
    s.windows[15].maxFileSeconds = 0x01020304;
    s.windowDrive = 2;
    s.sohEnableBits = 0x03FF;
    s.sohIntervals[9] = 99;
    s.sohDrive = 3;
    s.statusDrive = 4;
    s.stationName = {'N', 'R', 'D', '1'};
    CommandRecord r;
    r.params = s;
    CCommandBuilder builder;
    const Bytes p = SentPayload(builder, 0x8F, r, 17, false);
    ASSERT_EQ(p.size(), 473u);
    EXPECT_EQ(p[2], 3);
    EXPECT_EQ(Bytes(p.begin() + 6, p.begin() + 10), (Bytes{0x10, 0x0E, 0, 0}));
    EXPECT_EQ(Bytes(p.begin() + 18, p.begin() + 20), (Bytes{0x3F, 0x3F}));
    EXPECT_EQ(p[20], 4);
    EXPECT_EQ(Bytes(p.begin() + 32, p.begin() + 34), (Bytes{0x9D, 0xFF}));
    EXPECT_EQ(Bytes(p.begin() + 50, p.begin() + 52), (Bytes{0xF6, 0xFF}));
    EXPECT_EQ(Bytes(p.begin() + 52, p.begin() + 54), (Bytes{10, 0}));
    EXPECT_EQ(Bytes(p.begin() + 54, p.begin() + 56), (Bytes{1, 1}));
    EXPECT_EQ(p[56], 1);
    EXPECT_EQ(Bytes(p.begin() + 416 + 18, p.begin() + 440),
              (Bytes{0x04, 0x03, 0x02, 0x01, 0x15, 0x2A}));
    EXPECT_EQ(p[440], 2);
    EXPECT_EQ(Bytes(p.begin() + 441, p.begin() + 443), (Bytes{0xFF, 0x03}));
    EXPECT_EQ(Bytes(p.begin() + 461, p.begin() + 463), (Bytes{99, 0}));
    EXPECT_EQ(p[463], 3);
    EXPECT_EQ(Bytes(p.begin() + 464, p.begin() + 468), Bytes(4, 0));
    EXPECT_EQ(p[468], 4);
    EXPECT_EQ(Bytes(p.begin() + 469, p.end()), (Bytes{'N', 'R', 'D', '1'}));
}

TEST(CommandBuilderTest, SmallLayouts) {
    CCommandBuilder builder;
    CommandRecord r;
    r.params = RelayCommand{0xC0000003};
    EXPECT_EQ(SentPayload(builder, 0x86, r, 0, false), (Bytes{0, 0, 0x03, 0, 0, 0xC0}));
    r.params = ClockSetCommand{0x386D4380, 1};
    EXPECT_EQ(SentPayload(builder, 0x8B, r, 0, false), (Bytes{0, 0, 0x80, 0x43, 0x6D, 0x38, 1}));
    r.params = ByteCommand{0xFF};
    EXPECT_EQ(SentPayload(builder, 0x95, r, 0, false), (Bytes{0, 0, 0xFF}));
    DampingCommand d;
    d.enableMask = 0x81;
    d.scale = {1, 2, 3, 4, 5, 6, 7, 0x0102};
    r.params = d;
    EXPECT_EQ(SentPayload(builder, 0x9B, r, 0, false),
              (Bytes{0, 0, 0x81, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 0x02, 0x01}));
    r.params = DampingValuesCommand{{127, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(SentPayload(builder, 0x97, r, 0, false),
              (Bytes{0, 0, 127, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
}

TEST(CommandBuilderTest, TextCommands) {
    CCommandBuilder builder;
    CommandRecord r;
    r.params = TextCommand{"C:\\DATA\\*.*"};
    EXPECT_EQ(SentPayload(builder, 0xB8, r, 0, false),
              (Bytes{0, 0, 11, 0, 'C', ':', '\\', 'D', 'A', 'T', 'A', '\\', '*', '.', '*', 0}));
    r.params = TextCommand{""};
    EXPECT_EQ(SentPayload(builder, 0x92, r, 0, false), (Bytes{0, 0, 0, 0, 0}));
    r.params = FileReadCommand{600, "B:\\F.DAT"};
    EXPECT_EQ(SentPayload(builder, 0xB9, r, 0, false),
              (Bytes{0, 0, 0x58, 0x02, 8, 0, 'B', ':', '\\', 'F', '.', 'D', 'A', 'T', 0}));
}

TEST(CommandBuilderTest, RefusesFramesOver1024BytesAndMismatchedRecords) {
    CCommandBuilder builder;
    Bytes out(1024);
    CommandRecord r;
    r.params = TextCommand{std::string(1000, 'x')};
    EXPECT_GT(builder.Build(0x92, r, 0, false, out.data(), out.size()), 0);
    r.params = TextCommand{std::string(1015, 'x')};
    EXPECT_EQ(builder.Build(0x92, r, 0, false, out.data(), out.size()), -4);
    // Reserved characters double on the wire.
    r.params = FileReadCommand{600, std::string(600, '\xE3')};
    EXPECT_EQ(builder.Build(0xB9, r, 0, false, out.data(), out.size()), -4);
    r.params = TextCommand{std::string(70000, 'x')};
    EXPECT_EQ(builder.Build(0xB8, r, 0, false, out.data(), out.size()), -4);

    // A record of the wrong kind is refused, not packed as zeros.
    r.params = ByteCommand{1};
    EXPECT_EQ(builder.Build(0x89, r, 17, false, out.data(), out.size()), -4);
    r.params = std::monostate{};
    EXPECT_EQ(builder.Build(0x94, r, 17, false, out.data(), out.size()), -4);
    // A header-only command takes any record.
    r.params = ConfigurationRecord{};
    EXPECT_EQ(builder.Build(0xB0, r, 17, false, out.data(), out.size()), 7);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 7),
              (Bytes{0xE3, 0xB0, 0x00, 0x00, 0xFE, 0xFF, 0xE5}));
}

} // namespace
} // namespace nereid::link
