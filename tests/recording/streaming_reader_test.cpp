// Files opened through OpenDataFile are read where they lie: SEISAN pieces and text through a
// sample source on the mapping, arrays in place, and walked a block at a time. Every sample
// and every statistic must equal what the file holds, whichever path reads it.
#include "format_test_util.h"
#include "recording/dadisp_format.h"
#include "recording/data_file_reader.h"
#include "recording/sample_source.h"
#include "recording/sample_walk.h"
#include "seisan_test_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace nereid::recording {
namespace {

using test::SeisanTestChannel;
using test::TempDir;

std::vector<std::int32_t> Noise(std::size_t count, std::uint32_t seed) {
    std::vector<std::int32_t> v(count);
    for (std::int32_t& s : v) {
        seed = seed * 1103515245u + 12345u;
        s = static_cast<std::int32_t>(seed) >> (seed % 24);
    }
    return v;
}

std::vector<FileChannel> Open(const std::string& path) {
    std::vector<FileChannel> channels;
    ReaderMessage m;
    EXPECT_EQ(OpenDataFile(path, channels, m), kOpenAdded) << m.text << " " << m.detail;
    return channels;
}

// Every way of reading the channel gives `want`: Value one by one, ReadValues from odd
// places, the block walk, and the statistics.
void ExpectSamples(const FileChannel& ch, const std::vector<std::int32_t>& want, int sampleSize) {
    ASSERT_EQ(ch.sampleCount, want.size());
    const auto expected = [&](std::size_t i) {
        return sampleSize == 2 ? static_cast<double>(static_cast<std::int16_t>(want[i]))
                               : static_cast<double>(want[i]);
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(ch.Value(i), expected(i)) << i;
    }
    // Runs that start inside a piece and cross several, and one that runs past the end.
    for (std::size_t begin : {std::size_t(0), std::size_t(31), std::size_t(33), want.size() - 5}) {
        std::vector<double> got(100, -1.0);
        ch.ReadValues(begin, got.size(), got.data());
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(got[i], begin + i < want.size() ? expected(begin + i) : 0.0)
                << begin << "+" << i;
        }
    }
    std::vector<double> walked;
    WalkSamples(ch, [&](const double* v, std::size_t n) {
        ASSERT_GT(n, 0u);
        ASSERT_LE(n, kWalkBlock);
        walked.insert(walked.end(), v, v + n);
    });
    ASSERT_EQ(walked.size(), want.size());
    double low = expected(0), high = low, sum = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(walked[i], expected(i)) << i;
        low = std::min(low, expected(i));
        high = std::max(high, expected(i));
        sum += expected(i);
    }
    const SampleStatistics s = ChannelStatistics(ch);
    EXPECT_EQ(s.count, want.size());
    EXPECT_EQ(s.low, low);
    EXPECT_EQ(s.high, high);
    EXPECT_NEAR(s.sum, sum, 1e-9 * std::max(1.0, std::abs(sum)));
}

TEST(StreamingReader, SeisanPiecesAreReadWhereTheyLieWithoutACopy) {
    TempDir dir;
    // Longer than one walk block and one read chunk; an odd count ends inside a piece; the
    // 2-byte channel keeps the low 16 bits.
    SeisanTestChannel a{"104 ", "S  Z", 4, Noise(300001, 7)};
    SeisanTestChannel b{"204 ", "S  N", 2, Noise(1001, 9)};
    SeisanTestChannel c{"304 ", "S  E", 4, Noise(32, 11)}; // exactly one piece
    const std::string path = dir / "2003-04-03-1234-00S.NRD___003";
    test::WriteBytes(path, test::SeisanPcFile("NR042", {a, b, c}));
    const std::vector<FileChannel> channels = Open(path);
    ASSERT_EQ(channels.size(), 3u);
    for (const FileChannel& ch : channels) {
        EXPECT_TRUE(ch.source != nullptr);
        EXPECT_TRUE(ch.privateBlock == nullptr);
        EXPECT_TRUE(ch.mapping != nullptr);
    }
    ExpectSamples(channels[0], a.samples, 4);
    ExpectSamples(channels[1], b.samples, 2);
    ExpectSamples(channels[2], c.samples, 4);
}

TEST(StreamingReader, UnevenPiecesAreGatheredAndDamagedFramingRefused) {
    TempDir dir;
    SeisanTestChannel a{"104 ", "S  Z", 4, Noise(100, 3)};
    std::string file = test::SeisanPcFile("NR042", {a});
    // Re-frame the 400 data bytes as pieces of 100 (another writer's choice): still exact.
    const std::string data = test::SeisanTestSamples(a);
    const std::size_t at = file.size() - (400 + 4 * 2); // 128 + 128 + 128 + 16, framed
    std::string uneven = file.substr(0, at);
    for (int k = 0; k < 4; ++k) {
        uneven += static_cast<char>(100);
        uneven += data.substr(static_cast<std::size_t>(k) * 100, 100);
        uneven += static_cast<char>(100);
    }
    ASSERT_EQ(uneven.size(), file.size());
    const std::string path = dir / "uneven.seisan";
    test::WriteBytes(path, uneven);
    const std::vector<FileChannel> channels = Open(path);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_TRUE(channels[0].privateBlock != nullptr);
    ExpectSamples(channels[0], a.samples, 4);

    // A closing length byte that disagrees with its opening one is refused, nothing added.
    uneven[uneven.size() - 1] = 99;
    test::WriteBytes(path, uneven);
    std::vector<FileChannel> none;
    ReaderMessage m;
    EXPECT_NE(OpenDataFile(path, none, m), kOpenAdded);
    EXPECT_TRUE(none.empty());
}

TEST(StreamingReader, DadispArrayWalksThroughTheDescriptor) {
    TempDir dir;
    const std::vector<std::int32_t> want = Noise(200003, 5);
    std::string file =
        BuildDadispHeader(MakeTranslateDadispHeader("D1451234.093", "NRD", "Z", 1049373240u, 100));
    file += test::SeisanTestSamples(SeisanTestChannel{"", "", 4, want});
    const std::string path = dir / "D1451234.093";
    test::WriteBytes(path, file);
    const std::vector<FileChannel> channels = Open(path);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_TRUE(channels[0].firstSample != nullptr);
    ExpectSamples(channels[0], want, 4);
}

} // namespace
} // namespace nereid::recording
