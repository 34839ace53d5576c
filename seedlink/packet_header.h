#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nereid::seedlink {

// Fixed part of a 4.0 packet header: "SE", format, subformat, payload length (u32 LE),
// sequence number (u64 LE), station id length (u8); the station id follows.
constexpr std::size_t kHeaderV4Fixed = 17;
constexpr std::size_t kHeaderV3 = 8; // "SL" and six hexadecimal digits
constexpr std::size_t kMaxStationIdLength = 255;

// "SLxxxxxx": the low 24 bits of `sequence`.
std::string PacketHeaderV3(std::uint64_t sequence);

// The 4.0 header of a packet of `payloadLength` bytes. A station id longer than
// kMaxStationIdLength is cut there.
std::string PacketHeaderV4(char format, char subformat, std::uint32_t payloadLength,
                           std::uint64_t sequence, std::string_view stationId);

// A command's refusal: "ERROR CODE reason" in 4.0; in 3.x "ERROR" alone, or with the reason
// after a lone CR when the client asked for extended replies (CAPABILITIES EXTREPLY).
std::string ErrorReply(int version, bool extendedReplies, std::string_view code,
                       std::string_view reason);

} // namespace nereid::seedlink
