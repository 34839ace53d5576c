#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct MSRecord_s;

namespace nereid::recording {

// SEED stream codes of one channel: network (1-2), station (1-5), location (0-2), channel (3).
struct SMseedStreamId {
    std::string network, station, location, channel;
};

// Channel number (1..16) -> SEED component letter, e.g. 1 -> 'Z', 2 -> 'N', 3 -> 'E'.
using MseedComponentMap = std::map<int, char>;

inline constexpr const char* kDefaultMseedNetworkCode = "XX";

// The settings that shape miniSEED stream codes (profile or command line).
struct SMseedOptions {
    std::string network = kDefaultMseedNetworkCode;
    MseedComponentMap components;
};

inline constexpr const char* kDefaultMseedNetwork = kDefaultMseedNetworkCode;
// Every record is this long (the record length code 9 of blockette 1000).
inline constexpr int kMseedRecordLength = 512;

// Writes a stream's codes (each cut to libmseed's 10 characters), quality 'D', the record
// length and the sample rate into `msr`: what every record of the stream shares.
void SetMseedStreamFields(MSRecord_s* msr, const SMseedStreamId& id, double sampleRate);

// The SEED band code for a sample rate, taking the sensor as broadband (corner period of 10 s
// or more), which is what stations feeding a network usually run: F >= 1000, C >= 250,
// H >= 80, B >= 10, M > 1, L about 1, V about 0.1, U below.
char SeedBandCode(double sampleRate);

// Recorder channels c and c + 8 (c = 1..8) are the primary and the secondary stream of the
// same sensor channel c. Returns c (0 for a number outside 1..16).
int SensorChannel(int channel);

// Band code + 'H' (high-gain seismometer) + component, so that the two streams of a sensor
// channel differ by band only. The component: the map's letter for the channel itself (older
// settings could name a secondary stream on its own), else for its sensor channel, else the
// sensor channel's digit "1".."8" (orientation unknown).
std::string SeedChannelCode(double sampleRate, int channel, const MseedComponentMap& components);

// Location code of a channel: empty, except "01" for a secondary stream (9..16) whose band
// code is its primary's (`partnerRate`: the other stream's rate, 0 when it has none), where
// the band alone cannot tell the two apart.
std::string SeedLocationCode(int channel, double sampleRate, double partnerRate);

// Station code from the recorder's station name: upper case, letters and digits only, at most
// five; the unit number (its last five digits) when nothing is left.
std::string SeedStationCode(const std::string& stationName, std::uint16_t unit);

// One or two upper-case letters or digits.
bool IsValidSeedNetworkCode(const std::string& code);

// Parses "1=Z,2=N,3=E" (spaces allowed, letters or digits as components, channels 1..16).
// An empty text gives an empty map. False (and `error` says why, `out` untouched) when bad.
bool ParseMseedComponentMap(const std::string& text, MseedComponentMap& out, std::string* error);
// The text form read back by ParseMseedComponentMap.
std::string FormatMseedComponentMap(const MseedComponentMap& components);

// Time from a stream's first sample to the one `samples` later, in ns: whole seconds exactly
// for integer rates, so that a months-long stream does not drift.
std::int64_t SampleOffsetNs(double sampleRate, std::int64_t samples);

// Packs the samples of one stream into 512-byte Steim-2 records (big-endian, quality 'D') and
// hands each to a sink. Samples are buffered until a record is full; a start time that does
// not continue the buffered samples (a gap, or a jump back) first flushes what is buffered,
// so a gap in the input stays a gap in the records. libmseed packs a record only once more
// samples wait than the fullest record could hold (735 for Steim-2 in 512 bytes), so a live
// stream that must go out sooner calls Flush. Not thread-safe: one packer per thread.
class CMseedPacker {
public:
    // Gets every finished record; a negative return is an error, reported by the call that
    // packed the record.
    using RecordSink = std::function<int(const char* record, int length)>;

    // Result codes besides a record count.
    static constexpr int kBadArgument = -1; // null samples, negative count, no rate
    static constexpr int kPackFailed = -2;  // libmseed refused (e.g. a step too large for Steim-2)
    static constexpr int kSinkFailed = -3;  // the sink returned < 0

    CMseedPacker(SMseedStreamId id, double sampleRate, RecordSink sink);
    ~CMseedPacker();
    CMseedPacker(const CMseedPacker&) = delete;
    CMseedPacker& operator=(const CMseedPacker&) = delete;

    // `startTimeNs`: UTC time of samples[0] in ns since 1970. Returns the records emitted
    // (>= 0) or a result code above; on an error the samples not packed stay buffered.
    int AddSamples(std::int64_t startTimeNs, const std::int32_t* samples, int count);
    // Packs everything buffered, the last record partly filled. Records emitted or < 0.
    int Flush();
    // Packs every record the buffered samples fill, leaving the samples of a record not yet
    // full buffered: a live stream sends a record as soon as it is full instead of once the
    // packer's own buffer is (libmseed waits for more samples than a record can hold, about
    // 7 s of a 100 samples/s stream). The records are those Flush and AddSamples would have
    // made. Records emitted or < 0.
    int PackFullRecords();

    const SMseedStreamId& Id() const { return m_id; }
    double SampleRate() const { return m_rate; }
    std::size_t BufferedSamples() const { return m_buffer.size(); }
    std::int64_t RecordsEmitted() const { return m_records; }
    std::int64_t SamplesPacked() const { return m_samplesPacked; }
    // Time the next sample would have to carry to continue the stream (valid once a sample
    // was added).
    std::int64_t ExpectedNextNs() const;

private:
    static void OnRecord(char* record, int length, void* self);
    int Pack(bool flush);
    void PrepareRecord();
    std::int64_t OffsetNs(std::int64_t samples) const;

    SMseedStreamId m_id;
    double m_rate;
    RecordSink m_sink;
    MSRecord_s* m_msr = nullptr;
    std::vector<std::int32_t> m_buffer;
    bool m_inSegment = false;
    std::int64_t m_segmentStartNs = 0;
    std::int64_t m_segmentPacked = 0; // samples of the segment already in records
    std::int32_t m_sequence = 1;
    std::int64_t m_records = 0;
    std::int64_t m_samplesPacked = 0;
    bool m_sinkFailed = false;
};

} // namespace nereid::recording
