// The PC's link core against nereid-sim over a pseudo-terminal: every command's answer, the
// configuration, calibration and internal recording round trips, file transfers and resends.

#include "sim_process.h"
#include "tests/sim/sim_commands.h"

#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <numbers>
#include <poll.h>
#include <termios.h>

namespace nereid::sim::test {
namespace {

using link::CommandRecord;
using link::FrameRecord;

struct Expect {
    std::uint8_t code;
    CommandRecord record;
    std::uint8_t answerType;
    std::size_t answerLength;
};

TEST(SimLink, EveryCommandOfModel17GetsItsAnswerTypeAndLength) {
    const std::string drives = "/tmp";
    SimProcess sim({"--model", "17", "--streams", "6", "--serial", "4321"});
    ASSERT_FALSE(sim.ReadyLine().empty());
    EXPECT_EQ(sim.ReadyLine(), sim.Link());
    PcSide pc(sim.Link());
    ASSERT_TRUE(pc.IsOpen());
    pc.Link().SetModelCode(17);

    link::ConfigurationRecord config;
    config.portWords = {0x8A57, 0x8256, 0x8256, 0x8256, 0x8256};
    config.channelEnableMask = 0x0101;
    config.rateCodes[0] = 30;
    config.rateCodes[8] = 20;
    link::CalibrationSetupRecord cal;
    cal.signalCode = 0x00;
    cal.duration = 60;
    link::InternalRecordingRecord setup;
    std::vector<Expect> table = {
        {0x81, Plain(), 0x21, 3},
        {0x83, Plain(), 0x23, 3},
        {0x84, Plain(), 0x24, 3},
        {0x85, Plain(), 0x25, 3},
        {0x86, CommandRecord{0, link::RelayCommand{3}}, 0x26, 3},
        {0x87, Byte(1), 0x27, 3},
        {0x88, Byte(0), 0x28, 3},
        {0x89, CommandRecord{0, config}, 0x29, 3},
        {0x8B, CommandRecord{0, link::ClockSetCommand{1041379200, 0}}, 0x2B, 3},
        {0x8C, CommandRecord{0, cal}, 0x2C, 3},
        {0x8D, Byte(0xFF), 0x2D, 3},
        {0x8F, CommandRecord{0, setup}, 0x2F, 3},
        {0x91, Plain(), 0x31, 3},
        {0x94, Byte(0), 0x34, 3},
        {0x95, Byte(0xFF), 0x35, 3},
        {0xB0, Plain(), 'P', 32},
        {0xB1, Plain(), 'Q', 35},
        {0xB2, Plain(), 'R', 153},
        {0xB3, Byte(0xFF), 'S', 26},
        {0xB4, Plain(), 'T', 40},
        {0xB5, Plain(), 'U', 474},
        {0xB7, Plain(), 'W', 123},
        {0x82, Plain(), 0x22, 3},
        {0x80, Plain(), 0x20, 3},
    };
    for (const Expect& e : table) {
        FrameRecord answer;
        SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << int(e.code));
        EXPECT_EQ(pc.Transact(e.code, e.record, answer), 1);
        EXPECT_EQ(answer.type, e.answerType);
        EXPECT_EQ(answer.payload.size(), e.answerLength);
        EXPECT_EQ(answer.header, 4321);
    }

