#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "seedlink/command_parser.h"
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

// One client's conversation: its commands in, replies and packets out, its own position in
// the ring. No sockets here: the server moves the bytes.
class CSeedLinkSession {
public:
    CSeedLinkSession(const CRecordRing& ring, const SServiceIdentity& who);

    // Bytes the client sent; whole lines are acted upon at once.
    void Receive(const char* data, std::size_t length);
    // While streaming, adds packets from the ring until the output holds kSessionHighWater.
    void Pump();

    const std::string& Output() const { return m_Output; }
    void Consumed(std::size_t length) { m_Output.erase(0, length); }

    // The session is over: close once Output() has gone out (or at once after BYE).
    bool Closing() const { return m_Closing; }
    bool Streaming() const { return m_Streaming; }
    // Records passed over because the ring overwrote them before this client took them.
    std::uint64_t Skipped() const { return m_Skipped; }
    // Position of the next record this session looks at.
    std::uint64_t Position() const { return m_Position; }

private:
    enum class EStart { kNone, kData, kFetch, kTime };

    void HandleLine(std::string_view line);
    void HandleStartCommand(const SSeedLinkCommand& command);
    void StartStreaming();
    void SendInfo(const std::string& level);
    bool Selected(const SRecordInfo& info) const;
    bool StationMatches(const std::string& station, const std::string& network) const;
    void Finish();
    void Reply(std::string_view text) { m_Output.append(text); }

    const CRecordRing& m_Ring;
    const SServiceIdentity& m_Who;
    std::string m_Input;
    std::string m_Output;

    bool m_Closing = false;
    bool m_Streaming = false;
    bool m_MultiStation = false;    // a STATION command was given
    bool m_StationAccepted = false; // ... and named this service's station
    std::vector<std::string> m_Selectors;

    EStart m_Start = EStart::kNone;
    SSeedLinkCommand m_StartCommand;

    std::uint64_t m_Position = 0;
    std::uint64_t m_Skipped = 0;
    // Time window end: streams that have passed it.
    std::set<std::string> m_StreamsPastEnd;
};

} // namespace nereid::seedlink
