#include "link/answer_records.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace nereid::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Payload whose byte i is (i + seed) & 0xFF, so every field reads a value tied to its offset.
Bytes Ramp(std::size_t length, std::uint8_t seed = 0) {
    Bytes p(length);
    for (std::size_t i = 0; i < length; ++i) {
        p[i] = static_cast<std::uint8_t>(i + seed);
    }
    return p;
}

template <typename T> const T& Decoded(const Bytes& payload, std::uint8_t type, FrameRecord& r) {
    EXPECT_EQ(DecodeAnswer(type, payload.data(), payload.size(), r), 1);
    EXPECT_TRUE(std::holds_alternative<T>(r.decoded));
    static T empty{};
    return std::holds_alternative<T>(r.decoded) ? std::get<T>(r.decoded) : empty;
}

TEST(AnswerRecordsTest, DecodableTypes) {
    for (int t = 0; t < 256; ++t) {
        const bool expected = (t >= 0x20 && t <= 0x4F) || t == 'P' || t == 'Q' || t == 'R' ||
                              t == 'S' || t == 'T' || t == 'U' || t == 'W' || t == 'X' ||
                              t == 'Y' || t == '[';
        EXPECT_EQ(IsDecodableAnswerType(static_cast<std::uint8_t>(t)), expected) << t;
    }
    FrameRecord r;
    const Bytes p(40, 1);
    EXPECT_EQ(DecodeAnswer(0x56, p.data(), p.size(), r), 0);
    EXPECT_EQ(DecodeAnswer(0x05, p.data(), p.size(), r), 0);
}

TEST(AnswerRecordsTest, PlainAckAndHeaderStatus) {
    FrameRecord r;
    const auto& ack = Decoded<PlainAck>(Bytes{0x34, 0x12, 0x01}, 0x29, r);
    EXPECT_EQ(ack.bytes, (std::array<std::uint8_t, 3>{0x34, 0x12, 0x01}));
    EXPECT_EQ(r.header, 0x1234);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.type, 0x29);
}

TEST(AnswerRecordsTest, HardwareStatus) {
    Bytes p = Ramp(32);
    p[0] = 0x39;
    p[1] = 0x30; // serial number 12345
    p[22] = 17;
    p[30] = 2;
    p[31] = 5;
    FrameRecord r;
    const auto& h = Decoded<HardwareStatus>(p, 'P', r);
    EXPECT_EQ(r.header, 12345);
    EXPECT_EQ(h.dspFound, 3);
    EXPECT_EQ(h.pcCardSlot1, 6);
    EXPECT_EQ(h.adc0Found, 11);
    EXPECT_EQ(h.adc1PbFound, 14);
    EXPECT_EQ(h.modemInternal, 21);
    EXPECT_EQ(h.modelCode, 17);
    EXPECT_EQ(h.unused[0], 23);
    EXPECT_EQ(h.unused[6], 29);
    EXPECT_EQ(h.softwareMajor, 2);
    EXPECT_EQ(h.softwareMinor, 5);
}

TEST(AnswerRecordsTest, StateOfHealthWords) {
    FrameRecord r;
    const auto& s = Decoded<StateOfHealth>(Ramp(35), 'Q', r);
    EXPECT_EQ(s.words[0], 0x0403);
    EXPECT_EQ(s.words[15], 0x2221);
}

