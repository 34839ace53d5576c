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

#include "recording/data_file_reader.h"
#include "seedlink_test_client.h"

namespace nereid::seedlink::test {
namespace {

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
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
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

auto AtLeastSeconds(double seconds, std::size_t channels) {
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

TEST_F(ServeTest, TwoClientsGetEverySecondInOrderAndOneResumes) {
    StartSim();
    const int port = StartServe();
    ASSERT_GT(port, 0);

    TestClient first(port);
    TestClient second(port);
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(second.Connected());
    // The first speaks multi-station, the second uni-station; both from the first record.
    first.Send("STATION SIM1 XX\r\n");
    ASSERT_EQ(first.Line(), "OK");
    first.Send("DATA 000000\r\n");
    ASSERT_EQ(first.Line(), "OK");
    first.Send("END\r\n");
    second.Send("DATA 000000\r\n");

    // The simulator's 6 streams: channels 1-6 at 100 and 9-14 at 10 samples per second.
    std::vector<DecodedRecord> a;
    ASSERT_TRUE(first.Collect(a, AtLeastSeconds(8, 12), 4000));
    ASSERT_EQ(SecondsPerChannel(a).size(), 12u) << ServeErrors();
    EXPECT_EQ(CheckContinuity(a), "");
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].sequence, i) << "packets in order from the first";
    }
    EXPECT_EQ(SecondsPerChannel(a).count("HH1"), 1u);
    // Channel 9, the second stream of sensor channel 1, at 10 samples per second.
    EXPECT_EQ(SecondsPerChannel(a).count("BH1"), 1u);
    // Every channel starts on a whole second, at its own rate.
    std::map<std::string, bool> seen;
    for (const DecodedRecord& r : a) {
        if (!seen[r.channel]) {
            seen[r.channel] = true;
            EXPECT_EQ(r.startUs % 1000000, 0) << r.channel;
            EXPECT_EQ(r.rate, r.channel[0] == 'H' ? 100.0 : 10.0) << r.channel;
        }
    }

    std::vector<DecodedRecord> b;
    ASSERT_TRUE(second.Collect(
        b, [&](const auto& got) { return got.size() >= a.size(); }, 3000));
    ASSERT_GE(b.size(), a.size());
    for (const DecodedRecord& r : a) {
        EXPECT_EQ(second.Raw().at(r.sequence), first.Raw().at(r.sequence));
    }

    // The first client goes and comes back, asking for the packet after its last.
    const std::uint32_t last = a.back().sequence;
    {
        TestClient again(port);
        char command[32];
        std::snprintf(command, sizeof command, "DATA %06X\r\n", last + 1);
        again.Send(command);
        std::vector<DecodedRecord> more;
        ASSERT_TRUE(again.Collect(more, AtLeastSeconds(2, 12), 3000));
        ASSERT_FALSE(more.empty());
        EXPECT_EQ(more.front().sequence, last + 1);
        std::vector<DecodedRecord> joined = a;
        joined.insert(joined.end(), more.begin(), more.end());
        EXPECT_EQ(CheckContinuity(joined), "") << "no gap and no repeat across the reconnection";
    }
}

