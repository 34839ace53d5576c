#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "seedlink/command_parser.h"
#include "seedlink/connection_info.h"
#include "seedlink/info_packets.h"
#include "seedlink/record_ring.h"

namespace nereid::seedlink {

// Bytes of packets a session keeps ready for its socket; a slow client is not given more, so
// it falls behind in the ring rather than in memory.
constexpr std::size_t kSessionHighWater = 64 * 1024;
// Replies a client may leave unread before it is cut off.
constexpr std::size_t kSessionOutputLimit = 1024 * 1024;
// Selectors one client may give.
constexpr std::size_t kMaxSelectors = 64;

// What HELLO advertises after "::": exactly what this service does.
constexpr const char* kHelloCapabilities =
    "SLPROTO:4.0 SLPROTO:3.1 CAP EXTREPLY NSWILDCARD TIME WS:13";

// One client's conversation in SeedLink 3.1 or 4.0: its commands in, replies and packets out,
// its own position in the ring. No sockets here: the server moves the bytes. The output is a
// run of messages (a reply with all its lines, or one packet) so that a WebSocket can carry
// each in a frame of its own.
class CSeedLinkSession {
public:
    CSeedLinkSession(const CRecordRing& ring, const SServiceIdentity& who,
                     ConnectionLister connections = {});

    // Bytes the client sent; whole lines are acted upon at once.
    void Receive(const char* data, std::size_t length);
    // While streaming, adds packets from the ring until the output holds kSessionHighWater.
    void Pump();

    const std::string& Output() const { return m_Output; }
    void Consumed(std::size_t length);
    // Length of the first whole message in Output() (0 when there is none).
    std::size_t FrontMessage() const { return m_Messages.empty() ? 0 : m_Messages.front(); }

    // The session is over: close once Output() has gone out (or at once after BYE).
    bool Closing() const { return m_Closing; }
    bool Streaming() const { return m_Streaming; }
    // Records passed over because the ring overwrote them before this client took them.
    std::uint64_t Skipped() const { return m_Skipped; }
    // Position of the next record this session looks at.
    std::uint64_t Position() const { return m_Position; }

    int Protocol() const { return m_Version; }
    const std::string& UserAgent() const { return m_UserAgent; }
    std::uint64_t PacketsSent() const { return m_Packets; }
    std::uint64_t PacketBytes() const { return m_PacketBytes; }
    const std::vector<std::string>& Selectors() const { return m_Selectors; }

    // The first line of the HELLO answer.
    std::string HelloLine() const;

private:
    enum class EStart { kNone, kData, kFetch, kTime };
    // What the last STATION command did.
    enum class EStation { kNone, kThis, kAlreadyTaken, kRefused };

    void HandleLine(std::string_view line);
    void HandleNegotiation(const SSeedLinkCommand& command);
    void HandleStation(const SSeedLinkCommand& command);
    void HandleSelect(const SSeedLinkCommand& command);
    void HandleStartCommand(const SSeedLinkCommand& command);
    void StartStreaming();
    void SendInfo(const SSeedLinkCommand& command);
    void SendInfoJson(const SSeedLinkCommand& command);
    bool Selected(const SRecordInfo& info) const;
    bool StationMatches(const std::string& station, const std::string& network) const;
    void Finish();
    void Emit(std::string_view message);
    void EmitPacket(std::string_view header, std::string_view payload);
    void ClearOutput();
    void Ok();
    void Error(std::string_view code, std::string_view reason);

    const CRecordRing& m_Ring;
    const SServiceIdentity& m_Who;
    ConnectionLister m_Connections;
    std::string m_Input;
    std::string m_Output;
    std::deque<std::size_t> m_Messages; // lengths of the messages in m_Output, in order

    int m_Version = 3;
    bool m_ExtendedReplies = false; // CAPABILITIES EXTREPLY
    bool m_Negotiating = false;     // a station or data command came: too late for SLPROTO
    std::string m_UserAgent;

    bool m_Closing = false;
    bool m_Streaming = false;
    bool m_MultiStation = false;    // a STATION command was given
    bool m_StationAccepted = false; // ... and named this service's station
    EStation m_Station = EStation::kNone;
    std::vector<std::string> m_Selectors;

    EStart m_Start = EStart::kNone;
    bool m_DialUp = false; // FETCH or ENDFETCH: end once caught up
    SSeedLinkCommand m_StartCommand;

    std::uint64_t m_Position = 0;
    std::uint64_t m_Skipped = 0;
    std::uint64_t m_Packets = 0;
    std::uint64_t m_PacketBytes = 0;
    // Time window end: streams that have passed it.
    std::set<std::string> m_StreamsPastEnd;
};

} // namespace nereid::seedlink
