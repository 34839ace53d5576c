#pragma once

#include <cstdint>
#include <string>

#include "seedlink/connection_info.h"
#include "seedlink/http_request.h"
#include "seedlink/session.h"
#include "seedlink/websocket.h"

namespace nereid::seedlink {

// The bytes of one client's socket: plain SeedLink, or an HTTP request that upgrades to
// SeedLink over a WebSocket (path "/seedlink", as ringserver serves it). The first bytes
// decide which; the session behind both is the same. No sockets here either.
class CClientConnection {
public:
    CClientConnection(const CRecordRing& ring, const SServiceIdentity& who,
                      ConnectionLister connections = {}, HttpHandler http = {});

    // Bytes from the socket.
    void Receive(const char* data, std::size_t length);
    // Moves what the session has ready into Wire(), up to about kSessionHighWater bytes.
    void Fill();

    const std::string& Wire() const { return m_Wire; }
    void Sent(std::size_t length) { m_Wire.erase(0, length); }

    // Close once Wire() has gone out.
    bool Closing() const { return m_Closing; }
    // The client reached the data phase (or asked and left): the handshake limit is over.
    bool Greeted() const { return m_Greeted; }
    bool WebSocket() const { return m_Mode == EMode::kWebSocket; }
    // The client turned out to speak SeedLink (plain or over a WebSocket), not to fetch a page.
    bool SeedLinkClient() const { return m_SeedLinkClient; }
    // Why the connection is being closed by this side, for the log; empty otherwise.
    const std::string& Problem() const { return m_Problem; }
    const CSeedLinkSession& Session() const { return m_Session; }

private:
    enum class EMode { kUndecided, kSeedLink, kHttpHead, kWebSocket, kDone };

    void ReceiveHttp();
    void ReceiveWebSocket();
    void CloseWebSocket(std::uint16_t status, const std::string& why);

    CSeedLinkSession m_Session;
    HttpHandler m_Http;
    EMode m_Mode = EMode::kUndecided;
    std::string m_In;
    std::string m_Wire;
    CWebSocketReader m_Reader;
    bool m_Closing = false;
    bool m_Greeted = false;
    bool m_CloseSent = false;
    bool m_SeedLinkClient = false;
    std::string m_Problem;
};

} // namespace nereid::seedlink
