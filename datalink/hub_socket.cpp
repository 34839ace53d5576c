#include "datalink/hub_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>

namespace nereid::datalink {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 200;

std::chrono::milliseconds Millis(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

} // namespace

std::string SecondsText(double seconds) {
    std::ostringstream text;
    text << std::round(seconds * 10) / 10 << " s";
    return text.str();
}

bool CHubSocket::Connect(const std::string& host, int port, std::string& why) {
    m_Fd.Reset();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        why = "cannot resolve '" + host + "': " + gai_strerror(rc);
        return false;
    }
    why = "no address";
    for (addrinfo* a = found; a != nullptr && !m_Stop(); a = a->ai_next) {
        recording::UniqueFd fd(
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (!fd.Valid()) {
            why = std::string("no socket: ") + std::strerror(errno);
            continue;
        }
        if (connect(fd.Get(), a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            why = std::strerror(errno);
            continue;
        }
        const auto end = Clock::now() + Millis(m_TimeoutSeconds);
        bool done = false;
        while (!m_Stop() && Clock::now() < end) {
            pollfd p{fd.Get(), POLLOUT, 0};
            if (poll(&p, 1, kPollMs) > 0) {
                done = true;
                break;
            }
            if (m_Idle) {
                m_Idle();
            }
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (!done) {
            why = "no answer within " + SecondsText(m_TimeoutSeconds);
            continue;
        }
        if (getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            why = std::strerror(error != 0 ? error : errno);
            continue;
        }
        const int one = 1;
        setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_Fd = std::move(fd);
        break;
    }
    freeaddrinfo(found);
    return m_Fd.Valid();
}

bool CHubSocket::SendAll(const std::string& bytes, std::string& why) {
    std::size_t sent = 0;
    const auto end = Clock::now() + Millis(m_TimeoutSeconds);
    while (sent < bytes.size()) {
        const ssize_t n = send(m_Fd.Get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            why = std::strerror(errno);
            return false;
        }
        if (m_Stop() || Clock::now() >= end) {
            why = "cannot send within " + SecondsText(m_TimeoutSeconds);
            return false;
        }
        pollfd p{m_Fd.Get(), POLLOUT, 0};
        poll(&p, 1, kPollMs);
    }
    return true;
}

bool CHubSocket::AwaitPacket(CReplyReader& reader, SPacket& packet, std::string& why) {
    const auto end = Clock::now() + Millis(m_TimeoutSeconds);
    while (true) {
        const int next = reader.Next(packet);
        if (next == kReaderPacket) {
            return true;
        }
        if (next == kReaderNotDataLink) {
            why = "the hub does not answer in DataLink";
            return false;
        }
        if (m_Stop() || Clock::now() >= end) {
            why = "no answer within " + SecondsText(m_TimeoutSeconds);
            return false;
        }
        pollfd p{m_Fd.Get(), POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = recv(m_Fd.Get(), buffer, sizeof buffer, 0);
        if (n == 0) {
            why = "the hub closed the connection";
            return false;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            why = std::strerror(errno);
            return false;
        }
        if (n > 0) {
            reader.Feed(buffer, static_cast<std::size_t>(n));
        }
    }
}

} // namespace nereid::datalink
