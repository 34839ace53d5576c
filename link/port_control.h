#pragma once

#include <cstdint>
#include <string>

namespace nereid::link {

// Opening and re-timing the port, as the connection search needs it. CSerialPortControl is the
// real one; tests put a fake in its place.
class CPortControl {
public:
    virtual ~CPortControl() = default;
    // Opens `path` at `baud`, 8 data bits, no parity, one stop bit. Returns 1 or -1.
    virtual int Open(const std::string& path, std::uint32_t baud) = 0;
    // Applies `baud` to the open port: 1; a closed port is opened at 9600 instead: -1.
    virtual int SetBaud(const std::string& path, std::uint32_t baud) = 0;
};

} // namespace nereid::link
