#pragma once

// Starts nereid-sim on its own pseudo-terminal in a private folder, and talks to it through
// the PC's link core.

#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/serial_link.h"
#include "tests/sim/exec_child.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace nereid::sim::test {

class SimProcess {
public:
    // Starts the simulator with `args` plus a --link path in a fresh folder, and waits for the
    // line naming that path on its standard output.
    explicit SimProcess(std::vector<std::string> args) {
        char pattern[] = "/tmp/nereid-sim-test-XXXXXX";
        m_Folder = ::mkdtemp(pattern);
        m_Link = m_Folder + "/line";
        args.insert(args.begin(), {NEREID_SIM_PATH, "--link", m_Link});
        int out[2];
        if (::pipe(out) != 0)
            return;
        m_Pid = ::fork();
        if (m_Pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            nereid::sim::test::ExecOrExit(args);
        }
        ::close(out[1]);
        std::string line;
        char c = 0;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(out[0]);
        m_ReadyLine = line;
    }

    ~SimProcess() {
        Stop();
        std::error_code ec;
        std::filesystem::remove_all(m_Folder, ec);
    }

    // SIGTERM and wait; returns the exit status (-1 when not running).
    int Stop() {
        if (m_Pid <= 0)
            return -1;
        ::kill(m_Pid, SIGTERM);
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& Link() const { return m_Link; }
    const std::string& Folder() const { return m_Folder; }
    const std::string& ReadyLine() const { return m_ReadyLine; }

private:
    pid_t m_Pid = -1;
    std::string m_Folder;
    std::string m_Link;
    std::string m_ReadyLine;
};

// The PC side of a transaction: send, then poll for the answer type as a sheet does.
class PcSide {
public:
    explicit PcSide(const std::string& path) { m_Open = m_Link.Open(path, 9600, 0, 0, 8) == 1; }
    bool IsOpen() const { return m_Open; }
    link::CSerialLink& Link() { return m_Link; }

    // Returns the ReadFrame result 1 or -1, or 0 when no answer came within `limit`.
    int Transact(std::uint8_t code, const link::CommandRecord& record, link::FrameRecord& answer,
                 std::chrono::milliseconds limit = std::chrono::milliseconds(4000)) {
        m_Link.SetTransactionWaiting(true);
        if (m_Link.SendCommand(code, record) != 1)
            return 0;
        const int result = Await(static_cast<std::uint8_t>(code - 0x60), answer, limit);
        m_Link.SetTransactionWaiting(false);
        return result;
    }

    // Polls for one frame of `type`; 1, -1 or 0 (timeout).
    int Await(std::uint8_t type, link::FrameRecord& answer, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            std::uint8_t expected = type;
            const int r = m_Link.ReadFrame(expected, answer);
            if (r == 1 || r == -1)
                return r;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    }

    // A listing or file read as the upload does it: every frame in sequence is acknowledged,
    // a frame out of sequence gets a NAK. Collects the decoded frames until state 1.
    int Upload(std::uint8_t code, const link::CommandRecord& record,
               std::vector<link::FrameRecord>& frames) {
        const std::uint8_t type = static_cast<std::uint8_t>(code - 0x60);
        m_Link.SetTransactionWaiting(true);
        if (m_Link.SendCommand(code, record) != 1)
            return 0;
        std::uint16_t expected = 1;
        for (;;) {
            link::FrameRecord f;
            const int r = Await(type, f, std::chrono::milliseconds(5000));
            if (r != 1) {
                m_Link.SetTransactionWaiting(false);
                return r;
            }
            const std::uint16_t sequence =
                static_cast<std::uint16_t>(f.payload[3] | (f.payload[4] << 8));
            if (sequence != expected) {
                m_Link.SendNak();
                continue;
            }
            ++expected;
            m_Link.SendAck();
            frames.push_back(f);
            if (f.status == 1)
                break;
            m_Link.MarkSent();
        }
        m_Link.SetTransactionWaiting(false);
        return 1;
    }

private:
    link::CSerialLink m_Link;
    bool m_Open = false;
};

} // namespace nereid::sim::test
