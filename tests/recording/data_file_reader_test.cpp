#include "format_test_util.h"
#include "recording/dadisp_format.h"
#include "recording/data_file_reader.h"
#include "recording/hlcp_translator.h"
#include "recording/seisan_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace nereid::recording {
namespace {

using test::HlcpPlan;
using test::TempDir;

TEST(DataFileName, Checks) {
    EXPECT_TRUE(IsDataFileName("DD1042_153000.123"));
    EXPECT_FALSE(IsDataFileName("DD1042_153000.400"));
    EXPECT_FALSE(IsDataFileName("DD1042_153000.000"));
    EXPECT_TRUE(IsDataFileName("DD1042_153000.366"));
    EXPECT_FALSE(IsDataFileName("data.txt"));
    EXPECT_TRUE(IsDataFileName("D1451234.093"));
    EXPECT_TRUE(IsDataFileName("e1451234.001"));
    EXPECT_FALSE(IsDataFileName("X1451234.093"));
    EXPECT_FALSE(IsDataFileName("D1451234.abc"));
    EXPECT_FALSE(IsDataFileName("DD1042_153000.1234"));
    EXPECT_TRUE(IsDataFileName("CH1042_153000.123"));
}

TEST(OpenDataFile, RefusedNamesAddNothing) {
    TempDir dir;
    std::vector<FileChannel> channels(1);
    ReaderMessage m;
    test::WriteBytes(dir / "data.txt", std::string(300, 'x'));
    EXPECT_EQ(OpenDataFile(dir / "data.txt", channels, m), kOpenBadName);
    EXPECT_EQ(m.text, (dir / "data.txt") + " is not a valid file");
    EXPECT_EQ(m.caption, "NR_UTIL Application");
    EXPECT_EQ(OpenDataFile(dir / "DD1042_153000.400", channels, m), kOpenBadName);
    EXPECT_EQ(OpenDataFile(dir / "DD1042_153000.123", channels, m), kOpenCannotOpen);
    EXPECT_EQ(m.text, "iii");
    EXPECT_EQ(m.caption, "File could not be opened");
    test::WriteBytes(dir / "DX1042_153000.123", std::string(300, 'x'));
    EXPECT_EQ(OpenDataFile(dir / "DX1042_153000.123", channels, m), kOpenNotValid);
    EXPECT_EQ(m.text, (dir / "DX1042_153000.123") + " is not valid file");
    test::WriteBytes(dir / "DD1042_153000.123", std::string());
    EXPECT_EQ(OpenDataFile(dir / "DD1042_153000.123", channels, m), kOpenNotValid);
    EXPECT_EQ(channels.size(), 1u);
}

TEST(OpenDataFile, DadispRealTimeFile) {
    TempDir dir;
    std::string file =
        BuildDadispHeader(MakeRealTimeDadispHeader("DD3042_153000.123", 3, 1049383800u, 100, ""));
    ASSERT_EQ(file.size(), 171u);
    const std::vector<std::uint8_t> samples = test::I4({5, -6, 8388607, -8388608, 0, 1, 2});
    file.append(samples.begin(), samples.end());
    file.append("\x01", 1); // 200 bytes: a partial sample at the end is not counted
    ASSERT_EQ(file.size(), 200u);
    test::WriteBytes(dir / "DD3042_153000.123", file);
    std::vector<FileChannel> channels;
    ReaderMessage m;
    ASSERT_EQ(OpenDataFile(dir / "DD3042_153000.123", channels, m), kOpenAdded) << m.text;
    ASSERT_EQ(channels.size(), 1u);
    const FileChannel& c = channels[0];
    EXPECT_EQ(c.formatText, "DADiSP Format");
    EXPECT_EQ(c.signalName, "Chan3");
    EXPECT_EQ(c.dateWord, 3u | 4u << 8 | 3u << 16);
    EXPECT_EQ(c.timeWord, 0u | 30u << 8 | 15u << 16);
    EXPECT_EQ(c.dateText, "04-03-03");
    EXPECT_EQ(c.timeText, "15:30:00.0");
    EXPECT_EQ(c.rate, 100);
    EXPECT_EQ(c.sampleType, kSampleLong);
    EXPECT_EQ(c.sampleCount, 7u);
    EXPECT_EQ(c.IntValue(0), 5);
    EXPECT_EQ(c.IntValue(1), -6);
    EXPECT_EQ(c.IntValue(2), 8388607);
    EXPECT_EQ(c.IntValue(3), -8388608);
    EXPECT_EQ(c.startSecond, 1049383800u);
    EXPECT_EQ(c.fullYear, 2003);
}

TEST(OpenDataFile, UnknownFileTypeStopsWithoutSeisanTries) {
    TempDir dir;
    std::string file =
        BuildDadispHeader(MakeRealTimeDadispHeader("DD3042_153000.123", 3, 0, 100, ""));
    file.replace(file.find("LONG"), 4, "CPLX");
    file.resize(400, '\0');
    test::WriteBytes(dir / "DD3042_153000.123", file);
    std::vector<FileChannel> channels;
    ReaderMessage m;
    EXPECT_EQ(OpenDataFile(dir / "DD3042_153000.123", channels, m), kOpenFileTypeUnknown);
    EXPECT_EQ(m.text, "File type unknown");
    EXPECT_EQ(m.caption, "Vireo Application");
    EXPECT_TRUE(channels.empty());
}

// Translates an HLCP file with `form` into `dir`; returns the output name.
std::string TranslateInto(const TempDir& dir, int form, const HlcpPlan& plan,
                          const std::string& source = "D1345A.HLC") {
    const std::vector<std::uint8_t> file = test::MakeHlcp(plan);
    HlcpTranslator t(form, file.size(), source, dir.Path());
    EXPECT_TRUE(t.PrepareOutput());
    EXPECT_EQ(t.Feed(file.data(), file.size()), 1);
    EXPECT_EQ(t.Write(), 1) << t.Message();
    return t.OutputName();
}

TEST(OpenDataFile, CssPairFromEitherFile) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = {10, -20, 30};
    plan.rateCode = 33; // 200 samples/s
    ASSERT_EQ(TranslateInto(dir, 4, plan, "C3042.HLC"), "CD3042_153000.093");
    for (const char* name : {"CH3042_153000.093", "CD3042_153000.093"}) {
        std::vector<FileChannel> channels;
        ReaderMessage m;
        ASSERT_EQ(OpenDataFile(dir / name, channels, m), kOpenAdded) << name << m.text;
        ASSERT_EQ(channels.size(), 1u);
        const FileChannel& c = channels[0];
        EXPECT_EQ(c.formatText, "CSS Format");
        EXPECT_EQ(c.path, dir / "CD3042_153000.093");
        EXPECT_EQ(c.signalName, "CH 3P");
        EXPECT_EQ(c.rate, 200);
        EXPECT_EQ(c.startSecond, 1049383800u);
        EXPECT_EQ(c.dateText, "04-03-03");
        EXPECT_EQ(c.timeText, "15:30:00");
        EXPECT_EQ(c.dateWord, 3u | 4u << 8 | 3u << 16);
        ASSERT_EQ(c.sampleCount, 3u);
        EXPECT_EQ(c.IntValue(1), -20);
    }
}

