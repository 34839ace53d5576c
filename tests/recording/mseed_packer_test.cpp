#include "recording/mseed_packer.h"

#include <libmseed.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace nereid::recording {
namespace {

using Record = std::vector<char>;

// 2026-12-07 12:34:56 UTC: 56 years from 1970 with 14 leap days = 20454 days to 2026-01-01,
// day of year 341 adds 340 days, 20794 days * 86400 = 1796601600 s, + 45296 s of the day.
constexpr std::int64_t kStartSecond = 1796646896;
constexpr std::int64_t kStartNs = kStartSecond * 1000000000LL;

struct Collected {
    std::vector<Record> records;
    CMseedPacker::RecordSink Sink() {
        return [this](const char* r, int n) {
            records.emplace_back(r, r + n);
            return 0;
        };
    }
};

struct Decoded {
    hptime_t start = 0;
    double rate = 0;
    std::vector<std::int32_t> samples;
    std::string net, sta, loc, cha;
    int sequence = 0;
};

Decoded Decode(const Record& record) {
    Record copy = record;
    MSRecord* msr = nullptr;
    Decoded d;
    const int r = msr_unpack(copy.data(), static_cast<int>(copy.size()), &msr, 1, 0);
    EXPECT_EQ(r, MS_NOERROR);
    if (r == MS_NOERROR && msr != nullptr) {
        d.start = msr->starttime;
        d.rate = msr->samprate;
        d.net = msr->network;
        d.sta = msr->station;
        d.loc = msr->location;
        d.cha = msr->channel;
        d.sequence = msr->sequence_number;
        EXPECT_EQ(msr->sampletype, 'i');
        const auto* s = static_cast<const std::int32_t*>(msr->datasamples);
        d.samples.assign(s, s + msr->numsamples);
    }
    msr_free(&msr);
    return d;
}

std::vector<std::int32_t> Wave(int count, int seed) {
    std::vector<std::int32_t> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        v[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(
            40000.0 * std::sin(0.05 * (i + seed)) + (i * 7919 % 301) - 150);
    }
    return v;
}

SMseedStreamId Stream() {
    return {"XX", "ABC", "", "HHZ"};
}

int Be16(const Record& r, int at) {
    return (static_cast<unsigned char>(r[at]) << 8) | static_cast<unsigned char>(r[at + 1]);
}

TEST(MseedPacker, FixedHeaderAndBlockette1000ByteForByte) {
    Collected out;
    CMseedPacker packer(Stream(), 100.0, out.Sink());
    const std::vector<std::int32_t> samples = Wave(2000, 0);
    ASSERT_GT(packer.AddSamples(kStartNs, samples.data(), 2000), 0);
    ASSERT_FALSE(out.records.empty());
    const Record& r = out.records[0];
    ASSERT_EQ(r.size(), 512u);
    EXPECT_EQ(std::string(r.data(), 6), "000001"); // sequence number
    EXPECT_EQ(r[6], 'D');
    EXPECT_EQ(r[7], ' ');
    EXPECT_EQ(std::string(r.data() + 8, 5), "ABC  "); // station, space padded
    EXPECT_EQ(std::string(r.data() + 13, 2), "  ");   // empty location
    EXPECT_EQ(std::string(r.data() + 15, 3), "HHZ");
    EXPECT_EQ(std::string(r.data() + 18, 2), "XX");
    EXPECT_EQ(Be16(r, 20), 2026); // big-endian BTIME
    EXPECT_EQ(Be16(r, 22), 341);
    EXPECT_EQ(r[24], 12);
    EXPECT_EQ(r[25], 34);
    EXPECT_EQ(r[26], 56);
    EXPECT_EQ(Be16(r, 28), 0); // 0.0001 s
    const int count = Be16(r, 30);
    EXPECT_EQ(count, static_cast<int>(Decode(r).samples.size()));
    EXPECT_GT(count, 100);
    EXPECT_EQ(Be16(r, 32), 100); // rate factor
    EXPECT_EQ(Be16(r, 34), 1);   // rate multiplier
    EXPECT_EQ(r[39], 1);         // one blockette follows
    EXPECT_EQ(Be16(r, 44), 64);  // data begin
    EXPECT_EQ(Be16(r, 46), 48);  // first blockette
    EXPECT_EQ(Be16(r, 48), 1000);
    EXPECT_EQ(Be16(r, 50), 0); // no next blockette
    EXPECT_EQ(r[52], 11);      // Steim-2
    EXPECT_EQ(r[53], 1);       // big-endian words
    EXPECT_EQ(r[54], 9);       // 2^9 = 512 bytes
    // The second record follows on exactly.
    ASSERT_GE(out.records.size(), 2u);
    EXPECT_EQ(std::string(out.records[1].data(), 6), "000002");
    EXPECT_EQ(Decode(out.records[1]).start,
              MS_EPOCH2HPTIME(kStartSecond) + static_cast<hptime_t>(count) * 10000);
}

TEST(MseedPacker, SamplesAndTimesSurviveDecodingAcrossSecondsAndFlush) {
    // 24-bit extremes and full-scale steps, fed one second at a time as the recorder does.
    const int rate = 200;
    std::vector<std::int32_t> all = Wave(rate * 7, 3);
    all[10] = 8388607;
    all[11] = -8388608;
    all[12] = 8388607;
    all[500] = -8388608;
    Collected out;
    CMseedPacker packer(Stream(), rate, out.Sink());
    int emitted = 0;
    for (int s = 0; s < 7; ++s) {
        const int r = packer.AddSamples(kStartNs + s * 1000000000LL, all.data() + s * rate, rate);
        ASSERT_GE(r, 0);
        emitted += r;
    }
    // libmseed packs a record only once more samples wait than any record can hold, so the
    // flush may still have several to give.
    const int last = packer.Flush();
    ASSERT_GE(last, 1);
    emitted += last;
    EXPECT_EQ(static_cast<std::size_t>(emitted), out.records.size());
    EXPECT_EQ(packer.BufferedSamples(), 0u);
    EXPECT_EQ(packer.Flush(), 0); // nothing left: no empty record

    std::vector<std::int32_t> decoded;
    int sequence = 0;
    for (const Record& r : out.records) {
        ASSERT_EQ(r.size(), 512u);
        const Decoded d = Decode(r);
        EXPECT_EQ(d.sequence, ++sequence);
        EXPECT_EQ(d.net, "XX");
        EXPECT_EQ(d.sta, "ABC");
        EXPECT_EQ(d.loc, "");
        EXPECT_EQ(d.cha, "HHZ");
        EXPECT_DOUBLE_EQ(d.rate, rate);
        // 200 samples/s: every sample time is a whole 5 ms.
        EXPECT_EQ(d.start,
                  MS_EPOCH2HPTIME(kStartSecond) + static_cast<hptime_t>(decoded.size()) * 5000);
        decoded.insert(decoded.end(), d.samples.begin(), d.samples.end());
    }
    EXPECT_EQ(decoded, all);
}

TEST(MseedPacker, SecondBySecondGivesTheSameRecordsAsOneCall) {
    const int rate = 1000;
    const std::vector<std::int32_t> all = Wave(rate * 4, 9);
    Collected whole, pieces;
    CMseedPacker a(Stream(), rate, whole.Sink());
    ASSERT_GE(a.AddSamples(kStartNs, all.data(), static_cast<int>(all.size())), 0);
    ASSERT_GE(a.Flush(), 0);
    CMseedPacker b(Stream(), rate, pieces.Sink());
    for (int s = 0; s < 4; ++s) {
        ASSERT_GE(b.AddSamples(kStartNs + s * 1000000000LL, all.data() + s * rate, rate), 0);
    }
    ASSERT_GE(b.Flush(), 0);
    EXPECT_EQ(whole.records, pieces.records);
}

TEST(MseedPacker, FullRecordsGoOutAsSoonAsTheyFillAndMatchTheLazyOnes) {
    const int rate = 100;
    const std::vector<std::int32_t> all = Wave(rate * 30, 3);
    Collected lazy, eager;
    CMseedPacker a(Stream(), rate, lazy.Sink());
    CMseedPacker b(Stream(), rate, eager.Sink());
    std::vector<std::size_t> recordsAfterSecond;
    for (int s = 0; s < 30; ++s) {
        const std::int64_t at = kStartNs + s * 1000000000LL;
        ASSERT_GE(a.AddSamples(at, all.data() + s * rate, rate), 0);
        ASSERT_GE(b.AddSamples(at, all.data() + s * rate, rate), 0);
        ASSERT_GE(b.PackFullRecords(), 0);
        // What stays buffered never fills a record: less than the fullest record holds.
        EXPECT_LT(b.BufferedSamples(), 735u);
        // Every record out is full: its samples end where the buffered ones begin.
        std::int64_t out = 0;
        for (const Record& r : eager.records) {
            out += Be16(r, 30);
        }
        EXPECT_EQ(out + static_cast<std::int64_t>(b.BufferedSamples()), (s + 1) * rate);
        EXPECT_EQ(b.SamplesPacked(), out);
        recordsAfterSecond.push_back(eager.records.size());
    }
    // The lazy packer holds back about 7 s; the eager one sends a record within the second
    // that fills it, so it is always at least as far and at the end ahead.
    ASSERT_GE(a.Flush(), 0);
    ASSERT_GE(b.Flush(), 0);
    // libmseed packs the last words of a record a little differently when told to flush, so
    // a record sent early may hold a sample or two fewer than the one it would have made
    // later; never fewer than that, and sequence numbers and times go on just the same.
    ASSERT_GE(lazy.records.size(), 5u);
    ASSERT_GE(eager.records.size(), lazy.records.size());
    ASSERT_LE(eager.records.size(), lazy.records.size() + 1);
    for (std::size_t i = 0; i + 1 < eager.records.size(); ++i) {
        EXPECT_GE(Be16(eager.records[i], 30) + 2, Be16(lazy.records[0], 30)) << i;
        EXPECT_EQ(Decode(eager.records[i]).sequence, static_cast<int>(i + 1));
    }
    // With ~2 s of samples per record, a record out of 30 s must be out by second 5.
    EXPECT_GE(recordsAfterSecond[4], 1u);
    std::vector<std::int32_t> decoded;
    for (const Record& r : eager.records) {
        const Decoded d = Decode(r);
        decoded.insert(decoded.end(), d.samples.begin(), d.samples.end());
    }
    EXPECT_EQ(decoded, all);
}

TEST(MseedPacker, PackFullRecordsLeavesAPartRecordAlone) {
    Collected out;
    CMseedPacker p(Stream(), 100, out.Sink());
    const std::vector<std::int32_t> few = Wave(40, 1);
    ASSERT_EQ(p.PackFullRecords(), 0); // nothing buffered
    ASSERT_EQ(p.AddSamples(kStartNs, few.data(), 40), 0);
    EXPECT_EQ(p.PackFullRecords(), 0);
    EXPECT_TRUE(out.records.empty());
    EXPECT_EQ(p.BufferedSamples(), 40u);
    ASSERT_EQ(p.Flush(), 1);
    EXPECT_EQ(Be16(out.records[0], 30), 40);
}

TEST(MseedPacker, GapAndJumpBackStartNewRecordsWithoutInventedSamples) {
    const int rate = 50;
    const std::vector<std::int32_t> s0 = Wave(rate, 0), s1 = Wave(rate, 100), s2 = Wave(rate, 7);
    Collected out;
    CMseedPacker packer(Stream(), rate, out.Sink());
    ASSERT_EQ(packer.AddSamples(kStartNs, s0.data(), rate), 0); // not a full record yet
    // Second 1 is missing; second 2 arrives: second 0 goes out as a record of its own.
    ASSERT_EQ(packer.AddSamples(kStartNs + 2000000000LL, s1.data(), rate), 1);
    ASSERT_EQ(out.records.size(), 1u);
    // A clock set back by ten seconds: again a new record.
    ASSERT_EQ(packer.AddSamples(kStartNs - 8000000000LL, s2.data(), rate), 1);
    ASSERT_EQ(packer.Flush(), 1);
    ASSERT_EQ(out.records.size(), 3u);
    const Decoded d0 = Decode(out.records[0]), d1 = Decode(out.records[1]),
                  d2 = Decode(out.records[2]);
    EXPECT_EQ(d0.start, MS_EPOCH2HPTIME(kStartSecond));
    EXPECT_EQ(d0.samples, s0);
    EXPECT_EQ(d1.start, MS_EPOCH2HPTIME(kStartSecond + 2));
    EXPECT_EQ(d1.samples, s1);
    EXPECT_EQ(d2.start, MS_EPOCH2HPTIME(kStartSecond - 8));
    EXPECT_EQ(d2.samples, s2);
    EXPECT_EQ(d2.sequence, 3);

    // A start off by less than half a sample is the same stream (no new record).
    Collected near;
    CMseedPacker jitter(Stream(), rate, near.Sink());
    ASSERT_EQ(jitter.AddSamples(kStartNs, s0.data(), rate), 0);
    ASSERT_EQ(jitter.AddSamples(kStartNs + 1000000000LL + 9000000, s1.data(), rate), 0);
    ASSERT_EQ(jitter.Flush(), 1);
}

TEST(MseedPacker, FailuresAreReportedAndKeepTheSamples) {
    Collected out;
    CMseedPacker packer(Stream(), 100.0, out.Sink());
    EXPECT_EQ(packer.AddSamples(kStartNs, nullptr, 5), CMseedPacker::kBadArgument);
    const std::int32_t one = 1;
    EXPECT_EQ(packer.AddSamples(kStartNs, &one, -1), CMseedPacker::kBadArgument);
    CMseedPacker noRate(Stream(), 0.0, out.Sink());
    EXPECT_EQ(noRate.AddSamples(kStartNs, &one, 1), CMseedPacker::kBadArgument);

    // A full disk behind the sink: the call that packed the record says so.
    int calls = 0;
    CMseedPacker full(Stream(), 100.0, [&calls](const char*, int) {
        ++calls;
        return -28;
    });
    const std::vector<std::int32_t> w = Wave(50, 0);
    ASSERT_EQ(full.AddSamples(kStartNs, w.data(), 50), 0);
    EXPECT_EQ(full.Flush(), CMseedPacker::kSinkFailed);
    EXPECT_EQ(calls, 1);

    // Steps beyond Steim-2's 30-bit differences cannot be packed: an error, not a record
    // with other numbers in it.
    const std::int32_t wild[] = {0, 2000000000, -2000000000, 0};
    CMseedPacker steim(Stream(), 100.0, out.Sink());
    ASSERT_EQ(steim.AddSamples(kStartNs, wild, 4), 0);
    EXPECT_EQ(steim.Flush(), CMseedPacker::kPackFailed);
    EXPECT_EQ(steim.BufferedSamples(), 4u);
    EXPECT_TRUE(out.records.empty());
}

TEST(MseedStreamCodes, BandChannelStationAndNetwork) {
    EXPECT_EQ(SeedBandCode(1000), 'F');
    EXPECT_EQ(SeedBandCode(500), 'C');
    EXPECT_EQ(SeedBandCode(250), 'C');
    EXPECT_EQ(SeedBandCode(200), 'H');
    EXPECT_EQ(SeedBandCode(80), 'H');
    EXPECT_EQ(SeedBandCode(60), 'B');
    EXPECT_EQ(SeedBandCode(10), 'B');
    EXPECT_EQ(SeedBandCode(8), 'M');
    EXPECT_EQ(SeedBandCode(2), 'M');
    EXPECT_EQ(SeedBandCode(1), 'L');
    EXPECT_EQ(SeedBandCode(0.1), 'V');
    EXPECT_EQ(SeedBandCode(0.01), 'U');

    const MseedComponentMap zne{{1, 'Z'}, {2, 'N'}, {3, 'E'}};
    EXPECT_EQ(SeedChannelCode(100, 1, zne), "HHZ");
    EXPECT_EQ(SeedChannelCode(100, 3, zne), "HHE");
    EXPECT_EQ(SeedChannelCode(100, 4, zne), "HH4");
    // Both streams of a sensor channel carry its component; the band tells them apart.
    EXPECT_EQ(SeedChannelCode(20, 9, {}), "BH1");
    EXPECT_EQ(SeedChannelCode(20, 9, zne), "BHZ");
    EXPECT_EQ(SeedChannelCode(20, 11, zne), "BHE");
    EXPECT_EQ(SeedChannelCode(1000, 16, {}), "FH8");
    EXPECT_EQ(SeedChannelCode(1000, 8, {}), "FH8");
    // A map naming a secondary stream on its own (older settings) still rules it.
    EXPECT_EQ(SeedChannelCode(20, 9, {{1, 'Z'}, {9, 'A'}}), "BHA");
    EXPECT_EQ(SeedChannelCode(100, 1, {{1, 'Z'}, {9, 'A'}}), "HHZ");
    EXPECT_EQ(SensorChannel(1), 1);
    EXPECT_EQ(SensorChannel(9), 1);
    EXPECT_EQ(SensorChannel(16), 8);
    EXPECT_EQ(SensorChannel(17), 0);
    EXPECT_EQ(SensorChannel(0), 0);
    // The location code parts the two streams only where the band cannot.
    EXPECT_EQ(SeedLocationCode(1, 100, 100), "");
    EXPECT_EQ(SeedLocationCode(9, 100, 100), "01");
    EXPECT_EQ(SeedLocationCode(9, 100, 200), "01"); // both H
    EXPECT_EQ(SeedLocationCode(9, 20, 100), "");
    EXPECT_EQ(SeedLocationCode(9, 100, 0), ""); // no primary stream
    EXPECT_EQ(SeedLocationCode(16, 250, 500), "01");

    EXPECT_EQ(SeedStationCode("abc", 7), "ABC");
    EXPECT_EQ(SeedStationCode("Mt. Ruapehu", 7), "MTRUA");
    EXPECT_EQ(SeedStationCode("  -- ", 1234), "1234");
    EXPECT_EQ(SeedStationCode("", 65535), "65535");
    EXPECT_EQ(SeedStationCode("\xb5\xe9", 12), "12");

    EXPECT_TRUE(IsValidSeedNetworkCode("XX"));
    EXPECT_TRUE(IsValidSeedNetworkCode("G"));
    EXPECT_FALSE(IsValidSeedNetworkCode(""));
    EXPECT_FALSE(IsValidSeedNetworkCode("XXX"));
    EXPECT_FALSE(IsValidSeedNetworkCode("x1"));
}

TEST(MseedStreamCodes, ComponentMapText) {
    MseedComponentMap m;
    std::string why;
    ASSERT_TRUE(ParseMseedComponentMap(" 1=z, 2=N ,3=E,", m, &why)) << why;
    EXPECT_EQ(m, (MseedComponentMap{{1, 'Z'}, {2, 'N'}, {3, 'E'}}));
    EXPECT_EQ(FormatMseedComponentMap(m), "1=Z,2=N,3=E");
    MseedComponentMap again;
    ASSERT_TRUE(ParseMseedComponentMap(FormatMseedComponentMap(m), again, nullptr));
    EXPECT_EQ(again, m);
    ASSERT_TRUE(ParseMseedComponentMap("", again, nullptr));
    EXPECT_TRUE(again.empty());

    MseedComponentMap kept{{4, 'Z'}};
    for (const char* bad :
         {"1Z", "=Z", "1=", "1=ZZ", "0=Z", "17=Z", "1=Z,1=N", "a=Z", "1=-", "99999999999=Z"}) {
        why.clear();
        EXPECT_FALSE(ParseMseedComponentMap(bad, kept, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
        EXPECT_EQ(kept, (MseedComponentMap{{4, 'Z'}})) << bad;
    }
}

} // namespace
} // namespace nereid::recording
