// Status page models: every value text as the pages show it, from answer records worked out
// by hand.

#include <gtest/gtest.h>

#include "instrument/status/model/drive_status_model.h"
#include "instrument/status/model/status_models.h"

using namespace nereid;
using namespace nereid::instrument;

namespace {

link::DriveRecord Drive(std::uint8_t installed, std::uint8_t type, const char* label,
                        std::uint32_t serial, std::uint32_t freeBytes) {
    link::DriveRecord r;
    r.installed = installed;
    r.driveType = type;
    for (std::size_t i = 0; i < r.volumeLabel.size() && label[i] != '\0'; ++i)
        r.volumeLabel[i] = label[i];
    r.serialNumber = serial;
    r.freeSpace = freeBytes;
    return r;
}

link::FrameRecord DriveAnswer(const link::DriveStatus& status) {
    link::FrameRecord f;
    f.type = link::kDriveStatusType;
    f.status = 1;
    f.decoded = status;
    return f;
}

} // namespace

TEST(DriveStatusModel, RowsShowTypeLabelSerialAndFreeKilobytes) {
    link::DriveStatus status;
    status.drives[0] = Drive(1, 0, "FIELD01", 439025919u, 255999999u);
    status.drives[1] = Drive(1, 3, "SCSI_DISK_LONG", 0xFFFF0000u, 999u);
    CDriveStatusModel model;
    ASSERT_EQ(model.ShowAnswer(DriveAnswer(status)), 1);
    const DriveRow& a = model.Rows()[0];
    EXPECT_TRUE(a.installed);
    EXPECT_EQ(a.type, "PC Card RAM");
    EXPECT_EQ(a.label, "FIELD01");
    EXPECT_EQ(a.serial, "1A2B-00FF");
    EXPECT_EQ(a.freeSpace, "255999"); // unsigned division by 1000, no rounding
    const DriveRow& b = model.Rows()[1];
    EXPECT_EQ(b.type, "SCSI");
    EXPECT_EQ(b.label, "SCSI_DISK_LO"); // a label without NUL stops at 12 characters
    EXPECT_EQ(b.serial, "FFFF-0000");
    EXPECT_EQ(b.freeSpace, "0");
}

TEST(DriveStatusModel, InstalledOtherThanOneClearsTheRow) {
    link::DriveStatus status;
    status.drives[2] = Drive(1, 2, "C", 0x12345678u, 5000u);
    CDriveStatusModel model;
    model.Show(status);
    EXPECT_EQ(model.Rows()[2].type, "PC Card ATA");
    status.drives[2].installed = 2; // not 1: shown as not installed
    model.Show(status);
    const DriveRow& c = model.Rows()[2];
    EXPECT_FALSE(c.installed);
    EXPECT_EQ(c.type, "");
    EXPECT_EQ(c.label, "");
    EXPECT_EQ(c.serial, "");
    EXPECT_EQ(c.freeSpace, "0");
}

TEST(DriveStatusModel, TypeFourAndAboveKeepsThePreviousText) {
    link::DriveStatus status;
    status.drives[3] = Drive(1, 1, "X", 1, 1000);
    CDriveStatusModel model;
    model.Show(status);
    EXPECT_EQ(model.Rows()[3].type, "PC Card ATA Flash");
    for (std::uint8_t type : {4, 7, 255}) {
        status.drives[3].driveType = type;
        model.Show(status);
        EXPECT_EQ(model.Rows()[3].type, "PC Card ATA Flash") << int(type);
    }
    // A fresh page has nothing to keep.
    CDriveStatusModel fresh;
    fresh.Show(status);
    EXPECT_EQ(fresh.Rows()[3].type, "");
    EXPECT_TRUE(fresh.Rows()[3].installed);
}

TEST(DriveStatusModel, FieldsBeforeTheFirstAnswerAreEmptyAndOtherAnswersAreIgnored) {
    CDriveStatusModel model;
    const auto fields = model.Fields();
    ASSERT_EQ(fields.size(), 25u);
    EXPECT_EQ(fields[0].label, "A Installed");
    EXPECT_EQ(fields[4].label, "A Free Space       (kB)");
    EXPECT_EQ(fields[4].text, "");
    EXPECT_EQ(fields[24].label, "E Free Space       (kB)");
    link::FrameRecord other;
    other.type = link::kStateOfHealthType;
    other.decoded = link::StateOfHealth{};
    EXPECT_EQ(model.ShowAnswer(other), 0);
    EXPECT_EQ(model.Fields()[4].text, "");
}

// ---- State of health -------------------------------------------------------------------

