#include "format_test_util.h"
#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/hlcp_translator.h"
#include "recording/seisan_reader.h"
#include "seisan_test_file.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::TempDir;

// Bytes placed so that they end exactly where an inaccessible page begins: a reader that
// reads even one byte past the end crashes the test, with or without the sanitizers.
class GuardedBytes {
public:
    GuardedBytes(const std::uint8_t* data, std::size_t size) : m_size(size) {
        const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t dataPages = (size + page - 1) / page;
        m_length = (dataPages + 1) * page;
        void* p =
            ::mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(p, MAP_FAILED);
        m_base = static_cast<std::uint8_t*>(p);
        EXPECT_EQ(::mprotect(m_base + dataPages * page, page, PROT_NONE), 0);
        m_data = m_base + dataPages * page - size;
        if (size > 0) {
            std::memcpy(m_data, data, size);
        }
    }
    ~GuardedBytes() { ::munmap(m_base, m_length); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    const std::uint8_t* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

private:
    std::uint8_t* m_base = nullptr;
    std::uint8_t* m_data = nullptr;
    std::size_t m_length = 0;
    std::size_t m_size = 0;
};

std::vector<std::uint8_t> Translated(int form, std::size_t samples) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = test::TestSamples(samples);
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    HlcpTranslator t(form, file.size(), "D1345A.HLC", dir.Path());
    EXPECT_TRUE(t.PrepareOutput());
    EXPECT_EQ(t.Feed(file.data(), file.size()), 1);
    EXPECT_EQ(t.Write(), 1);
    return test::ReadBytes(t.WrittenPaths().back());
}

// A small valid SEISAN text file: one channel of 10 samples.
std::vector<std::uint8_t> SeisanText() {
    const auto line = [](std::string s) {
        s.resize(80, ' ');
        return s + "\r\n";
    };
    std::string f = line(" NET                          001103 093 04 03 15 30  0.000   10.000");
    for (int i = 1; i < 12; ++i) {
        f += line("");
    }
    std::string h = "ABCD  c1p103 093 04 03 15 30  0.000  100.00     10";
    h.resize(76, ' ');
    f += line(h + "4");
    for (int i = 0; i < 12; ++i) {
        f += line("");
    }
    for (int i = 0; i < 10; ++i) {
        char v[12];
        std::snprintf(v, sizeof v, "%11d", i * 37 - 100);
        f += v;
        if (i == 6 || i == 9) {
            f += "\r\n";
        }
    }
    return std::vector<std::uint8_t>(f.begin(), f.end());
}

// A small SEISAN file in the Linux form: two channels, 4-byte and 2-byte samples.
std::vector<std::uint8_t> SeisanLinux() {
    const std::string f = test::SeisanLinuxFile(
        "NR042", {{"104 ", "S   ", 4, {1, -2, 3, -4, 5, 6, 7}}, {"204 ", "S   ", 2, {-1, 2, -3}}});
    return std::vector<std::uint8_t>(f.begin(), f.end());
}

// Runs every reader over the bytes; checks that a failure adds no channel.
void ReadAll(const std::uint8_t* data, std::size_t size) {
    DadispHeaderInfo dadisp;
    const int d = ParseDadispHeader(data, size, dadisp);
    if (d == kDadispOk) {
        ASSERT_LE(dadisp.dataOffset, size);
    }
    WfdiscInfo wfdisc;
    ParseWfdisc(data, size, wfdisc);
    std::vector<FileChannel> out;
    if (ReadSeisanBinary(data, size, out) != kSeisanOk) {
        ASSERT_TRUE(out.empty());
    }
    for (const FileChannel& c : out) {
        ASSERT_EQ(c.privateBlock->size(),
                  c.sampleCount * static_cast<std::uint64_t>(SampleSize(c.sampleType)));
    }
    out.clear();
    if (ReadSeisanText(data, size, out) != kSeisanOk) {
        ASSERT_TRUE(out.empty());
    }
    for (const FileChannel& c : out) {
        ASSERT_EQ(c.privateBlock->size(),
                  c.sampleCount * static_cast<std::uint64_t>(SampleSize(c.sampleType)));
    }
    out.clear();
    if (ReadSeisanFile(data, size, out) != kSeisanOk) {
        ASSERT_TRUE(out.empty());
    }
}

TEST(ReaderFuzz, EveryTruncationStaysInsideTheBytes) {
    const std::string wfdisc =
        BuildWfdisc(MakeTranslateWfdisc("ABCD", '1', "CD1345_153000.093", 1049383800u, 10, 100));
    const std::vector<std::uint8_t> files[] = {
        Translated(HlcpTranslator::kDadisp, 40), Translated(HlcpTranslator::kSeisan, 70),
        SeisanText(), std::vector<std::uint8_t>(wfdisc.begin(), wfdisc.end()), SeisanLinux()};
    for (const std::vector<std::uint8_t>& full : files) {
        for (std::size_t n = 0; n <= full.size(); ++n) {
            GuardedBytes g(full.data(), n);
            ReadAll(g.Data(), g.Size());
        }
    }
}

