#include "seedlink/session.h"

#include <algorithm>

#include "seedlink/info_json.h"
#include "seedlink/packet_header.h"

namespace nereid::seedlink {

namespace {

std::string StreamKey(const SRecordInfo& info) {
    return info.location + "." + info.channel + "." + info.type;
}

} // namespace

CSeedLinkSession::CSeedLinkSession(const CRecordRing& ring, const SServiceIdentity& who,
                                   ConnectionLister connections)
    : m_Ring(ring), m_Who(who), m_Connections(std::move(connections)) {}

std::string CSeedLinkSession::HelloLine() const {
    return "SeedLink v4.0 (" + m_Who.software + ") :: " + kHelloCapabilities;
}

void CSeedLinkSession::Emit(std::string_view message) {
    if (message.empty()) {
        return;
    }
    m_Output.append(message);
    m_Messages.push_back(message.size());
}

void CSeedLinkSession::EmitPacket(std::string_view header, std::string_view payload) {
    m_Output.append(header);
    m_Output.append(payload);
    m_Messages.push_back(header.size() + payload.size());
}

void CSeedLinkSession::ClearOutput() {
    m_Output.clear();
    m_Messages.clear();
}

void CSeedLinkSession::Consumed(std::size_t length) {
    length = std::min(length, m_Output.size());
    m_Output.erase(0, length);
    while (length > 0 && !m_Messages.empty()) {
        const std::size_t take = std::min(length, m_Messages.front());
        m_Messages.front() -= take;
        length -= take;
        if (m_Messages.front() == 0) {
            m_Messages.pop_front();
        }
    }
}

void CSeedLinkSession::Ok() {
    Emit("OK\r\n");
}

void CSeedLinkSession::Error(std::string_view code, std::string_view reason) {
    Emit(ErrorReply(m_Version, m_ExtendedReplies, code, reason));
}

void CSeedLinkSession::Receive(const char* data, std::size_t length) {
    for (std::size_t i = 0; i < length && !m_Closing; ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            if (!m_Input.empty()) {
                const std::string line = std::move(m_Input);
                m_Input.clear();
                HandleLine(line);
                if (m_Output.size() > kSessionOutputLimit) {
                    // Asking without reading (INFO after INFO): the client is cut off rather
                    // than the service's memory filled.
                    ClearOutput();
                    m_Closing = true;
                    return;
                }
            }
            continue;
        }
        if (m_Input.size() >= kMaxCommandLine) {
            // No client sends lines this long: the peer is not speaking the protocol.
            Error(kErrorArguments, "command line longer than 255 characters");
            m_Closing = true;
            m_Input.clear();
            return;
        }
        m_Input.push_back(c);
    }
}

bool CSeedLinkSession::StationMatches(const std::string& station,
                                      const std::string& network) const {
    if (m_Version >= 4) {
        return WildcardMatch(station, StationId(m_Who.network, m_Who.station));
    }
    return WildcardMatch(station, m_Who.station) &&
           (network.empty() || WildcardMatch(network, m_Who.network));
}

void CSeedLinkSession::HandleLine(std::string_view line) {
    const SSeedLinkCommand command = ParseSeedLinkCommand(line, m_Version);
    if (m_Streaming) {
        // Once data flows a client may still ask for information or leave; anything else
        // has no meaning any more and is passed over.
        if (command.kind == ECommand::kInfo) {
            SendInfo(command);
        } else if (command.kind == ECommand::kBye) {
            m_Closing = true;
            ClearOutput();
        }
        return;
    }
    HandleNegotiation(command);
}

