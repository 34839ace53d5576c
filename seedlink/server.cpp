#include "seedlink/server.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include "seedlink/client_connection.h"

namespace nereid::seedlink {

namespace {

constexpr int kPollTimeoutMs = 200;
constexpr std::size_t kReadChunk = 4096;
// Connections waiting in the kernel to be accepted: a burst of clients is taken whole.
constexpr int kListenBacklog = 128;
// Refusals said at most this often, seconds; the rest are counted into the next message.
constexpr double kRefusalLogInterval = 5;

struct Client {
    recording::UniqueFd fd;
    std::string host;
    int port = 0;
    std::chrono::steady_clock::time_point since;
    std::int64_t sinceNs = 0;
    std::unique_ptr<CClientConnection> link;
    std::uint64_t reportedSkips = 0;
    bool said = true; // its coming was logged
};

void PeerName(const sockaddr_storage& address, std::string& host, int& port) {
    char name[NI_MAXHOST] = "?";
    char service[NI_MAXSERV] = "0";
    getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name, sizeof name,
                service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
    host = name;
    port = std::atoi(service);
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

bool ParseListenAddress(const std::string& text, std::string& host, int& port, std::string& why) {
    std::string hostPart;
    std::string portPart;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            why = "'" + text + "' is not [HOST]:PORT";
            return false;
        }
        hostPart = text.substr(1, close - 1);
        portPart = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon) {
            why = "'" + text + "' is not HOST:PORT";
            return false;
        }
        hostPart = text.substr(0, colon);
        portPart = text.substr(colon + 1);
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(portPart.c_str(), &end, 10);
    if (portPart.empty() || *end != '\0' || errno != 0 || value < 0 || value > 65535) {
        why = "port '" + portPart + "' is not a number from 0 to 65535";
        return false;
    }
    host = hostPart.empty() ? "127.0.0.1" : hostPart;
    port = static_cast<int>(value);
    return true;
}

CSeedLinkServer::CSeedLinkServer(const CRecordRing& ring, SServiceIdentity who)
    : m_Ring(ring), m_Who(std::move(who)) {}

CSeedLinkServer::~CSeedLinkServer() {
    Stop();
}

int CSeedLinkServer::Start(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        m_Error = "cannot resolve '" + host + "': " + gai_strerror(rc);
        return kServerBadAddress;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
    int lastErrno = 0;
    for (addrinfo* a = found; a != nullptr && !m_Listen.Valid(); a = a->ai_next) {
        recording::UniqueFd fd(
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (!fd.Valid()) {
            lastErrno = errno;
            continue;
        }
        const int on = 1;
        setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd.Get(), a->ai_addr, a->ai_addrlen) != 0 ||
            listen(fd.Get(), kListenBacklog) != 0) {
            lastErrno = errno;
            continue;
        }
        m_Listen = std::move(fd);
    }
    if (!m_Listen.Valid()) {
        m_Error = "cannot listen on " + host + ":" + service + ": " + std::strerror(lastErrno);
        return kServerCannotListen;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(m_Listen.Get(), reinterpret_cast<sockaddr*>(&bound), &length);
    m_Port = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                         : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    m_Wake.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_Wake.Valid()) {
        m_Error = std::string("cannot make the wake-up event: ") + std::strerror(errno);
        m_Listen.Reset();
        return kServerNoThread;
    }
    m_Stop.store(false);
    try {
        m_Thread = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        m_Error = std::string("cannot start the server thread: ") + e.what();
        m_Listen.Reset();
        return kServerNoThread;
    }
    return kServerStarted;
}

void CSeedLinkServer::Stop() {
    if (m_Thread.joinable()) {
        m_Stop.store(true);
        Notify();
        m_Thread.join();
    }
    m_Listen.Reset();
    m_Wake.Reset();
}

void CSeedLinkServer::Notify() {
    if (m_Wake.Valid()) {
        const std::uint64_t one = 1;
        // A full counter already wakes the thread; nothing to do when the write fails.
        [[maybe_unused]] const ssize_t written = write(m_Wake.Get(), &one, sizeof one);
    }
}

std::vector<SConnectionInfo> CSeedLinkServer::Connections() const {
    std::lock_guard lock(m_SnapshotMutex);
    return m_Snapshot;
}

