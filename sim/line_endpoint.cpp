#include "sim/line_endpoint.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace nereid::sim {

namespace {

speed_t BaudConstant(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

} // namespace

LineEndpoint::~LineEndpoint() {
    RemoveLink();
    if (m_Fd >= 0)
        ::close(m_Fd);
}

void LineEndpoint::RemoveLink() {
    if (m_LinkPath.empty())
        return;
    struct stat st {};
    // Only our own symlink goes: the path may have been taken over meanwhile.
    if (::lstat(m_LinkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(m_LinkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_SlavePath)
            ::unlink(m_LinkPath.c_str());
    }
    m_LinkPath.clear();
}

int LineEndpoint::OpenPty(const std::string& linkPath, std::string& why) {
    m_Fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_Fd < 0 || ::grantpt(m_Fd) != 0 || ::unlockpt(m_Fd) != 0) {
        why = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return -1;
    }
    char name[256];
    if (::ptsname_r(m_Fd, name, sizeof name) != 0) {
        why = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return -1;
    }
    m_SlavePath = name;
    m_IsPty = true;
    // Termios requests on the master act on the slave: raw, so that the PC's bytes are not
    // echoed back and no byte value is special.
    termios t{};
    if (::tcgetattr(m_Fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m_Fd, TCSANOW, &t);
    }
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            why = linkPath + " exists and is not a symlink; not replaced";
            return -1;
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(m_SlavePath.c_str(), linkPath.c_str()) != 0) {
        why = "cannot create the symlink " + linkPath + ": " + std::strerror(errno);
        return -1;
    }
    m_LinkPath = linkPath;
    return 1;
}

int LineEndpoint::OpenDevice(const std::string& path, int baud, std::string& why) {
    m_Fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_Fd < 0) {
        why = "cannot open " + path + ": " + std::strerror(errno);
        return -1;
    }
    termios t{};
    if (::tcgetattr(m_Fd, &t) != 0) {
        why = path + " is not a serial device: " + std::strerror(errno);
        return -1;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    ::cfsetispeed(&t, BaudConstant(baud));
    ::cfsetospeed(&t, BaudConstant(baud));
    if (::tcsetattr(m_Fd, TCSANOW, &t) != 0) {
        why = "cannot set up " + path + ": " + std::strerror(errno);
        return -1;
    }
    m_SlavePath = path;
    return 1;
}

long LineEndpoint::Read(std::uint8_t* buffer, std::size_t capacity) {
    const ssize_t n = ::read(m_Fd, buffer, capacity);
    if (n > 0)
        return n;
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return 0;
    // EIO on a master whose slave nobody holds; 0 at the end of a device.
    return -1;
}

long LineEndpoint::Write(const std::uint8_t* bytes, std::size_t length) {
    const ssize_t n = ::write(m_Fd, bytes, length);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    return -1;
}

} // namespace nereid::sim
