#pragma once

#include <functional>
#include <string>

#include "datalink/datalink_packet.h"
#include "recording/unique_fd.h"

namespace nereid::datalink {

// "2.5 s": seconds for the operator, to a tenth.
std::string SecondsText(double seconds);

// One TCP connection to a hub for a client's thread, non-blocking underneath. Every wait polls
// at most 200 ms at a time, gives up when `stop` says so or after the timeout, and calls
// `idle` (may be empty) while it waits to connect.
class CHubSocket {
public:
    CHubSocket(double timeoutSeconds, std::function<bool()> stop, std::function<void()> idle)
        : m_TimeoutSeconds(timeoutSeconds), m_Stop(std::move(stop)), m_Idle(std::move(idle)) {}

    // Resolves `host` and connects to the first address that answers. False with `why`.
    bool Connect(const std::string& host, int port, std::string& why);
    // Sends every byte. False with `why`.
    bool SendAll(const std::string& bytes, std::string& why);
    // Reads until `reader` holds a whole packet. False with `why`.
    bool AwaitPacket(CReplyReader& reader, SPacket& packet, std::string& why);

    int Get() const { return m_Fd.Get(); }
    void Close() { m_Fd.Reset(); }

private:
    double m_TimeoutSeconds;
    std::function<bool()> m_Stop;
    std::function<void()> m_Idle;
    recording::UniqueFd m_Fd;
};

} // namespace nereid::datalink
