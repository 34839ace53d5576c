// The transfer engine against nereid-sim playing a recorder whose drive answers every first
// listing, file read and delete 3 to 5 s late. The engine's first-answer wait is the one of
// the fastest line, where it is shortest: nothing may be asked twice, and every listing, file
// and delete must be paired with its own answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "instrument/upload/model/upload_engine.h"
#include "recording/hlcp_translator.h"
#include "tests/sim/cli_process.h"
#include "tests/sim/sim_process.h"

namespace nereid::instrument {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, std::size_t size, char fill) {
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

class SlowRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Drive = m_Temp.Sub("drive");
        m_Out = m_Temp.Sub("out");
        WriteFile(m_Drive + "/ONE.DAT", 900, '1');
        WriteFile(m_Drive + "/TWO.DAT", 1300, '2');
        WriteFile(m_Drive + "/GONE.DAT", 10, 'g');
        m_Sim = std::make_unique<sim::test::SimProcess>(std::vector<std::string>{
            "--drive", "A=" + m_Drive, "--answer-delay", "3000-5000", "--seed", "7"});
        m_Pc = std::make_unique<sim::test::PcSide>(m_Sim->Link());
        ASSERT_TRUE(m_Pc->IsOpen());
        m_Engine = std::make_unique<CUploadEngine>(m_Pc->Link());
        m_Engine->SetBaud(115200);
        m_Engine->SetTakeDataFrames(true);
        CUploadEngine::Hooks h;
        h.listingStarted = [this] { m_Entries.clear(); };
        h.entry = [this](const RecorderEntry& e) { m_Entries.push_back(e.name); };
        h.fileDone = [this](const UploadFileOutcome& o) { m_Files.push_back(o); };
        h.deleted = [this](std::size_t, const std::string& p, int r) {
            m_Deleted.push_back({p, r});
        };
        h.finished = [this](int op, int r) { m_Finished.push_back({op, r}); };
        m_Engine->SetHooks(h);
    }

    // Services the engine until it is idle; false when it is still busy after 40 s.
    bool RunEngine() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        while (m_Engine->Service() != kUploadIdle) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    sim::test::TempFolder m_Temp;
    std::string m_Drive;
    std::string m_Out;
    std::unique_ptr<sim::test::SimProcess> m_Sim;
    std::unique_ptr<sim::test::PcSide> m_Pc;
    std::unique_ptr<CUploadEngine> m_Engine;
    std::vector<std::string> m_Entries;
    std::vector<UploadFileOutcome> m_Files;
    std::vector<std::pair<std::string, int>> m_Deleted;
    std::vector<std::pair<int, int>> m_Finished;
};

TEST_F(SlowRecorderTest, ListingAndEveryFileGetTheirOwnAnswer) {
    ASSERT_EQ(m_Engine->StartListing("A:\\*.*"), 1);
    ASSERT_TRUE(RunEngine());
    ASSERT_EQ(m_Finished.back(), std::make_pair(int{kUploadListing}, int{kUploadAccepted}));
    std::sort(m_Entries.begin(), m_Entries.end());
    EXPECT_EQ(m_Entries, (std::vector<std::string>{"GONE.DAT", "ONE.DAT", "TWO.DAT"}));

    ASSERT_EQ(m_Engine->StartRetrieve({{"A:", "TWO.DAT", 1300}, {"A:", "ONE.DAT", 900}},
                                      recording::HlcpTranslator::kHlcp, m_Out),
              1);
    ASSERT_TRUE(RunEngine());
    ASSERT_EQ(m_Files.size(), 2u);
    for (const UploadFileOutcome& f : m_Files) {
        EXPECT_EQ(f.result, kUploadAccepted) << f.name << ": " << f.message;
    }
    EXPECT_EQ(sim::test::Slurp(m_Out + "/TWO.DAT"), std::string(1300, '2'));
    EXPECT_EQ(sim::test::Slurp(m_Out + "/ONE.DAT"), std::string(900, '1'));
    EXPECT_EQ(m_Engine->CommandResends(), 0u);
    EXPECT_EQ(m_Engine->OwedFramesDropped(), 0u);
}

TEST_F(SlowRecorderTest, EveryDeleteGetsItsOwnAnswer) {
    ASSERT_EQ(m_Engine->StartDelete({"A:\\GONE.DAT", "A:\\NOFILE.DAT"}), 1);
    ASSERT_TRUE(RunEngine());
    ASSERT_EQ(m_Deleted.size(), 2u);
    EXPECT_EQ(m_Deleted[0], std::make_pair(std::string("A:\\GONE.DAT"), int{kUploadAccepted}));
    EXPECT_EQ(m_Deleted[1], std::make_pair(std::string("A:\\NOFILE.DAT"), int{kUploadRejected}));
    EXPECT_FALSE(fs::exists(m_Drive + "/GONE.DAT"));
    EXPECT_TRUE(fs::exists(m_Drive + "/ONE.DAT"));
    EXPECT_EQ(m_Engine->CommandResends(), 0u);
}

} // namespace
} // namespace nereid::instrument
