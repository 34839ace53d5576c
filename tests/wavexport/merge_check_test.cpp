#include "recording/dadisp_format.h"
#include "recording/dadisp_writer.h"
#include "recording/seisan_format.h"
#include "wavexport/merge_check.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace nereid::wavexport {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStart = 1049373240;

class MergeCheck : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = fs::temp_directory_path() / "nereid-mc-XXXXXX";
        m_dir = ::mkdtemp(pattern.data());
        for (int c = 1; c <= 2; ++c) {
            const std::string name = "DD" + std::to_string(c) + "042_123400.093";
            std::vector<std::int32_t> s;
            for (int i = 0; i < 100; ++i) {
                s.push_back(c * 1000 + i);
            }
            recording::CDadispWriter w(
                m_dir + "/" + name, recording::MakeRealTimeDadispHeader(name, c, kStart, 100, ""),
                recording::CreateMode::kNew);
            ASSERT_EQ(w.Open(), 1);
            ASSERT_EQ(w.Append(s.data(), s.size()), 1);
            ASSERT_EQ(w.Close(), 1);
            m_inputs.push_back(m_dir + "/" + name);
            m_samples.push_back(s);
        }
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // A merged file of `samples` per channel, written with this system's SEISAN writer.
    std::string Merged(std::vector<std::vector<std::int32_t>> samples,
                       std::uint32_t start = kStart) {
        std::vector<recording::SeisanChannel> channels;
        for (std::size_t k = 0; k < samples.size(); ++k) {
            recording::SeisanChannel c;
            c.station = "N042";
            c.component = "CH" + std::to_string(k + 1) + " ";
            c.startSecond = start;
            c.rate = 100;
            c.sampleCount = samples[k].size();
            channels.push_back(c);
        }
        const std::vector<std::uint8_t> f = recording::BuildSeisanFile("NR042", channels, samples);
        const std::string path = m_dir + "/merged";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
        return path;
    }

    std::vector<std::int32_t> Head(int k, std::size_t n) const {
        return {m_samples[k].begin(), m_samples[k].begin() + static_cast<std::ptrdiff_t>(n)};
    }

    std::string m_dir;
    std::vector<std::string> m_inputs;
    std::vector<std::vector<std::int32_t>> m_samples;
};

TEST_F(MergeCheck, EveryChannelWholeInEitherOrderIsSound) {
    std::string failure;
    EXPECT_EQ(CheckMerged(Merged({Head(1, 100), Head(0, 100)}), m_inputs, failure), kMergeSound)
        << failure;
}

TEST_F(MergeCheck, LostTailsAreNamedWithTheirCounts) {
    std::string failure;
    // The first file lost 10 samples, the second one.
    EXPECT_EQ(CheckMerged(Merged({Head(1, 99), Head(0, 90)}), m_inputs, failure),
              kMergeSamplesLost);
    EXPECT_EQ(failure, "in merged DD1042_123400.093 has 90 of its 100 samples, "
                       "DD2042_123400.093 has 99 of its 100 samples");
    // One sample alone left still pairs.
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100), Head(1, 1)}), m_inputs, failure),
              kMergeSamplesLost);
    EXPECT_EQ(failure, "in merged DD2042_123400.093 has 1 of its 100 samples");
}

TEST_F(MergeCheck, Refusals) {
    std::string failure;
    // One changed sample.
    std::vector<std::int32_t> changed = Head(1, 100);
    changed[50] += 1;
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100), changed}), m_inputs, failure),
              kMergeChannelMissing);
    EXPECT_EQ(failure, "no channel of merged holds the samples of DD2042_123400.093");
    // A changed sample in a shortened channel is no lost tail.
    changed.resize(90);
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100), changed}), m_inputs, failure),
              kMergeChannelMissing);
    // Another start second.
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100), Head(1, 100)}, kStart + 1), m_inputs, failure),
              kMergeChannelMissing);
    // Both files served by one channel, or a channel too many, whole or shortened.
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100)}), m_inputs, failure), kMergeChannelMissing);
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100), Head(1, 100), Head(1, 100)}), m_inputs, failure),
              kMergeExtraChannels);
    EXPECT_EQ(failure, "merged holds 3 channels, 2 expected");
    EXPECT_EQ(CheckMerged(Merged({Head(0, 100), Head(1, 90), Head(1, 100)}), m_inputs, failure),
              kMergeExtraChannels);
    // Not SEISAN at all, and missing.
    std::ofstream(m_dir + "/merged") << "DATASET\r\n";
    EXPECT_EQ(CheckMerged(m_dir + "/merged", m_inputs, failure), kMergeUnreadable);
    EXPECT_EQ(CheckMerged(m_dir + "/none", m_inputs, failure), kMergeUnreadable);
}

} // namespace
} // namespace nereid::wavexport
