#include "link/phone_directory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

namespace nereid::link {
namespace {

class PhoneDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/phonedirXXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/phone.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void WriteFile(const std::string& text) {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    std::string ReadFile() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir;
    std::string path;
};

TEST_F(PhoneDirectoryTest, MissingFileIsAnEmptyDirectory) {
    CPhoneDirectory book(path);
    EXPECT_EQ(book.Load(), 0);
    EXPECT_EQ(book.FirstEmptySlot(), 0);
    EXPECT_TRUE(book.IsEmpty(30));
    EXPECT_EQ(book.Name(31), "");
    EXPECT_EQ(book.Number(-1), "");
}

TEST_F(PhoneDirectoryTest, FifoInPlaceOfTheFileIsUnreadableNotAWait) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    CPhoneDirectory book(path);
    EXPECT_EQ(book.Load(), -1);
    EXPECT_EQ(book.FirstEmptySlot(), 0);
}

TEST_F(PhoneDirectoryTest, ReadsSlotsOfItsSectionOnlyWithTheReadLimits) {
    WriteFile("[Other]\r\nName0=wrong\r\n[speed dial settings]\r\nname0 = Station North \r\n"
              "Number0=0049 30 1234\r\nName30=" +
              std::string(60, 'n') + "\r\nNumber30=" + std::string(90, '7') +
              "\r\nName31=out of range\r\n[Last]\r\nNumber1=wrong\r\n");
    CPhoneDirectory book(path);
    ASSERT_EQ(book.Load(), 1);
    EXPECT_EQ(book.Name(0), "Station North");
    EXPECT_EQ(book.Number(0), "0049 30 1234");
    EXPECT_EQ(book.Name(30).size(), CPhoneDirectory::kNameReadLimit);
    EXPECT_EQ(book.Number(30).size(), CPhoneDirectory::kNumberReadLimit);
    EXPECT_TRUE(book.IsEmpty(1));
    EXPECT_EQ(book.FirstEmptySlot(), 1);
}

TEST_F(PhoneDirectoryTest, UpdateWithBothEditsEmptyChangesNothing) {
    const std::string before = "[Speed Dial Settings]\r\nName0=A\r\nNumber0=1\r\n";
    WriteFile(before);
    CPhoneDirectory book(path);
    book.Load();
    EXPECT_EQ(book.Update(0, "", ""), 0);
    EXPECT_EQ(book.Update(0, " \r\n", "  "), 0);
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(book.Name(0), "A");
}

TEST_F(PhoneDirectoryTest, UpdateWritesOneSlotAndKeepsEverythingElse) {
    WriteFile("; dialling directory\r\n[Modem]\r\nPort=/dev/ttyUSB0\r\n\r\n"
              "[Speed Dial Settings]\r\nName0=A\r\nNumber0=1\r\nName2=C\r\n\r\n[Tail]\r\nX=1\r\n");
    CPhoneDirectory book(path);
    book.Load();
    ASSERT_EQ(book.Update(2, "Camp", "0301"), 1);
    ASSERT_EQ(book.Update(5, "Hill", "77"), 1);
    EXPECT_EQ(ReadFile(), "; dialling directory\r\n[Modem]\r\nPort=/dev/ttyUSB0\r\n\r\n"
                          "[Speed Dial Settings]\r\nName0=A\r\nNumber0=1\r\nName2=Camp\r\n"
                          "Number2=0301\r\nName5=Hill\r\nNumber5=77\r\n\r\n[Tail]\r\nX=1\r\n");
    CPhoneDirectory again(path);
    again.Load();
    EXPECT_EQ(again.Name(2), "Camp");
    EXPECT_EQ(again.Number(5), "77");
    EXPECT_EQ(again.FirstEmptySlot(), 1);
}

TEST_F(PhoneDirectoryTest, UpdateCreatesFileAndCutsToEditorLimits) {
    CPhoneDirectory book(path);
    book.Load();
    // Appended, not operator+: GCC 12 at -O2 warns falsely about the temporary's bounds.
    std::string name(25, 'a');
    name += "\nName1=x";
    ASSERT_EQ(book.Update(0, name, std::string(70, '5')), 1);
    CPhoneDirectory again(path);
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(again.Name(0).size(), CPhoneDirectory::kNameEditLimit);
    EXPECT_EQ(again.Number(0), std::string(60, '5'));
    // The line break of the name did not create a slot 1.
    EXPECT_TRUE(again.IsEmpty(1));
}

TEST_F(PhoneDirectoryTest, WhatIsHeldAfterAnUpdateIsWhatTheFileGivesBack) {
    CPhoneDirectory book(path);
    // Cut to 20 characters the name ends in a space; NULs and other control characters do not
    // survive a text file.
    const std::string name = std::string("Far\0Hill\x01", 9) + std::string(12, 'x') + " Station";
    ASSERT_EQ(book.Update(3, name, "555\t1234 "), 1);
    CPhoneDirectory again(path);
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(book.Name(3), "FarHill" + std::string(12, 'x'));
    EXPECT_EQ(again.Name(3), book.Name(3));
    EXPECT_EQ(again.Number(3), "5551234");
    EXPECT_EQ(again.Number(3), book.Number(3));
    EXPECT_EQ(ReadFile().find('\0'), std::string::npos);
    // Quotes of the text itself survive the reading's unquoting.
    ASSERT_EQ(book.Update(4, "\"Base\"", "''"), 1);
    CPhoneDirectory quoted(path);
    ASSERT_EQ(quoted.Load(), 1);
    EXPECT_EQ(quoted.Name(4), "\"Base\"");
    EXPECT_EQ(quoted.Number(4), "''");
}

TEST_F(PhoneDirectoryTest, AnEmptyFirstKeyIsTheOneReadAndUpdated) {
    WriteFile("[Speed Dial Settings]\r\nName0=\r\nName0=Second\r\nNumber0=1\r\n");
    CPhoneDirectory book(path);
    ASSERT_EQ(book.Load(), 1);
    EXPECT_EQ(book.Name(0), "");
    ASSERT_EQ(book.Update(0, "", "2"), 1);
    CPhoneDirectory again(path);
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(again.Name(0), book.Name(0));
    EXPECT_EQ(again.Number(0), "2");
}

TEST_F(PhoneDirectoryTest, FullDirectoryHasNoEmptySlot) {
    CPhoneDirectory book(path);
    for (int i = 0; i < CPhoneDirectory::kSlots; ++i)
        ASSERT_EQ(book.Update(i, "n" + std::to_string(i), ""), 1);
    EXPECT_EQ(book.FirstEmptySlot(), -1);
    EXPECT_EQ(book.Update(31, "x", "1"), -1);
}

TEST_F(PhoneDirectoryTest, FailedWriteKeepsMemoryAndFileUnchanged) {
    WriteFile("[Speed Dial Settings]\r\nName0=A\r\n");
    CPhoneDirectory book(path);
    book.Load();
    // A folder in the place of the temporary file makes the write fail, even for root.
    std::filesystem::create_directory(path + ".new");
    EXPECT_EQ(book.Update(0, "B", "2"), -1);
    EXPECT_EQ(book.Name(0), "A");
    EXPECT_EQ(ReadFile(), "[Speed Dial Settings]\r\nName0=A\r\n");
}

} // namespace
} // namespace nereid::link