    // Drive B is absent: powering it down is refused, with the plain acknowledgement type.
    FrameRecord refused;
    EXPECT_EQ(pc.Transact(0x93, Byte(1), refused), -1);
    EXPECT_EQ(refused.type, 0x33);
    // Damping belongs to model 3 only; a model 17 recorder refuses it in its letter type.
    EXPECT_EQ(pc.Transact(0xBB, Plain(), refused), -1);
    EXPECT_EQ(refused.type, '[');
    EXPECT_EQ(refused.payload.size(), 20u);
}

TEST(SimLink, HardwareAnswerCarriesModelStreamsAndSerial) {
    for (int streams : {1, 3, 6}) {
        SimProcess sim({"--model", "33", "--streams", std::to_string(streams), "--serial", "77"});
        PcSide pc(sim.Link());
        FrameRecord answer;
        ASSERT_EQ(pc.Transact(0xB0, Plain(), answer), 1);
        const auto& hw = std::get<link::HardwareStatus>(answer.decoded);
        EXPECT_EQ(hw.modelCode, 33);
        EXPECT_EQ(answer.header, 77);
        const int derived = (hw.adc0Found == 1 && hw.adc0PbFound == 0 && hw.adc1Found == 0)   ? 1
                            : (hw.adc0Found == 1 && hw.adc0PbFound == 1 && hw.adc1Found == 1) ? 6
                                                                                              : 3;
        EXPECT_EQ(derived, streams);
        EXPECT_EQ(hw.softwareMajor, 2);
        EXPECT_EQ(hw.softwareMinor, 5);
    }
}

TEST(SimLink, ConfigurationWrittenReadsBackInBothForms) {
    for (int model : {17, 3}) {
        SCOPED_TRACE(model);
        SimProcess sim({"--model", std::to_string(model), "--streams", "3"});
        PcSide pc(sim.Link());
        pc.Link().SetModelCode(static_cast<std::uint8_t>(model));
        link::ConfigurationRecord c;
        c.portWords = {0x8A57, 0x8A5D, 0x8256, 0x8001, 0x8002};
        c.channelEnableMask = 0x0305;
        for (int i = 0; i < 16; ++i)
            c.rateCodes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i < 8 ? 33 : 21);
        c.syncMode = 1;
        c.gpsCycleTime = 0xA1B2C3D4;
        c.minimumCorrection = 999999;
        c.jamSetThreshold = 999;
        c.driftCompensation = 123456;
        c.sohFrameEnables = 3;
        c.authFrameMaskLocal = 0x0007;
        c.authFrameMaskMain = 0x0005;
        c.authGenerationMask = 0x0003;
        c.channelWords = {0x0707, 0x0100, 0, 0, 0x2000};
        for (int k = 0; k < 6; ++k)
            c.triggers[static_cast<std::size_t>(k)] = {static_cast<std::uint8_t>(k % 3),
                                                       static_cast<std::uint16_t>(29 + k),
                                                       25000,
                                                       static_cast<std::uint16_t>(100 * k),
                                                       60,
                                                       400,
                                                       150,
                                                       1};
        FrameRecord ack;
        ASSERT_EQ(pc.Transact(0x89, CommandRecord{0, c}, ack), 1);
        FrameRecord answer;
        ASSERT_EQ(pc.Transact(0xB2, Plain(), answer), 1);
        EXPECT_EQ(answer.payload.size(), model == 17 ? 153u : 59u);
        const auto& r = std::get<link::ConfigurationRecord>(answer.decoded);
        EXPECT_EQ(r.portWords, c.portWords);
        EXPECT_EQ(r.channelEnableMask, c.channelEnableMask);
        EXPECT_EQ(r.rateCodes, c.rateCodes);
        EXPECT_EQ(r.syncMode, 1);
        EXPECT_EQ(r.gpsCycleTime, 0xA1B2C3D4u);
        EXPECT_EQ(r.minimumCorrection, 999999u);
        EXPECT_EQ(r.jamSetThreshold, 999);
        EXPECT_EQ(r.driftCompensation, 123456u);
        EXPECT_EQ(r.sohFrameEnables, 3);
        EXPECT_EQ(r.authFrameMaskLocal, 7);
        EXPECT_EQ(r.authFrameMaskMain, 5);
        EXPECT_EQ(r.authGenerationMask, 3);
        if (model == 17) {
            EXPECT_EQ(r.channelWords, c.channelWords);
            for (int k = 0; k < 6; ++k) {
                const auto& t = r.triggers[static_cast<std::size_t>(k)];
                EXPECT_EQ(t.mode, k % 3);
                EXPECT_EQ(t.highPassCorner, 29 + k);
                EXPECT_EQ(t.lowPassCorner, 25000);
                EXPECT_EQ(t.levelOrStaTime, 100 * k);
                EXPECT_EQ(t.ltaTime, 60);
                EXPECT_EQ(t.triggerRatio, 400);
                EXPECT_EQ(t.detriggerRatio, 150);
                EXPECT_EQ(t.updatingLta, 1);
            }
        }
        // An enabled, fitted channel with no known rate is refused and changes nothing.
        link::ConfigurationRecord bad = c;
        bad.rateCodes[1] = 99;
        bad.channelEnableMask = 0x0002;
        EXPECT_EQ(pc.Transact(0x89, CommandRecord{0, bad}, ack), -1);
        ASSERT_EQ(pc.Transact(0xB2, Plain(), answer), 1);
        EXPECT_EQ(std::get<link::ConfigurationRecord>(answer.decoded).rateCodes, c.rateCodes);
    }
}

