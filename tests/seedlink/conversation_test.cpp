// Conversations as the field's clients hold them: libslink 4 (slinktool 5) in 3.1 and in 4.0,
// seisplotjs, and the INFO levels SeisComP and slinktool ask for. Replies are compared with
// the bytes those clients expect.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <vector>

#include "seedlink/info_json.h"
#include "seedlink/packet_header.h"
#include "seedlink/session.h"
#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

using test::AppendFake;
using test::kSecond;
using test::kT0;

struct SePacket {
    char format = 0;
    char subformat = 0;
    std::uint32_t length = 0;
    std::uint64_t sequence = 0;
    std::string stationId;
    std::string payload;
};

// Takes 4.0 packets off the front of `output`; false when something else is there.
bool TakeSePackets(std::string output, std::vector<SePacket>& packets, std::string& rest) {
    while (output.size() >= kHeaderV4Fixed && output.compare(0, 2, "SE") == 0) {
        const auto* b = reinterpret_cast<const unsigned char*>(output.data());
        SePacket p;
        p.format = output[2];
        p.subformat = output[3];
        for (int i = 3; i >= 0; --i) {
            p.length = (p.length << 8) | b[4 + i];
        }
        for (int i = 7; i >= 0; --i) {
            p.sequence = (p.sequence << 8) | b[8 + i];
        }
        const std::size_t idLength = b[16];
        if (output.size() < kHeaderV4Fixed + idLength + p.length) {
            return false;
        }
        p.stationId = output.substr(kHeaderV4Fixed, idLength);
        p.payload = output.substr(kHeaderV4Fixed + idLength, p.length);
        output.erase(0, kHeaderV4Fixed + idLength + p.length);
        packets.push_back(p);
    }
    rest = output;
    return true;
}

class Conversation : public ::testing::Test {
protected:
    std::string Say(const std::string& text) {
        session.Receive(text.data(), text.size());
        std::string out = session.Output();
        session.Consumed(out.size());
        return out;
    }
    void Fill(int from, int to) {
        for (int i = from; i < to; ++i) {
            AppendFake(ring, i % 2 == 0 ? "HHZ" : "HHN", i, kT0 + i * kSecond,
                       kT0 + (i + 2) * kSecond);
        }
    }

    CRecordRing ring{64};
    SServiceIdentity who;
    std::vector<SConnectionInfo> clients{{"192.0.2.7",
                                          40000,
                                          kT0,
                                          "slinktool/5.0.0 libslink/4.2.0",
                                          4,
                                          false,
                                          true,
                                          12,
                                          30,
                                          15600,
                                          {"*_H_H_Z"}}};
    CSeedLinkSession session{ring, who, [this] { return clients; }};
};

TEST_F(Conversation, Libslink4InThreeOneGetsOkForCapabilitiesAndReasonsAfterIt) {
    Fill(0, 4);
    const std::string hello = Say("HELLO\r\n");
    // libslink sends CAPABILITIES when "CAP" follows "::" on the first line.
    const std::string first = hello.substr(0, hello.find("\r\n"));
    ASSERT_NE(first.find(":: "), std::string::npos);
    EXPECT_NE(first.substr(first.find("::")).find(" CAP "), std::string::npos);
    EXPECT_NE(first.find("SLPROTO:3.1"), std::string::npos);
    EXPECT_EQ(session.FrontMessage(), 0u); // all of it was taken

    EXPECT_EQ(Say("CAPABILITIES EXTREPLY\r\n"), "OK\r\n");
    // libslink reads the reason between the first and the second CR.
    EXPECT_EQ(Say("STATION NOPE XX\r\n"),
              "ERROR\rARGUMENTS no station NOPE XX here; this server has XX_SIM1\r\n");
    EXPECT_EQ(Say("FROB\r\n"), "ERROR\rUNSUPPORTED unknown command FROB\r\n");
    EXPECT_EQ(Say("STATION SIM1 XX\r\nSELECT HHZ\r\nDATA 000002\r\nEND\r\n").substr(0, 20),
              "OK\r\nOK\r\nOK\r\nSL000002");
}

TEST_F(Conversation, CapabilitiesTakesAnyFlagsAndWithoutExtreplyErrorsStayBare) {
    EXPECT_EQ(Say("CAPABILITIES SLPROTO:3.1 SOMETHING-NEW\r\n"), "OK\r\n");
    EXPECT_EQ(Say("CAPABILITIES\r\n"), "OK\r\n");
    EXPECT_EQ(Say("STATION NOPE\r\n"), "ERROR\r\n");
    EXPECT_EQ(Say("capabilities extreply\r\n"), "OK\r\n"); // commands ignore case
    EXPECT_EQ(Say("STATION NOPE\r\n").rfind("ERROR\rARGUMENTS ", 0), 0u);
}

