#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "seedlink/record_info.h"
#include "seedlink/ring_storage.h"

namespace nereid::seedlink {

// One stream's span in the ring, for INFO STREAMS.
struct SStreamSpan {
    std::string location;
    std::string channel;
    char type = 'D';
    std::int64_t beginNs = 0;
    std::int64_t endNs = 0;
};

// Records a ring needs to keep `minutes` of every stream of the given sample rates: a full
// 512-byte Steim-2 record holds at least 103 samples (7 frames of 15 data words less the two
// integration constants, one 30-bit difference per word), and a stream slower than that sends
// a part-filled record every `latencySeconds`; a few more for records cut short by gaps.
std::size_t RecordsForMinutes(const std::vector<double>& sampleRates, double minutes,
                              double latencySeconds);

// Results of CRecordRing::Get.
enum RingRead : int {
    kRingRecord = 1, // the record was copied
    kRingNotYet = 0, // nothing at that position yet
    kRingGone = -1,  // overwritten; the oldest record is at Oldest()
};

// The last records of every stream, in the order they were made, each numbered by a 64-bit
// position that only grows (SeedLink 4's sequence number; SeedLink 3 shows its low 24 bits).
// At most `capacity` records are held, and with a span set only those that end within the
// span of the newest one. Shared by the feeding thread and the server thread: every call
// takes the ring's lock.
//
// A ring opened on a file keeps its records and numbering across restarts of the service.
// Records appended to it become visible (Get, Next) only once they are on the disk, so that
// a number a client has seen is never given to another record after a power loss; a crash
// at any moment leaves the file readable up to the last complete record.
class CRecordRing {
public:
    // `firstPosition` lets a service continue the numbering of an earlier run (a ring file
    // that holds records continues its own instead).
    explicit CRecordRing(std::size_t capacity, std::uint64_t firstPosition = 0);
    ~CRecordRing();
    CRecordRing(const CRecordRing&) = delete;
    CRecordRing& operator=(const CRecordRing&) = delete;

    // Keeps the ring in the file at `path` from now on: the records the file holds are read
    // back and numbering goes on after the newest. A file made for another capacity is
    // rewritten for this one (the newest records that fit are kept; the old file is
    // replaced only once the new one is complete on disk). Call before the first Append.
    // Returns a RingFileResult; on a failure `error` says why and the ring stays in memory.
    int OpenFile(const std::string& path, std::string& error);
    // Records ending more than `spanNs` before the newest one's end are dropped (0: none are
    // dropped for their age).
    void SetSpan(std::int64_t spanNs);
    // Called, on the ring's writer thread, when appended records have become visible; a
    // ring in memory calls it from Append.
    void SetPublishListener(std::function<void()> listener);

    // Stores one record of kRecordLength bytes; returns its position.
    std::uint64_t Append(const char* record, const SRecordInfo& info);
    // Waits until every record appended so far is on the disk and visible. Returns 0 or the
    // errno value of the failed flush.
    int Flush();

    // Copies the record at `position`; see RingRead.
    int Get(std::uint64_t position, std::array<char, kRecordLength>& record,
            SRecordInfo& info) const;

    // Position of the oldest record held and of the next record to come.
    std::uint64_t Oldest() const;
    std::uint64_t Next() const;
    std::size_t Capacity() const { return m_Capacity; }
    // Whether the ring lives in a file.
    bool Persistent() const;

    // Where a client asking for SeedLink 3 sequence number `sequence` (24 bits) starts: that
    // record when it is held or is the next to come; otherwise (overwritten, or never made
    // here) the oldest record held, with `found` false.
    std::uint64_t Resolve(std::uint32_t sequence, bool& found) const;
    // The same for a full 64-bit sequence number (SeedLink 4).
    std::uint64_t Locate(std::uint64_t sequence, bool& found) const;

    // Position of the first record whose last sample is at or after `ns` (Next() when none).
    std::uint64_t FirstEndingAfter(std::int64_t ns) const;

    // Every stream held, with the time span the ring covers.
    std::vector<SStreamSpan> Streams() const;

private:
    std::size_t SlotIndex(std::uint64_t position) const {
        return static_cast<std::size_t>(position % m_Capacity);
    }
    int Adopt(const CRingStorage& from, std::uint64_t& newest);
    void TrimLocked();
    void PublishLoop();
    void CallListener();
    void StopWriter();

    const std::size_t m_Capacity;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Changed;
    CRingStorage m_Storage;
    std::vector<SRecordInfo> m_Infos; // by slot; grows to m_Capacity
    std::uint64_t m_Oldest;
    std::uint64_t m_Written; // one past the newest record stored
    std::uint64_t m_Next;    // one past the newest record visible
    std::int64_t m_SpanNs = 0;
    int m_SyncError = 0;
    std::mutex m_ListenerMutex; // held while the listener is set or called
    std::function<void()> m_Published;
    std::thread m_Writer; // file rings: flushes and publishes
    bool m_StopWriter = false;
};

} // namespace nereid::seedlink