TEST_F(ServeTest, LineCutAndRestoredKeepsServingWithSequenceNumbersGoingOn) {
    StartSim();
    const int port = StartServe();
    TestClient client(port);
    client.Send("DATA 000000\r\n");
    std::vector<DecodedRecord> records;
    ASSERT_TRUE(client.Collect(records, AtLeastSeconds(3, 12), 3000));
    ASSERT_FALSE(records.empty());

    m_Sim->Stop(); // the line is cut
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    const std::size_t beforeRestart = records.size();
    StartSim(); // the recorder comes back on the same line

    ASSERT_TRUE(client.Collect(
        records, [&](const auto& got) { return got.size() > beforeRestart + 24; }, 4000));
    EXPECT_GT(records.size(), beforeRestart + 24) << ServeErrors();
    for (std::size_t i = 1; i < records.size(); ++i) {
        ASSERT_EQ(records[i].sequence, records[i - 1].sequence + 1) << "no packet lost or repeated";
    }
    const std::string errors = ServeErrors();
    EXPECT_NE(errors.find("the line is lost or the recorder is silent"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("trying the recorder again"), std::string::npos);
    // Seconds from before the cut still go out in order: continuity holds up to the cut.
    std::vector<DecodedRecord> beforeCut(records.begin(), records.begin() + beforeRestart);
    EXPECT_EQ(CheckContinuity(beforeCut), "");
}

TEST_F(ServeTest, SigtermClosesEveryRecordedFile) {
    StartSim({"--verbose"});
    const std::string dir = m_Folder + "/files";
    fs::create_directory(dir);
    const int port = StartServe({"--record", "dadisp", "--minutes", "1", "--dir", dir});
    TestClient client(port);
    client.Send("DATA\r\n");
    std::vector<DecodedRecord> records;
    ASSERT_TRUE(client.Collect(records, AtLeastSeconds(3, 12), 3000));
    EXPECT_EQ(m_Serve->Stop(), 0) << ServeErrors();
    std::istringstream lines(m_Serve->Rest());
    std::vector<std::string> closed;
    for (std::string line; std::getline(lines, line);) {
        closed.push_back(line);
    }
    std::size_t onDisk = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++onDisk;
    }
    ASSERT_FALSE(closed.empty()) << ServeErrors();
    EXPECT_EQ(closed.size(), onDisk) << "every file in the folder was closed";
    for (const std::string& path : closed) {
        std::vector<recording::FileChannel> channels;
        recording::ReaderMessage message;
        ASSERT_EQ(recording::OpenDataFile(path, channels, message), recording::kOpenAdded)
            << path << ": " << message.text << " " << message.detail;
        ASSERT_EQ(channels.size(), 1u);
        EXPECT_GT(channels[0].sampleCount, 0u) << path;
    }
    // The service stopped the recorder's data (0x94 with 0) and said it stopped.
    EXPECT_NE(ServeErrors().find("nereid serve: stopped"), std::string::npos);
    std::ifstream simLog(m_Folder + "/sim.err");
    std::stringstream simText;
    simText << simLog.rdbuf();
    EXPECT_NE(simText.str().find("command 0x94, 3 bytes: 00 00 00"), std::string::npos);
}

TEST_F(ServeTest, MiniseedFilesCarryTheServedCodesAndCloseOnSigterm) {
    StartSim();
    const std::string dir = m_Folder + "/mseed";
    fs::create_directory(dir);
    const int port = StartServe({"--record", "mseed", "--minutes", "1", "--dir", dir, "--network",
                                 "NR", "--components", "1=Z,2=N,3=E"});
    TestClient client(port);
    client.Send("DATA\r\n");
    std::vector<DecodedRecord> served;
    ASSERT_TRUE(client.Collect(served, AtLeastSeconds(3, 12), 3000));
    EXPECT_EQ(SecondsPerChannel(served).count("HHZ"), 1u);
    EXPECT_EQ(SecondsPerChannel(served).count("HHE"), 1u);
    EXPECT_EQ(m_Serve->Stop(), 0) << ServeErrors();
    std::istringstream lines(m_Serve->Rest());
    std::size_t files = 0;
    for (std::string path; std::getline(lines, path);) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(bytes.empty()) << path;
        ASSERT_EQ(bytes.size() % 512, 0u) << path << " ends in a whole record";
        for (std::size_t at = 0; at < bytes.size(); at += 512) {
            MSRecord* msr = nullptr;
            ASSERT_EQ(msr_unpack(bytes.data() + at, 512, &msr, 1, 0), MS_NOERROR) << path;
            EXPECT_STREQ(msr->network, "NR");
            EXPECT_STREQ(msr->station, "SIM1");
            EXPECT_GT(msr->numsamples, 0);
            msr_free(&msr);
        }
        ++files;
    }
    EXPECT_GE(files, 4u) << ServeErrors(); // channels 1 to 4 are recorded by default
}

