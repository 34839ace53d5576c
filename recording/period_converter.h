#pragma once

#include <string>

namespace nereid::recording {

// What the recorder starts after each period recorded in SEISAN form. Convert must return at
// once: it is called on the receiver thread, which may not stop reading the port.
class CPeriodConverter {
public:
    virtual ~CPeriodConverter() = default;
    // `lastClosedFile` is the full path of the DADiSP file closed last in the period.
    virtual void Convert(const std::string& lastClosedFile) = 0;
};

} // namespace nereid::recording
