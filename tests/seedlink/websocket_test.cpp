#include <gtest/gtest.h>

#include "seedlink/client_connection.h"
#include "seedlink/sha1.h"
#include "seedlink/websocket.h"
#include "seedlink_test_records.h"

namespace nereid::seedlink {
namespace {

std::string Hex(const std::array<std::uint8_t, 20>& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : digest) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// A client frame as a browser sends it: masked with `mask`.
std::string ClientFrame(std::uint8_t opcode, const std::string& payload, bool fin = true,
                        std::uint32_t mask = 0x37FA213D) {
    std::string frame;
    frame.push_back(static_cast<char>((fin ? 0x80 : 0) | opcode));
    if (payload.size() < 126) {
        frame.push_back(static_cast<char>(0x80 | payload.size()));
    } else {
        frame.push_back(static_cast<char>(0x80 | 126));
        frame.push_back(static_cast<char>(payload.size() >> 8));
        frame.push_back(static_cast<char>(payload.size() & 0xFF));
    }
    const char m[4] = {static_cast<char>(mask >> 24), static_cast<char>(mask >> 16),
                       static_cast<char>(mask >> 8), static_cast<char>(mask)};
    frame.append(m, 4);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        frame.push_back(static_cast<char>(payload[i] ^ m[i % 4]));
    }
    return frame;
}

// Server frames off the front of `wire`: (opcode, payload) pairs.
std::vector<std::pair<int, std::string>> ServerFrames(std::string wire) {
    std::vector<std::pair<int, std::string>> frames;
    while (wire.size() >= 2) {
        const auto* b = reinterpret_cast<const unsigned char*>(wire.data());
        EXPECT_EQ(b[0] & 0x80, 0x80) << "FIN";
        EXPECT_EQ(b[1] & 0x80, 0) << "server frames are not masked";
        std::size_t length = b[1] & 0x7F;
        std::size_t at = 2;
        if (length == 126) {
            length = (std::size_t{b[2]} << 8) | b[3];
            at = 4;
        }
        frames.emplace_back(b[0] & 0x0F, wire.substr(at, length));
        wire.erase(0, at + length);
    }
    return frames;
}

TEST(WebSocketHandshake, Sha1AndAcceptKeyMatchTheStandardsExamples) {
    EXPECT_EQ(Hex(Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Hex(Sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    // RFC 6455, section 1.3.
    EXPECT_EQ(WebSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(WebSocketReader, UnmasksJoinsFragmentsAndRefusesWhatBreaksTheProtocol) {
    CWebSocketReader reader;
    std::string buffer = ClientFrame(kWsText, "HEL", false) + ClientFrame(kWsPing, "p") +
                         ClientFrame(kWsContinuation, "LO\r");
    std::uint8_t opcode = 0;
    std::string payload;
    std::string why;
    EXPECT_EQ(reader.Next(buffer, opcode, payload, why), CWebSocketReader::kNeedMore);
    EXPECT_EQ(reader.Next(buffer, opcode, payload, why), CWebSocketReader::kControl);
    EXPECT_EQ(opcode, kWsPing); // a control frame may come between fragments
    EXPECT_EQ(reader.Next(buffer, opcode, payload, why), CWebSocketReader::kMessage);
    EXPECT_EQ(opcode, kWsText);
    EXPECT_EQ(payload, "HELLO\r");
    EXPECT_TRUE(buffer.empty());

    std::string half = ClientFrame(kWsBinary, std::string(300, 'x'));
    std::string start = half.substr(0, 100);
    EXPECT_EQ(reader.Next(start, opcode, payload, why), CWebSocketReader::kNeedMore);
    EXPECT_EQ(start.size(), 100u) << "nothing taken from a partial frame";

    std::string unmasked("\x81\x02OK", 4);
    EXPECT_EQ(reader.Next(unmasked, opcode, payload, why), CWebSocketReader::kError);
    EXPECT_NE(why.find("not masked"), std::string::npos);
    CWebSocketReader fresh;
    std::string huge = ClientFrame(kWsText, std::string(kMaxWebSocketMessage + 1, 'x'));
    EXPECT_EQ(fresh.Next(huge, opcode, payload, why), CWebSocketReader::kError);
    CWebSocketReader orphan;
    std::string continuation = ClientFrame(kWsContinuation, "x");
    EXPECT_EQ(orphan.Next(continuation, opcode, payload, why), CWebSocketReader::kError);
}

class WebSocketClient : public ::testing::Test {
protected:
    std::string Upgrade(const std::string& protocols) {
        const std::string request = "GET /seedlink HTTP/1.1\r\nHost: 127.0.0.1:18000\r\n"
                                    "Upgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n"
                                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                    "Sec-WebSocket-Version: 13\r\n" +
                                    protocols + "\r\n";
        link.Receive(request.data(), request.size());
        link.Fill();
        std::string wire = link.Wire();
        link.Sent(wire.size());
        return wire;
    }
    std::vector<std::pair<int, std::string>> Send(const std::string& frames) {
        link.Receive(frames.data(), frames.size());
        link.Fill();
        const std::string wire = link.Wire();
        link.Sent(wire.size());
        return ServerFrames(wire);
    }

    CRecordRing ring{16};
    SServiceIdentity who;
    CClientConnection link{ring, who};
};

TEST_F(WebSocketClient, SeisplotjsSeedLink4ConversationOneMessagePerReplyAndPacket) {
    for (int i = 0; i < 3; ++i) {
        test::AppendFake(ring, "HHZ", i, test::kT0, test::kT0);
    }
    const std::string answer = Upgrade("Sec-WebSocket-Protocol: SeedLink4.0, SeedLink3.1\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 101 Switching Protocols\r\n", 0), 0u);
    EXPECT_NE(answer.find("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"),
              std::string::npos);
    EXPECT_NE(answer.find("Sec-WebSocket-Protocol: SeedLink4.0\r\n"), std::string::npos);
    EXPECT_TRUE(link.WebSocket());

    // seisplotjs sends "HELLO\r" and takes the whole answer from one binary message.
    auto frames = Send(ClientFrame(kWsText, "HELLO\r"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].first, kWsBinary);
    EXPECT_EQ(std::count(frames[0].second.begin(), frames[0].second.end(), '\r'), 2);
    // Commands without a line end are whole too.
    frames = Send(ClientFrame(kWsText, "SLPROTO 4.0") + ClientFrame(kWsText, "USERAGENT x/1\r\n") +
                  ClientFrame(kWsText, "STATION XX_SIM1\r\n") + ClientFrame(kWsText, "DATA 1\r\n"));
    ASSERT_EQ(frames.size(), 4u);
    for (const auto& f : frames) {
        EXPECT_EQ(f.second, "OK\r\n");
    }
    EXPECT_FALSE(link.Greeted());
    frames = Send(ClientFrame(kWsText, "END\r\n"));
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& f : frames) {
        EXPECT_EQ(f.first, kWsBinary);
        EXPECT_EQ(f.second.size(), 17u + 7u + 512u);
        EXPECT_EQ(f.second.substr(0, 4), "SE2D");
    }
    EXPECT_TRUE(link.Greeted());
    frames = Send(ClientFrame(kWsPing, "alive?"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], std::make_pair(int{kWsPong}, std::string("alive?")));
    frames = Send(ClientFrame(kWsClose, std::string("\x03\xE8", 2)));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].first, kWsClose);
    EXPECT_TRUE(link.Closing());
}

TEST_F(WebSocketClient, SeedLink3SubprotocolAndABrokenFrameClosesWithAReason) {
    const std::string answer = Upgrade("Sec-WebSocket-Protocol: SeedLink3.1\r\n");
    EXPECT_NE(answer.find("Sec-WebSocket-Protocol: SeedLink3.1\r\n"), std::string::npos);
    auto frames = Send(ClientFrame(kWsText, "INFO ID\r\n"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].second.substr(0, 8), "SLINFO  ");
    frames = Send(std::string("\x81\x02OK", 4)); // unmasked
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].first, kWsClose);
    EXPECT_EQ(frames[0].second.substr(0, 2), std::string("\x03\xEA", 2)); // 1002
    EXPECT_TRUE(link.Closing());
    EXPECT_NE(link.Problem().find("not masked"), std::string::npos);
}

