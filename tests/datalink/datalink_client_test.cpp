#include "datalink/datalink_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "test_hub.h"
#include "tests/recording/recorder_test_support.h"

using namespace nereid::datalink;
using nereid::datalink::test::TestHub;
using nereid::recording::test::TempFolder;

namespace {

SQueuedRecord Record(int serial) {
    SQueuedRecord r;
    r.streamId = "FDSN:XX_NRD01__H_H_Z/MSEED";
    r.startUs = 1796666100000000LL + serial * 2000000LL;
    r.endUs = r.startUs + 1990000;
    r.data = "record " + std::to_string(serial);
    r.data.resize(512, static_cast<char>(serial));
    return r;
}

int SerialOf(const test::StoredRecord& r) {
    return std::stoi(r.data.substr(7));
}

std::vector<int> StoredSerials(const TestHub& hub) {
    std::vector<int> serials;
    for (const auto& r : hub.Stored()) {
        serials.push_back(SerialOf(r));
    }
    return serials;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> out;
    for (int i = from; i < to; ++i) {
        out.push_back(i);
    }
    return out;
}

// Collects what the client tells the operator.
class Log {
public:
    CDataLinkClient::LogFunction Function() {
        return [this](const std::string& line) {
            std::lock_guard lock(m_Mutex);
            m_Lines.push_back(line);
        };
    }
    int Count(const std::string& part) const {
        std::lock_guard lock(m_Mutex);
        return static_cast<int>(std::count_if(m_Lines.begin(), m_Lines.end(), [&](const auto& l) {
            return l.find(part) != std::string::npos;
        }));
    }
    std::string All() const {
        std::lock_guard lock(m_Mutex);
        std::string all;
        for (const auto& l : m_Lines) {
            all += l + "\n";
        }
        return all;
    }

private:
    mutable std::mutex m_Mutex;
    std::vector<std::string> m_Lines;
};

struct ClientFixture : ::testing::Test {
    TempFolder folder;
    TestHub hub;
    Log log;

    SHubSettings Settings() {
        SHubSettings s;
        s.host = "127.0.0.1";
        s.port = hub.Port();
        s.queuePath = folder / "hub.queue";
        s.queueCapacity = 1000;
        s.retrySeconds = 0.05;
        s.retryMaxSeconds = 0.2;
        s.timeoutSeconds = 5;
        s.window = 4;
        return s;
    }

    std::unique_ptr<CDataLinkClient> Started(const SHubSettings& s) {
        auto client = std::make_unique<CDataLinkClient>(s);
        client->SetLog(log.Function());
        std::string error;
        EXPECT_EQ(client->Start(error), kClientStarted) << error;
        return client;
    }
};

} // namespace

// The hub drops the connection twice while records are on their way and refuses one as a
// duplicate: every other record arrives once, in order, and the refused one is not sent again.
TEST_F(ClientFixture, EveryRecordOnceAndInOrderAcrossDropsAndARefusal) {
    hub.DropAtWrite(5);
    hub.DropAtWrite(12);
    hub.RefuseWrite(20, "Error, duplicate packet");
    auto client = Started(Settings());
    for (int i = 0; i < 15; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return hub.Stored().size() >= 13; }, 10)) << log.All();
    for (int i = 15; i < 30; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 10)) << log.All();
    // Writes 1-4 carried records 0-3; write 5 (record 4) and write 12 (record 10) were cut
    // off and sent again; write 20 carried record 17 and was refused.
    std::vector<int> expected = Range(0, 30);
    expected.erase(expected.begin() + 17);
    EXPECT_EQ(StoredSerials(hub), expected) << log.All();
    EXPECT_EQ(client->Refused(), 1u);
    EXPECT_EQ(client->Acknowledged(), 29u);
    EXPECT_EQ(log.Count("went away"), 2) << log.All();
    EXPECT_EQ(log.Count("is back after"), 2) << log.All();
    EXPECT_EQ(log.Count("refused FDSN:XX_NRD01__H_H_Z/MSEED from 2026-12-07T17:55:34.000000Z: "
                        "Error, duplicate packet; it is not sent again"),
              1)
        << log.All();
    // The stored times are the records' own, in microseconds.
    const auto stored = hub.Stored();
    EXPECT_EQ(stored[3].streamId, "FDSN:XX_NRD01__H_H_Z/MSEED");
    EXPECT_EQ(stored[3].startUs, Record(3).startUs);
    EXPECT_EQ(stored[3].endUs, Record(3).endUs);
    EXPECT_EQ(stored[3].data, Record(3).data);
    // Each connection introduced itself with the program's name first.
    const auto ids = hub.ClientIds();
    ASSERT_GE(ids.size(), 4u);
    for (const auto& id : ids) {
        EXPECT_EQ(id.rfind("nereid:", 0), 0u) << id;
    }
}

