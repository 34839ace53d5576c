#pragma once

// What the `nereid record` end-to-end tests share: the simulator's known signal, its
// arguments for a recording on the minute, and nereid run as a separate program.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "recording/data_file_reader.h"
#include "tests/recording/recorder_test_support.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/exec_child.h"

namespace nereid::recording::e2e {

using test::ReadWholeFile;
using test::Utc;

// The simulator's signal with its defaults: 1 Hz, amplitude 100000 x channel, no noise.
inline std::int32_t SimSample(int channel, std::uint32_t second, int k, int rate) {
    const double f = 1.0;
    const double phase = std::fmod(f * second, 1.0) + f * k / rate;
    return static_cast<std::int32_t>(
        std::llround(100000.0 * channel * std::sin(2.0 * std::numbers::pi * phase)));
}

// Output on tmpfs when there is one: the recorder writes through to the medium every second.
class OutputFolder {
public:
    OutputFolder() {
        setenv("TMPDIR", access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp", 1);
        m_Folder = std::make_unique<test::TempFolder>();
    }
    const std::string& Path() const { return m_Folder->Path(); }
    std::string operator/(const std::string& name) const { return *m_Folder / name; }

private:
    std::unique_ptr<test::TempFolder> m_Folder;
};

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

// Runs nereid in `folder` (no updatetime.txt there, so the clock is never touched).
inline Outcome RunNereid(const std::string& folder, std::vector<std::string> args) {
    const std::string outPath = folder + "/.out", errPath = folder + "/.err";
    args.insert(args.begin(), NEREID_CLI_PATH);
    const std::string wavexportDir =
        std::string(NEREID_WAVEXPORT_PATH).substr(0, std::string(NEREID_WAVEXPORT_PATH).rfind('/'));
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        setenv("NEREID_PORTS", "", 1);
        setenv("NEREID_WAVEXPORT_DIR", wavexportDir.c_str(), 1);
        nereid::sim::test::ExecOrExit(args);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome o;
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadWholeFile(outPath);
    o.err = ReadWholeFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return o;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The recording starts on the minute B: the simulator sends nothing before B - 1 (which the
// restart gate takes), and skips 12:11:10 and 12:11:11 inside the recording.
inline const std::uint32_t kB = Utc(2026, 12, 7, 12, 10, 0);
inline const std::vector<std::uint32_t> kSkipped = {kB + 70, kB + 71};
inline constexpr int kRecordSeconds = 185;

inline Outcome Record(nereid::sim::test::SimProcess& sim, const OutputFolder& out,
                      const std::string& format) {
    return RunNereid(out.Path(), {"--port", sim.Link(), "--baud", "115200", "record", "--format",
                                  format, "--minutes", "1", "--seconds",
                                  std::to_string(kRecordSeconds), "--dir", out.Path()});
}

inline std::vector<std::string> SimArgs() {
    // 300 recorder seconds (5 s of wall time) of silence cover the connection.
    const std::uint32_t t0 = kB - 300;
    return {"--time-scale",
            "60",
            "--start-time",
            std::to_string(t0),
            "--skip-seconds",
            std::to_string(t0) + "-" + std::to_string(kB - 2) + "," + std::to_string(kSkipped[0]) +
                "-" + std::to_string(kSkipped[1])};
}

inline void ExpectChannel(const FileChannel& fc, int channel, std::uint32_t first,
                          std::uint32_t seconds, const std::string& what) {
    EXPECT_EQ(fc.startSecond, first) << what;
    ASSERT_GT(fc.rate, 0) << what;
    ASSERT_EQ(fc.sampleCount, std::uint64_t(seconds) * fc.rate) << what;
    for (std::uint32_t s = 0; s < seconds; ++s) {
        const std::uint32_t sec = first + s;
        const bool zero = std::find(kSkipped.begin(), kSkipped.end(), sec) != kSkipped.end();
        for (int k = 0; k < fc.rate; ++k) {
            ASSERT_EQ(fc.IntValue(std::uint64_t(s) * fc.rate + k),
                      zero ? 0 : SimSample(channel, sec, k, fc.rate))
                << what << " second " << sec << " sample " << k;
        }
    }
}

// Period p (0..3) of the recording: its first second and length.
inline std::pair<std::uint32_t, std::uint32_t> Period(int p) {
    return {kB + 60u * p, p < 3 ? 60u : kRecordSeconds - 180u};
}

inline std::string PeriodName(const char* prefix, int channel, int p) {
    const char* times[] = {"121000", "121100", "121200", "121300"};
    return std::string(prefix) + std::to_string(channel) + "234_" + times[p] + ".341";
}

} // namespace nereid::recording::e2e
