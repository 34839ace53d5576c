#pragma once

#include <atomic>
#include <cstdint>

namespace nereid::recording {

// What the real-time intake drives while PC recording is on. The intake (receiver thread)
// calls WriteSecond and sets the seconds and the unit number; the user-interface thread may
// set StopRecording at any time, so every member shared with it is atomic.
class CSecondSink {
public:
    virtual ~CSecondSink() = default;

    // Stores one second of one channel: `bytes` = rate x 4 bytes of samples. `progress` is set
    // to the recording progress 0..100 of the current period, or -1 when there is none.
    // Returns 1 on success, 0 or a negative code when the second could not be stored.
    virtual int WriteSecond(int channel, const std::int32_t* samples, int bytes,
                            int& progress) = 0;
    // The same with the row's own UTC second and whether the intake made the row up to fill
    // a gap (zeros, no frame received). Sinks that keep exact times override it.
    virtual int WriteSecondAt(int channel, std::uint32_t /*second*/, bool /*gapRow*/,
                              const std::int32_t* samples, int bytes, int& progress) {
        return WriteSecond(channel, samples, bytes, progress);
    }

    // Set to close every open file at the next frame (a stop, or a jump of 120 s or more).
    std::atomic<bool> StopRecording{false};
    // First second of the current recording; 0 until the intake sets it.
    std::atomic<std::uint32_t> m_SecondFrom1970{0};
    // The second being written; the intake moves it one by one, gap rows included.
    std::atomic<std::uint32_t> m_CurrentSecondFrom1970{0};
    // Unit number of the latest data frame; its last three decimal digits go into file names.
    std::atomic<std::uint16_t> m_UnitNumber{0};
};

} // namespace nereid::recording
