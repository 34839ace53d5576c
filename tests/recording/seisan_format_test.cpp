#include "format_test_util.h"
#include "recording/seisan_format.h"

#include <gtest/gtest.h>

namespace nereid::recording {
namespace {

std::string Sp(std::size_t n) {
    return std::string(n, ' ');
}

SeisanChannel Channel(std::uint32_t start = 1049383800u, std::uint64_t count = 6000) {
    SeisanChannel c;
    c.station = "ABCDEF";
    c.component = " c1p";
    c.startSecond = start;
    c.rate = 100;
    c.sampleCount = count;
    c.latitude = 1234560;
    c.longitude = -4567890;
    c.elevation = 123;
    return c;
}

TEST(SeisanHeader, LineCounts) {
    EXPECT_EQ(SeisanMainHeaderLines(1), 12);
    EXPECT_EQ(SeisanMainHeaderLines(4), 12);
    EXPECT_EQ(SeisanMainHeaderLines(30), 12);
    EXPECT_EQ(SeisanMainHeaderLines(31), 13);
    EXPECT_EQ(SeisanMainHeaderLines(33), 13);
    EXPECT_EQ(SeisanMainHeaderLines(40), 16);
}

TEST(SeisanHeader, MainHeaderColumns) {
    const std::vector<std::string> lines = BuildSeisanMainHeader(Sp(29), {Channel()});
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0], " " + Sp(29) + "001" + "103" + " " + "093" + " " + "04" + " " + "03" + " " +
                            "15" + " " + "30" + " " + " 0.000" + " " + "   60.000" + Sp(11));
    EXPECT_EQ(lines[1], Sp(80));
    EXPECT_EQ(lines[2], " ABCD c1p " + std::string("   0.00") + " " + "   60.00" + Sp(54));
    for (std::size_t i = 3; i < 12; ++i) {
        EXPECT_EQ(lines[i], Sp(80));
    }
}

TEST(SeisanHeader, CenturyDigitFollowsTheFullYear) {
    // 1998-12-31 23:59:59 and 1992-06-01 00:00:00 (707356800).
    EXPECT_EQ(BuildSeisanMainHeader(Sp(29), {Channel(915148799u)})[0].substr(33, 3), "098");
    EXPECT_EQ(BuildSeisanChannelHeader(Channel(915148799u)).substr(9, 3), "098");
    EXPECT_EQ(BuildSeisanMainHeader(Sp(29), {Channel(707356800u)})[0].substr(33, 3), "092");
    EXPECT_EQ(BuildSeisanChannelHeader(Channel()).substr(9, 3), "103");
}

TEST(SeisanHeader, ChannelHeaderInSeisanColumns) {
    const std::string h = BuildSeisanChannelHeader(Channel());
    ASSERT_EQ(h.size(), 1040u);
    const std::string first = "ABCD" + Sp(1) + " c1p" + "1" + "03" + " " + "093" + " " + "04" +
                              " " + "03" + " " + "15" + " " + "30" + " " + " 0.000" + " " +
                              " 100.00" + " " + "  6000" + " " + " 12.3456" + " " + " -45.6789" +
                              " " + "00123" + " " + "4";
    EXPECT_EQ(h.substr(0, first.size()), first);
    EXPECT_EQ(h[76], '4');
    EXPECT_EQ(h.substr(first.size()), Sp(1040 - first.size()));
}

TEST(SeisanHeader, MultiChannelWindowAndEntries) {
    std::vector<SeisanChannel> cs;
    for (int k = 0; k < 4; ++k) {
        SeisanChannel c = Channel(1049383800u + static_cast<std::uint32_t>(k), 100u * (k + 1));
        c.component = " c" + std::to_string(k + 1) + "p";
        cs.push_back(c);
    }
    const std::vector<std::string> lines = BuildSeisanMainHeader("NET", cs);
    EXPECT_EQ(lines[0].substr(0, 4), " NET");
    EXPECT_EQ(lines[0].substr(30, 3), "004");
    EXPECT_EQ(lines[0].substr(60, 9), "    7.000"); // channel 4: 3 s late + 4 s long
    EXPECT_EQ(lines[2].substr(26, 26), " ABCD c2p    1.00     2.00");
    EXPECT_EQ(lines[2].substr(52, 26), " ABCD c3p    2.00     3.00");
    EXPECT_EQ(lines[3].substr(0, 26), " ABCD c4p    3.00     4.00");
}

