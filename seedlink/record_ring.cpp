#include "seedlink/record_ring.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace nereid::seedlink {

CRecordRing::CRecordRing(std::size_t capacity, std::uint64_t firstPosition)
    : m_Capacity(std::max<std::size_t>(capacity, 1)), m_First(firstPosition),
      m_Next(firstPosition) {}

std::uint64_t CRecordRing::Append(const char* record, const SRecordInfo& info) {
    std::lock_guard lock(m_Mutex);
    const std::uint64_t position = m_Next;
    const std::size_t index = SlotIndex(position);
    if (m_Slots.size() < m_Capacity && index == m_Slots.size()) {
        m_Slots.emplace_back();
    }
    Slot& slot = m_Slots[index];
    std::memcpy(slot.data.data(), record, kRecordLength);
    slot.info = info;
    ++m_Next;
    return position;
}

std::uint64_t CRecordRing::Oldest() const {
    std::lock_guard lock(m_Mutex);
    return m_Next - std::min<std::uint64_t>(m_Next - m_First, m_Capacity);
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
    const std::uint64_t oldest = m_Next - std::min<std::uint64_t>(m_Next - m_First, m_Capacity);
    if (position < oldest) {
        return kRingGone;
    }
    const Slot& slot = m_Slots[SlotIndex(position)];
    record = slot.data;
    info = slot.info;
    return kRingRecord;
}

std::uint64_t CRecordRing::Resolve(std::uint32_t sequence, bool& found) const {
    std::lock_guard lock(m_Mutex);
    const std::uint64_t held = std::min<std::uint64_t>(m_Next - m_First, m_Capacity);
    const std::uint64_t oldest = m_Next - held;
    // How far behind the next record the asked number lies, modulo the wire's range.
    const std::uint64_t back =
        (static_cast<std::uint64_t>(m_Next & kSequenceMask) - (sequence & kSequenceMask)) &
        kSequenceMask;
    if (back <= held) {
        found = true;
        return m_Next - back;
    }
    found = false;
    return oldest;
}

std::uint64_t CRecordRing::FirstEndingAfter(std::int64_t ns) const {
    std::lock_guard lock(m_Mutex);
    const std::uint64_t oldest = m_Next - std::min<std::uint64_t>(m_Next - m_First, m_Capacity);
    for (std::uint64_t p = oldest; p < m_Next; ++p) {
        if (m_Slots[SlotIndex(p)].info.endNs >= ns) {
            return p;
        }
    }
    return m_Next;
}

std::vector<SStreamSpan> CRecordRing::Streams() const {
    std::lock_guard lock(m_Mutex);
    std::map<std::string, SStreamSpan> spans;
    const std::uint64_t oldest = m_Next - std::min<std::uint64_t>(m_Next - m_First, m_Capacity);
    for (std::uint64_t p = oldest; p < m_Next; ++p) {
        const SRecordInfo& info = m_Slots[SlotIndex(p)].info;
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
