#include "seedlink/record_ring.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <new>

#include "recording/unique_fd.h"

namespace nereid::seedlink {

namespace {

constexpr std::uint64_t kNoRecord = std::numeric_limits<std::uint64_t>::max();

// The run of records a storage holds: the newest complete record and, going back, every
// record before it as long as none is missing or torn. False when it holds none.
bool FindRun(const CRingStorage& storage, std::uint64_t& oldest, std::uint64_t& next) {
    const std::size_t capacity = storage.Capacity();
    std::vector<std::uint64_t> positions(capacity, kNoRecord);
    std::uint64_t newest = 0;
    bool any = false;
    SRecordInfo info;
    for (std::size_t i = 0; i < capacity; ++i) {
        std::uint64_t position = 0;
        if (storage.Read(i, position, info, nullptr) && position % capacity == i) {
            positions[i] = position;
            if (!any || position > newest) {
                newest = position;
            }
            any = true;
        }
    }
    if (!any) {
        return false;
    }
    std::uint64_t first = newest;
    while (first > 0 && newest - (first - 1) < capacity &&
           positions[(first - 1) % capacity] == first - 1) {
        --first;
    }
    oldest = first;
    next = newest + 1;
    return true;
}

// Makes a rename in `path`'s folder durable. Returns 0 or the errno value.
int SyncFolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    recording::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid() || ::fsync(fd.Get()) != 0) {
        return errno;
    }
    return 0;
}

} // namespace

std::size_t RecordsForMinutes(const std::vector<double>& sampleRates, double minutes,
                              double latencySeconds) {
    constexpr double kFewestSamplesPerRecord = 103;
    double records = 0;
    for (const double rate : sampleRates) {
        if (rate > 0) {
            records += minutes * 60 *
                       std::max(rate / kFewestSamplesPerRecord, 1 / std::max(latencySeconds, 0.1));
        }
    }
    return static_cast<std::size_t>(std::ceil(records * 1.02)) + 16 * sampleRates.size() + 64;
}

CRecordRing::CRecordRing(std::size_t capacity, std::uint64_t firstPosition)
    : m_Capacity(std::max<std::size_t>(capacity, 1)), m_Oldest(firstPosition),
      m_Written(firstPosition), m_Next(firstPosition) {
    if (!m_Storage.MapMemory(m_Capacity)) {
        throw std::bad_alloc();
    }
}

CRecordRing::~CRecordRing() {
    StopWriter();
}

void CRecordRing::StopWriter() {
    if (!m_Writer.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_Mutex);
        m_StopWriter = true;
    }
    m_Changed.notify_all();
    m_Writer.join();
}

int CRecordRing::OpenFile(const std::string& path, std::string& error) {
    StopWriter();
    std::lock_guard lock(m_Mutex);
    CRingStorage existing;
    int result = existing.Open(path, m_Capacity, error);
    if (result < 0) {
        return result;
    }
    std::uint64_t oldest = 0;
    std::uint64_t next = 0;
    const bool held = FindRun(existing, oldest, next);
    if (existing.Capacity() == m_Capacity) {
        m_Storage.Swap(existing);
    } else {
        // Made for another capacity: the newest records that fit go into a new file, which
        // replaces the old one only once it is on the disk.
        const std::string fresh = path + ".resize";
        ::unlink(fresh.c_str());
        if (m_Storage.Open(fresh, m_Capacity, error) < 0) {
            m_Storage.MapMemory(m_Capacity);
            return kRingFileFailed;
        }
        if (held) {
            oldest = std::max<std::uint64_t>(oldest, next > m_Capacity ? next - m_Capacity : 0);
            std::array<char, kRecordLength> record{};
            SRecordInfo info;
            for (std::uint64_t p = oldest; p < next; ++p) {
                std::uint64_t position = 0;
                existing.Read(static_cast<std::size_t>(p % existing.Capacity()), position, info,
                              record.data());
                m_Storage.Write(SlotIndex(p), p, info, record.data());
            }
        }
        int rc = m_Storage.Sync();
        if (rc == 0 && ::rename(fresh.c_str(), path.c_str()) != 0) {
            rc = errno;
        }
        if (rc != 0) {
            error = "cannot rewrite the ring file " + path + " for " + std::to_string(m_Capacity) +
                    " records: " + std::strerror(rc);
            ::unlink(fresh.c_str());
            m_Storage.MapMemory(m_Capacity);
            return kRingFileFailed;
        }
        SyncFolderOf(path);
    }
    m_Infos.clear();
    if (held) {
        m_Infos.resize(std::min<std::size_t>(m_Capacity, static_cast<std::size_t>(next)));
        for (std::uint64_t p = oldest; p < next; ++p) {
            std::uint64_t position = 0;
            m_Storage.Read(SlotIndex(p), position, m_Infos[SlotIndex(p)], nullptr);
        }
        m_Oldest = oldest;
        m_Written = next;
        m_Next = next;
        TrimLocked();
    } else {
        m_Oldest = m_Written = m_Next = std::max(m_Written, m_Next);
    }
    m_StopWriter = false;
    m_Writer = std::thread([this] { PublishLoop(); });
    return result;
}

void CRecordRing::SetSpan(std::int64_t spanNs) {
    std::lock_guard lock(m_Mutex);
    m_SpanNs = std::max<std::int64_t>(spanNs, 0);
    TrimLocked();
}

void CRecordRing::SetPublishListener(std::function<void()> listener) {
    // Also waits for a call under way, so that what the old listener refers to may go.
    std::lock_guard calling(m_ListenerMutex);
    m_Published = std::move(listener);
}

