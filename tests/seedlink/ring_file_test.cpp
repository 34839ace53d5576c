#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "seedlink/record_ring.h"
#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

namespace fs = std::filesystem;
using test::AppendFake;
using test::kSecond;
using test::kT0;

class RingFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-ring-test-XXXXXX";
        m_Folder = mkdtemp(pattern);
        m_Path = m_Folder + "/seedlink.ring";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_Folder, ec);
    }

    // Opens a ring of `capacity` records on the test's file; expects `expected`.
    std::unique_ptr<CRecordRing> Open(std::size_t capacity, int expected) {
        auto ring = std::make_unique<CRecordRing>(capacity);
        std::string error;
        EXPECT_EQ(ring->OpenFile(m_Path, error), expected) << error;
        return ring;
    }

    static std::string LabelAt(const CRecordRing& ring, std::uint64_t position) {
        std::array<char, kRecordLength> record{};
        SRecordInfo info;
        if (ring.Get(position, record, info) != kRingRecord) {
            return "-";
        }
        return test::LabelOf(record.data()) + "@" + info.channel;
    }

    std::string m_Folder;
    std::string m_Path;
};

TEST_F(RingFile, RecordsAndNumbersSurviveAReopen) {
    {
        auto ring = Open(8, kRingFileCreated);
        EXPECT_TRUE(ring->Persistent());
        for (int i = 0; i < 11; ++i) {
            AppendFake(*ring, i % 2 == 0 ? "HHZ" : "HH1", i, kT0 + i * kSecond,
                       kT0 + (i + 1) * kSecond);
        }
        EXPECT_EQ(ring->Flush(), 0);
        EXPECT_EQ(ring->Next(), 11u);
        // The file's size is fixed when it is made, whatever is appended later.
        EXPECT_EQ(fs::file_size(m_Path), kRingHeaderBytes + 8 * kRingSlotBytes);
    }
    auto ring = Open(8, kRingFileOpened);
    EXPECT_EQ(ring->Oldest(), 3u);
    EXPECT_EQ(ring->Next(), 11u);
    EXPECT_EQ(LabelAt(*ring, 2), "-");
    EXPECT_EQ(LabelAt(*ring, 3), "HH1#3@HH1");
    EXPECT_EQ(LabelAt(*ring, 10), "HHZ#10@HHZ");
    // The next record continues the numbering; a v3 client at 10 finds its record.
    EXPECT_EQ(AppendFake(*ring, "HHZ", 11, kT0, kT0), 11u);
    EXPECT_EQ(ring->Flush(), 0);
    bool found = false;
    EXPECT_EQ(ring->Resolve(10, found), 10u);
    EXPECT_TRUE(found);
    const auto streams = ring->Streams();
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[1].channel, "HHZ");
    EXPECT_EQ(streams[1].beginNs, kT0); // the record appended after the reopen
    EXPECT_EQ(fs::file_size(m_Path), kRingHeaderBytes + 8 * kRingSlotBytes);
}

TEST_F(RingFile, RecordsBecomeVisibleOnceFlushed) {
    auto ring = Open(4, kRingFileCreated);
    int published = 0;
    std::mutex mutex;
    ring->SetPublishListener([&] {
        std::lock_guard lock(mutex);
        ++published;
    });
    AppendFake(*ring, "HHZ", 0, kT0, kT0);
    EXPECT_EQ(ring->Flush(), 0);
    EXPECT_EQ(ring->Next(), 1u);
    std::lock_guard lock(mutex);
    EXPECT_GE(published, 1);
}