TEST_F(ServeTest, ARestartOnTheSameRingFileGoesOnWithTheNextSequenceNumber) {
    StartSim();
    int port = StartServe();
    std::vector<DecodedRecord> before;
    std::map<std::uint32_t, std::string> raw;
    {
        TestClient client(port);
        client.Send("DATA 000000\r\n");
        ASSERT_TRUE(client.Collect(before, AtLeastSeconds(4, 12), 4000));
        EXPECT_EQ(m_Serve->Stop(), 0) << ServeErrors();
        // Everything the service made before it stopped.
        client.Collect(
            before, [](const auto&) { return false; }, 300);
        raw = client.Raw();
    }
    ASSERT_GT(before.size(), 30u);
    for (std::size_t i = 0; i < before.size(); ++i) {
        ASSERT_EQ(before[i].sequence, i);
    }
    const std::uint32_t made = before.back().sequence + 1;
    // A client that stopped part way, at `last`, resumes after the restart.
    const std::uint32_t last = before[before.size() / 2].sequence;

    port = StartServe();
    TestClient resumed(port);
    char command[32];
    std::snprintf(command, sizeof command, "DATA %06X\r\n", last + 1);
    resumed.Send(command);
    std::vector<DecodedRecord> after;
    ASSERT_TRUE(resumed.Collect(
        after, [&](const auto& got) { return got.size() >= made - last + 24; }, 4000))
        << ServeErrors();
    for (std::size_t i = 0; i < after.size(); ++i) {
        ASSERT_EQ(after[i].sequence, last + 1 + i) << "no gap and no repeat across the restart";
    }
    // What the first run made comes back byte for byte; the new run numbers on after it.
    for (std::uint32_t sequence = last + 1; sequence < made; ++sequence) {
        EXPECT_EQ(resumed.Raw().at(sequence), raw.at(sequence)) << sequence;
    }
    const std::vector<DecodedRecord> fresh(after.begin() + (made - last - 1), after.end());
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh.front().sequence, made);
    EXPECT_EQ(CheckContinuity(fresh), "");
    EXPECT_NE(ServeErrors().find("numbering goes on at " + std::to_string(made)), std::string::npos)
        << ServeErrors();
}

TEST_F(ServeTest, KilledWhileServingItsRingOpensAndGoesOnWithoutGapOrRepeat) {
    StartSim();
    int port = StartServe();
    std::vector<DecodedRecord> before;
    {
        TestClient client(port);
        client.Send("DATA 000000\r\n");
        ASSERT_TRUE(client.Collect(before, AtLeastSeconds(3, 12), 4000));
        EXPECT_EQ(m_Serve->Stop(SIGKILL), -1); // mid-write, most likely: records come in bursts
    }
    ASSERT_FALSE(before.empty());
    const std::uint32_t last = before.back().sequence;
    port = StartServe();
    TestClient resumed(port);
    char command[32];
    std::snprintf(command, sizeof command, "DATA %06X\r\n", last + 1);
    resumed.Send(command);
    std::vector<DecodedRecord> after;
    ASSERT_TRUE(resumed.Collect(after, AtLeastSeconds(2, 12), 4000)) << ServeErrors();
    for (std::size_t i = 0; i < after.size(); ++i) {
        ASSERT_EQ(after[i].sequence, last + 1 + i) << "no gap and no repeat after the kill";
    }
    EXPECT_NE(ServeErrors().find("records from before"), std::string::npos) << ServeErrors();
}

TEST_F(ServeTest, TheRingHoldsTheMinutesAskedForOfEveryStream) {
    StartSim();
    const int port = StartServe({"--ring-minutes", "1"});
    {
        TestClient live(port);
        live.Send("DATA\r\n");
        std::vector<DecodedRecord> records;
        ASSERT_TRUE(live.Collect(records, AtLeastSeconds(75, 12), 12000)) << ServeErrors();
    }
    // A dial-up client takes everything held.
    TestClient fetch(port);
    fetch.Send("FETCH 000000\r\n");
    std::vector<DecodedRecord> held;
    fetch.Collect(
        held, [](const auto&) { return false; }, 1500);
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> spans; // first start, last end
    std::int64_t newestEndUs = 0;
    for (const DecodedRecord& r : held) {
        const std::int64_t endUs =
            r.startUs + static_cast<std::int64_t>((r.samples.size() - 1) * 1e6 / r.rate);
        auto [it, fresh] = spans.try_emplace(r.channel, r.startUs, endUs);
        if (!fresh) {
            it->second.first = std::min(it->second.first, r.startUs);
            it->second.second = std::max(it->second.second, endUs);
        }
        newestEndUs = std::max(newestEndUs, endUs);
    }
    ASSERT_EQ(spans.size(), 12u);
    for (const auto& [channel, span] : spans) {
        // 60 s back from the newest record, to within the record that straddles the limit
        // (some 2 s at 100 samples/s, up to the 1 s latency at 10) and the second under way.
        const double seconds = static_cast<double>(newestEndUs - span.first) / 1e6;
        EXPECT_GE(seconds, 60.0) << channel;
        EXPECT_LE(seconds, 64.0) << channel;
    }
}