namespace {

std::string Health(int word, std::uint16_t value, int model = 17) {
    return HealthText(word, value, model);
}

} // namespace

TEST(StateOfHealthModel, TwelveBitCountsScaledAndFormatted) {
    EXPECT_EQ(Health(6, 0xF123), "0.533"); // only the low 12 bits: 291 counts
    EXPECT_EQ(Health(0, 0), "10.000");
    EXPECT_EQ(Health(0, 4095), "-10.000"); // -9.99998 rounded by the format
    EXPECT_EQ(Health(0, 0xF000), "10.000");
    EXPECT_EQ(Health(1, 0), "-50.000");
    EXPECT_EQ(Health(1, 4095), "75.000"); // 74.999875
    EXPECT_EQ(Health(2, 1946), "11.999");
    EXPECT_EQ(Health(3, 2457), "-15.000");
    EXPECT_EQ(Health(5, 2729), "-5.000"); // -4.999528
    EXPECT_EQ(Health(9, 51), "25.500");
}

TEST(StateOfHealthModel, ModelThreeScalesTheExternalSupplyAndReadsTheCase) {
    EXPECT_EQ(Health(7, 2000, 17), "12.332"); // 2000 x 6.166 / 1000
    EXPECT_EQ(Health(7, 2000, 3), "14.710");  // 2000 x 7.355 / 1000
    EXPECT_EQ(Health(10, 1, 17), "N/A");
    EXPECT_EQ(Health(10, 1, 3), "CLOSED");
    EXPECT_EQ(Health(10, 0, 3), "Open");
    // The switch reads the low byte only: a high byte alone is "Open".
    EXPECT_EQ(Health(10, 0x0100, 3), "Open");
    EXPECT_EQ(Health(8, 0x0100), "Open");
    EXPECT_EQ(Health(8, 0x0001), "CLOSED");
    for (int k = 11; k < 16; ++k)
        EXPECT_EQ(Health(k, 1234), "N/A") << k;
}

TEST(StateOfHealthModel, EmptyBeforeTheFirstAnswerExceptTheUndecodedWords) {
    CStateOfHealthModel model;
    model.SetModelCode(3);
    auto fields = model.Fields();
    ASSERT_EQ(fields.size(), 16u);
    EXPECT_EQ(fields[0].label, "Spare");
    EXPECT_EQ(fields[0].text, "");
    EXPECT_EQ(fields[10].text, "");
    EXPECT_EQ(fields[11].label, "SOH 11");
    EXPECT_EQ(fields[11].text, "N/A");

    link::FrameRecord answer;
    answer.type = link::kStateOfHealthType;
    link::StateOfHealth words;
    words.words[6] = 0xF123;
    words.words[7] = 2000;
    words.words[10] = 1;
    answer.decoded = words;
    ASSERT_EQ(model.ShowAnswer(answer), 1);
    fields = model.Fields();
    EXPECT_EQ(fields[6].text, "0.533");
    EXPECT_EQ(fields[6].kind, PageField::kNumber);
    EXPECT_EQ(fields[7].text, "14.710");
    EXPECT_EQ(fields[8].text, "Open");
    EXPECT_EQ(fields[8].kind, PageField::kText);
    EXPECT_EQ(fields[10].text, "CLOSED");
}

// ---- GPS -------------------------------------------------------------------------------

TEST(GpsModel, CoordinatesInSinglePrecisionWithSignRule) {
    EXPECT_EQ(CoordinateText(-33, -51234), "-33.512341");
    EXPECT_EQ(CoordinateText(12, 34567), "+12.345670");
    EXPECT_EQ(CoordinateText(0, 0), "0.000000");
    EXPECT_EQ(CoordinateText(0, -1), "-0.000010");
}

namespace {

link::GpsInformation FullFix() {
    link::GpsInformation g;
    g.syncMode = 2;
    g.clockStatus = 1;
    g.difference = -7;
    g.extInput = 1;
    g.power = 1;
    g.lock = 0;
    g.error = 3;
    g.source = 6;
    g.age = 2;
    g.altitude = -120;
    g.verticalVelocity = -4;
    g.latitudeDegrees = -33;
    g.latitudeFraction = -51234;
    g.longitudeDegrees = 12;
    g.longitudeFraction = 34567;
    g.speed = 5;
    g.heading = 270;
    g.utcOffset = 18;
    g.utcValid = 1;
    g.usableSv = 9;
    return g;
}

} // namespace

