#pragma once

#include "link/modem_line.h"
#include "link/modem_relay.h"

namespace nereid::link {

// A modem on a POSIX terminal device (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, a pseudo-terminal),
// set to raw 8N1 at 57600 baud with hang-up on close. A connected call reaches the link through
// a relay that watches the carrier (CModemRelay).
class CTtyModemLine : public CModemLine {
public:
    CTtyModemLine() = default;
    ~CTtyModemLine() override;
    CTtyModemLine(const CTtyModemLine&) = delete;
    CTtyModemLine& operator=(const CTtyModemLine&) = delete;

    int Open(const std::string& device) override;
    bool IsOpen() const override { return m_Fd >= 0; }
    int Write(const std::uint8_t* bytes, std::size_t length) override;
    int Read(std::uint8_t* bytes, std::size_t capacity) override;
    int DuplicateHandle() override;
    bool CarrierLost() const override { return m_Relay.CarrierLost(); }
    void Reclaim() override { m_Relay.Stop(); }
    void Close() override;

private:
    int m_Fd = -1;
    CModemRelay m_Relay;
};

} // namespace nereid::link