TEST_F(Conversation, Libslink4SessionInFourOhWithAsynchronousHandshake) {
    Fill(0, 10);
    EXPECT_NE(Say("HELLO\r\n").find("SLPROTO:4.0"), std::string::npos);
    EXPECT_EQ(Say("SLPROTO 4.0\r\n"), "OK\r\n");
    EXPECT_EQ(Say("USERAGENT slinktool/5.0.0 libslink/4.2.0\r\n"), "OK\r\n");
    EXPECT_EQ(session.UserAgent(), "slinktool/5.0.0 libslink/4.2.0");
    EXPECT_EQ(session.Protocol(), 4);
    // libslink 4 sends every station command at once, ended by CR alone, then END.
    const std::string out = Say("STATION XX_SIM1\rSELECT *_H_H_Z\rDATA 5\rEND\r\n");
    ASSERT_EQ(out.substr(0, 12), "OK\r\nOK\r\nOK\r\n");
    std::vector<SePacket> packets;
    std::string rest;
    ASSERT_TRUE(TakeSePackets(out.substr(12), packets, rest));
    EXPECT_TRUE(rest.empty());
    // 6 and 8 are HHZ from 5 on; 5, 7, 9 are HHN.
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].sequence, 6u);
    EXPECT_EQ(packets[1].sequence, 8u);
    EXPECT_EQ(packets[0].format, '2');
    EXPECT_EQ(packets[0].subformat, 'D');
    EXPECT_EQ(packets[0].length, 512u);
    EXPECT_EQ(packets[0].stationId, "XX_SIM1");
    EXPECT_EQ(test::LabelOf(packets[0].payload.data()), "HHZ#6");

    Fill(10, 12); // 10 is HHZ and goes out at once
    session.Pump();
    packets.clear();
    ASSERT_TRUE(TakeSePackets(session.Output(), packets, rest));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].sequence, 10u);
}

TEST_F(Conversation, FourOhRefusalsCarryCodesAndAuthIsRefusedCleanly) {
    EXPECT_EQ(Say("SLPROTO 5.0\r\n"), "ERROR\r\n"); // still 3.1, without EXTREPLY
    EXPECT_EQ(Say("SLPROTO 4.0\r\n"), "OK\r\n");
    EXPECT_EQ(Say("SLPROTO 4.1\r\n"), "ERROR UNSUPPORTED unsupported protocol version\r\n");
    EXPECT_EQ(Say("AUTH USERPASS johndoe letmein\r\n"),
              "ERROR UNSUPPORTED authentication is not configured on this server\r\n");
    EXPECT_EQ(Say("SELECT\r\n"), "ERROR ARGUMENTS empty SELECT is not allowed in v4\r\n");
    EXPECT_EQ(Say("FETCH\r\n").rfind("ERROR UNSUPPORTED", 0), 0u);
    EXPECT_EQ(Say("SELECT *_H_H_Z:3\r\n").rfind("ERROR UNSUPPORTED", 0), 0u);
    EXPECT_EQ(Say("STATION GE_APE\r\n").rfind("ERROR ARGUMENTS no station GE_APE", 0), 0u);
    EXPECT_EQ(Say("SELECT *_H_H_Z\r\n").rfind("ERROR UNEXPECTED", 0), 0u);
    EXPECT_EQ(Say("SLPROTO 4.0\r\n").rfind("ERROR UNEXPECTED", 0), 0u); // too late now
    EXPECT_EQ(Say("STATION XX_*\r\n"), "OK\r\n");
    EXPECT_EQ(Say("STATION *\r\n"), "OK\r\n"); // matched already: nothing left for it
    EXPECT_EQ(Say("DATA 3\r\n"), "OK\r\n");    // ... so this changes nothing
    EXPECT_FALSE(session.Streaming());
}

