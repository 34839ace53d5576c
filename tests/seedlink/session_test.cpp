#include "seedlink/session.h"

#include <gtest/gtest.h>
#include <libmseed.h>

#include <vector>

#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

using test::AppendFake;
using test::kSecond;
using test::kT0;

struct Packet {
    std::string header; // "SL00001F" or "SLINFO *"
    std::string record;
};

// Takes the packets off the front of a session's output; what follows them (a reply, "END")
// stays in `rest`.
std::vector<Packet> TakePackets(const std::string& output, std::string& rest) {
    std::vector<Packet> packets;
    std::size_t at = 0;
    while (output.size() - at >= 8 + kRecordLength && output.compare(at, 2, "SL") == 0) {
        packets.push_back({output.substr(at, 8), output.substr(at + 8, kRecordLength)});
        at += 8 + kRecordLength;
    }
    rest = output.substr(at);
    return packets;
}

class SessionTest : public ::testing::Test {
protected:
    void Send(const std::string& text) { session.Receive(text.data(), text.size()); }
    std::vector<Packet> Drain(std::string& rest) {
        std::vector<Packet> packets = TakePackets(session.Output(), rest);
        session.Consumed(session.Output().size());
        return packets;
    }
    void Fill(int from, int to) {
        for (int i = from; i < to; ++i) {
            AppendFake(ring, i % 2 == 0 ? "HHZ" : "HHN", i, kT0 + i * kSecond,
                       kT0 + (i + 2) * kSecond);
        }
    }

    CRecordRing ring{64};
    SServiceIdentity who;
    CSeedLinkSession session{ring, who};
};

TEST_F(SessionTest, HelloAnswersTwoLines) {
    Send("HELLO\r\n");
    const std::string& out = session.Output();
    EXPECT_EQ(out.rfind("SeedLink v4.0 (Nereid Utility) :: SLPROTO:4.0 SLPROTO:3.1 CAP ", 0), 0u);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    EXPECT_FALSE(session.Streaming());
}

TEST_F(SessionTest, UniStationDataStreamsNewRecordsAtOnce) {
    Fill(0, 4);
    Send("DATA\r");
    EXPECT_TRUE(session.Streaming());
    std::string rest;
    EXPECT_TRUE(Drain(rest).empty()); // nothing old without a sequence number
    EXPECT_TRUE(rest.empty());        // and no OK in this mode
    Fill(4, 6);
    session.Pump();
    const std::vector<Packet> packets = Drain(rest);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].header, "SL000004");
    EXPECT_EQ(test::LabelOf(packets[0].record.data()), "HHZ#4");
    EXPECT_EQ(packets[1].header, "SL000005");
}

TEST_F(SessionTest, MultiStationHandshakeResumesFromASequenceNumber) {
    Fill(0, 10);
    Send("STATION NOPE XX\r\n");
    EXPECT_EQ(session.Output(), "ERROR\r\n");
    session.Consumed(session.Output().size());
    Send("SELECT HHZ\r\n"); // for a station refused: refused too
    EXPECT_EQ(session.Output(), "ERROR\r\n");
    session.Consumed(session.Output().size());
    Send("STATION SIM1 XX\r\nSELECT HHZ.D\r\nDATA 000004\r\n");
    EXPECT_EQ(session.Output(), "OK\r\nOK\r\nOK\r\n");
    EXPECT_FALSE(session.Streaming());
    session.Consumed(session.Output().size());
    Send("END\r\n");
    std::string rest;
    const std::vector<Packet> packets = Drain(rest);
    // Records 4, 6 and 8 are HHZ; HHN is not selected.
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].header, "SL000004");
    EXPECT_EQ(packets[1].header, "SL000006");
    EXPECT_EQ(packets[2].header, "SL000008");
    EXPECT_TRUE(rest.empty());
}

TEST_F(SessionTest, NegativeSelectorLeavesAStreamOut) {
    Fill(0, 4);
    Send("STATION SIM1\r\nSELECT !HHZ\r\nDATA 0\r\nEND\r\n");
    std::string rest;
    const std::vector<Packet> packets = TakePackets(session.Output().substr(12), rest);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(test::LabelOf(packets[0].record.data()), "HHN#1");
    EXPECT_EQ(test::LabelOf(packets[1].record.data()), "HHN#3");
}

TEST_F(SessionTest, ResumeFromAnOverwrittenNumberStartsAtTheOldest) {
    Fill(0, 70); // 64 held: 6..69
    Send("DATA 000002\r\n");
    std::string rest;
    const std::vector<Packet> packets = Drain(rest);
    ASSERT_EQ(packets.size(), 64u);
    EXPECT_EQ(packets.front().header, "SL000006");
    EXPECT_EQ(packets.back().header, "SL000045");
}

TEST_F(SessionTest, SlowClientSkipsOverwrittenRecordsWithoutDuplicates) {
    CRecordRing big(400);
    CSeedLinkSession slow(big, who);
    for (int i = 0; i < 200; ++i) {
        AppendFake(big, "HHZ", i, kT0, kT0);
    }
    slow.Receive("DATA 0\r", 7);
    // The session holds at most the high-water mark of packets, not all 200.
    const std::size_t perPacket = 8 + kRecordLength;
    const std::size_t firstBatch = slow.Output().size() / perPacket;
    EXPECT_LT(firstBatch, 200u);
    EXPECT_GE(slow.Output().size(), kSessionHighWater);
    slow.Consumed(slow.Output().size());
    // Meanwhile the ring moves on by more than its size.
    for (int i = 200; i < 1000; ++i) {
        AppendFake(big, "HHZ", i, kT0, kT0);
    }
    slow.Pump();
    std::string rest;
    const std::vector<Packet> packets = TakePackets(slow.Output(), rest);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.front().header, "SL000258"); // 1000 - 400 = 600 = 0x258
    EXPECT_EQ(slow.Skipped(), 600u - firstBatch);
    EXPECT_EQ(slow.Position(), 600u + packets.size());
}

