#include "format_test_util.h"
#include "recording/css_writer.h"
#include "recording/dadisp_writer.h"
#include "recording/data_file_reader.h"
#include "recording/hlcp_translator.h"
#include "recording/seisan_merge.h"
#include "recording/seisan_reader.h"

#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::TempDir;

void ExpectChannel(const FileChannel& c, const std::vector<std::int32_t>& samples,
                   std::uint32_t start, int rate) {
    EXPECT_EQ(c.startSecond, start);
    EXPECT_EQ(c.rate, rate);
    ASSERT_EQ(c.sampleCount, samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(c.IntValue(i), samples[i]) << i;
    }
}

FileChannel OpenOne(const std::string& path) {
    std::vector<FileChannel> channels;
    ReaderMessage m;
    EXPECT_EQ(OpenDataFile(path, channels, m), kOpenAdded) << path << ": " << m.text;
    EXPECT_EQ(channels.size(), 1u);
    return channels.empty() ? FileChannel{} : channels[0];
}

TEST(RoundTrip, TranslatedFormsAtEveryRateCode) {
    const int codes[] = {21, 24, 25, 31, 32, 40, 60, 64, 71, 72, 73, 99};
    const std::vector<std::int32_t> samples = test::TestSamples(333);
    for (int code : codes) {
        for (int form : {HlcpTranslator::kDadisp, HlcpTranslator::kSeisan, HlcpTranslator::kCss}) {
            TempDir dir;
            HlcpPlan plan;
            plan.rateCode = code;
            plan.start = 915148799u; // 1998-12-31 23:59:59
            plan.samples = samples;
            const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
            HlcpTranslator t(form, file.size(), "W4567.HLC", dir.Path());
            ASSERT_TRUE(t.PrepareOutput());
            ASSERT_EQ(t.Feed(file.data(), file.size()), 1);
            ASSERT_EQ(t.Write(), 1) << t.Message();
            SCOPED_TRACE("form " + std::to_string(form) + " code " + std::to_string(code));
            ExpectChannel(OpenOne(dir / t.OutputName()), samples, plan.start, RateOfCode(code));
        }
    }
}

TEST(RoundTrip, RealTimeWriters) {
    TempDir dir;
    const std::vector<std::int32_t> samples = test::TestSamples(120 * 3);
    CDadispWriter d(dir / "DD5007_120030.093",
                    MakeRealTimeDadispHeader("DD5007_120030.093", 5, 1049371230u, 120, "note"),
                    CreateMode::kNew);
    CCssWriter c(dir.Path(), MakeRealTimeWfdisc("XYZ", "CD5007_120030.093", 1049371230u, 0, 120),
                 CreateMode::kNew);
    ASSERT_EQ(d.Open(), 1);
    ASSERT_EQ(c.Open(), 1);
    for (int s = 0; s < 3; ++s) {
        ASSERT_EQ(d.Append(samples.data() + 120 * s, 120), 1);
        ASSERT_EQ(c.Append(samples.data() + 120 * s, 120), 1);
    }
    ASSERT_EQ(d.Close(), 1);
    ASSERT_EQ(c.Close(), 1);
    ExpectChannel(OpenOne(dir / "DD5007_120030.093"), samples, 1049371230u, 120);
    ExpectChannel(OpenOne(dir / "CH5007_120030.093"), samples, 1049371230u, 120);
}