TEST(SimLink, InternalRecordingSetupRoundTripKeepsTheStationName) {
    SimProcess sim({"--station", "AB"});
    PcSide pc(sim.Link());
    FrameRecord answer;
    ASSERT_EQ(pc.Transact(0xB5, Plain(), answer), 1);
    auto setup = std::get<link::InternalRecordingRecord>(answer.decoded);
    EXPECT_EQ(std::string(setup.stationName.data(), 4), "AB  ");
    EXPECT_EQ(answer.payload[470], 'A');
    setup.stationName = {'X', 'Y', 'Z', 'W'};
    setup.windows[15].channelBits = 0x2A15;
    setup.sohIntervals[9] = 99;
    setup.statusDrive = 4;
    setup.totalVotes = -99;
    ASSERT_EQ(pc.Transact(0x8F, CommandRecord{0, setup}, answer), 1);
    ASSERT_EQ(pc.Transact(0xB5, Plain(), answer), 1);
    const auto& back = std::get<link::InternalRecordingRecord>(answer.decoded);
    EXPECT_EQ(std::string(back.stationName.data(), 4), "XYZW");
    EXPECT_EQ(back.windows[15].channelBits, 0x2A15);
    EXPECT_EQ(back.sohIntervals[9], 99);
    EXPECT_EQ(back.statusDrive, 4);
    EXPECT_EQ(back.totalVotes, -99);
}

TEST(SimLink, CalibrationRunsInTheExtendedFormat) {
    SimProcess sim({"--cal-format", "36", "--model", "3"});
    PcSide pc(sim.Link());
    pc.Link().SetModelCode(3);
    FrameRecord answer;
    ASSERT_EQ(pc.Transact(0xB3, Byte(5), answer), 1);
    EXPECT_EQ(answer.payload.size(), 36u);
    EXPECT_TRUE(pc.Link().LongCalibrationAnswer());
    link::CalibrationSetupRecord run;
    run.signalCode = 0x84; // pseudo random binary, scheduled: models 2 and 3 only
    run.runIndex = 5;
    run.channelModeWord = 0x1B;
    run.startTime = 1041379200;
    run.duration = 1200;
    run.interval = 86400;
    run.repetitions = 7;
    run.amplitudeMv = -2500;
    run.frequencyTenths = 15;
    run.amplitudeTenthMv = -25000;
    run.frequencyThousandths = 1500;
    run.dampingDisable = 0x21;
    run.controlMode = 1;
    ASSERT_EQ(pc.Transact(0x8C, CommandRecord{0, run}, answer), 1);
    ASSERT_EQ(pc.Transact(0xB3, Byte(5), answer), 1);
    const auto& s = std::get<link::CalibrationSettings>(answer.decoded);
    EXPECT_EQ(s.signalCode, 0x84);
    EXPECT_EQ(s.runIndex, 5);
    EXPECT_NE(s.active, 0);
    EXPECT_EQ(s.channelModeWord, 0x1Bu);
    EXPECT_EQ(s.startTime, 1041379200u);
    EXPECT_EQ(s.duration, 1200);
    EXPECT_EQ(s.interval, 86400u);
    EXPECT_EQ(s.repetitions, 7);
    EXPECT_EQ(s.amplitudeMv, -2500);
    EXPECT_EQ(s.frequencyTenths, 15);
    EXPECT_EQ(s.amplitudeTenthMv, -25000);
    EXPECT_EQ(s.frequencyThousandths, 1500u);
    EXPECT_EQ(s.dampingDisable, 0x21);
    EXPECT_EQ(s.controlMode, 1);
    ASSERT_EQ(pc.Transact(0x8D, Byte(5), answer), 1);
    ASSERT_EQ(pc.Transact(0xB3, Byte(5), answer), 1);
    EXPECT_EQ(std::get<link::CalibrationSettings>(answer.decoded).active, 0);
    // Run index 32 does not exist.
    EXPECT_EQ(pc.Transact(0xB3, Byte(32), answer), -1);
    EXPECT_EQ(answer.payload.size(), 36u) << "a refused 'S' keeps the format's length";
    EXPECT_TRUE(pc.Link().LongCalibrationAnswer());
}

