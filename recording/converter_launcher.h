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

class CRecorderMessages;

// Starts the SEISAN converter "wavexport" after each period, with the period's last closed file
// as its one argument and that file's folder as its working directory. The recording process
// keeps its own current directory: it is shared by every thread. Convert only queues the
// request; a helper thread starts one converter at a time and waits for it at most the wait
// limit (60 s), then releases it (it may go on running; it is reaped later). A conversion that
// could not start (no converter found, or the start failed), ended with another exit status
// than 0 (the converter then keeps the DADiSP files), or was released at the limit is reported
// to the messages given, with kConversionFailedText, from the helper thread.
class CConverterLauncher : public CPeriodConverter {
public:
    static constexpr int kDefaultWaitLimitMs = 60000;

    explicit CConverterLauncher(std::string programPath, int waitLimitMs = kDefaultWaitLimitMs);
    // `messages` (may be null) must outlive the launcher.
    CConverterLauncher(std::string programPath, CRecorderMessages* messages,
                       int waitLimitMs = kDefaultWaitLimitMs);
    // Stops the helper without waiting for a running converter; queued requests not yet
    // started are dropped (call WaitIdle first to let them run).
    ~CConverterLauncher() override;
    CConverterLauncher(const CConverterLauncher&) = delete;
    CConverterLauncher& operator=(const CConverterLauncher&) = delete;

    // The converter program: "wavexport" in `configuredFolder` when that is set and holds it,
    // else in the first of these that holds it, relative to the folder of the running program:
    // that folder itself (an installed prefix's bin, or a copy beside the program),
    // "../wavexport" (the build tree: build/shell/TellusW32 beside build/wavexport/wavexport)
    // and "../bin" (a program installed under the prefix's lib or libexec). Empty when none
    // holds an executable file.
    static std::string FindConverter(const std::string& configuredFolder);
    // The same search from the program path `self` instead of the running program's.
    static std::string FindConverterFrom(const std::string& configuredFolder,
                                         const std::string& self);

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
    // Spawns one converter with its standard output into `output`; returns its pid, or -1 with
    // `error` set to an errno (0 when no converter was found).
    pid_t Spawn(const std::string& file, int output, int& error) const;
    void ReapReleased();
    void Report(const std::string& file, const std::string& reason) const;

    std::string m_Program;
    CRecorderMessages* m_Messages = nullptr;
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
