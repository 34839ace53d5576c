// `nereid serve --datalink` against the simulator and the test hub: the hub gets the records
// the SeedLink side serves, byte for byte and once each, across a dropped connection and an
// outage of the hub.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "datalink/datalink_client.h"
#include "test_hub.h"
#include "tests/recording/recorder_test_support.h"
#include "tests/seedlink/seedlink_test_client.h"
#include "tests/sim/exec_child.h"

namespace nereid::datalink::test {
namespace {

using recording::test::TempFolder;

// A program run for the test: standard output through a pipe, standard error into a file;
// SIGTERM and wait at the end.
class Program {
public:
    Program(std::vector<std::string> args, const std::string& errorFile) {
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
    ~Program() {
        Stop();
        if (m_Out >= 0) {
            close(m_Out);
        }
    }
    std::string Line() {
        std::string line;
        char c = 0;
        while (read(m_Out, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        return line;
    }
    int Stop() {
        if (m_Pid <= 0) {
            return -1;
        }
        kill(m_Pid, SIGTERM);
        int status = 0;
        waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Out = -1;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ServeDataLink, TheHubGetsWhatSeedLinkServesAcrossADropAndAnOutage) {
    TempFolder folder;
    const std::string line = folder / "line";
    Program sim({NEREID_SIM_PATH, "--link", line, "--realtime", "--time-scale", "10"},
                folder / "sim.err");
    ASSERT_EQ(sim.Line(), line);
    TestHub hub;
    hub.DropAtWrite(8);
    const std::string errors = folder / "serve.err";
    Program serve({NEREID_CLI_PATH, "--port", line, "serve", "--seedlink", "127.0.0.1:0",
                   "--datalink", "127.0.0.1:" + std::to_string(hub.Port()), "--datalink-queue-dir",
                   folder / "queues", "--latency", "1", "--silence", "0.6", "--retry", "0.2",
                   "--retry-max", "0.4", "--ring-file", folder / "seedlink.ring"},
                  errors);
    const std::string ready = serve.Line();
    const std::string prefix = "serving SeedLink on 127.0.0.1:";
    ASSERT_EQ(ready.rfind(prefix, 0), 0u) << ready << Slurp(errors);
    EXPECT_EQ(serve.Line(),
              "pushing DataLink to 127.0.0.1:" + std::to_string(hub.Port()) + " as XX.SIM1");
    seedlink::test::TestClient client(std::atoi(ready.c_str() + prefix.size()));
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send("DATA 000000\r\n"));
    std::vector<seedlink::test::DecodedRecord> served;

    ASSERT_TRUE(TestHub::WaitFor([&] { return hub.Stored().size() >= 30; }, 20)) << Slurp(errors);
    hub.Shutdown();
    ASSERT_TRUE(client.Collect(
        served, [](const auto&) { return false; }, 1500));
    ASSERT_TRUE(hub.Listen());
    const std::size_t before = hub.Stored().size();
    ASSERT_TRUE(TestHub::WaitFor([&] { return hub.Stored().size() >= before + 40; }, 20))
        << Slurp(errors);
    ASSERT_TRUE(client.Collect(
        served, [](const auto&) { return false; }, 500));
    EXPECT_EQ(serve.Stop(), 0);
    ASSERT_TRUE(client.Collect(
        served, [](const auto&) { return false; }, 300));

    const auto stored = hub.Stored();
    const auto& raw = client.Raw();
    ASSERT_GE(raw.size(), 60u);
    // The SeedLink client got the ring from its first record: the hub holds the same records in
    // the same order, and the last ones the service flushed as it stopped.
    ASSERT_GE(stored.size(), raw.size());
    for (const auto& [sequence, bytes] : raw) {
        ASSERT_LT(sequence, stored.size());
        EXPECT_EQ(stored[sequence].data, bytes) << "record " << sequence;
    }
    std::set<std::string> distinct;
    for (const auto& r : stored) {
        EXPECT_EQ(r.streamId.rfind("FDSN:XX_SIM1__", 0), 0u) << r.streamId;
        EXPECT_TRUE(distinct.insert(r.data).second) << "sent twice: " << r.streamId;
    }
    const std::string said = Slurp(errors);
    EXPECT_NE(said.find("went away"), std::string::npos) << said;
    EXPECT_NE(said.find("is back after"), std::string::npos) << said;
    for (const auto& id : hub.ClientIds()) {
        EXPECT_EQ(id.rfind("nereid:", 0), 0u) << id;
    }
}

// --datalink alone: no SeedLink port, the records go to the hub.
TEST(ServeDataLink, DataLinkAloneServesNoSeedLink) {
    TempFolder folder;
    const std::string line = folder / "line";
    Program sim({NEREID_SIM_PATH, "--link", line, "--realtime", "--time-scale", "10"},
                folder / "sim.err");
    ASSERT_EQ(sim.Line(), line);
    TestHub hub;
    const std::string errors = folder / "serve.err";
    Program serve({NEREID_CLI_PATH, "--port", line, "serve", "--datalink",
                   "127.0.0.1:" + std::to_string(hub.Port()), "--datalink-queue-dir",
                   folder / "queues", "--latency", "1", "--ring-file", folder / "seedlink.ring"},
                  errors);
    EXPECT_EQ(serve.Line(),
              "pushing DataLink to 127.0.0.1:" + std::to_string(hub.Port()) + " as XX.SIM1")
        << Slurp(errors);
    ASSERT_TRUE(TestHub::WaitFor([&] { return hub.Stored().size() >= 12; }, 20)) << Slurp(errors);
    EXPECT_EQ(serve.Stop(), 0);
    EXPECT_EQ(Slurp(errors).find("SeedLink"), std::string::npos) << Slurp(errors);
    // The queue file is where it was asked to be, and empty after the drain at the end.
    datalink::CRecordQueue queue;
    std::string note;
    ASSERT_EQ(
        queue.Open(folder / ("queues/datalink-127.0.0.1-" + std::to_string(hub.Port()) + ".queue"),
                   datalink::kDefaultQueueRecords, note),
        datalink::kQueueOk);
    EXPECT_EQ(queue.Size(), 0u) << note;
    EXPECT_GE(queue.Head(), hub.Stored().size());
}

TEST(ServeDataLink, BadDataLinkOptionsAreRefusedBeforeAnyConnection) {
    TempFolder folder;
    struct Case {
        const char* args;
        const char* says;
    };
    const Case cases[] = {
        {"--datalink hub:0", "--datalink: port 0 is no hub's port"},
        {"--datalink hub:x", "--datalink: port 'x' is not a number"},
        {"--datalink hub --datalink-queue 5", "--datalink-queue takes a number of records"},
        {"--datalink hub --datalink-user station", "--datalink-user needs --datalink-pass"},
        {"--datalink-user station --datalink-pass pw", "belong to --datalink"},
        {"--datalink hub --datalink hub:16000", "--datalink hub:16000 is named twice"},
    };
    for (const Case& c : cases) {
        const std::string errors = folder / "usage.err";
        // Appended piece by piece: GCC 12 at -O2 warns falsely (array-bounds) on a chain of
        // temporaries and literals.
        std::string command = "env -u NEREID_DATALINK_PASS ";
        command.append(NEREID_CLI_PATH).append(" --port ").append(folder / "none");
        command.append(" serve ").append(c.args).append(" 2>").append(errors);
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2) << c.args;
        const std::string text = Slurp(errors);
        EXPECT_NE(text.find(c.says), std::string::npos) << c.args << ": " << text;
        EXPECT_EQ(text.find("pw"), std::string::npos) << text; // never echoed
    }
}

} // namespace
} // namespace nereid::datalink::test
