#include "recording/converter_launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "recording/recorder_file_names.h"
#include "recording/recorder_messages.h"

extern char** environ;

namespace nereid::recording {

namespace {

constexpr const char* kConverterName = "wavexport";
// How often the helper looks whether the converter has ended, in milliseconds.
constexpr int kPollMs = 10;

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The last line with more than blanks of what the converter wrote (at most its last 4 KiB).
std::string LastLine(int fd) {
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size <= 0) {
        return {};
    }
    const off_t from = size > 4096 ? size - 4096 : 0;
    std::string text(static_cast<std::size_t>(size - from), '\0');
    const ssize_t n = ::pread(fd, text.data(), text.size(), from);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    const auto end = text.find_last_not_of(" \r\n\t");
    if (end == std::string::npos) {
        return {};
    }
    const auto newline = text.find_last_of('\n', end);
    const auto begin = text.find_first_not_of(' ', newline == std::string::npos ? 0 : newline + 1);
    return text.substr(begin, end + 1 - begin);
}

std::string DurationText(int ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

} // namespace

CConverterLauncher::CConverterLauncher(std::string programPath, int waitLimitMs)
    : CConverterLauncher(std::move(programPath), nullptr, waitLimitMs) {}

CConverterLauncher::CConverterLauncher(std::string programPath, CRecorderMessages* messages,
                                       int waitLimitMs)
    : m_Program(std::move(programPath)), m_Messages(messages), m_WaitLimitMs(waitLimitMs) {
    m_Thread = std::thread([this] { Run(); });
}

CConverterLauncher::~CConverterLauncher() {
    {
        std::lock_guard lock(m_Mutex);
        m_Quit = true;
        m_Queue.clear();
    }
    m_Wake.notify_all();
    m_Thread.join();
}

std::string CConverterLauncher::FindConverter(const std::string& configuredFolder) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return FindConverterFrom(
        configuredFolder, n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string());
}

std::string CConverterLauncher::FindConverterFrom(const std::string& configuredFolder,
                                                  const std::string& self) {
    std::vector<std::string> candidates;
    if (!configuredFolder.empty()) {
        candidates.push_back(JoinRecorderPath(configuredFolder, kConverterName));
    }
    if (!self.empty()) {
        const std::string folder = FolderOf(self);
        candidates.push_back(JoinRecorderPath(folder, kConverterName));
        candidates.push_back(JoinRecorderPath(folder, "../wavexport/wavexport"));
        candidates.push_back(JoinRecorderPath(folder, "../bin/wavexport"));
    }
    for (const std::string& candidate : candidates) {
        if (IsExecutableFile(candidate)) {
            char resolved[PATH_MAX];
            return ::realpath(candidate.c_str(), resolved) != nullptr ? std::string(resolved)
                                                                      : candidate;
        }
    }
    return {};
}

void CConverterLauncher::Convert(const std::string& lastClosedFile) {
    {
        std::lock_guard lock(m_Mutex);
        if (m_Quit) {
            return;
        }
        m_Queue.push_back(lastClosedFile);
    }
    m_Wake.notify_all();
}

bool CConverterLauncher::WaitIdle(int timeoutMs) {
    std::unique_lock lock(m_Mutex);
    return m_Idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_Queue.empty() && !m_Busy; });
}

int CConverterLauncher::StartedCount() const {
    std::lock_guard lock(m_Mutex);
    return m_Started;
}

int CConverterLauncher::ReleasedCount() const {
    std::lock_guard lock(m_Mutex);
    return m_Released;
}

pid_t CConverterLauncher::Spawn(const std::string& file, int output, int& error) const {
    error = 0;
    if (m_Program.empty()) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    if ((error = posix_spawn_file_actions_init(&actions)) != 0) {
        return -1;
    }
    // Detached from our terminal: no input, and its console messages do not mix with ours;
    // what it writes is kept to say why a conversion failed.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Only the child changes its directory; ours is shared by every thread of the recorder.
    posix_spawn_file_actions_addchdir_np(&actions, FolderOf(file).c_str());

    std::string program = m_Program;
    std::string argument = file;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

void CConverterLauncher::Report(const std::string& file, const std::string& reason) const {
    if (m_Messages != nullptr) {
        m_Messages->ShowMessage(kConversionFailedText + file + ": " + reason, kRecorderCaption);
    }
}

void CConverterLauncher::ReapReleased() {
    for (auto it = m_ReleasedPids.begin(); it != m_ReleasedPids.end();) {
        int status = 0;
        const pid_t r = ::waitpid(*it, &status, WNOHANG);
        if (r == *it || (r < 0 && errno != EINTR)) {
            it = m_ReleasedPids.erase(it);
        } else {
            ++it;
        }
    }
}

void CConverterLauncher::Run() {
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Wake.wait_for(lock, std::chrono::milliseconds(500),
                        [this] { return m_Quit || !m_Queue.empty(); });
        if (m_Quit) {
            break;
        }
        lock.unlock();
        ReapReleased();
        lock.lock();
        if (m_Queue.empty()) {
            continue;
        }
        std::string file = std::move(m_Queue.front());
        m_Queue.pop_front();
        m_Busy = true;
        lock.unlock();

        // Its standard output, read back when it failed; a memory file needs no folder.
        const int output = ::memfd_create("wavexport-output", MFD_CLOEXEC);
        int error = 0;
        const pid_t pid = Spawn(file, output, error);
        bool released = false;
        if (pid > 0) {
            {
                std::lock_guard count(m_Mutex);
                ++m_Started;
            }
            const auto limit =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(m_WaitLimitMs);
            for (;;) {
                int status = 0;
                const pid_t r = ::waitpid(pid, &status, WNOHANG);
                if (r == pid) {
                    const std::string said = output >= 0 ? LastLine(output) : std::string();
                    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
                        Report(file, "wavexport ended with exit status " +
                                         std::to_string(WEXITSTATUS(status)) +
                                         (said.empty() ? "" : " (" + said + ")") +
                                         "; the DADiSP files stay");
                    } else if (WIFSIGNALED(status)) {
                        Report(file, "wavexport was ended by signal " +
                                         std::to_string(WTERMSIG(status)) +
                                         "; the DADiSP files stay");
                    }
                    break;
                }
                if (r < 0 && errno != EINTR) {
                    break;
                }
                bool quit = false;
                {
                    std::lock_guard check(m_Mutex);
                    quit = m_Quit;
                }
                if (quit || std::chrono::steady_clock::now() >= limit) {
                    m_ReleasedPids.push_back(pid);
                    released = true;
                    if (!quit) {
                        Report(file, "wavexport still runs after " + DurationText(m_WaitLimitMs) +
                                         "; recording goes on without waiting for it");
                    }
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            }
        } else if (m_Program.empty()) {
            Report(file, "wavexport was not found beside the program, in its build tree or in "
                         "the configured folder; the DADiSP files stay");
        } else {
            Report(file, "wavexport (" + m_Program + ") could not be started: " +
                             std::strerror(error) + "; the DADiSP files stay");
        }
        if (output >= 0) {
            ::close(output);
        }

        lock.lock();
        if (released) {
            ++m_Released;
        }
        m_Busy = false;
        if (m_Queue.empty()) {
            m_Idle.notify_all();
        }
    }
    m_Busy = false;
    m_Idle.notify_all();
    lock.unlock();
    ReapReleased();
}

} // namespace nereid::recording
