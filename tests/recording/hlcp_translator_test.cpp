#include "format_test_util.h"
#include "recording/css_format.h"
#include "recording/hlcp_translator.h"

#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::TempDir;

struct Result {
    int fed = 0;
    int written = 0;
    std::string name;
    std::string message;
    std::vector<std::string> paths;
};

// Feeds `file` in pieces of `piece` bytes (0 = whole) and writes into `folder`.
Result Translate(int form, const std::vector<std::uint8_t>& file, const std::string& folder,
                 std::size_t piece = 0, const std::string& source = "D1345A.HLC") {
    HlcpTranslator t(form, file.size(), "/x/" + source, folder);
    Result r;
    EXPECT_TRUE(t.PrepareOutput());
    r.fed = 1;
    if (piece == 0) {
        r.fed = t.Feed(file.data(), file.size());
    } else {
        for (std::size_t at = 0; at < file.size() && r.fed == 1; at += piece) {
            r.fed = t.Feed(file.data() + at, std::min(piece, file.size() - at));
        }
    }
    if (r.fed == 1) {
        r.written = t.Write();
    }
    r.name = t.OutputName();
    r.message = t.Message();
    r.paths = t.WrittenPaths();
    t.ReleaseOutput();
    return r;
}

TEST(HlcpTranslator, ShortOrForeignFilesAreRefused) {
    TempDir dir;
    std::vector<std::uint8_t> file = test::MakeHlcp(HlcpPlan{});
    file.resize(275);
    for (int form : {0, 1, 2, 4}) {
        const Result r = Translate(form, file, dir.Path());
        EXPECT_EQ(r.fed, 0);
        EXPECT_EQ(r.message, HlcpTranslator::kNotHlcpText);
        EXPECT_TRUE(r.paths.empty());
    }
    file = test::MakeHlcp(HlcpPlan{});
    file[17] = 16;
    EXPECT_EQ(Translate(0, file, dir.Path()).fed, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(HlcpTranslator, HeaderOnlyGivesEmptyOutputs) {
    TempDir dir;
    const std::vector<std::uint8_t> file = test::MakeHlcp(HlcpPlan{});
    ASSERT_EQ(file.size(), 276u);

    Result r = Translate(0, file, dir.Path());
    ASSERT_EQ(r.written, 1) << r.message;
    EXPECT_EQ(r.name, "D1451530.093");
    const std::string dadisp = test::ReadText(dir / "D1451530.093");
    EXPECT_EQ(dadisp, "DATASET D1345A.HLC\r\nFILE_TYPE LONG\r\nVERSION next\r\n"
                      "SIGNAL ABCD c1p\r\nDATE 04-03-03\r\nTIME 15:30:00.00\r\n"
                      "INTERVAL 0.010\r\nVERT_UNITS Counts\r\nHORZ_UNITS Sec\r\nCOMMENTS \r\n"
                      "DATA\r\n");

    r = Translate(1, file, dir.Path());
    ASSERT_EQ(r.written, 1) << r.message;
    const std::vector<std::uint8_t> seisan = test::ReadBytes(dir / "D1451530.093");
    ASSERT_EQ(seisan.size(), 1u + 12 * 82 + 1058); // no data record at all
    const std::string line1(seisan.begin() + 2, seisan.begin() + 82);
    EXPECT_EQ(line1.substr(60, 9), "    0.000");
    EXPECT_EQ(line1.substr(30, 3), "001");

    r = Translate(4, file, dir.Path());
    ASSERT_EQ(r.written, 1) << r.message;
    EXPECT_EQ(r.name, "CD1345_153000.093");
    EXPECT_EQ(test::ReadBytes(dir / "CD1345_153000.093").size(), 0u);
    EXPECT_EQ(test::ReadText(dir / "CH1345_153000.093").substr(79, 8), "00000000");
}

TEST(HlcpTranslator, ThirtyThreeSamplesInSeisanForm) {
    TempDir dir;
    HlcpPlan plan;
    for (int i = 0; i < 33; ++i) {
        plan.samples.push_back(i - 16);
    }
    const Result r = Translate(1, test::MakeHlcp(plan), dir.Path());
    ASSERT_EQ(r.written, 1) << r.message;
    const std::vector<std::uint8_t> f = test::ReadBytes(dir / "D1451530.093");
    const std::size_t data = 1 + 12 * 82 + 1058;
    ASSERT_EQ(f.size(), data + 1 + 128 + 2 + 4 + 1);
    EXPECT_EQ(f[data], 0x80);
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + data + 1, f.begin() + data + 5),
              (std::vector<std::uint8_t>{0xF0, 0xFF, 0xFF, 0xFF})); // -16
    EXPECT_EQ(f[data + 129], 0x80);
    EXPECT_EQ(f[data + 130], 0x04);
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + data + 131, f.begin() + data + 135),
              (std::vector<std::uint8_t>{16, 0, 0, 0}));
    EXPECT_EQ(f[data + 135], 0x04);
    // The channel header says 33 samples; the window is 0.33 s.
    EXPECT_EQ(std::string(f.begin() + 1 + 12 * 82 + 1 + 44, f.begin() + 1 + 12 * 82 + 1 + 50),
              "    33");
    EXPECT_EQ(std::string(f.begin() + 2 + 60, f.begin() + 2 + 69), "    0.330");
}

