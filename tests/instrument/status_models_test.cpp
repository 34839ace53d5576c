// Status page models: every value text as the pages show it, from answer records worked out
// by hand.

#include <gtest/gtest.h>

#include "instrument/drive_status_model.h"

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
