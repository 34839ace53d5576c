#include "recording/channel_table.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

#include "recording/intake_state.h"
#include "recording/pausable.h"

namespace nereid::recording {

std::size_t CChannelTable::DecodeBufferBytes(int maxRate) {
    const std::size_t frame = 3 * static_cast<std::size_t>(std::max(maxRate, 0)) + 13;
    return std::max<std::size_t>(frame, 2048) + 4;
}

RtChannel* CChannelTable::Find(int channel) {
    auto it = m_ChanMap.find(static_cast<std::uint16_t>(channel));
    return it == m_ChanMap.end() ? nullptr : &it->second;
}

void CChannelTable::FreeChannels() {
    m_ChanMap.clear();
}

int CChannelTable::RebuildChannels(const CStreamList& streams, CPausable* thread,
                                   CIntakeState* state, const DecodeBufferSizer& sizeDecodeBuffer) {
    m_LastError.clear();
    if (thread != nullptr && thread->Park() != 1) {
        m_LastError = kThreadWaitFailureText;
        return kRebuildThreadWaitFailed;
    }
    FreeChannels();
    if (state != nullptr) {
        // Fresh channels have no latest second: the next frame realigns them all instead of
        // filling up to 119 zero rows per channel.
        state->m_LastSecond.store(0);
    }

    std::error_code ec;
    const std::string directory = std::filesystem::current_path(ec).string();
    int result = 1;
    int maxRate = 0;
    std::size_t ringBytes = 0;
    try {
        for (const StreamEntry& stream : streams.Streams()) {
            const int number = std::atoi(stream.number.c_str());
            if (!stream.enabled || number < 1 || number > 16) {
                continue;
            }
            RtChannel rec;
            rec.rate = std::max(stream.rate, 0);
            const std::size_t samples = static_cast<std::size_t>(kRingRows) * rec.rate;
            ringBytes += samples * sizeof(std::int32_t);
            if (ringBytes > m_RingByteLimit) {
                throw std::bad_alloc();
            }
            rec.ring.assign(samples, 0);
            rec.fileName = "DChan" + std::to_string(number) + ".dat";
            rec.directory = directory;
            rec.recordEnable = number <= 4;
            maxRate = std::max(maxRate, rec.rate);
            m_ChanMap.insert_or_assign(static_cast<std::uint16_t>(number), std::move(rec));
        }
    } catch (const std::bad_alloc&) {
        m_LastError = kMemoryFailureText;
        result = kRebuildMemoryFailed;
    }
    if (sizeDecodeBuffer && sizeDecodeBuffer(DecodeBufferBytes(maxRate)) != 1) {
        m_LastError = kMemoryFailureText;
        result = kRebuildMemoryFailed;
    }
    // The thread continues in every case: a table left partial is still consistent.
    if (thread != nullptr) {
        thread->Resume();
    }
    return result;
}

} // namespace nereid::recording
