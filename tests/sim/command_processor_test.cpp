#include "sim/command_processor.h"

#include "sim/answer_encoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace nereid::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t U16(const Bytes& p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
}
std::uint32_t U32(const Bytes& p, std::size_t at) {
    return U16(p, at) | (static_cast<std::uint32_t>(U16(p, at + 2)) << 16);
}

class Recorder {
public:
    explicit Recorder(InstrumentIdentity id = {}) : state(id), processor(state, drives) {}
    CommandOutcome Send(std::uint8_t code, Bytes payload, std::uint32_t second = 1000) {
        return processor.Handle(code, payload, second);
    }
    // Status byte of the answer; -1 when there is none.
    int Status(std::uint8_t code, Bytes payload, std::uint32_t second = 1000) {
        const auto out = Send(code, std::move(payload), second);
        if (!out.reply)
            return -1;
        EXPECT_EQ(out.reply->type, static_cast<std::uint8_t>(code - 0x60));
        return out.reply->payload.at(2);
    }
    InstrumentState state;
    DriveStore drives;
    CommandProcessor processor;
};

Bytes Zeros(std::size_t n) {
    return Bytes(n, 0);
}

TEST(CommandProcessor, ConfigurationLengthFollowsTheModel) {
    Recorder m17;
    Recorder m3(InstrumentIdentity{3, 6, 1, "A", 26, false});
    EXPECT_EQ(m17.processor.ExpectedLength(0x89), 152);
    EXPECT_EQ(m3.processor.ExpectedLength(0x89), 58);
    const auto before = m17.state.Config();
    Bytes shortForm = Zeros(58);
    shortForm[2] = 0x55;
    EXPECT_EQ(m17.Status(0x89, shortForm), 0);
    EXPECT_EQ(m17.state.Config(), before) << "a refused configuration changes nothing";
    EXPECT_EQ(m3.Status(0x89, Zeros(152)), 0);
    EXPECT_EQ(m3.Status(0x89, shortForm), 1);
    EXPECT_EQ(m3.state.Config()[2], 0x55);

    // The 'R' answer is the configuration with the status byte inserted at 2.
    const auto r17 = AnswerEncoder::Configuration(m17.state);
    ASSERT_EQ(r17.size(), 153u);
    for (std::size_t i = 2; i < 152; ++i)
        ASSERT_EQ(r17[i + 1], m17.state.Config()[i]) << i;
    EXPECT_EQ(AnswerEncoder::Configuration(m3.state).size(), 59u);
}

TEST(CommandProcessor, EnabledChannelsNeedAKnownRate) {
    Recorder r(InstrumentIdentity{17, 3, 1, "A", 26, false});
    Bytes config(r.state.Config().begin(), r.state.Config().end());
    config[12] = 0x08; // channel 4 enabled: not fitted with three streams, so no check
    config[13 + 4] = 0;
    EXPECT_EQ(r.Status(0x89, config), 1);
    EXPECT_EQ(r.state.StreamRate(4), 0);
    config[12] = 0x04; // channel 3 enabled with an unknown code
    config[13 + 3] = 26;
    EXPECT_EQ(r.Status(0x89, config), 0);
    config[13 + 3] = 40;
    EXPECT_EQ(r.Status(0x89, config), 1);
    EXPECT_EQ(r.state.StreamRate(3), 1000);
    EXPECT_EQ(r.state.StreamRate(1), 0) << "channel 1 no longer enabled";
}

TEST(CommandProcessor, EveryFixedLengthIsEnforcedAndTheHeaderMustBeZero) {
    Recorder r;
    for (std::uint8_t code : {0x80, 0x84, 0x86, 0x87, 0x8B, 0x8C, 0x8D, 0x8F, 0x91, 0x94, 0xB0,
                              0xB2, 0xB3, 0xB5, 0xB7}) {
        const int n = r.processor.ExpectedLength(code);
        ASSERT_GT(n, 0) << int(code);
        EXPECT_EQ(r.Status(code, Zeros(static_cast<std::size_t>(n) + 1)), 0) << int(code);
        EXPECT_EQ(r.Status(code, Zeros(static_cast<std::size_t>(n) - 1)), 0) << int(code);
        Bytes p = Zeros(static_cast<std::size_t>(n));
        p[0] = 1;
        EXPECT_EQ(r.Status(code, p), 0) << int(code);
    }
}

TEST(CommandProcessor, UnknownCodesAreRefusedInTheirAnswerType) {
    Recorder r;
    for (std::uint8_t code : {0x8A, 0x8E, 0x90, 0x96, 0x99, 0x9A, 0x9C, 0xAF, 0xB6, 0xBA, 0xC0}) {
        const auto out = r.Send(code, Zeros(2));
        ASSERT_TRUE(out.reply) << int(code);
        EXPECT_EQ(out.reply->type, code - 0x60);
        EXPECT_EQ(out.reply->payload.size(), 3u);
        EXPECT_EQ(out.reply->payload[2], 0);
    }
    EXPECT_FALSE(r.Send(0x10, Zeros(2)).reply) << "not a command: no answer";
}