void CRecordRing::CallListener() {
    std::lock_guard calling(m_ListenerMutex);
    if (m_Published) {
        m_Published();
    }
}

bool CRecordRing::Persistent() const {
    std::lock_guard lock(m_Mutex);
    return m_Storage.IsFile();
}

void CRecordRing::TrimLocked() {
    if (m_SpanNs <= 0 || m_Written == m_Oldest) {
        return;
    }
    // Against the newest record made, not the latest time seen: a clock set back must not
    // empty the ring.
    const std::int64_t newestEnd = m_Infos[SlotIndex(m_Written - 1)].endNs;
    while (m_Oldest + 1 < m_Written && m_Infos[SlotIndex(m_Oldest)].endNs < newestEnd - m_SpanNs) {
        ++m_Oldest;
    }
}

std::uint64_t CRecordRing::Append(const char* record, const SRecordInfo& info) {
    std::unique_lock lock(m_Mutex);
    const std::uint64_t position = m_Written;
    const std::size_t index = SlotIndex(position);
    if (position - m_Oldest >= m_Capacity) {
        m_Oldest = position + 1 - m_Capacity;
    }
    m_Storage.Write(index, position, info, record);
    if (index >= m_Infos.size()) {
        m_Infos.resize(index + 1);
    }
    m_Infos[index] = info;
    ++m_Written;
    TrimLocked();
    if (m_Storage.IsFile()) {
        lock.unlock();
        m_Changed.notify_all();
        return position;
    }
    m_Next = m_Written;
    lock.unlock();
    CallListener();
    return position;
}

void CRecordRing::PublishLoop() {
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Changed.wait(lock, [this] { return m_StopWriter || m_Written != m_Next; });
        if (m_Written == m_Next) {
            break; // asked to stop, and everything is out
        }
        const std::uint64_t target = m_Written;
        lock.unlock();
        // Appends go on meanwhile; they are flushed in the next round.
        const int error = m_Storage.Sync();
        lock.lock();
        if (error != 0) {
            m_SyncError = error; // the clients are served on; the file may lack these records
        }
        m_Next = target;
        lock.unlock();
        m_Changed.notify_all();
        CallListener();
        lock.lock();
    }
}

int CRecordRing::Flush() {
    std::unique_lock lock(m_Mutex);
    if (!m_Storage.IsFile()) {
        return 0;
    }
    m_Changed.wait(lock, [this] { return m_Next == m_Written || !m_Writer.joinable(); });
    return m_SyncError;
}

std::uint64_t CRecordRing::Oldest() const {
    std::lock_guard lock(m_Mutex);
    return m_Oldest;
}

std::uint64_t CRecordRing::Next() const {
    std::lock_guard lock(m_Mutex);
    return m_Next;
}

int CRecordRing::Get(std::uint64_t position, std::array<char, kRecordLength>& record,
                     SRecordInfo& info) const {
    std::lock_guard lock(m_Mutex);
    if (position >= m_Next) {
        return kRingNotYet;
    }
    if (position < m_Oldest) {
        return kRingGone;
    }
    const std::size_t index = SlotIndex(position);
    std::memcpy(record.data(), m_Storage.RecordAt(index), kRecordLength);
    info = m_Infos[index];
    return kRingRecord;
}

std::uint64_t CRecordRing::Resolve(std::uint32_t sequence, bool& found) const {
    std::lock_guard lock(m_Mutex);
    const std::uint64_t oldest = std::min(m_Oldest, m_Next);
    const std::uint64_t held = m_Next - oldest;
    // How far behind the next record the asked number lies, modulo the wire's range.
    const std::uint64_t back =
        (static_cast<std::uint64_t>(m_Next & kSequenceMask) - (sequence & kSequenceMask)) &
        kSequenceMask;
    if (back <= held) {
        found = true;
        return m_Next - back;
    }
    found = false;
    return m_Oldest;
}

std::uint64_t CRecordRing::Locate(std::uint64_t sequence, bool& found) const {
    std::lock_guard lock(m_Mutex);
    found = sequence >= m_Oldest && sequence <= m_Next;
    return found ? sequence : m_Oldest;
}

std::uint64_t CRecordRing::FirstEndingAfter(std::int64_t ns) const {
    std::lock_guard lock(m_Mutex);
    for (std::uint64_t p = m_Oldest; p < m_Next; ++p) {
        if (m_Infos[SlotIndex(p)].endNs >= ns) {
            return p;
        }
    }
    return m_Next;
}

std::vector<SStreamSpan> CRecordRing::Streams() const {
    std::lock_guard lock(m_Mutex);
    std::map<std::string, SStreamSpan> spans;
    for (std::uint64_t p = m_Oldest; p < m_Next; ++p) {
        const SRecordInfo& info = m_Infos[SlotIndex(p)];
        const std::string key = info.location + "." + info.channel + "." + info.type;
        auto [it, inserted] = spans.try_emplace(key);
        SStreamSpan& s = it->second;
        if (inserted) {
            s.location = info.location;
            s.channel = info.channel;
            s.type = info.type;
            s.beginNs = info.startNs;
            s.endNs = info.endNs;
        } else {
            s.beginNs = std::min(s.beginNs, info.startNs);
            s.endNs = std::max(s.endNs, info.endNs);
        }
    }
    std::vector<SStreamSpan> out;
    for (auto& [key, span] : spans) {
        out.push_back(span);
    }
    return out;
}

} // namespace nereid::seedlink