void CSeedLinkSession::HandleNegotiation(const SSeedLinkCommand& command) {
    switch (command.kind) {
    case ECommand::kInvalid:
        Error(command.errorCode.empty() ? kErrorArguments : command.errorCode, command.error);
        return;
    case ECommand::kHello:
        Emit(HelloLine() + "\r\n" + m_Who.organization + "\r\n");
        return;
    case ECommand::kCapabilities:
        // Flags this service does not know change nothing; libslink ends the connection on
        // an ERROR here, so every set of flags is taken.
        m_ExtendedReplies = m_ExtendedReplies ||
                            std::find(command.flags.begin(), command.flags.end(), "EXTREPLY") !=
                                command.flags.end();
        Ok();
        return;
    case ECommand::kSlproto:
        if (m_Negotiating) {
            Error(kErrorUnexpected, "SLPROTO must come before the station and data commands");
        } else if (command.versionMajor == 4 && command.versionMinor == 0) {
            m_Version = 4;
            Ok();
        } else if (command.versionMajor == 3 && command.versionMinor <= 1) {
            m_Version = 3;
            Ok();
        } else {
            Error(kErrorUnsupported, "unsupported protocol version");
        }
        return;
    case ECommand::kUserAgent:
        m_UserAgent = command.text.substr(0, 200);
        Ok();
        return;
    case ECommand::kAuth:
        // No users are configured: every station here is open to all.
        Error(kErrorUnsupported, "authentication is not configured on this server");
        return;
    case ECommand::kCat:
        Emit(m_Who.network + " " + m_Who.station + " " + m_Who.description + "\r\nEND");
        return;
    case ECommand::kBye:
        m_Closing = true;
        ClearOutput();
        return;
    case ECommand::kInfo:
        SendInfo(command);
        return;
    case ECommand::kStation:
        HandleStation(command);
        return;
    case ECommand::kSelect:
        HandleSelect(command);
        return;
    case ECommand::kData:
    case ECommand::kFetch:
    case ECommand::kTime:
        m_Negotiating = true;
        HandleStartCommand(command);
        return;
    case ECommand::kEnd:
    case ECommand::kEndFetch:
        // 4.0 allows END with no STATION: every station, which is this one.
        if (!m_StationAccepted && !(m_Version >= 4 && !m_MultiStation)) {
            Error(kErrorUnexpected, "no station of this server was requested");
            return;
        }
        m_DialUp = m_DialUp || command.kind == ECommand::kEndFetch;
        if (m_Start == EStart::kNone) {
            m_Start = EStart::kData;
            m_StartCommand = SSeedLinkCommand{};
        }
        StartStreaming();
        return;
    }
}

void CSeedLinkSession::HandleStation(const SSeedLinkCommand& command) {
    m_Negotiating = true;
    m_MultiStation = true;
    const bool matches = StationMatches(command.station, command.network);
    if (m_Version >= 4 && matches && m_StationAccepted) {
        // Stations matched before are left out of a later pattern: nothing is left for it.
        m_Station = EStation::kAlreadyTaken;
        Ok();
        return;
    }
    m_StationAccepted = matches;
    m_Station = matches ? EStation::kThis : EStation::kRefused;
    m_Selectors.clear();
    m_Start = EStart::kNone;
    if (matches) {
        Ok();
    } else {
        Error(kErrorArguments, "no station " + command.station +
                                   (command.network.empty() ? "" : " " + command.network) +
                                   " here; this server has " +
                                   StationId(m_Who.network, m_Who.station));
    }
}

void CSeedLinkSession::HandleSelect(const SSeedLinkCommand& command) {
    m_Negotiating = true;
    if (m_Station == EStation::kRefused) {
        Error(kErrorUnexpected, "SELECT follows a station that was refused");
        return;
    }
    if (m_Station == EStation::kAlreadyTaken) {
        Ok();
        return;
    }
    std::vector<std::string> added = command.selectors;
    if (m_Version < 4) {
        if (command.selector.empty()) {
            m_Selectors.clear();
            Ok();
            return;
        }
        added = {command.selector};
    }
    if (m_Selectors.size() + added.size() > kMaxSelectors) {
        Error(kErrorLimit, "more than 64 selectors");
        return;
    }
    m_Selectors.insert(m_Selectors.end(), added.begin(), added.end());
    Ok();
}

void CSeedLinkSession::HandleStartCommand(const SSeedLinkCommand& command) {
    if (m_Station == EStation::kRefused) {
        Error(kErrorUnexpected, "data requested for a station that was refused");
        return;
    }
    if (m_Station == EStation::kAlreadyTaken) {
        Ok();
        return;
    }
    m_Start = command.kind == ECommand::kData
                  ? EStart::kData
                  : (command.kind == ECommand::kFetch ? EStart::kFetch : EStart::kTime);
    m_DialUp = m_DialUp || command.kind == ECommand::kFetch;
    m_StartCommand = command;
    if (m_MultiStation) {
        Ok();
        return;
    }
    // Without STATION the client speaks to the one station here, and data starts at once.
    m_StationAccepted = true;
    StartStreaming();
}

void CSeedLinkSession::StartStreaming() {
    const SSeedLinkCommand& c = m_StartCommand;
    if (c.allData) {
        m_Position = m_Ring.Oldest();
    } else if (c.hasSequence && m_Version >= 4) {
        // 64-bit numbers: the packet itself when held, else the nearest end of the ring.
        m_Position = std::clamp<std::uint64_t>(c.sequence, m_Ring.Oldest(), m_Ring.Next());
    } else if (c.hasSequence) {
        bool found = false;
        m_Position = m_Ring.Resolve(static_cast<std::uint32_t>(c.sequence & kSequenceMask), found);
        if (!found && c.hasBegin) {
            m_Position = m_Ring.FirstEndingAfter(c.beginNs);
        }
    } else if (c.hasBegin) {
        m_Position = m_Ring.FirstEndingAfter(c.beginNs);
    } else if (m_Start == EStart::kFetch) {
        // A dial-up client collects what is held.
        m_Position = m_Ring.Oldest();
    } else {
        m_Position = m_Ring.Next();
    }
    m_Streaming = true;
    Pump();
}

