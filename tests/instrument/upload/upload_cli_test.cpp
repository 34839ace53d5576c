// nereid ls, get and rm end to end against nereid-sim: every form of every file of drive A
// against what nereid translate makes of the same file fetched as HLCP, the same over a line
// with faults, Ctrl-C in the middle of a file, and deletes.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/recording/mseed_test_read.h"
#include "tests/sim/cli_process.h"
#include "tests/sim/sim_process.h"

namespace {

namespace fs = std::filesystem;

using Outcome = nereid::sim::test::CliOutcome;
using nereid::sim::test::CliRun;
using nereid::sim::test::RunCli;
using nereid::sim::test::Slurp;
using nereid::sim::test::TempFolder;

std::vector<std::string> Base(const nereid::sim::test::SimProcess& sim) {
    return {"--port", sim.Link(), "--baud", "115200"};
}

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// File name -> contents of every file in a folder.
std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder)) {
        files[e.path().filename().string()] = Slurp(e.path().string());
    }
    return files;
}

const char* const kForms[] = {"dadisp", "seisan", "ascii", "hlcp", "css", "mseed"};

// The sim's day folder has a date in its name: "DAY" and the day of year of its start.
std::string DayFolder(const nereid::sim::test::SimProcess& sim) {
    const Outcome o = RunCli(With(Base(sim), {"ls", "--json"}));
    const auto at = o.out.find("\"DAY");
    if (at == std::string::npos) {
        return "";
    }
    return o.out.substr(at + 1, 6);
}

// Fetches drive A (its root and the day folder) in `form` into `folder`.
Outcome GetDriveA(const nereid::sim::test::SimProcess& sim, const std::string& form,
                  const std::string& folder, const std::string& day = "") {
    return RunCli(With(Base(sim), {"get", "--format", form, "--out", folder, "A:\\*.*",
                                   "A:\\" + (day.empty() ? DayFolder(sim) : day)}));
}

class UploadCliTest : public ::testing::Test {};

TEST_F(UploadCliTest, ListsTheDriveRootAndAFolder) {
    nereid::sim::test::SimProcess sim({});
    Outcome o = RunCli(With(Base(sim), {"ls"}));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("File Name"), std::string::npos);
    EXPECT_NE(o.out.find("<DIR>"), std::string::npos);
    EXPECT_NE(o.out.find("D1234001."), std::string::npos);
    const std::string day = DayFolder(sim);
    ASSERT_FALSE(day.empty());
    o = RunCli(With(Base(sim), {"ls", "--json", "A:\\" + day}));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("\"name\": \"D1234002."), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"sizeK\": 10"), std::string::npos) << o.out; // 9276 bytes
    o = RunCli(With(Base(sim), {"ls", "Q:\\NOWHERE"}));
    EXPECT_EQ(o.exitCode, 4) << o.err;
    EXPECT_NE(o.err.find("Rejected"), std::string::npos);
}

TEST_F(UploadCliTest, EveryFormEqualsTranslateOfTheHlcpFile) {
    nereid::sim::test::SimProcess sim({});
    TempFolder t;
    const std::string hlcp = t.Sub("hlcp");
    const std::string day = DayFolder(sim);
    Outcome o = GetDriveA(sim, "hlcp", hlcp, day);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const auto raw = Contents(hlcp);
    ASSERT_EQ(raw.size(), 4u) << o.out;
    std::vector<std::string> rawPaths;
    for (const auto& [name, bytes] : raw) {
        rawPaths.push_back(hlcp + "/" + name);
    }
    for (const char* form : kForms) {
        SCOPED_TRACE(form);
        const std::string got = t.Sub(std::string("get-") + form);
        const std::string want = t.Sub(std::string("translate-") + form);
        o = GetDriveA(sim, form, got, day);
        ASSERT_EQ(o.exitCode, 0) << o.err;
        const Outcome tr = RunCli(With({"translate", "--format", form, "--out", want}, rawPaths));
        ASSERT_EQ(tr.exitCode, 0) << tr.err;
        const auto gotFiles = Contents(got);
        EXPECT_EQ(gotFiles.size(), std::string(form) == "css" ? 8u : 4u);
        EXPECT_TRUE(gotFiles == Contents(want));
    }
    // miniSEED against the ASCII listing of the same recorder file: every sample, and the
    // start second the recorder file carries (bytes 20..23).
    for (const auto& [name, bytes] : Contents(t.Sub("translate-ascii"))) {
        SCOPED_TRACE(name);
        std::istringstream lines(bytes);
        std::string line;
        for (int i = 0; i < 5; ++i) {
            std::getline(lines, line);
        }
        std::vector<std::int32_t> listed;
        while (std::getline(lines, line)) {
            listed.push_back(std::stoi(line));
        }
        ASSERT_FALSE(listed.empty());
        const nereid::recording::test::MseedFile m = nereid::recording::test::ReadMseedFile(
            t.Sub("translate-mseed") + "/" + name + ".mseed");
        ASSERT_EQ(m.result, MS_NOERROR);
        ASSERT_EQ(m.segments.size(), 1u);
        EXPECT_EQ(m.segments[0].samples, listed);
        // The translation is named from the source's letters 0, 1, 3 and 4 and the start's
        // hour and minute.
        std::uint32_t start = 0;
        for (const auto& [rawName, rawBytes] : raw) {
            std::uint32_t t = 0;
            for (int b = 3; b >= 0; --b) {
                t = t << 8 | static_cast<std::uint8_t>(rawBytes[20 + b]);
            }
            char hhmm[8];
            std::snprintf(hhmm, sizeof hhmm, "%02u%02u", t % 86400 / 3600, t % 3600 / 60);
            if (rawName.size() > 4 &&
                name.compare(0, 8,
                             std::string{rawName[0], rawName[1], rawName[3], rawName[4]} + hhmm) ==
                    0) {
                start = t;
            }
        }
        ASSERT_NE(start, 0u);
        EXPECT_EQ(m.segments[0].startUs, std::int64_t{start} * 1000000);
    }
}

