#include "datalink/record_queue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/recording/recorder_test_support.h"

using namespace nereid::datalink;
using nereid::recording::test::TempFolder;

namespace {

SQueuedRecord Make(int serial, std::size_t size = kQueueRecordBytes) {
    SQueuedRecord r;
    r.streamId = "FDSN:XX_STA__H_H_Z/MSEED";
    r.startUs = 1796666100000000LL + serial * 2000000LL;
    r.endUs = r.startUs + 1990000;
    r.data.assign(size, static_cast<char>('a' + serial % 26));
    r.data.replace(0, std::to_string(serial).size(), std::to_string(serial));
    return r;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Serials of the records held, oldest first (-1 for one that would not read).
std::vector<int> Serials(const CRecordQueue& q) {
    std::vector<int> out;
    for (std::uint64_t p = q.Head(); p < q.End(); ++p) {
        SQueuedRecord r;
        out.push_back(q.Get(p, r) == kQueueOk ? std::stoi(r.data) : -1);
    }
    return out;
}

} // namespace

TEST(RecordQueue, KeepsRecordsInOrderUntilRemoved) {
    TempFolder folder;
    CRecordQueue q;
    std::string note;
    ASSERT_EQ(q.Open(folder / "hub.queue", 8, note), kQueueOk) << q.Error();
    EXPECT_NE(note.find("new queue file"), std::string::npos);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(q.Push(Make(i, 100 + i)), kQueueOk);
    }
    EXPECT_EQ(q.Size(), 5u);
    EXPECT_EQ(Serials(q), (std::vector<int>{0, 1, 2, 3, 4}));
    SQueuedRecord r;
    ASSERT_EQ(q.Get(q.Head() + 2, r), kQueueOk);
    const SQueuedRecord expected = Make(2, 102);
    EXPECT_EQ(r.streamId, expected.streamId);
    EXPECT_EQ(r.startUs, expected.startUs);
    EXPECT_EQ(r.endUs, expected.endUs);
    EXPECT_EQ(r.data, expected.data);

    ASSERT_EQ(q.RemoveBefore(q.Head() + 2), kQueueOk);
    EXPECT_EQ(Serials(q), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(q.Get(q.Head() - 1, r), kQueueNotHeld); // acknowledged: gone
    EXPECT_EQ(q.Get(q.End(), r), kQueueNotHeld);      // not made yet
    // Removing before what is already gone, or past the end, takes only what is held.
    EXPECT_EQ(q.RemoveBefore(0), kQueueOk);
    EXPECT_EQ(q.Size(), 3u);
    EXPECT_EQ(q.RemoveBefore(q.End() + 100), kQueueOk);
    EXPECT_EQ(q.Size(), 0u);
    EXPECT_EQ(q.Head(), 5u); // positions keep growing
}

TEST(RecordQueue, RefusesRecordsItCannotHold) {
    TempFolder folder;
    CRecordQueue q;
    std::string note;
    ASSERT_EQ(q.Open(folder / "q", 4, note), kQueueOk);
    SQueuedRecord empty = Make(1);
    empty.data.clear();
    EXPECT_EQ(q.Push(empty), kQueueBadRecord);
    EXPECT_EQ(q.Push(Make(1, kQueueRecordBytes + 1)), kQueueBadRecord);
    SQueuedRecord longId = Make(1);
    longId.streamId.assign(kQueueStreamIdBytes, 'X');
    EXPECT_EQ(q.Push(longId), kQueueBadRecord);
    longId.streamId.clear();
    EXPECT_EQ(q.Push(longId), kQueueBadRecord);
    EXPECT_EQ(q.Size(), 0u);
    CRecordQueue closed; // never opened
    EXPECT_EQ(closed.Push(Make(1)), kQueueWriteFailed);
}

TEST(RecordQueue, WhenFullTheOldestGiveWay) {
    TempFolder folder;
    CRecordQueue q;
    std::string note;
    ASSERT_EQ(q.Open(folder / "q", 3, note), kQueueOk);
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(q.Push(Make(i)), kQueueOk);
    }
    EXPECT_EQ(Serials(q), (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(q.Dropped(), 4u);
    EXPECT_EQ(q.Head(), 4u);
}

TEST(RecordQueue, AnotherRunFindsWhatWasLeft) {
    TempFolder folder;
    const std::string path = folder / "q";
    std::string note;
    {
        CRecordQueue q;
        ASSERT_EQ(q.Open(path, 4, note), kQueueOk);
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(q.Push(Make(i)), kQueueOk); // wraps round the circle
        }
        ASSERT_EQ(q.RemoveBefore(q.Head() + 1), kQueueOk);
    }
    CRecordQueue again;
    ASSERT_EQ(again.Open(path, 4, note), kQueueOk);
    EXPECT_NE(note.find("3 records left"), std::string::npos) << note;
    EXPECT_EQ(Serials(again), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(again.Head(), 3u);
    EXPECT_EQ(again.Dropped(), 0u);
    ASSERT_EQ(again.Push(Make(6)), kQueueOk);
    EXPECT_EQ(Serials(again), (std::vector<int>{3, 4, 5, 6}));
}

TEST(RecordQueue, AnotherCapacityMovesTheRecordsIntoAFileOfThatSize) {
    TempFolder folder;
    const std::string path = folder / "q";
    std::string note;
    {
        CRecordQueue q;
        ASSERT_EQ(q.Open(path, 6, note), kQueueOk);
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(q.Push(Make(i)), kQueueOk);
        }
    }
    {
        CRecordQueue larger;
        ASSERT_EQ(larger.Open(path, 10, note), kQueueOk) << larger.Error();
        EXPECT_EQ(Serials(larger), (std::vector<int>{0, 1, 2, 3, 4}));
        EXPECT_EQ(larger.Capacity(), 10u);
    }
    CRecordQueue smaller;
    ASSERT_EQ(smaller.Open(path, 2, note), kQueueOk) << smaller.Error();
    EXPECT_EQ(Serials(smaller), (std::vector<int>{3, 4}));
    EXPECT_EQ(smaller.Dropped(), 3u);
    EXPECT_NE(note.find("3 oldest did not fit"), std::string::npos) << note;
    EXPECT_EQ(Slurp(path + ".new"), ""); // renamed into place, nothing left beside it
    // The file now has the small size: header and two slots.
    EXPECT_LE(Slurp(path).size(), 64u + 2 * 608u);
}

TEST(RecordQueue, AFileThatIsNoQueueIsKeptAsideNotDeleted) {
    TempFolder folder;
    const std::string path = folder / "q";
    {
        std::ofstream out(path, std::ios::binary);
        out << "these are somebody's notes, not a queue";
    }
    CRecordQueue q;
    std::string note;
    ASSERT_EQ(q.Open(path, 4, note), kQueueOk);
    EXPECT_NE(note.find(".damaged"), std::string::npos) << note;
    EXPECT_EQ(Slurp(path + ".damaged"), "these are somebody's notes, not a queue");
    EXPECT_EQ(q.Size(), 0u);
    ASSERT_EQ(q.Push(Make(1)), kQueueOk);

    // Damaged once more: the first damaged file is not overwritten.
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "more notes";
    }
    CRecordQueue again;
    ASSERT_EQ(again.Open(path, 4, note), kQueueOk);
    EXPECT_EQ(Slurp(path + ".damaged"), "these are somebody's notes, not a queue");
    EXPECT_EQ(Slurp(path + ".damaged-2"), "more notes");
    EXPECT_NE(note.find(".damaged-2"), std::string::npos) << note;
}

