// Records packed a chunk at a time on worker threads: every record decodes with libmseed to
// the samples in order, starts at the exact time of its first sample and carries the next
// sequence number, so that the records join into one trace whatever the chunk borders.
#include "recording/mseed_packer_pool.h"

#include "recording/steim2_records.h"
#include "tests/recording/steim2_test_record.h"

#include <libmseed.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace nereid::recording {
namespace {

constexpr std::size_t kChunk = CSteim2ChunkPacker::kChunkSamples;
constexpr std::int64_t kStartNs = 1049383800LL * 1000000000LL;
const SMseedStreamId kId{"XX", "NRD", "", "HHZ"};

struct Output {
    std::vector<std::uint8_t> bytes;
    int writes = 0;
    int result = -1;
};

// Feeds the samples in pieces of `piece` (the chunk borders fall where they fall).
Output Pack(const std::vector<std::int32_t>& samples, double rate, std::size_t piece,
            int workers = 2, std::int64_t startNs = kStartNs) {
    Output out;
    CSteim2ChunkPacker packer(
        kId, rate, startNs,
        [&out](const std::uint8_t* records, std::size_t length) {
            out.bytes.insert(out.bytes.end(), records, records + length);
            ++out.writes;
            return 0;
        },
        workers);
    std::size_t at = 0;
    while (at < samples.size()) {
        std::size_t n = std::min(piece, samples.size() - at);
        n = std::min(n, packer.Room());
        std::memcpy(packer.Space(), samples.data() + at, n * sizeof(std::int32_t));
        packer.Commit(n);
        at += n;
    }
    out.result = packer.Finish();
    EXPECT_EQ(static_cast<std::size_t>(packer.RecordsWritten()) * 512, out.bytes.size());
    return out;
}

// Decodes every record with libmseed: samples, start times (to the 100 us the header holds,
// from the exact time of each record's first sample) and sequence numbers from 1 on.
void ExpectRecords(const Output& out, const std::vector<std::int32_t>& samples, double rate,
                   std::int64_t startNs = kStartNs) {
    ASSERT_EQ(out.result, 0);
    ASSERT_EQ(out.bytes.size() % 512, 0u);
    std::size_t at = 0;
    for (std::size_t r = 0; r * 512 < out.bytes.size(); ++r) {
        std::vector<char> copy(out.bytes.begin() + static_cast<long>(r * 512),
                               out.bytes.begin() + static_cast<long>(r * 512 + 512));
        MSRecord* m = nullptr;
        ASSERT_EQ(msr_unpack(copy.data(), 512, &m, 1, 0), MS_NOERROR) << "record " << r;
        EXPECT_EQ(m->sequence_number, static_cast<std::int32_t>(r + 1));
        EXPECT_EQ(m->encoding, DE_STEIM2);
        const long double exactUs = static_cast<long double>(startNs) / 1000.0L +
                                    static_cast<long double>(at) * 1e6L / rate;
        EXPECT_LE(std::fabs(static_cast<long double>(m->starttime) - exactUs), 50.0L)
            << "record " << r;
        const auto* v = static_cast<const std::int32_t*>(m->datasamples);
        for (std::int64_t i = 0; i < m->numsamples; ++i, ++at) {
            ASSERT_LT(at, samples.size());
            ASSERT_EQ(v[i], samples[at]) << "sample " << at;
        }
        msr_free(&m);
    }
    EXPECT_EQ(at, samples.size());
}

// Recorder-like: noise of a few thousand counts, events of up to 4 million counts, flat
// stretches, and a full-scale swing.
std::vector<std::int32_t> Recorder(std::size_t n, std::uint32_t seed) {
    std::vector<std::int32_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::int32_t x = static_cast<std::int32_t>((seed >> 16) % 4001) - 2000;
        const std::size_t phase = i % 20011;
        if (phase < 1500) {
            x += static_cast<std::int32_t>(4000000.0 * std::sin(static_cast<double>(i) * 0.7) *
                                           (1.0 - static_cast<double>(phase) / 1500.0));
        } else if (phase < 2000) {
            x = 17;
        } else if (phase < 2100) {
            x = phase % 2 == 0 ? 8388607 : -8388608;
        } else if (phase < 4000) {
            x /= 8; // small noise: three and four differences a word
        }
        v[i] = x;
    }
    return v;
}

