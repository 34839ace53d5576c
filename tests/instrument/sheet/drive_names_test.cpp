#include <gtest/gtest.h>

#include <vector>

#include "instrument/sheet/model/drive_names.h"
#include "link/answer_records.h"

namespace nereid::instrument {
namespace {

using Names = std::vector<std::string>;

TEST(DriveNamesTest, StartsWithAllFiveDrivesAndListsOnlyTheRemovableOnes) {
    CDriveNames table;
    for (int k = 0; k < kDriveCount; ++k) {
        EXPECT_EQ(table.Name(k), std::string(1, static_cast<char>('A' + k)));
    }
    EXPECT_EQ(table.Listed(), (Names{"B", "C", "D", "E"}));
    EXPECT_EQ(table.Name(-1), "");
    EXPECT_EQ(table.Name(5), "");
}

TEST(DriveNamesTest, DrivesOneAndThreeListBAndDAndDRecordsIndexThree) {
    CDriveNames table;
    table.ApplyInstalled({0, 1, 0, 1, 0});
    EXPECT_EQ(table.Listed(), (Names{"B", "D"}));
    EXPECT_EQ(table.IndexOfName("D"), 3);
    EXPECT_EQ(table.IndexOfName("B"), 1);
    EXPECT_EQ(table.ListPosition(3), 1);
    EXPECT_EQ(table.ListPosition(1), 0);
    EXPECT_EQ(table.Name(2), "");
    EXPECT_EQ(table.Name(4), "");
}

TEST(DriveNamesTest, AbsentOrUnknownDrivesAreNeitherListedNorSelected) {
    CDriveNames table;
    // Only the installed byte 1 counts; 2 and 0xFF are not "installed".
    table.ApplyInstalled({1, 2, 0xFF, 0, 1});
    EXPECT_EQ(table.Listed(), (Names{"E"}));
    EXPECT_EQ(table.ListPosition(2), -1); // a setup naming an absent drive selects nothing
    EXPECT_EQ(table.ListPosition(0), -1); // drive A is never offered
    EXPECT_EQ(table.ListPosition(7), -1);
    EXPECT_EQ(table.IndexOfName("C"), -1);
    EXPECT_EQ(table.IndexOfName(""), -1);
    EXPECT_EQ(table.IndexOfName("A"), 0);
    // Names are matched by their first letter, as the list shows them.
    EXPECT_EQ(table.IndexOfName("E:"), 4);
}

TEST(DriveNamesTest, WaitingForTheDriveStatusOffersNoDriveAndAnAnswerRestoresThem) {
    CDriveNames table;
    table.ClearRemovable();
    EXPECT_EQ(table.Name(0), "A");
    EXPECT_TRUE(table.Listed().empty());
    table.ApplyInstalled({0, 1, 1, 1, 1});
    EXPECT_EQ(table.Listed(), (Names{"B", "C", "D", "E"}));
    EXPECT_EQ(table.Name(0), "A"); // entry 0 is not the answer's to change
    table.ApplyInstalled({1, 0, 0, 0, 0});
    EXPECT_TRUE(table.Listed().empty());
    table.Reset();
    EXPECT_EQ(table.Listed(), (Names{"B", "C", "D", "E"}));
}

TEST(DriveNamesTest, TakesTheInstalledBytesOfADriveStatusAnswer) {
    // 'W' answer: header, status, then five 24-byte drive records at 3 + 24i.
    std::vector<std::uint8_t> payload(123, 0);
    payload[2] = 1;
    payload[3 + 24 * 0] = 1;
    payload[3 + 24 * 2] = 1; // drive C
    payload[3 + 24 * 4] = 1; // drive E
    link::FrameRecord record;
    ASSERT_EQ(link::DecodeAnswer(link::kDriveStatusType, payload.data(), payload.size(), record),
              1);
    CDriveNames table;
    table.ApplyDriveStatus(std::get<link::DriveStatus>(record.decoded));
    EXPECT_EQ(table.Listed(), (Names{"C", "E"}));
    EXPECT_EQ(table.IndexOfName("E"), 4);
}

// A "Storage Drive:" box is never an empty list while the recorder has a drive, and always
// shows the drive the recorder's setting names.
TEST(DriveNamesTest, OfferedDrivesShowWhatTheRecorderHas) {
    CDriveNames table;
    table.ApplyInstalled({1, 0, 0, 0, 1});
    EXPECT_EQ(table.Offered(4), (Names{"E"}));
    // A setting on drive A beside a storage drive: A stays visible, so it is kept as it is.
    EXPECT_EQ(table.Offered(0), (Names{"A", "E"}));
    EXPECT_EQ(table.Offered(2), (Names{"C (not installed)", "E"}));
    EXPECT_EQ(CDriveNames::OfferedPosition(table.Offered(2), 2), 0);
    EXPECT_EQ(CDriveNames::OfferedPosition(table.Offered(2), 4), 1);

    // Only drive A: it is offered, whatever the setting says.
    table.ApplyInstalled({1, 0, 0, 0, 0});
    EXPECT_EQ(table.Offered(-1), (Names{"A"}));
    EXPECT_EQ(table.Offered(0), (Names{"A"}));
    EXPECT_EQ(table.Offered(3), (Names{"A", "D (not installed)"}));

    // Nothing reported at all (no answer yet): only the setting itself.
    table.ClearRemovable();
    EXPECT_FALSE(table.DriveAInstalled());
    EXPECT_TRUE(table.Offered(-1).empty());
    EXPECT_EQ(table.Offered(0), (Names{"A (not installed)"}));
    EXPECT_EQ(table.Offered(9), Names{});

    EXPECT_EQ(CDriveNames::IndexOfOffered("D (not installed)"), 3);
    EXPECT_EQ(CDriveNames::IndexOfOffered("A"), 0);
    EXPECT_EQ(CDriveNames::IndexOfOffered("F"), -1);
    EXPECT_EQ(CDriveNames::IndexOfOffered(""), -1);
    EXPECT_EQ(CDriveNames::OfferedPosition(Names{"B"}, 0), -1);
}

TEST(DriveNamesTest, TheSharedTableIsOneTable) {
    CDriveNames& shared = SharedDriveNames();
    shared.ApplyInstalled({0, 0, 0, 1, 0});
    EXPECT_EQ(SharedDriveNames().Listed(), (Names{"D"}));
    shared.Reset();
    EXPECT_EQ(&shared, &SharedDriveNames());
}

} // namespace
} // namespace nereid::instrument