TEST(AnswerRecordsTest, ConfigurationIsTheCommandLayoutShiftedByOne) {
    Bytes p(153, 0);
    p[2] = 1;
    p[3] = 0x02; // port word 0 at 3..4
    p[4] = 0x01;
    p[13] = 0xFF; // enable mask at 13..14
    p[14] = 0x00;
    p[15] = 40; // channel 1 rate code at 15
    p[30] = 33; // channel 16 at 30
    p[31] = 2;  // sync mode
    p[32] = 0x78;
    p[33] = 0x56;
    p[34] = 0x34;
    p[35] = 0x12; // GPS cycle
    p[40] = 0xE7;
    p[41] = 0x03; // jam-set 999
    p[46] = 3;    // SOH enables
    p[57] = 0xAA;
    p[58] = 0x55; // auth generation mask
    p[59] = 0x3F; // channel word 0
    p[69] = 2;    // trigger 1 mode
    p[70] = 29;   // high-pass 0.29 Hz
    p[152] = 1;   // trigger 6 updating LTA
    FrameRecord r;
    const auto& c = Decoded<ConfigurationRecord>(p, 'R', r);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(c.portWords[0], 0x0102);
    EXPECT_EQ(c.channelEnableMask, 0x00FF);
    EXPECT_EQ(c.rateCodes[0], 40);
    EXPECT_EQ(c.rateCodes[15], 33);
    EXPECT_EQ(c.syncMode, 2);
    EXPECT_EQ(c.gpsCycleTime, 0x12345678u);
    EXPECT_EQ(c.jamSetThreshold, 999);
    EXPECT_EQ(c.sohFrameEnables, 3);
    EXPECT_EQ(c.authGenerationMask, 0x55AA);
    EXPECT_EQ(c.channelWords[0], 0x003F);
    EXPECT_EQ(c.triggers[0].mode, 2);
    EXPECT_EQ(c.triggers[0].highPassCorner, 29);
    EXPECT_EQ(c.triggers[5].updatingLta, 1);
    EXPECT_EQ(c.triggers[5].detriggerRatio, 0);
}

TEST(AnswerRecordsTest, CalibrationSettingsAllForms) {
    Bytes p = Ramp(36, 0x10);
    p[22] = 0x24;
    p[23] = 0xFA; // -1500 mV
    FrameRecord r;
    const auto& s = Decoded<CalibrationSettings>(p, 'S', r);
    EXPECT_EQ(s.signalCode, 0x13);
    EXPECT_EQ(s.runIndex, 0x14);
    EXPECT_EQ(s.active, 0x15);
    EXPECT_EQ(s.channelModeWord, 0x19181716u);
    EXPECT_EQ(s.startTime, 0x1D1C1B1Au);
    EXPECT_EQ(s.duration, 0x1F1E);
    EXPECT_EQ(s.interval, 0x23222120u);
    EXPECT_EQ(s.repetitions, 0x2524);
    EXPECT_EQ(s.amplitudeMv, -1500);
    EXPECT_EQ(s.frequencyTenths, 0x2928);
    EXPECT_EQ(s.frequencyThousandths, 0x31302F2Eu);
    EXPECT_EQ(s.dampingDisable, 0x32);
    EXPECT_EQ(s.controlMode, 0x33);
    // The 26-byte form has no extended fields: they read as 0, nothing beyond is read.
    const Bytes shortForm(p.begin(), p.begin() + 26);
    const auto& t = Decoded<CalibrationSettings>(shortForm, 'S', r);
    EXPECT_EQ(t.frequencyTenths, 0x2928);
    EXPECT_EQ(t.amplitudeTenthMv, 0);
    EXPECT_EQ(t.controlMode, 0);
}

TEST(AnswerRecordsTest, GpsInformationSignedFields) {
    Bytes p(40, 0);
    p[3] = 2;
    p[4] = 1;
    p[5] = 0xFE;
    p[6] = 0xFF;
    p[7] = 0xFF;
    p[8] = 0xFF; // difference -2
    p[13] = 3;
    p[21] = 0xD3;
    p[22] = 0xFF; // latitude -45
    p[23] = 0x39;
    p[24] = 0x30; // fraction 12345
    p[27] = 0x7A;
    p[28] = 0x00; // longitude 122
    p[37] = 0xFF;
    p[39] = 9;
    FrameRecord r;
    const auto& g = Decoded<GpsInformation>(p, 'T', r);
    EXPECT_EQ(g.syncMode, 2);
    EXPECT_EQ(g.clockStatus, 1);
    EXPECT_EQ(g.difference, -2);
    EXPECT_EQ(g.source, 3);
    EXPECT_EQ(g.latitudeDegrees, -45);
    EXPECT_EQ(g.latitudeFraction, 12345);
    EXPECT_EQ(g.longitudeDegrees, 122);
    EXPECT_EQ(g.utcOffset, 0xFF);
    EXPECT_EQ(g.usableSv, 9);
}

