#include "link/port_probe.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

#include <cstdlib>

#include "link/serial_link.h"

namespace nereid::link {

namespace {

// Names devDir/<prefix><digits>, in numeric order (ttyS2 before ttyS10).
std::vector<std::string> NumberedDevices(const std::string& devDir, const std::string& prefix) {
    std::vector<std::pair<unsigned long, std::string>> found;
    DIR* dir = ::opendir(devDir.c_str());
    if (dir == nullptr) {
        return {};
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string digits = name.substr(prefix.size());
        if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) != 0;
            })) {
            continue;
        }
        found.emplace_back(std::stoul(digits), devDir + "/" + name);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& f : found) {
        paths.push_back(std::move(f.second));
    }
    return paths;
}

// Most machines have /dev/ttyS0..31 whether or not a UART sits behind them; only a port that
// answers termios and reports a known UART type counts.
bool IsRealSerialPort(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    termios t{};
    bool real = ::tcgetattr(fd, &t) == 0;
#if defined(__linux__) && defined(TIOCGSERIAL)
    if (real) {
        serial_struct info{};
        if (::ioctl(fd, TIOCGSERIAL, &info) == 0) {
            real = info.type != PORT_UNKNOWN;
        }
    }
#endif
    ::close(fd);
    return real;
}

} // namespace

std::vector<std::string> CPortProbe::Candidates(const char* extraPorts, const std::string& devDir) {
    std::vector<std::string> candidates;
    auto add = [&candidates](const std::string& path) {
        if (!path.empty() &&
            std::find(candidates.begin(), candidates.end(), path) == candidates.end()) {
            candidates.push_back(path);
        }
    };
    if (extraPorts != nullptr) {
        const std::string list = extraPorts;
        std::size_t from = 0;
        while (from <= list.size()) {
            const std::size_t colon = std::min(list.find(':', from), list.size());
            add(list.substr(from, colon - from));
            from = colon + 1;
        }
    }
    for (const std::string& path : NumberedDevices(devDir, "ttyS")) {
        if (IsRealSerialPort(path)) {
            add(path);
        }
    }
    for (const std::string& path : NumberedDevices(devDir, "ttyUSB")) {
        add(path);
    }
    for (const std::string& path : NumberedDevices(devDir, "ttyACM")) {
        add(path);
    }
    return candidates;
}

int CPortProbe::ProbeCandidates(CSerialLink& link, const std::vector<std::string>& candidates,
                                PortTable& table) {
    table = PortTable{};
    for (const std::string& path : candidates) {
        if (static_cast<std::size_t>(table.count) >= PortTable::kCapacity) {
            break;
        }
        if (link.Open(path, 9600, kParityNone, kStopBitsOne, 8) == 1) {
            table.names[static_cast<std::size_t>(table.count++)] = path;
        }
    }
    // A failed Open closes the port before it; reopen the last port that opened so that it
    // is the one left open, whatever failed after it.
    if (table.count > 0) {
        const std::string& last = table.names[static_cast<std::size_t>(table.count - 1)];
        if (!link.IsOpen() || link.PortName() != last) {
            // A port gone since it was tried stays in the table; the link is then closed.
            link.Open(last, 9600, kParityNone, kStopBitsOne, 8);
        }
    }
    return table.count;
}

int CPortProbe::Probe(CSerialLink& link, PortTable& table) {
    return ProbeCandidates(link, Candidates(std::getenv("NEREID_PORTS")), table);
}

} // namespace nereid::link
