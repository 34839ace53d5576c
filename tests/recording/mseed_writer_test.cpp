#include "format_test_util.h"
#include "recording/hlcp_translator.h"
#include "recording/mseed_packer_pool.h"
#include "recording/mseed_writer.h"
#include "tests/recording/mseed_test_read.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::ReadMseedFile;
using test::TempDir;

constexpr std::int64_t kUs = 1000000;

TEST(MseedTranslate, HlcpFileBecomesOneStreamWithExactStartAndSamples) {
    TempDir dir;
    HlcpPlan plan;
    plan.channelIndex = 2; // channel 3
    plan.samples = test::TestSamples(2345);
    test::WriteBytes(dir / plan.name, test::MakeHlcp(plan));
    const std::vector<std::uint8_t> source = test::MakeHlcp(plan);

    HlcpTranslator t(HlcpTranslator::kMseed, source.size(), dir / plan.name, dir.Path());
    t.SetMseedOptions("NZ", {{3, 'E'}}, 0);
    ASSERT_TRUE(t.PrepareOutput());
    // Fed in two pieces that split a sample, as an upload delivers it.
    ASSERT_EQ(t.Feed(source.data(), 1000), 1);
    ASSERT_EQ(t.Feed(source.data() + 1000, source.size() - 1000), 1);
    ASSERT_EQ(t.Write(), 1) << t.Message();
    // "D1345A.HLC" at 15:30 on day 93: the DADiSP name of the translation + ".mseed".
    EXPECT_EQ(t.OutputName(), "D145"
                              "1530.093.mseed");
    ASSERT_EQ(t.WrittenPaths(), std::vector<std::string>{dir / t.OutputName()});

    const test::MseedFile f = ReadMseedFile(dir / t.OutputName());
    ASSERT_EQ(f.result, MS_NOERROR);
    EXPECT_TRUE(f.all512);
    EXPECT_TRUE(f.allSteim2);
    ASSERT_EQ(f.segments.size(), 1u);
    const test::MseedSegment& s = f.segments[0];
    EXPECT_EQ(s.network, "NZ");
    EXPECT_EQ(s.station, "ABCD");
    EXPECT_EQ(s.location, "");
    EXPECT_EQ(s.channel, "HHE");
    EXPECT_EQ(s.startUs, std::int64_t{plan.start} * kUs);
    EXPECT_DOUBLE_EQ(s.rate, 100.0);
    EXPECT_EQ(s.samples, plan.samples);
}

TEST(MseedTranslate, ALongFileIsOneTraceAcrossThePackersChunks) {
    // Several of the packer's chunks and a piece of one, with full-scale steps at the chunk
    // borders: libmseed reads one trace, every sample and the start exact.
    TempDir dir;
    HlcpPlan plan;
    const std::size_t chunk = CSteim2ChunkPacker::kChunkSamples;
    plan.samples = test::TestSamples(3 * chunk + 777);
    for (const std::size_t border : {chunk, 2 * chunk, 3 * chunk}) {
        for (std::size_t i = border - 3; i < border + 3; ++i) {
            plan.samples[i] = i % 2 == 0 ? 8388607 : -8388608;
        }
    }
    const std::vector<std::uint8_t> source = test::MakeHlcp(plan);
    HlcpTranslator t(HlcpTranslator::kMseed, source.size(), plan.name, dir.Path());
    ASSERT_TRUE(t.PrepareOutput());
    ASSERT_EQ(t.Feed(source.data(), source.size()), 1);
    ASSERT_EQ(t.Write(), 1) << t.Message();
    const test::MseedFile f = ReadMseedFile(dir / t.OutputName());
    ASSERT_EQ(f.result, MS_NOERROR);
    EXPECT_TRUE(f.all512);
    ASSERT_EQ(f.segments.size(), 1u);
    EXPECT_EQ(f.segments[0].startUs, std::int64_t{plan.start} * kUs);
    EXPECT_EQ(f.segments[0].samples, plan.samples);
}