TEST(AnswerRecordsTest, InternalRecordingStationNameAndWindows) {
    Bytes p(474, 0);
    p[2] = 1;
    p[3] = 2; // continuous start mode (command offset 2)
    p[19] = 0x3F;
    p[20] = 0x3F; // continuous channels (command 18..19)
    p[33] = 0x9D;
    p[34] = 0xFF;                // total votes -99 (command 32..33)
    p[57] = 1;                   // window 1 enabled (command 56)
    p[57 + 15 * 24 + 22] = 0x15; // window 16 channel bits
    p[441] = 4;                  // window drive (command 440)
    p[462] = 99;                 // SOH interval 10 (command 461)
    p[469] = 2;                  // status drive (command 468)
    p[470] = 'N';
    p[471] = 'R';
    p[472] = 'D';
    p[473] = '1';
    FrameRecord r;
    const auto& s = Decoded<InternalRecordingRecord>(p, 'U', r);
    EXPECT_EQ(s.continuousStartMode, 2);
    EXPECT_EQ(s.continuousChannels, 0x3F3F);
    EXPECT_EQ(s.totalVotes, -99);
    EXPECT_EQ(s.windows[0].enabled, 1);
    EXPECT_EQ(s.windows[15].channelBits, 0x0015);
    EXPECT_EQ(s.windowDrive, 4);
    EXPECT_EQ(s.sohIntervals[9], 99);
    EXPECT_EQ(s.statusDrive, 2);
    EXPECT_EQ(std::string(s.stationName.begin(), s.stationName.end()), "NRD1");
}

TEST(AnswerRecordsTest, DriveStatusRecords) {
    Bytes p(123, 0);
    p[2] = 1;
    const std::size_t d4 = 3 + 24 * 4;
    p[d4] = 1;
    p[d4 + 1] = 3;
    p[d4 + 2] = 'V';
    p[d4 + 13] = 'Z';
    p[d4 + 14] = 0xFF;
    p[d4 + 15] = 0x00;
    p[d4 + 16] = 0x2B;
    p[d4 + 17] = 0x1A;
    p[d4 + 18] = 0x40;
    p[d4 + 19] = 0x42;
    p[d4 + 20] = 0x0F;
    FrameRecord r;
    const auto& d = Decoded<DriveStatus>(p, 'W', r);
    EXPECT_EQ(d.drives[0].installed, 0);
    EXPECT_EQ(d.drives[4].installed, 1);
    EXPECT_EQ(d.drives[4].driveType, 3);
    EXPECT_EQ(d.drives[4].volumeLabel[0], 'V');
    EXPECT_EQ(d.drives[4].volumeLabel[11], 'Z');
    EXPECT_EQ(d.drives[4].serialNumber, 0x1A2B00FFu);
    EXPECT_EQ(d.drives[4].freeSpace, 1000000u);
}

TEST(AnswerRecordsTest, DirectoryListingEntries) {
    Bytes p(189, 0);
    p[2] = 2;
    p[3] = 7;
    const std::size_t e7 = 5 + 23 * 7;
    p[e7] = 1;
    for (std::size_t i = 0; i < 9; ++i) {
        p[e7 + 1 + i] = static_cast<std::uint8_t>("EVENT001 "[i]);
    }
    p[e7 + 10] = 'D';
    p[e7 + 11] = 'A';
    p[e7 + 12] = 'T';
    p[e7 + 13] = ' ';
    p[e7 + 14] = 0x20;
    p[e7 + 15] = 0x21;
    p[e7 + 16] = 0x60; // 12:01:02
    p[e7 + 17] = 0x87;
    p[e7 + 18] = 0x4F; // 2019-12-07
    p[e7 + 19] = 0x00;
    p[e7 + 20] = 0x10;
    p[e7 + 21] = 0x00;
    p[e7 + 22] = 0x01;
    FrameRecord r;
    const auto& l = Decoded<DirectoryListing>(p, 'X', r);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(l.sequence, 7);
    EXPECT_EQ(l.entries[7].valid, 1);
    EXPECT_EQ(std::string(l.entries[7].baseName.begin(), l.entries[7].baseName.end()), "EVENT001 ");
    EXPECT_EQ(l.entries[7].extension[2], 'T');
    EXPECT_EQ(l.entries[7].attributes, 0x20);
    EXPECT_EQ(l.entries[7].dosTime, 0x6021);
    EXPECT_EQ(l.entries[7].dosDate, 0x4F87);
    EXPECT_EQ(l.entries[7].size, 0x01001000u);
}