TEST_F(RingFile, ATornOrCorruptSlotEndsTheRunBeforeIt) {
    {
        auto ring = Open(8, kRingFileCreated);
        for (int i = 0; i < 6; ++i) {
            AppendFake(*ring, "HHZ", i, kT0, kT0);
        }
    }
    // Position 5 was being written when the power went: half its record is new bytes.
    {
        std::fstream file(m_Path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(kRingHeaderBytes + 5 * kRingSlotBytes + 300));
        file.write("torn!", 5);
    }
    {
        auto ring = Open(8, kRingFileOpened);
        EXPECT_EQ(ring->Oldest(), 0u);
        EXPECT_EQ(ring->Next(), 5u);
        EXPECT_EQ(LabelAt(*ring, 4), "HHZ#4@HHZ");
        EXPECT_EQ(AppendFake(*ring, "HHZ", 50, kT0, kT0), 5u);
    }
    // A damaged slot in the middle: only the records after it are kept, as one run.
    {
        std::fstream file(m_Path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(kRingHeaderBytes + 2 * kRingSlotBytes + 10));
        file.write("\xff\xff", 2);
    }
    auto ring = Open(8, kRingFileOpened);
    EXPECT_EQ(ring->Oldest(), 3u);
    EXPECT_EQ(ring->Next(), 6u);
    EXPECT_EQ(LabelAt(*ring, 5), "HHZ#50@HHZ");
}

TEST_F(RingFile, KilledMidWriteLeavesARingThatOpens) {
    // A child appends without end and is killed at once (SIGKILL at an arbitrary moment).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CRecordRing ring(64);
        std::string error;
        if (ring.OpenFile(m_Path, error) < 0) {
            _exit(1);
        }
        for (int i = 0;; ++i) {
            AppendFake(ring, "HHZ", i, kT0 + i * kSecond, kT0 + i * kSecond);
        }
    }
    // Let it write a few thousand records (several times round the ring) first.
    for (int i = 0; i < 200 && (!fs::exists(m_Path) || fs::file_size(m_Path) == 0); ++i) {
        usleep(5000);
    }
    usleep(100000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    auto ring = Open(64, kRingFileOpened);
    const std::uint64_t next = ring->Next();
    ASSERT_GT(next, 0u);
    EXPECT_LE(next - ring->Oldest(), 64u);
    EXPECT_GE(next - ring->Oldest(), 63u); // at most the one slot under way is lost
    for (std::uint64_t p = ring->Oldest(); p < next; ++p) {
        ASSERT_EQ(LabelAt(*ring, p), "HHZ#" + std::to_string(p) + "@HHZ") << p;
    }
    EXPECT_EQ(AppendFake(*ring, "HHZ", 0, kT0, kT0), next);
}

TEST_F(RingFile, ANewCapacityRewritesTheFileKeepingTheNewest) {
    {
        auto ring = Open(8, kRingFileCreated);
        for (int i = 0; i < 7; ++i) {
            AppendFake(*ring, "HHZ", i, kT0, kT0);
        }
    }
    {
        auto ring = Open(4, kRingFileOpened);
        EXPECT_EQ(ring->Oldest(), 3u);
        EXPECT_EQ(ring->Next(), 7u);
        EXPECT_EQ(LabelAt(*ring, 3), "HHZ#3@HHZ");
        EXPECT_EQ(fs::file_size(m_Path), kRingHeaderBytes + 4 * kRingSlotBytes);
        EXPECT_FALSE(fs::exists(m_Path + ".resize"));
    }
    auto ring = Open(16, kRingFileOpened);
    EXPECT_EQ(ring->Oldest(), 3u);
    EXPECT_EQ(ring->Next(), 7u);
    for (int i = 7; i < 20; ++i) {
        AppendFake(*ring, "HHZ", i, kT0, kT0);
    }
    EXPECT_EQ(ring->Flush(), 0);
    EXPECT_EQ(ring->Oldest(), 4u);
    EXPECT_EQ(LabelAt(*ring, 19), "HHZ#19@HHZ");
}

