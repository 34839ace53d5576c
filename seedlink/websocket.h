#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "seedlink/http_request.h"

namespace nereid::seedlink {

// Opcodes of RFC 6455.
enum EWebSocketOpcode : std::uint8_t {
    kWsContinuation = 0x0,
    kWsText = 0x1,
    kWsBinary = 0x2,
    kWsClose = 0x8,
    kWsPing = 0x9,
    kWsPong = 0xA,
};

// Largest message taken from a client, bytes: commands are at most 255 characters, so
// anything far larger is not a SeedLink client.
constexpr std::size_t kMaxWebSocketMessage = 16 * 1024;

// The Sec-WebSocket-Accept value for a client's Sec-WebSocket-Key.
std::string WebSocketAccept(std::string_view key);

// The answer to a request for the SeedLink WebSocket: 101 with the subprotocol chosen
// (SeedLink4.0 before SeedLink3.1, as the client offers them), or an HTTP error. `upgraded`
// tells which.
std::string WebSocketUpgrade(const SHttpRequest& request, bool& upgraded);

// One unmasked server frame (FIN set) carrying `payload`.
std::string WebSocketFrame(std::uint8_t opcode, std::string_view payload);

// Messages taken from a client's frames: unmasked, fragments joined, control frames apart.
class CWebSocketReader {
public:
    enum EResult { kNeedMore, kMessage, kControl, kError };

    // Looks at the bytes in `buffer` and takes one frame off its front when whole. kMessage:
    // a whole data message is in `payload` (opcode text or binary); kControl: a close, ping or
    // pong in `opcode`/`payload`; kError: the peer broke the protocol (`why` says how).
    EResult Next(std::string& buffer, std::uint8_t& opcode, std::string& payload, std::string& why);

private:
    std::string m_Fragments;
    std::uint8_t m_FragmentOpcode = 0;
    bool m_InMessage = false;
};

} // namespace nereid::seedlink
