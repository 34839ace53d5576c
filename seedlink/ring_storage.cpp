#include "seedlink/ring_storage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace nereid::seedlink {

namespace {

constexpr char kMagic[12] = {'N', 'E', 'R', 'E', 'I', 'D', 'R', 'I', 'N', 'G', 0, 0};
constexpr std::uint32_t kLayoutVersion = 1;
constexpr std::uint32_t kSlotWritten = 0x534C5254;
// Header bytes the header CRC covers: magic, version, slot size, capacity.
constexpr std::size_t kHeaderCovered = 28;
// Slot bytes the slot CRC covers before the record.
constexpr std::size_t kSlotCovered = 32;

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void PutU64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t GetU32(const std::uint8_t* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = v << 8 | p[i];
    }
    return v;
}

std::uint64_t GetU64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = v << 8 | p[i];
    }
    return v;
}

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

std::string Code(const std::uint8_t* p, std::size_t length) {
    std::string code;
    for (std::size_t i = 0; i < length && p[i] != 0; ++i) {
        code += static_cast<char>(p[i]);
    }
    return code;
}

std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

} // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    crc = ~crc;
    for (std::size_t i = 0; i < length; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

CRingStorage::~CRingStorage() {
    Unmap();
}

void CRingStorage::Unmap() {
    if (m_Base != nullptr) {
        ::munmap(m_Base, m_Length);
        m_Base = nullptr;
    }
    m_Length = 0;
    m_Capacity = 0;
}

void CRingStorage::Swap(CRingStorage& other) noexcept {
    std::swap(m_Fd, other.m_Fd);
    std::swap(m_Base, other.m_Base);
    std::swap(m_Length, other.m_Length);
    std::swap(m_Capacity, other.m_Capacity);
}

bool CRingStorage::MapMemory(std::size_t capacity) {
    Unmap();
    m_Fd.Reset();
    const std::size_t length = kRingHeaderBytes + capacity * kRingSlotBytes;
    // Pages are taken only when written, so a ring that never fills costs what it holds.
    void* base =
        ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        return false;
    }
    m_Base = static_cast<std::uint8_t*>(base);
    m_Length = length;
    m_Capacity = capacity;
    return true;
}

int CRingStorage::Open(const std::string& path, std::size_t capacity, std::string& error) {
    Unmap();
    m_Fd.Reset();
    recording::UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.Valid()) {
        error = SystemError("cannot open the ring file", path, errno);
        return kRingFileFailed;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? "the ring file " + path + " is in use by another process"
                                     : SystemError("cannot lock the ring file", path, errno);
        return errno == EWOULDBLOCK ? kRingFileBusy : kRingFileFailed;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = SystemError("cannot read the ring file", path, errno);
        return kRingFileFailed;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "the ring file " + path + " is not a regular file";
        return kRingFileForeign;
    }
    int result = kRingFileOpened;
    std::array<std::uint8_t, kRingHeaderBytes> header{};
    if (st.st_size == 0) {
        std::memcpy(header.data(), kMagic, sizeof kMagic);
        PutU32(header.data() + 12, kLayoutVersion);
        PutU32(header.data() + 16, static_cast<std::uint32_t>(kRingSlotBytes));
        PutU64(header.data() + 20, capacity);
        PutU32(header.data() + kHeaderCovered, Crc32(header.data(), kHeaderCovered));
        const off_t length = static_cast<off_t>(kRingHeaderBytes + capacity * kRingSlotBytes);
        if (const int rc = ::posix_fallocate(fd.Get(), 0, length); rc != 0) {
            ::ftruncate(fd.Get(), 0); // an empty file is made again next time
            error = SystemError("cannot allocate the ring file", path, rc);
            return kRingFileFailed;
        }
        if (recording::WriteAll(fd.Get(), header.data(), header.size()) != 0 ||
            ::fdatasync(fd.Get()) != 0) {
            error = SystemError("cannot write the ring file", path, errno);
            return kRingFileFailed;
        }
        result = kRingFileCreated;
    } else {
        const ssize_t got = ::pread(fd.Get(), header.data(), header.size(), 0);
        const std::uint64_t fileCapacity = GetU64(header.data() + 20);
        if (got != static_cast<ssize_t>(header.size()) ||
            std::memcmp(header.data(), kMagic, sizeof kMagic) != 0 ||
            GetU32(header.data() + kHeaderCovered) != Crc32(header.data(), kHeaderCovered) ||
            GetU32(header.data() + 12) != kLayoutVersion ||
            GetU32(header.data() + 16) != kRingSlotBytes || fileCapacity == 0 ||
            fileCapacity >
                (static_cast<std::uint64_t>(st.st_size) - kRingHeaderBytes) / kRingSlotBytes) {
            error = "the file " + path + " is not a ring file of this program (or is cut short)";
            return kRingFileForeign;
        }
        capacity = static_cast<std::size_t>(fileCapacity);
    }
    const std::size_t length = kRingHeaderBytes + capacity * kRingSlotBytes;
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd.Get(), 0);
    if (base == MAP_FAILED) {
        error = SystemError("cannot map the ring file", path, errno);
        return kRingFileFailed;
    }
    m_Fd = std::move(fd);
    m_Base = static_cast<std::uint8_t*>(base);
    m_Length = length;
    m_Capacity = capacity;
    return result;
}

void CRingStorage::Write(std::size_t index, std::uint64_t position, const SRecordInfo& info,
                         const char* record) {
    std::uint8_t* slot = SlotAt(index);
    // Invalidate first: a slot caught half-written by a crash must not pass for the old one.
    PutU32(slot + 36, 0);
    std::array<std::uint8_t, kRingSlotHeaderBytes> head{};
    PutU64(head.data(), position);
    PutU64(head.data() + 8, static_cast<std::uint64_t>(info.startNs));
    PutU64(head.data() + 16, static_cast<std::uint64_t>(info.endNs));
    info.location.copy(reinterpret_cast<char*>(head.data() + 24), 2);
    info.channel.copy(reinterpret_cast<char*>(head.data() + 26), 3);
    head[29] = static_cast<std::uint8_t>(info.type);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(record);
    PutU32(head.data() + kSlotCovered,
           Crc32(bytes, kRecordLength, Crc32(head.data(), kSlotCovered)));
    PutU32(head.data() + 36, kSlotWritten);
    std::memcpy(slot + kRingSlotHeaderBytes, record, kRecordLength);
    std::memcpy(slot, head.data(), head.size());
}

bool CRingStorage::Read(std::size_t index, std::uint64_t& position, SRecordInfo& info,
                        char* record) const {
    const std::uint8_t* slot = SlotAt(index);
    if (GetU32(slot + 36) != kSlotWritten ||
        GetU32(slot + kSlotCovered) !=
            Crc32(slot + kRingSlotHeaderBytes, kRecordLength, Crc32(slot, kSlotCovered))) {
        return false;
    }
    position = GetU64(slot);
    info.startNs = static_cast<std::int64_t>(GetU64(slot + 8));
    info.endNs = static_cast<std::int64_t>(GetU64(slot + 16));
    info.location = Code(slot + 24, 2);
    info.channel = Code(slot + 26, 3);
    info.type = static_cast<char>(slot[29]);
    if (record != nullptr) {
        std::memcpy(record, slot + kRingSlotHeaderBytes, kRecordLength);
    }
    return true;
}

int CRingStorage::Sync() {
    if (!m_Fd.Valid()) {
        return 0;
    }
    return ::msync(m_Base, m_Length, MS_SYNC) == 0 ? 0 : errno;
}

} // namespace nereid::seedlink
