#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "recording/bcd_time.h"
#include "recording/rt_channel.h"

namespace nereid::recording {

// Acquisition states shown in the status bar.
enum AcquisitionState : int {
    kAcquisitionUnknown = 0, // not connected, or not yet known
    kAcquisitionIdle = 1,
    kAcquiring = 2,
    kRecordingStopped = 3,
};

// Value of the restart second while the gate is armed: the next frame only records its second.
constexpr std::uint32_t kRestartArmed = 1;

// State shared by the receiver thread, the recorder and the user-interface thread. Flags that
// another thread sets are atomic; the time stamps are written by the receiver thread only and
// read by the displays as they lie, like the rings.
struct CIntakeState {
    // Second of the reference channel's latest frame; 0 means no data since the last reset.
    std::atomic<std::uint32_t> m_LastSecond{0};
    // Ring row (0..119) of the reference channel's latest frame: the displays' time cursor.
    std::atomic<int> m_CurIndex{0};
    // Time label of each ring row.
    std::array<BcdTime, kRingRows> m_TimeStamps{};

    std::atomic<bool> m_bRecording{false}; // PC recording runs
    std::atomic<bool> m_bConnected{false}; // an instrument is connected

    std::atomic<int> m_AcquisitionState{kAcquisitionUnknown};
    std::atomic<int> m_IdleCounter{0}; // loop passes since the last data frame

    // kRestartArmed, or the second at which recording was last re-armed. Frames of that second
    // are ignored; an armed gate takes the next frame's second and ignores that frame.
    std::atomic<std::uint32_t> m_RestartSecond{kRestartArmed};
    // Recording is to be (re)started at the next new second.
    std::atomic<bool> m_bResumePending{false};
    // Last value given to the recording progress bar (0..100).
    std::atomic<int> m_LastProgress{0};
    // False while the real-time display is stopped: frames are read and dropped, and the rings
    // are cleared at the next data frame.
    std::atomic<bool> m_bIntakeEnabled{true};
};

} // namespace nereid::recording