TEST(OpenDataFile, CssFailures) {
    TempDir dir;
    std::vector<FileChannel> channels;
    ReaderMessage m;
    test::WriteBytes(dir / "CD3042_153000.093", std::string(8, '\0'));
    EXPECT_EQ(OpenDataFile(dir / "CD3042_153000.093", channels, m), kOpenHeaderMissing);
    EXPECT_EQ(m.text, "Header file could not be opened");
    test::WriteBytes(dir / "CH3042_153000.093", std::string(282, ' '));
    EXPECT_EQ(OpenDataFile(dir / "CD3042_153000.093", channels, m), kOpenHeaderShort);
    EXPECT_EQ(m.text, "Could not read header file");
    EXPECT_EQ(OpenDataFile(dir / "CH3042_153000.093", channels, m), kOpenHeaderShort);

    // A record naming a file outside its folder.
    HlcpPlan plan;
    plan.samples = {1};
    TempDir other;
    ASSERT_EQ(TranslateInto(other, 4, plan, "C3042.HLC"), "CD3042_153000.093");
    std::string record = test::ReadText(other / "CH3042_153000.093");
    record.replace(213, 17, "../../etc/passwd ");
    test::WriteBytes(other / "CH3042_153000.093", record);
    EXPECT_EQ(OpenDataFile(other / "CH3042_153000.093", channels, m), kOpenNotValid);
    // A record that names a missing data file.
    record.replace(213, 17, "CD9999_000000.001");
    test::WriteBytes(other / "CH3042_153000.093", record);
    EXPECT_EQ(OpenDataFile(other / "CH3042_153000.093", channels, m), kOpenCannotOpen);
    EXPECT_TRUE(channels.empty());
}

