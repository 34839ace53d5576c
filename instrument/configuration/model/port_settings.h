#pragma once

#include <cstdint>

namespace nereid::instrument {

// Number of serial ports of the recorder: Local, Main and three PC-card slots.
constexpr int kPortCount = 5;

// Baud rates by list position (bits 1..3 of a port word).
constexpr int kBaudRates[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
// Protocol list (bits 8..10) and data format list (bits 11..14), in list order.
constexpr const char* kProtocolNames[3] = {"LLCP", "ALCP", "HLCP"};
constexpr const char* kFormatNames[3] = {"Data TX Disabled", "HLCP", "USGS/IASPEI"};
constexpr int kHlcpProtocol = 2;
constexpr int kHlcpFormat = 1;

// The settings of one serial port as a port word carries them. Positions are list positions;
// -1 is an unselected combo box. A decoded position may lie past its list (a recorder may
// hold values this program has no name for); it is then kept as it is.
struct PortSettings {
    bool data = false;            // bit 0
    int baud = -1;                // bits 1..3
    bool txAckNak = false;        // bit 4
    bool rxAckNak = false;        // bit 5
    bool commandResponse = false; // bit 6
    bool unsolicited = false;     // bit 7
    int protocol = -1;            // bits 8..10
    int format = -1;              // bits 11..14
    bool bit15 = false;           // bit 15, as received

    bool operator==(const PortSettings&) const = default;
};

PortSettings DecodePortWord(std::uint16_t word);
// Builds bits 0..14 from the settings (positions masked to their bit widths) and bit 15 from
// `bit15`.
std::uint16_t EncodePortWord(const PortSettings& settings, bool bit15);

// Baud rate of a list position, or 0 for a position outside the list.
int BaudOfPosition(int position);

} // namespace nereid::instrument