void CSeedLinkServer::Run() {
    std::list<Client> clients;
    std::vector<pollfd> fds;
    std::vector<Client*> order;
    auto log = [this](const std::string& text) {
        if (m_Log) {
            m_Log(text);
        }
    };
    const ConnectionLister lister = [&clients] {
        std::vector<SConnectionInfo> list;
        for (const Client& c : clients) {
            const CSeedLinkSession& s = c.link->Session();
            list.push_back(SConnectionInfo{c.host, c.port, c.sinceNs, s.UserAgent(), s.Protocol(),
                                           c.link->WebSocket(), s.Streaming(), s.Position(),
                                           s.PacketsSent(), s.PacketBytes(), s.Selectors()});
        }
        return list;
    };
    std::size_t refusedUnsaid = 0;
    std::string lastRefusal;
    auto lastRefusalSaid = std::chrono::steady_clock::time_point{};
    auto refuse = [&](const std::string& text) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastRefusalSaid < std::chrono::duration<double>(kRefusalLogInterval)) {
            ++refusedUnsaid;
            lastRefusal = text;
            return;
        }
        log(text + (refusedUnsaid == 0
                        ? std::string()
                        : " (and " + std::to_string(refusedUnsaid) + " more refused before)"));
        refusedUnsaid = 0;
        lastRefusalSaid = now;
    };
    const auto handshakeLimit = std::chrono::duration<double>(m_Limits.handshakeSeconds);
    auto lastSnapshot = std::chrono::steady_clock::time_point{};
    while (!m_Stop.load()) {
        if (std::chrono::steady_clock::now() - lastSnapshot > std::chrono::seconds(1)) {
            // SeedLink clients only: page requests come and go within a poll round.
            const std::vector<SConnectionInfo> all = lister();
            std::vector<SConnectionInfo> list;
            auto client = clients.begin();
            for (const SConnectionInfo& info : all) {
                if ((client++)->link->SeedLinkClient()) {
                    list.push_back(info);
                }
            }
            std::lock_guard lock(m_SnapshotMutex);
            m_Snapshot = std::move(list);
            lastSnapshot = std::chrono::steady_clock::now();
        }
        fds.clear();
        order.clear();
        fds.push_back({m_Listen.Get(), POLLIN, 0});
        fds.push_back({m_Wake.Get(), POLLIN, 0});
        for (Client& c : clients) {
            const short events =
                static_cast<short>(POLLIN | (c.link->Wire().empty() ? 0 : POLLOUT));
            fds.push_back({c.fd.Get(), events, 0});
            order.push_back(&c);
        }
        if (poll(fds.data(), fds.size(), kPollTimeoutMs) < 0 && errno != EINTR) {
            log(std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(m_Wake.Get(), &count, sizeof count);
        }
        for (std::size_t i = 0; i < order.size(); ++i) {
            Client& c = *order[i];
            const short revents = fds[i + 2].revents;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[kReadChunk];
                const ssize_t n = recv(c.fd.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0) {
                    c.link->Receive(buffer, static_cast<std::size_t>(n));
                } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                    c.fd.Reset();
                }
            }
        }
        const auto now = std::chrono::steady_clock::now();
        for (auto it = clients.begin(); it != clients.end();) {
            Client& c = *it;
            std::string why;
            if (c.fd.Valid() && !c.link->Greeted() && now - c.since > handshakeLimit) {
                why = " closed: no data requested within " +
                      std::to_string(static_cast<int>(m_Limits.handshakeSeconds)) + " s";
                c.fd.Reset();
            }
            if (c.fd.Valid()) {
                c.link->Fill();
                while (!c.link->Wire().empty()) {
                    const std::string& out = c.link->Wire();
                    const ssize_t n =
                        send(c.fd.Get(), out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                    if (n > 0) {
                        c.link->Sent(static_cast<std::size_t>(n));
                        c.link->Fill();
                        continue;
                    }
                    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                        c.fd.Reset();
                    }
                    break;
                }
                const std::uint64_t skipped = c.link->Session().Skipped();
                if (skipped != c.reportedSkips) {
                    log("SeedLink client " + c.host + ":" + std::to_string(c.port) +
                        " is too slow: " + std::to_string(skipped - c.reportedSkips) +
                        " records were overwritten before it took them");
                    c.reportedSkips = skipped;
                }
                if (c.link->Closing() && c.link->Wire().empty()) {
                    if (!c.link->Problem().empty()) {
                        why = " closed: " + c.link->Problem();
                    }
                    c.fd.Reset();
                }
            }
            if (!c.said && c.link->SeedLinkClient()) {
                log("SeedLink client " + c.host + ":" + std::to_string(c.port) + " connected");
                c.said = true;
            }
            if (!c.fd.Valid() && (c.said || !why.empty())) {
                log("SeedLink client " + c.host + ":" + std::to_string(c.port) +
                    (why.empty() ? " left" : why));
            }
            if (!c.fd.Valid()) {
                it = clients.erase(it);
                m_Clients.store(clients.size());
            } else {
                ++it;
            }
        }
        if (fds[0].revents & POLLIN) {
            // Everything waiting is taken now, so that a burst does not wait a poll round each.
            for (;;) {
                sockaddr_storage address{};
                socklen_t length = sizeof address;
                recording::UniqueFd fd(accept4(m_Listen.Get(),
                                               reinterpret_cast<sockaddr*>(&address), &length,
                                               SOCK_NONBLOCK | SOCK_CLOEXEC));
                if (!fd.Valid()) {
                    break;
                }
                Client c;
                PeerName(address, c.host, c.port);
                const std::string peer = c.host + ":" + std::to_string(c.port);
                const auto fromThere = static_cast<std::size_t>(
                    std::count_if(clients.begin(), clients.end(),
                                  [&](const Client& other) { return other.host == c.host; }));
                if (clients.size() >= m_Limits.maxClients) {
                    refuse("SeedLink client " + peer + " refused: " +
                           std::to_string(m_Limits.maxClients) + " clients are served already");
                    continue;
                }
                if (fromThere >= m_Limits.maxPerAddress) {
                    refuse("SeedLink client " + peer + " refused: " + std::to_string(fromThere) +
                           " connections from " + c.host + " already");
                    continue;
                }
                c.fd = std::move(fd);
                c.since = std::chrono::steady_clock::now();
                c.sinceNs = NowNs();
                c.link = std::make_unique<CClientConnection>(m_Ring, m_Who, lister, m_Http);
                // With pages served here, a client is named once it proves to be a SeedLink
                // one: a browser polling the status page would fill the log otherwise.
                c.said = !m_Http;
                clients.push_back(std::move(c));
                m_Clients.store(clients.size());
                if (!m_Http) {
                    log("SeedLink client " + peer + " connected");
                }
            }
        }
    }
    m_Clients.store(0);
    std::lock_guard lock(m_SnapshotMutex);
    m_Snapshot.clear();
}

} // namespace nereid::seedlink
