#include "seedlink/command_parser.h"

#include <gtest/gtest.h>

#include <random>

namespace nereid::seedlink {
namespace {

TEST(SeedLinkParser, SimpleCommandsIgnoreCaseAndRefuseArguments) {
    EXPECT_EQ(ParseSeedLinkCommand("HELLO").kind, ECommand::kHello);
    EXPECT_EQ(ParseSeedLinkCommand("hello").kind, ECommand::kHello);
    EXPECT_EQ(ParseSeedLinkCommand("  bye ").kind, ECommand::kBye);
    EXPECT_EQ(ParseSeedLinkCommand("END").kind, ECommand::kEnd);
    EXPECT_EQ(ParseSeedLinkCommand("CAT").kind, ECommand::kCat);
    const SSeedLinkCommand extra = ParseSeedLinkCommand("HELLO there");
    EXPECT_EQ(extra.kind, ECommand::kInvalid);
    EXPECT_FALSE(extra.error.empty());
    EXPECT_EQ(ParseSeedLinkCommand("").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("   ").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("FROB").kind, ECommand::kInvalid);
}

TEST(SeedLinkParser, DataAndFetchTakeHexSequenceAndTime) {
    SSeedLinkCommand c = ParseSeedLinkCommand("DATA");
    EXPECT_EQ(c.kind, ECommand::kData);
    EXPECT_FALSE(c.hasSequence);
    c = ParseSeedLinkCommand("DATA 00001F");
    EXPECT_TRUE(c.hasSequence);
    EXPECT_EQ(c.sequence, 0x1Fu);
    c = ParseSeedLinkCommand("data ffffff 2026,12,07,17,55,00");
    EXPECT_EQ(c.sequence, 0xFFFFFFu);
    ASSERT_TRUE(c.hasBegin);
    EXPECT_EQ(c.beginNs, 1796666100LL * 1000000000LL);
    c = ParseSeedLinkCommand("FETCH 1A");
    EXPECT_EQ(c.kind, ECommand::kFetch);
    EXPECT_EQ(c.sequence, 0x1Au);
    c = ParseSeedLinkCommand("DATA -1");
    EXPECT_EQ(c.kind, ECommand::kData);
    EXPECT_FALSE(c.hasSequence);

    EXPECT_EQ(ParseSeedLinkCommand("DATA 1000000").kind, ECommand::kInvalid); // 7 digits
    EXPECT_EQ(ParseSeedLinkCommand("DATA 12G").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("DATA 12 2026,13,01,00,00,00").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("DATA 1 2 3").kind, ECommand::kInvalid);
}

TEST(SeedLinkParser, TimesAreCheckedDayByDay) {
    std::int64_t ns = 0;
    ASSERT_TRUE(ParseSeedLinkTime("2024,02,29,23,59,59.5", ns));
    EXPECT_EQ(ns, 1709251199LL * 1000000000LL + 500000000LL);
    EXPECT_FALSE(ParseSeedLinkTime("2023,02,29,00,00,00", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2100,02,29,00,00,00", ns)); // no leap day in 2100
    EXPECT_TRUE(ParseSeedLinkTime("2000,02,29,00,00,00", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2026,04,31,00,00,00", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2026,01,01,24,00,00", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2026,01,01,00,00", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2026,01,01,00,00,00,", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2026,01,01,00,00,00.", ns));
    EXPECT_FALSE(ParseSeedLinkTime("1969,12,31,23,59,59", ns));
    EXPECT_FALSE(ParseSeedLinkTime("20261,01,01,00,00,00", ns));
    // The last year whose nanoseconds fit 64 bits, and the first that would overflow them.
    ASSERT_TRUE(ParseSeedLinkTime("2261,12,31,23,59,59.999999999", ns));
    EXPECT_EQ(ns, 9214646399LL * 1000000000LL + 999999999LL);
    EXPECT_FALSE(ParseSeedLinkTime("2262,04,12,00,00,00", ns));
    EXPECT_FALSE(ParseSeedLinkTime("2999,12,31,23,59,59", ns));

    SSeedLinkCommand c = ParseSeedLinkCommand("TIME 2026,12,07,17,55,00 2026,12,07,17,56,00");
    EXPECT_EQ(c.kind, ECommand::kTime);
    EXPECT_TRUE(c.hasEnd);
    EXPECT_EQ(c.endNs - c.beginNs, 60LL * 1000000000LL);
    EXPECT_EQ(ParseSeedLinkCommand("TIME 2026,12,07,17,56,00 2026,12,07,17,55,00").kind,
              ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("TIME").kind, ECommand::kInvalid);
}

TEST(SeedLinkParser, StationAndSelectorShapes) {
    SSeedLinkCommand c = ParseSeedLinkCommand("STATION sim1 xx");
    EXPECT_EQ(c.kind, ECommand::kStation);
    EXPECT_EQ(c.station, "SIM1");
    EXPECT_EQ(c.network, "XX");
    EXPECT_EQ(ParseSeedLinkCommand("STATION S?M*").kind, ECommand::kStation);
    EXPECT_EQ(ParseSeedLinkCommand("STATION TOOLONG").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("STATION SIM1 XYZ").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("STATION SI-1").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("STATION").kind, ECommand::kInvalid);

    for (const char* good : {"SELECT", "SELECT HHZ", "SELECT HH?.D", "SELECT 00HHZ", "SELECT --H??",
                             "SELECT !LOG", "SELECT ???.D"}) {
        EXPECT_EQ(ParseSeedLinkCommand(good).kind, ECommand::kSelect) << good;
    }
    for (const char* bad : {"SELECT HH", "SELECT HHZZ", "SELECT HHZ.", "SELECT HHZ.DD",
                            "SELECT H-Z", "SELECT a b", "SELECT HHZ.1"}) {
        EXPECT_EQ(ParseSeedLinkCommand(bad).kind, ECommand::kInvalid) << bad;
    }
    EXPECT_TRUE(SelectorMatches("HH?", "", "HHZ", 'D'));
    EXPECT_TRUE(SelectorMatches("HH?", "00", "HHN", 'D')); // three letters: any location
    EXPECT_FALSE(SelectorMatches("HH?", "", "EHZ", 'D'));
    EXPECT_TRUE(SelectorMatches("--HHZ", "", "HHZ", 'D'));
    EXPECT_FALSE(SelectorMatches("--HHZ", "00", "HHZ", 'D'));
    EXPECT_TRUE(SelectorMatches("00HHZ.D", "00", "HHZ", 'D'));
    EXPECT_FALSE(SelectorMatches("HHZ.E", "", "HHZ", 'D'));
    EXPECT_TRUE(SelectorMatches("!HHZ", "", "HHZ", 'D'));
}

TEST(SeedLinkParser, HostileLinesAreRefusedWithAReason) {
    const std::string longLine = "DATA " + std::string(300, '1');
    EXPECT_EQ(ParseSeedLinkCommand(longLine).kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand(std::string("HEL\0LO", 6)).kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("HELLO\x80").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("INFO").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("INFO streams").infoLevel, "STREAMS");

    // Random lines never crash the parser, and every refusal says why.
    std::mt19937 random(7);
    const std::string alphabet = "DATFETCHIMSLOBYNEH 0123456789,.-!?*\t\x01\xff";
    for (int n = 0; n < 5000; ++n) {
        std::string line;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) {
            line.push_back(alphabet[random() % alphabet.size()]);
        }
        const SSeedLinkCommand c = ParseSeedLinkCommand(line);
        if (c.kind == ECommand::kInvalid) {
            EXPECT_FALSE(c.error.empty()) << line;
        }
    }
}

} // namespace
} // namespace nereid::seedlink
