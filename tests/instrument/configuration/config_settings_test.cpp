#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "instrument/configuration/model/config_fields.h"
#include "instrument/configuration/model/config_settings.h"

namespace nereid::instrument {
namespace {

link::ConfigurationRecord Record() {
    link::ConfigurationRecord r;
    r.portWords = {0x8A57, 0x8256, 0x8256, 0x8256, 0x8256};
    r.channelEnableMask = 0x3F3F;
    for (std::size_t c = 0; c < 16; ++c) {
        r.rateCodes[c] = c < 8 ? 30 : 20;
    }
    r.syncMode = 2;
    r.gpsCycleTime = 3600;
    r.jamSetThreshold = 10;
    r.channelWords = {0x3F3F, 0, 0, 0, 0};
    for (auto& t : r.triggers) {
        t = {2, 10, 2000, 1, 30, 400, 200, 1};
    }
    return r;
}

struct Fixture {
    explicit Fixture(int model, int streamCount = 6) {
        streams.SetStreams(streamCount);
        config.Open(model, streams);
        config.ShowAnswer(Record());
    }
    int Apply(std::vector<ConfigSetting> settings) {
        report = {};
        return ApplyConfigSettings(config, settings, report);
    }
    std::map<std::string, std::string> Fields() const {
        std::map<std::string, std::string> out;
        for (const ConfigField& f : ConfigurationFields(config)) {
            out[f.key] = f.value;
        }
        return out;
    }
    link::ConfigurationRecord Sent() {
        link::ConfigurationRecord r;
        EXPECT_EQ(config.Assemble(r), 1);
        return r;
    }
    recording::CStreamList streams;
    CConfigModel config;
    ConfigSettingReport report;
};

TEST(ConfigFields, EveryPageIsListedByModel) {
    Fixture six(17);
    auto fields = ConfigurationFields(six.config);
    std::vector<std::string> pages;
    for (const ConfigField& f : fields) {
        if (pages.empty() || pages.back() != f.page) {
            pages.push_back(f.page);
        }
    }
    EXPECT_EQ(pages, (std::vector<std::string>{"Communications", "Channels", "Time", "Triggers"}));
    auto values = six.Fields();
    EXPECT_EQ(values["port.local.channels"], "1,2,3,4,5,6,9,10,11,12,13,14");
    EXPECT_EQ(values["channel.12.rate"], "10");
    EXPECT_EQ(values["trigger.6.high-pass"], "0.1");
    EXPECT_EQ(values["time.sync"], "gps");
    EXPECT_EQ(values.count("soh.local"), 0u);

    Fixture lumen(3, 3);
    values = lumen.Fields();
    EXPECT_EQ(values["port.main.format"], "Data TX Disabled");
    EXPECT_EQ(values["channel.3.auth-gen"], "off");
    EXPECT_EQ(values.count("channel.4.rate"), 0u); // no row for a channel the recorder lacks
    EXPECT_EQ(values.count("trigger.1.mode"), 0u);
    EXPECT_EQ(Fixture(0, 3).Fields().count("soh.main"), 0u);
}

TEST(ConfigSettings, ARefusedValueIsReportedAndTheRestStillChecked) {
    Fixture f(17);
    EXPECT_EQ(f.Apply({{"channel.1.rate", "300"},
                       {"time.jam-threshold", "1000"},
                       {"time.drift", "5"},
                       {"port.local.data", "off"},
                       {"trigger.7.mode", "level"},
                       {"bogus", "1"},
                       {"time.gps-cycle", "60"}}),
              0);
    ASSERT_EQ(f.report.refusals.size(), 6u);
    EXPECT_TRUE(std::any_of(f.report.refusals.begin(), f.report.refusals.end(),
                            [](const std::string& line) {
                                return line == "time.jam-threshold=1000: Please enter an "
                                               "integer between 0 and 999.";
                            }));
}

TEST(ConfigSettings, SixChannelRatesFollowThePageRules) {
    Fixture f(17);
    // The secondary rate names a value of the list of the primary set in the same command,
    // whatever the order of the arguments.
    ASSERT_EQ(f.Apply({{"channel.10.rate", "125"},
                       {"channel.2.rate", "1000"},
                       {"channel.12.rate", "8"},
                       {"channel.4.rate", "40"}}),
              1)
        << f.report.refusals.front();
    link::ConfigurationRecord r = f.Sent();
    EXPECT_EQ(r.rateCodes[0], 40);
    EXPECT_EQ(r.rateCodes[8], 32);
    EXPECT_EQ(r.rateCodes[11], 65);
    EXPECT_EQ(r.rateCodes[3], 22);

    Fixture g(17);
    EXPECT_EQ(g.Apply({{"channel.1.rate", "200"}, {"channel.3.rate", "100"}}), 0);
    EXPECT_EQ(g.Apply({{"channel.9.rate", "30"}}), 0); // 100/d has no 30
    EXPECT_EQ(g.Apply({{"channel.9.enabled", "off"}}), 0);
    ASSERT_EQ(g.Apply({{"channel.5.enabled", "off"}}), 1);
    EXPECT_EQ(g.Sent().channelEnableMask, 0x2F2F);
}

TEST(ConfigSettings, EightChannelRateIsCommonAndRowlessChannelsRefused) {
    Fixture f(0, 3);
    ASSERT_EQ(f.Apply({{"channel.3.rate", "200"}}), 1);
    ASSERT_EQ(f.report.notes.size(), 1u);
    link::ConfigurationRecord r = f.Sent();
    EXPECT_EQ(r.rateCodes[0], 33);
    EXPECT_EQ(r.rateCodes[2], 33);
    EXPECT_EQ(r.rateCodes[3], 30);
    EXPECT_EQ(r.rateCodes[8], 20);
    EXPECT_EQ(f.Apply({{"channel.9.rate", "200"}}), 0);
    EXPECT_EQ(f.Apply({{"channel.4.enabled", "on"}}), 0);
    EXPECT_EQ(f.Apply({{"channel.1.rate", "2"}}), 0); // extended list: model 3 only
    EXPECT_EQ(f.Apply({{"channel.1.auth-local", "on"}}), 0);
    EXPECT_EQ(f.Apply({{"channel.1.rate", "200"}, {"channel.2.rate", "100"}}), 0);

    Fixture lumen(3, 3);
    ASSERT_EQ(lumen.Apply({{"channel.1.rate", "2"}, {"soh.main", "on"}}), 1);
    r = lumen.Sent();
    EXPECT_EQ(r.rateCodes[1], 61);
    EXPECT_EQ(r.sohFrameEnables, 2);
}

TEST(ConfigSettings, PortsAndTheirChannels) {
    Fixture f(0, 3);
    ASSERT_EQ(f.Apply({{"port.local.baud", "57600"},
                       {"port.main.protocol", "llcp"},
                       {"port.slot2.format", "usgs"},
                       {"port.slot0.data", "on"}}),
              1);
    link::ConfigurationRecord r = f.Sent();
    EXPECT_EQ(r.portWords[0], 0x8A5D);
    EXPECT_EQ(r.portWords[1], 0x8056);
    EXPECT_EQ(r.portWords[2], 0x8257);
    EXPECT_EQ(r.portWords[4], 0x9256);
    EXPECT_EQ(f.Apply({{"port.local.baud", "56000"}}), 0);
    EXPECT_EQ(f.Apply({{"port.local.channels", "1"}}), 0);

    Fixture six(17, 3);
    ASSERT_EQ(six.Apply({{"port.main.channels", "14"}}), 0); // channel 6 is not fitted
    ASSERT_EQ(six.Apply({{"port.main.channels", "1,11"}, {"port.local.channels", "none"}}), 1);
    r = six.Sent();
    EXPECT_EQ(r.channelWords[1], (1u << 0) | (1u << 10));
    EXPECT_EQ(r.channelWords[0], 0);
}

TEST(ConfigSettings, TriggerValuesAreCorrectedAsThePageDoes) {
    Fixture f(17);
    ASSERT_EQ(f.Apply({{"trigger.2.level", "0.005"},
                       {"trigger.2.mode", "level"},
                       {"trigger.3.level", "150"},
                       {"trigger.3.mode", "LEVEL"},
                       {"trigger.2.low-pass", "300"},
                       {"channel.1.rate", "500"},
                       {"trigger.4.sta", "0"},
                       {"trigger.4.ratio", "2.5"}}),
              1)
        << f.report.refusals.front();
    EXPECT_EQ(f.report.notes.size(), 6u); // level x2, corner, sta, primary and secondary rate
    link::ConfigurationRecord r = f.Sent();
    EXPECT_EQ(r.triggers[1].mode, 1);
    EXPECT_EQ(r.triggers[1].levelOrStaTime, 0);
    EXPECT_EQ(r.triggers[2].levelOrStaTime, 10000);
    EXPECT_EQ(r.triggers[1].lowPassCorner, 25000);
    EXPECT_EQ(r.triggers[3].levelOrStaTime, 1);
    EXPECT_EQ(r.triggers[3].triggerRatio, 250);
    EXPECT_EQ(f.Apply({{"trigger.1.ratio", "700"}}), 0);
    EXPECT_EQ(f.Apply({{"trigger.1.level", "5"}}), 0); // STA/LTA mode
    EXPECT_EQ(f.Apply({{"trigger.2.sta", "5"}}), 0);   // LEVEL mode
    EXPECT_EQ(f.Apply({{"trigger.1.lta", "-1"}}), 0);
    EXPECT_EQ(Fixture(3, 3).Apply({{"trigger.1.mode", "none"}}), 0);
}

TEST(ConfigSettings, TimeSettings) {
    Fixture f(3, 3);
    ASSERT_EQ(f.Apply({{"time.sync", "ext1pps"},
                       {"time.gps-cycle", "4294967295"},
                       {"time.jam-threshold", "999"}}),
              1);
    link::ConfigurationRecord r = f.Sent();
    EXPECT_EQ(r.syncMode, 1);
    EXPECT_EQ(r.gpsCycleTime, 4294967295u);
    EXPECT_EQ(r.jamSetThreshold, 999);
    EXPECT_EQ(f.Apply({{"time.gps-cycle", "4294967296"}}), 0);
    EXPECT_EQ(f.Apply({{"time.sync", "ntp"}}), 0);
    EXPECT_EQ(f.Apply({{"time.jam-threshold", "1e2"}}), 0);
}

TEST(ConfigSettings, KeyValueSyntax) {
    ConfigSetting s;
    ASSERT_EQ(ParseConfigSetting("Channel.1.Rate=200", s), 1);
    EXPECT_EQ(s.key, "channel.1.rate");
    EXPECT_EQ(s.value, "200");
    ASSERT_EQ(ParseConfigSetting("port.main.format=Data TX Disabled", s), 1);
    EXPECT_EQ(s.value, "Data TX Disabled");
    EXPECT_EQ(ParseConfigSetting("channel.1.rate", s), 0);
    EXPECT_EQ(ParseConfigSetting("=5", s), 0);
}

} // namespace
} // namespace nereid::instrument
