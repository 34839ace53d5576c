#include "seedlink/websocket.h"

#include "seedlink/sha1.h"

namespace nereid::seedlink {

namespace {

std::string Base64(const std::uint8_t* data, std::size_t length) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < length; i += 3) {
        const std::uint32_t n = (std::uint32_t{data[i]} << 16) |
                                (i + 1 < length ? std::uint32_t{data[i + 1]} << 8 : 0) |
                                (i + 2 < length ? std::uint32_t{data[i + 2]} : 0);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < length ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < length ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string Header(const SHttpRequest& request, const char* name) {
    const auto it = request.headers.find(name);
    return it == request.headers.end() ? std::string() : it->second;
}

} // namespace

std::string WebSocketAccept(std::string_view key) {
    const auto digest = Sha1(std::string(key) + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
    return Base64(digest.data(), digest.size());
}

std::string WebSocketUpgrade(const SHttpRequest& request, bool& upgraded) {
    upgraded = false;
    if (request.method != "GET") {
        return HttpResponse(405, "Method Not Allowed", "Only GET upgrades to a WebSocket.\n");
    }
    if (request.version != "HTTP/1.1" || !HeaderHasToken(Header(request, "upgrade"), "websocket") ||
        !HeaderHasToken(Header(request, "connection"), "upgrade")) {
        return HttpResponse(400, "Bad Request",
                            "SeedLink is served here over a WebSocket: HTTP/1.1 with "
                            "'Connection: Upgrade' and 'Upgrade: websocket'.\n");
    }
    if (Header(request, "sec-websocket-version") != "13") {
        return "HTTP/1.1 426 Upgrade Required\r\nSec-WebSocket-Version: 13\r\nContent-Length: "
               "0\r\nConnection: close\r\n\r\n";
    }
    const std::string key = Header(request, "sec-websocket-key");
    if (key.size() != 24) {
        return HttpResponse(400, "Bad Request", "Sec-WebSocket-Key is not 16 bytes in base64.\n");
    }
    const std::string offered = Header(request, "sec-websocket-protocol");
    std::string chosen;
    if (HeaderHasToken(offered, "SeedLink4.0")) {
        chosen = "SeedLink4.0";
    } else if (HeaderHasToken(offered, "SeedLink3.1")) {
        chosen = "SeedLink3.1";
    } else if (!offered.empty()) {
        return HttpResponse(400, "Bad Request",
                            "Subprotocols here: SeedLink4.0 and SeedLink3.1.\n");
    }
    upgraded = true;
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: "
           "Upgrade\r\nSec-WebSocket-Accept: " +
           WebSocketAccept(key) + "\r\n" +
           (chosen.empty() ? std::string() : "Sec-WebSocket-Protocol: " + chosen + "\r\n") + "\r\n";
}

std::string WebSocketFrame(std::uint8_t opcode, std::string_view payload) {
    std::string frame;
    frame.push_back(static_cast<char>(0x80 | (opcode & 0x0F)));
    const std::uint64_t length = payload.size();
    if (length < 126) {
        frame.push_back(static_cast<char>(length));
    } else if (length <= 0xFFFF) {
        frame.push_back(static_cast<char>(126));
        frame.push_back(static_cast<char>((length >> 8) & 0xFF));
        frame.push_back(static_cast<char>(length & 0xFF));
    } else {
        frame.push_back(static_cast<char>(127));
        for (int i = 7; i >= 0; --i) {
            frame.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
        }
    }
    frame.append(payload);
    return frame;
}

CWebSocketReader::EResult CWebSocketReader::Next(std::string& buffer, std::uint8_t& opcode,
                                                 std::string& payload, std::string& why) {
    if (buffer.size() < 2) {
        return kNeedMore;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(buffer.data());
    const bool fin = (b[0] & 0x80) != 0;
    const std::uint8_t code = b[0] & 0x0F;
    if ((b[0] & 0x70) != 0) {
        why = "reserved bits set without an extension";
        return kError;
    }
    if ((b[1] & 0x80) == 0) {
        why = "client frame not masked";
        return kError;
    }
    std::uint64_t length = b[1] & 0x7F;
    std::size_t at = 2;
    if (length == 126 || length == 127) {
        const std::size_t bytes = length == 126 ? 2 : 8;
        if (buffer.size() < at + bytes) {
            return kNeedMore;
        }
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            length = (length << 8) | b[at + i];
        }
        at += bytes;
    }
    const bool control = (code & 0x08) != 0;
    if (control && (length > 125 || !fin)) {
        why = "control frame fragmented or longer than 125 bytes";
        return kError;
    }
    if (length > kMaxWebSocketMessage || m_Fragments.size() + length > kMaxWebSocketMessage) {
        why = "message longer than " + std::to_string(kMaxWebSocketMessage) + " bytes";
        return kError;
    }
    if (buffer.size() < at + 4 + length) {
        return kNeedMore;
    }
    const unsigned char* mask = b + at;
    at += 4;
    std::string data(buffer, at, static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(data[i] ^ mask[i % 4]);
    }
    buffer.erase(0, at + static_cast<std::size_t>(length));
    if (control) {
        if (code != kWsClose && code != kWsPing && code != kWsPong) {
            why = "unknown control opcode";
            return kError;
        }
        opcode = code;
        payload = std::move(data);
        return kControl;
    }
    if (code == kWsContinuation) {
        if (!m_InMessage) {
            why = "continuation frame without a message";
            return kError;
        }
    } else if (code == kWsText || code == kWsBinary) {
        if (m_InMessage) {
            why = "new message before the last one ended";
            return kError;
        }
        m_InMessage = true;
        m_FragmentOpcode = code;
        m_Fragments.clear();
    } else {
        why = "unknown data opcode";
        return kError;
    }
    m_Fragments += data;
    if (!fin) {
        return kNeedMore;
    }
    m_InMessage = false;
    opcode = m_FragmentOpcode;
    payload = std::move(m_Fragments);
    m_Fragments.clear();
    return kMessage;
}

} // namespace nereid::seedlink
