#include "link/receiver_thread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <system_error>

namespace nereid::link {

using namespace nereid::recording;

namespace {
// The idle counter keeps counting while idle; stop well before int overflow (about 24 days at
// one pass per millisecond).
constexpr int kIdleCounterCeiling = 1 << 30;
// Passes in a row without the 1 ms sleep while frames keep coming.
constexpr int kBurstPasses = 64;

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

CReceiverThread::CReceiverThread(CInstrumentLink& link, CRealTimeIntake& intake,
                                 CIntakeState& state, CIntakeEvents& events)
    : m_Link(link), m_Intake(intake), m_State(state), m_Events(events), m_Clock(SteadyMilliseconds),
      m_Wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void CReceiverThread::Wake() {
    if (m_Wake.Valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_Wake.Get(), &one, sizeof one);
    }
}

void CReceiverThread::Sleep(int ms) {
    if (!m_Wake.Valid()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 1)));
        return;
    }
    // The link's wait is at most a second; a longer one (tests) is taken in turns.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (m_Link.WaitForData(static_cast<int>(std::clamp<long long>(left, 0, 1000)),
                               m_Wake.Get()) != 0) {
            break;
        }
    } while (std::chrono::steady_clock::now() < end);
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_Wake.Get(), &count, sizeof count);
}

void CReceiverThread::SetClock(MillisecondClock clock) {
    m_Clock = clock ? std::move(clock) : MillisecondClock(SteadyMilliseconds);
}

CReceiverThread::~CReceiverThread() {
    Stop();
}

int CReceiverThread::Start() {
    if (m_Thread.joinable()) {
        return 0;
    }
    m_StopRequest.store(false);
    m_PauseRequest.store(false);
    {
        std::lock_guard lock(m_EventLock);
        m_ParkedEvent = false;
        m_ResumeEvent = false;
        m_IsParked = false;
    }
    m_Intake.ResetReference();
    m_Running.store(true);
    try {
        m_Thread = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
        m_Running.store(false);
        return -1;
    }
    return 1;
}

int CReceiverThread::Stop() {
    if (!m_Thread.joinable()) {
        return 1;
    }
    const int parked = Park();
    m_StopRequest.store(true);
    Resume();
    m_Thread.join();
    return parked == 1 ? 1 : -1;
}

int CReceiverThread::Park() {
    if (!m_Running.load()) {
        return 1;
    }
    std::unique_lock lock(m_EventLock);
    if (m_IsParked && !m_ResumeEvent) {
        return 1; // parked already by an earlier Park
    }
    m_PauseRequest.store(true);
    Wake();
    m_EventChanged.wait(lock, [this] { return m_ParkedEvent || !m_Running.load(); });
    if (!m_ParkedEvent) {
        return -1;
    }
    m_ParkedEvent = false;
    return 1;
}

void CReceiverThread::Resume() {
    {
        std::lock_guard lock(m_EventLock);
        m_ResumeEvent = true;
    }
    m_EventChanged.notify_all();
}

bool CReceiverThread::Parked() const {
    std::lock_guard lock(m_EventLock);
    return m_IsParked;
}

void CReceiverThread::ParkHere() {
    // Parked, nobody takes data frames: a transaction waiting meanwhile takes them itself.
    m_Link.SetDataReaderActive(false);
    m_PauseRequest.store(false);
    m_Events.Beep();
    std::unique_lock lock(m_EventLock);
    m_ParkedEvent = true;
    m_IsParked = true;
    m_EventChanged.notify_all();
    m_EventChanged.wait(lock, [this] { return m_ResumeEvent; });
    m_ResumeEvent = false;
    m_IsParked = false;
    m_Link.SetDataReaderActive(true);
}