TEST(Steim2ChunkPacker, SamplesAcrossChunkBordersComeBackInOrderAtTheirTimes) {
    const std::vector<std::int32_t> samples = Recorder(3 * kChunk + 4321, 1);
    for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{1000}, std::size_t{7}}) {
        const Output out = Pack(samples, 100, piece);
        ExpectRecords(out, samples, 100);
        // The chunks' records go out in a few large writes, never one per record.
        EXPECT_EQ(out.writes, 4);
    }
    // One worker, or many, give the same bytes.
    EXPECT_EQ(Pack(samples, 100, 65536, 1).bytes, Pack(samples, 100, 65536, 2).bytes);
    EXPECT_EQ(Pack(samples, 100, 65536, 1).bytes, Pack(samples, 100, 65536, 5).bytes);
}

TEST(Steim2ChunkPacker, ChunksHandedOverAsFileBytesPackAsDecodedOnes) {
    // Whole chunks left as 3-byte little-endian samples (decoded by the workers) between
    // chunks filled sample by sample: the same records.
    const std::vector<std::int32_t> samples = Recorder(4 * kChunk + 10, 8);
    std::vector<std::uint8_t> bytes(3 * samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto u = static_cast<std::uint32_t>(samples[i]);
        bytes[3 * i] = static_cast<std::uint8_t>(u);
        bytes[3 * i + 1] = static_cast<std::uint8_t>(u >> 8);
        bytes[3 * i + 2] = static_cast<std::uint8_t>(u >> 16);
    }
    Output mixed;
    {
        CSteim2ChunkPacker packer(
            kId, 100, kStartNs, [&mixed](const std::uint8_t* records, std::size_t length) {
                mixed.bytes.insert(mixed.bytes.end(), records, records + length);
                return 0;
            });
        for (std::size_t chunk = 0; chunk < 4; ++chunk) {
            ASSERT_TRUE(packer.ChunkEmpty());
            if (chunk % 2 == 0) {
                packer.CommitRaw(bytes.data() + 3 * chunk * kChunk);
            } else {
                std::memcpy(packer.Space(), samples.data() + chunk * kChunk,
                            kChunk * sizeof(std::int32_t));
                packer.Commit(kChunk);
            }
        }
        packer.Drain();
        std::memcpy(packer.Space(), samples.data() + 4 * kChunk, 10 * sizeof(std::int32_t));
        packer.Commit(10);
        EXPECT_FALSE(packer.ChunkEmpty());
        mixed.result = packer.Finish();
    }
    ExpectRecords(mixed, samples, 100);
    EXPECT_EQ(mixed.bytes, Pack(samples, 100, 4096).bytes);
}

TEST(Steim2ChunkPacker, ExactChunksTinyStreamsAndOddRates) {
    for (const std::size_t n : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{735},
                                std::size_t{736}, kChunk - 1, kChunk, kChunk + 1, 2 * kChunk}) {
        const std::vector<std::int32_t> samples = Recorder(n, static_cast<std::uint32_t>(n));
        const Output out = Pack(samples, 100, 4096);
        ExpectRecords(out, samples, 100);
        EXPECT_EQ(out.writes, static_cast<int>((n + kChunk - 1) / kChunk)) << n;
    }
    // Rates whose period is no whole number of microseconds, a start within a second and one
    // before 1970.
    const std::vector<std::int32_t> samples = Recorder(kChunk + 999, 9);
    ExpectRecords(Pack(samples, 60, 5000, 2, kStartNs + 123456789), samples, 60,
                  kStartNs + 123456789);
    ExpectRecords(Pack(samples, 0.1, 5000, 2, -86400LL * 1000000000LL * 400), samples, 0.1,
                  -86400LL * 1000000000LL * 400);
    ExpectRecords(Pack(samples, 1000, 5000), samples, 1000);
    EXPECT_TRUE(Pack({}, 100, 10).bytes.empty());
}