TEST_F(SessionTest, FetchSendsWhatIsHeldThenEnd) {
    Fill(0, 3);
    Send("FETCH\r\n");
    std::string rest;
    const std::vector<Packet> packets = Drain(rest);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].header, "SL000000");
    EXPECT_EQ(rest, "END");
    EXPECT_TRUE(session.Closing());
}

TEST_F(SessionTest, TimeWindowEndsOnceEveryStreamHasPassedIt) {
    Fill(0, 5); // record i covers [i, i+2] s
    Send("TIME 2026,12,07,17,55,02 2026,12,07,17,55,04\r\n");
    std::string rest;
    std::vector<Packet> packets = Drain(rest);
    // Records 0..3 reach into the window; 4 (HHZ) starts at its end; HHN has not passed it.
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0].header, "SL000000");
    EXPECT_EQ(packets[3].header, "SL000003");
    EXPECT_TRUE(rest.empty());
    EXPECT_TRUE(session.Streaming());
    // Record 5 is HHN past the end: both streams done.
    Fill(5, 6);
    session.Pump();
    packets = Drain(rest);
    EXPECT_TRUE(packets.empty());
    EXPECT_EQ(rest, "END");
    EXPECT_TRUE(session.Closing());
}

TEST_F(SessionTest, InfoAnswersArePackedAsAsciiRecords) {
    who.station = "ST01";
    Fill(0, 4);
    Send("INFO STREAMS\r\n");
    std::string rest;
    const std::vector<Packet> packets = Drain(rest);
    ASSERT_FALSE(packets.empty());
    std::string xml;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i].header, i + 1 < packets.size() ? "SLINFO *" : "SLINFO  ");
        MSRecord* msr = nullptr;
        std::string record = packets[i].record;
        ASSERT_EQ(msr_unpack(record.data(), static_cast<int>(record.size()), &msr, 1, 0),
                  MS_NOERROR);
        EXPECT_EQ(msr->sampletype, 'a');
        EXPECT_STREQ(msr->station, "ST01");
        xml.append(static_cast<const char*>(msr->datasamples),
                   static_cast<std::size_t>(msr->numsamples));
        msr_free(&msr);
    }
    EXPECT_NE(xml.find("<station name=\"ST01\" network=\"XX\""), std::string::npos);
    EXPECT_NE(xml.find("seedname=\"HHZ\""), std::string::npos);
    EXPECT_NE(xml.find("seedname=\"HHN\""), std::string::npos);
    EXPECT_NE(xml.find("begin_time=\"2026/12/07 17:55:00.0000\""), std::string::npos);
    EXPECT_NE(xml.find("end_seq=\"000004\""), std::string::npos);
    EXPECT_NE(xml.find("</seedlink>"), std::string::npos);
    EXPECT_FALSE(session.Streaming());

    Send("INFO SEISMICITY\r\n"); // no such level
    EXPECT_EQ(session.Output(), "ERROR\r\n");
}

TEST_F(SessionTest, LongInfoSpansSeveralPackets) {
    who.description = std::string(900, 'd');
    Send("INFO ID\r\n");
    // An ID answer does not carry the description; STATIONS does.
    session.Consumed(session.Output().size());
    Send("INFO STATIONS\r\n");
    std::string rest;
    const std::vector<Packet> packets = Drain(rest);
    ASSERT_GE(packets.size(), 3u);
    EXPECT_EQ(packets[0].header, "SLINFO *");
    EXPECT_EQ(packets.back().header, "SLINFO  ");
}

TEST_F(SessionTest, BadInputGetsErrorAndOverlongLinesEndTheSession) {
    Send("FROB\r\nDATA 12G\r\n");
    EXPECT_EQ(session.Output(), "ERROR\r\nERROR\r\n");
    EXPECT_FALSE(session.Closing());
    session.Consumed(session.Output().size());
    Send(std::string(kMaxCommandLine + 10, 'A'));
    EXPECT_EQ(session.Output(), "ERROR\r\n");
    EXPECT_TRUE(session.Closing());
}

TEST_F(SessionTest, UniStationSelectIsAnsweredAndLimited) {
    Send("SELECT HHZ\r\n");
    EXPECT_EQ(session.Output(), "OK\r\n");
    session.Consumed(session.Output().size());
    for (std::size_t i = 1; i < kMaxSelectors; ++i) {
        Send("SELECT HHN\r\n");
    }
    session.Consumed(session.Output().size());
    Send("SELECT HHE\r\n");
    EXPECT_EQ(session.Output(), "ERROR\r\n");
}

TEST_F(SessionTest, ClientThatAsksWithoutReadingIsCutOff) {
    Fill(0, 40);
    std::string many;
    for (int i = 0; i < 2000; ++i) {
        many += "INFO STREAMS\r\n";
    }
    Send(many);
    EXPECT_TRUE(session.Closing());
    EXPECT_LE(session.Output().size(), kSessionOutputLimit);
}

TEST_F(SessionTest, CommandsSplitAcrossReadsAndByeWhileStreaming) {
    Send("DA");
    EXPECT_TRUE(session.Output().empty());
    Send("TA\n");
    EXPECT_TRUE(session.Streaming());
    Send("INFO ID\r\n"); // still answered while streaming
    std::string rest;
    EXPECT_EQ(Drain(rest).size(), 1u);
    Send("STATION X\r\nBYE\r\n");
    EXPECT_TRUE(session.Closing());
    EXPECT_TRUE(session.Output().empty());
}

} // namespace
} // namespace nereid::seedlink