TEST(AnswerRecordsTest, FileDataNeverCopiesMoreThanReceivedOrRoom) {
    FrameRecord r;
    // N = 600 as announced and received.
    Bytes p(7 + 600, 0xAB);
    p[2] = 2;
    p[3] = 1;
    p[4] = 0;
    p[5] = 0x58;
    p[6] = 0x02;
    const auto& a = Decoded<FileData>(p, 'Y', r);
    EXPECT_EQ(a.sequence, 1);
    EXPECT_EQ(a.announcedLength, 600);
    EXPECT_EQ(a.dataLength, 600);
    EXPECT_EQ(a.data[599], 0xAB);
    EXPECT_EQ(a.data[600], 0);

    // N announced larger than what came: only the 10 bytes received.
    Bytes q(7 + 10, 0xCD);
    q[2] = 1;
    q[5] = 0xFF;
    q[6] = 0xFF;
    const auto& b = Decoded<FileData>(q, 'Y', r);
    EXPECT_EQ(b.announcedLength, 0xFFFF);
    EXPECT_EQ(b.dataLength, 10);
    EXPECT_EQ(b.data[9], 0xCD);
    EXPECT_EQ(b.data[10], 0); // nothing of the previous block is left behind

    // More than the record's room received and announced: 1024 bytes.
    Bytes big(7 + 1500, 0xEE);
    big[2] = 2;
    big[5] = 0xDC;
    big[6] = 0x05; // 1500
    const auto& c = Decoded<FileData>(big, 'Y', r);
    EXPECT_EQ(c.dataLength, kFileDataRoom);
    EXPECT_EQ(c.data[1023], 0xEE);

    // Shorter than the 7-byte head.
    const Bytes tiny{0, 0, 1, 1};
    const auto& d = Decoded<FileData>(tiny, 'Y', r);
    EXPECT_EQ(d.sequence, 1);
    EXPECT_EQ(d.dataLength, 0);
}

TEST(AnswerRecordsTest, DampingSettings) {
    Bytes p(20, 0);
    p[2] = 1;
    p[3] = 0x81;
    p[4] = 127;
    p[18] = 0x01;
    p[19] = 0x02;
    FrameRecord r;
    const auto& d = Decoded<DampingSettings>(p, '[', r);
    EXPECT_EQ(d.enableMask, 0x81);
    EXPECT_EQ(d.scale[0], 127);
    EXPECT_EQ(d.scale[7], 0x0201);
}

TEST(AnswerRecordsTest, ShortPayloadsOfEveryTypeReadAsZeros) {
    // Every decoder on every truncation of a full ramp: no read beyond the payload (the
    // sanitizer build checks), and a field past the end is 0.
    for (std::uint8_t type :
         {std::uint8_t{0x20}, std::uint8_t{'P'}, std::uint8_t{'Q'}, std::uint8_t{'R'},
          std::uint8_t{'S'}, std::uint8_t{'T'}, std::uint8_t{'U'}, std::uint8_t{'W'},
          std::uint8_t{'X'}, std::uint8_t{'Y'}, std::uint8_t{'['}}) {
        for (std::size_t length = 0; length <= 480; length += (length < 40 ? 1 : 37)) {
            std::vector<std::uint8_t> exact(Ramp(length, 1));
            FrameRecord r;
            ASSERT_EQ(DecodeAnswer(type, exact.data(), exact.size(), r), 1);
            if (length < 3) {
                EXPECT_EQ(r.status, 0);
            }
        }
    }
    FrameRecord r;
    const Bytes two{0x05, 0x01};
    const auto& h = Decoded<HardwareStatus>(two, 'P', r);
    EXPECT_EQ(r.header, 0x0105);
    EXPECT_EQ(h.modelCode, 0);
}

} // namespace
} // namespace nereid::link
