// nereid status and nereid order against nereid-sim: the simulator's values as the pages show
// them, and the bytes of every order as the simulator received them (its --verbose log).

#include <gtest/gtest.h>

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

using Outcome = nereid::sim::test::CliOutcome;
using nereid::sim::test::RunCli;
using nereid::sim::test::Slurp;
using nereid::sim::test::TempFolder;

// A simulator whose standard error (its --verbose log) goes to a file.
class LoggedSim {
public:
    explicit LoggedSim(std::vector<std::string> args) {
        m_Log = m_Folder.Path() + "/sim.log";
        args.push_back("--verbose");
        const int saved = ::dup(2);
        const int log = ::open(m_Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(log, 2); // the simulator inherits it
        m_Sim = std::make_unique<nereid::sim::test::SimProcess>(args);
        ::dup2(saved, 2);
        ::close(saved);
        ::close(log);
    }
    const std::string& Link() const { return m_Sim->Link(); }
    // The payloads of the commands received with this code, as "00 00 03 ..." texts.
    std::vector<std::string> Payloads(const std::string& code) {
        std::vector<std::string> payloads;
        std::istringstream in(Slurp(m_Log));
        std::string line;
        const std::string key = "nereid-sim: command " + code + ", ";
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) != 0)
                continue;
            const std::size_t colon = line.find(':', key.size());
            payloads.push_back(colon == std::string::npos ? "" : line.substr(colon + 2));
        }
        return payloads;
    }

private:
    TempFolder m_Folder;
    std::string m_Log;
    std::unique_ptr<nereid::sim::test::SimProcess> m_Sim;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(NereidStatus, PrintsEveryPageOfTheModelWithThePagesTexts) {
    LoggedSim sim({"--serial", "4321"});
    const Outcome o = RunCli({"--port", sim.Link(), "status"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "Serial Number: 4321\n")) << o.out;
    EXPECT_TRUE(Has(o.out, "Nereid Type: Merlin\n"));
    EXPECT_TRUE(Has(o.out, "Software Version: 02.05\n"));
    EXPECT_TRUE(Has(o.out, "Modem On Local S.P.: NO\n"));
    EXPECT_TRUE(Has(o.out, "Case Enclosure: N/A\n"));
    EXPECT_TRUE(Has(o.out, "SOH 15: N/A\n"));
    EXPECT_TRUE(Has(o.out, "Latitude: +12.345670\n"));
    EXPECT_TRUE(Has(o.out, "Longitude: -33.512341\n"));
    EXPECT_TRUE(Has(o.out, "UTC Offset: 18\n"));
    EXPECT_TRUE(Has(o.out, "A Serial Number: 1A2B-00FF\n"));
    EXPECT_TRUE(Has(o.out, "A Volume Label: NEREID_A\n"));
    EXPECT_TRUE(Has(o.out, "B Installed: NO\n"));
    // One query per page, in page order.
    EXPECT_EQ(sim.Payloads("0xB1"), std::vector<std::string>{"00 00"});
    EXPECT_EQ(sim.Payloads("0xB4").size(), 1u);
    EXPECT_EQ(sim.Payloads("0xB7").size(), 1u);
}

