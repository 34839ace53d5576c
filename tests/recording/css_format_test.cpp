#include "format_test_util.h"
#include "recording/css_format.h"
#include "recording/css_writer.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

using test::TempDir;

std::string Sp(std::size_t n) {
    return std::string(n, ' ');
}

// Worked out column by column from the record layout.
std::string ExpectedRealTimeRecord() {
    std::string r;
    r += "ABC03 " + Sp(1);                     // 0 sta
    r += "sd" + Sp(6) + Sp(1);                 // 7 chan
    r += " 1049328000.00000" + Sp(1);          // 16 time
    r += "00000000" + Sp(1);                   // 34 wfid (hour 0)
    r += "-0000001" + Sp(1);                   // 43 chanid
    r += "2003093 " + Sp(1);                   // 52 jdate
    r += " 1049328059.99000" + Sp(1);          // 61 endtime
    r += "00006000" + Sp(1);                   // 79 nsamp
    r += "100.0000000" + Sp(1);                // 88 samprate
    r += "        0.000000" + Sp(1);           // 100 calib
    r += "       -1.000000" + Sp(1);           // 117 calper
    r += "------" + Sp(1);                     // 134 instype
    r += "-" + Sp(1);                          // 141 segtype
    r += "i4" + Sp(1);                         // 143 datatype
    r += "-" + Sp(1);                          // 146 clip
    r += "." + Sp(63) + Sp(1);                 // 148 dir
    r += "CD3042_000000.093" + Sp(15) + Sp(1); // 213 dfile
    r += "0000000000" + Sp(1);                 // 246 foff
    r += "-0000001" + Sp(1);                   // 257 commid
    r += std::string(17, '-');                 // 266 lddate
    return r;
}

TEST(Wfdisc, RealTimeRecordByteForByte) {
    const std::string expected = ExpectedRealTimeRecord();
    ASSERT_EQ(expected.size(), 283u);
    const std::string r =
        BuildWfdisc(MakeRealTimeWfdisc("ABCDEF", "CD3042_000000.093", 1049328000u, 6000, 100));
    EXPECT_EQ(r, expected);
    EXPECT_EQ(r.substr(79, 8), "00006000");
    EXPECT_EQ(r.substr(61, 17), " 1049328059.99000");
    EXPECT_EQ(r.substr(52, 7), "2003093");
}

TEST(Wfdisc, DirAndFoffNameRealPlaces) {
    const std::string r =
        BuildWfdisc(MakeRealTimeWfdisc("ABC", "CD3042_000000.093", 1049328000u, 1, 100));
    EXPECT_EQ(r.substr(148, 64), "." + Sp(63));
    EXPECT_EQ(r.substr(246, 10), "0000000000");
}

TEST(Wfdisc, SeparatorsStaySpacesAtEveryRate) {
    const std::size_t seps[] = {6,   15,  33,  42,  51,  60,  78,  87,  99, 116,
                                133, 140, 142, 145, 147, 212, 245, 256, 265};
    for (int rate : {1, 100, 999, 1000, 50000}) {
        const std::string r = BuildWfdisc(
            MakeTranslateWfdisc("ABCDEFG", 'A', "CDA345_123456.093", 4000000000u, 99999999, rate));
        ASSERT_EQ(r.size(), 283u);
        for (std::size_t s : seps) {
            EXPECT_EQ(r[s], ' ') << "rate " << rate << " byte " << s;
        }
    }
    // 1000 samples/s no longer fits "%11.7f"; one decimal fewer keeps the column.
    const std::string r =
        BuildWfdisc(MakeTranslateWfdisc("ABCD", '1', "CD1345_123456.093", 0, 1, 1000));
    EXPECT_EQ(r.substr(88, 11), "1000.000000");
}

TEST(Wfdisc, TranslateStationAndChannelCodes) {
    std::string r =
        BuildWfdisc(MakeTranslateWfdisc("ABCDEF", '3', "CD3345_153000.093", 1049383800u, 10, 100));
    EXPECT_EQ(r.substr(0, 7), "ABCD   ");
    EXPECT_EQ(r.substr(7, 9), "CH 3P    ");
    EXPECT_EQ(r.substr(34, 8), "00000015");
    r = BuildWfdisc(MakeTranslateWfdisc("ABCDEF", 'H', "CDH345_153000.093", 1049383800u, 10, 100));
    EXPECT_EQ(r.substr(7, 9), "CH 8S    ");
}

