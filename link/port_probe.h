#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace nereid::link {

class CSerialLink;

// The ports that opened during the start-up probe, in probe order; they fill the port list of
// the connection dialogs.
struct PortTable {
    static constexpr std::size_t kCapacity = 16;
    std::array<std::string, kCapacity> names;
    int count = 0;
};

// Finds the serial ports of this machine and tries each with the link.
class CPortProbe {
public:
    // Candidate device paths, in probe order: first the colon-separated paths of
    // `extraPorts` (the value of NEREID_PORTS; null or empty adds none), then the
    // devDir/ttyS* that answer termios as real ports, then devDir/ttyUSB* and devDir/ttyACM*,
    // each group in numeric order. A path named twice is listed once.
    static std::vector<std::string> Candidates(const char* extraPorts,
                                               const std::string& devDir = "/dev");

    // Tries every candidate (NEREID_PORTS from the environment, then /dev) with Open at
    // 9600 baud, no parity, one stop bit, 8 data bits, and stores each that opened until the
    // table holds 16. Because each Open closes the previous port, the last port that opened
    // stays open in the link. Returns the count stored.
    static int Probe(CSerialLink& link, PortTable& table);
    // The same over an explicit candidate list.
    static int ProbeCandidates(CSerialLink& link, const std::vector<std::string>& candidates,
                               PortTable& table);
};

} // namespace nereid::link
