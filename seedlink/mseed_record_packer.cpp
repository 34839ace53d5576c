#include "seedlink/mseed_record_packer.h"

#include <algorithm>

#include "recording/mseed_packer.h"

namespace nereid::seedlink {

namespace {

class CMseedRecordPacker : public IRecordPacker {
public:
    CMseedRecordPacker(const SFeedStream& stream, RecordSink sink, double maxLatencySeconds,
                       bool fullRecordsAtOnce)
        : m_Packer(recording::SMseedStreamId{stream.network, stream.station, stream.location,
                                             stream.channel},
                   stream.sampleRate, std::move(sink)),
          m_HoldSamples(std::max<std::size_t>(
              1, static_cast<std::size_t>(stream.sampleRate * maxLatencySeconds))),
          m_FullRecordsAtOnce(fullRecordsAtOnce) {}

    int AddSamples(std::int64_t startTimeNs, const std::int32_t* samples, int count) override {
        const int packed = m_Packer.AddSamples(startTimeNs, samples, count);
        if (packed < 0) {
            return packed;
        }
        if (m_Packer.BufferedSamples() >= m_HoldSamples) {
            const int flushed = m_Packer.Flush();
            return flushed < 0 ? flushed : 0;
        }
        const int full = m_FullRecordsAtOnce ? m_Packer.PackFullRecords() : 0;
        return full < 0 ? full : 0;
    }

    int Flush() override {
        const int flushed = m_Packer.Flush();
        return flushed < 0 ? flushed : 0;
    }

private:
    recording::CMseedPacker m_Packer;
    const std::size_t m_HoldSamples;
    const bool m_FullRecordsAtOnce;
};

} // namespace

PackerFactory MseedPackerFactory(double maxLatencySeconds, bool fullRecordsAtOnce) {
    return [maxLatencySeconds, fullRecordsAtOnce](const SFeedStream& stream, RecordSink sink) {
        return std::unique_ptr<IRecordPacker>(std::make_unique<CMseedRecordPacker>(
            stream, std::move(sink), maxLatencySeconds, fullRecordsAtOnce));
    };
}

} // namespace nereid::seedlink
