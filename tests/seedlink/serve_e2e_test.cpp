#include "recording/data_file_reader.h"
#include "serve_test_fixture.h"

namespace nereid::seedlink::test {
namespace {

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
