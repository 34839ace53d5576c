// nereid serve across restarts, kills and a full ring: the ring file keeps records and
// sequence numbers; --channels and --help.
#include <libmseed.h>

#include "serve_test_fixture.h"

namespace nereid::seedlink::test {
namespace {

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

} // namespace
} // namespace nereid::seedlink::test