TEST(SimLink, DampingOfModel3) {
    SimProcess sim({"--model", "3"});
    PcSide pc(sim.Link());
    FrameRecord answer;
    link::DampingCommand both{0xA5, {1, 2, 3, 4, 5, 6, 7, 127}};
    ASSERT_EQ(pc.Transact(0x9B, CommandRecord{0, both}, answer), 1);
    EXPECT_EQ(answer.type, 0x3B);
    ASSERT_EQ(pc.Transact(0x98, Byte(0x0F), answer), 1);
    link::DampingValuesCommand values{{10, 20, 30, 40, 50, 60, 70, 80}};
    ASSERT_EQ(pc.Transact(0x97, CommandRecord{0, values}, answer), 1);
    values.scale[3] = 128;
    EXPECT_EQ(pc.Transact(0x97, CommandRecord{0, values}, answer), -1);
    ASSERT_EQ(pc.Transact(0xBB, Plain(), answer), 1);
    const auto& d = std::get<link::DampingSettings>(answer.decoded);
    EXPECT_EQ(d.enableMask, 0x0F);
    EXPECT_EQ(d.scale, (std::array<std::uint16_t, 8>{10, 20, 30, 40, 50, 60, 70, 80}));
}

void WriteFile(const std::filesystem::path& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < size; ++i)
        out.put(static_cast<char>((i * 7 + i / 256) & 0xFF));
}

TEST(SimLink, ListingOfTwentyEntriesArrivesInThreeFrames) {
    char pattern[] = "/tmp/nereid-sim-drive-XXXXXX";
    const std::filesystem::path drive = ::mkdtemp(pattern);
    for (int i = 0; i < 19; ++i)
        WriteFile(drive / ("D1234" + std::to_string(100 + i) + ".093"),
                  10 + static_cast<std::size_t>(i));
    std::filesystem::create_directory(drive / "DAY093");
    WriteFile(drive / "not-a-dos-name.txt", 5); // stays invisible
    SimProcess sim({"--drive", "A=" + drive.string()});
    PcSide pc(sim.Link());
    std::vector<FrameRecord> frames;
    ASSERT_EQ(pc.Upload(0xB8, CommandRecord{0, link::TextCommand{"A:\\*.*"}}, frames), 1);
    ASSERT_EQ(frames.size(), 3u);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto& l = std::get<link::DirectoryListing>(frames[i].decoded);
        EXPECT_EQ(frames[i].status, i < 2 ? 2 : 1);
        EXPECT_EQ(l.sequence, i + 1);
        EXPECT_EQ(frames[i].payload.size(), 189u);
        for (const auto& e : l.entries) {
            if (e.valid != 1)
                break;
            std::string base(e.baseName.data(), 9);
            base = base.substr(0, base.find(' '));
            names.push_back(base + (e.attributes == 0x10 ? "/" : ""));
            if (e.attributes == 0x20) {
                EXPECT_EQ(e.size, 10 + std::stoul(base.substr(5)) - 100);
            }
        }
    }
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names.front(), "DAY093/");
    EXPECT_EQ(names[1], "D1234100");
    EXPECT_EQ(names.back(), "D1234118");
    // A path outside the drive is refused with state 0.
    frames.clear();
    EXPECT_EQ(pc.Upload(0xB8, CommandRecord{0, link::TextCommand{"A:\\..\\*.*"}}, frames), -1);
    std::filesystem::remove_all(drive);
}