void CReceiverThread::Loop() {
    m_Link.SetDataReaderActive(true);
    int burst = 0;
    while (!m_StopRequest.load()) {
        if (m_PauseRequest.load()) {
            ParkHere();
            continue; // the stop request is looked at again before the next poll
        }
        RunOnePass();
        // A turn that took a frame goes on at once (up to a burst): one frame per millisecond
        // is less than a fast stream brings.
        if (m_TookFrame && ++burst < kBurstPasses) {
            continue;
        }
        if (m_StopRequest.load() || m_PauseRequest.load()) {
            continue;
        }
        // While the idle count runs (kIdlePolls passes), turns come every millisecond as
        // they always did; after that, and while no port is open, the loop sleeps in poll
        // until bytes arrive, so that an idle station costs nothing.
        const bool counting = m_State.m_bConnected.load() &&
                              m_State.m_AcquisitionState.load() != kAcquisitionIdle &&
                              m_State.m_IdleCounter.load() < kIdlePolls;
        Sleep(burst > 0 || counting ? 1 : m_IdleWaitMs);
        burst = 0;
    }
    m_Link.SetDataReaderActive(false);
    {
        std::lock_guard lock(m_EventLock);
        m_Running.store(false);
    }
    m_EventChanged.notify_all();
}

void CReceiverThread::RunOnePass() {
    m_Passes.fetch_add(1, std::memory_order_relaxed);
    std::uint8_t type = kReceiverExpectedType;
    if (m_Record.payload.capacity() < m_Link.DecodeBufferSize()) {
        m_Record.payload.reserve(m_Link.DecodeBufferSize());
    }
    const int result = m_Link.ReadFrame(type, m_Record);
    m_TookFrame = result == kAccepted;

    // A recording takes its frames whatever the display does: a frozen display or one showing
    // files must not starve the recorder (its files would never open and its stop never come).
    const bool recordingArmed = m_State.m_bRecording.load() || m_State.m_bResumePending.load();
    if (!m_State.m_bIntakeEnabled.load() && !recordingArmed) {
        m_Resynchronise = true;
        return;
    }

    if (result == kCrcError) {
        m_Events.PostMessage(kMsgAcquisition, 1, kCodeCrcError);
    } else if (result == kAccepted && type <= kLastDataType) {
        if (m_Resynchronise) {
            m_Resynchronise = false;
            m_Intake.Resynchronise();
        }
        m_State.m_IdleCounter.store(0);
        m_LastDataMs = m_Clock();
        m_Events.PostMessage(kMsgAcquisition, 1, kCodeDataFrame);
        if (m_State.m_AcquisitionState.load() != kAcquiring) {
            m_State.m_AcquisitionState.store(kAcquiring);
            m_Events.PostMessage(kMsgAcquisition, 1, kCodeAcquisitionStarted);
            if (m_State.m_bRecording.load()) {
                m_Events.ShowRecordingProgress(true);
            }
        }
        m_Intake.HandleDataFrame(m_Record.payload.data(), m_Record.payload.size());
    }

    int idle = m_State.m_IdleCounter.load();
    if (idle < kIdleCounterCeiling) {
        ++idle;
    }
    m_State.m_IdleCounter.store(idle);
    const int acquisition = m_State.m_AcquisitionState.load();
    bool goIdle =
        acquisition != kAcquisitionIdle && idle >= kIdlePolls && m_State.m_bConnected.load();
    if (goIdle && acquisition == kAcquiring) {
        // Twelve empty polls alone would call a streaming recorder idle between every two
        // seconds of its stream, and the state pane would show "Idle State" instead of the
        // frame timing nearly all the time.
        goIdle = m_Clock() - m_LastDataMs >= kIdleQuietMs;
    }
    if (goIdle) {
        m_State.m_IdleCounter.store(0);
        m_State.m_AcquisitionState.store(kAcquisitionIdle);
        m_Events.PostMessage(kMsgAcquisition, 1, kCodeIdle);
        if (m_State.m_bRecording.load()) {
            m_Events.ShowRecordingProgress(false);
        }
    } else if (!m_State.m_bConnected.load()) {
        m_State.m_IdleCounter.store(0);
        m_State.m_AcquisitionState.store(kAcquisitionUnknown);
    }
}

} // namespace nereid::link