TEST(HlcpTranslator, SamplesAreSignExtended) {
    TempDir dir;
    std::vector<std::uint8_t> file = test::MakeHlcp(HlcpPlan{});
    file.insert(file.end(), {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00});
    ASSERT_EQ(Translate(0, file, dir.Path()).written, 1);
    const std::vector<std::uint8_t> f = test::ReadBytes(dir / "D1451530.093");
    ASSERT_GE(f.size(), 12u);
    EXPECT_EQ(std::vector<std::uint8_t>(f.end() - 12, f.end()),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x01, 0x00,
                                         0x00, 0x00}));
}

TEST(HlcpTranslator, AsciiListingByteForByte) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = {1, -8388608, 0};
    const Result r = Translate(2, test::MakeHlcp(plan), dir.Path());
    ASSERT_EQ(r.written, 1);
    const std::string blank(80, ' ');
    EXPECT_EQ(test::ReadText(dir / "D1451530.093"),
              "StaNm Cha yr doy mm dd hh mm second SamplRt #Smpls latitude longitude alt__\r\n"
              "ABCD  c1p 03 093 04 03 15 30 00.000  100.00      3  12.3456  -45.6789 00123 \r\n" +
                  blank + "\r\n" + blank + "\r\n" + blank + "\r\n" + "1\r\n-8388608\r\n0\r\n");
}

TEST(HlcpTranslator, UnknownRateCodeMeansTenPerSecond) {
    TempDir dir;
    HlcpPlan plan;
    plan.rateCode = 99;
    plan.samples = {1, 2};
    ASSERT_EQ(Translate(0, test::MakeHlcp(plan), dir.Path()).written, 1);
    EXPECT_NE(test::ReadText(dir / "D1451530.093").find("\r\nINTERVAL 0.100\r\n"),
              std::string::npos);
    ASSERT_EQ(Translate(4, test::MakeHlcp(plan), dir.Path()).written, 1);
    EXPECT_EQ(test::ReadText(dir / "CH1345_153000.093").substr(88, 11), " 10.0000000");
    EXPECT_EQ(RateOfCode(32), 125);
    EXPECT_EQ(RateOfCode(60), 1);
    EXPECT_EQ(RateOfCode(0), 10);
}

TEST(HlcpTranslator, OutputNames) {
    TempDir dir;
    HlcpPlan plan;
    plan.start = 1049373240; // 12:34:00 on day 93
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    EXPECT_EQ(Translate(0, file, dir.Path(), 0, "D1345A.HLC").name, "D1451234.093");
    EXPECT_EQ(Translate(0, file, dir.Path(), 0, "w2789.HLC").name, "w2891234.093");
    EXPECT_EQ(Translate(0, file, dir.Path(), 0, "X1345.HLC").name, "XX1345.HLC");
    EXPECT_EQ(Translate(4, file, dir.Path(), 0, "EA345.HLC").name, "CDA345_123400.093");
    EXPECT_TRUE(std::filesystem::exists(dir / "CHA345_123400.093"));
    EXPECT_EQ(test::ReadText(dir / "CHA345_123400.093").substr(7, 5), "CH 1S");
    const Result hlcp = Translate(3, file, dir.Path(), 0, "D1345A.HLC");
    EXPECT_EQ(hlcp.name, "D1345A.HLC");
    EXPECT_EQ(test::ReadBytes(dir / "D1345A.HLC"), file); // unused header bytes kept
}

TEST(HlcpTranslator, PiecesGiveTheSameBytesAsTheWholeFile) {
    HlcpPlan plan;
    plan.samples = test::TestSamples(5000);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    for (int form = 0; form <= 4; ++form) {
        TempDir whole, pieces, odd;
        const Result a = Translate(form, file, whole.Path());
        const Result b = Translate(form, file, pieces.Path(), 600);
        const Result c = Translate(form, file, odd.Path(), 277); // pieces end inside samples
        ASSERT_EQ(a.written, 1) << form;
        ASSERT_EQ(b.written, 1) << form;
        ASSERT_EQ(c.written, 1) << form;
        ASSERT_EQ(a.paths.size(), b.paths.size());
        for (std::size_t i = 0; i < a.paths.size(); ++i) {
            const std::string name = std::filesystem::path(a.paths[i]).filename();
            EXPECT_EQ(test::ReadBytes(a.paths[i]), test::ReadBytes(pieces / name)) << form;
            EXPECT_EQ(test::ReadBytes(a.paths[i]), test::ReadBytes(odd / name)) << form;
        }
    }
}

