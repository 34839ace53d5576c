#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::link {

// The serial line to a Hayes modem as the dialler uses it: raw bytes, reads that never block.
class CModemLine {
public:
    virtual ~CModemLine() = default;

    // Opens the device. Returns 1, or -1 when it cannot be opened or set up.
    virtual int Open(const std::string& device) = 0;
    virtual bool IsOpen() const = 0;
    // Returns the count written, 0 when closed, -1 when the write fails.
    virtual int Write(const std::uint8_t* bytes, std::size_t length) = 0;
    // Returns the count read, 0 when nothing is waiting or the line is closed, -1 on failure.
    virtual int Read(std::uint8_t* bytes, std::size_t capacity) = 0;
    // A descriptor of the open line for the instrument link, which then owns it; -1 when the
    // line is closed or no descriptor can be made. From now on the line watches the call (see
    // CarrierLost) until Reclaim or Close.
    virtual int DuplicateHandle() = 0;
    // True once the call handed over by DuplicateHandle is lost: the carrier-detect signal
    // dropped where the port has one, the modem said "NO CARRIER", or the line failed.
    virtual bool CarrierLost() const { return false; }
    // Ends the hand-over: the dialler reads the modem's answers itself again (hang-up).
    virtual void Reclaim() {}
    // Closes the line; on a real device this drops DTR, which hangs up a modem set to &D2.
    virtual void Close() = 0;
};

} // namespace nereid::link