// ringserver closes at once after refusing, and with WRITEs still unread that close is a reset
// that may swallow the refusal (and answers before it). The refused record then goes once more,
// alone, so that the refusal gets through: it is never stored, goes at most twice, and every
// other record arrives, in order.
TEST_F(ClientFixture, ARefusalSwallowedByAResetIsNotSentForEver) {
    hub.CloseAbruptly(true);
    hub.RefuseRecordAt(Record(9).startUs, "Error, duplicate packet");
    SHubSettings s = Settings();
    s.window = 16;
    auto client = Started(s);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 10)) << log.All();
    std::vector<int> firsts; // each record where it first arrived; a lost answer resends one
    for (int serial : StoredSerials(hub)) {
        if (std::find(firsts.begin(), firsts.end(), serial) == firsts.end()) {
            firsts.push_back(serial);
        }
    }
    std::vector<int> expected = Range(0, 40);
    expected.erase(expected.begin() + 9);
    EXPECT_EQ(firsts, expected) << log.All();
    EXPECT_GE(hub.WritesOfRecordAt(Record(9).startUs), 1);
    EXPECT_LE(hub.WritesOfRecordAt(Record(9).startUs), 2) << log.All();
    EXPECT_EQ(client->Refused(), 1u);
    EXPECT_EQ(log.Count("refused FDSN:XX_NRD01__H_H_Z/MSEED"), 1) << log.All();
}

// A server that refuses a record but keeps the connection: the next records go on the same
// connection, the refused one is not sent again.
TEST_F(ClientFixture, ARefusalOnAConnectionThatStaysOpen) {
    hub.KeepOpenAfterRefusal(true);
    hub.RefuseWrite(3, "Error, out of order");
    hub.RefuseWrite(4, "Error, out of order");
    auto client = Started(Settings());
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), (std::vector<int>{0, 1, 4, 5, 6, 7}));
    EXPECT_EQ(client->Refused(), 2u);
    EXPECT_EQ(hub.Accepted(), 1); // one connection throughout
    EXPECT_EQ(log.Count("Error, out of order; it is not sent again"), 2) << log.All();
}

// A hub that takes records but never answers is left after the timeout and tried again; what
// it did not acknowledge is sent once more (DataLink 1.0 cannot tell whether it was stored).
TEST_F(ClientFixture, AHubThatNeverAcknowledgesIsLeftAndTriedAgain) {
    hub.Mute(true);
    SHubSettings s = Settings();
    s.timeoutSeconds = 0.4;
    auto client = Started(s);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return log.Count("no acknowledgement within") >= 1; }, 5))
        << log.All();
    EXPECT_EQ(client->Queued(), 3u);
    hub.Mute(false);
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    const std::vector<int> serials = StoredSerials(hub);
    ASSERT_GE(serials.size(), 6u);
    // The last delivery holds all three in order.
    EXPECT_EQ(std::vector<int>(serials.end() - 3, serials.end()), Range(0, 3));
    EXPECT_GE(log.Count("is back after"), 1) << log.All();
}

// A hub that is not there at the start gets what was queued meanwhile once it comes.
TEST_F(ClientFixture, AHubAwayAtTheStartGetsTheQueueWhenItComes) {
    hub.Shutdown();
    auto client = Started(Settings());
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return log.Count("no connection") >= 2; }, 5)) << log.All();
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(client->Queued(), 10u);
    ASSERT_TRUE(hub.Listen());
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), Range(0, 10));
    EXPECT_EQ(log.Count("sending 10 queued records"), 1) << log.All();
    EXPECT_TRUE(TestHub::WaitFor([&] { return log.Count("every queued record is sent") == 1; }, 2))
        << log.All();
}

// The hub goes away while data flow and comes back: the operator hears both and how many
// records waited; nothing is lost.
TEST_F(ClientFixture, TheOperatorHearsTheHubGoAndComeBack) {
    auto client = Started(Settings());
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return hub.Stored().size() == 5; }, 5)) << log.All();
    hub.Shutdown();
    ASSERT_TRUE(TestHub::WaitFor([&] { return log.Count("went away") == 1; }, 5)) << log.All();
    for (int i = 5; i < 12; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return log.Count("7 records are queued") >= 1; }, 5))
        << log.All();
    ASSERT_TRUE(hub.Listen());
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), Range(0, 12));
    EXPECT_EQ(log.Count("is back after"), 1) << log.All();
    EXPECT_EQ(log.Count("sending 7 queued records"), 1) << log.All();
}

// What a run could not send is sent by the next run, from the same queue file.
TEST_F(ClientFixture, TheNextRunSendsWhatThisOneLeft) {
    hub.Shutdown();
    {
        auto first = Started(Settings());
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(first->Enqueue(Record(i)), kQueueOk);
        }
        first->Stop(1); // nothing to drain into: the hub is away
        EXPECT_EQ(first->Queued(), 6u);
    }
    ASSERT_TRUE(hub.Listen());
    auto second = Started(Settings());
    EXPECT_EQ(log.Count("6 records left"), 1) << log.All();
    ASSERT_EQ(second->Enqueue(Record(6)), kQueueOk);
    ASSERT_TRUE(TestHub::WaitFor([&] { return second->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), Range(0, 7));
}

