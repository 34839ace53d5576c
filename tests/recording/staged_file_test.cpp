#include "format_test_util.h"
#include "recording/staged_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace nereid::recording {
namespace {

using test::TempDir;
using Layout = CStagedFile::Layout;

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The stream 0, 1, 2, ... fed in uneven pieces, so that the pieces straddle part boundaries.
std::string Stream(std::size_t length) {
    std::string s(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        s[i] = static_cast<char>('a' + i % 26);
    }
    return s;
}

int AppendInPieces(CStagedFile& f, const std::string& stream) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(stream.data());
    std::size_t at = 0;
    for (std::size_t piece = 1; at < stream.size(); piece = piece * 3 % 11 + 1) {
        const std::size_t n = std::min(piece, stream.size() - at);
        if (const int e = f.Append(bytes + at, n); e != 0) {
            return e;
        }
        at += n;
    }
    return 0;
}

// The file a layout describes: each head, then its part of the stream.
std::string Compose(const Layout& layout, const std::string& stream) {
    std::string out;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        out += layout[i].head;
        const std::uint64_t end = i + 1 < layout.size()
                                      ? std::min<std::uint64_t>(layout[i].streamEnd, stream.size())
                                      : stream.size();
        if (end > start) {
            out += stream.substr(start, end - start);
            start = end;
        }
    }
    return out;
}

TEST(StagedFile, HeadsOfTheSameLengthsAreRewrittenInPlace) {
    TempDir dir;
    const std::string stream = Stream(40);
    CStagedFile f(dir / "out.dat");
    ASSERT_EQ(f.Open({{"plan", 10}, {"p2", 25}, {"p3", CStagedFile::kOpenEnd}}), 0);
    ASSERT_EQ(AppendInPieces(f, stream), 0);
    // Nothing under the final name until the end: only the hidden temporary file.
    EXPECT_FALSE(std::filesystem::exists(dir / "out.dat"));
    ASSERT_EQ(Listing(dir.Path()).size(), 1u);
    EXPECT_EQ(Listing(dir.Path())[0][0], '.');
    const Layout actual = {{"REAL", 10}, {"R2", 25}, {"R3", CStagedFile::kOpenEnd}};
    ASSERT_EQ(f.Commit(actual), 0);
    EXPECT_EQ(test::ReadText(dir / "out.dat"), Compose(actual, stream));
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"out.dat"});
}

TEST(StagedFile, AnyOtherShapeIsRebuiltFromTheWrittenStream) {
    const std::string stream = Stream(100);
    const std::vector<Layout> layouts = {
        {{"", CStagedFile::kOpenEnd}},
        {{"head", CStagedFile::kOpenEnd}},
        {{"longer head", CStagedFile::kOpenEnd}},
        {{"a", 30}, {"bb", 60}, {"ccc", CStagedFile::kOpenEnd}},
        {{"a", 30}, {"bb", 60}, {"ccc", 90}, {"dddd", CStagedFile::kOpenEnd}},
        {{"a", 30}, {"bb", 100}, {"never reached", CStagedFile::kOpenEnd}},
        {{"x", 45}, {"y", CStagedFile::kOpenEnd}},
    };
    for (const Layout& plan : layouts) {
        for (const Layout& actual : layouts) {
            TempDir dir;
            CStagedFile f(dir / "out.dat");
            ASSERT_EQ(f.Open(plan), 0);
            ASSERT_EQ(AppendInPieces(f, stream), 0);
            ASSERT_EQ(f.Commit(actual), 0);
            EXPECT_EQ(test::ReadText(dir / "out.dat"), Compose(actual, stream))
                << plan.size() << " -> " << actual.size();
            EXPECT_EQ(Listing(dir.Path()).size(), 1u);
        }
    }
}