TEST_F(Conversation, FourOhDataAllTimeWindowAndDialUp) {
    Fill(0, 10);
    Say("SLPROTO 4.0\r\n");
    // From the oldest record, within [6 s, 8 s): records ending after 6 s and starting before
    // 8 s, then END when every stream held has passed the end.
    const std::string out = Say("STATION XX_SIM1\r\nDATA ALL 2026-12-07T17:55:06Z "
                                "2026-12-07T17:55:08.000000Z\r\nENDFETCH\r\n");
    ASSERT_EQ(out.substr(0, 8), "OK\r\nOK\r\n");
    std::vector<SePacket> packets;
    std::string rest;
    ASSERT_TRUE(TakeSePackets(out.substr(8), packets, rest));
    ASSERT_EQ(packets.size(), 4u); // records 4..7 (record i spans i .. i+2 s)
    EXPECT_EQ(packets.front().sequence, 4u);
    EXPECT_EQ(packets.back().sequence, 7u);
    EXPECT_EQ(rest, "END");
    EXPECT_TRUE(session.Closing());
}

TEST_F(Conversation, FourOhDialUpWithoutWindowEndsWhenCaughtUp) {
    Fill(0, 5);
    Say("SLPROTO 4.0\r\n");
    const std::string out = Say("STATION XX_SIM1\rDATA 3\rENDFETCH\r");
    std::vector<SePacket> packets;
    std::string rest;
    ASSERT_TRUE(TakeSePackets(out.substr(8), packets, rest));
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].sequence, 3u);
    EXPECT_EQ(rest, "END");
}

TEST_F(Conversation, FourOhResumeBeyondTheRingStartsAtItsEnds) {
    Fill(0, 70); // 6..69 held
    Say("SLPROTO 4.0\r\n");
    std::vector<SePacket> packets;
    std::string rest;
    ASSERT_TRUE(TakeSePackets(Say("DATA 2\r\n"), packets, rest));
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.front().sequence, 6u);
}

TEST_F(Conversation, InfoInFourOhIsOneJsonPacket) {
    Fill(0, 4);
    Say("SLPROTO 4.0\r\n");
    std::vector<SePacket> packets;
    std::string rest;
    ASSERT_TRUE(TakeSePackets(Say("INFO STREAMS\r\n"), packets, rest));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_TRUE(rest.empty());
    const SePacket& p = packets[0];
    EXPECT_EQ(p.format, 'J');
    EXPECT_EQ(p.subformat, 'I');
    EXPECT_EQ(p.sequence, 0u);
    EXPECT_EQ(p.stationId, "");
    const std::string& json = p.payload;
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.back(), '}');
    EXPECT_NE(json.find("\"software\":\"SeedLink v4.0 (Nereid Utility) :: SLPROTO:4.0"),
              std::string::npos);
    EXPECT_NE(json.find("\"organization\":\"Nereid station service\""), std::string::npos);
    EXPECT_NE(json.find("\"id\":\"XX_SIM1\""), std::string::npos);
    EXPECT_NE(json.find("\"start_seq\":0,\"end_seq\":4"), std::string::npos);
    EXPECT_NE(json.find("{\"id\":\"_H_H_Z\",\"format\":\"2\",\"subformat\":\"D\""),
              std::string::npos);
    EXPECT_NE(json.find("\"start_time\":\"2026-12-07T17:55:00.0000Z\""), std::string::npos);

    packets.clear();
    ASSERT_TRUE(TakeSePackets(Say("INFO STREAMS XX_SIM1 *_H_H_N\r\n"), packets, rest));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].payload.find("_H_H_Z"), std::string::npos);
    EXPECT_NE(packets[0].payload.find("_H_H_N"), std::string::npos);

    packets.clear();
    ASSERT_TRUE(TakeSePackets(Say("INFO GAPS\r\n"), packets, rest));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].subformat, 'E'); // removed in 4.0: an error document, no ERROR line
    EXPECT_NE(packets[0].payload.find("\"error\":{\"code\":\"ARGUMENTS\""), std::string::npos);

    packets.clear();
    ASSERT_TRUE(TakeSePackets(Say("INFO CONNECTIONS\r\n"), packets, rest));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_NE(packets[0].payload.find("\"client_id\":\"slinktool/5.0.0 libslink/4.2.0\""),
              std::string::npos);
    EXPECT_NE(packets[0].payload.find("\"transmit_packets\":30"), std::string::npos);

    packets.clear();
    ASSERT_TRUE(TakeSePackets(Say("INFO CAPABILITIES\r\n"), packets, rest));
    EXPECT_NE(packets.at(0).payload.find("\"capability\":[\"SLPROTO:4.0\""), std::string::npos);
}