TEST(WebSocketRefusals, WrongPathsVersionsAndProtocolsGetHttpErrors) {
    CRecordRing ring(4);
    SServiceIdentity who;
    auto answer = [&](const std::string& request) {
        CClientConnection link(ring, who);
        link.Receive(request.data(), request.size());
        link.Fill();
        EXPECT_TRUE(link.Closing()) << request;
        return link.Wire().substr(0, link.Wire().find("\r\n"));
    };
    const std::string headers = "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
    EXPECT_EQ(answer("GET / HTTP/1.1\r\n\r\n"), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(answer("GET /seedlink HTTP/1.1\r\n\r\n"), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(answer("GET /seedlink HTTP/1.1\r\n" + headers + "Sec-WebSocket-Version: 8\r\n\r\n"),
              "HTTP/1.1 426 Upgrade Required");
    EXPECT_EQ(answer("GET /seedlink HTTP/1.1\r\n" + headers +
                     "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Protocol: chat\r\n\r\n"),
              "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(answer("POST /seedlink HTTP/1.1\r\n\r\n"), "HTTP/1.1 405 Method Not Allowed");
    EXPECT_EQ(answer("GET /seedlink\r\n\r\n"), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(answer("GET /x HTTP/1.1\r\n" + std::string(kMaxHttpHead, 'a')),
              "HTTP/1.1 431 Request Header Fields Too Large");
}

TEST(PlainClients, SeedLinkBytesPassStraightThroughInAnyPieces) {
    CRecordRing ring(4);
    SServiceIdentity who;
    CClientConnection link(ring, who);
    for (char c : std::string("HEL")) {
        link.Receive(&c, 1);
    }
    link.Fill();
    EXPECT_TRUE(link.Wire().empty()); // not yet decided, not yet a whole line
    link.Receive("LO\r\n", 4);
    link.Fill();
    EXPECT_EQ(link.Wire().rfind("SeedLink v4.0", 0), 0u);
    EXPECT_FALSE(link.WebSocket());
}

} // namespace
} // namespace nereid::seedlink
