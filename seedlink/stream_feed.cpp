#include "seedlink/stream_feed.h"

#include <libmseed.h>

#include <cstring>
#include <vector>

namespace nereid::seedlink {

bool DescribeRecord(const char* record, int length, SRecordInfo& info) {
    if (length != static_cast<int>(kRecordLength)) {
        return false;
    }
    // libmseed's reader wants a writable record; the header is all it decodes here.
    std::vector<char> copy(record, record + length);
    MSRecord* msr = nullptr;
    if (msr_unpack(copy.data(), length, &msr, 0, 0) != MS_NOERROR) {
        msr_free(&msr);
        return false;
    }
    info.location = msr->location;
    info.channel = msr->channel;
    info.type = 'D';
    constexpr std::int64_t kNsPerTick = 1000000000LL / HPTMODULUS;
    info.startNs = static_cast<std::int64_t>(msr->starttime) * kNsPerTick;
    info.endNs = static_cast<std::int64_t>(msr_endtime(msr)) * kNsPerTick;
    msr_free(&msr);
    return true;
}

CStreamFeed::CStreamFeed(CRecordRing& ring, PackerFactory factory, std::function<void()> notify)
    : m_Ring(ring), m_Factory(std::move(factory)), m_Notify(std::move(notify)) {}

void CStreamFeed::SetStream(int channel, const SFeedStream& stream) {
    Channel& c = m_Channels[channel];
    if (c.packer) {
        c.packer->Flush();
    }
    c.stream = stream;
    c.packer = m_Factory(stream, [this, stream](const char* record, int length) {
        return TakeRecord(stream, record, length);
    });
}

int CStreamFeed::TakeRecord(const SFeedStream& stream, const char* record, int length) {
    SRecordInfo info;
    if (!DescribeRecord(record, length, info)) {
        m_Failures.fetch_add(1);
        return -1;
    }
    // The packer's codes are the stream's; the header's are trusted only for times.
    info.location = stream.location;
    info.channel = stream.channel;
    m_Ring.Append(record, info);
    m_Records.fetch_add(1);
    if (m_Notify) {
        m_Notify();
    }
    return 0;
}

void CStreamFeed::FlushAll() {
    for (auto& [number, channel] : m_Channels) {
        if (channel.packer && channel.packer->Flush() < 0) {
            m_Failures.fetch_add(1);
        }
    }
}

void CStreamFeed::OnFrameStored(int channel, std::uint32_t second, const std::int32_t* samples,
                                int count) {
    m_Seconds.fetch_add(1);
    const auto it = m_Channels.find(channel);
    if (it == m_Channels.end() || !it->second.packer || count <= 0) {
        return;
    }
    const std::int64_t startNs = static_cast<std::int64_t>(second) * 1000000000LL;
    if (it->second.packer->AddSamples(startNs, samples, count) < 0) {
        m_Failures.fetch_add(1);
    }
}

void CStreamFeed::OnGapRow(int channel, std::uint32_t) {
    const auto it = m_Channels.find(channel);
    if (it != m_Channels.end() && it->second.packer && it->second.packer->Flush() < 0) {
        m_Failures.fetch_add(1);
    }
}

} // namespace nereid::seedlink
