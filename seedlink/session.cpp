#include "seedlink/session.h"

#include <cstdio>

namespace nereid::seedlink {

namespace {

constexpr std::string_view kOk = "OK\r\n";
constexpr std::string_view kError = "ERROR\r\n";

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    if (pattern.empty()) {
        return text.empty();
    }
    if (pattern[0] == '*') {
        for (std::size_t skip = 0; skip <= text.size(); ++skip) {
            if (WildcardMatch(pattern.substr(1), text.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !text.empty() && (pattern[0] == '?' || pattern[0] == text[0]) &&
           WildcardMatch(pattern.substr(1), text.substr(1));
}

std::string StreamKey(const SRecordInfo& info) {
    return info.location + "." + info.channel + "." + info.type;
}

} // namespace

CSeedLinkSession::CSeedLinkSession(const CRecordRing& ring, const SServiceIdentity& who)
    : m_Ring(ring), m_Who(who) {}

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
                    m_Output.clear();
                    m_Closing = true;
                    return;
                }
            }
            continue;
        }
        if (m_Input.size() >= kMaxCommandLine) {
            // No client sends lines this long: the peer is not speaking the protocol.
            Reply(kError);
            m_Closing = true;
            m_Input.clear();
            return;
        }
        m_Input.push_back(c);
    }
}

bool CSeedLinkSession::StationMatches(const std::string& station,
                                      const std::string& network) const {
    return WildcardMatch(station, m_Who.station) &&
           (network.empty() || WildcardMatch(network, m_Who.network));
}

void CSeedLinkSession::HandleLine(std::string_view line) {
    const SSeedLinkCommand command = ParseSeedLinkCommand(line);
    if (m_Streaming) {
        // Once data flows a client may still ask for information or leave; anything else
        // has no meaning any more and is passed over.
        if (command.kind == ECommand::kInfo) {
            SendInfo(command.infoLevel);
        } else if (command.kind == ECommand::kBye) {
            m_Closing = true;
            m_Output.clear();
        }
        return;
    }
    switch (command.kind) {
    case ECommand::kInvalid:
        Reply(kError);
        return;
    case ECommand::kHello:
        Reply("SeedLink v3.1 (" + m_Who.software + ") :: SLPROTO:3.1 CAP MULTISTATION\r\n" +
              m_Who.organization + "\r\n");
        return;
    case ECommand::kCat:
        Reply(m_Who.network + " " + m_Who.station + " " + m_Who.description + "\r\nEND");
        return;
    case ECommand::kBye:
        m_Closing = true;
        m_Output.clear();
        return;
    case ECommand::kInfo:
        SendInfo(command.infoLevel);
        return;
    case ECommand::kStation:
        m_MultiStation = true;
        m_StationAccepted = StationMatches(command.station, command.network);
        m_Selectors.clear();
        m_Start = EStart::kNone;
        Reply(m_StationAccepted ? kOk : kError);
        return;
    case ECommand::kSelect:
        if (m_MultiStation && !m_StationAccepted) {
            Reply(kError);
            return;
        }
        if (command.selector.empty()) {
            m_Selectors.clear();
        } else if (m_Selectors.size() >= kMaxSelectors) {
            Reply(kError);
            return;
        } else {
            m_Selectors.push_back(command.selector);
        }
        Reply(kOk);
        return;
    case ECommand::kData:
    case ECommand::kFetch:
    case ECommand::kTime:
        HandleStartCommand(command);
        return;
    case ECommand::kEnd:
        if (!m_StationAccepted) {
            Reply(kError);
            return;
        }
        if (m_Start == EStart::kNone) {
            m_Start = EStart::kData;
            m_StartCommand = SSeedLinkCommand{};
        }
        StartStreaming();
        return;
    }
}

void CSeedLinkSession::HandleStartCommand(const SSeedLinkCommand& command) {
    if (m_MultiStation && !m_StationAccepted) {
        Reply(kError);
        return;
    }
    m_Start = command.kind == ECommand::kData
                  ? EStart::kData
                  : (command.kind == ECommand::kFetch ? EStart::kFetch : EStart::kTime);
    m_StartCommand = command;
    if (m_MultiStation) {
        Reply(kOk);
        return;
    }
    // Without STATION the client speaks to the one station here, and data starts at once.
    m_StationAccepted = true;
    StartStreaming();
}

void CSeedLinkSession::StartStreaming() {
    const SSeedLinkCommand& c = m_StartCommand;
    if (c.hasSequence) {
        bool found = false;
        m_Position = m_Ring.Resolve(c.sequence, found);
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

void CSeedLinkSession::SendInfo(const std::string& level) {
    const std::string xml = InfoXml(level, m_Who, m_Ring);
    const std::vector<std::string> records =
        xml.empty() ? std::vector<std::string>{} : PackInfoRecords(xml, m_Who);
    if (records.empty()) {
        if (!m_Streaming) {
            Reply(kError);
        }
        return;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        // The last packet of an answer says so with a blank where the others have '*'.
        m_Output.append(i + 1 < records.size() ? "SLINFO *" : "SLINFO  ");
        m_Output.append(records[i]);
    }
}

bool CSeedLinkSession::Selected(const SRecordInfo& info) const {
    bool anyPositive = false;
    bool positiveMatch = false;
    for (const std::string& s : m_Selectors) {
        const bool matches = SelectorMatches(s, info.location, info.channel, info.type);
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
    Reply("END");
    m_Streaming = false;
    m_Closing = true;
}

void CSeedLinkSession::Pump() {
    std::array<char, kRecordLength> record{};
    SRecordInfo info;
    while (m_Streaming && m_Output.size() < kSessionHighWater) {
        const int read = m_Ring.Get(m_Position, record, info);
        if (read == kRingGone) {
            const std::uint64_t oldest = m_Ring.Oldest();
            m_Skipped += oldest - m_Position;
            m_Position = oldest;
            continue;
        }
        if (read == kRingNotYet) {
            if (m_Start == EStart::kFetch) {
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
        char header[9];
        std::snprintf(header, sizeof header, "SL%06X",
                      static_cast<unsigned>(position & kSequenceMask));
        m_Output.append(header, 8);
        m_Output.append(record.data(), record.size());
    }
}

} // namespace nereid::seedlink
