#pragma once

#include <cstdint>

namespace nereid::recording {

// Watches what the intake stores, on the receiver thread (the command-line tool counts frames
// with it). Calls must be quick: they run inside the data path.
class CIntakeObserver {
public:
    virtual ~CIntakeObserver() = default;
    // A frame of `channel` for `second` was stored in a ring row of `count` samples.
    virtual void OnFrameStored(int channel, std::uint32_t second, const std::int32_t* samples,
                               int count) = 0;
    // A missing second of `channel` was filled with a zero row.
    virtual void OnGapRow(int channel, std::uint32_t second) = 0;
};

} // namespace nereid::recording
