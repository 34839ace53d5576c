#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QStringList>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link/dialogs/message_box.h"

extern char** environ;

namespace nereid::testing {

// A private folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/nereid-gui-XXXXXX";
        if (::mkdtemp(pattern) != nullptr)
            m_Path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!m_Path.empty())
            std::filesystem::remove_all(m_Path, ignored);
    }
    const std::string& Path() const { return m_Path; }
    QString QPath() const { return QString::fromStdString(m_Path); }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

// nereid-sim on a pseudo-terminal of its own, ended with SIGTERM (then SIGKILL) when the test
// lets go of it.
class Simulator {
public:
    Simulator(const std::string& linkPath, std::vector<std::string> options) : m_Link(linkPath) {
        std::vector<std::string> args = {NEREID_SIM_PATH, "--link", linkPath};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_Pid, NEREID_SIM_PATH, nullptr, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
    }
    ~Simulator() { Stop(); }
    // Waits (at most 5 s) until the link path exists.
    bool WaitReady() const {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            if (m_Pid > 0 && ::access(m_Link.c_str(), F_OK) == 0)
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    void Stop() {
        if (m_Pid <= 0)
            return;
        ::kill(m_Pid, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(m_Pid, nullptr, WNOHANG) == m_Pid) {
                m_Pid = -1;
                return;
            }
            ::usleep(20000);
        }
        ::kill(m_Pid, SIGKILL);
        ::waitpid(m_Pid, nullptr, 0);
        m_Pid = -1;
    }
    const std::string& LinkPath() const { return m_Link; }

private:
    std::string m_Link;
    pid_t m_Pid = -1;
};

// A pseudo-terminal that nobody answers on: a port without an instrument.
class SilentPort {
public:
    SilentPort() {
        char name[256] = {};
        int slave = -1;
        if (::openpty(&m_Master, &slave, name, nullptr, nullptr) == 0) {
            m_Name = name;
            ::close(slave);
        }
    }
    ~SilentPort() {
        if (m_Master >= 0)
            ::close(m_Master);
    }
    const std::string& Name() const { return m_Name; }

private:
    int m_Master = -1;
    std::string m_Name;
};

// Collects the message boxes instead of showing them.
class MessageCapture {
public:
    MessageCapture() {
        link::SetMessageHook([this](const QString& caption, const QString& text) {
            captions << caption;
            texts << text;
        });
    }
    ~MessageCapture() { link::SetMessageHook({}); }
    QStringList captions;
    QStringList texts;
};

// Threads of this process, from /proc.
inline int ThreadCount() {
    int count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", error);
         !error && it != std::filesystem::directory_iterator(); ++it)
        ++count;
    return count;
}

// The configuration folder of a test run, set before the application object exists.
inline void UsePrivateConfiguration(const TempFolder& folder) {
    const std::string config = folder.Path() + "/config";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    // QSettings reads the variable once per process; the path is set for each test as well.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(config));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(config));
    ::setenv("NEREID_PORTS", "", 1);
}

} // namespace nereid::testing