TEST(HlcpTranslator, SingleBytePiecesAndGrowthBeyondTheCapacity) {
    HlcpPlan plan;
    plan.samples = test::TestSamples(700);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    TempDir whole, bytes;
    ASSERT_EQ(Translate(2, file, whole.Path()).written, 1);
    // Capacity announced for the header only: the block must grow, not truncate.
    HlcpTranslator t(2, 4000, "D1345A.HLC", bytes.Path());
    ASSERT_TRUE(t.PrepareOutput());
    ASSERT_EQ(t.Feed(file.data(), 276), 1);
    for (std::size_t i = 276; i < file.size(); ++i) {
        ASSERT_EQ(t.Feed(file.data() + i, 1), 1);
    }
    EXPECT_EQ(t.SampleCount(), 700u);
    EXPECT_EQ(t.PendingBytes(), 0u);
    ASSERT_EQ(t.Write(), 1);
    EXPECT_EQ(test::ReadBytes(whole / "D1451530.093"), test::ReadBytes(bytes / "D1451530.093"));
}

TEST(HlcpTranslator, WriteFailureIsReported) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = {1};
    const Result r = Translate(0, test::MakeHlcp(plan), dir / "missing");
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(r.message, "Can't save file " + (dir / "missing") + "/D1451530.093 error = 2\n");
}

TEST(HlcpTranslator, FeedWithoutOutputBlockIsRefused) {
    HlcpTranslator t(0, 100, "D1345A.HLC", "/tmp");
    const std::vector<std::uint8_t> file = test::MakeHlcp(HlcpPlan{});
    EXPECT_EQ(t.Feed(file.data(), file.size()), 0);
    EXPECT_EQ(t.Message(), HlcpTranslator::kMappedFileText);
    EXPECT_EQ(t.Write(), 0);
    HlcpTranslator bad(7, 100, "D1345A.HLC", "/tmp");
    EXPECT_FALSE(bad.PrepareOutput());
}

} // namespace
} // namespace nereid::recording

namespace nereid::recording {
namespace {

// What arrived of a file cut short, written as a part beside the whole translation.
Result TranslatePart(int form, const std::vector<std::uint8_t>& file, std::size_t arrived,
                     const std::string& folder) {
    HlcpTranslator t(form, file.size(), "D1345A.HLC", folder);
    Result r;
    EXPECT_TRUE(t.PrepareOutput());
    r.fed = t.Feed(file.data(), arrived);
    r.written = t.WritePart(".part");
    r.name = t.OutputName();
    r.message = t.Message();
    r.paths = t.WrittenPaths();
    return r;
}

TEST(HlcpTranslator, PartsTakeFreeNamesAndLeaveTheWholeTranslationAlone) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = test::TestSamples(900);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    for (int form : {HlcpTranslator::kDadisp, HlcpTranslator::kCss, HlcpTranslator::kMseed}) {
        const Result whole = Translate(form, file, dir.Path());
        ASSERT_EQ(whole.written, 1) << form;
        const std::vector<std::uint8_t> wholeBytes = test::ReadBytes(dir / whole.name);

        const Result first = TranslatePart(form, file, 276 + 3 * 400, dir.Path());
        const Result second = TranslatePart(form, file, 276 + 3 * 200, dir.Path());
        ASSERT_EQ(first.written, 1) << first.message;
        ASSERT_EQ(second.written, 1) << second.message;
        EXPECT_EQ(first.name, whole.name + ".part");
        EXPECT_EQ(second.name, whole.name + ".2.part");
        EXPECT_EQ(test::ReadBytes(dir / whole.name), wholeBytes) << form;
        EXPECT_LT(test::ReadBytes(dir / second.name).size(),
                  test::ReadBytes(dir / first.name).size());
        if (form == HlcpTranslator::kCss) {
            // Each data part has a wfdisc part beside it counting its own samples (opened by
            // the data part's name; the record's 17-character file name cannot carry the
            // suffix), and the whole file's record is untouched.
            ASSERT_EQ(second.paths.size(), 2u);
            EXPECT_EQ(second.paths[1], dir / (WfdiscNameOf(whole.name) + ".2.part"));
            EXPECT_NE(test::ReadText(second.paths[1]).find(" 00000200 "), std::string::npos);
            EXPECT_NE(test::ReadText(dir / WfdiscNameOf(whole.name)).find(" 00000900 "),
                      std::string::npos);
        }
    }
}

TEST(HlcpTranslator, AsciiValuesMatchPrintf) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = test::TestSamples(3000);
    for (std::int32_t v : {0, 9, 10, 99, 100, -1, -9, -10, -99, -100, 999999, 1000000, -1000000,
                           8388607, -8388608, 12345, -54321}) {
        plan.samples.push_back(v);
    }
    ASSERT_EQ(Translate(2, test::MakeHlcp(plan), dir.Path()).written, 1);
    const std::string text = test::ReadText(dir / "D1451530.093");
    std::string expected;
    for (std::int32_t v : plan.samples) {
        expected += std::to_string(v) + "\r\n";
    }
    ASSERT_GE(text.size(), expected.size());
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

} // namespace
} // namespace nereid::recording
