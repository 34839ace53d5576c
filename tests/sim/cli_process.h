#pragma once

// Runs the nereid tool as an operator's script would, for the tests that drive it against
// nereid-sim: standard input from /dev/null (not a terminal), standard output and error kept
// in files of a private folder, and NEREID_PORTS cleared so that a test never searches the
// machine's real serial ports.

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/sim/exec_child.h"

namespace nereid::sim::test {

struct CliOutcome {
    int exitCode = -1;
    std::string out, err;
    bool Has(const std::string& text) const { return out.find(text) != std::string::npos; }
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh folder under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/nereid-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr)
            m_Path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!m_Path.empty())
            std::filesystem::remove_all(m_Path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_Path; }
    // A folder inside, created on first use.
    std::string Sub(const std::string& name) const {
        const std::string p = m_Path + "/" + name;
        std::filesystem::create_directories(p);
        return p;
    }

private:
    std::string m_Path;
};

// One nereid process. It runs in `workFolder`, or in its own fresh folder when none is given
// (so that no DirectConnect.txt of another test is around).
class CliRun {
public:
    explicit CliRun(std::vector<std::string> args, const std::string& workFolder = {}) {
        m_Out = m_Folder.Path() + "/out";
        m_Err = m_Folder.Path() + "/err";
        const std::string where = workFolder.empty() ? m_Folder.Path() : workFolder;
        std::vector<std::string> command;
        command.reserve(args.size() + 1);
        command.emplace_back(NEREID_CLI_PATH);
        for (auto& a : args)
            command.push_back(std::move(a));
        m_Pid = ::fork();
        if (m_Pid == 0) {
            if (::chdir(where.c_str()) != 0)
                ::_exit(126);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(m_Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(m_Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::setenv("NEREID_PORTS", "", 1);
            nereid::sim::test::ExecOrExit(command);
        }
    }
    ~CliRun() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
        }
    }
    CliRun(const CliRun&) = delete;
    CliRun& operator=(const CliRun&) = delete;

    void Interrupt() { ::kill(m_Pid, SIGINT); }
    std::string ErrSoFar() const { return Slurp(m_Err); }

    // Waits for the process; the exit code is -1 when it did not exit normally.
    CliOutcome Wait() {
        CliOutcome o;
        if (m_Pid <= 0)
            return o;
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        o.out = Slurp(m_Out);
        o.err = Slurp(m_Err);
        return o;
    }

private:
    TempFolder m_Folder;
    std::string m_Out;
    std::string m_Err;
    pid_t m_Pid = -1;
};

inline CliOutcome RunCli(std::vector<std::string> args, const std::string& workFolder = {}) {
    return CliRun(std::move(args), workFolder).Wait();
}

} // namespace nereid::sim::test
