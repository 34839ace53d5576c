#include "datalink/record_queue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace nereid::datalink {

namespace {

// The file: a header of kHeaderBytes, then `capacity` slots of kSlotBytes; the record at
// position p lives in slot p % capacity. Every number little-endian.
//
// Header                         Slot
//   0   8  magic "NRDLQUE1"        0   4  checksum of bytes 4 .. end of slot
//   8   4  slot size (608)         4   8  position of the record
//  12   4  0                      12   2  record length (bytes)
//  16   8  capacity (slots)       14   1  stream ID length
//  24   8  head position          15   1  0
//  32   8  records held           16   8  first sample (microseconds since the epoch)
//  40   4  checksum of 0 .. 39    24   8  last sample
//  44  20  0                      32  64  stream ID
//                                 96 512  record
constexpr char kMagic[8] = {'N', 'R', 'D', 'L', 'Q', 'U', 'E', '1'};
constexpr std::size_t kHeaderBytes = 64;
constexpr std::size_t kSlotBytes = 96 + kQueueRecordBytes;
constexpr std::size_t kSlotIdOffset = 32;
constexpr std::size_t kSlotDataOffset = 96;

using Header = std::array<unsigned char, kHeaderBytes>;
using Slot = std::array<unsigned char, kSlotBytes>;

void PutLe(unsigned char* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint64_t GetLe(const unsigned char* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return value;
}

// FNV-1a, 32 bits: enough to see a torn or foreign slot.
std::uint32_t Checksum(const unsigned char* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash;
}

off_t SlotOffset(std::uint64_t position, std::size_t capacity) {
    return static_cast<off_t>(kHeaderBytes + (position % capacity) * kSlotBytes);
}

bool WriteAllAt(int fd, const unsigned char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// False on a read error or a file shorter than asked.
bool ReadAllAt(int fd, unsigned char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = pread(fd, data, size, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

struct HeaderFields {
    std::uint64_t capacity = 0;
    std::uint64_t head = 0;
    std::uint64_t count = 0;
};

Header EncodeHeader(const HeaderFields& h) {
    Header header{};
    std::memcpy(header.data(), kMagic, sizeof kMagic);
    PutLe(&header[8], kSlotBytes, 4);
    PutLe(&header[16], h.capacity, 8);
    PutLe(&header[24], h.head, 8);
    PutLe(&header[32], h.count, 8);
    PutLe(&header[40], Checksum(header.data(), 40), 4);
    return header;
}

bool DecodeHeader(const Header& header, HeaderFields& h) {
    if (std::memcmp(header.data(), kMagic, sizeof kMagic) != 0 ||
        GetLe(&header[8], 4) != kSlotBytes ||
        GetLe(&header[40], 4) != Checksum(header.data(), 40)) {
        return false;
    }
    h.capacity = GetLe(&header[16], 8);
    h.head = GetLe(&header[24], 8);
    h.count = GetLe(&header[32], 8);
    return h.capacity > 0 && h.count <= h.capacity && h.head + h.count >= h.head;
}

std::string Reason(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

} // namespace

int CRecordQueue::Create(const std::string& path, std::size_t capacity, std::uint64_t head) {
    m_File.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!m_File.Valid()) {
        m_Error = Reason("cannot make the queue file", path);
        return kQueueCannotOpen;
    }
    m_Capacity = capacity;
    m_Head = head;
    m_Count = 0;
    if (!WriteHeader()) {
        m_Error = Reason("cannot write the queue file", path);
        m_File.Reset();
        return kQueueCannotOpen;
    }
    return kQueueOk;
}

int CRecordQueue::Open(const std::string& path, std::size_t capacity, std::string& note) {
    std::lock_guard lock(m_Mutex);
    capacity = std::max<std::size_t>(capacity, 1);
    m_Path = path;
    m_Dropped = 0;
    note.clear();
    recording::UniqueFd old(open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!old.Valid()) {
        if (errno != ENOENT) {
            m_Error = Reason("cannot open the queue file", path);
            return kQueueCannotOpen;
        }
        note = "new queue file";
        return Create(path, capacity, 0);
    }
    Header header{};
    HeaderFields h;
    if (!ReadAllAt(old.Get(), header.data(), header.size(), 0) || !DecodeHeader(header, h)) {
        old.Reset();
        // An earlier damaged file keeps its name: the first free one of .damaged, .damaged-2 ...
        std::string aside = path + ".damaged";
        struct stat taken {};
        for (int n = 2; stat(aside.c_str(), &taken) == 0 && n <= 1000; ++n) {
            aside = path + ".damaged-" + std::to_string(n);
        }
        if (stat(aside.c_str(), &taken) == 0 || std::rename(path.c_str(), aside.c_str()) != 0) {
            m_Error = Reason("the queue file is damaged and cannot be moved aside", path);
            return kQueueCannotOpen;
        }
        note = "the queue file " + path + " was not readable as a queue; kept as " + aside +
               ", a new one is started";
        return Create(path, capacity, 0);
    }
    if (h.capacity != capacity) {
        return Migrate(path, capacity, h.head, h.count, static_cast<std::size_t>(h.capacity), note);
    }
    m_File = std::move(old);
    m_Capacity = capacity;
    m_Head = h.head;
    m_Count = h.count;
    note = std::to_string(m_Count) + " records left from before";
    return kQueueOk;
}

int CRecordQueue::Migrate(const std::string& path, std::size_t capacity, std::uint64_t head,
                          std::uint64_t count, std::size_t oldCapacity, std::string& note) {
    // The old file is read through a queue of its own size; the new one is filled beside it and
    // takes its name only when every record that fits was written and synced.
    CRecordQueue old;
    old.m_File.Reset(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    old.m_Capacity = oldCapacity;
    old.m_Head = head;
    old.m_Count = count;
    const std::string fresh = path + ".new";
    const std::uint64_t end = head + count;
    const std::uint64_t first = count > capacity ? end - capacity : head;
    if (Create(fresh, capacity, first) != kQueueOk) {
        return kQueueCannotOpen;
    }
    std::uint64_t damaged = 0;
    for (std::uint64_t p = first; p < end; ++p) {
        SQueuedRecord record;
        if (old.ReadSlot(p, record) != kQueueOk) {
            ++damaged; // its place stays empty, read back as damaged and skipped
        } else if (!WriteSlot(p, record)) {
            m_Error = Reason("cannot write the queue file", fresh);
            m_File.Reset();
            return kQueueCannotOpen;
        }
        ++m_Count;
        if (!WriteHeader()) {
            m_Error = Reason("cannot write the queue file", fresh);
            m_File.Reset();
            return kQueueCannotOpen;
        }
    }
    if (fdatasync(m_File.Get()) != 0 || std::rename(fresh.c_str(), path.c_str()) != 0) {
        m_Error = Reason("cannot put the resized queue file in place", path);
        m_File.Reset();
        return kQueueCannotOpen;
    }
    m_Dropped = first - head;
    note = "resized from " + std::to_string(oldCapacity) + " to " + std::to_string(capacity) +
           " records; " + std::to_string(m_Count) + " records left from before";
    if (first != head) {
        note += ", the " + std::to_string(first - head) + " oldest did not fit and were dropped";
    }
    if (damaged > 0) {
        note += ", " + std::to_string(damaged) + " were damaged";
    }
    return kQueueOk;
}

bool CRecordQueue::WriteHeader() {
    const Header header = EncodeHeader({m_Capacity, m_Head, m_Count});
    return WriteAllAt(m_File.Get(), header.data(), header.size(), 0);
}

bool CRecordQueue::WriteSlot(std::uint64_t position, const SQueuedRecord& record) {
    Slot slot{};
    PutLe(&slot[4], position, 8);
    PutLe(&slot[12], record.data.size(), 2);
    PutLe(&slot[14], record.streamId.size(), 1);
    PutLe(&slot[16], static_cast<std::uint64_t>(record.startUs), 8);
    PutLe(&slot[24], static_cast<std::uint64_t>(record.endUs), 8);
    std::memcpy(&slot[kSlotIdOffset], record.streamId.data(), record.streamId.size());
    std::memcpy(&slot[kSlotDataOffset], record.data.data(), record.data.size());
    PutLe(&slot[0], Checksum(&slot[4], kSlotBytes - 4), 4);
    return WriteAllAt(m_File.Get(), slot.data(), slot.size(), SlotOffset(position, m_Capacity));
}

int CRecordQueue::ReadSlot(std::uint64_t position, SQueuedRecord& record) const {
    Slot slot{};
    if (!ReadAllAt(m_File.Get(), slot.data(), slot.size(), SlotOffset(position, m_Capacity)) ||
        GetLe(&slot[0], 4) != Checksum(&slot[4], kSlotBytes - 4) ||
        GetLe(&slot[4], 8) != position) {
        return kQueueDamagedSlot;
    }
    const std::size_t length = GetLe(&slot[12], 2);
    const std::size_t idLength = slot[14];
    if (length == 0 || length > kQueueRecordBytes || idLength == 0 ||
        idLength >= kQueueStreamIdBytes) {
        return kQueueDamagedSlot;
    }
    record.startUs = static_cast<std::int64_t>(GetLe(&slot[16], 8));
    record.endUs = static_cast<std::int64_t>(GetLe(&slot[24], 8));
    record.streamId.assign(reinterpret_cast<const char*>(&slot[kSlotIdOffset]), idLength);
    record.data.assign(reinterpret_cast<const char*>(&slot[kSlotDataOffset]), length);
    return kQueueOk;
}

int CRecordQueue::Push(const SQueuedRecord& record) {
    if (record.data.empty() || record.data.size() > kQueueRecordBytes || record.streamId.empty() ||
        record.streamId.size() >= kQueueStreamIdBytes) {
        return kQueueBadRecord;
    }
    std::lock_guard lock(m_Mutex);
    if (!m_File.Valid()) {
        return kQueueWriteFailed;
    }
    const std::uint64_t head = m_Head;
    const std::uint64_t count = m_Count;
    const bool full = m_Count == m_Capacity;
    if (full) {
        // The slot of the oldest is overwritten: it gives way before the write.
        ++m_Head;
        --m_Count;
        ++m_Dropped;
    }
    if (!WriteSlot(m_Head + m_Count, record)) {
        m_Error = Reason("cannot write the queue file", m_Path);
        m_Head = head;
        m_Count = count;
        m_Dropped -= full ? 1 : 0;
        return kQueueWriteFailed;
    }
    ++m_Count;
    if (!WriteHeader()) {
        m_Error = Reason("cannot write the queue file", m_Path);
        return kQueueWriteFailed;
    }
    return kQueueOk;
}

int CRecordQueue::Get(std::uint64_t position, SQueuedRecord& record) const {
    std::lock_guard lock(m_Mutex);
    if (!m_File.Valid() || position < m_Head || position >= m_Head + m_Count) {
        return kQueueNotHeld;
    }
    return ReadSlot(position, record);
}

int CRecordQueue::RemoveBefore(std::uint64_t position) {
    std::lock_guard lock(m_Mutex);
    if (!m_File.Valid() || position <= m_Head) {
        return kQueueOk;
    }
    const std::uint64_t gone = std::min<std::uint64_t>(position - m_Head, m_Count);
    m_Head += gone;
    m_Count -= gone;
    return WriteHeader() ? kQueueOk : kQueueWriteFailed;
}

int CRecordQueue::SyncToDisk() {
    int fd = -1;
    {
        std::lock_guard lock(m_Mutex);
        fd = m_File.Get();
    }
    // Not under the lock: a slow disk must not hold up the feed's pushes. The descriptor lives
    // as long as the queue, and only the queue's owner closes it.
    return fd >= 0 && fdatasync(fd) == 0 ? kQueueOk : kQueueWriteFailed;
}

std::uint64_t CRecordQueue::Head() const {
    std::lock_guard lock(m_Mutex);
    return m_Head;
}

std::uint64_t CRecordQueue::End() const {
    std::lock_guard lock(m_Mutex);
    return m_Head + m_Count;
}

std::size_t CRecordQueue::Size() const {
    std::lock_guard lock(m_Mutex);
    return static_cast<std::size_t>(m_Count);
}

std::uint64_t CRecordQueue::Dropped() const {
    std::lock_guard lock(m_Mutex);
    return m_Dropped;
}

} // namespace nereid::datalink
