#include "link/tty_modem_line.h"

#include <cerrno>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace nereid::link {

CTtyModemLine::~CTtyModemLine() {
    Close();
}

int CTtyModemLine::Open(const std::string& device) {
    Close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        return -1;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | HUPCL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    // The computer-to-modem rate; the line rate is negotiated by the modems (9600 and up).
    ::cfsetispeed(&tio, B57600);
    ::cfsetospeed(&tio, B57600);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return -1;
    }
    ::tcflush(fd, TCIOFLUSH);
    m_Fd = fd;
    return 1;
}

int CTtyModemLine::Write(const std::uint8_t* bytes, std::size_t length) {
    if (m_Fd < 0)
        return 0;
    std::size_t done = 0;
    int stalls = 0;
    while (done < length) {
        const ssize_t n = ::write(m_Fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Commands are a few dozen bytes; a modem that takes none for 1 s has failed.
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && ++stalls < 100) {
            ::usleep(10000);
            continue;
        }
        return -1;
    }
    return static_cast<int>(done);
}

int CTtyModemLine::Read(std::uint8_t* bytes, std::size_t capacity) {
    if (m_Fd < 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_Fd, bytes, capacity);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

int CTtyModemLine::DuplicateHandle() {
    if (m_Fd < 0)
        return -1;
    const int relayed = m_Relay.Start(m_Fd);
    if (relayed >= 0)
        return relayed;
    // Without a pseudo-terminal the link reads the device itself; the call is then not
    // watched, as before.
    return ::fcntl(m_Fd, F_DUPFD_CLOEXEC, 0);
}

void CTtyModemLine::Close() {
    m_Relay.Stop();
    if (m_Fd >= 0) {
        ::close(m_Fd);
        m_Fd = -1;
    }
}

} // namespace nereid::link
