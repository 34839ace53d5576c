#include "link/direct_search.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/link/fake_link.h"

namespace nereid::link {
namespace {

using test::FakeLink;

class FakePorts : public CPortControl {
public:
    int Open(const std::string& path, std::uint32_t baud) override {
        opens.emplace_back(path, baud);
        return 1;
    }
    int SetBaud(const std::string& path, std::uint32_t baud) override {
        bauds.emplace_back(path, baud);
        return 1;
    }
    std::vector<std::pair<std::string, std::uint32_t>> opens, bauds;
};

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nereid-ds-XXXXXX").string();
        m_Path = mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_Path, ec);
    }
    std::string File(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

HardwareStatus Hardware(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t model) {
    HardwareStatus h;
    h.adc0Found = a;
    h.adc0PbFound = b;
    h.adc1Found = c;
    h.modelCode = model;
    return h;
}

class DirectSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        search.SetHintFile(folder.File("DirectConnect.txt"));
        CDirectSearch::Hooks hooks;
        hooks.setConnected = [this](bool on) { connected.push_back(on); };
        hooks.showConnection = [this](const std::string& name, int group) {
            shown.push_back(name + "/" + std::to_string(group));
        };
        hooks.setStreams = [this](int n) { streams.push_back(n); };
        hooks.showResult = [this](const std::string& text) { lines.push_back(text); };
        search.SetHooks(hooks);
    }
    // Ticks until the search ends; returns the number of ticks.
    int Run(int maxTicks = 10000) {
        for (int i = 1; i <= maxTicks; ++i) {
            if (search.Tick() != kSearchRunning) {
                return i;
            }
        }
        return -1;
    }
    void WriteHints(const std::string& text) {
        std::ofstream(folder.File("DirectConnect.txt")) << text;
    }

    TempFolder folder;
    FakeLink link;
    FakePorts ports;
    CDirectSearch search{link, ports};
    std::vector<bool> connected;
    std::vector<std::string> shown, lines;
    std::vector<int> streams;
};

TEST(StreamCount, FromTheHardwareAnswerBytes) {
    EXPECT_EQ(StreamCountFromHardware(Hardware(1, 0, 0, 0)), 1);
    EXPECT_EQ(StreamCountFromHardware(Hardware(1, 1, 0, 0)), 3);
    EXPECT_EQ(StreamCountFromHardware(Hardware(1, 1, 1, 0)), 6);
    EXPECT_EQ(StreamCountFromHardware(Hardware(0, 0, 0, 0)), 3);
    EXPECT_EQ(StreamCountFromHardware(Hardware(2, 0, 0, 0)), 3);
}

TEST_F(DirectSearchTest, NoPortGivesNoSerialPortAvailable) {
    EXPECT_EQ(search.Start(), kSearchNoPort);
    EXPECT_EQ(search.ResultText(), "No Serial Port Available");
    EXPECT_EQ(connected, std::vector<bool>{false});
    EXPECT_EQ(shown, std::vector<std::string>{"None/0"});
    EXPECT_EQ(link.m_Purges, 1);
    ASSERT_EQ(link.m_Raw.size(), 1u);
    EXPECT_EQ(link.m_Raw[0], (std::vector<std::uint8_t>{0xE3, 0xE1, 0xE5}));
    EXPECT_EQ(search.Tick(), kSearchNoPort);
    EXPECT_TRUE(link.Sent().empty());
}

TEST_F(DirectSearchTest, TwoSilentPortsFailAfterSixteenAttempts) {
    search.SetPorts({"/dev/ttyS0", "/dev/ttyUSB0"});
    ASSERT_EQ(search.Start(), kSearchRunning);
    EXPECT_EQ(Run(), 16 * kAttemptTicks);
    EXPECT_EQ(search.Result(), kSearchFailed);
    EXPECT_EQ(search.ResultText(), "Connection Failed");
    EXPECT_EQ(search.Attempts(), 16);
    EXPECT_EQ(connected.back(), false);
    EXPECT_FALSE(link.TransactionWaiting());
    ASSERT_EQ(ports.opens.size(), 2u);
    EXPECT_EQ(ports.opens[0], std::make_pair(std::string("/dev/ttyS0"), 9600u));
    EXPECT_EQ(ports.opens[1], std::make_pair(std::string("/dev/ttyUSB0"), 9600u));
    ASSERT_EQ(ports.bauds.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(ports.bauds[i].second, kSearchBaudRates[i % 8]) << i;
    }
    EXPECT_EQ(lines.front(), "/dev/ttyS0 1200");
    EXPECT_EQ(lines[15], "/dev/ttyUSB0 115200");
    // Each attempt: ACK frame, then 0xB0; polls for 'P' on nine ticks.
    EXPECT_EQ(link.Sent().size(), 16u);
    EXPECT_EQ(link.Reads(), 16 * 9);
    for (std::uint8_t type : link.ReadTypes()) {
        ASSERT_EQ(type, 'P');
    }
}