TEST(CommandProcessor, RefusedQueriesKeepTheirAnswerLength) {
    Recorder r36(InstrumentIdentity{17, 6, 1, "A", 36, false});
    const auto s = r36.Send(0xB3, Bytes{0, 0, 40});
    ASSERT_TRUE(s.reply);
    EXPECT_EQ(s.reply->payload.size(), 36u);
    EXPECT_EQ(s.reply->payload[2], 0);
    const auto x = r36.Send(0xB8, Bytes{0, 0, 1, 0, 'Z', 0});
    ASSERT_TRUE(x.reply);
    EXPECT_EQ(x.reply->type, 'X');
    EXPECT_EQ(x.reply->payload.size(), 189u);
    EXPECT_FALSE(x.reply->awaitAnswer);
}

TEST(CommandProcessor, CalibrationFormFollowsTheAnswerFormat) {
    Recorder r26;
    Recorder r36(InstrumentIdentity{17, 6, 1, "A", 36, false});
    Bytes run = Zeros(24);
    run[12] = 10; // 10 s
    EXPECT_EQ(r26.Status(0x8C, run), 1);
    EXPECT_EQ(r36.Status(0x8C, run), 0);
    Bytes longRun = Zeros(34);
    longRun[12] = 10;
    EXPECT_EQ(r36.Status(0x8C, longRun), 1);
    EXPECT_EQ(r26.Status(0x8C, longRun), 0);
}

TEST(CommandProcessor, CalibrationRunsAreCheckedAndRemembered) {
    Recorder r;
    Bytes run = Zeros(24);
    run[2] = 0x82;  // scheduled pulse
    run[3] = 31;    // last index
    run[4] = 0x0D;  // modes
    run[8] = 0x10;  // start time 0x10
    run[12] = 0x2C; // 300 s
    run[13] = 0x01;
    run[14] = 0x80; // interval 0x0E10 80? little-endian 0x00000E80
    run[15] = 0x0E;
    run[18] = 3;
    run[20] = 0x3C; // -2500 mV
    run[21] = 0xF6;
    run[22] = 25;
    EXPECT_EQ(r.Status(0x8C, run), 1);
    const auto s = r.Send(0xB3, Bytes{0, 0, 31});
    ASSERT_TRUE(s.reply);
    const Bytes& p = s.reply->payload;
    ASSERT_EQ(p.size(), 26u);
    EXPECT_EQ(p[3], 0x82);
    EXPECT_EQ(p[4], 31);
    EXPECT_EQ(p[5], 1);
    EXPECT_EQ(U32(p, 6), 0x0Du);
    EXPECT_EQ(U32(p, 10), 0x10u);
    EXPECT_EQ(U16(p, 14), 300);
    EXPECT_EQ(U32(p, 16), 0x0E80u);
    EXPECT_EQ(U16(p, 20), 3);
    EXPECT_EQ(static_cast<std::int16_t>(U16(p, 22)), -2500);
    EXPECT_EQ(U16(p, 24), 25);

    Bytes bad = run;
    bad[3] = 32;
    EXPECT_EQ(r.Status(0x8C, bad), 0) << "index above 31";
    bad = run;
    bad[2] = 0x84;
    EXPECT_EQ(r.Status(0x8C, bad), 0) << "pseudo random binary is for models 2 and 3";
    bad = run;
    bad[2] = 0x05;
    EXPECT_EQ(r.Status(0x8C, bad), 0) << "no signal 5";
    bad = run;
    bad[12] = bad[13] = 0;
    EXPECT_EQ(r.Status(0x8C, bad), 0) << "zero duration";

    // The immediate run ends by itself after its duration.
    Bytes now = Zeros(24);
    now[12] = 20;
    EXPECT_EQ(r.Status(0x8C, now, 5000), 1);
    EXPECT_EQ(r.Send(0xB3, Bytes{0, 0, 0xFF}, 5019).reply->payload[5], 1);
    EXPECT_EQ(r.Send(0xB3, Bytes{0, 0, 0xFF}, 5020).reply->payload[5], 0);
    EXPECT_EQ(r.Status(0x8D, Bytes{0, 0, 31}), 1);
    EXPECT_EQ(r.Send(0xB3, Bytes{0, 0, 31}).reply->payload[5], 0);
    EXPECT_EQ(r.Status(0x8D, Bytes{0, 0, 32}), 0);
}

