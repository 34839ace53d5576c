#include "format_test_util.h"
#include "recording/dadisp_format.h"
#include "recording/data_file_reader.h"
#include "recording/seisan_reader.h"
#include "seisan_test_file.h"

#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

using test::SeisanTestChannel;
using test::TempDir;

std::vector<std::int32_t> Ramp(int count, std::int32_t base) {
    std::vector<std::int32_t> v;
    for (int i = 0; i < count; ++i) {
        v.push_back(base + (i % 2 == 0 ? i * 1000 : -i * 1000));
    }
    return v;
}

// Three channels of different lengths, one of 2-byte samples; 4-byte values use all 32 bits.
std::vector<SeisanTestChannel> ThreeChannels() {
    SeisanTestChannel a{"104 ", "S   ", 4, Ramp(952, 0)};
    a.samples[5] = 2147483647;
    a.samples[6] = -2147483647 - 1;
    SeisanTestChannel b{"204 ", "S   ", 4, Ramp(33, -7)};
    SeisanTestChannel c{"304 ", "S  Z", 2, {1, -1, 32767, -32768, 0}};
    return {a, b, c};
}

void ExpectChannels(const std::vector<FileChannel>& got,
                    const std::vector<SeisanTestChannel>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        const FileChannel& ch = got[k];
        EXPECT_EQ(ch.formatText, "Seisan Waveform");
        EXPECT_EQ(ch.signalName, want[k].station + want[k].component);
        EXPECT_EQ(ch.rate, 100);
        EXPECT_EQ(ch.startSecond, 1049373240u); // 2003-04-03 12:34:00 UTC
        EXPECT_EQ(ch.sampleType, want[k].sampleSize == 2 ? kSampleInteger : kSampleLong);
        ASSERT_EQ(ch.sampleCount, want[k].samples.size());
        for (std::size_t i = 0; i < want[k].samples.size(); ++i) {
            ASSERT_EQ(ch.IntValue(i), want[k].samples[i]) << k << " " << i;
        }
    }
}

int ReadBinary(const std::string& f, std::vector<FileChannel>& out) {
    return ReadSeisanBinary(reinterpret_cast<const std::uint8_t*>(f.data()), f.size(), out);
}

TEST(SeisanLinuxForm, MultiChannelFileBuiltFromTheLayout) {
    const std::vector<SeisanTestChannel> want = ThreeChannels();
    const std::string f = test::SeisanLinuxFile("NR042", want);
    // 12 header records of 88 bytes, then per channel 1048 + samples + 8.
    EXPECT_EQ(f.size(), 12 * 88u + 3 * 1048u + (952 + 33) * 4u + 5 * 2u + 3 * 8u);
    std::vector<FileChannel> out;
    ASSERT_EQ(ReadBinary(f, out), kSeisanOk);
    ExpectChannels(out, want);
    // The PC form of the same channels reads the same.
    out.clear();
    ASSERT_EQ(ReadBinary(test::SeisanPcFile("NR042", want), out), kSeisanOk);
    ExpectChannels(out, want);
}

TEST(SeisanLinuxForm, Refusals) {
    const std::string f = test::SeisanLinuxFile("NR042", ThreeChannels());
    std::vector<FileChannel> out;
    // Every truncation is refused, never read past the end.
    const std::size_t cuts[] = {0, 4, 87, 88, 12 * 88, 12 * 88 + 1048, f.size() - 1};
    for (std::size_t n : cuts) {
        std::vector<FileChannel> none;
        EXPECT_NE(ReadBinary(f.substr(0, n), none), kSeisanOk) << n;
        EXPECT_TRUE(none.empty());
    }
    // A trailing length word that disagrees with the leading one: in the first record the
    // file no longer looks like the form, in the second it is damaged.
    std::string g = f;
    g[84] = 81;
    EXPECT_EQ(ReadBinary(g, out), kSeisanNotThisForm);
    g = f;
    g[88 + 84] = 81;
    EXPECT_EQ(ReadBinary(g, out), kSeisanBadData);
    // A data record whose length is not the header's count of samples.
    SeisanTestChannel odd{"104 ", "S   ", 4, {1, 2, 3}};
    g = test::SeisanLinuxFile("NR042", {odd});
    const std::size_t data = 12 * 88 + 1048;
    g[data] = 8;         // says 8 bytes,
    g[data + 4 + 8] = 8; // trailing word moved to match
    g.erase(data + 4 + 12, 4);
    EXPECT_EQ(ReadBinary(g, out), kSeisanBadData);
    // A main header that lists no channel (what a merge of nothing leaves): 1056 bytes.
    std::string empty = test::LinuxRecord(test::SeisanTestMainLine("NR042", 0));
    for (int i = 1; i < 12; ++i) {
        empty += test::LinuxRecord(std::string(80, ' '));
    }
    ASSERT_EQ(empty.size(), 1056u);
    EXPECT_EQ(ReadBinary(empty, out), kSeisanBadHeader);
    EXPECT_TRUE(out.empty());
}