TEST_F(RingFile, RefusesAFileInUseOrNotARing) {
    auto first = Open(4, kRingFileCreated);
    auto second = Open(4, kRingFileBusy);
    EXPECT_FALSE(second->Persistent());
    AppendFake(*second, "HHZ", 0, kT0, kT0); // still a ring, in memory
    EXPECT_EQ(second->Next(), 1u);
    first.reset();

    const std::string other = m_Folder + "/notes.txt";
    {
        std::ofstream out(other);
        out << "not a ring, and longer than nothing\n";
    }
    CRecordRing ring(4);
    std::string error;
    EXPECT_EQ(ring.OpenFile(other, error), kRingFileForeign);
    EXPECT_NE(error.find(other), std::string::npos) << error;
    std::ifstream in(other);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "not a ring, and longer than nothing"); // left untouched
    EXPECT_EQ(ring.OpenFile(m_Folder + "/missing/seedlink.ring", error), kRingFileFailed);
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST(RecordRingSpan, KeepsWhatEndsWithinTheSpanOfTheNewest) {
    CRecordRing ring(100);
    ring.SetSpan(60 * kSecond);
    for (int i = 0; i < 40; ++i) {
        // Two streams, records of 2 s, in the order a feed makes them.
        AppendFake(ring, "HHZ", i, kT0 + i * 2 * kSecond, kT0 + (i + 1) * 2 * kSecond);
        AppendFake(ring, "HH1", i, kT0 + i * 2 * kSecond, kT0 + (i + 1) * 2 * kSecond);
    }
    // Newest end: kT0 + 80 s; kept: ends at or after kT0 + 20 s, i.e. i >= 9.
    EXPECT_EQ(ring.Oldest(), 18u);
    EXPECT_EQ(ring.Next(), 80u);
    const auto streams = ring.Streams();
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].beginNs, kT0 + 18 * kSecond);
    // A clock set back by a day does not empty the ring.
    AppendFake(ring, "HHZ", 99, kT0 - 86400 * kSecond, kT0 - 86399 * kSecond);
    EXPECT_EQ(ring.Oldest(), 18u);
}

TEST(RecordRingSpan, IsSizedForTheWorstCompressionOfEveryStream) {
    // 60 minutes of six streams at 100 and six at 10 samples/s, records sent at least every
    // 10 s: 100 / 103 and 1 / 10 records a second, 2 % and a few per stream over.
    const std::size_t records =
        RecordsForMinutes({100, 100, 100, 100, 100, 100, 10, 10, 10, 10, 10, 10}, 60, 10);
    const double least = 3600 * (6 * 100.0 / 103 + 6 * 0.1);
    EXPECT_GE(static_cast<double>(records), least * 1.02);
    EXPECT_LE(static_cast<double>(records), least * 1.02 + 12 * 16 + 64 + 1);
    // A slow stream costs a record per latency, not per 103 samples; a silent one nothing.
    EXPECT_EQ(RecordsForMinutes({1}, 10, 5), 16u + 64u + 123u);
    EXPECT_EQ(RecordsForMinutes({0}, 10, 5), 16u + 64u);
    // The file that results stays bounded: about 14 MB for the hour above.
    EXPECT_LT(kRingHeaderBytes + records * kRingSlotBytes, 14u * 1000 * 1000);
}

TEST(RecordRingSpan, LocatesSixtyFourBitSequenceNumbers) {
    CRecordRing ring(4, 0x123456789ULL);
    for (int i = 0; i < 6; ++i) {
        AppendFake(ring, "HHZ", i, kT0, kT0);
    }
    bool found = false;
    EXPECT_EQ(ring.Locate(0x12345678BULL, found), 0x12345678BULL);
    EXPECT_TRUE(found);
    EXPECT_EQ(ring.Locate(0x12345678FULL, found), 0x12345678FULL); // the next to come
    EXPECT_TRUE(found);
    EXPECT_EQ(ring.Locate(0x12345678AULL, found), 0x12345678BULL); // overwritten
    EXPECT_FALSE(found);
    // Equal in the low 24 bits to a record held, but from another era: not that record.
    EXPECT_EQ(ring.Locate(0x2345678CULL, found), 0x12345678BULL);
    EXPECT_FALSE(found);
    // SeedLink 3 sees the low 24 bits only.
    EXPECT_EQ(ring.Resolve(0x45678C, found), 0x12345678CULL);
    EXPECT_TRUE(found);
}

} // namespace
} // namespace nereid::seedlink
