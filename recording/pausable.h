#pragma once

namespace nereid::recording {

// The pause handshake of the receiver thread, seen from whoever rebuilds what it reads.
class CPausable {
public:
    virtual ~CPausable() = default;
    // Asks the thread to park at the top of its loop and waits until it has. Returns 1 when
    // parked (or when there is no running thread), a negative value when the wait failed.
    virtual int Park() = 0;
    // Lets a parked thread continue.
    virtual void Resume() = 0;
};

} // namespace nereid::recording
