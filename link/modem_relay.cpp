#include "link/modem_relay.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace nereid::link {

namespace {

constexpr int kPollMs = 50;
// Bytes from the modem that the link has not taken yet; beyond this they are dropped, as a
// serial port's own buffer overruns.
constexpr std::size_t kMaxBacklog = 64 * 1024;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Writes everything to a non-blocking descriptor, waiting for room at most about a second.
bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t length) {
    std::size_t done = 0;
    int stalls = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++stalls < 100) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 10);
            continue;
        }
        return false;
    }
    return true;
}

} // namespace

bool CNoCarrierScanner::Feed(const std::uint8_t* bytes, std::size_t length) {
    static const std::string kText = "NO CARRIER";
    bool found = false;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(bytes[i]);
        if (c == '\r' || c == '\n') {
            if (!m_Overlong && m_Line == kText)
                found = true;
            m_Line.clear();
            m_Overlong = false;
        } else if (!m_Overlong) {
            m_Line.push_back(c);
            if (m_Line.size() > kText.size()) {
                m_Overlong = true;
                m_Line.clear();
            }
        }
    }
    return found;
}

CModemRelay::~CModemRelay() {
    Stop();
}

int CModemRelay::Start(int modemFd) {
    Stop();
    m_Stop.store(false);
    m_Lost.store(false);
    m_ModemFd = modemFd;
    m_LinkGone = false;
    m_ToLink.clear();
    m_Scanner = CNoCarrierScanner{};
    // The modem's own result line ends with CR LF, so a "NO CARRIER" at the very start of the
    // relayed bytes still counts.
    const std::uint8_t start = '\n';
    m_Scanner.Feed(&start, 1);

    m_Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    if (m_Master < 0 || ::grantpt(m_Master) != 0 || ::unlockpt(m_Master) != 0 ||
        ::ptsname_r(m_Master, name, sizeof name) != 0 || ::pipe2(m_Wake, O_CLOEXEC) != 0) {
        CloseFd(m_Master);
        CloseFd(m_Wake[0]);
        CloseFd(m_Wake[1]);
        return -1;
    }
    const int linkFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (linkFd < 0) {
        CloseFd(m_Master);
        CloseFd(m_Wake[0]);
        CloseFd(m_Wake[1]);
        return -1;
    }
    // Raw, and at the modem's rate, so that the link sees the line settings it would have seen
    // on the device itself.
    termios t{};
    if (::tcgetattr(linkFd, &t) == 0) {
        ::cfmakeraw(&t);
        termios modem{};
        if (::tcgetattr(modemFd, &modem) == 0) {
            ::cfsetispeed(&t, ::cfgetispeed(&modem));
            ::cfsetospeed(&t, ::cfgetospeed(&modem));
        }
        ::tcsetattr(linkFd, TCSANOW, &t);
    }
    int bits = 0;
    m_HaveCarrierSignal = ::ioctl(modemFd, TIOCMGET, &bits) == 0;
    m_CarrierSeen = m_HaveCarrierSignal && (bits & TIOCM_CD) != 0;
    m_Thread = std::thread([this] { Run(); });
    return linkFd;
}

void CModemRelay::Stop() {
    if (m_Thread.joinable()) {
        m_Stop.store(true);
        const char wake = 1;
        if (::write(m_Wake[1], &wake, 1) < 0) {
            // The thread also looks at the stop flag after every poll time-out.
        }
        m_Thread.join();
    }
    CloseFd(m_Master);
    CloseFd(m_Wake[0]);
    CloseFd(m_Wake[1]);
    m_ModemFd = -1;
}

bool CModemRelay::CarrierDropped() {
    if (!m_HaveCarrierSignal)
        return false;
    int bits = 0;
    if (::ioctl(m_ModemFd, TIOCMGET, &bits) != 0)
        return false;
    if ((bits & TIOCM_CD) != 0) {
        m_CarrierSeen = true;
        return false;
    }
    // A cable without the DCD wire never shows it: only a carrier once seen can drop.
    return m_CarrierSeen;
}

bool CModemRelay::PumpFromModem() {
    std::uint8_t buffer[1024];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::read(m_ModemFd, buffer, sizeof buffer);
        if (n == 0)
            return true; // a terminal set to VMIN 0, VTIME 0 reads nothing this way
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        const auto count = static_cast<std::size_t>(n);
        if (m_Scanner.Feed(buffer, count))
            return false;
        if (!m_LinkGone && m_ToLink.size() + count <= kMaxBacklog)
            m_ToLink.insert(m_ToLink.end(), buffer, buffer + count);
    }
    return true;
}

void CModemRelay::FlushToLink() {
    while (!m_ToLink.empty() && !m_LinkGone) {
        const ssize_t n = ::write(m_Master, m_ToLink.data(), m_ToLink.size());
        if (n > 0) {
            m_ToLink.erase(m_ToLink.begin(), m_ToLink.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            m_LinkGone = true;
        return;
    }
}

void CModemRelay::PumpToModem() {
    std::uint8_t buffer[1024];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::read(m_Master, buffer, sizeof buffer);
        if (n > 0) {
            if (!WriteAll(m_ModemFd, buffer, static_cast<std::size_t>(n)))
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EIO: the link closed its end. It is not opened again; the call is still watched.
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            m_LinkGone = true;
            m_ToLink.clear();
        }
        return;
    }
}

void CModemRelay::Run() {
    while (!m_Stop.load()) {
        pollfd p[3] = {{m_ModemFd, POLLIN, 0}, {m_Wake[0], POLLIN, 0}, {m_Master, 0, 0}};
        nfds_t count = 2;
        if (!m_LinkGone) {
            p[2].events = static_cast<short>(POLLIN | (m_ToLink.empty() ? 0 : POLLOUT));
            count = 3;
        }
        const int ready = ::poll(p, count, kPollMs);
        if (m_Stop.load())
            break;
        if (ready < 0 && errno != EINTR)
            break;
        // A hang-up of the device itself (a modem port whose DCD dropped without CLOCAL, an
        // adapter unplugged) shows as POLLHUP or POLLERR.
        if (ready > 0 && ((p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) ||
                          ((p[0].revents & POLLIN) && !PumpFromModem()))) {
            m_Lost.store(true);
            break;
        }
        if (count == 3 && (p[2].revents & (POLLIN | POLLHUP | POLLERR)))
            PumpToModem();
        FlushToLink();
        if (CarrierDropped()) {
            m_Lost.store(true);
            break;
        }
    }
}

} // namespace nereid::link