TEST_F(Conversation, JsonTextIsEscaped) {
    who.description = "quote \" backslash \\ tab \t";
    Say("SLPROTO 4.0\r\n");
    std::vector<SePacket> packets;
    std::string rest;
    ASSERT_TRUE(TakeSePackets(Say("INFO STATIONS\r\n"), packets, rest));
    EXPECT_NE(packets.at(0).payload.find(R"("description":"quote \" backslash \\ tab \u0009")"),
              std::string::npos);
}

// A real record of `count` samples at 100 samples/s from `startNs`.
std::string RealRecord(std::int64_t startNs, int count) {
    std::vector<std::int32_t> samples(static_cast<std::size_t>(count), 7);
    MSRecord* msr = msr_init(nullptr);
    std::strcpy(msr->network, "XX");
    std::strcpy(msr->station, "SIM1");
    std::strcpy(msr->channel, "HHZ");
    msr->dataquality = 'D';
    msr->starttime = static_cast<hptime_t>(startNs / 1000);
    msr->samprate = 100;
    msr->reclen = 512;
    msr->encoding = DE_STEIM2;
    msr->byteorder = 1;
    msr->datasamples = samples.data();
    msr->numsamples = count;
    msr->sampletype = 'i';
    std::string record;
    std::int64_t packed = 0;
    msr_pack(
        msr,
        [](char* r, int length, void* out) { static_cast<std::string*>(out)->assign(r, length); },
        &record, &packed, 1, 0);
    msr->datasamples = nullptr;
    msr_free(&msr);
    return record;
}

TEST_F(Conversation, InfoGapsConnectionsAndAllInThreeOneXml) {
    // 1 s, a hole of 1 s, 1 s, then a record 5 ms late: less than a sample period is no gap.
    const std::int64_t starts[] = {kT0, kT0 + kSecond, kT0 + 3 * kSecond,
                                   kT0 + 4 * kSecond + 5000000};
    for (std::int64_t start : starts) {
        const std::string record = RealRecord(start, 100);
        ASSERT_EQ(record.size(), 512u);
        ring.Append(record.data(), SRecordInfo{"", "HHZ", 'D', start, start + 99 * kSecond / 100});
    }
    auto xmlOf = [this](const std::string& command) {
        const std::string out = Say(command);
        std::string xml;
        for (std::size_t at = 0; at + 520 <= out.size(); at += 520) {
            EXPECT_EQ(out.compare(at, 6, "SLINFO"), 0);
            MSRecord* msr = nullptr;
            std::string record = out.substr(at + 8, 512);
            EXPECT_EQ(msr_unpack(record.data(), 512, &msr, 1, 0), MS_NOERROR);
            xml.append(static_cast<const char*>(msr->datasamples),
                       static_cast<std::size_t>(msr->numsamples));
            msr_free(&msr);
        }
        return xml;
    };
    const std::string gaps = xmlOf("INFO GAPS\r\n");
    EXPECT_NE(gaps.find("<gap begin_time=\"2026/12/07 17:55:02.0000\" "
                        "end_time=\"2026/12/07 17:55:03.0000\"/>"),
              std::string::npos)
        << gaps;
    EXPECT_EQ(gaps.find("17:55:05"), std::string::npos) << "a 5 ms step is not a gap";

    const std::string connections = xmlOf("INFO CONNECTIONS\r\n");
    EXPECT_NE(connections.find("<connection host=\"192.0.2.7\" port=\"40000\" ctime=\"2026/12/07 "
                               "17:55:00.0000\" begin_seq=\"00000C\" current_seq=\"00000C\""),
              std::string::npos)
        << connections;
    EXPECT_NE(connections.find("<selector pattern=\"*_H_H_Z\"/>"), std::string::npos);

    const std::string all = xmlOf("INFO ALL\r\n");
    for (const char* part : {"<capability name=\"info:gaps\"/>", "<stream location=\"\" seedname",
                             "<gap begin_time", "<connection host"}) {
        EXPECT_NE(all.find(part), std::string::npos) << part;
    }
}

