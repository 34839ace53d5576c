#include "link/serial_link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "link/frame_codec.h"

namespace nereid::link {

namespace {

bool BaudToSpeed(std::uint32_t baud, speed_t& speed) {
    switch (baud) {
    case 300:
        speed = B300;
        return true;
    case 600:
        speed = B600;
        return true;
    case 1200:
        speed = B1200;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    case 230400:
        speed = B230400;
        return true;
    default:
        return false;
    }
}

// Applies byte size, parity code and stop-bit code; false for a code outside the tables.
bool ApplyFraming(termios& t, int parity, int stopBits, int byteSize) {
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    switch (byteSize) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    case 8:
        t.c_cflag |= CS8;
        break;
    default:
        return false;
    }
    switch (parity) {
    case kParityNone:
        break;
    case kParityOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case kParityEven:
        t.c_cflag |= PARENB;
        break;
#ifdef CMSPAR
    case kParityMark:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case kParitySpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
#endif
    default:
        return false;
    }
    if (parity != kParityNone) {
        t.c_iflag |= INPCK;
    }
    switch (stopBits) {
    case kStopBitsOne:
        break;
    // POSIX has no 1.5 stop bits; a UART given two stop bits with 5-bit bytes sends 1.5.
    case kStopBitsOneAndHalf:
    case kStopBitsTwo:
        t.c_cflag |= CSTOPB;
        break;
    default:
        return false;
    }
    return true;
}

// Reads return at once with what has arrived, like a port with "return immediately" time-outs;
// the wait for the first byte is done with poll.
void SetImmediateReads(termios& t) {
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CSerialLink::CSerialLink() : m_Clock(SteadyMilliseconds) {}

CSerialLink::~CSerialLink() {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    CloseLocked();
}

int CSerialLink::Open(const std::string& path, std::uint32_t baud, int parity, int stopBits,
                      int byteSize) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    CloseLocked();
    speed_t speed{};
    if (!BaudToSpeed(baud, speed)) {
        return -1;
    }
    termios check{};
    if (!ApplyFraming(check, parity, stopBits, byteSize)) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return -1;
    }
    // Raw bytes: no line editing, no translation, no software flow control (XON/XOFF values
    // occur in frames). Hardware flow control stays as the driver has it.
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    ApplyFraming(t, parity, stopBits, byteSize);
    SetImmediateReads(t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        ::close(fd);
        return -1;
    }
#ifdef TIOCEXCL
    // No sharing: while the link holds the port, a further open by anyone but root fails with
    // EBUSY. Set last, so that a failed Open leaves no exclusive mode behind.
    ::ioctl(fd, TIOCEXCL);
#endif
    m_Fd = fd;
    m_Settings = t;
    m_PortName = path;
    return 1;
}

int CSerialLink::SetBaud(const std::string& path, std::uint32_t baud) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    if (m_Fd < 0) {
        Open(path, 9600, kParityNone, kStopBitsOne, 8);
        return -1;
    }
    speed_t speed{};
    if (!BaudToSpeed(baud, speed)) {
        return -3;
    }
    termios t = m_Settings;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (::tcsetattr(m_Fd, TCSANOW, &t) != 0) {
        return -3;
    }
    m_Settings = t;
    return 1;
}

int CSerialLink::AttachModemPort(int fd, const std::string& portName) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    CloseLocked();
    if (fd < 0) {
        return 0;
    }
    m_Fd = fd;
    m_PortName = portName;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        // Rate and framing stay as the modem driver set them; only the read time-outs change.
        SetImmediateReads(t);
        ::tcsetattr(fd, TCSANOW, &t);
        m_Settings = t;
    }
    if (m_ModemAttached) {
        m_ModemAttached(2, "Connected " + portName);
    }
    return 0;
}

int CSerialLink::Close() {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    CloseLocked();
    return 0;
}

void CSerialLink::CloseLocked() {
    if (m_Fd >= 0) {
#ifdef TIOCNXCL
        // The exclusive mode outlives this descriptor while others hold the device open;
        // release it so that the port can be opened again.
        ::ioctl(m_Fd, TIOCNXCL);
#endif
        ::close(m_Fd);
        m_Fd = -1;
    }
    m_PortName.clear();
}