TEST(ReaderFuzz, TruncatedSeisanFilesAreRefused) {
    const std::vector<std::uint8_t> binary = Translated(HlcpTranslator::kSeisan, 70);
    std::vector<FileChannel> out;
    ASSERT_EQ(ReadSeisanBinary(binary.data(), binary.size(), out), kSeisanOk);
    ASSERT_EQ(out.size(), 1u);
    for (std::size_t n = 0; n < binary.size(); ++n) {
        GuardedBytes g(binary.data(), n);
        std::vector<FileChannel> none;
        EXPECT_NE(ReadSeisanBinary(g.Data(), g.Size(), none), kSeisanOk) << n;
    }
    const std::vector<std::uint8_t> linuxForm = SeisanLinux();
    ASSERT_EQ(ReadSeisanBinary(linuxForm.data(), linuxForm.size(), out), kSeisanOk);
    ASSERT_EQ(out.size(), 3u);
    for (std::size_t n = 0; n < linuxForm.size(); ++n) {
        GuardedBytes g(linuxForm.data(), n);
        std::vector<FileChannel> none;
        EXPECT_NE(ReadSeisanBinary(g.Data(), g.Size(), none), kSeisanOk) << n;
    }
    const std::vector<std::uint8_t> text = SeisanText();
    for (std::size_t n = 0; n + 2 < text.size(); ++n) {
        GuardedBytes g(text.data(), n);
        std::vector<FileChannel> none;
        EXPECT_NE(ReadSeisanText(g.Data(), g.Size(), none), kSeisanOk) << n;
    }
}

TEST(ReaderFuzz, CorruptedBytes) {
    std::mt19937 random(20031093);
    const std::string wfdisc =
        BuildWfdisc(MakeTranslateWfdisc("ABCD", '1', "CD1345_153000.093", 1049383800u, 10, 100));
    const std::vector<std::uint8_t> files[] = {
        Translated(HlcpTranslator::kDadisp, 40), Translated(HlcpTranslator::kSeisan, 70),
        SeisanText(), std::vector<std::uint8_t>(wfdisc.begin(), wfdisc.end()), SeisanLinux()};
    // Bytes that steer the parsers: digits, spaces, line ends, length markers.
    const std::uint8_t interesting[] = {'0', '9', ' ', '\r', '\n', 0x80, 80, 0, 0xFF, '-', '.'};
    for (const std::vector<std::uint8_t>& original : files) {
        for (int round = 0; round < 1500; ++round) {
            std::vector<std::uint8_t> f = original;
            const int changes = 1 + static_cast<int>(random() % 8);
            for (int c = 0; c < changes; ++c) {
                const std::size_t at = random() % f.size();
                f[at] = random() % 2 == 0 ? static_cast<std::uint8_t>(random())
                                          : interesting[random() % sizeof interesting];
            }
            const std::size_t keep = random() % 4 == 0 ? random() % (f.size() + 1) : f.size();
            GuardedBytes g(f.data(), keep);
            ReadAll(g.Data(), g.Size());
        }
    }
}

TEST(ReaderFuzz, HostileCounts) {
    // A binary file whose channel count and sample count are at their maxima but whose body
    // is short: refused before any large allocation or copy.
    std::vector<std::uint8_t> f = Translated(HlcpTranslator::kSeisan, 5);
    std::memcpy(f.data() + 2 + 30, "999", 3);
    std::vector<FileChannel> out;
    EXPECT_EQ(ReadSeisanBinary(f.data(), f.size(), out), kSeisanTruncated);
    f = Translated(HlcpTranslator::kSeisan, 5);
    std::memcpy(f.data() + 1 + 12 * 82 + 1 + 44, "999999", 6);
    EXPECT_EQ(ReadSeisanBinary(f.data(), f.size(), out), kSeisanTruncated);
    // A piece length byte larger than a piece, and a trailing length byte that disagrees.
    f = Translated(HlcpTranslator::kSeisan, 5);
    const std::size_t data = 1 + 12 * 82 + 1058;
    f[data] = 200;
    EXPECT_EQ(ReadSeisanBinary(f.data(), f.size(), out), kSeisanBadData);
    f = Translated(HlcpTranslator::kSeisan, 5);
    f[data + 21] = 19;
    EXPECT_EQ(ReadSeisanBinary(f.data(), f.size(), out), kSeisanBadData);
    // Linux form: a record length word near 4 GiB, and a channel count beyond the records.
    f = SeisanLinux();
    const std::size_t header = 12 * 88;
    f[header + 3] = 0xFF;
    EXPECT_EQ(ReadSeisanBinary(f.data(), f.size(), out), kSeisanTruncated);
    f = SeisanLinux();
    std::memcpy(f.data() + 4 + 30, "999", 3);
    EXPECT_EQ(ReadSeisanBinary(f.data(), f.size(), out), kSeisanBadData);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace nereid::recording
