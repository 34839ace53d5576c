#include "sim/options.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace nereid::sim {
namespace {

int Parse(std::vector<const char*> args, SimOptions& o, std::string& message) {
    args.insert(args.begin(), "nereid-sim");
    return ParseOptions(static_cast<int>(args.size()), args.data(), o, message);
}

TEST(SimOptions, StartTimeAsSecondsOrIsoDate) {
    std::uint32_t s = 0;
    ASSERT_TRUE(ParseStartTime("1041379200", s));
    EXPECT_EQ(s, 1041379200u);
    ASSERT_TRUE(ParseStartTime("2003-01-01", s));
    EXPECT_EQ(s, 1041379200u);
    ASSERT_TRUE(ParseStartTime("1970-03-01T00:00:00Z", s));
    EXPECT_EQ(s, 5097600u);
    ASSERT_TRUE(ParseStartTime("2003-04-03T12:34Z", s));
    EXPECT_EQ(s, 1049373240u);
    ASSERT_TRUE(ParseStartTime("2003-04-03 12:34:05", s));
    EXPECT_EQ(s, 1049373245u);
    for (const char* bad : {"", "2003-13-01", "1969-12-31", "2100-01-01", "2003-01-01X",
                            "2003-01-01T25:00", "2003-01-01T10:00:00+01", "12abc", "4294967296"})
        EXPECT_FALSE(ParseStartTime(bad, s)) << bad;
}

TEST(SimOptions, ValuesAreChecked) {
    SimOptions o;
    std::string m;
    ASSERT_EQ(Parse({"--streams", "3", "--model", "3", "--cal-format", "36", "--drive", "c=/tmp",
                     "--skip-seconds", "+3,100-102", "--corrupt", "0.2", "--busy-number", "1",
                     "--busy-number", "2"},
                    o, m),
              1)
        << m;
    EXPECT_EQ(o.streams, 3);
    EXPECT_EQ(o.model, 3);
    EXPECT_EQ(o.calFormat, 36);
    EXPECT_EQ(o.drives.at('C'), "/tmp");
    ASSERT_EQ(o.skips.size(), 2u);
    EXPECT_TRUE(o.skips[0].relative);
    EXPECT_EQ(o.skips[0].first, 3u);
    EXPECT_EQ(o.skips[1].first, 100u);
    EXPECT_EQ(o.skips[1].last, 102u);
    EXPECT_EQ(o.busyNumbers.size(), 2u);

    for (std::vector<const char*> bad :
         std::vector<std::vector<const char*>>{{"--streams", "2"},
                                               {"--model", "256"},
                                               {"--cal-format", "30"},
                                               {"--drive", "F=/tmp"},
                                               {"--drive", "A"},
                                               {"--corrupt", "1"},
                                               {"--drop", "-0.1"},
                                               {"--time-scale", "0"},
                                               {"--skip-seconds", "5-3"},
                                               {"--station", "FIVE5"},
                                               {"--serial", "65536"},
                                               {"--signal-amp", "9000000"},
                                               {"--link"},
                                               {"--no-such-option", "1"},
                                               {"--baud", "x"}}) {
        SimOptions other;
        EXPECT_EQ(Parse(bad, other, m), -1) << bad[0];
        EXPECT_FALSE(m.empty());
    }
    EXPECT_EQ(Parse({"--bogus"}, o, m), -1);
    EXPECT_EQ(m, "unknown option --bogus");
    EXPECT_EQ(Parse({"--seed"}, o, m), -1);
    EXPECT_EQ(m, "option --seed needs a value");
    EXPECT_EQ(Parse({"--help"}, o, m), 0);
    EXPECT_NE(m.find("--time-scale"), std::string::npos);
}

TEST(SimOptions, ModemFarEnd) {
    SimOptions o;
    std::string m;
    ASSERT_EQ(Parse({"--modem", "--no-dialtone-number", "3", "--no-dialtone-number", "4",
                     "--hangup-after", "2.5"},
                    o, m),
              1)
        << m;
    EXPECT_EQ(o.noDialtoneNumbers, (std::vector<std::string>{"3", "4"}));
    EXPECT_DOUBLE_EQ(o.hangupAfter, 2.5);
    EXPECT_DOUBLE_EQ(SimOptions{}.hangupAfter, 0.0) << "calls stand until hung up by default";
    for (const char* bad : {"0", "-1", "soon"}) {
        SimOptions other;
        EXPECT_EQ(Parse({"--hangup-after", bad}, other, m), -1) << bad;
        EXPECT_FALSE(m.empty());
    }
    EXPECT_EQ(Parse({"--no-dialtone-number"}, o, m), -1);
}

TEST(SimOptions, DefaultLinkPathPrefersTheRuntimeFolder) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/42", 1);
    EXPECT_EQ(DefaultLinkPath(), "/run/user/42/nereid-sim");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(DefaultLinkPath(), "/tmp/nereid-sim-" + std::to_string(::getuid()));
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

TEST(SimOptions, IgnoredCommandCodes) {
    SimOptions o;
    std::string m;
    ASSERT_EQ(Parse({"--ignore", "0x8D,0xB5", "--refuse", "0x8C"}, o, m), 1) << m;
    EXPECT_EQ(o.ignored, (std::vector<std::uint8_t>{0x8D, 0xB5}));
    EXPECT_EQ(o.refused, (std::vector<std::uint8_t>{0x8C}));
    for (const char* bad : {"0x7F", "0xBC", "12x", "", "0x8D,"}) {
        SimOptions other;
        EXPECT_EQ(Parse({"--ignore", bad}, other, m), -1) << bad;
    }
}

TEST(SimOptions, AnswerDelayOfASlowDrive) {
    SimOptions o;
    std::string m;
    ASSERT_EQ(Parse({}, o, m), 1);
    EXPECT_EQ(o.answerDelayMaxMs, 0); // off unless asked for
    EXPECT_EQ(o.answerDelayCodes, (std::vector<std::uint8_t>{0xB8, 0xB9, 0x92}));
    ASSERT_EQ(Parse({"--answer-delay", "3000-5000"}, o, m), 1) << m;
    EXPECT_EQ(o.answerDelayMinMs, 3000);
    EXPECT_EQ(o.answerDelayMaxMs, 5000);
    SimOptions fixed;
    ASSERT_EQ(Parse({"--answer-delay", "4000", "--answer-delay-codes", "0xB7"}, fixed, m), 1) << m;
    EXPECT_EQ(fixed.answerDelayMinMs, 4000);
    EXPECT_EQ(fixed.answerDelayMaxMs, 4000);
    EXPECT_EQ(fixed.answerDelayCodes, (std::vector<std::uint8_t>{0xB7}));
    for (const char* bad : {"5000-3000", "-5", "x", "", "1-600001"}) {
        SimOptions other;
        EXPECT_EQ(Parse({"--answer-delay", bad}, other, m), -1) << bad;
    }
}

} // namespace
} // namespace nereid::sim