TEST(MseedTranslate, StationFallsBackToTheUnitAndBadInputIsRefused) {
    TempDir dir;
    HlcpPlan plan;
    plan.station = "";
    plan.rateCode = 40; // 1000 samples/s
    plan.samples = test::TestSamples(10);
    const std::vector<std::uint8_t> source = test::MakeHlcp(plan);
    HlcpTranslator t(HlcpTranslator::kMseed, 8192, plan.name, dir.Path());
    t.SetMseedOptions("XX", {}, 1234);
    ASSERT_TRUE(t.PrepareOutput());
    ASSERT_EQ(t.Feed(source.data(), source.size()), 1);
    const SMseedStreamId id = t.MseedStream();
    EXPECT_EQ(id.station, "1234");
    EXPECT_EQ(id.channel, "FH1");

    // Not an instrument file: refused, nothing written.
    std::vector<std::uint8_t> bad = source;
    bad[17] = 3;
    HlcpTranslator refused(HlcpTranslator::kMseed, 8192, "D2000A.HLC", dir.Path());
    ASSERT_TRUE(refused.PrepareOutput());
    EXPECT_EQ(refused.Feed(bad.data(), bad.size()), 0);
    EXPECT_EQ(refused.Write(), 0);
    EXPECT_EQ(refused.Message(), HlcpTranslator::kNotHlcpText);
    EXPECT_TRUE(refused.WrittenPaths().empty());

    // A destination that cannot be written: the message names the file.
    HlcpTranslator nowhere(HlcpTranslator::kMseed, 8192, plan.name, dir / "missing");
    ASSERT_TRUE(nowhere.PrepareOutput());
    ASSERT_EQ(nowhere.Feed(source.data(), source.size()), 1);
    EXPECT_EQ(nowhere.Write(), 0);
    EXPECT_NE(nowhere.Message().find("Can't save file"), std::string::npos);
}

TEST(MseedWriter, SecondsSetBetweenAppendsKeepGapsAndCloseFlushes) {
    TempDir dir;
    const std::string path = dir / "gap.mseed";
    const std::uint32_t t0 = 1796646896;
    CMseedWriter w(path, {"XX", "ABC", "", "BH1"}, 20, t0, CreateMode::kNew);
    ASSERT_EQ(w.Open(), 1);
    std::vector<std::int32_t> a(20), b(20), c(20);
    for (int i = 0; i < 20; ++i) {
        a[i] = i;
        b[i] = 100 + i;
        c[i] = -i * 1000;
    }
    ASSERT_EQ(w.Append(a.data(), 20), 1); // at t0 (the constructor's second)
    w.SetNextSecond(t0 + 1);              // continues: no gap
    ASSERT_EQ(w.Append(b.data(), 20), 1);
    w.SetNextSecond(t0 + 5);
    ASSERT_EQ(w.Append(c.data(), 20), 1);
    EXPECT_EQ(w.SampleCount(), 60u);
    ASSERT_EQ(w.Close(), 1);
    EXPECT_FALSE(w.IsOpen());

    const test::MseedFile f = ReadMseedFile(path);
    ASSERT_EQ(f.result, MS_NOERROR);
    ASSERT_EQ(f.segments.size(), 2u);
    EXPECT_EQ(f.segments[0].startUs, std::int64_t{t0} * kUs);
    std::vector<std::int32_t> ab = a;
    ab.insert(ab.end(), b.begin(), b.end());
    EXPECT_EQ(f.segments[0].samples, ab);
    EXPECT_EQ(f.segments[1].startUs, std::int64_t{t0 + 5} * kUs);
    EXPECT_EQ(f.segments[1].samples, c);
}

TEST(MseedWriter, DroppedWithoutCloseStillWritesTheLastRecord) {
    TempDir dir;
    const std::string path = dir / "dropped.mseed";
    std::vector<std::int32_t> v(30);
    for (int i = 0; i < 30; ++i) {
        v[static_cast<std::size_t>(i)] = i * i;
    }
    {
        CMseedWriter w(path, {"XX", "ABC", "", "BH1"}, 20, 1796646896, CreateMode::kNew);
        ASSERT_EQ(w.Open(), 1);
        ASSERT_EQ(w.Append(v.data(), v.size()), 1);
    }
    const test::MseedFile f = ReadMseedFile(path);
    ASSERT_EQ(f.segments.size(), 1u);
    EXPECT_EQ(f.segments[0].samples, v);
}

TEST(MseedWriter, ExistingFileIsKeptAndAFullDiskIsReported) {
    TempDir dir;
    const std::string path = dir / "kept.mseed";
    test::WriteBytes(path, std::string("earlier recording"));
    CMseedWriter again(path, {"XX", "ABC", "", "BH1"}, 20, 0, CreateMode::kNew);
    EXPECT_EQ(again.Open(), -EEXIST);
    EXPECT_EQ(test::ReadText(path), "earlier recording");
    const std::int32_t one = 1;
    EXPECT_EQ(again.Append(&one, 1), 0); // not open: nothing to do

    // /dev/full takes the open and refuses every write.
    CMseedWriter full("/dev/full", {"XX", "ABC", "", "BH1"}, 20, 0, CreateMode::kReplace);
    ASSERT_EQ(full.Open(), 1);
    std::vector<std::int32_t> many(5000);
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i] = static_cast<std::int32_t>(i * 37 % 5000);
    }
    EXPECT_EQ(full.Append(many.data(), many.size()), -ENOSPC);
    EXPECT_LT(full.Close(), 0);
}

} // namespace
} // namespace nereid::recording
