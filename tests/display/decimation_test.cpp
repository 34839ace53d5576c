#include "display/model/decimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "recording/dadisp_format.h"
#include "recording/file_channel.h"

using namespace nereid::display::model;
using nereid::recording::FileChannel;

namespace {

// Brute force: the samples of each column by the same column split, gathered one by one.
std::vector<MinMax> BruteForce(const std::vector<double>& window, int columns) {
    std::vector<MinMax> out(static_cast<std::size_t>(columns));
    int c = 0;
    for (std::size_t i = 0; i < window.size(); ++i) {
        // The column whose [begin, end) holds sample i (columns only move forward).
        while (ColumnBegin(window.size(), columns, c + 1) <= i)
            ++c;
        out[static_cast<std::size_t>(c)].Add(window[i]);
    }
    return out;
}

void ExpectSame(const std::vector<MinMax>& got, const std::vector<MinMax>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t c = 0; c < got.size(); ++c) {
        EXPECT_EQ(got[c].count, want[c].count) << "column " << c;
        if (want[c].count == 0)
            continue;
        EXPECT_EQ(got[c].min, want[c].min) << "column " << c;
        EXPECT_EQ(got[c].max, want[c].max) << "column " << c;
    }
}

// Little-endian 32-bit samples in memory, shown as a file channel of type LONG.
struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    FileChannel channel;
    explicit MemoryFile(const std::vector<std::int32_t>& samples) {
        bytes.resize(samples.size() * 4);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const auto v = static_cast<std::uint32_t>(samples[i]);
            for (int b = 0; b < 4; ++b)
                bytes[i * 4 + static_cast<std::size_t>(b)] =
                    static_cast<std::uint8_t>(v >> (8 * b));
        }
        channel.sampleType = nereid::recording::kSampleLong;
        channel.firstSample = bytes.data();
        channel.sampleCount = samples.size();
        channel.rate = 100;
    }
};

} // namespace

TEST(RingDecimation, WrapsAtTheRingEndLikeBruteForce) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> value(-8388608, 8388607);
    const std::size_t ringLength = 120 * 100;
    std::vector<std::int32_t> ring(ringLength);
    for (auto& v : ring)
        v = value(random);
    // The window runs over the end of the ring and continues at its start.
    const std::size_t start = ringLength - 1234;
    for (std::size_t count : {std::size_t(4000), std::size_t(777), ringLength}) {
        for (int columns : {1, 3, 500, 1537}) {
            std::vector<double> window;
            for (std::size_t k = 0; k < count; ++k)
                window.push_back(ring[(start + k) % ringLength]);
            std::vector<MinMax> got;
            DecimateRing(ring.data(), ringLength, start, count, columns, got);
            ExpectSame(got, BruteForce(window, columns));
        }
    }
}

TEST(RingDecimation, OneSamplePerColumnAndEmptyColumns) {
    std::vector<std::int32_t> ring = {5, -3, 9, 2};
    std::vector<MinMax> got;
    DecimateRing(ring.data(), ring.size(), 2, 4, 4, got);
    ASSERT_EQ(got.size(), 4u);
    const double want[] = {9, 2, 5, -3};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(got[static_cast<std::size_t>(c)].count, 1u);
        EXPECT_EQ(got[static_cast<std::size_t>(c)].min, want[c]);
        EXPECT_EQ(got[static_cast<std::size_t>(c)].max, want[c]);
    }
    // Fewer samples than columns: every sample still has exactly one column.
    DecimateRing(ring.data(), ring.size(), 0, 3, 7, got);
    std::uint64_t total = 0;
    for (const MinMax& m : got)
        total += m.count;
    EXPECT_EQ(total, 3u);
}

TEST(FileEnvelope, MillionSamplesInFiveHundredColumnsKeepEveryPeak) {
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> value(-1000, 1000);
    std::vector<std::int32_t> samples(1000000);
    for (auto& v : samples)
        v = value(random);
    // Isolated spikes, one of them the only sample of its sign far out, at odd places.
    const std::size_t spikes[] = {0, 4031, 8032, 12345, 499999, 500000, 777777, 999999};
    for (std::size_t i = 0; i < std::size(spikes); ++i)
        samples[spikes[i]] = (i % 2 ? -1 : 1) * static_cast<std::int32_t>(100000 + i);
    MemoryFile file(samples);
    CEnvelopePyramid pyramid;
    pyramid.Build(file.channel);
    EXPECT_GE(pyramid.Levels(), 4u);

    std::vector<double> window(samples.begin(), samples.end());
    std::vector<MinMax> got;
    pyramid.Decimate(file.channel, 0, samples.size(), 500, got);
    ExpectSame(got, BruteForce(window, 500));
    for (std::size_t i = 0; i < std::size(spikes); ++i) {
        const std::size_t column = spikes[i] * 500 / samples.size();
        const double spike = samples[spikes[i]];
        EXPECT_TRUE(got[column].min == spike || got[column].max == spike) << spikes[i];
    }
}

TEST(FileEnvelope, UnalignedWindowsAndTheEndOfTheFile) {
    std::mt19937 random(3);
    std::uniform_int_distribution<std::int32_t> value(-50000, 50000);
    std::vector<std::int32_t> samples(100003); // not a multiple of any block
    for (auto& v : samples)
        v = value(random);
    MemoryFile file(samples);
    CEnvelopePyramid pyramid;
    pyramid.Build(file.channel);
    const std::uint64_t start = 4097;
    const std::uint64_t count = samples.size() - start;
    std::vector<double> window(samples.begin() + static_cast<long>(start), samples.end());
    for (int columns : {1, 7, 333, 1600}) {
        std::vector<MinMax> got;
        pyramid.Decimate(file.channel, start, count, columns, got);
        ExpectSame(got, BruteForce(window, columns));
    }
    // A window that reaches past the end leaves the columns beyond it empty.
    std::vector<MinMax> got;
    pyramid.Decimate(file.channel, samples.size() - 10, 40, 4, got);
    EXPECT_GT(got[0].count, 0u);
    EXPECT_EQ(got[2].count, 0u);
    EXPECT_EQ(got[3].count, 0u);
}

TEST(FileSamples, EveryTypeLittleEndianAndZerosPastTheEnd) {
    using namespace nereid::recording;
    std::vector<std::uint8_t> bytes = {0xFE, 0xFF, 0x10, 0x00}; // INTEGER: -2, 16
    FileChannel channel;
    channel.sampleType = kSampleInteger;
    channel.firstSample = bytes.data();
    channel.sampleCount = 2;
    double out[4] = {9, 9, 9, 9};
    ReadFileSamples(channel, 0, 4, out);
    EXPECT_EQ(out[0], -2);
    EXPECT_EQ(out[1], 16);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);

    float f = -2.5f;
    std::uint8_t fb[4];
    std::memcpy(fb, &f, 4); // the test machine is little-endian, as the files are
    channel.sampleType = kSampleFloat;
    channel.firstSample = fb;
    channel.sampleCount = 1;
    ReadFileSamples(channel, 0, 1, out);
    EXPECT_EQ(out[0], -2.5);

    std::uint8_t byte = 0x80;
    channel.sampleType = kSampleByte;
    channel.firstSample = &byte;
    ReadFileSamples(channel, 0, 1, out);
    EXPECT_EQ(out[0], -128);
    // A start past the end gives zeros only.
    ReadFileSamples(channel, 5, 2, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
}
