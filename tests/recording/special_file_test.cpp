#include "format_test_util.h"
#include "recording/data_file_reader.h"
#include "recording/hlcp_translator.h"
#include "recording/mapped_file.h"
#include "recording/regular_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace nereid::recording {
namespace {

using test::TempDir;

// Runs `call` on a thread. If it has not returned after two seconds it is blocked on `fifo`:
// opening the other end releases it so that the test fails instead of hanging.
template <typename Call> auto Promptly(const std::string& fifo, Call call) {
    auto result = std::async(std::launch::async, call);
    if (result.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked on " << fifo;
        const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return result.get();
}

// Translates a small HLCP recording into a CSS pair in `dir`; returns the data file's name.
std::string CssPairIn(const TempDir& dir) {
    test::HlcpPlan plan;
    plan.samples = {1, 2, 3};
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    HlcpTranslator t(4, file.size(), "C3042.HLC", dir.Path());
    EXPECT_TRUE(t.PrepareOutput());
    EXPECT_EQ(t.Feed(file.data(), file.size()), 1);
    EXPECT_EQ(t.Write(), 1) << t.Message();
    return t.OutputName();
}

std::string MakeFifo(const TempDir& dir, const std::string& name) {
    const std::string path = dir / name;
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}

TEST(SpecialFiles, FifoNamedLikeADataFileIsRefusedAtOnce) {
    TempDir dir;
    for (const char* name : {"DD1042_153000.123", "D1451234.093", "anything.dat"}) {
        const std::string fifo = MakeFifo(dir, name);
        std::vector<FileChannel> channels(1);
        ReaderMessage m;
        const int r = Promptly(fifo, [&] { return OpenDataFile(fifo, channels, m); });
        EXPECT_LT(r, 0) << name;
        EXPECT_NE(m.detail.find("not a regular file"), std::string::npos) << name << m.detail;
        EXPECT_EQ(channels.size(), 1u);
    }
    // Directories are refused the same way, not mapped or read.
    const std::string folder = dir / "DD1042_153000.124";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::vector<FileChannel> channels;
    ReaderMessage m;
    EXPECT_EQ(OpenDataFile(folder, channels, m), kOpenCannotOpen);
    EXPECT_EQ(m.text, "iii");
    EXPECT_TRUE(channels.empty());
}

TEST(SpecialFiles, FifoInACssPairIsRefusedAtOnce) {
    TempDir dir;
    std::vector<FileChannel> channels;
    ReaderMessage m;
    // The data file is real, its header is a FIFO.
    test::WriteBytes(dir / "CD3042_153000.093", std::string(8, '\0'));
    const std::string header = MakeFifo(dir, "CH3042_153000.093");
    EXPECT_EQ(
        Promptly(header, [&] { return OpenDataFile(dir / "CD3042_153000.093", channels, m); }),
        kOpenHeaderMissing);
    EXPECT_EQ(m.text, "Header file could not be opened");
    EXPECT_NE(m.detail.find("not a regular file"), std::string::npos) << m.detail;

    // A real header whose record names a FIFO as its data file.
    TempDir other;
    ASSERT_EQ(CssPairIn(other), "CD3042_153000.093");
    ASSERT_EQ(::unlink((other / "CD3042_153000.093").c_str()), 0);
    const std::string data = MakeFifo(other, "CD3042_153000.093");
    EXPECT_EQ(
        Promptly(data, [&] { return OpenDataFile(other / "CH3042_153000.093", channels, m); }),
        kOpenCannotOpen);
    EXPECT_TRUE(channels.empty());
}

TEST(SpecialFiles, RegularFileReading) {
    TempDir dir;
    test::WriteBytes(dir / "plain", "abc\n");
    std::string bytes = "stale";
    int error = -1;
    ASSERT_EQ(ReadRegularFile(dir / "plain", bytes, error), 1);
    EXPECT_EQ(bytes, "abc\n");
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ReadRegularFile(dir / "missing", bytes, error), 0);
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(bytes.empty());
    const std::string fifo = MakeFifo(dir, "fifo");
    EXPECT_EQ(Promptly(fifo, [&] { return ReadRegularFile(fifo, bytes, error); }), 0);
    EXPECT_EQ(error, kNotRegularFile);
    EXPECT_EQ(FileErrorText(error), "not a regular file");

    // The descriptor handed out blocks again: a mapped regular file reads whole.
    std::shared_ptr<const CMappedFile> file;
    ASSERT_EQ(CMappedFile::Open(dir / "plain", file, error), CMappedFile::kOk);
    ASSERT_EQ(file->Size(), 4u);
    EXPECT_EQ(file->Data()[3], '\n');
    const int fd = OpenRegularFile(dir / "plain", error);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);
    EXPECT_EQ(Promptly(fifo, [&] { return CMappedFile::Open(fifo, file, error); }),
              CMappedFile::kNotRegular);
}

} // namespace
} // namespace nereid::recording
