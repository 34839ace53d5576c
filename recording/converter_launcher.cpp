#include "recording/converter_launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <utility>

#include "recording/recorder_file_names.h"

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

} // namespace

CConverterLauncher::CConverterLauncher(std::string programPath, int waitLimitMs)
    : m_Program(std::move(programPath)), m_WaitLimitMs(waitLimitMs) {
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
    if (!configuredFolder.empty()) {
        const std::string candidate = JoinRecorderPath(configuredFolder, kConverterName);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
    }
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        self[n] = '\0';
        const std::string candidate = JoinRecorderPath(FolderOf(self), kConverterName);
        if (IsExecutableFile(candidate)) {
            return candidate;
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

pid_t CConverterLauncher::Spawn(const std::string& file) const {
    if (m_Program.empty()) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return -1;
    }
    // Detached from our terminal: no input, and its console messages do not mix with ours.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Only the child changes its directory; ours is shared by every thread of the recorder.
    posix_spawn_file_actions_addchdir_np(&actions, FolderOf(file).c_str());

    std::string program = m_Program;
    std::string argument = file;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
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

        const pid_t pid = Spawn(file);
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
                if (r == pid || (r < 0 && errno != EINTR)) {
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
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            }
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
