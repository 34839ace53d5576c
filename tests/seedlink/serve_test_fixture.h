#pragma once

// The nereid serve tests' fixture: nereid-sim on a pseudo-terminal, nereid serve on a free
// port with its ring in the test's folder, and the SeedLink test client.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "seedlink_test_client.h"
#include "tests/sim/exec_child.h"

namespace nereid::seedlink::test {

namespace fs = std::filesystem;

// A child program; SIGTERM and wait when it goes out of scope.
class Child {
public:
    // Starts `args`; standard output into a pipe that Line() reads, standard error into
    // `errorFile`.
    Child(std::vector<std::string> args, const std::string& errorFile) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        m_Pid = fork();
        if (m_Pid == 0) {
            dup2(out[1], 1);
            const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(err, 2);
            close(out[0]);
            close(out[1]);
            nereid::sim::test::ExecOrExit(args);
        }
        close(out[1]);
        m_Out = out[0];
    }
    ~Child() {
        Stop();
        if (m_Out >= 0) {
            close(m_Out);
        }
    }

    // The next line of standard output ("" at its end).
    std::string Line() {
        std::string line;
        char c = 0;
        while (read(m_Out, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        return line;
    }
    // The rest of standard output, after the program ended.
    std::string Rest() {
        std::string rest;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(m_Out, buffer, sizeof buffer)) > 0) {
            rest.append(buffer, static_cast<std::size_t>(n));
        }
        return rest;
    }

    // SIGTERM (or `signal`), then the exit status (-1 when it did not exit normally or is not
    // running).
    int Stop(int signal = SIGTERM) {
        if (m_Pid <= 0) {
            return -1;
        }
        kill(m_Pid, signal);
        int status = 0;
        waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Out = -1;
};

class ServeTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-serve-test-XXXXXX";
        m_Folder = mkdtemp(pattern);
        m_Link = m_Folder + "/line";
    }
    void TearDown() override {
        m_Serve.reset();
        m_Sim.reset();
        std::error_code ec;
        fs::remove_all(m_Folder, ec);
    }

    void StartSim(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{NEREID_SIM_PATH, "--link",       m_Link,
                                      "--realtime",    "--time-scale", "10"};
        args.insert(args.end(), extra.begin(), extra.end());
        m_Sim = std::make_unique<Child>(args, m_Folder + "/sim.err");
        ASSERT_EQ(m_Sim->Line(), m_Link);
    }

    // Starts the service on a free port; returns that port.
    int StartServe(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{NEREID_CLI_PATH, "--port",
                                      m_Link,          "serve",
                                      "--seedlink",    "127.0.0.1:0",
                                      "--latency",     "1",
                                      "--silence",     "0.6",
                                      "--retry",       "0.2",
                                      "--ring-file",   m_Folder + "/seedlink.ring"};
        args.insert(args.end(), extra.begin(), extra.end());
        m_Serve = std::make_unique<Child>(args, m_Folder + "/serve.err");
        const std::string ready = m_Serve->Line();
        const std::string prefix = "serving SeedLink on 127.0.0.1:";
        EXPECT_EQ(ready.rfind(prefix, 0), 0u) << ready << "\n" << ServeErrors();
        return std::atoi(ready.c_str() + prefix.size());
    }

    std::string ServeErrors() const {
        std::ifstream in(m_Folder + "/serve.err");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_Folder;
    std::string m_Link;
    std::unique_ptr<Child> m_Sim;
    std::unique_ptr<Child> m_Serve;
};

inline auto AtLeastSeconds(double seconds, std::size_t channels) {
    return [seconds, channels](const std::vector<DecodedRecord>& records) {
        const auto per = SecondsPerChannel(records);
        if (per.size() < channels) {
            return false;
        }
        for (const auto& [channel, s] : per) {
            if (s < seconds) {
                return false;
            }
        }
        return true;
    };
}

} // namespace nereid::seedlink::test
