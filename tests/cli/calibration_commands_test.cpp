// nereid cal and nereid ir against nereid-sim.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/sim/cli_process.h"
#include "tests/sim/sim_process.h"

namespace {

using nereid::sim::test::SimProcess;

using Outcome = nereid::sim::test::CliOutcome;
using nereid::sim::test::RunCli;

// Runs `nereid --port LINK args...` in the simulator's folder (no DirectConnect.txt there).
Outcome Nereid(const SimProcess& sim, std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", sim.Link()});
    return RunCli(std::move(args), sim.Folder());
}

// A folder for a simulated drive, removed with the test.
struct DriveFolder {
    std::string path;
    DriveFolder() {
        char name[] = "/tmp/nereid-ir-drive-XXXXXX";
        if (const char* made = ::mkdtemp(name))
            path = made;
    }
    ~DriveFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

TEST(NereidCal, ImmediateRunStartedAndStopped) {
    SimProcess sim({});
    Outcome o = Nereid(sim, {"cal", "show"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("State:        inactive\n")) << o.out;

    o = Nereid(sim, {"cal", "start", "immediate", "signal=shorted", "amplitude=-2.5",
                     "duration=20m", "channels=1,3:short", "frequency=1.5"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Start: Accepted\n")) << o.out;
    EXPECT_TRUE(o.Has("State:        active\n")) << o.out;
    EXPECT_TRUE(o.Has("Signal:       Shorted Input\n")) << o.out;
    EXPECT_TRUE(o.Has("Amplitude:    -2.5000 V\n")) << o.out;
    EXPECT_TRUE(o.Has("Duration:     1200 s\n")) << o.out;
    EXPECT_TRUE(o.Has("Channels:     1:sensor,3:short\n")) << o.out;
    EXPECT_TRUE(o.Has("Form:         short (26-byte answer)\n")) << o.out;

    o = Nereid(sim, {"cal", "stop", "immediate"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Stop: Accepted\n")) << o.out;
    EXPECT_TRUE(o.Has("State:        inactive\n")) << o.out;
}

TEST(NereidCal, DurationClampedToTheMaximumIsSaid) {
    SimProcess sim({});
    const Outcome o = Nereid(sim, {"cal", "start", "immediate", "duration=1100m"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Duration:     65535 s\n")) << o.out;
    EXPECT_NE(o.err.find("The maximum value for duration time is 65535 seconds"),
              std::string::npos);
}

TEST(NereidCal, ScheduledRunDefinedAndReadBack) {
    SimProcess sim({"--model", "2"});
    Outcome o = Nereid(sim, {"cal", "start", "5", "signal=prbs", "amplitude=1", "duration=1m",
                             "start=02/29/04 12:00:00", "interval=1h", "repetitions=3",
                             "channels=2:loopback"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    o = Nereid(sim, {"cal", "show", "5"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Run:          scheduled 5\n")) << o.out;
    EXPECT_TRUE(o.Has("State:        active\n")) << o.out;
    EXPECT_TRUE(o.Has("Signal:       Pseudo Random Binary\n")) << o.out;
    EXPECT_TRUE(o.Has("Start time:   02/29/04 12:00:00\n")) << o.out;
    EXPECT_TRUE(o.Has("Interval:     3600 s\n")) << o.out;
    EXPECT_TRUE(o.Has("Repetitions:  3\n")) << o.out;
    EXPECT_TRUE(o.Has("Channels:     2:loopback\n")) << o.out;

    // February 29 of 2001 does not exist: refused before anything is sent.
    o = Nereid(sim, {"cal", "start", "7", "duration=10", "start=02/29/01 12:00:00"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("Invalid data input"), std::string::npos) << o.err;
    o = Nereid(sim, {"cal", "show", "7"});
    EXPECT_TRUE(o.Has("State:        inactive\n")) << o.out;

    o = Nereid(sim, {"cal", "stop", "5"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("State:        inactive\n")) << o.out;
}

// The recorder refuses a 0x8C of the wrong length, so "Accepted" proves the long form.
TEST(NereidCal, ExtendedFormsFollowTheAnswerLength) {
    {
        SimProcess sim({"--cal-format", "34"});
        const Outcome o = Nereid(
            sim, {"cal", "start", "immediate", "amplitude=-2.5", "duration=5", "frequency=0.125"});
        ASSERT_EQ(o.exitCode, 0) << o.err;
        EXPECT_TRUE(o.Has("Form:         extended (34-byte answer)\n")) << o.out;
        EXPECT_TRUE(o.Has("Amplitude:    -2.5000 V\n")) << o.out;
        EXPECT_TRUE(o.Has("Frequency:    0.125\n")) << o.out; // thousandths, not tenths
    }
    SimProcess sim({"--cal-format", "36", "--model", "3"});
    const Outcome o =
        Nereid(sim, {"cal", "start", "immediate", "duration=5", "damping=1,3", "control=digital"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Form:         extended (36-byte answer)\n")) << o.out;
    EXPECT_TRUE(o.Has("Damping off:  1,3\n")) << o.out;
    EXPECT_TRUE(o.Has("Control:      Digital Mode\n")) << o.out;
}

TEST(NereidCal, RejectedAndNoResponse) {
    {
        SimProcess sim({"--refuse", "0x8C"});
        const Outcome o = Nereid(sim, {"cal", "start", "immediate", "duration=5"});
        EXPECT_EQ(o.exitCode, 4);
        EXPECT_TRUE(o.Has("Start: Rejected\n")) << o.out;
    }
    SimProcess sim({"--ignore", "0x8D"});
    const Outcome o = Nereid(sim, {"cal", "stop", "immediate"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.Has("Stop: No Response\n")) << o.out;
}

TEST(NereidCal, CommandLineRefusals) {
    SimProcess sim({});
    EXPECT_EQ(Nereid(sim, {"cal", "show", "32"}).exitCode, 2);
    EXPECT_EQ(Nereid(sim, {"cal", "launch"}).exitCode, 2);
    // Model 17 has no pseudo-random signal; no duration; damping on another model.
    for (std::vector<std::string> args :
         {std::vector<std::string>{"cal", "start", "immediate", "signal=prbs", "duration=5"},
          {"cal", "start", "immediate", "amplitude=1"},
          {"cal", "start", "immediate", "duration=0"},
          {"cal", "start", "immediate", "duration=5", "damping=1"},
          {"cal", "start", "immediate", "duration=5", "channels=9:sensor"},
          {"cal", "start", "immediate", "duration=5", "amplitude=21"}}) {
        const Outcome o = Nereid(sim, args);
        EXPECT_EQ(o.exitCode, 2) << args.back() << "\n" << o.err;
        EXPECT_NE(o.err.find("nothing sent"), std::string::npos) << o.err;
    }
    EXPECT_TRUE(Nereid(sim, {"cal", "show"}).Has("State:        inactive\n"));
}

TEST(NereidIr, ShowsTheSetupAsKeysAndJson) {
    SimProcess sim({"--station", "AB"});
    Outcome o = Nereid(sim, {"ir", "show"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("station=AB  \n")) << o.out;
    EXPECT_TRUE(o.Has("continuous.filesize=60\n")) << o.out;
    EXPECT_TRUE(o.Has("window.16.interval=01:00:00\n")) << o.out;
    EXPECT_TRUE(o.Has("soh.10.interval=60\n")) << o.out;
    // The simulator records on its internal card E, as a recorder records on a storage drive.
    EXPECT_TRUE(o.Has("continuous.drive=E\n")) << o.out;
    o = Nereid(sim, {"ir", "show", "--json"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out.rfind("{\n  \"station\": \"AB  \",\n", 0), 0u) << o.out;
    EXPECT_EQ(o.out.substr(o.out.size() - 4), "\"\n}\n");
}

TEST(NereidIr, ChangeSentAndReadBack) {
    // Drives of their own: other tests create and remove folders in the shared temporary
    // folder while the simulator counts the space its drives use.
    DriveFolder drive;
    ASSERT_FALSE(drive.path.empty());
    SimProcess sim({"--drive", "B=" + drive.path, "--drive", "D=" + drive.path});
    Outcome o =
        Nereid(sim, {"ir", "set", "station=AB", "event.post=0", "event.pre=0", "event.votes=-150",
                     "event.drive=D", "window.3.enabled=1", "window.3.start=2025-03-04T05:06:07",
                     "continuous.mode=time", "continuous.start=2027-02-28T10:30"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Send: Accepted\n")) << o.out;
    EXPECT_TRUE(o.Has("station: SIM1 -> AB  \n")) << o.out;
    EXPECT_TRUE(o.Has("event.post: 30 -> 1\n")) << o.out;
    EXPECT_TRUE(o.Has("event.pre: 10 -> 0\n")) << o.out;
    EXPECT_TRUE(o.Has("event.votes: 1 -> -99\n")) << o.out;
    EXPECT_TRUE(o.Has("event.drive: B -> D\n")) << o.out; // the first storage drive before
    EXPECT_TRUE(o.Has("window.3.start: 1970-01-01T00:00:00 -> 2025-03-04T05:06:07\n")) << o.out;
    EXPECT_NE(o.err.find("event.votes: -150 corrected to -99"), std::string::npos) << o.err;

    o = Nereid(sim, {"ir", "show"});
    EXPECT_TRUE(o.Has("event.drive=D\n")) << o.out;
    EXPECT_TRUE(o.Has("continuous.start=2027-02-28T10:30\n")) << o.out;

    o = Nereid(sim, {"ir", "station", "XY"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("station: AB   -> XY  \n")) << o.out;
}

// Only the windows the keys change are checked; an unused all-zero window (as a recorder that
// never had windows set up reports them) goes back unchanged and blocks nothing.
TEST(NereidIr, OnlyTheChangedWindowsAreCheckedAndNoneIsCorrected) {
    SimProcess sim({"--blank-windows"});
    Outcome o = Nereid(sim, {"ir", "station", "AB"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("Send: Accepted\n")) << o.out;
    EXPECT_TRUE(o.Has("station: SIM1 -> AB  \n")) << o.out;
    EXPECT_EQ(o.err.find("window"), std::string::npos) << o.err;
    o = Nereid(sim, {"ir", "show"});
    EXPECT_TRUE(o.Has("window.1.duration=00:00:00\n")) << o.out;
    EXPECT_TRUE(o.Has("window.1.interval=00:00:00\n")) << o.out;

    // Window 1 goes out as given.
    o = Nereid(sim, {"ir", "set", "window.1.duration=00:10:00", "window.1.interval=01:00:00"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("window.1.interval: 00:00:00 -> 01:00:00\n")) << o.out;
    EXPECT_EQ(o.err.find("window"), std::string::npos) << o.err;

    // A changed window whose duration is not below its interval is refused as it stands, not
    // "corrected" to interval = duration + 1 s.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"ir", "set", "window.2.duration=00:10:00"},
          {"ir", "set", "window.1.interval=00:10:00"}}) {
        o = Nereid(sim, args);
        EXPECT_EQ(o.exitCode, 2) << args.back();
        EXPECT_NE(o.err.find("The duration must be less than the interval!!!"), std::string::npos)
            << o.err;
        EXPECT_NE(o.err.find("nothing sent"), std::string::npos) << o.err;
    }
    EXPECT_NE(o.err.find("window 1: The duration must be less than the interval!!! (duration "
                         "00:10:00, interval 00:10:00)"),
              std::string::npos)
        << o.err;
    o = Nereid(sim, {"ir", "show"});
    EXPECT_TRUE(o.Has("window.1.interval=01:00:00\n")) << o.out;
    EXPECT_TRUE(o.Has("window.2.duration=00:00:00\n")) << o.out;
}

// A recorder with drive A only: A is what it has, so A is what may be chosen.
TEST(NereidIr, ARecorderWithOnlyDriveAOffersA) {
    DriveFolder drive;
    ASSERT_FALSE(drive.path.empty());
    SimProcess sim({"--drive", "A=" + drive.path});
    Outcome o = Nereid(sim, {"ir", "set", "event.drive=A", "event.pre=5"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.Has("event.pre: 10 -> 5\n")) << o.out;
    o = Nereid(sim, {"ir", "set", "event.drive=B"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("drive 'B' is not installed (installed: A)"), std::string::npos) << o.err;
}

TEST(NereidIr, NothingSentWhenAnythingIsRefused) {
    SimProcess sim({});
    Outcome o = Nereid(sim, {"ir", "set", "station=ZZ", "window.3.duration=01:00:00",
                             "window.3.interval=00:59:59"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("window 3: The duration must be less than the interval!!!"),
              std::string::npos)
        << o.err;
    o = Nereid(sim, {"ir", "set", "station=ZZ", "soh.drive=C"}); // no drive C here
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("drive 'C' is not installed"), std::string::npos) << o.err;
    o = Nereid(sim, {"ir", "set", "station=ZZ", "continuous.start=2005-02-30T00:00"});
    EXPECT_EQ(o.exitCode, 2);
    o = Nereid(sim, {"ir", "set", "station=ZZ", "event.nonsense=1"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(Nereid(sim, {"ir", "station", "TOOLONG"}).exitCode, 2);
    EXPECT_TRUE(Nereid(sim, {"ir", "show"}).Has("station=SIM1\n"));

    SimProcess refusing({"--refuse", "0x8F"});
    o = Nereid(refusing, {"ir", "station", "QQ"});
    EXPECT_EQ(o.exitCode, 4);
    EXPECT_TRUE(o.Has("Send: Rejected\n")) << o.out;
}

} // namespace