TEST_F(DirectSearchTest, StartsAtTheSelectedPortAndWraps) {
    search.SetPorts({"/dev/a", "/dev/b", "/dev/c"});
    search.Start(2);
    Run();
    ASSERT_EQ(ports.opens.size(), 3u);
    EXPECT_EQ(ports.opens[0].first, "/dev/c");
    EXPECT_EQ(ports.opens[1].first, "/dev/a");
    EXPECT_EQ(ports.opens[2].first, "/dev/b");
}

TEST_F(DirectSearchTest, ConnectsThenReadsConfigurationAndStationName) {
    search.SetPorts({"/dev/pts/9"});
    search.Start();
    for (int i = 0; i < 2 * kAttemptTicks + 4; ++i) { // into the third attempt (4800 baud)
        ASSERT_EQ(search.Tick(), kSearchRunning);
    }
    EXPECT_TRUE(link.TransactionWaiting());
    link.QueueAnswer<HardwareStatus>('P', Hardware(1, 1, 1, 17), 4242);
    ASSERT_EQ(search.Tick(), kSearchRunning);
    EXPECT_EQ(streams, std::vector<int>{6});
    EXPECT_EQ(connected.back(), true);
    EXPECT_EQ(shown.back(), "/dev/pts/9/0");
    EXPECT_EQ(link.ModelCode(), 17);
    EXPECT_EQ(search.Baud(), 4800u);
    EXPECT_EQ(link.Sent().back().first, 0xB2);

    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(search.Tick(), kSearchRunning);
    }
    ConfigurationRecord config;
    config.channelEnableMask = 0x0707;
    link.QueueAnswer<ConfigurationRecord>('R', config);
    ASSERT_EQ(search.Tick(), kSearchRunning);
    EXPECT_EQ(link.Sent().back().first, 0xB5);
    InternalRecordingRecord setup;
    setup.stationName = {'N', 'R', 'D', '1'};
    link.QueueAnswer<InternalRecordingRecord>('U', setup);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(search.Result(), kSearchConnected);
    EXPECT_TRUE(search.HasConfiguration());
    EXPECT_EQ(search.Configuration().channelEnableMask, 0x0707);
    EXPECT_EQ(search.StationName(), "NRD1");
    EXPECT_EQ(search.StationNameOutcome(), kStationNameAnswered);
    EXPECT_EQ(search.SerialNumber(), 4242);
    EXPECT_EQ(search.ModelCode(), 17);
    EXPECT_FALSE(link.TransactionWaiting());
}

TEST_F(DirectSearchTest, MissingConfigurationEndsAfterSixtyTicks) {
    search.SetPorts({"/dev/pts/9"});
    search.Start();
    search.Tick(); // attempt starts
    link.QueueAnswer<HardwareStatus>('P', Hardware(1, 0, 0, 3));
    search.Tick();
    ASSERT_EQ(streams, std::vector<int>{1});
    EXPECT_EQ(Run(), kConfigurationTicks + 1);
    EXPECT_EQ(search.Result(), kSearchNoConfiguration);
    EXPECT_EQ(search.ResultText(), "Unable To Get Configuration");
    EXPECT_EQ(connected.back(), true); // still connected, only without configuration
    EXPECT_FALSE(link.TransactionWaiting());
}

