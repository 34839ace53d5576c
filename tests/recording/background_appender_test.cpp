// Output written on a thread of its own while the next block is made: every block in order
// while the caller reuses its buffers, and a write that fails part-way reported, never a
// translation called done with a short file.
#include "format_test_util.h"
#include "recording/background_appender.h"
#include "recording/hlcp_translator.h"
#include "recording/staged_file.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::TempDir;

// Files may not grow past a limit for the length of one test; a write past it fails with
// EFBIG instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

TEST(BackgroundAppender, BlocksLandInOrderWhileTheCallerRefillsTwoBuffers) {
    TempDir dir;
    CStagedFile file(dir / "out.bin");
    ASSERT_EQ(file.Open({{"HEAD", CStagedFile::kOpenEnd}}), 0);
    std::vector<std::uint8_t> expected;
    {
        CBackgroundAppender appender(file);
        std::vector<std::uint8_t> buffers[2] = {std::vector<std::uint8_t>(70000),
                                                std::vector<std::uint8_t>(70000)};
        for (int block = 0; block < 200; ++block) {
            std::vector<std::uint8_t>& b = buffers[block % 2];
            // Each block a different length and content, written into the buffer the
            // appender has just let go of.
            const std::size_t length = 1 + (static_cast<std::size_t>(block) * 7919) % b.size();
            for (std::size_t i = 0; i < length; ++i) {
                b[i] = static_cast<std::uint8_t>(block * 31 + i);
            }
            expected.insert(expected.end(), b.begin(), b.begin() + static_cast<long>(length));
            ASSERT_EQ(appender.Append(b.data(), length), 0);
        }
        ASSERT_EQ(appender.Wait(), 0);
    }
    ASSERT_EQ(file.Commit({{"HEAD", CStagedFile::kOpenEnd}}), 0);
    std::vector<std::uint8_t> want = {'H', 'E', 'A', 'D'};
    want.insert(want.end(), expected.begin(), expected.end());
    EXPECT_EQ(test::ReadBytes(dir / "out.bin"), want);
}

TEST(BackgroundAppender, AFailedBlockIsReportedAtTheNextHandOverAndStays) {
    TempDir dir;
    CStagedFile file(dir / "out.bin");
    ASSERT_EQ(file.Open({{"", CStagedFile::kOpenEnd}}), 0);
    const std::vector<std::uint8_t> block(1 << 20, 0x5A);
    int failedAt = -1;
    int error = 0;
    {
        const FileSizeLimit limit(5u << 20);
        CBackgroundAppender appender(file);
        for (int k = 0; k < 12 && error == 0; ++k) {
            error = appender.Append(block.data(), block.size());
            failedAt = k;
        }
        if (error == 0) {
            error = appender.Wait();
        }
        // Once failed, always failed.
        EXPECT_EQ(appender.Append(block.data(), block.size()), error);
        EXPECT_EQ(appender.Wait(), error);
    }
    EXPECT_EQ(error, EFBIG);
    // The sixth block is the one that fails; the caller hears of it with the next hand-over.
    EXPECT_GE(failedAt, 5);
    EXPECT_LE(failedAt, 7);
}

TEST(BackgroundAppender, AWriteFailingPartWayFailsTheTranslationOfEveryForm) {
    HlcpPlan plan;
    plan.samples = test::TestSamples(1500000); // about 10 MB of decimal lines
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    for (int form = HlcpTranslator::kDadisp; form <= HlcpTranslator::kMseed; ++form) {
        TempDir dir;
        int written = 0;
        std::string message;
        {
            const FileSizeLimit limit(3u << 20);
            HlcpTranslator t(form, file.size(), "D1345A.HLC", dir.Path());
            ASSERT_TRUE(t.PrepareOutput());
            // In pieces, as an upload feeds it: several blocks are in flight when the
            // limit is reached.
            for (std::size_t at = 0; at < file.size(); at += 300000) {
                t.Feed(file.data() + at, std::min<std::size_t>(300000, file.size() - at));
            }
            written = t.Write();
            message = t.Message();
        }
        EXPECT_EQ(written, 0) << "form " << form;
        EXPECT_NE(message.find("error = " + std::to_string(EFBIG)), std::string::npos)
            << "form " << form << ": " << message;
        // Nothing is left behind, not even the temporary file.
        EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "form " << form;
    }
}

} // namespace
} // namespace nereid::recording
