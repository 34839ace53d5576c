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
    // Waits until every conversion asked for has ended or been given up at its own time limit,
    // at most timeoutMs. Returns true when nothing is left. A converter that runs nothing in
    // the background has nothing to wait for.
    virtual bool WaitIdle(int /*timeoutMs*/) { return true; }
};

} // namespace nereid::recording