TEST_F(UploadCliTest, BadLineStillDeliversEveryFileByteExact) {
    nereid::sim::test::SimProcess clean({});
    TempFolder t;
    const std::string reference = t.Sub("reference");
    ASSERT_EQ(GetDriveA(clean, "hlcp", reference).exitCode, 0);
    const std::string referenceDadisp = t.Sub("reference-dadisp");
    ASSERT_EQ(GetDriveA(clean, "dadisp", referenceDadisp).exitCode, 0);
    clean.Stop();

    // The same drive behind a line that corrupts, drops and garbles.
    const std::string drive = t.Sub("drive");
    fs::copy(reference, drive);
    for (const char* seed : {"3", "11"}) {
        SCOPED_TRACE(seed);
        nereid::sim::test::SimProcess sim({"--drive", "A=" + drive, "--corrupt", "0.1", "--drop",
                                           "0.05", "--garbage", "0.05", "--seed", seed});
        const std::string hlcp = t.Sub(std::string("hlcp-") + seed);
        const std::string dadisp = t.Sub(std::string("dadisp-") + seed);
        const Outcome a =
            RunCli(With(Base(sim), {"get", "--format", "hlcp", "--out", hlcp, "A:\\*.*"}));
        ASSERT_EQ(a.exitCode, 0) << a.err;
        EXPECT_TRUE(Contents(hlcp) == Contents(reference));
        const Outcome b =
            RunCli(With(Base(sim), {"get", "--format", "dadisp", "--out", dadisp, "A:\\*.*"}));
        ASSERT_EQ(b.exitCode, 0) << b.err;
        EXPECT_TRUE(Contents(dadisp) == Contents(referenceDadisp));
    }
}

TEST_F(UploadCliTest, CtrlCInTheMiddleOfAFileKeepsWhatArrived) {
    nereid::sim::test::SimProcess sim({"--baud", "9600"}); // about 1 kB/s
    TempFolder t;
    const std::string out = t.Sub("out");
    CliRun get(With(Base(sim), {"get", "--format", "hlcp", "--out", out, "A:\\D1234001.*"}));
    // Wait for the connection, then a few blocks' worth of the line (the configuration and
    // the listing come first, at the same pace).
    for (int i = 0; i < 500 && get.ErrSoFar().find("115200") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    get.Interrupt();
    const Outcome o = get.Wait();
    EXPECT_EQ(o.exitCode, 130) << o.err;
    EXPECT_NE(o.err.find("stopped after"), std::string::npos) << o.err;
    const auto files = Contents(out);
    ASSERT_EQ(files.size(), 1u);
    const std::string& part = files.begin()->second;
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), 18276u);
    EXPECT_EQ(part.size() % 600, 0u); // whole blocks only

    // The recorder stopped sending: the next command is answered at once.
    const Outcome again = RunCli(With(Base(sim), {"ls", "A:\\D1*.*"}));
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("D1234001."), std::string::npos);
}

TEST_F(UploadCliTest, DeletesAfterConfirmationOnly) {
    nereid::sim::test::SimProcess source({});
    TempFolder t;
    const std::string drive = t.Sub("drive");
    ASSERT_EQ(GetDriveA(source, "hlcp", drive).exitCode, 0);
    source.Stop();
    ASSERT_EQ(Contents(drive).size(), 4u);

    nereid::sim::test::SimProcess sim({"--drive", "A=" + drive});
    // Not a terminal and no --yes: nothing goes.
    Outcome o = RunCli(With(Base(sim), {"rm", "A:\\D2*.*"}));
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(Contents(drive).size(), 4u);

    o = RunCli(With(Base(sim), {"rm", "--yes", "A:\\D2*.*", "A:\\DA234001.*"}));
    EXPECT_EQ(o.exitCode, 0) << o.err;
    const auto left = Contents(drive);
    ASSERT_EQ(left.size(), 2u);
    for (const auto& [name, bytes] : left) {
        EXPECT_EQ(name.rfind("D1", 0), 0u) << name;
    }
    o = RunCli(With(Base(sim), {"rm", "--yes", "A:\\NOFILE.DAT"}));
    EXPECT_EQ(o.exitCode, 4);
    EXPECT_NE(o.err.find("Rejected"), std::string::npos);
    EXPECT_EQ(Contents(drive).size(), 2u);
}

TEST_F(UploadCliTest, CommandLineMistakesAreRefusedBeforeConnecting) {
    EXPECT_EQ(RunCli({"get"}).exitCode, 2);
    EXPECT_EQ(RunCli({"get", "--format", "wav", "A:\\X"}).exitCode, 2);
    EXPECT_EQ(RunCli({"get", "--format", "mseed", "--components", "1=Z,2", "A:\\X"}).exitCode, 2);
    EXPECT_EQ(RunCli({"get", "--out", "/nonexistent/folder", "A:\\X"}).exitCode, 6);
    EXPECT_EQ(RunCli({"rm"}).exitCode, 2);
    EXPECT_EQ(RunCli({"ls", "A:", "B:"}).exitCode, 2);
}

} // namespace
