#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/period_converter.h"

namespace nereid::recording {

// Starts the SEISAN converter "wavexport" after each period, with the period's last closed file
// as its one argument and that file's folder as its working directory. The recording process
// keeps its own current directory: it is shared by every thread. Convert only queues the
// request; a helper thread starts one converter at a time and waits for it at most the wait
// limit (60 s), then releases it (it may go on running; it is reaped later). A start failure is
// not reported, as the converter's result is never looked at.
class CConverterLauncher : public CPeriodConverter {
public:
    static constexpr int kDefaultWaitLimitMs = 60000;

    explicit CConverterLauncher(std::string programPath, int waitLimitMs = kDefaultWaitLimitMs);
    // Stops the helper without waiting for a running converter; queued requests not yet
    // started are dropped (call WaitIdle first to let them run).
    ~CConverterLauncher() override;
    CConverterLauncher(const CConverterLauncher&) = delete;
    CConverterLauncher& operator=(const CConverterLauncher&) = delete;

    // The converter program: "wavexport" in `configuredFolder` when that is set and holds it,
    // else beside the running program. Empty when neither holds an executable file.
    static std::string FindConverter(const std::string& configuredFolder);

    void Convert(const std::string& lastClosedFile) override;

    // Waits until nothing is queued or running (a released converter counts as done). Returns
    // true when idle within timeoutMs.
    bool WaitIdle(int timeoutMs) override;

    // Converters started so far (spawn succeeded), and those released at the wait limit.
    int StartedCount() const;
    int ReleasedCount() const;
    const std::string& ProgramPath() const { return m_Program; }

private:
    void Run();
    // Spawns one converter; returns its pid or -1.
    pid_t Spawn(const std::string& file) const;
    void ReapReleased();

    std::string m_Program;
    int m_WaitLimitMs;

    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::condition_variable m_Idle;
    std::deque<std::string> m_Queue;
    bool m_Busy = false;
    bool m_Quit = false;
    int m_Started = 0;
    int m_Released = 0;
    std::vector<pid_t> m_ReleasedPids; // helper thread only
    std::thread m_Thread;
};

} // namespace nereid::recording