TEST(CommandProcessor, SwitchesTakeOnlyTheirValues) {
    Recorder r;
    EXPECT_EQ(r.Status(0x87, Bytes{0, 0, 2}), 0);
    EXPECT_EQ(r.Status(0x94, Bytes{0, 0, 255}), 0) << "nothing chosen on the page";
    EXPECT_FALSE(r.processor.Streaming());
    EXPECT_EQ(r.Status(0x94, Bytes{0, 0, 1}), 1);
    EXPECT_TRUE(r.processor.Streaming());
    EXPECT_EQ(r.Status(0x81, Zeros(2)), 1);
    EXPECT_FALSE(r.processor.Streaming()) << "a warm start stops the stream";

    // Models other than 17 stream while acquisition runs.
    Recorder m3(InstrumentIdentity{3, 3, 1, "A", 26, false});
    EXPECT_EQ(m3.Status(0x84, Zeros(2)), 1);
    EXPECT_TRUE(m3.processor.Streaming());
    EXPECT_EQ(m3.Status(0x85, Zeros(2)), 1);
    EXPECT_FALSE(m3.processor.Streaming());

    // Vpp shows in the state of health.
    const auto off = AnswerEncoder::Health(r.state, 0);
    EXPECT_EQ(r.Status(0x87, Bytes{0, 0, 1}), 1);
    const auto on = AnswerEncoder::Health(r.state, 0);
    EXPECT_LT(U16(off, 7) & 0xFFF, 100);
    EXPECT_NEAR((U16(on, 7) & 0xFFF) * 6.166 / 1000, 12.0, 0.1);
}

TEST(CommandProcessor, DampingIsModel3OnlyAndRanged) {
    Recorder m17;
    EXPECT_EQ(m17.Status(0x98, Bytes{0, 0, 1}), 0);
    Recorder m3(InstrumentIdentity{3, 6, 1, "A", 26, false});
    Bytes values = Zeros(18);
    values[2 + 14] = 127;
    EXPECT_EQ(m3.Status(0x97, values), 1);
    values[2 + 14] = 128;
    EXPECT_EQ(m3.Status(0x97, values), 0);
    EXPECT_EQ(m3.state.dampingValues[7], 127) << "a refused set keeps the old values";
    Bytes both = Zeros(19);
    both[2] = 0x81;
    both[3] = 9;
    EXPECT_EQ(m3.Status(0x9B, both), 1);
    const auto d = m3.Send(0xBB, Zeros(2)).reply->payload;
    ASSERT_EQ(d.size(), 20u);
    EXPECT_EQ(d[3], 0x81);
    EXPECT_EQ(U16(d, 4), 9);
    EXPECT_EQ(U16(d, 18), 0);
}

class DriveFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-sim-cp-XXXXXX";
        folder = ::mkdtemp(pattern);
        std::ofstream(folder / "D1234001.093", std::ios::binary) << std::string(1500, 'x');
        std::ofstream(folder / "EMPTY.DAT", std::ios::binary);
        ASSERT_EQ(r.drives.SetDrive('B', folder), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    static Bytes Text(std::uint8_t, const std::string& text) {
        Bytes p = {0, 0, static_cast<std::uint8_t>(text.size()), 0};
        p.insert(p.end(), text.begin(), text.end());
        p.push_back(0);
        return p;
    }
    static Bytes Read(std::uint16_t block, const std::string& path) {
        Bytes p = {0,
                   0,
                   static_cast<std::uint8_t>(block),
                   static_cast<std::uint8_t>(block >> 8),
                   static_cast<std::uint8_t>(path.size()),
                   0};
        p.insert(p.end(), path.begin(), path.end());
        p.push_back(0);
        return p;
    }

    std::filesystem::path folder;
    Recorder r;
};

TEST_F(DriveFixture, TextCommandsMustBeConsistent) {
    Bytes p = Text(0x92, "B:\\D1234001.093");
    p[2] += 1; // N one too large
    EXPECT_EQ(r.Status(0x92, p), 0);
    p = Text(0x92, "B:\\D1234001.093");
    p.back() = 'x'; // no terminating zero
    EXPECT_EQ(r.Status(0x92, p), 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "D1234001.093"));
    EXPECT_EQ(r.Status(0x92, Text(0x92, "A:\\D1234001.093")), 0) << "drive A is absent";
    EXPECT_EQ(r.Status(0x92, Text(0x92, "b:\\d1234001.093")), 1);
    EXPECT_FALSE(std::filesystem::exists(folder / "D1234001.093"));
}

