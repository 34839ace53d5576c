// miniSEED read as an input form: files the project writes and files an independent writer
// (Debian's sac2mseed) makes, several streams interleaved and a gap, every sample and every
// segment start exact.
#include "format_test_util.h"
#include "recording/data_file_reader.h"
#include "recording/mseed_writer.h"
#include "recording/sample_walk.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace nereid::recording {
namespace {

using test::TempDir;

constexpr std::uint32_t kStart = 1049383800; // 2003-04-03 15:30:00 UTC

std::vector<std::int32_t> Signal(std::size_t count, std::uint32_t seed) {
    std::vector<std::int32_t> v(count);
    std::int32_t x = 0;
    for (std::int32_t& s : v) {
        seed = seed * 1103515245u + 12345u;
        // Steps of every size Steim-2 has, and 24-bit extremes now and then.
        x += static_cast<std::int32_t>(seed >> 8) >> (seed % 23);
        x = std::clamp(x, -8388608, 8388607);
        s = x;
    }
    return v;
}

SMseedStreamId Stream(const std::string& station, const std::string& channel) {
    return {"XX", station, "", channel};
}

void ExpectChannel(const FileChannel& ch, const std::string& stream, std::uint32_t second,
                   double fraction, const std::vector<std::int32_t>& want, std::size_t from,
                   std::size_t count) {
    EXPECT_EQ(ch.formatText, "miniSEED");
    EXPECT_EQ(ch.streamId, stream);
    EXPECT_EQ(ch.startSecond, second);
    EXPECT_NEAR(ch.fraction, fraction, 1e-9);
    EXPECT_EQ(ch.rate, 100);
    ASSERT_EQ(ch.sampleCount, count);
    std::vector<double> got;
    WalkSamples(ch, [&](const double* v, std::size_t n) { got.insert(got.end(), v, v + n); });
    ASSERT_EQ(got.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(got[i], want[from + i]) << stream << " " << i;
    }
    // Single samples out of order, across records.
    for (std::size_t i : {count - 1, std::size_t(0), count / 2, std::size_t(1)}) {
        ASSERT_EQ(ch.IntValue(i), want[from + i]) << i;
    }
}

std::vector<FileChannel> Open(const std::string& path) {
    std::vector<FileChannel> channels;
    ReaderMessage m;
    EXPECT_EQ(OpenDataFile(path, channels, m), kOpenAdded) << m.text << " " << m.detail;
    return channels;
}

TEST(MseedReader, InterleavedStreamsAndAGapGiveOneChannelPerSegment) {
    TempDir dir;
    const std::vector<std::int32_t> a = Signal(4500, 1), b = Signal(2000, 2);
    {
        // Stream A: 30 s, then a gap of 30 s, then 15 s.
        CMseedWriter w(dir / "a.mseed", Stream("NRD", "HHZ"), 100, kStart, CreateMode::kReplace);
        ASSERT_EQ(w.Open(), 1);
        ASSERT_EQ(w.Append(a.data(), 3000), 1);
        w.SetNextSecond(kStart + 60);
        ASSERT_EQ(w.Append(a.data() + 3000, 1500), 1);
        ASSERT_EQ(w.Close(), 1);
        // Stream B starts a quarter second in.
        CMseedWriter v(dir / "b.mseed", Stream("NRD", "HHN"), 100, kStart, CreateMode::kReplace);
        ASSERT_EQ(v.Open(), 1);
        ASSERT_EQ(v.AppendAt(static_cast<std::int64_t>(kStart) * 1000000000LL + 250000000LL,
                             b.data(), b.size()),
                  1);
        ASSERT_EQ(v.Close(), 1);
    }
    // Records of both streams interleaved as a recorder's file has them.
    const std::vector<std::uint8_t> ra = test::ReadBytes(dir / "a.mseed");
    const std::vector<std::uint8_t> rb = test::ReadBytes(dir / "b.mseed");
    ASSERT_EQ(ra.size() % 512, 0u);
    ASSERT_EQ(rb.size() % 512, 0u);
    std::vector<std::uint8_t> both;
    for (std::size_t i = 0; i < std::max(ra.size(), rb.size()); i += 512) {
        if (i < ra.size()) {
            both.insert(both.end(), ra.begin() + static_cast<long>(i),
                        ra.begin() + static_cast<long>(i) + 512);
        }
        if (i < rb.size()) {
            both.insert(both.end(), rb.begin() + static_cast<long>(i),
                        rb.begin() + static_cast<long>(i) + 512);
        }
    }
    test::WriteBytes(dir / "both.mseed", both);
    const std::vector<FileChannel> channels = Open(dir / "both.mseed");
    ASSERT_EQ(channels.size(), 3u);
    ExpectChannel(channels[0], "XX.NRD..HHZ", kStart, 0, a, 0, 3000);
    ExpectChannel(channels[1], "XX.NRD..HHN", kStart, 0.25, b, 0, 2000);
    ExpectChannel(channels[2], "XX.NRD..HHZ", kStart + 60, 0, a, 3000, 1500);
    EXPECT_EQ(channels[0].signalName, "NRD.HHZ");

    // Cut inside the last record: refused, nothing added.
    both.resize(both.size() - 100);
    test::WriteBytes(dir / "cut.mseed", both);
    std::vector<FileChannel> none;
    ReaderMessage m;
    EXPECT_NE(OpenDataFile(dir / "cut.mseed", none, m), kOpenAdded);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(m.detail, "a damaged miniSEED file");
}

// Records of two streams in no regular turn, as a file merged from several sources may have
// them: the places of a stream's records follow no fixed stride.
TEST(MseedReader, IrregularlyInterleavedRecordsReadBackExactly) {
    TempDir dir;
    const std::vector<std::int32_t> a = Signal(9000, 3), b = Signal(7000, 4);
    {
        CMseedWriter w(dir / "a.mseed", Stream("NRD", "HHZ"), 100, kStart, CreateMode::kReplace);
        ASSERT_EQ(w.Open(), 1);
        ASSERT_EQ(w.Append(a.data(), a.size()), 1);
        ASSERT_EQ(w.Close(), 1);
        CMseedWriter v(dir / "b.mseed", Stream("NRD", "HHN"), 100, kStart, CreateMode::kReplace);
        ASSERT_EQ(v.Open(), 1);
        ASSERT_EQ(v.Append(b.data(), b.size()), 1);
        ASSERT_EQ(v.Close(), 1);
    }
    const std::vector<std::uint8_t> ra = test::ReadBytes(dir / "a.mseed");
    const std::vector<std::uint8_t> rb = test::ReadBytes(dir / "b.mseed");
    std::vector<std::uint8_t> mixed;
    std::size_t ia = 0, ib = 0;
    std::uint32_t seed = 7;
    while (ia < ra.size() || ib < rb.size()) {
        seed = seed * 1103515245u + 12345u;
        const bool takeA = ia == 0 || ib >= rb.size() || (ia < ra.size() && (seed >> 16) % 3 != 0);
        const std::vector<std::uint8_t>& from = takeA ? ra : rb;
        std::size_t& at = takeA ? ia : ib;
        mixed.insert(mixed.end(), from.begin() + static_cast<long>(at),
                     from.begin() + static_cast<long>(at) + 512);
        at += 512;
    }
    test::WriteBytes(dir / "mixed.mseed", mixed);
    const std::vector<FileChannel> channels = Open(dir / "mixed.mseed");
    ASSERT_EQ(channels.size(), 2u);
    ExpectChannel(channels[0], "XX.NRD..HHZ", kStart, 0, a, 0, a.size());
    ExpectChannel(channels[1], "XX.NRD..HHN", kStart, 0, b, 0, b.size());
}

// sac2mseed packs with its own libmseed calls, in 4096-byte records: a writer that is not
// this project. The SAC file comes from mseed2sac, so the chain is project -> SAC -> sac2mseed.
TEST(MseedReader, FileWrittenBySac2mseedReadsBackExactly) {
    if (std::system("command -v sac2mseed >/dev/null 2>&1 && command -v mseed2sac >/dev/null "
                    "2>&1") != 0) {
        GTEST_SKIP() << "sac2mseed and mseed2sac are installed by scripts/dev.sh";
    }
    TempDir dir;
    const std::vector<std::int32_t> a = Signal(12345, 3);
    {
        CMseedWriter w(dir / "p.mseed", Stream("NRD", "HHE"), 100, kStart + 7,
                       CreateMode::kReplace);
        ASSERT_EQ(w.Open(), 1);
        ASSERT_EQ(w.Append(a.data(), a.size()), 1);
        ASSERT_EQ(w.Close(), 1);
    }
    const std::string run = "cd '" + dir.Path() +
                            "' && mseed2sac p.mseed >/dev/null 2>&1 && sac2mseed -o s.mseed "
                            "XX.NRD..HHE.D.2003.093.153007.SAC >/dev/null 2>&1";
    ASSERT_EQ(std::system(run.c_str()), 0) << run;
    const std::vector<std::uint8_t> bytes = test::ReadBytes(dir / "s.mseed");
    ASSERT_GT(bytes.size(), 4096u);
    EXPECT_EQ(bytes.size() % 4096, 0u); // not the project's 512-byte records
    const std::vector<FileChannel> channels = Open(dir / "s.mseed");
    ASSERT_EQ(channels.size(), 1u);
    ExpectChannel(channels[0], "XX.NRD..HHE", kStart + 7, 0, a, 0, a.size());
}

} // namespace
} // namespace nereid::recording