TEST(Steim2ChunkPacker, WithinAChunkTheRecordsAreLibmseeds) {
    // Up to the chunk's last record the records are those msr_pack makes of the same samples.
    const std::vector<std::int32_t> samples = Recorder(kChunk, 3);
    const Output ours = Pack(samples, 100, kChunk);
    MSRecord* m = test::NewSteim2TestRecord(100);
    m->starttime = kStartNs / 1000;
    std::vector<std::int32_t> copy = samples;
    m->datasamples = copy.data();
    m->numsamples = static_cast<std::int64_t>(copy.size());
    std::vector<std::uint8_t> theirs;
    const auto collect = [](char* record, int length, void* into) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(into);
        v->insert(v->end(), record, record + length);
    };
    std::int64_t packed = 0;
    ASSERT_GT(msr_pack(m, collect, &theirs, &packed, 1, 0), 0);
    m->datasamples = nullptr;
    msr_free(&m);
    EXPECT_EQ(ours.bytes, theirs);
}

TEST(Steim2ChunkPacker, AStepBeyondThirtyBitsFailsAndStopsTheWriting) {
    std::vector<std::int32_t> samples = Recorder(3 * kChunk, 4);
    samples[kChunk + 5] = samples[kChunk + 4] + (1 << 29) + 1;
    const Output out = Pack(samples, 100, 65536);
    EXPECT_EQ(out.result, EINVAL);
    EXPECT_EQ(out.bytes.size() % 512, 0u);
    EXPECT_LE(out.writes, 1); // the chunk before the step at most
}

TEST(Steim2ChunkPacker, AWriterErrorIsReturnedAndNothingMoreIsWritten) {
    const std::vector<std::int32_t> samples = Recorder(4 * kChunk, 5);
    int writes = 0;
    int result = 0;
    {
        CSteim2ChunkPacker packer(kId, 100, kStartNs, [&writes](const std::uint8_t*, std::size_t) {
            return ++writes == 2 ? ENOSPC : 0;
        });
        for (std::size_t at = 0; at < samples.size(); at += kChunk) {
            std::memcpy(packer.Space(), samples.data() + at, kChunk * sizeof(std::int32_t));
            packer.Commit(kChunk);
        }
        result = packer.Finish();
    }
    EXPECT_EQ(result, ENOSPC);
    EXPECT_EQ(writes, 2);
}

TEST(Steim2ChunkPacker, AnAbandonedStreamStopsItsWorkers) {
    const std::vector<std::int32_t> samples = Recorder(kChunk, 6);
    int writes = 0;
    {
        CSteim2ChunkPacker packer(kId, 100, kStartNs, [&writes](const std::uint8_t*, std::size_t) {
            ++writes;
            return 0;
        });
        for (int i = 0; i < 6; ++i) {
            std::memcpy(packer.Space(), samples.data(), kChunk * sizeof(std::int32_t));
            packer.Commit(kChunk);
        }
    } // no Finish: the chunks still in flight are dropped
    EXPECT_LE(writes, 6);
}

TEST(Steim2RecordFields, StartTimesAsLibmseedWritesThem) {
    // Against libmseed's own conversion, over leap years, day and year ends and before 1970.
    SRecordDay day;
    for (std::int64_t us : {0LL, 1LL, 49LL, 50LL, -50LL, -51LL, 951782399999950LL,
                            951868800000000LL, 1049383800123456LL, 4102444799999999LL, -1LL,
                            -86400000000LL, -2208988800000000LL, 1609459199999960LL}) {
        std::uint8_t ours[64] = {};
        std::uint8_t theirs[64] = {};
        SetSteim2RecordFields(ours, 123, us, 200, day);
        hptime_t tenths = 0;
        std::int8_t usec = 0;
        ms_hptime2tomsusecoffset(us, &tenths, &usec);
        BTime t{};
        ms_hptime2btime(tenths, &t);
        std::memcpy(theirs, "000123", 6);
        theirs[20] = static_cast<std::uint8_t>(t.year >> 8);
        theirs[21] = static_cast<std::uint8_t>(t.year);
        theirs[22] = static_cast<std::uint8_t>(t.day >> 8);
        theirs[23] = static_cast<std::uint8_t>(t.day);
        theirs[24] = t.hour;
        theirs[25] = t.min;
        theirs[26] = t.sec;
        theirs[28] = static_cast<std::uint8_t>(t.fract >> 8);
        theirs[29] = static_cast<std::uint8_t>(t.fract);
        theirs[31] = 200;
        EXPECT_EQ(std::memcmp(ours, theirs, 64), 0) << us;
    }
}

} // namespace
} // namespace nereid::recording
