#include "seedlink/client_connection.h"

#include "seedlink/http_request.h"

namespace nereid::seedlink {

namespace {

// Bytes looked at before deciding between SeedLink and HTTP: enough for "OPTIONS ".
constexpr std::size_t kDecideAfter = 8;

} // namespace

CClientConnection::CClientConnection(const CRecordRing& ring, const SServiceIdentity& who,
                                     ConnectionLister connections, HttpHandler http)
    : m_Session(ring, who, std::move(connections)), m_Http(std::move(http)) {}

void CClientConnection::Receive(const char* data, std::size_t length) {
    if (m_Closing) {
        return;
    }
    m_In.append(data, length);
    if (m_Mode == EMode::kUndecided) {
        if (LooksLikeHttp(m_In)) {
            m_Mode = EMode::kHttpHead;
        } else if (m_In.size() >= kDecideAfter ||
                   m_In.find_first_of("\r\n ") != std::string::npos) {
            m_Mode = EMode::kSeedLink;
            m_SeedLinkClient = true;
        } else {
            return;
        }
    }
    switch (m_Mode) {
    case EMode::kSeedLink:
        m_Session.Receive(m_In.data(), m_In.size());
        m_In.clear();
        break;
    case EMode::kHttpHead:
        ReceiveHttp();
        break;
    case EMode::kWebSocket:
        ReceiveWebSocket();
        break;
    case EMode::kUndecided:
    case EMode::kDone:
        m_In.clear();
        break;
    }
    if (m_Session.Streaming() || m_Session.Closing()) {
        m_Greeted = true;
    }
}

void CClientConnection::ReceiveHttp() {
    const std::size_t end = m_In.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (m_In.size() > kMaxHttpHead) {
            m_Wire += HttpResponse(431, "Request Header Fields Too Large", "");
            m_Problem = "HTTP request head longer than 8192 bytes";
            m_Mode = EMode::kDone;
            m_Closing = true;
        }
        return;
    }
    SHttpRequest request;
    std::string why;
    const std::string head = m_In.substr(0, end);
    m_In.erase(0, end + 4);
    if (!ParseHttpRequest(head, request, why)) {
        m_Wire += HttpResponse(400, "Bad Request", why + "\n");
        m_Problem = "bad HTTP request: " + why;
        m_Mode = EMode::kDone;
        m_Closing = true;
        return;
    }
    if (request.path != "/seedlink" && m_Http) {
        std::string response;
        if (!m_Http(request, response)) {
            response = HttpResponse(404, "Not Found", "No such page here.\n");
        }
        m_Wire += response;
        m_Mode = EMode::kDone;
        m_Closing = true;
        return;
    }
    if (request.path != "/seedlink") {
        m_Wire += HttpResponse(404, "Not Found", "SeedLink over WebSocket is at /seedlink.\n");
        m_Mode = EMode::kDone;
        m_Closing = true;
        return;
    }
    bool upgraded = false;
    m_Wire += WebSocketUpgrade(request, upgraded);
    if (!upgraded) {
        m_Problem = "WebSocket upgrade refused";
        m_Mode = EMode::kDone;
        m_Closing = true;
        return;
    }
    m_Mode = EMode::kWebSocket;
    m_SeedLinkClient = true;
    if (!m_In.empty()) {
        ReceiveWebSocket();
    }
}

void CClientConnection::ReceiveWebSocket() {
    for (;;) {
        const std::size_t before = m_In.size();
        std::uint8_t opcode = 0;
        std::string payload;
        std::string why;
        const CWebSocketReader::EResult result = m_Reader.Next(m_In, opcode, payload, why);
        if (result == CWebSocketReader::kNeedMore) {
            if (m_In.size() == before) {
                return;
            }
            continue; // a fragment was taken; more may follow in the buffer
        }
        if (result == CWebSocketReader::kError) {
            CloseWebSocket(1002, why);
            return;
        }
        if (result == CWebSocketReader::kControl) {
            if (opcode == kWsPing) {
                m_Wire += WebSocketFrame(kWsPong, payload);
            } else if (opcode == kWsClose) {
                CloseWebSocket(1000, "");
                return;
            }
            continue;
        }
        // One message carries one command; its line end is optional.
        if (payload.empty() || (payload.back() != '\r' && payload.back() != '\n')) {
            payload += "\r\n";
        }
        m_Session.Receive(payload.data(), payload.size());
        if (m_Session.Closing()) {
            return;
        }
    }
}

void CClientConnection::CloseWebSocket(std::uint16_t status, const std::string& why) {
    if (!m_CloseSent) {
        std::string body;
        body.push_back(static_cast<char>(status >> 8));
        body.push_back(static_cast<char>(status & 0xFF));
        m_Wire += WebSocketFrame(kWsClose, body);
        m_CloseSent = true;
    }
    if (!why.empty()) {
        m_Problem = "WebSocket: " + why;
    }
    m_Mode = EMode::kDone;
    m_Closing = true;
}

void CClientConnection::Fill() {
    if (m_Mode != EMode::kSeedLink && m_Mode != EMode::kWebSocket) {
        return;
    }
    while (m_Wire.size() < kSessionHighWater) {
        m_Session.Pump();
        const std::string& out = m_Session.Output();
        if (out.empty()) {
            break;
        }
        if (m_Mode == EMode::kSeedLink) {
            m_Wire += out;
            m_Session.Consumed(out.size());
            continue;
        }
        // Every reply and every packet travels as one binary message, as ringserver sends
        // them and seisplotjs expects them.
        const std::size_t length =
            m_Session.FrontMessage() == 0 ? out.size() : m_Session.FrontMessage();
        m_Wire += WebSocketFrame(kWsBinary, std::string_view(out).substr(0, length));
        m_Session.Consumed(length);
    }
    if (m_Session.Streaming() || m_Session.Closing()) {
        m_Greeted = true;
    }
    if (m_Session.Closing() && m_Session.Output().empty()) {
        if (m_Mode == EMode::kWebSocket) {
            CloseWebSocket(1000, "");
        }
        m_Closing = true;
    }
}

} // namespace nereid::seedlink