TEST(GpsModel, SyncModeTwoShowsBothGroups) {
    CGpsModel model;
    model.Show(FullFix());
    const auto& t = model.Texts();
    const std::array<std::string, CGpsModel::kFields> expected = {
        "GPS",  "Locked", "-7",         "Present",    "ON", "Unlocked", "3",  "DR",    "New",
        "-120", "-4",     "-33.512341", "+12.345670", "5",  "270",      "18", "Valid", "9"};
    EXPECT_EQ(t, expected);
}

TEST(GpsModel, OtherSyncModesEmptyEveryGpsField) {
    CGpsModel model;
    model.Show(FullFix());
    link::GpsInformation g = FullFix();
    g.syncMode = 1;
    model.Show(g);
    const auto& t = model.Texts();
    EXPECT_EQ(t[0], "Ext1pps");
    EXPECT_EQ(t[1], "Locked");
    EXPECT_EQ(t[2], "-7");
    EXPECT_EQ(t[3], "Present");
    for (int k = 4; k < CGpsModel::kFields; ++k)
        EXPECT_EQ(t[static_cast<std::size_t>(k)], "") << CGpsModel::kLabels[k];
    g.syncMode = 7; // outside the table: empty, and no GPS group either
    model.Show(g);
    EXPECT_EQ(model.Texts()[0], "");
    EXPECT_EQ(model.Texts()[11], "");
}

TEST(GpsModel, CodesOutsideTheTablesShowEmpty) {
    link::GpsInformation g = FullFix();
    g.clockStatus = 2;
    g.extInput = 9;
    g.power = 2;
    g.source = 4;
    g.age = 3;
    g.utcValid = 2;
    CGpsModel model;
    model.Show(g);
    const auto& t = model.Texts();
    for (int k : {1, 3, 4, 7, 16})
        EXPECT_EQ(t[static_cast<std::size_t>(k)], "") << CGpsModel::kLabels[k];
    g.source = 9;
    model.Show(g);
    EXPECT_EQ(model.Texts()[7], "Unknown");
}

// ---- Hardware --------------------------------------------------------------------------

TEST(HardwareModel, FlagsModelNameAndVersion) {
    link::HardwareStatus s;
    s.dspFound = 1;
    s.expansionEnabled = 2; // "= 1" flags: 2 is NO
    s.pcCardSlot1 = 2;      // "≠ 0" flags: 2 is YES
    s.adc0Found = 7;
    s.modelCode = 4;
    s.softwareMajor = 2;
    s.softwareMinor = 5;
    CHardwareModel model;
    EXPECT_EQ(model.Fields()[0].text, "");
    model.Show(1234, s);
    const auto f = model.Fields();
    ASSERT_EQ(f.size(), 22u);
    EXPECT_EQ(f[0].label, "Serial Number.....:");
    EXPECT_EQ(f[0].text, "1234");
    EXPECT_EQ(f[1].text, "YES");
    EXPECT_EQ(f[2].text, "NO");
    EXPECT_EQ(f[4].text, "YES");
    EXPECT_EQ(f[5].text, "NO");
    EXPECT_EQ(f[9].text, "YES");
    EXPECT_EQ(f[20].label, "Nereid Type");
    EXPECT_EQ(f[20].text, "Unknown");
    EXPECT_EQ(f[21].text, "02.05");
    EXPECT_EQ(TrimmedLabel(f[0].label), "Serial Number");
    EXPECT_EQ(TrimmedLabel("Free Space       (kB)"), "Free Space       (kB)");
    EXPECT_EQ(TrimmedLabel(f[15].label), "Modem On Local S.P.");
    EXPECT_EQ(TrimmedLabel("Drive .. : "), "Drive");
}

TEST(HardwareModel, ModelNames) {
    const std::pair<int, const char*> known[] = {
        {0, "Quill"},   {1, "Tellus"}, {2, "Corvid"},  {3, "Lumen"},   {16, "Pallas"},
        {17, "Merlin"}, {32, "Wren"},  {33, "Osprey"}, {4, "Unknown"}, {255, "Unknown"}};
    for (const auto& [code, name] : known)
        EXPECT_STREQ(ModelName(code), name) << code;
}

TEST(StatusRouting, AnswersGoToThePageOfTheCodeSent) {
    EXPECT_EQ(StatusPageForCode(0xB0), kHardwarePage);
    EXPECT_EQ(StatusPageForCode(0xB1), kStateOfHealthPage);
    EXPECT_EQ(StatusPageForCode(0xB7), kDriveStatusPage);
    EXPECT_EQ(StatusPageForCode(0xB4), kGpsPage);
    EXPECT_EQ(StatusPageForCode(0x85), kGpsPage);
}
