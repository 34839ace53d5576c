#include "datalink/datalink_packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace nereid::datalink;

namespace {

std::string Bytes(const char* text, std::size_t size) {
    return std::string(text, size);
}

} // namespace

TEST(DataLinkPacket, FramesPreheaderHeaderAndData) {
    // "DL", the header's length as one byte, the header, the data as they are.
    EXPECT_EQ(FramePacket("ID x"), Bytes("DL\x04ID x", 7));
    EXPECT_EQ(FramePacket("WRITE a 1 2 A 3", "\0\1\2", 3),
              Bytes("DL\x0fWRITE a 1 2 A 3\0\1\2", 21));
    // A header of 255 bytes is the longest; one more cannot be framed, nor an empty one.
    EXPECT_EQ(FramePacket(std::string(255, 'H')).size(), 258u);
    EXPECT_EQ(static_cast<unsigned char>(FramePacket(std::string(255, 'H'))[2]), 255u);
    EXPECT_TRUE(FramePacket(std::string(256, 'H')).empty());
    EXPECT_TRUE(FramePacket("").empty());
}

TEST(DataLinkPacket, WriteHeaderAndStreamIdAsRingserverTakesThem) {
    EXPECT_EQ(SourceStreamId("XX", "NRD01", "", "HHZ"), "FDSN:XX_NRD01__H_H_Z/MSEED");
    EXPECT_EQ(SourceStreamId("IU", "ANMO", "00", "BH1"), "FDSN:IU_ANMO_00_B_H_1/MSEED");
    EXPECT_EQ(SourceStreamId("XX", "STA", "", "HZ"), "");    // a channel is 3 codes
    EXPECT_EQ(SourceStreamId("XX", "", "", "HHZ"), "");      // no station
    EXPECT_EQ(SourceStreamId("X_", "STA", "", "HHZ"), "");   // '_' separates the fields
    EXPECT_EQ(SourceStreamId("XX", "ST A", "", "HHZ"), "");  // a space would end the field
    EXPECT_EQ(SourceStreamId("XX", "STA", "0/", "HHZ"), ""); // '/' starts the type
    EXPECT_EQ(WriteHeader("FDSN:XX_S__H_H_Z/MSEED", 1796666100000000, 1796666101990000, 512),
              "WRITE FDSN:XX_S__H_H_Z/MSEED 1796666100000000 1796666101990000 A 512");
}

TEST(DataLinkPacket, MicrosecondsRoundTowardsThePast) {
    EXPECT_EQ(MicrosecondsOf(1796666100123456789LL), 1796666100123456LL);
    EXPECT_EQ(MicrosecondsOf(999), 0);
    EXPECT_EQ(MicrosecondsOf(0), 0);
    EXPECT_EQ(MicrosecondsOf(-1), -1);
    EXPECT_EQ(MicrosecondsOf(-1000), -1);
    EXPECT_EQ(MicrosecondsOf(-1001), -2);
}

TEST(DataLinkPacket, IdLineNamesTheProgramFirst) {
    const std::string id = IdHeader("nereid");
    ASSERT_EQ(id.rfind("ID nereid:", 0), 0u) << id;
    // program:user:pid:system, four fields and no spaces after "ID ".
    const std::string fields = id.substr(3);
    EXPECT_EQ(std::count(fields.begin(), fields.end(), ':'), 3) << id;
    EXPECT_EQ(fields.find(' '), std::string::npos) << id;
    // A colon in the program's name would shift the fields.
    EXPECT_EQ(IdHeader("a:b").rfind("ID a-b:", 0), 0u);
    // However long the names, the line still fits a header.
    EXPECT_LE(IdHeader(std::string(300, 'p')).size(), kMaxHeaderLength);
    EXPECT_FALSE(FramePacket(IdHeader(std::string(300, 'p'))).empty());
}

TEST(DataLinkPacket, AuthCarriesUserAndPasswordAsData) {
    EXPECT_EQ(AuthHeader(9), "AUTH USERPASS 9");
    EXPECT_EQ(AuthData("user", "pass"), "user\rpass");
}