TEST(RoundTrip, MergedSeisanFile) {
    TempDir dir;
    std::vector<std::string> inputs;
    std::vector<std::vector<std::int32_t>> expected;
    for (int ch = 1; ch <= 3; ++ch) {
        const std::string name = "DD" + std::to_string(ch) + "042_153000.093";
        expected.push_back(test::TestSamples(static_cast<std::size_t>(32 * ch)));
        CDadispWriter w(dir / name, MakeRealTimeDadispHeader(name, ch, 1049383800u + ch, 50, ""),
                        CreateMode::kNew);
        ASSERT_EQ(w.Open(), 1);
        ASSERT_EQ(w.Append(expected.back().data(), expected.back().size()), 1);
        ASSERT_EQ(w.Close(), 1);
        inputs.push_back(dir / name);
    }
    std::string output, message;
    ASSERT_EQ(MergeDadispToSeisan(inputs, dir.Path(), "NR042", output, message), kMergeOk)
        << message;
    EXPECT_EQ(output, dir / "2003-04-03-1530-01S.NR042_003");
    const std::vector<std::uint8_t> f = test::ReadBytes(output);
    // Every channel's data is a whole number of 128-byte pieces: nothing follows the last one.
    std::uint64_t size = 1 + 12 * 82;
    for (int ch = 1; ch <= 3; ++ch) {
        size += 1058 + 130u * static_cast<std::uint64_t>(ch);
    }
    EXPECT_EQ(f.size(), size);
    std::vector<FileChannel> channels;
    ASSERT_EQ(ReadSeisanBinary(f.data(), f.size(), channels), 1);
    ASSERT_EQ(channels.size(), 3u);
    for (int ch = 1; ch <= 3; ++ch) {
        ExpectChannel(channels[static_cast<std::size_t>(ch - 1)],
                      expected[static_cast<std::size_t>(ch - 1)], 1049383800u + ch, 50);
    }
    // A second merge of the same period leaves the first file as it is, and no partial file.
    const std::vector<std::uint8_t> first = test::ReadBytes(output);
    EXPECT_EQ(MergeDadispToSeisan(inputs, dir.Path(), "NR042", output, message), kMergeWriteFailed);
    EXPECT_EQ(message, dir / "2003-04-03-1530-01S.NR042_003 exists already");
    EXPECT_EQ(test::ReadBytes(dir / "2003-04-03-1530-01S.NR042_003"), first);
    EXPECT_FALSE(std::filesystem::exists(dir / ".2003-04-03-1530-01S.NR042_003.part"));
    // A missing input leaves no file.
    inputs.push_back(dir / "DD9042_153000.093");
    EXPECT_EQ(MergeDadispToSeisan(inputs, dir.Path(), "NR042", output, message), kMergeBadInput);
}

} // namespace
} // namespace nereid::recording

namespace nereid::recording {
namespace {

TEST(RoundTrip, SeisanDataBeyondOneChannelHeaderIsSplit) {
    EXPECT_EQ(HlcpTranslator::SeisanSegmentSamples(100), 999200u);
    EXPECT_EQ(HlcpTranslator::SeisanSegmentSamples(125), 996000u);
    EXPECT_EQ(HlcpTranslator::SeisanSegmentSamples(1), 999968u);
    test::TempDir dir;
    test::HlcpPlan plan;
    plan.samples = test::TestSamples(1000001);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    HlcpTranslator t(HlcpTranslator::kSeisan, file.size(), "D1345A.HLC", dir.Path());
    ASSERT_TRUE(t.PrepareOutput());
    ASSERT_EQ(t.Feed(file.data(), file.size()), 1);
    ASSERT_EQ(t.Write(), 1) << t.Message();
    const std::vector<std::uint8_t> f = test::ReadBytes(dir / "D1451530.093");
    EXPECT_EQ(f.size(), 1 + 12 * 82 + 2 * 1058 + 999200 / 32 * 130 + (801 * 4 / 128) * 130 +
                            (801 * 4 % 128 + 2));
    std::vector<FileChannel> channels;
    ASSERT_EQ(ReadSeisanBinary(f.data(), f.size(), channels), kSeisanOk);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0].startSecond, plan.start);
    EXPECT_EQ(channels[1].startSecond, plan.start + 9992);
    ASSERT_EQ(channels[0].sampleCount, 999200u);
    ASSERT_EQ(channels[1].sampleCount, 801u);
    for (std::size_t i = 0; i < plan.samples.size(); ++i) {
        const FileChannel& c = i < 999200 ? channels[0] : channels[1];
        ASSERT_EQ(c.IntValue(i < 999200 ? i : i - 999200), plan.samples[i]) << i;
    }
}

} // namespace
} // namespace nereid::recording
