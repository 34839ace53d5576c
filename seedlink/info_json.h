#pragma once

#include <string>
#include <vector>

#include "seedlink/connection_info.h"
#include "seedlink/info_packets.h"
#include "seedlink/record_ring.h"

namespace nereid::seedlink {

// Station id of the 4.0 protocol: "NET_STA".
std::string StationId(const std::string& network, const std::string& station);
// Stream id of the 4.0 protocol, the FDSN source id's tail "LOC_B_S_SS": location "" and
// channel "HHZ" give "_H_H_Z".
std::string StreamId(const std::string& location, const std::string& channel);
// "YYYY-MM-DDThh:mm:ss.ffffZ".
std::string IsoTime(std::int64_t ns);

// What a 4.0 INFO request asks for.
struct SInfoRequest {
    std::string item;           // ID, FORMATS, CAPABILITIES, STATIONS, STREAMS, CONNECTIONS
    std::string stationPattern; // empty: every station
    std::string streamPattern;  // empty: every stream; may end in ".FORMAT"
};

// The JSON document answering `request`; `error` is set when it is an error document (an
// item this service does not answer). `hello` is the first line of the HELLO answer.
std::string InfoJson(const SInfoRequest& request, const std::string& hello,
                     const SServiceIdentity& who, const CRecordRing& ring,
                     const std::vector<SConnectionInfo>& connections, bool& error);

// True when stream `location`/`channel` of format `format` (e.g. "2D") matches one 4.0
// selector "[!]STREAM[.FORMAT]"; the '!' is not looked at here.
bool StreamPatternMatches(std::string_view pattern, const std::string& location,
                          const std::string& channel, std::string_view format);

} // namespace nereid::seedlink
