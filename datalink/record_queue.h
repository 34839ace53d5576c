#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "recording/unique_fd.h"

namespace nereid::datalink {

// Bytes of the longest record the queue holds, and of the longest stream ID.
constexpr std::size_t kQueueRecordBytes = 512;
constexpr std::size_t kQueueStreamIdBytes = 64;

// One record waiting for the hub's acknowledgement.
struct SQueuedRecord {
    std::string streamId;     // at most kQueueStreamIdBytes - 1 characters
    std::int64_t startUs = 0; // first sample, microseconds since the epoch
    std::int64_t endUs = 0;   // last sample
    std::string data;         // the record, at most kQueueRecordBytes
};

// Results of CRecordQueue calls.
enum QueueResult : int {
    kQueueOk = 1,
    kQueueNotHeld = 0,      // Get: that position was acknowledged, dropped or not made yet
    kQueueCannotOpen = -1,  // the file cannot be made, read or written (see Error())
    kQueueBadRecord = -2,   // Push: empty or too large a record, or too long a stream ID
    kQueueDamagedSlot = -3, // Get: the slot's checksum does not match (a torn write)
    kQueueWriteFailed = -4, // Push: the file could not be written; the record is not queued
};

// The records a DataLink client has not had acknowledged, oldest first, in a file of their own
// so that a hub away for hours, or the program stopping, loses nothing. A circle of
// `capacity` fixed slots behind a small header; each record has a position that only grows,
// also across runs. When full, the oldest record gives way (Dropped() counts them). Any
// thread may call; every call takes the queue's lock. The file is host-local (native byte
// order) and written with pwrite: what was pushed survives the program ending; SyncToDisk()
// makes it survive a power cut too.
class CRecordQueue {
public:
    CRecordQueue() = default;
    CRecordQueue(const CRecordQueue&) = delete;
    CRecordQueue& operator=(const CRecordQueue&) = delete;

    // Opens the queue file at `path`, making it (and no folder) when missing. A file of an
    // earlier run keeps its records: with another capacity they are moved into a file of the
    // new size (the oldest give way when they do not fit); a file that is not a queue or whose
    // header is damaged is renamed to "<path>.damaged" (never deleted) and a new one made.
    // `note` says what was found for the operator. Returns kQueueOk or kQueueCannotOpen.
    int Open(const std::string& path, std::size_t capacity, std::string& note);

    // Appends a record; see QueueResult.
    int Push(const SQueuedRecord& record);
    // Copies the record at `position`; see QueueResult.
    int Get(std::uint64_t position, SQueuedRecord& record) const;
    // Forgets every record before `position` (they were acknowledged or refused).
    int RemoveBefore(std::uint64_t position);
    // Forces what was written to the disk. Returns kQueueOk or kQueueWriteFailed.
    int SyncToDisk();

    std::uint64_t Head() const; // position of the oldest record held
    std::uint64_t End() const;  // position the next record gets
    std::size_t Size() const;
    std::size_t Capacity() const { return m_Capacity; }
    std::uint64_t Dropped() const; // records that gave way to newer ones since Open
    const std::string& Path() const { return m_Path; }
    const std::string& Error() const { return m_Error; }

private:
    int Create(const std::string& path, std::size_t capacity, std::uint64_t head);
    bool WriteHeader();
    bool WriteSlot(std::uint64_t position, const SQueuedRecord& record);
    int ReadSlot(std::uint64_t position, SQueuedRecord& record) const;
    int Migrate(const std::string& path, std::size_t capacity, std::uint64_t head,
                std::uint64_t count, std::size_t oldCapacity, std::string& note);

    mutable std::mutex m_Mutex;
    recording::UniqueFd m_File;
    std::string m_Path;
    std::string m_Error;
    std::size_t m_Capacity = 0;
    std::uint64_t m_Head = 0;
    std::uint64_t m_Count = 0;
    std::uint64_t m_Dropped = 0;
};

} // namespace nereid::datalink