TEST(SeisanHeader, CoordinateReduction) {
    EXPECT_DOUBLE_EQ(ReduceCoordinate(9500000, 90), 5.0);
    EXPECT_DOUBLE_EQ(ReduceCoordinate(-9000000, 90), -90.0);
    EXPECT_DOUBLE_EQ(ReduceCoordinate(-40000000, 360), -40.0);
    SeisanChannel c = Channel();
    c.elevation = 123456;
    EXPECT_EQ(BuildSeisanChannelHeader(c).substr(70, 5), "99999");
}

std::vector<std::uint8_t> Framed(std::size_t count) {
    std::vector<std::uint8_t> out(count * 6 + 8);
    CSeisanDataFramer f;
    std::size_t n = f.Begin(out.data());
    for (std::size_t i = 0; i < count; ++i) {
        n += f.Put(out.data() + n, static_cast<std::int32_t>(i + 1));
    }
    out.resize(f.Seal(out.data(), n));
    return out;
}

TEST(SeisanFramer, ThirtyThreeSamplesEndWithMarkerFour) {
    const std::vector<std::uint8_t> out = Framed(33);
    std::vector<std::uint8_t> expected{0x80};
    for (std::int32_t i = 1; i <= 32; ++i) {
        const std::vector<std::uint8_t> b = test::I4({i});
        expected.insert(expected.end(), b.begin(), b.end());
    }
    expected.push_back(0x80);
    expected.push_back(0x04);
    expected.insert(expected.end(), {33, 0, 0, 0});
    expected.push_back(0x04);
    EXPECT_EQ(out, expected);
}

TEST(SeisanFramer, WholePiecesHaveNothingAfterThem) {
    std::vector<std::uint8_t> out = Framed(32);
    ASSERT_EQ(out.size(), 130u);
    EXPECT_EQ(out.front(), 0x80);
    EXPECT_EQ(out.back(), 0x80);
    EXPECT_TRUE(Framed(0).empty());
    out = Framed(64);
    ASSERT_EQ(out.size(), 260u);
    EXPECT_EQ(out[129], 0x80);
    EXPECT_EQ(out[130], 0x80);
}

TEST(SeisanFramer, MatchesTheRecordSplitter) {
    for (std::size_t count : {1u, 2u, 31u, 32u, 33u, 95u, 96u, 97u, 1000u}) {
        std::vector<std::int32_t> s(count);
        for (std::size_t i = 0; i < count; ++i) {
            s[i] = static_cast<std::int32_t>(i + 1);
        }
        const std::vector<std::uint8_t> raw = test::I4(s);
        std::vector<std::uint8_t> split;
        AppendSegmentedRecord(split, raw.data(), raw.size());
        EXPECT_EQ(Framed(count), split) << count;
        EXPECT_EQ(SegmentedSize(raw.size()), split.size());
    }
}

TEST(SeisanFile, LayoutOfOneChannel) {
    const std::vector<std::uint8_t> f =
        BuildSeisanFile(Sp(29), {Channel(1049383800u, 33)}, {std::vector<std::int32_t>(33, 7)});
    ASSERT_EQ(f.size(), 1u + 12 * 82 + 1058 + 136);
    EXPECT_EQ(f[0], 0x4B);
    for (std::size_t r = 0; r < 12; ++r) {
        EXPECT_EQ(f[1 + 82 * r], 80);
        EXPECT_EQ(f[1 + 82 * r + 81], 80);
    }
    const std::size_t ch = 1 + 12 * 82;
    EXPECT_EQ(f[ch], 0x80);
    EXPECT_EQ(f[ch + 1], 'A');
    EXPECT_EQ(f[ch + 1 + 76], '4');
    EXPECT_EQ(f[ch + 8 * 130], 16); // last 16 bytes of the 1040-byte header
    EXPECT_EQ(f[ch + 8 * 130 + 17], 16);
    EXPECT_EQ(f[ch + 1058], 0x80);
    EXPECT_EQ(f[f.size() - 6], 4);
    EXPECT_EQ(f.back(), 4);
}

} // namespace
} // namespace nereid::recording
