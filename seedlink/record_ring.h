#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace nereid::seedlink {

constexpr std::size_t kRecordLength = 512;
constexpr std::uint32_t kSequenceMask = 0xFFFFFF; // sequence numbers on the wire: 6 hex digits

// What the server needs to know of a record without decoding it.
struct SRecordInfo {
    std::string location; // 0 to 2 characters
    std::string channel;  // 3 characters
    char type = 'D';
    std::int64_t startNs = 0; // first sample
    std::int64_t endNs = 0;   // last sample
};

// One stream's span in the ring, for INFO STREAMS.
struct SStreamSpan {
    std::string location;
    std::string channel;
    char type = 'D';
    std::int64_t beginNs = 0;
    std::int64_t endNs = 0;
};

// Results of CRecordRing::Get.
enum RingRead : int {
    kRingRecord = 1, // the record was copied
    kRingNotYet = 0, // nothing at that position yet
    kRingGone = -1,  // overwritten; the oldest record is at Oldest()
};

// The last `capacity` records of every stream, in the order they were made, each numbered by
// a position that only grows (the wire's sequence number is its low 24 bits). Shared by the
// feeding thread and the server thread: every call takes the ring's lock.
class CRecordRing {
public:
    // `firstPosition` lets a service continue the numbering of an earlier run.
    explicit CRecordRing(std::size_t capacity, std::uint64_t firstPosition = 0);

    // Stores one record of kRecordLength bytes; returns its position.
    std::uint64_t Append(const char* record, const SRecordInfo& info);

    // Copies the record at `position`; see RingRead.
    int Get(std::uint64_t position, std::array<char, kRecordLength>& record,
            SRecordInfo& info) const;

    // Position of the oldest record held and of the next record to come.
    std::uint64_t Oldest() const;
    std::uint64_t Next() const;
    std::size_t Capacity() const { return m_Capacity; }

    // Where a client asking for wire sequence number `sequence` starts: that record when it is
    // held or is the next to come; otherwise (overwritten, or never made here) the oldest
    // record held, with `found` false.
    std::uint64_t Resolve(std::uint32_t sequence, bool& found) const;

    // Position of the first record whose last sample is at or after `ns` (Next() when none).
    std::uint64_t FirstEndingAfter(std::int64_t ns) const;

    // Every stream held, with the time span the ring covers.
    std::vector<SStreamSpan> Streams() const;

private:
    struct Slot {
        std::array<char, kRecordLength> data{};
        SRecordInfo info;
    };

    // Slots are filled from the first one whatever number the ring starts at.
    std::size_t SlotIndex(std::uint64_t position) const {
        return static_cast<std::size_t>((position - m_First) % m_Capacity);
    }

    const std::size_t m_Capacity;
    mutable std::mutex m_Mutex;
    std::vector<Slot> m_Slots; // grows to m_Capacity, then is reused in a circle
    std::uint64_t m_First;     // position of the first record ever stored here
    std::uint64_t m_Next;
};

} // namespace nereid::seedlink