TEST(StagedFile, AnOlderFileIsReplacedOnlyByACompleteOne) {
    TempDir dir;
    test::WriteBytes(dir / "out.dat", std::string("older"));
    {
        CStagedFile abandoned(dir / "out.dat");
        ASSERT_EQ(abandoned.Open({{"new", CStagedFile::kOpenEnd}}), 0);
        ASSERT_EQ(AppendInPieces(abandoned, Stream(50)), 0);
    }
    EXPECT_EQ(test::ReadText(dir / "out.dat"), "older");
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"out.dat"});

    CStagedFile discarded(dir / "out.dat");
    ASSERT_EQ(discarded.Open({}), 0);
    discarded.Discard();
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"out.dat"});

    CStagedFile complete(dir / "out.dat");
    ASSERT_EQ(complete.Open({{"new", CStagedFile::kOpenEnd}}), 0);
    ASSERT_EQ(AppendInPieces(complete, Stream(5)), 0);
    ASSERT_EQ(complete.Commit({{"new", CStagedFile::kOpenEnd}}), 0);
    EXPECT_TRUE(complete.Committed());
    EXPECT_EQ(test::ReadText(dir / "out.dat"), "new" + Stream(5));
}

TEST(StagedFile, AFileThatMustReplaceNothingTakesOnlyAFreeName) {
    TempDir dir;
    test::WriteBytes(dir / "out.dat", std::string("whole"));
    std::filesystem::create_symlink(dir / "gone", dir / "dangling.dat");

    // A taken name, a plain file or a link leading nowhere, is left as it was.
    for (const char* taken : {"out.dat", "dangling.dat"}) {
        CStagedFile part(dir / "out.dat");
        ASSERT_EQ(part.Open({{"p", CStagedFile::kOpenEnd}}), 0);
        ASSERT_EQ(AppendInPieces(part, Stream(30)), 0);
        part.SetPath(dir / taken);
        EXPECT_EQ(part.Commit({{"p", CStagedFile::kOpenEnd}}, CStagedFile::Existing::kKeep), EEXIST)
            << taken;
        EXPECT_FALSE(part.Committed());
    }
    EXPECT_EQ(test::ReadText(dir / "out.dat"), "whole");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.dat"));
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"dangling.dat", "out.dat"}));

    // Made for one name, given another before the end: only the new name appears.
    CStagedFile part(dir / "out.dat");
    ASSERT_EQ(part.Open({{"p", CStagedFile::kOpenEnd}}), 0);
    ASSERT_EQ(AppendInPieces(part, Stream(30)), 0);
    part.SetPath(dir / "out.dat.part");
    ASSERT_EQ(part.Commit({{"p", CStagedFile::kOpenEnd}}, CStagedFile::Existing::kKeep), 0);
    EXPECT_EQ(test::ReadText(dir / "out.dat.part"), "p" + Stream(30));
    EXPECT_EQ(test::ReadText(dir / "out.dat"), "whole");
}

TEST(StagedFile, FailuresAreReportedAndLeaveNothing) {
    TempDir dir;
    CStagedFile nowhere(dir / "missing/out.dat");
    EXPECT_EQ(nowhere.Open({{"h", CStagedFile::kOpenEnd}}), ENOENT);
    const std::uint8_t byte = 1;
    EXPECT_EQ(nowhere.Append(&byte, 1), ENOENT); // the first error sticks
    EXPECT_EQ(nowhere.Commit({{"h", CStagedFile::kOpenEnd}}), ENOENT);

    // The final name is taken by a folder that is not empty: the rename fails at the end.
    std::filesystem::create_directories(dir / "out.dat/inside");
    CStagedFile blocked(dir / "out.dat");
    ASSERT_EQ(blocked.Open({{"h", CStagedFile::kOpenEnd}}), 0);
    ASSERT_EQ(AppendInPieces(blocked, Stream(20)), 0);
    EXPECT_NE(blocked.Commit({{"h", CStagedFile::kOpenEnd}}), 0);
    EXPECT_FALSE(blocked.Committed());
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"out.dat"});
    EXPECT_TRUE(std::filesystem::is_directory(dir / "out.dat"));
}

} // namespace
} // namespace nereid::recording
