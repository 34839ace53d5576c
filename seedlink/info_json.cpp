#include "seedlink/info_json.h"

#include <cctype>
#include <cstdio>

#include "seedlink/command_parser.h"

namespace nereid::seedlink {

namespace {

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Field(const char* name, const std::string& value) {
    return Quote(name) + ":" + Quote(value);
}

std::string Number(const char* name, std::uint64_t value) {
    return Quote(name) + ":" + std::to_string(value);
}

constexpr const char* kFormats =
    "\"format\":{\"2\":{\"mimetype\":\"application/vnd.fdsn.mseed\",\"subformat\":{\"D\":"
    "\"data\"}},\"J\":{\"mimetype\":\"application/json\",\"subformat\":{\"I\":\"seedlink-info\","
    "\"E\":\"seedlink-error\"}}},\"filter\":{\"native\":\"records as the station made them\"}";

std::string StationJson(const SServiceIdentity& who, const CRecordRing& ring,
                        const std::string& streamPattern, bool withStreams) {
    std::string json = "{" + Field("id", StationId(who.network, who.station)) + "," +
                       Field("description", who.description) + "," +
                       Number("start_seq", ring.Oldest()) + "," + Number("end_seq", ring.Next()) +
                       ",\"backfill\":0";
    if (!withStreams) {
        return json + "}";
    }
    json += ",\"stream\":[";
    bool first = true;
    for (const SStreamSpan& s : ring.Streams()) {
        const std::string format = std::string("2") + s.type;
        if (!streamPattern.empty() &&
            !StreamPatternMatches(streamPattern, s.location, s.channel, format)) {
            continue;
        }
        json += std::string(first ? "" : ",") + "{" + Field("id", StreamId(s.location, s.channel)) +
                ",\"format\":\"2\"," + Field("subformat", std::string(1, s.type)) +
                ",\"origin\":\"native\"," + Field("start_time", IsoTime(s.beginNs)) + "," +
                Field("end_time", IsoTime(s.endNs)) + "}";
        first = false;
    }
    return json + "]}";
}

std::string ConnectionsJson(const std::vector<SConnectionInfo>& connections) {
    std::string json = "\"connections\":{\"client\":[";
    for (std::size_t i = 0; i < connections.size(); ++i) {
        const SConnectionInfo& c = connections[i];
        std::string selectors;
        for (const std::string& s : c.selectors) {
            selectors += (selectors.empty() ? "" : " ") + s;
        }
        json += std::string(i == 0 ? "" : ",") + "{" + Field("host", c.host) + "," +
                Field("ip_address", c.host) + "," + Field("client_port", std::to_string(c.port)) +
                "," +
                Field("type", std::string("SeedLink") + (c.protocol >= 4 ? "4" : "3") +
                                  (c.webSocket ? " (WebSocket)" : "")) +
                "," + Field("connect_time", IsoTime(c.connectedNs)) + "," +
                Field("client_id", c.userAgent) + "," + Number("transmit_packets", c.packets) +
                "," + Number("transmit_bytes", c.bytes) + "," + Number("current_seq", c.position) +
                "," + Field("state", c.streaming ? "streaming" : "handshaking") +
                (selectors.empty() ? "" : "," + Field("match", selectors)) + "}";
    }
    return json + "]}";
}

} // namespace

std::string StationId(const std::string& network, const std::string& station) {
    return network + "_" + station;
}

std::string StreamId(const std::string& location, const std::string& channel) {
    std::string id = location;
    for (char c : channel) {
        id += '_';
        id += c;
    }
    return id;
}

std::string IsoTime(std::int64_t ns) {
    std::string text = InfoTime(ns); // "YYYY/MM/DD hh:mm:ss.ffff"
    text[4] = '-';
    text[7] = '-';
    text[10] = 'T';
    return text + "Z";
}

bool StreamPatternMatches(std::string_view pattern, const std::string& location,
                          const std::string& channel, std::string_view format) {
    if (!pattern.empty() && pattern[0] == '!') {
        pattern.remove_prefix(1);
    }
    std::string_view formatPattern;
    if (const std::size_t dot = pattern.find('.'); dot != std::string_view::npos) {
        formatPattern = pattern.substr(dot + 1);
        pattern = pattern.substr(0, dot);
    }
    if (!WildcardMatch(pattern, StreamId(location, channel))) {
        return false;
    }
    if (formatPattern.empty()) {
        return true;
    }
    // The format pattern is anchored at the start only ("2" matches "2D"); a lone letter is
    // the 3.x record type that older clients carry over ("*_H_H_Z.D").
    if (formatPattern.size() == 1 && std::isalpha(static_cast<unsigned char>(formatPattern[0]))) {
        return format.size() == 2 && formatPattern[0] == format[1];
    }
    std::string anchored(formatPattern);
    anchored += '*';
    return WildcardMatch(anchored, format);
}

std::string InfoJson(const SInfoRequest& request, const std::string& hello,
                     const SServiceIdentity& who, const CRecordRing& ring,
                     const std::vector<SConnectionInfo>& connections, bool& error) {
    error = false;
    std::string json = "{" + Field("software", hello) + "," +
                       Field("organization", who.organization) + "," +
                       Field("server_start", IsoTime(who.startedNs));
    const std::string& item = request.item;
    const bool stationWanted =
        request.stationPattern.empty() ||
        WildcardMatch(request.stationPattern, StationId(who.network, who.station));
    if (item == "ID") {
    } else if (item == "CAPABILITIES") {
        json += ",\"capability\":[\"SLPROTO:4.0\",\"SLPROTO:3.1\",\"TIME\",\"SEQWILDCARD\","
                "\"WS:13\"]";
    } else if (item == "FORMATS") {
        json += std::string(",") + kFormats;
    } else if (item == "STATIONS" || item == "STREAMS") {
        json += std::string(",") + kFormats + ",\"station\":[";
        if (stationWanted) {
            json += StationJson(who, ring, request.streamPattern, item == "STREAMS");
        }
        json += "]";
    } else if (item == "CONNECTIONS") {
        json += "," + ConnectionsJson(connections);
    } else {
        error = true;
        json += ",\"error\":{\"code\":\"ARGUMENTS\"," +
                Field("message", "INFO " + item + " is not answered here") + "}";
    }
    return json + "}";
}

} // namespace nereid::seedlink
