#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "link/answer_records.h"
#include "link/instrument_link.h"
#include "recording/intake.h"
#include "recording/intake_events.h"
#include "recording/intake_state.h"
#include "recording/pausable.h"
#include "recording/unique_fd.h"

namespace nereid::link {

// Polls of the loop without a data frame after which a connected instrument counts as idle.
constexpr int kIdlePolls = 12;
// Longest sleep of the loop between two passes when nothing arrives, in ms: the port wakes it
// as soon as bytes come, and Park and Stop wake it at once.
constexpr int kIdleWaitMs = 250;
// While acquiring, a stream also has to be quiet this long before it counts as idle: frames
// come in one burst per recorder second, and a dozen polls last only some milliseconds.
constexpr std::int64_t kIdleQuietMs = 2500;

// The worker that polls the link for real-time data frames for the life of the main window.
// It hands each data frame to the intake, leaves answers pending for the sheets, and reports
// through posted messages. It parks only at the top of its loop, so it never holds the port
// lock while parked.
class CReceiverThread : public recording::CPausable {
public:
    CReceiverThread(CInstrumentLink& link, recording::CRealTimeIntake& intake,
                    recording::CIntakeState& state, recording::CIntakeEvents& events);
    ~CReceiverThread() override; // Stop()
    CReceiverThread(const CReceiverThread&) = delete;
    CReceiverThread& operator=(const CReceiverThread&) = delete;

    // Starts the thread. Returns 1, 0 when it already runs, -1 when it could not be created.
    int Start();
    // Parks the thread, then ends it cooperatively and joins it. Returns 1 (also when it was
    // not running), or -1 when parking failed (the thread had already ended on its own).
    int Stop();

    // Sets the pause request and waits, without a time limit, until the thread has parked.
    // Returns 1 when parked or when no thread runs (nothing to wait for), -1 when the thread
    // ended while we waited.
    int Park() override;
    // Lets the parked thread continue.
    void Resume() override;

    bool Running() const { return m_Running.load(); }
    bool Parked() const;

    // One pass of the loop body after the pause check: read, classify, data path, idle
    // counting. The thread calls it; tests call it directly on a thread of their own.
    void RunOnePass();

    // Milliseconds of a monotonic clock, for the quiet time of an acquiring stream; tests put
    // their own in place before the first pass.
    using MillisecondClock = std::function<std::int64_t()>;
    void SetClock(MillisecondClock clock);

    // The longest sleep between passes when nothing arrives (kIdleWaitMs; tests lengthen it
    // to see that data and pause requests end it). Set before Start.
    void SetIdleWaitMs(int ms) { m_IdleWaitMs = ms; }

    // Passes made since start (for tests and diagnostics).
    std::uint64_t Passes() const { return m_Passes.load(); }

private:
    void Loop();
    void ParkHere();
    void Wake();
    void Sleep(int ms);

    CInstrumentLink& m_Link;
    recording::CRealTimeIntake& m_Intake;
    recording::CIntakeState& m_State;
    recording::CIntakeEvents& m_Events;
    FrameRecord m_Record;
    bool m_Resynchronise = false;  // receiver thread only
    bool m_TookFrame = false;      // receiver thread only: the last pass took a frame
    std::int64_t m_LastDataMs = 0; // receiver thread only: when the last data frame came
    MillisecondClock m_Clock;
    int m_IdleWaitMs = kIdleWaitMs;

    recording::UniqueFd m_Wake; // eventfd: a pause or stop request ends the loop's sleep
    std::thread m_Thread;
    std::atomic<bool> m_Running{false};
    std::atomic<bool> m_StopRequest{false};
    std::atomic<bool> m_PauseRequest{false};
    std::atomic<std::uint64_t> m_Passes{0};

    // The parked and resume events: auto-reset, each consumed by the one waiter.
    mutable std::mutex m_EventLock;
    std::condition_variable m_EventChanged;
    bool m_ParkedEvent = false;
    bool m_ResumeEvent = false;
    bool m_IsParked = false;
};

} // namespace nereid::link
