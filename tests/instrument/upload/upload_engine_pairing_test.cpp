#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "instrument/upload/model/upload_engine.h"
#include "recording/hlcp_translator.h"
#include "tests/instrument/upload/upload_engine_fixture.h"

// Deletes, and answers paired with their own requests when the recorder answers late or twice.
namespace nereid::instrument {
namespace {

TEST_F(UploadEngineTest, DeleteGoesThroughEverySelectedFile) {
    m_Recorder.SetHandler([](const ReceivedCommand& c) -> std::vector<SentFrame> {
        return {PlainAnswer(0x32, c.Text() == "A:\\KEEP.DAT" ? 0 : 1)};
    });
    ASSERT_EQ(m_Engine.StartDelete({"A:\\ONE.DAT", "A:\\KEEP.DAT", "A:\\TWO.DAT"}), 1);
    Run();
    ASSERT_EQ(m_Deleted.size(), 3u);
    EXPECT_EQ(m_Deleted[0].second, kUploadAccepted);
    EXPECT_EQ(m_Deleted[1].second, kUploadRejected);
    EXPECT_EQ(m_Deleted[2].second, kUploadAccepted);
    EXPECT_EQ(m_Finished.back().second, kUploadRejected);
    EXPECT_NE(std::find(m_Indicator.begin(), m_Indicator.end(), "Delete Next"), m_Indicator.end());
}

TEST_F(UploadEngineTest, DeleteWhoseAnswerWasLostIsConfirmedByALook) {
    bool present = true;
    int deletes = 0;
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        if (c.code == 0x92) {
            const bool had = present;
            present = false;
            if (++deletes == 1) {
                return {}; // deleted, but the answer is lost
            }
            return {PlainAnswer(0x32, had ? 1 : 0)};
        }
        if (c.code == 0xB8 && c.Text() == "A:\\GONE.DAT") {
            if (present) {
                return {ListingFrame(1, 1, {{"GONE", "DAT"}})};
            }
            return {SentFrame{'X', {0, 0, 0}}};
        }
        return {};
    });
    ASSERT_EQ(m_Engine.StartDelete({"A:\\GONE.DAT"}), 1);
    Run(20000, 10);
    EXPECT_EQ(deletes, 2);
    ASSERT_EQ(m_Deleted.size(), 1u);
    EXPECT_EQ(m_Deleted[0].second, kUploadAccepted);
    EXPECT_EQ(m_Finished.back().second, kUploadAccepted);

    // A refusal after a resend while the file is still there stays a refusal.
    m_Deleted.clear();
    present = true;
    deletes = 0;
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        if (c.code == 0x92) {
            return ++deletes == 1 ? std::vector<SentFrame>{}
                                  : std::vector<SentFrame>{PlainAnswer(0x32, 0)};
        }
        return {ListingFrame(1, 1, {{"GONE", "DAT"}})};
    });
    m_Engine.StartDelete({"A:\\GONE.DAT"});
    Run(20000, 10);
    ASSERT_EQ(m_Deleted.size(), 1u);
    EXPECT_EQ(m_Deleted[0].second, kUploadRejected);
}

// A recorder whose drive answers every first request 3 to 5 s late, at the fastest and the
// slowest line: nothing is asked twice, and each listing, file and delete gets its own answer.
TEST_F(UploadEngineTest, RecorderAnsweringThreeToFiveSecondsLateIsPairedRightAtEveryBaud) {
    for (const std::uint32_t baud : {115200u, 1200u}) {
        SCOPED_TRACE(baud);
        m_Engine.SetBaud(baud);
        m_Files.clear();
        m_Deleted.clear();
        m_Finished.clear();
        const std::int64_t delays[] = {3000, 5000, 4000};
        m_Recorder.AnswerLate(&m_Now, {0xB8, 0xB9, 0x92}, [&](int n) { return delays[n % 3]; });
        m_Served = {{"ONE.DAT", std::vector<std::uint8_t>(900, 1)},
                    {"TWO.DAT", std::vector<std::uint8_t>(1300, 2)},
                    {"SIX.DAT", std::vector<std::uint8_t>(40, 6)}};
        m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
            if (c.code == 0xB8) {
                return {ListingFrame(1, 1, {{c.Text().substr(3, 3), "LST"}})};
            }
            if (c.code == 0x92) {
                return {PlainAnswer(0x32, c.Text() == "A:\\KEEP.DAT" ? 0 : 1)};
            }
            return ServeFiles(c);
        });
        const std::size_t before = m_Recorder.Commands().size();
        for (const char* folder : {"AAA", "BBB"}) {
            ASSERT_EQ(m_Engine.StartListing(std::string("A:\\") + folder + "\\*.*"), 1);
            Run(20000, 10);
            ASSERT_EQ(m_Entries.size(), 1u);
            EXPECT_EQ(m_Entries[0].name, std::string(folder) + ".LST");
        }
        m_Engine.StartRetrieve(
            {{"A:", "ONE.DAT", 900}, {"A:", "TWO.DAT", 1300}, {"A:", "SIX.DAT", 40}},
            recording::HlcpTranslator::kHlcp, m_Folder);
        Run(20000, 10);
        ASSERT_EQ(m_Files.size(), 3u);
        for (const auto& [name, bytes] : m_Served) {
            EXPECT_EQ(ReadAll(fs::path(m_Folder) / name), bytes) << name;
        }
        m_Engine.StartDelete({"A:\\ONE.DAT", "A:\\KEEP.DAT", "A:\\TWO.DAT"});
        Run(20000, 10);
        ASSERT_EQ(m_Deleted.size(), 3u);
        EXPECT_EQ(m_Deleted[0].second, kUploadAccepted);
        EXPECT_EQ(m_Deleted[1].second, kUploadRejected);
        EXPECT_EQ(m_Deleted[2].second, kUploadAccepted);
        EXPECT_EQ(m_Recorder.Commands().size() - before, 2u + 3u + 3u); // nothing asked twice
        EXPECT_EQ(m_Engine.CommandResends(), 0u);
        ASSERT_EQ(m_Finished.size(), 4u);
        EXPECT_EQ(m_Finished[2], std::make_pair(int{kUploadRetrieve}, int{kUploadAccepted}));
        EXPECT_EQ(m_Finished[3], std::make_pair(int{kUploadDelete}, int{kUploadRejected}));
    }
}