TEST_F(ServeTest, RecordsTheChannelsAskedForAndExplainsItsOptions) {
    StartSim();
    const std::string dir = m_Folder + "/chosen";
    fs::create_directory(dir);
    const int port =
        StartServe({"--record", "mseed", "--minutes", "1", "--dir", dir, "--channels", "2,5,9"});
    TestClient client(port);
    client.Send("DATA\r\n");
    std::vector<DecodedRecord> served;
    ASSERT_TRUE(client.Collect(served, AtLeastSeconds(2, 12), 3000));
    EXPECT_EQ(m_Serve->Stop(), 0) << ServeErrors();
    std::istringstream lines(m_Serve->Rest());
    std::set<std::string> channels;
    for (std::string path; std::getline(lines, path);) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GE(bytes.size(), 512u) << path;
        MSRecord* msr = nullptr;
        ASSERT_EQ(msr_unpack(bytes.data(), 512, &msr, 0, 0), MS_NOERROR) << path;
        channels.insert(std::string(msr->location) + "." + msr->channel);
        msr_free(&msr);
    }
    // Channels 2 and 5 at 100 samples/s, channel 9 (the second stream of sensor channel 1) at
    // 10: nothing else.
    EXPECT_EQ(channels, (std::set<std::string>{".BH1", ".HH2", ".HH5"})) << ServeErrors();

    const std::string out = m_Folder + "/help.out";
    const std::string err = m_Folder + "/help.err";
    const std::string command =
        std::string(NEREID_CLI_PATH) + " serve --help >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream usage(out);
    std::stringstream text;
    text << usage.rdbuf();
    EXPECT_EQ(text.str().rfind("usage: nereid serve", 0), 0u) << text.str();
    EXPECT_NE(text.str().find("--channels LIST"), std::string::npos);
    EXPECT_NE(text.str().find("--ring-file"), std::string::npos);
    EXPECT_EQ(fs::file_size(err), 0u) << "no option error before the usage";
}

TEST_F(ServeTest, BadOptionsAreRefusedBeforeAnyConnection) {
    struct Case {
        const char* args;
        const char* says;
    };
    const Case cases[] = {
        {"--record png --minutes 1", "--record takes dadisp, css, seisan or mseed"},
        {"--record dadisp", "--record needs --minutes M"},
        {"--record css --minutes 0", "Recording Time is not valid"},
        {"--seedlink 127.0.0.1:99999", "port '99999' is not a number from 0 to 65535"},
        {"--seedlink localhost", "is not HOST:PORT"},
        {"--network xyz", "--network takes one or two capital letters"},
        {"--components 1=", "--components:"},
        {"--ring-minutes 0", "--ring-minutes takes a number"},
        {"--minutes 5", "--minutes, --dir and --channels belong to --record"},
        {"--channels 1,2", "--minutes, --dir and --channels belong to --record"},
        {"--record mseed --minutes 1 --channels 1,17", "--channels takes channel numbers 1 to 16"},
        {"--ring-file ''", "--ring-file takes a path"},
    };
    for (const Case& c : cases) {
        const std::string errors = m_Folder + "/usage.err";
        const std::string command = std::string(NEREID_CLI_PATH) + " --port " + m_Link + " serve " +
                                    c.args + " 2>" + errors;
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2) << c.args;
        std::ifstream in(errors);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_NE(text.str().find(c.says), std::string::npos) << c.args << ": " << text.str();
    }
}

} // namespace
} // namespace nereid::seedlink::test
