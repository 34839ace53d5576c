#include "sim/hlcp_file.h"

#include "sim/drive_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace nereid::sim {
namespace {

std::int32_t Sample(const std::vector<std::uint8_t>& f, std::size_t i) {
    const std::size_t at = kHlcpHeaderBytes + 3 * i;
    std::int32_t v = f[at] | (f[at + 1] << 8) | (f[at + 2] << 16);
    return (v & 0x800000) ? v - 0x1000000 : v;
}

TEST(HlcpFile, NamesFollowTheRecorderRule) {
    HlcpFilePlan plan;
    plan.startTime = 1049373240; // 2003-04-03 12:34:00, day 93
    plan.serial = 51345;
    plan.sequence = 7;
    plan.channelIndex = 0;
    EXPECT_EQ(HlcpFileName(plan), "D1345007.093");
    plan.channelIndex = 7;
    EXPECT_EQ(HlcpFileName(plan)[1], '8');
    plan.channelIndex = 8; // second set: 16 code points above the first
    EXPECT_EQ(HlcpFileName(plan)[1], 'A');
    plan.channelIndex = 15;
    EXPECT_EQ(HlcpFileName(plan)[1], 'H');
    for (int c = 0; c < 16; ++c) {
        plan.channelIndex = c;
        const std::string name = HlcpFileName(plan);
        EXPECT_EQ(name.size(), 12u);
        EXPECT_EQ(name.find_first_of("ST"), std::string::npos) << name;
        std::string base, ext;
        EXPECT_TRUE(DriveStore::SplitDosName(name, base, ext)) << name;
    }
}

TEST(HlcpFile, HeaderAndSamples) {
    HlcpFilePlan plan;
    plan.channelIndex = 9;
    plan.rateCode = 23; // 50 per second
    plan.startTime = 1041379200;
    plan.seconds = 3;
    plan.station = "AB";
    const SignalModel signal({2.0}, {8388607.0}, 0, 1);
    const auto f = BuildHlcpFile(plan, signal);
    ASSERT_EQ(f.size(), kHlcpHeaderBytes + 3u * 50 * 3);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 12), HlcpFileName(plan));
    EXPECT_EQ(f[14], 9);
    EXPECT_EQ(f[15], 0);
    EXPECT_EQ(f[17], 17);
    EXPECT_EQ(f[18], 23);
    EXPECT_EQ(f[20] | (f[21] << 8) | (f[22] << 16) | (f[23] << 24), 1041379200);
    EXPECT_EQ(std::string(f.begin() + 272, f.end() - 3 * 150), "AB  ");
    // A 2 Hz full-scale sine at 50 per second: a quarter period in 6.25 samples, so sample 0
    // is 0, and the peak of 8388607 is not reached exactly but the sign pattern is.
    EXPECT_EQ(Sample(f, 0), 0);
    EXPECT_GT(Sample(f, 6), 8300000);
    EXPECT_LT(Sample(f, 19), -8300000);
    for (std::size_t i = 0; i < 150; ++i)
        EXPECT_EQ(Sample(f, i),
                  signal.Sample(10, plan.startTime + static_cast<std::uint32_t>(i / 50),
                                static_cast<int>(i % 50), 50));
}

TEST(HlcpFile, GeneratedDriveHoldsRecordingsItCanList) {
    char pattern[] = "/tmp/nereid-sim-gen-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(pattern);
    std::string why;
    ASSERT_EQ(GenerateRecordings(folder, 1041382800 + 125, 1234, "SIM1", SignalModel(), why), 1)
        << why;
    DriveStore drives;
    ASSERT_EQ(drives.SetDrive('A', folder), 1);
    std::vector<DriveEntry> entries;
    ASSERT_EQ(drives.List("A:\\*.*", entries, why), 1);
    int files = 0;
    for (const auto& e : entries) {
        if (e.directory)
            continue;
        ++files;
        std::vector<std::uint8_t> data;
        ASSERT_EQ(drives.Read("A:\\" + e.base + "." + e.extension, data, why), 1);
        ASSERT_GE(data.size(), kHlcpHeaderBytes);
        EXPECT_EQ(data[17], 17);
        EXPECT_EQ((data.size() - kHlcpHeaderBytes) % 3, 0u);
        EXPECT_EQ(data[20] | (data[21] << 8) | (data[22] << 16) | (data[23] << 24), 1041382800)
            << "files start on the hour";
        EXPECT_EQ(std::string(data.begin(), data.begin() + 12), e.base + "." + e.extension);
    }
    EXPECT_EQ(files, 3);
    ASSERT_EQ(drives.List("A:\\DAY001\\*.*", entries, why), 1) << why;
    EXPECT_EQ(entries.size(), 1u);
    std::filesystem::remove_all(folder);
}

TEST(SignalModel, NoiseIsSeededAndBounded) {
    const SignalModel a({0.0}, {0.0}, 5, 42);
    const SignalModel b({0.0}, {0.0}, 5, 42);
    const SignalModel c({0.0}, {0.0}, 5, 43);
    int differ = 0;
    for (int k = 0; k < 200; ++k) {
        const auto v = a.Sample(3, 1000, k, 200);
        EXPECT_GE(v, -5);
        EXPECT_LE(v, 5);
        EXPECT_EQ(v, b.Sample(3, 1000, k, 200));
        differ += v != c.Sample(3, 1000, k, 200);
    }
    EXPECT_GT(differ, 100);
    // Amplitude plus noise is clamped to 24 bits.
    const SignalModel loud({0.25}, {8388607.0}, 1000, 1);
    EXPECT_LE(loud.Sample(1, 0, 1, 1), 8388607);
    EXPECT_EQ(SignalModel().Amplitude(4), 400000.0);
    EXPECT_EQ(SignalModel({1.0, 2.0}, {}, 0, 1).Frequency(16), 2.0);
}

} // namespace
} // namespace nereid::sim
