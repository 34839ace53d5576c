#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "recording/unique_fd.h"
#include "seedlink/record_info.h"

namespace nereid::seedlink {

// The ring file, little-endian throughout:
//   header (4096 bytes): "NEREIDRING\0\0" magic, u32 layout version (1), u32 slot size (576),
//     u64 capacity in slots, u32 CRC-32 of the 28 bytes before it; the rest zero.
//   capacity slots of 576 bytes each, slot i holding the record whose position p has
//   p % capacity == i:
//     u64 position, s64 start ns, s64 end ns, location (2 bytes, NUL padded), channel
//     (3 bytes), type (1 byte), u16 zero, u32 CRC-32 of bytes 0..31 and of the record,
//     u32 0x534C5254 ("TRLS", set once the slot was ever written), 24 zero bytes,
//     the 512-byte miniSEED record.
// A slot whose CRC does not match (a write cut off by a crash or a power loss) counts as
// empty; the file is allocated in full when created, so writing through the mapping never
// meets a full disk.
constexpr std::size_t kRingHeaderBytes = 4096;
constexpr std::size_t kRingSlotHeaderBytes = 64;
constexpr std::size_t kRingSlotBytes = kRingSlotHeaderBytes + kRecordLength;

// Results of CRingStorage::Open (and CRecordRing::OpenFile).
enum RingFileResult : int {
    kRingFileOpened = 1,   // an existing ring file was read
    kRingFileCreated = 0,  // a new, empty ring file was made
    kRingFileFailed = -1,  // cannot create, open, size or map it (the error text says why)
    kRingFileBusy = -2,    // another process has it open
    kRingFileForeign = -3, // the file is not a ring file (left untouched)
};

// The slots of a ring, mapped from its file or from anonymous memory. Not thread-safe; the
// ring serialises access.
class CRingStorage {
public:
    CRingStorage() = default;
    ~CRingStorage();
    CRingStorage(const CRingStorage&) = delete;
    CRingStorage& operator=(const CRingStorage&) = delete;

    // Memory that is lost with the process. Returns false when it cannot be mapped.
    bool MapMemory(std::size_t capacity);
    // Opens `path` (locked against a second process) or creates it with `capacity` slots;
    // an existing file keeps the capacity it was made with (see Capacity()). `error` says
    // what went wrong, naming the path.
    int Open(const std::string& path, std::size_t capacity, std::string& error);

    // Exchanges what the two map (and the file lock with it).
    void Swap(CRingStorage& other) noexcept;

    std::size_t Capacity() const { return m_Capacity; }
    bool IsFile() const { return m_Fd.Valid(); }

    void Write(std::size_t index, std::uint64_t position, const SRecordInfo& info,
               const char* record);
    // False when slot `index` was never written or was torn; `record` may be null.
    bool Read(std::size_t index, std::uint64_t& position, SRecordInfo& info, char* record) const;
    // The record bytes of a slot written by this process (unchecked).
    const char* RecordAt(std::size_t index) const {
        return reinterpret_cast<const char*>(SlotAt(index) + kRingSlotHeaderBytes);
    }

    // Flushes what was written to the disk. Returns 0 or the errno value.
    int Sync();

private:
    void Unmap();
    std::uint8_t* SlotAt(std::size_t index) const {
        return m_Base + kRingHeaderBytes + index * kRingSlotBytes;
    }

    recording::UniqueFd m_Fd;
    std::uint8_t* m_Base = nullptr;
    std::size_t m_Length = 0;
    std::size_t m_Capacity = 0;
};

// CRC-32 (IEEE 802.3, the one of zlib), continuing from `crc` (0 to start).
std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc = 0);

} // namespace nereid::seedlink
