#pragma once

#include "link/port_control.h"
#include "link/serial_link.h"

namespace nereid::link {

// CPortControl over a CSerialLink.
class CSerialPortControl : public CPortControl {
public:
    explicit CSerialPortControl(CSerialLink& link) : m_Link(link) {}
    int Open(const std::string& path, std::uint32_t baud) override {
        return m_Link.Open(path, baud, kParityNone, kStopBitsOne, 8);
    }
    int SetBaud(const std::string& path, std::uint32_t baud) override {
        return m_Link.SetBaud(path, baud);
    }

private:
    CSerialLink& m_Link;
};

} // namespace nereid::link