TEST(OpenByContents, SeisanNamesOpenEveryForm) {
    TempDir dir;
    const std::vector<SeisanTestChannel> want = ThreeChannels();
    const std::string linuxForm = dir / "2003-04-03-1234-00S.NR042_003";
    const std::string pc = dir / "2003-04-03-1234-00S.NR042_003.pc";
    test::WriteBytes(linuxForm, test::SeisanLinuxFile("NR042", want));
    test::WriteBytes(pc, test::SeisanPcFile("NR042", want));
    for (const std::string& path : {linuxForm, pc}) {
        std::vector<FileChannel> channels;
        ReaderMessage m;
        ASSERT_EQ(OpenDataFile(path, channels, m), kOpenAdded) << path << " " << m.detail;
        ExpectChannels(channels, want);
        EXPECT_EQ(channels[0].path, path);
    }
    // The text form under a SEISAN name.
    std::string text;
    const auto line = [](std::string s) {
        s.resize(80, ' ');
        return s + "\r\n";
    };
    text = line(test::SeisanTestMainLine("NR042", 1));
    for (int i = 1; i < 12; ++i) {
        text += line("");
    }
    SeisanTestChannel t{"ABCD", " c1p", 4, {12, -34}};
    const std::string header = test::SeisanTestChannelHeader(t);
    for (int i = 0; i < 13; ++i) {
        text += line(i == 0 ? header.substr(0, 80) : "");
    }
    text += "         12        -34\r\n";
    test::WriteBytes(dir / "2003-04-03-1234-00S.ANSI__001", text);
    std::vector<FileChannel> channels;
    ReaderMessage m;
    ASSERT_EQ(OpenDataFile(dir / "2003-04-03-1234-00S.ANSI__001", channels, m), kOpenAdded)
        << m.detail;
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].formatText, "Seisan ANSI");
    EXPECT_EQ(channels[0].IntValue(1), -34);
}

TEST(OpenByContents, DadispByItsHeaderAndRefusals) {
    TempDir dir;
    std::string file =
        BuildDadispHeader(MakeRealTimeDadispHeader("DD3042_153000.123", 3, 1049383800u, 100, ""));
    const std::vector<std::uint8_t> samples = test::I4({7, -8, 9, 10, 11, 12, 13, 14, 15});
    file.append(samples.begin(), samples.end());
    test::WriteBytes(dir / "renamed.dat", file);
    std::vector<FileChannel> channels;
    ReaderMessage m;
    ASSERT_EQ(OpenDataFile(dir / "renamed.dat", channels, m), kOpenAdded);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].formatText, "DADiSP Format");
    EXPECT_EQ(channels[0].IntValue(1), -8);
    EXPECT_EQ(channels[0].sampleCount, 9u);

    // Neither form, missing, damaged SEISAN: refused with the name-check message as before.
    test::WriteBytes(dir / "notes.txt", std::string(400, 'x'));
    std::string damaged = test::SeisanLinuxFile("NR042", ThreeChannels());
    damaged.resize(damaged.size() - 3);
    test::WriteBytes(dir / "2003-04-03-1234-00S.NR042_003", damaged);
    for (const char* name : {"notes.txt", "missing.dat", "2003-04-03-1234-00S.NR042_003"}) {
        EXPECT_EQ(OpenDataFile(dir / name, channels, m), kOpenBadName) << name;
        EXPECT_EQ(m.text, (dir / name) + " is not a valid file");
        EXPECT_EQ(m.caption, "NR_UTIL Application");
        EXPECT_FALSE(m.detail.empty());
    }
    EXPECT_EQ(channels.size(), 1u);
}

TEST(OpenByContents, RecorderNamesAreStillOpenedByName) {
    TempDir dir;
    const std::string linuxForm = test::SeisanLinuxFile("NR042", ThreeChannels());
    std::vector<FileChannel> channels;
    ReaderMessage m;
    // A CSS data name is a CSS pair whatever the contents: its header file is looked for.
    test::WriteBytes(dir / "CD3042_153000.093", linuxForm);
    EXPECT_EQ(OpenDataFile(dir / "CD3042_153000.093", channels, m), kOpenHeaderMissing);
    // A "D" name that is no DADiSP name stays refused.
    test::WriteBytes(dir / "DX3042_153000.093", linuxForm);
    EXPECT_EQ(OpenDataFile(dir / "DX3042_153000.093", channels, m), kOpenNotValid);
    EXPECT_EQ(m.text, (dir / "DX3042_153000.093") + " is not valid file");
    // DADiSP names fall back to the SEISAN readers, which now know the Linux form too.
    test::WriteBytes(dir / "DD3042_153000.093", linuxForm);
    ASSERT_EQ(OpenDataFile(dir / "DD3042_153000.093", channels, m), kOpenAdded);
    EXPECT_EQ(channels.size(), 3u);
    // A day of year out of range makes it no recorder name: it is judged by its contents.
    test::WriteBytes(dir / "DD3042_153000.400", std::string(300, 'x'));
    EXPECT_EQ(OpenDataFile(dir / "DD3042_153000.400", channels, m), kOpenBadName);
    test::WriteBytes(dir / "DD3042_153000.400", linuxForm);
    EXPECT_EQ(OpenDataFile(dir / "DD3042_153000.400", channels, m), kOpenAdded);
    EXPECT_EQ(channels.size(), 6u);
}

} // namespace
} // namespace nereid::recording