TEST(OpenDataFile, SeisanBinaryUnderADadispName) {
    TempDir dir;
    HlcpPlan plan;
    plan.samples = test::TestSamples(1000);
    plan.channelIndex = 9;
    ASSERT_EQ(TranslateInto(dir, 1, plan), "D1451530.093");
    std::vector<FileChannel> channels;
    ReaderMessage m;
    ASSERT_EQ(OpenDataFile(dir / "D1451530.093", channels, m), kOpenAdded) << m.text;
    ASSERT_EQ(channels.size(), 1u);
    const FileChannel& c = channels[0];
    EXPECT_EQ(c.formatText, "Seisan Waveform");
    EXPECT_EQ(c.signalName, "ABCD c2s");
    EXPECT_EQ(c.rate, 100);
    EXPECT_EQ(c.startSecond, 1049383800u);
    EXPECT_EQ(c.fullYear, 2003);
    ASSERT_EQ(c.sampleCount, 1000u);
    for (std::size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(c.IntValue(i), plan.samples[i]) << i;
    }
}

// A SEISAN text file built from the column layout, independently of any writer.
std::string Line(std::string s) {
    s.resize(80, ' ');
    return s + "\r\n";
}

std::string TextFile(int channels, int samplesPerChannel, char century = '1', char sizeFlag = '4') {
    char l1[81];
    std::snprintf(l1, sizeof l1, " %-29s%3d%c03 093 04 03 15 30  0.500    60.000", "NETWORK",
                  channels, century);
    std::string f = Line(l1) + Line("");
    const int lines = std::max(12, channels / 3 + 2 + (channels % 3 != 0 ? 1 : 0));
    for (int i = 2; i < lines; ++i) {
        f += Line(" index lines are not read");
    }
    for (int k = 0; k < channels; ++k) {
        char h[81];
        std::snprintf(h, sizeof h, "ST%02d  c%dp103 093 04 03 15 30  0.500  100.00 %6d", k % 100,
                      k % 10, samplesPerChannel);
        std::string header(h);
        header.resize(76, ' ');
        header += sizeFlag;
        f += Line(header);
        for (int i = 0; i < 12; ++i) {
            f += Line("");
        }
        std::string values;
        for (int i = 0; i < samplesPerChannel; ++i) {
            char v[12];
            std::snprintf(v, sizeof v, "%11d", (k + 1) * 1000 - i);
            values += v;
            if (i % 7 == 6 || i == samplesPerChannel - 1) {
                values += "\r\n";
            }
        }
        f += values;
    }
    return f;
}

int ReadText(const std::string& f, std::vector<FileChannel>& out) {
    return ReadSeisanText(reinterpret_cast<const std::uint8_t*>(f.data()), f.size(), out);
}

TEST(SeisanText, HeaderLineCountsAndSamples) {
    for (int channels : {1, 4, 40}) {
        const std::string f = TextFile(channels, 3);
        std::vector<FileChannel> out;
        ASSERT_EQ(ReadText(f, out), kSeisanOk) << channels;
        ASSERT_EQ(out.size(), static_cast<std::size_t>(channels));
        EXPECT_EQ(out.back().IntValue(2), channels * 1000 - 2);
    }
    // 4 channels: 12 header lines; 40 channels: 16 (the channel blocks start right after).
    EXPECT_EQ(TextFile(4, 0).size(), 12 * 82u + 4 * 1066u);
    EXPECT_EQ(TextFile(40, 0).size(), 16 * 82u + 40 * 1066u);
}

