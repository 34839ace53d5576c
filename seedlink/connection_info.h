#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nereid::seedlink {

// One client as INFO CONNECTIONS shows it.
struct SConnectionInfo {
    std::string host; // numeric address
    int port = 0;
    std::int64_t connectedNs = 0; // since 1970
    std::string userAgent;        // USERAGENT (4.0), empty otherwise
    int protocol = 3;             // 3 or 4
    bool webSocket = false;
    bool streaming = false;
    std::uint64_t position = 0; // next record the client is given
    std::uint64_t packets = 0;  // data packets sent
    std::uint64_t bytes = 0;    // bytes of those packets
    std::vector<std::string> selectors;
};

// Every client of the service at this moment; the server answers it, a session asks.
using ConnectionLister = std::function<std::vector<SConnectionInfo>()>;

} // namespace nereid::seedlink
