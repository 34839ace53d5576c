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
    // A second descriptor of the open line for the instrument link, which then owns it;
    // -1 when the line is closed or the descriptor cannot be duplicated.
    virtual int DuplicateHandle() = 0;
    // Closes the line; on a real device this drops DTR, which hangs up a modem set to &D2.
    virtual void Close() = 0;
};

} // namespace nereid::link