// Stopping while connected sends what waits first, within the time given.
TEST_F(ClientFixture, StoppingDrainsTheQueueWhileTheHubIsThere) {
    auto client = Started(Settings());
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Connected(); }, 5));
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    client->Stop(5);
    EXPECT_EQ(client->Queued(), 0u);
    EXPECT_EQ(StoredSerials(hub), Range(0, 40));
}

TEST_F(ClientFixture, CredentialsAreSentAndNeverLogged) {
    hub.RequireCredentials("station", "s3cret-pw");
    SHubSettings s = Settings();
    s.user = "station";
    s.password = "wrong-pw";
    auto refused = Started(s);
    ASSERT_EQ(refused->Enqueue(Record(0)), kQueueOk);
    ASSERT_TRUE(
        TestHub::WaitFor([&] { return log.Count("refused the user name and password") >= 1; }, 5))
        << log.All();
    refused->Stop();
    EXPECT_EQ(refused->Queued(), 1u); // kept for a hub that lets it in
    EXPECT_TRUE(hub.Stored().empty());

    s.password = "s3cret-pw";
    auto client = Started(s);
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), Range(0, 1));
    const auto credentials = hub.Credentials();
    ASSERT_FALSE(credentials.empty());
    EXPECT_EQ(credentials.back(), "station\rs3cret-pw");
    EXPECT_EQ(log.All().find("s3cret"), std::string::npos);
    EXPECT_EQ(log.All().find("wrong-pw"), std::string::npos);
}

// A hub that does not let this address write would refuse, and so lose, every record: they
// stay queued until it does.
TEST_F(ClientFixture, WithoutWritePermissionRecordsStayQueued) {
    hub.GrantWrite(false);
    auto client = Started(Settings());
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return log.Count("WriteIP") >= 2; }, 5)) << log.All();
    EXPECT_EQ(hub.WritesSeen(), 0u);
    EXPECT_EQ(client->Queued(), 3u);
    hub.GrantWrite(true);
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), Range(0, 3));
}

// A hub that shuts the door at once is tried after pauses that double up to the longest.
TEST_F(ClientFixture, ThePauseBetweenAttemptsGrows) {
    hub.SlamDoor(true);
    SHubSettings s = Settings();
    s.retrySeconds = 0.05;
    s.retryMaxSeconds = 0.4;
    s.timeoutSeconds = 0.5;
    auto client = Started(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    client->Stop();
    const auto times = hub.AcceptTimes();
    // Pauses 0.05, 0.1, 0.2, 0.4, 0.4 ... fit about 7 attempts into 2.2 s; without growth 40.
    ASSERT_GE(times.size(), 4u) << log.All();
    EXPECT_LE(times.size(), 10u) << log.All();
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i) {
        gaps.push_back(times[i] - times[i - 1]);
    }
    EXPECT_LT(gaps.front(), 0.3);
    EXPECT_GE(*std::max_element(gaps.begin(), gaps.end()), 0.35);
    EXPECT_GE(gaps[2], gaps[0]);
    EXPECT_GE(log.Count("trying again in 0.4 s"), 1) << log.All();
}

// Past its capacity the queue keeps the newest records and says how many gave way.
TEST_F(ClientFixture, AFullQueueKeepsTheNewest) {
    hub.Shutdown();
    SHubSettings s = Settings();
    s.queueCapacity = 5;
    auto client = Started(s);
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(client->Enqueue(Record(i)), kQueueOk);
    }
    ASSERT_TRUE(TestHub::WaitFor([&] { return log.Count("gave way") >= 1; }, 5)) << log.All();
    EXPECT_EQ(client->Queue().Dropped(), 7u);
    // Said as they happen: one line, or a few when the thread looked in between.
    EXPECT_NE(log.All().find("of the oldest records gave way"), std::string::npos) << log.All();
    ASSERT_TRUE(hub.Listen());
    ASSERT_TRUE(TestHub::WaitFor([&] { return client->Queued() == 0; }, 5)) << log.All();
    EXPECT_EQ(StoredSerials(hub), Range(7, 12));
}

TEST_F(ClientFixture, AQueueFileThatCannotBeMadeIsSaid) {
    SHubSettings s = Settings();
    s.queuePath = folder / "no/such/folder/hub.queue";
    CDataLinkClient client(s);
    std::string error;
    EXPECT_EQ(client.Start(error), kClientNoQueue);
    EXPECT_NE(error.find("no/such/folder/hub.queue"), std::string::npos) << error;
}