TEST(Wfdisc, NamesOfThePair) {
    EXPECT_EQ(WfdiscNameOf("CD3042_153000.123"), "CH3042_153000.123");
    EXPECT_EQ(DataNameOf("CH3042_153000.123"), "CD3042_153000.123");
}

TEST(Wfdisc, ParseReadsTimeRateAndChannel) {
    const std::string r =
        BuildWfdisc(MakeTranslateWfdisc("ABCD", '2', "CD2345_153000.093", 1049383800u, 10, 125));
    WfdiscInfo info;
    ASSERT_EQ(ParseWfdisc(reinterpret_cast<const std::uint8_t*>(r.data()), r.size(), info), 1);
    EXPECT_EQ(info.startSecond, 1049383800u);
    EXPECT_EQ(info.rate, 125);
    EXPECT_EQ(info.channelCode, "CH 2P");
    EXPECT_EQ(info.dfile, "CD2345_153000.093");
}

TEST(Wfdisc, ParseRefusesBrokenRecords) {
    std::string r = ExpectedRealTimeRecord();
    WfdiscInfo info;
    const auto* p = reinterpret_cast<const std::uint8_t*>(r.data());
    EXPECT_LT(ParseWfdisc(p, 282, info), 0);
    std::string bad = r;
    bad.replace(16, 17, "    not a number ");
    EXPECT_LT(ParseWfdisc(reinterpret_cast<const std::uint8_t*>(bad.data()), 283, info), 0);
    bad = r;
    bad.replace(88, 11, "  0.0000000");
    EXPECT_LT(ParseWfdisc(reinterpret_cast<const std::uint8_t*>(bad.data()), 283, info), 0);
    bad = r;
    bad.replace(16, 17, "-1049328000.00000");
    EXPECT_LT(ParseWfdisc(reinterpret_cast<const std::uint8_t*>(bad.data()), 283, info), 0);
    EXPECT_LT(ParseWfdisc(nullptr, 283, info), 0);
}

TEST(CssWriter, DataFileThenRecordAtClose) {
    TempDir dir;
    CCssWriter w(dir.Path(), MakeRealTimeWfdisc("ABCDEF", "CD3042_000000.093", 1049328000u, 0, 100),
                 CreateMode::kNew, true);
    ASSERT_EQ(w.Open(), 1);
    std::vector<std::int32_t> second(100);
    for (int s = 0; s < 60; ++s) {
        for (int i = 0; i < 100; ++i) {
            second[static_cast<std::size_t>(i)] = s * 100 + i - 3000;
        }
        ASSERT_EQ(w.Append(second.data(), second.size()), 1);
    }
    EXPECT_EQ(w.DataPath(), dir / "CD3042_000000.093");
    ASSERT_EQ(w.Close(), 1);
    EXPECT_EQ(test::ReadText(dir / "CH3042_000000.093"), ExpectedRealTimeRecord());
    const std::vector<std::uint8_t> data = test::ReadBytes(dir / "CD3042_000000.093");
    ASSERT_EQ(data.size(), 24000u);
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + 8),
              (std::vector<std::uint8_t>{0x48, 0xF4, 0xFF, 0xFF, 0x49, 0xF4, 0xFF, 0xFF}));
}

TEST(CssWriter, ExistingWfdiscIsKeptAndReported) {
    TempDir dir;
    test::WriteBytes(dir / "CH3042_000000.093", std::string("old"));
    CCssWriter w(dir.Path(), MakeRealTimeWfdisc("ABC", "CD3042_000000.093", 1049328000u, 0, 100),
                 CreateMode::kNew);
    ASSERT_EQ(w.Open(), 1);
    const std::int32_t s[] = {5};
    ASSERT_EQ(w.Append(s, 1), 1);
    EXPECT_EQ(w.Close(), -EEXIST);
    EXPECT_EQ(w.LastPath(), dir / "CH3042_000000.093");
    EXPECT_EQ(test::ReadText(dir / "CH3042_000000.093"), "old");
    EXPECT_EQ(test::ReadBytes(dir / "CD3042_000000.093").size(), 4u);
    EXPECT_FALSE(w.IsOpen());
}

} // namespace
} // namespace nereid::recording
