#include "datalink/push_service.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "seedlink/mseed_record_packer.h"
#include "test_hub.h"
#include "tests/recording/recorder_test_support.h"

using namespace nereid;
using namespace nereid::datalink;
using nereid::datalink::test::TestHub;
using nereid::recording::test::TempFolder;

namespace {

constexpr std::uint32_t kSecond0 = 1796666100; // 2026-12-07 17:55:00

SHubSettings HubAt(const TestHub& hub, const std::string& queue) {
    SHubSettings s;
    s.host = "127.0.0.1";
    s.port = hub.Port();
    s.queuePath = queue;
    s.retrySeconds = 0.05;
    s.retryMaxSeconds = 0.2;
    s.timeoutSeconds = 5;
    return s;
}

} // namespace

TEST(HubAddress, HostAndPortOrTheUsualPort) {
    std::string host;
    int port = 0;
    std::string why;
    ASSERT_TRUE(ParseHubAddress("hub.example.org:18001", host, port, why));
    EXPECT_EQ(host, "hub.example.org");
    EXPECT_EQ(port, 18001);
    ASSERT_TRUE(ParseHubAddress("hub.example.org", host, port, why));
    EXPECT_EQ(port, kDefaultHubPort);
    ASSERT_TRUE(ParseHubAddress("[::1]:16001", host, port, why));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 16001);
    ASSERT_TRUE(ParseHubAddress(":16002", host, port, why));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_FALSE(ParseHubAddress("hub:0", host, port, why));
    EXPECT_NE(why.find("port 0"), std::string::npos);
    EXPECT_FALSE(ParseHubAddress("hub:65536", host, port, why));
    EXPECT_FALSE(ParseHubAddress("hub:x", host, port, why));
    EXPECT_FALSE(ParseHubAddress("", host, port, why));
    EXPECT_FALSE(ParseHubAddress("[::1]16000", host, port, why));
}

TEST(HubAddress, QueueFilesAreNamedAfterTheHub) {
    EXPECT_EQ(QueueFileName("/var/q", "hub.example.org", 16000),
              "/var/q/datalink-hub.example.org-16000.queue");
    EXPECT_EQ(QueueFileName("/var/q", "::1", 16000), "/var/q/datalink-__1-16000.queue");
    EXPECT_EQ(QueueFileName("/var/q", "../../etc/x", 1), "/var/q/datalink-.._.._etc_x-1.queue");

    const char* state = std::getenv("XDG_STATE_HOME");
    const std::string saved = state != nullptr ? state : "";
    ::setenv("XDG_STATE_HOME", "/srv/state", 1);
    EXPECT_EQ(DefaultQueueFolder(), "/srv/state/nereid");
    ::setenv("XDG_STATE_HOME", "relative", 1); // not absolute: not used
    EXPECT_NE(DefaultQueueFolder(), "relative/nereid");
    if (state != nullptr) {
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }
}

// The feed's records reach every hub byte for byte, in the order the ring got them, under the
// stream's FDSN source identifier and the records' own times; a hub that is away does not
// hold up the other.
TEST(DataLinkPush, HubsGetExactlyTheRecordsTheRingServes) {
    TempFolder folder;
    TestHub up;
    TestHub away;
    away.Shutdown();
    // Before the push: its threads may still log while it is being stopped.
    std::mutex mutex;
    std::vector<std::string> lines;
    CDataLinkPush push({HubAt(up, folder / "up.queue"), HubAt(away, folder / "away.queue")});
    push.SetLog([&](const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    });
    std::string error;
    ASSERT_EQ(push.Start(error), kClientStarted) << error;

    seedlink::CRecordRing ring(1000);
    seedlink::CStreamFeed feed(ring, push.Tee(seedlink::MseedPackerFactory(2.0)), {});
    feed.SetStream(1, seedlink::SFeedStream{"XX", "NRD01", "", "HHZ", 100});
    feed.SetStream(2, seedlink::SFeedStream{"XX", "NRD01", "", "HHN", 100});
    std::vector<std::int32_t> samples(100);
    for (std::uint32_t second = 0; second < 20; ++second) {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int32_t>((second * 100 + i) * 37 % 2001) - 1000;
        }
        feed.OnFrameStored(1, kSecond0 + second, samples.data(), 100);
        feed.OnFrameStored(2, kSecond0 + second, samples.data(), 100);
    }
    feed.FlushAll();
    const std::uint64_t made = ring.Next();
    ASSERT_GE(made, 10u);
    ASSERT_TRUE(TestHub::WaitFor([&] { return up.Stored().size() == made; }, 5));
    const auto stored = up.Stored();
    for (std::uint64_t p = 0; p < made; ++p) {
        std::array<char, seedlink::kRecordLength> record{};
        seedlink::SRecordInfo info;
        ASSERT_EQ(ring.Get(p, record, info), seedlink::kRingRecord);
        EXPECT_EQ(stored[p].data, std::string(record.data(), record.size())) << p;
        EXPECT_EQ(stored[p].streamId, "FDSN:XX_NRD01__H_H_" + info.channel.substr(2) + "/MSEED");
        EXPECT_EQ(stored[p].startUs, info.startNs / 1000);
        EXPECT_EQ(stored[p].endUs, info.endNs / 1000);
    }
    EXPECT_EQ(push.Hub(1).Queued(), made); // kept for the hub that is away
    EXPECT_EQ(push.Unqueued(), 0u);
    EXPECT_NE(push.StateText().find("away, " + std::to_string(made) + " queued"), std::string::npos)
        << push.StateText();
    push.Stop();
}

// A stream whose codes make no source identifier is counted, not queued.
TEST(DataLinkPush, AStreamWithoutAnIdentifierIsCounted) {
    TempFolder folder;
    TestHub hub;
    CDataLinkPush push({HubAt(hub, folder / "q")});
    std::string error;
    ASSERT_EQ(push.Start(error), kClientStarted) << error;
    seedlink::CRecordRing ring(10);
    seedlink::CStreamFeed feed(ring, push.Tee(seedlink::MseedPackerFactory(1.0)), {});
    feed.SetStream(1, seedlink::SFeedStream{"XX", "NRD01", "", "HHZ", 10});
    std::vector<std::int32_t> samples(10, 5);
    feed.OnFrameStored(1, kSecond0, samples.data(), 10);
    feed.FlushAll();
    ASSERT_EQ(ring.Next(), 1u);
    push.Deliver(seedlink::SFeedStream{"XX", "NRD01", "", "Z", 10}, "not a record", 12);
    EXPECT_EQ(push.Unqueued(), 1u);
    ASSERT_TRUE(TestHub::WaitFor([&] { return hub.Stored().size() == 1; }, 5));
    push.Stop();
}
