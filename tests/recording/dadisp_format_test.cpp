#include "format_test_util.h"
#include "recording/channel_writer.h"
#include "recording/dadisp_format.h"
#include "recording/dadisp_writer.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

using test::TempDir;

// 2003-04-03 15:30:00 UTC.
constexpr std::uint32_t kStart = 1049383800;

const char kRealTimeHeader[] = "DATASET DD3042_153000.123\r\n"
                               "FILE_TYPE LONG\r\n"
                               "VERSION next\r\n"
                               "SIGNAL Chan3\r\n"
                               "DATE 04-03-03\r\n"
                               "TIME 15:30:00.0\r\n"
                               "INTERVAL 0.010\r\n"
                               "VERT_UNITS Counts\r\n"
                               "HORZ_UNITS Sec\r\n"
                               "COMMENTS \r\n"
                               "DATA\r\n";

TEST(DadispHeader, RealTimeChannelThreeIs171Bytes) {
    const std::string h =
        BuildDadispHeader(MakeRealTimeDadispHeader("DD3042_153000.123", 3, kStart, 100, ""));
    EXPECT_EQ(h, kRealTimeHeader);
    EXPECT_EQ(h.size(), 171u);
}

TEST(DadispHeader, RealTimeVariants) {
    // Channel 12 keeps its first digit; the comment is cut to 80 characters; 1998 is "98".
    const std::string comment(100, 'x');
    const std::string h = BuildDadispHeader(
        MakeRealTimeDadispHeader("DD1042_235959.365", 12, 915148799u, 100, comment));
    EXPECT_NE(h.find("\r\nSIGNAL Chan1\r\n"), std::string::npos);
    EXPECT_NE(h.find("\r\nDATE 12-31-98\r\n"), std::string::npos);
    EXPECT_NE(h.find("\r\nTIME 23:59:59.0\r\n"), std::string::npos);
    EXPECT_NE(h.find("\r\nCOMMENTS " + std::string(80, 'x') + "\r\nDATA\r\n"), std::string::npos);
    EXPECT_EQ(h.size(), 17u + 80u + 154u);
}

TEST(DadispHeader, TranslateVariant) {
    const std::string h =
        BuildDadispHeader(MakeTranslateDadispHeader("D1345A.HLC", "ABCDEF", " c2s", kStart, 125));
    EXPECT_EQ(h, "DATASET D1345A.HLC\r\n"
                 "FILE_TYPE LONG\r\n"
                 "VERSION next\r\n"
                 "SIGNAL ABCD c2s\r\n"
                 "DATE 04-03-03\r\n"
                 "TIME 15:30:00.00\r\n"
                 "INTERVAL 0.008\r\n"
                 "VERT_UNITS Counts\r\n"
                 "HORZ_UNITS Sec\r\n"
                 "COMMENTS \r\n"
                 "DATA\r\n");
}

TEST(DadispHeader, IntervalKeepsEveryRateReadable) {
    EXPECT_EQ(IntervalText(100), "0.010");
    EXPECT_EQ(IntervalText(125), "0.008");
    EXPECT_EQ(IntervalText(1000), "0.001");
    EXPECT_EQ(IntervalText(120), "0.008333");
    EXPECT_EQ(IntervalText(60), "0.016667");
    const int rates[] = {1,  2,  4,  5,  6,  8,   10,  12,  15,  16,  20,  24,  25,
                         30, 40, 50, 60, 80, 100, 120, 125, 200, 250, 500, 1000};
    for (int rate : rates) {
        std::string file =
            BuildDadispHeader(MakeRealTimeDadispHeader("DD1001_000000.001", 1, 0, rate, ""));
        file.resize(file.size() + 200, '\0');
        DadispHeaderInfo info;
        ASSERT_EQ(ParseDadispHeader(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(),
                                    info),
                  kDadispOk);
        EXPECT_EQ(info.rate, rate);
    }
}

int Parse(const std::string& text, DadispHeaderInfo& info) {
    return ParseDadispHeader(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), info);
}

TEST(DadispParse, ReadsTheRealTimeHeader) {
    std::string file = kRealTimeHeader;
    file += std::string(40, '\x01'); // 211 bytes: 10 samples
    DadispHeaderInfo info;
    ASSERT_EQ(Parse(file, info), kDadispOk);
    EXPECT_EQ(info.dataOffset, 171u);
    EXPECT_EQ(info.signalName, "Chan3");
    EXPECT_EQ(info.dateText, "04-03-03");
    EXPECT_EQ(info.month, 4);
    EXPECT_EQ(info.day, 3);
    EXPECT_EQ(info.year, 3);
    EXPECT_EQ(info.timeText, "15:30:00.0");
    EXPECT_EQ(info.hour, 15);
    EXPECT_EQ(info.minute, 30);
    EXPECT_EQ(info.second, 0);
    EXPECT_EQ(info.fraction, 0.0);
    EXPECT_EQ(info.sampleType, kSampleLong);
    EXPECT_EQ(info.rate, 100);
}

