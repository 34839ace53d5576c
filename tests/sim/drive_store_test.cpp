#include "sim/drive_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace nereid::sim {
namespace {

namespace fs = std::filesystem;

class DriveStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-sim-ds-XXXXXX";
        root = ::mkdtemp(pattern);
        drive = root / "drive";
        fs::create_directories(drive / "Day093");
        std::ofstream(drive / "d1234001.093") << "abc";
        std::ofstream(drive / "E1234001.093") << "abcd";
        std::ofstream(drive / "NOEXT") << "x";
        std::ofstream(drive / "Day093" / "D1234002.093") << "12345";
        std::ofstream(drive / "long-name-file.txt") << "x";
        std::ofstream(root / "SECRET.TXT") << "outside";
        ASSERT_EQ(store.SetDrive('a', drive), 1);
    }
    void TearDown() override { fs::remove_all(root); }

    std::vector<std::string> Names(const std::string& pattern) {
        std::vector<DriveEntry> entries;
        std::string why;
        EXPECT_EQ(store.List(pattern, entries, why), 1) << why;
        std::vector<std::string> names;
        for (const auto& e : entries)
            names.push_back(e.base + (e.extension.empty() ? "" : "." + e.extension) +
                            (e.directory ? "/" : ""));
        return names;
    }

    fs::path root;
    fs::path drive;
    DriveStore store;
};

TEST(DosNames, SplitAndMatch) {
    std::string base, ext;
    EXPECT_TRUE(DriveStore::SplitDosName("d1234001.093", base, ext));
    EXPECT_EQ(base, "D1234001");
    EXPECT_EQ(ext, "093");
    EXPECT_TRUE(DriveStore::SplitDosName("NOEXT", base, ext));
    EXPECT_EQ(ext, "");
    EXPECT_FALSE(DriveStore::SplitDosName("NINECHARS.A", base, ext));
    EXPECT_FALSE(DriveStore::SplitDosName("A.LONG", base, ext));
    EXPECT_FALSE(DriveStore::SplitDosName("A.B.C", base, ext));
    EXPECT_FALSE(DriveStore::SplitDosName("..", base, ext));
    EXPECT_FALSE(DriveStore::SplitDosName("A B", base, ext));
    EXPECT_FALSE(DriveStore::SplitDosName("*.*", base, ext));

    EXPECT_TRUE(DriveStore::MatchDosPattern("*.*", "NOEXT"));
    EXPECT_TRUE(DriveStore::MatchDosPattern("d1*.*", "D1234001.093"));
    EXPECT_FALSE(DriveStore::MatchDosPattern("D1*.*", "E1234001.093"));
    EXPECT_TRUE(DriveStore::MatchDosPattern("?1234001.09?", "E1234001.093"));
    EXPECT_FALSE(DriveStore::MatchDosPattern("*.09", "E1234001.093"));
    EXPECT_TRUE(DriveStore::MatchDosPattern("NOEXT", "noext"));
}

TEST_F(DriveStoreTest, ListsFoldersFirstAndHidesNamesARecorderCannotHold) {
    EXPECT_EQ(Names("A:\\*.*"),
              (std::vector<std::string>{"DAY093/", "D1234001.093", "E1234001.093", "NOEXT"}));
    EXPECT_EQ(Names("A:"), Names("A:\\*.*"));
    EXPECT_EQ(Names("a:\\D*.*"), (std::vector<std::string>{"DAY093/", "D1234001.093"}));
    EXPECT_EQ(Names("a:\\D1*.0*"), (std::vector<std::string>{"D1234001.093"}));
    EXPECT_EQ(Names("A:\\DAY093\\*.*"), (std::vector<std::string>{"D1234002.093"}));
    EXPECT_EQ(Names("A:\\day093"), (std::vector<std::string>{"D1234002.093"}));
    std::vector<DriveEntry> entries;
    std::string why;
    ASSERT_EQ(store.List("A:\\E1234001.093", entries, why), 1);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, 4u);
    const int year = (entries[0].dosDate >> 9) + 1980;
    EXPECT_GE(year, 2020);
    EXPECT_GE((entries[0].dosDate >> 5) & 0x0F, 1);
}

TEST_F(DriveStoreTest, RefusesPathsOutsideTheDriveAndAbsentDrives) {
    std::vector<DriveEntry> entries;
    std::vector<std::uint8_t> data;
    std::string why;
    EXPECT_EQ(store.List("A:\\..\\*.*", entries, why), -1);
    EXPECT_EQ(store.Read("A:\\..\\SECRET.TXT", data, why), -1);
    EXPECT_EQ(store.Read("A:\\DAY093\\..\\..\\SECRET.TXT", data, why), -1);
    EXPECT_EQ(store.Read("A:/../SECRET.TXT", data, why), -1);
    EXPECT_EQ(store.Read("B:\\D1234001.093", data, why), -1);
    EXPECT_NE(why.find("not installed"), std::string::npos);
    EXPECT_EQ(store.Read("D1234001.093", data, why), -1) << "no drive letter";
    EXPECT_EQ(store.Read("A:\\DAY093", data, why), -1) << "a folder is not a file";
    EXPECT_EQ(store.Delete("A:\\DAY093", why), -1);
    EXPECT_TRUE(fs::exists(drive / "Day093"));
    EXPECT_EQ(store.Delete("A:\\*.*", why), -1);
    EXPECT_EQ(fs::exists(root / "SECRET.TXT"), true);
}

TEST_F(DriveStoreTest, ReadsAndDeletesCaseBlind) {
    std::vector<std::uint8_t> data;
    std::string why;
    ASSERT_EQ(store.Read("A:\\DAY093\\d1234002.093", data, why), 1) << why;
    EXPECT_EQ(std::string(data.begin(), data.end()), "12345");
    EXPECT_EQ(store.UsedBytes(0), 3u + 4u + 1u + 5u + 1u);
    ASSERT_EQ(store.Delete("A:\\D1234001.093", why), 1) << why;
    EXPECT_FALSE(fs::exists(drive / "d1234001.093"));
    EXPECT_EQ(store.Delete("A:\\D1234001.093", why), -1);
    EXPECT_EQ(store.SetDrive('F', drive), -1);
    EXPECT_EQ(store.SetDrive('B', root / "missing"), -1);
}

} // namespace
} // namespace nereid::sim
