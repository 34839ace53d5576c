#include "seedlink/packet_header.h"

#include <cstdio>

namespace nereid::seedlink {

namespace {

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

} // namespace

std::string PacketHeaderV3(std::uint64_t sequence) {
    char header[kHeaderV3 + 1];
    std::snprintf(header, sizeof header, "SL%06X", static_cast<unsigned>(sequence & 0xFFFFFF));
    return std::string(header, kHeaderV3);
}

std::string PacketHeaderV4(char format, char subformat, std::uint32_t payloadLength,
                           std::uint64_t sequence, std::string_view stationId) {
    if (stationId.size() > kMaxStationIdLength) {
        stationId = stationId.substr(0, kMaxStationIdLength);
    }
    std::string header = "SE";
    header.push_back(format);
    header.push_back(subformat);
    PutLittleEndian(header, payloadLength, 4);
    PutLittleEndian(header, sequence, 8);
    header.push_back(static_cast<char>(stationId.size()));
    header.append(stationId);
    return header;
}

std::string ErrorReply(int version, bool extendedReplies, std::string_view code,
                       std::string_view reason) {
    // A reason must stay on its line: a CR or LF in it would end the reply early.
    std::string clean;
    for (char c : reason) {
        clean.push_back(c == '\r' || c == '\n' ? ' ' : c);
    }
    if (version >= 4) {
        return "ERROR " + std::string(code) + (clean.empty() ? "" : " " + clean) + "\r\n";
    }
    if (extendedReplies) {
        return "ERROR\r" + std::string(code) + (clean.empty() ? "" : " " + clean) + "\r\n";
    }
    return "ERROR\r\n";
}

} // namespace nereid::seedlink