bool CSerialLink::IsOpen() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return PortIsOpen();
}

std::string CSerialLink::PortName() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return m_PortName;
}

bool CSerialLink::PortIsOpen() const {
    return m_Fd >= 0;
}

std::size_t CSerialLink::PortRead(std::uint8_t* buffer, std::size_t capacity, int waitMs) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t n = ::read(m_Fd, buffer, capacity);
        if (n > 0) {
            return static_cast<std::size_t>(n);
        }
        // A terminal set to VMIN 0, VTIME 0 answers "nothing yet" with 0, not EAGAIN; the wait
        // is poll's either way.
        if ((n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) || waitMs <= 0 || attempt > 0) {
            return 0;
        }
        pollfd p{m_Fd, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0 || (p.revents & POLLIN) == 0) {
            return 0;
        }
    }
    return 0;
}

int CSerialLink::WaitForData(int timeoutMs, int wakeFd) {
    int fd = -1;
    int wait = std::clamp(timeoutMs, 0, kMaxReadWaitMs);
    {
        std::lock_guard<std::recursive_mutex> lock(m_PortLock);
        if (m_ScanIndex < m_WriteIndex || !m_Held.empty()) {
            return 1;
        }
        if (m_Pending || (PortIsOpen() && m_Fd < 0)) {
            // A frame waits for its reader, or the port is not a descriptor (a memory port of
            // the tests and benchmarks): look again in a millisecond, as before.
            wait = std::min(wait, 1);
        } else if (PortIsOpen()) {
            fd = m_Fd;
        }
    }
    // Without the port lock: a sheet may use the port meanwhile. Should the port be closed
    // and its number reused by then, the wait ends early or late by at most `timeoutMs`.
    pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(p, 2, wait);
    return ready > 0 ? 1 : 0;
}

int CSerialLink::PortWrite(const std::uint8_t* bytes, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_Fd, bytes + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The descriptor is non-blocking for reads; a write waits for room without limit.
            pollfd p{m_Fd, POLLOUT, 0};
            const int rc = ::poll(&p, 1, -1);
            if (rc < 0 && errno != EINTR) {
                return -1;
            }
            if (rc > 0 && (p.revents & (POLLERR | POLLNVAL)) != 0) {
                return -1;
            }
            continue;
        }
        return -1;
    }
    return static_cast<int>(done);
}

void CSerialLink::Purge() {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    if (!PortIsOpen()) {
        return;
    }
    m_WriteIndex = 0;
    m_ScanIndex = 0;
    m_StartIndex = -1;
    m_EndIndex = 0;
    m_Pending = false;
    m_Held.clear();
    if (m_Fd >= 0) {
        ::tcflush(m_Fd, TCIFLUSH);
    }
}

int CSerialLink::WriteRaw(const std::uint8_t* bytes, std::size_t length) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    if (!PortIsOpen()) {
        return 0;
    }
    if (length == 0) {
        return 0;
    }
    return PortWrite(bytes, length);
}

void CSerialLink::Unlock() {
    m_PortLock.unlock();
}

void CSerialLink::Lock() {
    m_PortLock.lock();
}

void CSerialLink::MarkSent() {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    m_FrameSent = true;
}

void CSerialLink::SendControl(std::uint8_t type) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    if (!PortIsOpen()) {
        return;
    }
    m_Transmit[0] = kFrameStart;
    m_Transmit[1] = type;
    m_Transmit[2] = kFrameEnd;
    m_LastFrameLength = 3;
    m_FrameSent = true;
    PortWrite(m_Transmit.data(), 3);
}

void CSerialLink::SendAck() {
    SendControl(kAckType);
}

void CSerialLink::SendNak() {
    SendControl(kNakType);
}

void CSerialLink::SetModemAttachedListener(ModemAttachedListener listener) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    m_ModemAttached = std::move(listener);
}

void CSerialLink::SetReadWaitMs(int ms) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    m_ReadWaitMs = std::clamp(ms, 0, kMaxReadWaitMs);
}

void CSerialLink::SetClock(MillisecondClock clock) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    m_Clock = clock ? std::move(clock) : MillisecondClock(SteadyMilliseconds);
}

} // namespace nereid::link