TEST_F(DriveFixture, FileReadsMakeTransfersOfTheBlockSize) {
    auto out = r.Send(0xB9, Read(600, "B:\\D1234001.093"));
    ASSERT_TRUE(out.transfer);
    EXPECT_FALSE(out.reply);
    EXPECT_EQ(out.transfer->FrameCount(), 3u);
    std::vector<std::size_t> sizes;
    std::vector<int> states;
    while (!out.transfer->Done()) {
        const auto p = out.transfer->NextPayload();
        EXPECT_EQ(U16(p, 3), sizes.size() + 1);
        EXPECT_EQ(U16(p, 5), p.size() - 7);
        sizes.push_back(p.size() - 7);
        states.push_back(p[2]);
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{600, 600, 300}));
    EXPECT_EQ(states, (std::vector<int>{2, 2, 1}));

    out = r.Send(0xB9, Read(600, "B:\\EMPTY.DAT"));
    ASSERT_TRUE(out.transfer);
    ASSERT_EQ(out.transfer->FrameCount(), 1u);
    const auto last = out.transfer->NextPayload();
    EXPECT_EQ(last[2], 1);
    EXPECT_EQ(last.size(), 7u);

    EXPECT_EQ(r.Send(0xB9, Read(0, "B:\\EMPTY.DAT")).reply->payload[2], 0);
    EXPECT_EQ(r.Send(0xB9, Read(1025, "B:\\EMPTY.DAT")).reply->payload[2], 0);
    EXPECT_TRUE(r.Send(0xB9, Read(1024, "B:\\EMPTY.DAT")).transfer);
}

TEST_F(DriveFixture, DriveStatusAndHardwareFollowTheDrives) {
    const auto w = AnswerEncoder::DriveStatus(r.state, r.drives);
    ASSERT_EQ(w.size(), 123u);
    EXPECT_EQ(w[3 + 0], 0) << "A absent";
    EXPECT_EQ(w[3 + 24], 1) << "B installed";
    EXPECT_EQ(w[3 + 24 + 1], 1) << "B is a flash card";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&w[3 + 24 + 2])), "NEREID_B");
    EXPECT_EQ(U32(w, 3 + 24 + 18), 256000000u - 1500u);
    const auto hw = AnswerEncoder::Hardware(r.state, r.drives);
    EXPECT_EQ(hw[6], 1) << "card in slot 1 = drive B";
    EXPECT_EQ(hw[7], 0);
    EXPECT_EQ(hw[22], 17);
}

TEST(AnswerEncoder, ListingEntriesLieAtTheirOffsets) {
    DriveEntry dir{"DAY093", "", true, 0x6000, 0x3C83, 0};
    DriveEntry file{"D1234001", "093", false, 0x1234, 0x5678, 0xA1B2C3D4};
    const DriveEntry entries[] = {dir, file};
    const auto p = AnswerEncoder::Listing(7, 2, 0x0102, entries);
    ASSERT_EQ(p.size(), 189u);
    EXPECT_EQ(U16(p, 0), 7);
    EXPECT_EQ(p[2], 2);
    EXPECT_EQ(U16(p, 3), 0x0102);
    EXPECT_EQ(p[5], 1);
    EXPECT_EQ(std::string(p.begin() + 6, p.begin() + 15), "DAY093   ");
    EXPECT_EQ(std::string(p.begin() + 15, p.begin() + 19), "    ");
    EXPECT_EQ(p[19], 0x10);
    const std::size_t e = 5 + 23;
    EXPECT_EQ(std::string(p.begin() + e + 1, p.begin() + e + 10), "D1234001 ");
    EXPECT_EQ(std::string(p.begin() + e + 10, p.begin() + e + 14), "093 ");
    EXPECT_EQ(p[e + 14], 0x20);
    EXPECT_EQ(U16(p, e + 15), 0x1234);
    EXPECT_EQ(U16(p, e + 17), 0x5678);
    EXPECT_EQ(U32(p, e + 19), 0xA1B2C3D4u);
    EXPECT_EQ(p[5 + 2 * 23], 0) << "third entry absent";
}

TEST(AnswerEncoder, GpsAndHealthHaveTheirLengthsAndCodes) {
    InstrumentState s{InstrumentIdentity{}};
    const auto t = AnswerEncoder::Gps(s, 100);
    ASSERT_EQ(t.size(), 40u);
    EXPECT_EQ(t[3], s.Config()[30]);
    EXPECT_EQ(static_cast<std::int16_t>(U16(t, 27)), -33);
    EXPECT_EQ(static_cast<std::int32_t>(U32(t, 29)), -51234);
    const auto q = AnswerEncoder::Health(s, 100);
    ASSERT_EQ(q.size(), 35u);
    EXPECT_NEAR((U16(q, 5) & 0xFFF) * 0.030525 - 50, 25.0, 0.5) << "CPU temperature";
    const auto u = AnswerEncoder::RecordingSetup(s);
    ASSERT_EQ(u.size(), 474u);
    EXPECT_EQ(std::string(u.begin() + 470, u.end()), "SIM1");
}

} // namespace
} // namespace nereid::sim