TEST(DataLinkPacket, ReplyDataSizeComesFromTheLastField) {
    EXPECT_EQ(ReplyDataSize("OK 12 0"), 0);
    EXPECT_EQ(ReplyDataSize("ERROR 0 27"), 27);
    EXPECT_EQ(ReplyDataSize("INFO STATUS 300"), 300);
    EXPECT_EQ(ReplyDataSize("PACKET X/MSEED 1 2 3 4 512"), 512);
    EXPECT_EQ(ReplyDataSize("ID DataLink 2008.196 :: DLPROTO:1.0 PACKETSIZE:512"), 0);
    EXPECT_EQ(ReplyDataSize("ENDSTREAM"), 0);
    EXPECT_EQ(ReplyDataSize("OK"), -1);
    EXPECT_EQ(ReplyDataSize("OK 1 x"), -1);
    EXPECT_EQ(ReplyDataSize("OK 1 -5"), -1);
    EXPECT_EQ(ReplyDataSize("OK 1 99999999"), -1); // past kMaxDataLength
    EXPECT_EQ(ReplyDataSize(""), -1);
}

TEST(DataLinkPacket, ReaderCutsAStreamInPacketsHoweverItArrives) {
    const std::string stream = FramePacket("ID DataLink 2008.196 :: DLPROTO:1.0") +
                               FramePacket("OK 17 0") + FramePacket("ERROR 0 9", "duplicate", 9) +
                               FramePacket("OK 18 0");
    for (std::size_t chunk : {stream.size(), std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
        CReplyReader reader;
        std::vector<SPacket> packets;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
            SPacket packet;
            int result = 0;
            while ((result = reader.Next(packet)) == kReaderPacket) {
                packets.push_back(packet);
            }
            ASSERT_EQ(result, kReaderNeedMore) << "chunk " << chunk;
        }
        ASSERT_EQ(packets.size(), 4u) << "chunk " << chunk;
        EXPECT_EQ(packets[0].header, "ID DataLink 2008.196 :: DLPROTO:1.0");
        EXPECT_EQ(packets[2].header, "ERROR 0 9");
        EXPECT_EQ(packets[2].data, "duplicate");
        EXPECT_EQ(packets[3].header, "OK 18 0");
    }
}

TEST(DataLinkPacket, ReaderRefusesWhatIsNotDataLink) {
    const std::string bad[] = {
        "XL\x03OK ",                   // wrong preheader
        Bytes("DL\x00", 3),            // an empty header
        "DL\x06OK 1 z",                // a size that is no number
        "HTTP/1.1 400 Bad Request\r\n" // a web server on the hub's port
    };
    for (const std::string& bytes : bad) {
        CReplyReader reader;
        reader.Feed(bytes.data(), bytes.size());
        SPacket packet;
        EXPECT_EQ(reader.Next(packet), kReaderNotDataLink) << bytes;
    }
    CReplyReader one;
    one.Feed("D", 1);
    SPacket packet;
    EXPECT_EQ(one.Next(packet), kReaderNeedMore);
    one.Feed("X", 1);
    EXPECT_EQ(one.Next(packet), kReaderNotDataLink);
}

TEST(DataLinkPacket, StatusRepliesAndCapabilities) {
    SStatusReply reply;
    ASSERT_TRUE(ParseStatusReply({"OK 4711 0", ""}, reply));
    EXPECT_TRUE(reply.ok);
    EXPECT_EQ(reply.value, 4711);
    ASSERT_TRUE(ParseStatusReply({"ERROR 0 10", std::string("duplicate\0", 10)}, reply));
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.message, "duplicate"); // C servers send the string's terminating NUL
    EXPECT_FALSE(ParseStatusReply({"ID DataLink :: WRITE", ""}, reply));
    EXPECT_FALSE(ParseStatusReply({"OK x 0", ""}, reply));
    EXPECT_FALSE(ParseStatusReply({"OK 1", ""}, reply));

    const std::string id = "ID DataLink v1.1 (4.5.3) :: DLPROTO:1.1 PACKETSIZE:512 WRITE AUTH";
    std::string value;
    EXPECT_TRUE(HasCapability(id, "WRITE"));
    EXPECT_TRUE(HasCapability(id, "PACKETSIZE", &value));
    EXPECT_EQ(value, "512");
    EXPECT_FALSE(HasCapability(id, "PACKET"));
    EXPECT_FALSE(HasCapability("ID DataLink 2008.196 :: DLPROTO:1.0 PACKETSIZE:512", "WRITE"));
    EXPECT_FALSE(HasCapability("ID WRITE", "WRITE")); // only after "::"
}