TEST(SeisanText, FifteenSamplesTakeThreeLines) {
    const std::string f = TextFile(1, 15);
    EXPECT_EQ(f.size(), 12 * 82u + 1066u + 2 * 79u + 13u);
    std::vector<FileChannel> out;
    ASSERT_EQ(ReadText(f, out), kSeisanOk);
    const FileChannel& c = out[0];
    EXPECT_EQ(c.formatText, "Seisan ANSI");
    EXPECT_EQ(c.signalName, "ST00 c0p");
    EXPECT_EQ(c.rate, 100);
    EXPECT_DOUBLE_EQ(c.fraction, 0.5);
    EXPECT_EQ(c.fullYear, 2003);
    EXPECT_EQ(c.startSecond, 1049383800u);
    ASSERT_EQ(c.sampleCount, 15u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(c.IntValue(static_cast<std::uint64_t>(i)), 1000 - i);
    }
    // Two-byte samples.
    out.clear();
    ASSERT_EQ(ReadText(TextFile(1, 15, '1', '2'), out), kSeisanOk);
    EXPECT_EQ(out[0].sampleType, kSampleInteger);
    EXPECT_EQ(out[0].IntValue(14), 986);
}

TEST(SeisanText, CenturyColumnMayHoldADigitOrASpace) {
    std::vector<FileChannel> out;
    EXPECT_EQ(ReadText(TextFile(1, 2, '1'), out), kSeisanOk);
    EXPECT_EQ(ReadText(TextFile(1, 2, '0'), out), kSeisanOk);
    EXPECT_EQ(ReadText(TextFile(1, 2, ' '), out), kSeisanOk);
    EXPECT_EQ(out.size(), 3u);
    EXPECT_EQ(ReadText(TextFile(1, 2, 'x'), out), kSeisanNotThisForm);
    EXPECT_EQ(out.size(), 3u);
}

TEST(SeisanText, Refusals) {
    std::vector<FileChannel> out;
    std::string f = TextFile(2, 10);
    // Truncated: the last line may lose its CR LF, no more.
    EXPECT_EQ(ReadText(f.substr(0, f.size() - 2), out), kSeisanOk);
    out.clear();
    EXPECT_LT(ReadText(f.substr(0, f.size() - 3), out), 0);
    EXPECT_LT(ReadText(f.substr(0, 12 * 82 + 1066), out), 0);
    // Bad sample-size flag, bad month, bad value.
    std::string g = f;
    g[12 * 82 + 76] = '8';
    EXPECT_EQ(ReadText(g, out), kSeisanBadHeader);
    g = f;
    g.replace(41, 2, "13");
    EXPECT_EQ(ReadText(g, out), kSeisanBadHeader);
    g = f;
    g[12 * 82 + 1066 + 5] = 'z';
    EXPECT_EQ(ReadText(g, out), kSeisanBadData);
    // A channel count far beyond the file.
    g = f;
    g.replace(30, 3, "999");
    EXPECT_EQ(ReadText(g, out), kSeisanTruncated);
    // A sample count far beyond the file.
    g = f;
    g.replace(12 * 82 + 44, 6, "999999");
    EXPECT_EQ(ReadText(g, out), kSeisanTruncated);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace nereid::recording

namespace nereid::recording {
namespace {

// Float samples a file may hold whatever they are: beyond the 64-bit range they saturate, and
// one that is not a number reads as 0, instead of a conversion that is undefined.
TEST(FileChannel, FloatSamplesBeyondTheIntegerRangeSaturate) {
    const double values[] = {1e30, -1e30, std::nan(""), -2.75, 9.2e18, -9.3e18};
    std::vector<std::uint8_t> bytes(sizeof values);
    std::memcpy(bytes.data(), values, sizeof values);
    FileChannel ch;
    ch.sampleType = kSampleDouble;
    ch.firstSample = bytes.data();
    ch.sampleCount = 6;
    EXPECT_EQ(ch.IntValue(0), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(ch.IntValue(1), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(ch.IntValue(2), 0);
    EXPECT_EQ(ch.IntValue(3), -2);
    EXPECT_EQ(ch.IntValue(4), 9200000000000000000LL);
    EXPECT_EQ(ch.IntValue(5), std::numeric_limits<std::int64_t>::min());
}

} // namespace
} // namespace nereid::recording
