#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace nereid::link {

// Finds the modem's "NO CARRIER" result among the bytes of a standing call. Only a whole line
// counts (CR or LF on both sides), so a frame whose bytes happen to spell it in the middle of
// other bytes is not taken for it.
class CNoCarrierScanner {
public:
    // Returns true when the bytes complete a "NO CARRIER" line.
    bool Feed(const std::uint8_t* bytes, std::size_t length);

private:
    std::string m_Line;
    // The current line cannot be a result line: too long, or begun before the first CR or LF.
    bool m_Overlong = true;
};

// Watches a standing modem call while the instrument link uses its line. The link gets one end
// of a pseudo-terminal; a thread moves the bytes between it and the modem device and meanwhile
// looks for the end of the call: the carrier-detect signal dropping (TIOCMGET, where the port
// has modem signals), the "NO CARRIER" text (a line without them, such as a pseudo-terminal),
// or the device failing. The thread shares only atomics with its owner.
class CModemRelay {
public:
    CModemRelay() = default;
    ~CModemRelay();
    CModemRelay(const CModemRelay&) = delete;
    CModemRelay& operator=(const CModemRelay&) = delete;

    // Starts relaying for `modemFd` (not owned, kept open by the caller until Stop). Returns
    // the descriptor of the link's end, which the caller then owns, or -1 when no
    // pseudo-terminal can be made.
    int Start(int modemFd);
    // Ends the relay and closes its end; bytes still in flight are dropped. Idempotent.
    void Stop();
    bool Running() const { return m_Thread.joinable(); }
    bool CarrierLost() const { return m_Lost.load(); }

private:
    void Run();
    bool CarrierDropped();
    bool PumpFromModem();
    void PumpToModem();
    void FlushToLink();

    int m_ModemFd = -1;
    int m_Master = -1;
    int m_Wake[2] = {-1, -1};
    bool m_LinkGone = false;
    bool m_HaveCarrierSignal = false; // the port reports modem signals
    bool m_CarrierSeen = false;       // DCD has been on during this call
    CNoCarrierScanner m_Scanner;
    std::vector<std::uint8_t> m_ToLink;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Lost{false};
    std::thread m_Thread;
};

} // namespace nereid::link