TEST(SeedLinkFraming, FourOhHeaderByteForByte) {
    const std::string h = PacketHeaderV4('2', 'D', 512, 0x0102030405060708ULL, "XX_SIM1");
    const std::string expected("SE2D\x00\x02\x00\x00\x08\x07\x06\x05\x04\x03\x02\x01\x07XX_SIM1",
                               24);
    EXPECT_EQ(h, expected);
    EXPECT_EQ(PacketHeaderV3(0x1234567), "SL234567"); // the low 24 bits
    EXPECT_EQ(PacketHeaderV4('J', 'I', 0, 0, std::string(300, 'x')).size(), 17u + 255u);
    EXPECT_EQ(ErrorReply(3, true, "ARGUMENTS", "a\r\nb"), "ERROR\rARGUMENTS a  b\r\n");
    EXPECT_EQ(ErrorReply(4, false, "LIMIT", ""), "ERROR LIMIT\r\n");
}

TEST(SeedLinkParserFourOh, DataStationSelectAndTimes) {
    SSeedLinkCommand c = ParseSeedLinkCommand("DATA 18446744073709551615", 4);
    ASSERT_EQ(c.kind, ECommand::kData);
    EXPECT_EQ(c.sequence, UINT64_MAX);
    EXPECT_EQ(ParseSeedLinkCommand("DATA 18446744073709551616", 4).kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("DATA 1F", 4).kind, ECommand::kInvalid); // decimal in 4.0
    EXPECT_TRUE(ParseSeedLinkCommand("data all", 4).allData);
    c = ParseSeedLinkCommand("DATA ALL 2024-02-29T23:59:59.5Z", 4);
    EXPECT_EQ(c.beginNs, 1709251199LL * 1000000000LL + 500000000LL);
    EXPECT_EQ(ParseSeedLinkCommand("DATA 1 2024-02-30T00:00:00Z", 4).kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("DATA 1 2024-02-01T00:00:00Z 2024-01-01T00:00:00Z", 4).kind,
              ECommand::kInvalid);
    std::int64_t ns = 0;
    EXPECT_TRUE(ParseIsoTime("2024-01-01T00:00:00.000+00:00", ns)); // luxon's toISO in UTC
    EXPECT_FALSE(ParseIsoTime("2024-1-01T00:00:00Z", ns));
    EXPECT_FALSE(ParseIsoTime("2024-01-01 00:00:00Z", ns));

    c = ParseSeedLinkCommand("STATION xx_sim?", 4);
    EXPECT_EQ(c.station, "XX_SIM?");
    EXPECT_EQ(ParseSeedLinkCommand("STATION SIM1 XX", 4).kind, ECommand::kInvalid);
    c = ParseSeedLinkCommand("SELECT _H_H_? !*.*E *:native", 4);
    ASSERT_EQ(c.selectors.size(), 3u);
    EXPECT_EQ(c.selectors[1], "!*.*E");
    EXPECT_EQ(c.selectors[2], "*");
    EXPECT_EQ(ParseSeedLinkCommand("SELECT !*:native", 4).kind, ECommand::kInvalid);

    EXPECT_EQ(ParseSeedLinkCommand("SLPROTO 4.0").versionMajor, 4);
    EXPECT_EQ(ParseSeedLinkCommand("SLPROTO 4.0x").kind, ECommand::kInvalid);
    EXPECT_EQ(ParseSeedLinkCommand("USERAGENT a/1  b/2").text, "a/1  b/2");
    EXPECT_EQ(ParseSeedLinkCommand("FROB").errorCode, kErrorUnsupported);
}

TEST(SeedLinkPatterns, WildcardsAndStreamIds) {
    EXPECT_TRUE(WildcardMatch("_*Z", "_B_H_Z"));
    EXPECT_FALSE(WildcardMatch("_*Z", "00_B_H_Z"));
    EXPECT_FALSE(WildcardMatch("_*Z", "_B_Z_H"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXXbYYbc"));
    // Built in place: GCC 12 at -O2 warns falsely (array-bounds) on a temporary + literal.
    std::string manyStars(61, '*');
    manyStars.back() = 'x';
    EXPECT_FALSE(WildcardMatch(manyStars, std::string(200, 'a')));
    EXPECT_EQ(StreamId("", "HHZ"), "_H_H_Z");
    EXPECT_EQ(StreamId("00", "BH1"), "00_B_H_1");
    EXPECT_TRUE(StreamPatternMatches("*_H_H_Z.2", "", "HHZ", "2D"));
    EXPECT_TRUE(StreamPatternMatches("*_H_H_Z.D", "", "HHZ", "2D")); // 3.x type carried over
    EXPECT_FALSE(StreamPatternMatches("*.*E", "", "HHZ", "2D"));
    EXPECT_FALSE(StreamPatternMatches("*.D2", "", "HHZ", "2D"));
}

} // namespace
} // namespace nereid::seedlink
