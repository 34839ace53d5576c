// nereid config and nereid clock against nereid-sim.

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/sim/cli_process.h"
#include "tests/sim/sim_process.h"

namespace {

using Outcome = nereid::sim::test::CliOutcome;
using nereid::sim::test::RunCli;
using nereid::sim::test::Slurp;

// KEY=VALUE lines of `nereid config show`.
std::map<std::string, std::string> Shown(const std::string& out) {
    std::map<std::string, std::string> values;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return values;
}

// Rate of channel c in `nereid stream` output, -1 when the channel is not listed.
int StreamRate(const std::string& out, int channel) {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        int c = 0, frames = 0, rate = 0;
        if (std::sscanf(line.c_str(), "channel %d: frames %d, rate %d", &c, &frames, &rate) == 3 &&
            c == channel) {
            return rate;
        }
    }
    return -1;
}

TEST(NereidConfig, RateChangeIsSentReadBackAndStreamed) {
    nereid::sim::test::SimProcess sim({"--time-scale", "10"});
    Outcome o = RunCli({"--port", sim.Link(), "config", "set", "channel.1.rate=200"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("channel.1.rate: 100 -> 200"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("channel.3.rate: 100 -> 200"), std::string::npos) << o.out;
    // The secondary rate 10 is not 200/d: the page moves it to the list's first entry.
    EXPECT_NE(o.err.find("secondary rate of channels 9..11 becomes 100"), std::string::npos)
        << o.err;

    o = RunCli({"--port", sim.Link(), "config", "show"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    auto shown = Shown(o.out);
    EXPECT_EQ(shown["channel.1.rate"], "200");
    EXPECT_EQ(shown["channel.4.rate"], "100");
    EXPECT_EQ(shown["channel.9.rate"], "100");
    EXPECT_NE(o.out.find("[Triggers]"), std::string::npos);

    o = RunCli({"--port", sim.Link(), "stream", "--seconds", "2"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(StreamRate(o.out, 1), 200) << o.out;
    EXPECT_EQ(StreamRate(o.out, 4), 100) << o.out;
    EXPECT_EQ(StreamRate(o.out, 9), 100) << o.out;
}

TEST(NereidConfig, ARefusedValueSendsNothing) {
    nereid::sim::test::SimProcess sim({"--model", "3", "--streams", "3"});
    Outcome o = RunCli(
        {"--port", sim.Link(), "config", "set", "channel.1.rate=2", "time.jam-threshold=1000"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_NE(o.err.find("Please enter an integer between 0 and 999."), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("nothing sent"), std::string::npos);
    EXPECT_EQ(o.out.find("Accepted"), std::string::npos);
    o = RunCli({"--port", sim.Link(), "config", "show"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(Shown(o.out)["channel.1.rate"], "100"); // the valid setting was not sent either

    // Model 3 offers the extended list; its eight-channel page gives all rows one rate.
    o = RunCli({"--port", sim.Link(), "config", "set", "channel.2.rate=2", "soh.main=on"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    o = RunCli({"--port", sim.Link(), "config", "show", "--json"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("\"channel.1.rate\": 2,"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"soh.main\": \"on\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("\"Time\": {"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("Triggers"), std::string::npos);
}

TEST(NereidConfig, OtherModelsRefuseTheExtendedRatesAndSendPortSettings) {
    nereid::sim::test::SimProcess sim({"--model", "0", "--streams", "1"});
    Outcome o = RunCli({"--port", sim.Link(), "config", "set", "channel.1.rate=2"});
    EXPECT_EQ(o.exitCode, 2);
    o = RunCli({"--port", sim.Link(), "config", "set", "port.main.data=on", "port.main.format=hlcp",
                "time.sync=ext1pps", "channel.1.enabled=off"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("port.main.data: off -> on"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("time.sync: gps -> ext1pps"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("channel.1.enabled: on -> off"), std::string::npos) << o.out;
    o = RunCli({"--port", sim.Link(), "config", "set", "nonsense"});
    EXPECT_EQ(o.exitCode, 2);
}

TEST(NereidClock, SetsTheRecorderClockAsUtc) {
    nereid::sim::test::SimProcess sim({"--time-scale", "10", "--streams", "1"});
    Outcome o = RunCli({"--port", sim.Link(), "clock", "set", "2003-01-01T00:00:00"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("1041379200"), std::string::npos) << o.out;
    o = RunCli({"--port", sim.Link(), "stream", "--seconds", "1"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("(2003-01-01 00:00:"), std::string::npos) << o.out;

    o = RunCli({"--port", sim.Link(), "clock", "set", "1969-13-01T00:00:00"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.err.find("corrected to 1970-12-01T00:00:00"), std::string::npos) << o.err;
    EXPECT_NE(o.out.find("1970-12-01 00:00:00 UTC"), std::string::npos) << o.out;

    o = RunCli({"--port", sim.Link(), "clock", "set", "--now"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(RunCli({"--port", sim.Link(), "clock", "set", "2003-01-01"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--port", sim.Link(), "clock", "show"}).exitCode, 2);
}

} // namespace
