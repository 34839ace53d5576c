#include "format_test_util.h"
#include "recording/hlcp_translator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::TempDir;

using Files = std::map<std::string, std::vector<std::uint8_t>>;

Files Contents(const std::string& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] = test::ReadBytes(entry.path().string());
    }
    return files;
}

std::size_t Entries(const std::string& folder) {
    const std::filesystem::directory_iterator all(folder);
    return static_cast<std::size_t>(std::distance(begin(all), end(all)));
}

// Translates `file` announced as `expected` bytes, fed in pieces of `piece` bytes.
Files Translate(int form, const std::vector<std::uint8_t>& file, std::uint64_t expected,
                std::size_t piece) {
    TempDir dir;
    HlcpTranslator t(form, expected, "D1345A.HLC", dir.Path());
    EXPECT_TRUE(t.PrepareOutput());
    for (std::size_t at = 0; at < file.size(); at += piece) {
        EXPECT_EQ(t.Feed(file.data() + at, std::min(piece, file.size() - at)), 1);
    }
    EXPECT_EQ(t.Write(), 1) << t.Message();
    return Contents(dir.Path());
}

// The upload knows a file's size only roughly: whatever was announced, the output is the
// same. 1000100 samples cross both the SEISAN channel limit (999999 samples: one channel
// becomes two) and the ASCII header's six-digit count, so the headers planned from a wrong
// size change length and the file is rebuilt.
TEST(TranslatorStreaming, TheAnnouncedSizeNeverChangesTheOutput) {
    HlcpPlan plan;
    plan.samples = test::TestSamples(1000100);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    for (int form = HlcpTranslator::kDadisp; form <= HlcpTranslator::kMseed; ++form) {
        const Files exact = Translate(form, file, file.size(), file.size());
        ASSERT_FALSE(exact.empty());
        for (const std::uint64_t announced :
             {std::uint64_t{0}, std::uint64_t{276 + 3 * 999999}, std::uint64_t{file.size() / 2},
              std::uint64_t{file.size() * 3}}) {
            EXPECT_EQ(Translate(form, file, announced, 1 << 20), exact)
                << "form " << form << " announced " << announced;
        }
    }
    // One SEISAN channel when announced as two, and the other way round.
    plan.samples.resize(999999);
    const std::vector<std::uint8_t> single = test::MakeHlcp(plan);
    EXPECT_EQ(Translate(HlcpTranslator::kSeisan, single, file.size(), 4096),
              Translate(HlcpTranslator::kSeisan, single, single.size(), single.size()));
}

TEST(TranslatorStreaming, AnAbandonedTranslationLeavesTheFolderAsItWas) {
    HlcpPlan plan;
    plan.samples = test::TestSamples(3000000); // several blocks already written
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    for (int form = HlcpTranslator::kDadisp; form <= HlcpTranslator::kMseed; ++form) {
        TempDir dir;
        test::WriteBytes(dir / "older.txt", std::string("kept"));
        {
            HlcpTranslator t(form, file.size(), "D1345A.HLC", dir.Path());
            ASSERT_TRUE(t.PrepareOutput());
            ASSERT_EQ(t.Feed(file.data(), file.size() - 1000), 1);
        }
        {
            HlcpTranslator t(form, file.size(), "D1345A.HLC", dir.Path());
            ASSERT_TRUE(t.PrepareOutput());
            ASSERT_EQ(t.Feed(file.data(), file.size() / 2), 1);
            t.ReleaseOutput();
            EXPECT_EQ(t.Write(), 0);
        }
        EXPECT_EQ(Entries(dir.Path()), 1u) << form;
    }
}

TEST(TranslatorStreaming, AFailedWriteIsReportedAndLeavesNoPartialFile) {
    HlcpPlan plan;
    plan.samples = test::TestSamples(400000);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    TempDir dir;
    // The output's name is taken by a folder that is not empty: the data is written, but the
    // output cannot take its name.
    std::filesystem::create_directories(dir / "D1451530.093/inside");
    HlcpTranslator t(HlcpTranslator::kAscii, file.size(), "D1345A.HLC", dir.Path());
    ASSERT_TRUE(t.PrepareOutput());
    ASSERT_EQ(t.Feed(file.data(), file.size()), 1);
    EXPECT_EQ(t.Write(), 0);
    EXPECT_EQ(t.Message().rfind("Can't save file " + (dir / "D1451530.093") + " error = ", 0), 0u)
        << t.Message();
    EXPECT_EQ(t.Message().back(), '\n');
    EXPECT_TRUE(t.WrittenPaths().empty());
    EXPECT_EQ(Entries(dir.Path()), 1u); // only the folder
    EXPECT_EQ(t.Write(), 0);            // once only
    EXPECT_EQ(t.Feed(file.data(), 3), 0);

    // CSS: the data file is complete and kept (and listed); its wfdisc record cannot take its
    // name.
    TempDir css;
    std::filesystem::create_directories(css / "CH1345_153000.093/inside");
    HlcpTranslator c(HlcpTranslator::kCss, file.size(), "D1345A.HLC", css.Path());
    ASSERT_TRUE(c.PrepareOutput());
    ASSERT_EQ(c.Feed(file.data(), file.size()), 1);
    EXPECT_EQ(c.Write(), 0);
    EXPECT_EQ(c.Message().rfind("Can't save file " + (css / "CH1345_153000.093"), 0), 0u)
        << c.Message();
    EXPECT_EQ(c.WrittenPaths(), std::vector<std::string>{css / "CD1345_153000.093"});
    EXPECT_EQ(Entries(css.Path()), 2u);
}

} // namespace
} // namespace nereid::recording

namespace nereid::recording {
namespace {

// The decimal lines against printf over the whole 24-bit range: a stride through it, and
// every power of ten and its neighbours on both sides of zero.
TEST(TranslatorStreaming, DecimalLinesMatchPrintfOverTheWholeRange) {
    HlcpPlan plan;
    for (std::int32_t v = -8388608; v <= 8388607; v += 61) {
        plan.samples.push_back(v);
    }
    for (std::int32_t p = 1; p <= 1000000; p *= 10) {
        for (const std::int32_t v : {p - 1, p, p + 1, 10 * p - 1}) {
            if (v <= 8388607) { // 9999999 is not a 24-bit number
                plan.samples.push_back(v);
                plan.samples.push_back(-v);
            }
        }
    }
    plan.samples.push_back(8388607);
    plan.samples.push_back(-8388608);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    TempDir dir;
    HlcpTranslator t(HlcpTranslator::kAscii, file.size(), "D1345A.HLC", dir.Path());
    ASSERT_TRUE(t.PrepareOutput());
    ASSERT_EQ(t.Feed(file.data(), file.size()), 1);
    ASSERT_EQ(t.Write(), 1);
    std::string expected;
    char line[16];
    for (const std::int32_t v : plan.samples) {
        std::snprintf(line, sizeof line, "%d\r\n", static_cast<int>(v));
        expected += line;
    }
    const std::string text = test::ReadText(dir / "D1451530.093");
    ASSERT_GE(text.size(), expected.size());
    EXPECT_TRUE(text.compare(text.size() - expected.size(), expected.size(), expected) == 0);
}

} // namespace
} // namespace nereid::recording