// A recorder so slow that the request goes out again, and that then answers both copies in
// turn: the second answer is dropped, never taken for the next file, listing or path.
TEST_F(UploadEngineTest, AnswersToARequestSentTwiceNeverPassForTheNextOne) {
    m_Engine.SetBaud(115200);
    const std::int64_t late = m_Engine.FirstAnswerWaitMs() + 2000;
    m_Recorder.AnswerLate(&m_Now, {0xB8, 0xB9, 0x92}, [&](int) { return late; });
    m_Served = {{"ONE.DAT", std::vector<std::uint8_t>(1500, 1)},
                {"TWO.DAT", std::vector<std::uint8_t>(700, 2)}};
    std::set<std::string> present = {"A:\\ONE.DAT", "A:\\TWO.DAT"};
    m_Recorder.SetHandler([&](const ReceivedCommand& c) -> std::vector<SentFrame> {
        if (c.code == 0xB8) {
            if (c.Text().size() > 6 && c.Text().substr(c.Text().size() - 3) == "*.*") {
                return {ListingFrame(1, 1, {{c.Text().substr(3, 3), "LST"}})};
            }
            if (present.count(c.Text()) != 0) {
                return {ListingFrame(1, 1, {{"ONE", "DAT"}})};
            }
            return {SentFrame{'X', {0, 0, 0}}};
        }
        if (c.code == 0x92) {
            // The second copy finds the file gone.
            return {PlainAnswer(0x32, present.erase(c.Text()) == 1 ? 1 : 0)};
        }
        return ServeFiles(c);
    });

    m_Engine.StartRetrieve({{"A:", "ONE.DAT", 1500}, {"A:", "TWO.DAT", 700}},
                           recording::HlcpTranslator::kHlcp, m_Folder);
    Run(20000, 10);
    EXPECT_GE(m_Engine.CommandResends(), 2u);
    ASSERT_EQ(m_Files.size(), 2u);
    EXPECT_EQ(m_Files[0].result, kUploadAccepted);
    EXPECT_EQ(m_Files[1].result, kUploadAccepted);
    for (const auto& [name, bytes] : m_Served) {
        EXPECT_EQ(ReadAll(fs::path(m_Folder) / name), bytes) << name;
    }
    EXPECT_GT(m_Engine.OwedFramesDropped(), 0u);

    for (const char* folder : {"AAA", "BBB"}) {
        ASSERT_EQ(m_Engine.StartListing(std::string("A:\\") + folder + "\\*.*"), 1);
        Run(20000, 10);
        ASSERT_EQ(m_Entries.size(), 1u);
        EXPECT_EQ(m_Entries[0].name, std::string(folder) + ".LST");
    }

    m_Engine.StartDelete({"A:\\ONE.DAT", "A:\\TWO.DAT"});
    Run(40000, 10);
    ASSERT_EQ(m_Deleted.size(), 2u);
    EXPECT_EQ(m_Deleted[0].second, kUploadAccepted);
    EXPECT_EQ(m_Deleted[1].second, kUploadAccepted); // not the first path's late refusal
    EXPECT_TRUE(present.empty());
    EXPECT_EQ(m_Finished.back(), std::make_pair(int{kUploadDelete}, int{kUploadAccepted}));
}

TEST_F(UploadEngineTest, BusyEngineRefusesASecondOperation) {
    m_Engine.StartListing("A:\\*.*");
    EXPECT_EQ(m_Engine.StartDelete({"A:\\X"}), kUploadBusy);
    EXPECT_EQ(m_Engine.StartRetrieve({{"A:", "X", 1}}, 0, m_Folder), kUploadBusy);
}

} // namespace
} // namespace nereid::instrument