TEST(RecordQueue, AHeaderWithAWrongChecksumIsDamaged) {
    TempFolder folder;
    const std::string path = folder / "q";
    std::string note;
    {
        CRecordQueue q;
        ASSERT_EQ(q.Open(path, 4, note), kQueueOk);
        ASSERT_EQ(q.Push(Make(1)), kQueueOk);
    }
    std::string bytes = Slurp(path);
    ASSERT_EQ(bytes.compare(0, 8, "NRDLQUE1"), 0);
    bytes[32] = 3; // "3 records held", checksum not matching
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    CRecordQueue q;
    ASSERT_EQ(q.Open(path, 4, note), kQueueOk);
    EXPECT_EQ(q.Size(), 0u);
    EXPECT_EQ(Slurp(path + ".damaged"), bytes);
}

TEST(RecordQueue, ATornSlotReadsAsDamagedAndTheOthersStillRead) {
    TempFolder folder;
    const std::string path = folder / "q";
    std::string note;
    {
        CRecordQueue q;
        ASSERT_EQ(q.Open(path, 4, note), kQueueOk);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(q.Push(Make(i)), kQueueOk);
        }
    }
    std::string bytes = Slurp(path);
    // Slot 1 starts after the 64-byte header and one 608-byte slot; its record at +96.
    ASSERT_EQ(bytes.size(), 64u + 3 * 608u);
    ASSERT_EQ(bytes[64 + 608 + 96], '1');
    bytes[64 + 608 + 200] ^= 0x40;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    CRecordQueue q;
    ASSERT_EQ(q.Open(path, 4, note), kQueueOk);
    SQueuedRecord r;
    EXPECT_EQ(q.Get(1, r), kQueueDamagedSlot);
    EXPECT_EQ(Serials(q), (std::vector<int>{0, -1, 2}));
}

TEST(RecordQueue, AFolderThatIsNotThereIsSaid) {
    TempFolder folder;
    CRecordQueue q;
    std::string note;
    EXPECT_EQ(q.Open(folder / "missing/q", 4, note), kQueueCannotOpen);
    EXPECT_NE(q.Error().find("missing/q"), std::string::npos) << q.Error();
}
