#include "display/model/analysis_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

#include "recording/byte_order.h"

using namespace nereid::display::model;
using nereid::recording::GetLe32;
using nereid::recording::PutLe32;

namespace {

std::vector<std::uint8_t> Header(std::uint32_t count) {
    std::vector<std::uint8_t> bytes(AnalysisLayout::kHeaderBytes + count * 40, 0);
    PutLe32(bytes.data(), count);
    return bytes;
}

void PutFloat(std::uint8_t* p, float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutLe32(p, bits);
}

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TempFile {
    std::string path;
    TempFile() {
        char name[] = "/tmp/nereid-layout-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        path = name;
    }
    ~TempFile() { std::filesystem::remove(path); }
};

} // namespace

TEST(AnalysisLayoutFile, EveryOutOfRangeValueIsCorrectedAndWrittenBack) {
    std::vector<std::uint8_t> bytes = Header(2);
    std::uint8_t* p = bytes.data();
    PutLe32(p + 4, 6);           // time background: above 5 -> 0
    PutLe32(p + 8, 0xFFFFFFFF);  // spectrum background -> 0
    PutLe32(p + 12, 0xDEADBEEF); // never written: must not come back
    PutLe32(p + 16, 0xDEADBEEF);
    PutLe32(p + 20, 11);   // time range -> 10
    PutLe32(p + 24, 10);   // bins index -> 9
    PutLe32(p + 28, 21);   // time grid -> 1
    PutLe32(p + 32, 400);  // spectrum grid -> 1
    PutLe32(p + 36, 1000); // FFT size -> 1024
    PutLe32(p + 40, 0x12345678);
    PutFloat(p + 44, 1.5f); // share -> 0.5
    PutLe32(p + 48, 60);
    std::uint8_t* r = p + 52;
    PutLe32(r, 1);
    PutLe32(r + 4, 0);
    PutLe32(r + 8, 1);
    std::memcpy(r + 12, "1\0\0\0\0\0\0\0", 8);
    PutLe32(r + 20, 0x00FFFF);
    PutLe32(r + 24, 0x0000FF);
    PutLe32(r + 28, 262144);
    PutLe32(r + 32, 100);
    PutLe32(r + 36, static_cast<std::uint32_t>(-17));
    r += 40;
    PutLe32(r, 0);
    PutLe32(r + 4, 1);
    PutLe32(r + 8, 2);
    std::memcpy(r + 12, "ABCDEFG\0", 8);

    TempFile file;
    {
        std::ofstream out(file.path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    AnalysisLayout layout;
    ASSERT_EQ(ReadAnalysisLayout(file.path, layout), 1);
    EXPECT_EQ(layout.timeBackground, 0u);
    EXPECT_EQ(layout.spectrumBackground, 0u);
    EXPECT_EQ(layout.timeRangeIndex, 10u);
    EXPECT_EQ(layout.binsIndex, 9u);
    EXPECT_EQ(layout.timeGrid, 1u);
    EXPECT_EQ(layout.spectrumGrid, 1u);
    EXPECT_EQ(layout.fftSize, 1024u);
    EXPECT_EQ(layout.spectrumShare, 0.5f);
    EXPECT_EQ(layout.divider, 60);
    ASSERT_EQ(layout.channels.size(), 2u);
    EXPECT_EQ(layout.channels[0].name, "1");
    EXPECT_EQ(layout.channels[0].offset, -17);
    EXPECT_EQ(layout.channels[0].timeRange, 262144u);
    EXPECT_EQ(layout.channels[1].name, "ABCDEFG");
    EXPECT_EQ(layout.channels[1].spectrumOpen, 1u);

    ASSERT_EQ(WriteAnalysisLayout(file.path, layout), 1);
    // Written back: the corrected values, the unused words as zero, the records unchanged.
    std::vector<std::uint8_t> want = bytes;
    PutLe32(want.data() + 4, 0);
    PutLe32(want.data() + 8, 0);
    PutLe32(want.data() + 12, 0);
    PutLe32(want.data() + 16, 0);
    PutLe32(want.data() + 20, 10);
    PutLe32(want.data() + 24, 9);
    PutLe32(want.data() + 28, 1);
    PutLe32(want.data() + 32, 1);
    PutLe32(want.data() + 36, 1024);
    PutLe32(want.data() + 40, 0);
    PutFloat(want.data() + 44, 0.5f);
    EXPECT_EQ(ReadAll(file.path), want);
}

TEST(AnalysisLayoutFile, ValidValuesSurviveUnchanged) {
    std::vector<std::uint8_t> bytes = Header(1);
    PutLe32(bytes.data() + 4, 5);
    PutLe32(bytes.data() + 20, 10);
    PutLe32(bytes.data() + 24, 9);
    PutLe32(bytes.data() + 28, 20);
    PutLe32(bytes.data() + 36, 8192);
    PutFloat(bytes.data() + 44, 1.0f);
    PutLe32(bytes.data() + 48, static_cast<std::uint32_t>(-5));
    std::memcpy(bytes.data() + 52 + 12, "9", 1);
    AnalysisLayout layout;
    ASSERT_EQ(DecodeAnalysisLayout(bytes, layout), 1);
    EXPECT_EQ(layout.timeBackground, 5u);
    EXPECT_EQ(layout.timeGrid, 20u);
    EXPECT_EQ(layout.fftSize, 8192u);
    EXPECT_EQ(layout.spectrumShare, 1.0f);
    EXPECT_EQ(EncodeAnalysisLayout(layout), bytes);
}

TEST(AnalysisLayoutFile, MissingShortAndOverstatedFiles) {
    AnalysisLayout layout;
    layout.timeRangeIndex = 7;
    EXPECT_EQ(ReadAnalysisLayout("/nonexistent/tellusw32.cfg", layout), kLayoutMissing);
    EXPECT_EQ(layout.timeRangeIndex, 7u);
    {
        // A FIFO in place of the file is refused without waiting for a writer.
        char folder[] = "/tmp/layoutfifoXXXXXX";
        ASSERT_NE(::mkdtemp(folder), nullptr);
        const std::string fifo = std::string(folder) + "/tellusw32.cfg";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_EQ(ReadAnalysisLayout(fifo, layout), kLayoutUnreadable);
        std::filesystem::remove_all(folder);
        EXPECT_EQ(layout.timeRangeIndex, 7u);
    }
    std::vector<std::uint8_t> shortFile(51, 0);
    EXPECT_EQ(DecodeAnalysisLayout(shortFile, layout), kLayoutTooShort);
    EXPECT_EQ(layout.timeRangeIndex, 7u);
    // The count claims 1000 records; one and a half are present: one is read.
    std::vector<std::uint8_t> bytes = Header(1);
    PutLe32(bytes.data(), 1000);
    bytes.resize(bytes.size() + 20, 0);
    PutLe32(bytes.data() + 36, 512);
    ASSERT_EQ(DecodeAnalysisLayout(bytes, layout), 1);
    EXPECT_EQ(layout.channels.size(), 1u);
    // A name without its terminator is cut at 7 characters.
    std::memcpy(bytes.data() + 52 + 12, "ABCDEFGH", 8);
    ASSERT_EQ(DecodeAnalysisLayout(bytes, layout), 1);
    EXPECT_EQ(layout.channels[0].name, "ABCDEFG");
}

TEST(AnalysisLayoutFile, FailedWriteKeepsThePreviousFile) {
    AnalysisLayout layout;
    EXPECT_EQ(WriteAnalysisLayout("/nonexistent/folder/tellusw32.cfg", layout), kLayoutWriteFailed);
}
