#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "recording/intake_observer.h"
#include "seedlink/record_ring.h"

namespace nereid::seedlink {

// Turns one channel's samples into 512-byte miniSEED records, handing each finished record to
// the sink it was made with.
class IRecordPacker {
public:
    virtual ~IRecordPacker() = default;
    // Samples from `startTimeNs` on; a start that does not follow the previous samples closes
    // the record under way first. Returns 0 or a negative error code.
    virtual int AddSamples(std::int64_t startTimeNs, const std::int32_t* samples, int count) = 0;
    // Closes the record under way, however full. Returns 0 or a negative error code.
    virtual int Flush() = 0;
};

// One channel of the recorder as a SEED stream.
struct SFeedStream {
    std::string network;
    std::string station;
    std::string location;
    std::string channel; // SEED channel code, e.g. "HHZ"
    double sampleRate = 0;
};

using RecordSink = std::function<int(const char* record, int length)>;
using PackerFactory =
    std::function<std::unique_ptr<IRecordPacker>(const SFeedStream& stream, RecordSink sink)>;

// Watches the intake and puts every stored second into the ring as records; a gap-filled
// second closes the record under way, so a gap stays a gap. Runs on the receiver thread; set
// streams and flush only while that thread is stopped or parked.
class CStreamFeed : public recording::CIntakeObserver {
public:
    // `notify` is called after records were added (the server's wake-up).
    CStreamFeed(CRecordRing& ring, PackerFactory factory, std::function<void()> notify);

    // Serves recorder channel `channel` as `stream` (replacing what it was).
    void SetStream(int channel, const SFeedStream& stream);
    // Closes every record under way (end of a connection, the service stopping).
    void FlushAll();

    void OnFrameStored(int channel, std::uint32_t second, const std::int32_t* samples,
                       int count) override;
    void OnGapRow(int channel, std::uint32_t second) override;

    // Seconds stored since the start, records made, records refused by the packer or the ring.
    std::uint64_t SecondsSeen() const { return m_Seconds.load(); }
    std::uint64_t RecordsMade() const { return m_Records.load(); }
    std::uint64_t Failures() const { return m_Failures.load(); }

private:
    struct Channel {
        SFeedStream stream;
        std::unique_ptr<IRecordPacker> packer;
    };
    int TakeRecord(const SFeedStream& stream, const char* record, int length);

    CRecordRing& m_Ring;
    PackerFactory m_Factory;
    std::function<void()> m_Notify;
    std::map<int, Channel> m_Channels;
    std::atomic<std::uint64_t> m_Seconds{0};
    std::atomic<std::uint64_t> m_Records{0};
    std::atomic<std::uint64_t> m_Failures{0};
};

// What the ring needs to know of a finished record, read from its fixed header; false when the
// bytes are not a miniSEED record.
bool DescribeRecord(const char* record, int length, SRecordInfo& info);

} // namespace nereid::seedlink