TEST(SimLink, FileOf1500BytesArrivesAs600And600And300) {
    char pattern[] = "/tmp/nereid-sim-drive-XXXXXX";
    const std::filesystem::path drive = ::mkdtemp(pattern);
    std::filesystem::create_directory(drive / "DAY093");
    WriteFile(drive / "DAY093" / "D1234001.093", 1500);
    SimProcess sim({"--drive", "C=" + drive.string()});
    PcSide pc(sim.Link());
    std::vector<FrameRecord> frames;
    ASSERT_EQ(pc.Upload(0xB9,
                        CommandRecord{0, link::FileReadCommand{600, "C:\\day093\\D1234001.093"}},
                        frames),
              1);
    ASSERT_EQ(frames.size(), 3u);
    std::vector<std::uint8_t> data;
    const std::size_t sizes[] = {600, 600, 300};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& f = std::get<link::FileData>(frames[i].decoded);
        EXPECT_EQ(f.sequence, i + 1);
        EXPECT_EQ(f.dataLength, sizes[i]);
        EXPECT_EQ(frames[i].status, i < 2 ? 2 : 1);
        data.insert(data.end(), f.data.begin(), f.data.begin() + f.dataLength);
    }
    for (std::size_t i = 0; i < data.size(); ++i)
        ASSERT_EQ(data[i], static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF)) << i;

    // Delete it; a second delete and a read of it are refused.
    FrameRecord answer;
    const link::TextCommand path{"C:\\DAY093\\D1234001.093"};
    ASSERT_EQ(pc.Transact(0x92, CommandRecord{0, path}, answer), 1);
    EXPECT_FALSE(std::filesystem::exists(drive / "DAY093" / "D1234001.093"));
    EXPECT_EQ(pc.Transact(0x92, CommandRecord{0, path}, answer), -1);
    frames.clear();
    EXPECT_EQ(pc.Upload(0xB9, CommandRecord{0, link::FileReadCommand{600, path.text}}, frames), -1);
    std::filesystem::remove_all(drive);
}

TEST(SimLink, RepeatedFrameAfterNakIsTheSameFrame) {
    char pattern[] = "/tmp/nereid-sim-drive-XXXXXX";
    const std::filesystem::path drive = ::mkdtemp(pattern);
    WriteFile(drive / "D1234001.093", 1300);
    SimProcess sim({"--drive", "A=" + drive.string()});
    PcSide pc(sim.Link());
    pc.Link().SetTransactionWaiting(true);
    ASSERT_EQ(pc.Link().SendCommand(
                  0xB9, CommandRecord{0, link::FileReadCommand{600, "A:\\D1234001.093"}}),
              1);
    FrameRecord first;
    ASSERT_EQ(pc.Await('Y', first, std::chrono::milliseconds(3000)), 1);
    pc.Link().SendNak(); // as if the sequence number had been wrong
    FrameRecord again;
    ASSERT_EQ(pc.Await('Y', again, std::chrono::milliseconds(3000)), 1);
    EXPECT_EQ(again.payload, first.payload);
    pc.Link().SendAck();
    FrameRecord second;
    ASSERT_EQ(pc.Await('Y', second, std::chrono::milliseconds(3000)), 1);
    EXPECT_EQ(std::get<link::FileData>(second.decoded).sequence, 2);
    std::filesystem::remove_all(drive);
}

TEST(SimLink, CorruptedAnswersArriveIntactThroughNakAndResend) {
    char pattern[] = "/tmp/nereid-sim-drive-XXXXXX";
    const std::filesystem::path drive = ::mkdtemp(pattern);
    WriteFile(drive / "D1234001.093", 5000);
    for (int i = 0; i < 11; ++i)
        WriteFile(drive / ("E1234" + std::to_string(100 + i)), 1);
    std::vector<FrameRecord> clean;
    std::vector<std::vector<std::uint8_t>> cleanUpload;
    for (const char* corrupt : {"0", "0.2"}) {
        SimProcess sim({"--drive", "A=" + drive.string(), "--corrupt", corrupt, "--seed", "7"});
        PcSide pc(sim.Link());
        std::vector<FrameRecord> got;
        for (int round = 0; round < 8; ++round) {
            for (std::uint8_t code : {0xB0, 0xB2, 0xB5, 0xB7}) {
                FrameRecord answer;
                ASSERT_EQ(pc.Transact(code, Plain(), answer), 1) << int(code);
                got.push_back(answer);
            }
        }
        std::vector<std::vector<std::uint8_t>> upload;
        for (int round = 0; round < 3; ++round) {
            std::vector<FrameRecord> frames;
            ASSERT_EQ(pc.Upload(0xB9,
                                CommandRecord{0, link::FileReadCommand{600, "A:\\D1234001.093"}},
                                frames),
                      1);
            ASSERT_EQ(pc.Upload(0xB8, CommandRecord{0, link::TextCommand{"A:\\*.*"}}, frames), 1);
            for (const auto& f : frames)
                upload.push_back(f.payload);
        }
        if (clean.empty()) {
            clean = got;
            cleanUpload = upload;
            continue;
        }
        ASSERT_EQ(got.size(), clean.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].payload, clean[i].payload) << i;
        EXPECT_EQ(upload, cleanUpload);
    }
    std::filesystem::remove_all(drive);
}

} // namespace
} // namespace nereid::sim::test