std::string HeaderWith(const std::string& time, const std::string& interval,
                       const std::string& type = "LONG") {
    return "DATASET DD3042_153000.123\r\nFILE_TYPE " + type +
           "\r\nVERSION next\r\nSIGNAL LongSignalName\r\nDATE 12-31-98\r\nTIME " + time +
           "\r\nINTERVAL " + interval + "\r\nVERT_UNITS Counts\r\nHORZ_UNITS Sec\r\nCOMMENTS " +
           "\r\nDATA\r\n";
}

TEST(DadispParse, FieldVariants) {
    DadispHeaderInfo info;
    std::string f = HeaderWith("15:30:00.00", "0.008");
    f.resize(200, '\0');
    ASSERT_EQ(Parse(f, info), kDadispOk);
    EXPECT_EQ(info.fraction, 0.0);
    EXPECT_EQ(info.rate, 125);
    EXPECT_EQ(info.signalName, "LongSigna"); // at most 9 characters
    EXPECT_EQ(info.year, 98);

    f = HeaderWith("01:02:03.25", "0.000");
    f.resize(200, '\0');
    ASSERT_EQ(Parse(f, info), kDadispOk);
    EXPECT_DOUBLE_EQ(info.fraction, 0.25);
    EXPECT_EQ(info.rate, 0); // left unset
    EXPECT_EQ(info.hour, 1);
    EXPECT_EQ(info.minute, 2);
    EXPECT_EQ(info.second, 3);

    const char* types[] = {"BYTE", "INTEGER", "FLOAT", "DOUBLE", "LONG"};
    for (int t = 0; t < 5; ++t) {
        f = HeaderWith("00:00:00.0", "0.010", types[t]);
        f.resize(200, '\0');
        ASSERT_EQ(Parse(f, info), kDadispOk) << types[t];
        EXPECT_EQ(info.sampleType, t);
    }
}

TEST(DadispParse, Refusals) {
    DadispHeaderInfo info;
    info.rate = 77;
    // 199 bytes is too short even with a complete header.
    std::string f = HeaderWith("15:30:00.0", "0.010");
    f.resize(199, '\0');
    EXPECT_EQ(Parse(f, info), kDadispNotHeader);
    // No DATA line in the first 500 bytes.
    std::string noData(600, 'a');
    noData[10] = '\r';
    EXPECT_EQ(Parse(noData, info), kDadispNotHeader);
    // A CR too close to the end for the comparison.
    std::string tail(250, 'b');
    tail[246] = '\r';
    EXPECT_EQ(Parse(tail, info), kDadispNotHeader);
    // Unknown and missing file types.
    f = HeaderWith("15:30:00.0", "0.010", "COMPLEX");
    f.resize(220, '\0');
    EXPECT_EQ(Parse(f, info), kDadispUnknownFileType);
    f = HeaderWith("15:30:00.0", "0.010");
    f.replace(f.find("FILE_TYPE"), 9, "FILE_KIND");
    f.resize(220, '\0');
    EXPECT_EQ(Parse(f, info), kDadispUnknownFileType);
    EXPECT_EQ(info.rate, 77); // untouched on failure
    EXPECT_EQ(ParseDadispHeader(nullptr, 0, info), kDadispNotHeader);
}

TEST(DadispWriter, HeaderThenSamplesLittleEndian) {
    TempDir dir;
    const std::string path = dir / "DD3042_153000.123";
    CDadispWriter w(path, MakeRealTimeDadispHeader("DD3042_153000.123", 3, kStart, 100, ""),
                    CreateMode::kNew, true);
    ASSERT_EQ(w.Open(), 1);
    const std::int32_t a[] = {1, -1};
    const std::int32_t b[] = {0x01020304, -8388608};
    ASSERT_EQ(w.Append(a, 2), 1);
    ASSERT_EQ(w.Append(b, 2), 1);
    EXPECT_EQ(w.SampleCount(), 4u);
    ASSERT_EQ(w.Close(), 1);
    EXPECT_FALSE(w.IsOpen());
    const std::string expected = std::string(kRealTimeHeader) +
                                 std::string("\x01\x00\x00\x00\xff\xff\xff\xff", 8) +
                                 std::string("\x04\x03\x02\x01\x00\x00\x80\xff", 8);
    EXPECT_EQ(test::ReadText(path), expected);
    EXPECT_EQ(w.Append(a, 1), 0); // closed
}

TEST(DadispWriter, NeverReplacesInNewMode) {
    TempDir dir;
    const std::string path = dir / "DD3042_153000.123";
    test::WriteBytes(path, std::string("keep"));
    CDadispWriter w(path, MakeRealTimeDadispHeader("DD3042_153000.123", 3, kStart, 100, ""),
                    CreateMode::kNew);
    EXPECT_EQ(w.Open(), -EEXIST);
    EXPECT_EQ(test::ReadText(path), "keep");
    CDadispWriter r(path, MakeRealTimeDadispHeader("DD3042_153000.123", 3, kStart, 100, ""),
                    CreateMode::kReplace);
    EXPECT_EQ(r.Open(), 1);
    EXPECT_EQ(r.Close(), 1);
    EXPECT_EQ(test::ReadText(path), kRealTimeHeader);
    CDadispWriter missing(dir / "no/such/DD3042_153000.123",
                          MakeRealTimeDadispHeader("x", 3, kStart, 100, ""), CreateMode::kNew);
    EXPECT_EQ(missing.Open(), -ENOENT);
}

} // namespace
} // namespace nereid::recording