void CSeedLinkSession::SendInfo(const SSeedLinkCommand& command) {
    if (m_Version >= 4) {
        SendInfoJson(command);
        return;
    }
    const std::string& level = command.infoLevel;
    const std::vector<SConnectionInfo> connections =
        (level == "CONNECTIONS" || level == "ALL") && m_Connections
            ? m_Connections()
            : std::vector<SConnectionInfo>{};
    const std::string xml = InfoXml(level, m_Who, m_Ring, connections);
    const std::vector<std::string> records =
        xml.empty() ? std::vector<std::string>{} : PackInfoRecords(xml, m_Who);
    if (records.empty()) {
        if (!m_Streaming) {
            Error(kErrorArguments, "INFO " + level + " is not answered here");
        }
        return;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        // The last packet of an answer says so with a blank where the others have '*'.
        EmitPacket(i + 1 < records.size() ? "SLINFO *" : "SLINFO  ", records[i]);
    }
}

void CSeedLinkSession::SendInfoJson(const SSeedLinkCommand& command) {
    const std::vector<SConnectionInfo> connections =
        command.infoLevel == "CONNECTIONS" && m_Connections ? m_Connections()
                                                            : std::vector<SConnectionInfo>{};
    bool error = false;
    const std::string json =
        InfoJson(SInfoRequest{command.infoLevel, command.infoStation, command.infoStream},
                 HelloLine(), m_Who, m_Ring, connections, error);
    // One packet, numbered 0, with no station: the answer concerns the server.
    EmitPacket(
        PacketHeaderV4('J', error ? 'E' : 'I', static_cast<std::uint32_t>(json.size()), 0, ""),
        json);
}

bool CSeedLinkSession::Selected(const SRecordInfo& info) const {
    bool anyPositive = false;
    bool positiveMatch = false;
    const std::string format = std::string("2") + info.type;
    for (const std::string& s : m_Selectors) {
        const bool matches = m_Version >= 4
                                 ? StreamPatternMatches(s, info.location, info.channel, format)
                                 : SelectorMatches(s, info.location, info.channel, info.type);
        if (s[0] == '!') {
            if (matches) {
                return false;
            }
        } else {
            anyPositive = true;
            positiveMatch = positiveMatch || matches;
        }
    }
    return !anyPositive || positiveMatch;
}

void CSeedLinkSession::Finish() {
    Emit("END");
    m_Streaming = false;
    m_Closing = true;
}

void CSeedLinkSession::Pump() {
    std::array<char, kRecordLength> record{};
    SRecordInfo info;
    const std::string stationId = StationId(m_Who.network, m_Who.station);
    while (m_Streaming && m_Output.size() < kSessionHighWater) {
        const int read = m_Ring.Get(m_Position, record, info);
        if (read == kRingGone) {
            const std::uint64_t oldest = m_Ring.Oldest();
            m_Skipped += oldest - m_Position;
            m_Position = oldest;
            continue;
        }
        if (read == kRingNotYet) {
            if (m_DialUp) {
                Finish();
            }
            return;
        }
        const std::uint64_t position = m_Position++;
        if (!Selected(info)) {
            continue;
        }
        const SSeedLinkCommand& c = m_StartCommand;
        if (c.hasBegin && info.endNs < c.beginNs) {
            continue;
        }
        if (c.hasEnd && info.startNs >= c.endNs) {
            // The window is over once every selected stream held has gone past its end.
            if (!m_StreamsPastEnd.insert(StreamKey(info)).second) {
                continue;
            }
            bool all = true;
            for (const SStreamSpan& s : m_Ring.Streams()) {
                const SRecordInfo probe{s.location, s.channel, s.type, 0, 0};
                if (Selected(probe) && m_StreamsPastEnd.count(StreamKey(probe)) == 0) {
                    all = false;
                    break;
                }
            }
            if (all) {
                Finish();
                return;
            }
            continue;
        }
        const std::string_view payload(record.data(), record.size());
        EmitPacket(m_Version >= 4 ? PacketHeaderV4('2', 'D', kRecordLength, position, stationId)
                                  : PacketHeaderV3(position),
                   payload);
        ++m_Packets;
        m_PacketBytes += payload.size();
    }
}

} // namespace nereid::seedlink