TEST_F(DirectSearchTest, StationNameMayBeMissing) {
    search.SetPorts({"/dev/pts/9"});
    search.Start();
    search.Tick();
    link.QueueAnswer<HardwareStatus>('P', Hardware(1, 1, 0, 0));
    search.Tick();
    link.QueueAnswer<ConfigurationRecord>('R', ConfigurationRecord{});
    search.Tick();
    EXPECT_EQ(Run(), kStationNameTicks);
    EXPECT_EQ(search.Result(), kSearchConnected);
    EXPECT_EQ(search.StationName(), "");
    // Not heard is not the same as a recorder without a name.
    EXPECT_EQ(search.StationNameOutcome(), kStationNameNotHeard);
}

// A short name comes NUL-padded; a refusal ends the wait at once; without a configuration
// the query is never sent.
TEST_F(DirectSearchTest, StationNameOutcomes) {
    search.SetPorts({"/dev/pts/9"});
    search.Start();
    search.Tick();
    link.QueueAnswer<HardwareStatus>('P', Hardware(1, 1, 0, 17));
    search.Tick();
    link.QueueAnswer<ConfigurationRecord>('R', ConfigurationRecord{});
    search.Tick();
    InternalRecordingRecord setup;
    setup.stationName = {'S', '2', '\0', '\0'};
    link.QueueAnswer<InternalRecordingRecord>('U', setup);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(search.StationName(), "S2");
    EXPECT_EQ(search.StationNameOutcome(), kStationNameAnswered);

    search.Start();
    search.Tick();
    link.QueueAnswer<HardwareStatus>('P', Hardware(1, 1, 0, 17));
    search.Tick();
    link.QueueAnswer<ConfigurationRecord>('R', ConfigurationRecord{});
    search.Tick();
    link.QueueResult(kRefused);
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(search.Result(), kSearchConnected);
    EXPECT_EQ(search.StationNameOutcome(), kStationNameRefused);

    search.Start();
    search.Tick();
    link.QueueAnswer<HardwareStatus>('P', Hardware(1, 1, 0, 17));
    search.Tick();
    EXPECT_EQ(Run(), kConfigurationTicks + 1);
    EXPECT_EQ(search.Result(), kSearchNoConfiguration);
    EXPECT_EQ(search.StationNameOutcome(), kStationNameNotAsked);
}

TEST_F(DirectSearchTest, HintFileInAnyCaseFixesPortAndBaudAndTheSearchStillEnds) {
    WriteHints("line on Com2, speed 38400\n");
    search.SetPorts({"/dev/ttyS0", "/dev/ttyUSB3"});
    search.Start();
    EXPECT_EQ(Run(), 16 * kAttemptTicks);
    EXPECT_EQ(search.Result(), kSearchFailed);
    ASSERT_EQ(ports.bauds.size(), 16u);
    for (const auto& [path, baud] : ports.bauds) {
        EXPECT_EQ(path, "/dev/ttyUSB3");
        EXPECT_EQ(baud, 38400u);
    }
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(lines[i], "/dev/ttyUSB3 38400");
    }
}

TEST_F(DirectSearchTest, HintFileIsReadAtEveryAttempt) {
    search.SetPorts({"/dev/ttyS0"});
    search.Start();
    for (int i = 0; i < kAttemptTicks; ++i) {
        search.Tick();
    }
    WriteHints("COM1 115200 and 19200"); // the last table match wins: 115200
    search.Tick();
    ASSERT_EQ(ports.bauds.size(), 2u);
    EXPECT_EQ(ports.bauds[0].second, 1200u);
    EXPECT_EQ(ports.bauds[1], std::make_pair(std::string("/dev/ttyS0"), 115200u));
}

TEST_F(DirectSearchTest, HintPortBeyondTheListIsTheMatchingTtyS) {
    WriteHints("com1 com2");
    search.SetPorts({"/dev/pts/4"});
    search.Start();
    search.Tick();
    EXPECT_EQ(lines.back(), "/dev/ttyS1 1200");
    EXPECT_EQ(ports.opens.back().first, "/dev/ttyS1");
}

TEST_F(DirectSearchTest, FixedBaudTriesOnlyThatRate) {
    search.SetPorts({"/dev/a", "/dev/b"});
    search.SetFixedBaud(57600);
    search.Start();
    EXPECT_EQ(Run(), 2 * kFixedBaudAttempts * kAttemptTicks);
    for (const auto& [path, baud] : ports.bauds) {
        EXPECT_EQ(baud, 57600u);
    }
}

} // namespace
} // namespace nereid::link
