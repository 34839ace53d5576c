#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/unique_fd.h"
#include "seedlink/http_request.h"
#include "seedlink/info_packets.h"
#include "seedlink/record_ring.h"

namespace nereid::seedlink {

// Results of CSeedLinkServer::Start.
enum ServerResult : int {
    kServerStarted = 1,
    kServerBadAddress = -1,   // the host does not resolve, or the port is out of range
    kServerCannotListen = -2, // bind or listen failed (address in use, no permission)
    kServerNoThread = -3,
};

// How many clients, and how patient the server is with them. A station PC on a network
// meets port scanners and clients that connect and say nothing: they must not lock the
// real clients out.
struct SServerLimits {
    std::size_t maxClients = 100;   // served at once; one more is accepted and closed
    std::size_t maxPerAddress = 20; // from one IP address at once
    double handshakeSeconds = 30;   // to reach the data phase (or ask and leave)
};

// "HOST:PORT", "[V6HOST]:PORT" or ":PORT" (loopback) -> parts; false with `why` filled when
// malformed. Ports 0 to 65535 (0: any free port).
bool ParseListenAddress(const std::string& text, std::string& host, int& port, std::string& why);

// Serves the ring to SeedLink clients (3.1 and 4.0, plain or over a WebSocket) on one
// listening socket, from a thread of its own that polls every socket; each client has a
// CClientConnection.
class CSeedLinkServer {
public:
    using LogFunction = std::function<void(const std::string&)>;

    CSeedLinkServer(const CRecordRing& ring, SServiceIdentity who);
    ~CSeedLinkServer();
    CSeedLinkServer(const CSeedLinkServer&) = delete;
    CSeedLinkServer& operator=(const CSeedLinkServer&) = delete;

    // Messages for the operator (clients coming and going, clients too slow, refusals); set
    // before Start.
    void SetLog(LogFunction log) { m_Log = std::move(log); }
    // Set before Start.
    void SetLimits(const SServerLimits& limits) { m_Limits = limits; }
    // Pages besides the SeedLink WebSocket (a status page); without one, every other path is
    // answered 404. Set before Start; called on the server's thread.
    void SetHttpHandler(HttpHandler http) { m_Http = std::move(http); }

    // The clients as they were at most about a second ago; any thread may ask.
    std::vector<SConnectionInfo> Connections() const;

    // Listens on `host`:`port` and starts the thread; see ServerResult. ErrorText() says why
    // it failed.
    int Start(const std::string& host, int port);
    // Closes every client and the listening socket; joins the thread.
    void Stop();
    // New records are in the ring: wake the thread. Any thread may call it.
    void Notify();

    int Port() const { return m_Port; }
    std::size_t ClientCount() const { return m_Clients.load(); }
    const std::string& ErrorText() const { return m_Error; }

private:
    void Run();

    const CRecordRing& m_Ring;
    const SServiceIdentity m_Who;
    LogFunction m_Log;
    SServerLimits m_Limits;
    HttpHandler m_Http;
    mutable std::mutex m_SnapshotMutex;
    std::vector<SConnectionInfo> m_Snapshot;
    recording::UniqueFd m_Listen;
    recording::UniqueFd m_Wake;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::atomic<std::size_t> m_Clients{0};
    int m_Port = 0;
    std::string m_Error;
};

} // namespace nereid::seedlink