TEST(NereidStatus, JsonNumbersAndTexts) {
    LoggedSim sim({"--model", "3", "--streams", "3"});
    const Outcome o = RunCli({"--port", sim.Link(), "status", "--json", "health", "gps"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out.front(), '[');
    EXPECT_TRUE(Has(o.out, "{\"page\": \"State of Health\", \"values\": {\"Spare\": "));
    EXPECT_TRUE(Has(o.out, "\"Case Enclosure\": \"CLOSED\"")) << o.out; // model 3 reads it
    EXPECT_TRUE(Has(o.out, "\"SOH 11\": \"N/A\""));
    // The page shows "+12.345670"; JSON numbers carry no plus sign.
    EXPECT_TRUE(Has(o.out, "\"Sync Mode\": \"GPS\"")) << o.out;
    EXPECT_TRUE(Has(o.out, "\"Latitude\": 12.345670,"));
    EXPECT_TRUE(Has(o.out, "\"Longitude\": -33.512341,"));
    EXPECT_TRUE(Has(o.out, "\"UTC Offset\": 18,"));
    EXPECT_TRUE(Has(o.out, "\"Source\": \"GPS 3D\""));
    EXPECT_TRUE(sim.Payloads("0xB7").empty());
}

TEST(NereidStatus, DrivesOfAModelWithoutThemAndUnknownPagesAreRefused) {
    LoggedSim sim({"--model", "0"});
    Outcome o = RunCli({"--port", sim.Link(), "status", "drives"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(Has(o.err, "has no drive status page")) << o.err;
    EXPECT_TRUE(sim.Payloads("0xB7").empty());
    o = RunCli({"--port", sim.Link(), "status", "battery"});
    EXPECT_EQ(o.exitCode, 2);
    // Default pages of model 0: three, no drive status.
    o = RunCli({"--port", sim.Link(), "status"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "Nereid Type: Quill\n"));
    EXPECT_FALSE(Has(o.out, "A Installed"));
}

TEST(NereidStatus, RefusedQueryExitsFour) {
    LoggedSim sim({"--refuse", "0xB4"});
    const Outcome o = RunCli({"--port", sim.Link(), "status", "gps"});
    EXPECT_EQ(o.exitCode, 4);
    EXPECT_TRUE(Has(o.err, "GPS Information: Rejected")) << o.err;
}

TEST(NereidOrder, WireBytesOfEveryMerlinOrder) {
    TempFolder driveB;
    LoggedSim sim({"--drive", "B=" + driveB.Path()});
    const std::pair<std::vector<std::string>, std::pair<std::string, std::string>> orders[] = {
        {{"cold-reset"}, {"0x80", "00 00"}},
        {{"warm-reset"}, {"0x81", "00 00"}},
        {{"power-off"}, {"0x82", "00 00"}},
        {{"flush"}, {"0x83", "00 00"}},
        {{"power-down-drive", "B"}, {"0x93", "00 00 01"}},
        {{"acquisition", "start"}, {"0x84", "00 00"}},
        {{"acquisition", "stop"}, {"0x85", "00 00"}},
        {{"relays", "1=short"}, {"0x86", "00 00 03 00 00 00"}},
        {{"vpp", "on"}, {"0x87", "00 00 01"}},
        {{"led", "off"}, {"0x88", "00 00 00"}},
        {{"realtime", "stop"}, {"0x94", "00 00 00"}},
        {{"adc-offset"}, {"0x95", "00 00 FF"}},
    };
    for (const auto& [args, expected] : orders) {
        std::vector<std::string> command = {"--port", sim.Link(), "order"};
        command.insert(command.end(), args.begin(), args.end());
        const Outcome o = RunCli(command);
        EXPECT_EQ(o.exitCode, 0) << args[0] << ": " << o.err;
        EXPECT_EQ(o.out, "Accepted\n") << args[0];
        const auto payloads = sim.Payloads(expected.first);
        ASSERT_FALSE(payloads.empty()) << args[0];
        EXPECT_EQ(payloads.back(), expected.second) << args[0];
    }
}

TEST(NereidOrder, RelayChannelsNotNamedAreOffAndRowsFollowTheStreams) {
    LoggedSim sim({"--model", "0", "--streams", "3"});
    Outcome o = RunCli({"--port", sim.Link(), "order", "relays", "2=lb", "3=sig"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    // Channel 2 "L.B." (2 at bits 2..3), channel 3 "Sig" (1 at bits 4..5): 0x18.
    EXPECT_EQ(sim.Payloads("0x86").back(), "00 00 18 00 00 00");
    o = RunCli({"--port", sim.Link(), "order", "relays"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(sim.Payloads("0x86").back(), "00 00 00 00 00 00");
    // Three streams: three relay rows; channel 4 has none.
    o = RunCli({"--port", sim.Link(), "order", "relays", "4=short"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(Has(o.err, "channels 1..3")) << o.err;
    EXPECT_EQ(sim.Payloads("0x86").size(), 2u);
}

TEST(NereidOrder, OrdersTheModelLacksAreRefusedBeforeSending) {
    LoggedSim sim({"--model", "3", "--streams", "3"});
    for (const std::vector<std::string>& args : {std::vector<std::string>{"power-down-drive", "B"},
                                                 std::vector<std::string>{"realtime", "start"}}) {
        std::vector<std::string> command = {"--port", sim.Link(), "order"};
        command.insert(command.end(), args.begin(), args.end());
        const Outcome o = RunCli(command);
        EXPECT_EQ(o.exitCode, 2) << args[0];
        EXPECT_TRUE(Has(o.err, "Lumen (model code 3) has no " + args[0])) << o.err;
    }
    EXPECT_TRUE(sim.Payloads("0x93").empty());
    EXPECT_TRUE(sim.Payloads("0x94").empty());
}

TEST(NereidOrder, BadCommandLinesExitTwoWithoutConnecting) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"order"}, std::vector<std::string>{"order", "reboot"},
          std::vector<std::string>{"order", "vpp", "maybe"},
          std::vector<std::string>{"order", "relays", "1=loud"},
          std::vector<std::string>{"order", "relays", "1=sig", "1=lb"},
          std::vector<std::string>{"order", "damping", "values", "1", "2", "3", "4", "5", "6", "7",
                                   "128"},
          std::vector<std::string>{"order", "damping", "enable", "9"}}) {
        // No port is named and none exists: a check after connecting would exit 3, not 2.
        const Outcome o = RunCli(args);
        EXPECT_EQ(o.exitCode, 2) << args.back() << ": " << o.err;
    }
    const Outcome o =
        RunCli({"order", "damping", "values", "1", "2", "3", "4", "5", "6", "7", "128"});
    EXPECT_TRUE(Has(o.err, "Please enter an integer between 0 and 127.")) << o.err;
}

TEST(NereidOrder, DampingShowEnableAndValues) {
    LoggedSim sim({"--model", "3", "--streams", "3"});
    Outcome o = RunCli({"--port", sim.Link(), "order", "damping", "values", "1", "2", "3", "4", "5",
                        "6", "7", "127"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(sim.Payloads("0x97").back(), "00 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 7F 00");
    o = RunCli({"--port", sim.Link(), "order", "damping", "enable", "1,3"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(sim.Payloads("0x98").back(), "00 00 05");
    // The same enables again: the page's message, nothing sent.
    o = RunCli({"--port", sim.Link(), "order", "damping", "enable", "3,1"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "Resistor State did not change\n");
    EXPECT_EQ(sim.Payloads("0x98").size(), 1u);
    o = RunCli({"--port", sim.Link(), "order", "damping", "show"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(Has(o.out, "Channel 1 Enable: YES\nChannel 1 Scale Value: 1\n")) << o.out;
    EXPECT_TRUE(Has(o.out, "Channel 2 Enable: NO\n"));
    EXPECT_TRUE(Has(o.out, "Channel 8 Scale Value: 127\n"));
}

TEST(NereidOrder, RejectedAndNoResponseExitCodes) {
    {
        LoggedSim sim({"--refuse", "0x83"});
        const Outcome o = RunCli({"--port", sim.Link(), "order", "flush"});
        EXPECT_EQ(o.exitCode, 4);
        EXPECT_EQ(o.err.substr(o.err.size() - 9), "Rejected\n");
    }
    // A recorder that answers the connection but not the order: "No Response" after the
    // Command sheet's 40 polls (4 s), exit 1.
    LoggedSim sim({"--ignore", "0x80"});
    const Outcome o = RunCli({"--port", sim.Link(), "order", "cold-reset"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err.substr(o.err.size() - 12), "No Response\n");
    EXPECT_EQ(sim.Payloads("0x80").size(), 1u); // sent once, never again
}
