#include <gtest/gtest.h>

#include "instrument/configuration/model/cha_page_model.h"
#include "instrument/configuration/model/channel_page_model.h"
#include "instrument/configuration/model/com_page_model.h"
#include "instrument/configuration/model/communication_page_model.h"
#include "instrument/configuration/model/config_model.h"
#include "instrument/configuration/model/time_page_model.h"
#include "instrument/configuration/model/trigger_page_model.h"

namespace nereid::instrument {
namespace {

recording::CStreamList Streams(int count) {
    recording::CStreamList streams;
    streams.SetStreams(count);
    return streams;
}

// A configuration as a recorder with every channel at 100 samples/s (secondary 10) sends it.
link::ConfigurationRecord Received() {
    link::ConfigurationRecord r;
    r.portWords = {0x8A57, 0x8256, 0x8256, 0x8256, 0x8256};
    r.channelEnableMask = 0xFFFF;
    for (std::size_t c = 0; c < 16; ++c) {
        r.rateCodes[c] = c < 8 ? 30 : 20;
    }
    r.authFrameMaskLocal = 0xFFFF;
    r.authFrameMaskMain = 0x00FF;
    r.authGenerationMask = 0xFFFF;
    r.sohFrameEnables = 3;
    return r;
}

TEST(PortWord, DecodesEveryFieldAndFivePortPageSendsItBackWithBit15) {
    const PortSettings s = DecodePortWord(0x0A57);
    EXPECT_TRUE(s.data);
    EXPECT_EQ(BaudOfPosition(s.baud), 9600);
    EXPECT_TRUE(s.txAckNak);
    EXPECT_FALSE(s.rxAckNak);
    EXPECT_TRUE(s.commandResponse);
    EXPECT_FALSE(s.unsolicited);
    EXPECT_STREQ(kProtocolNames[s.protocol], "HLCP");
    EXPECT_STREQ(kFormatNames[s.format], "HLCP");

    CComPageModel page;
    link::ConfigurationRecord r = Received();
    r.portWords = {0x0A57, 0x0A57, 0x0A57, 0x0A57, 0x0A57};
    page.ShowAnswer(r);
    link::ConfigurationRecord out;
    ASSERT_EQ(page.Fill(out), 1);
    for (std::uint16_t word : out.portWords) {
        EXPECT_EQ(word, 0x8A57);
    }
}

TEST(ComPage, RefusesSendBeforeTheFirstAnswerAndAnUnselectedBox) {
    CComPageModel page;
    link::ConfigurationRecord out;
    out.portWords = {1, 2, 3, 4, 5};
    EXPECT_EQ(page.Fill(out), kInvalidEntry);
    EXPECT_EQ(out.portWords[0], 1); // nothing written

    page.ShowAnswer(Received());
    EXPECT_EQ(page.Fill(out), 1);
    page.Row(4).baud = -1;
    EXPECT_EQ(page.Fill(out), kInvalidEntry);
    page.Row(4).baud = 7;
    page.Row(2).format = 4; // past the accepted positions
    EXPECT_EQ(page.Fill(out), kInvalidEntry);
}

TEST(ChaPage, StreamCountThreeKeepsOtherChannelsAndClearsHigherMaskBits) {
    recording::CStreamList streams = Streams(3); // 1..3, 9..11
    CChaPageModel page;
    page.Open(0, streams);
    EXPECT_EQ(page.VisibleRows(), 3);
    link::ConfigurationRecord in = Received();
    for (std::size_t c = 3; c < 16; ++c) {
        in.rateCodes[c] = static_cast<std::uint8_t>(40 + c); // distinct, some unknown
    }
    in.channelEnableMask = 0xA5F0;
    page.ShowAnswer(in);

    page.ChooseRate(RatePositionOfRate(page.RateList(), 200)); // chosen in row 3
    for (int r = 0; r < CChaPageModel::kRows; ++r) {
        EXPECT_EQ(page.Row(r).ratePosition, 9);
    }
    link::ConfigurationRecord out;
    page.Fill(out);
    for (std::size_t c = 0; c < 3; ++c) {
        EXPECT_EQ(out.rateCodes[c], 33) << "channel " << c + 1;
    }
    for (std::size_t c = 3; c < 16; ++c) {
        EXPECT_EQ(out.rateCodes[c], in.rateCodes[c]) << "channel " << c + 1;
    }
    // Channels 1..3 were received disabled; their rows say so; the rest of the mask is kept.
    EXPECT_EQ(out.channelEnableMask, 0xA5F0);
    EXPECT_EQ(out.authFrameMaskLocal, 0x0007);
    EXPECT_EQ(out.authFrameMaskMain, 0x0007);
    EXPECT_EQ(out.authGenerationMask, 0x0007);
    EXPECT_EQ(out.sohFrameEnables, 3);

    page.Row(1).enabled = true;
    page.Row(1).authMain = false;
    page.sohLocal = false;
    page.Fill(out);
    EXPECT_EQ(out.channelEnableMask, 0xA5F2);
    EXPECT_EQ(out.authFrameMaskMain, 0x0005);
    EXPECT_EQ(out.sohFrameEnables, 2);
}

TEST(ChaPage, ExtendedListOnlyForModel3AndUnselectedRateKeepsTheCode) {
    recording::CStreamList streams = Streams(6);
    link::ConfigurationRecord in = Received();
    in.rateCodes[0] = 61;

    CChaPageModel lumen;
    lumen.Open(3, streams);
    lumen.ShowAnswer(in);
    ASSERT_EQ(lumen.RateList().size(), 25u);
    ASSERT_GE(lumen.Row(0).ratePosition, 0);
    EXPECT_EQ(
        lumen.RateList()[static_cast<std::size_t>(lumen.Row(0).ratePosition)].samplesPerSecond, 2);
    EXPECT_TRUE(lumen.AuthenticationShown());

    CChaPageModel other;
    other.Open(0, streams);
    other.ShowAnswer(in);
    EXPECT_EQ(other.RateList().size(), 13u);
    EXPECT_EQ(other.Row(0).ratePosition, -1);
    EXPECT_FALSE(other.AuthenticationShown());
    link::ConfigurationRecord out;
    other.Fill(out);
    EXPECT_EQ(out.rateCodes[0], 61);
    EXPECT_EQ(out.rateCodes[1], 30);
    EXPECT_EQ(other.RowLabel(0), "1 ( Primary)");
}

TEST(ChannelPage, SecondaryListsAndTheirCodes) {
    CChannelPageModel page;
    page.SetStreams(Streams(6));
    page.ShowAnswer(Received());
    const auto& list = StandardRateList();

    ASSERT_EQ(page.ChoosePrimary(CChannelPageModel::kGroupA, RatePositionOfRate(list, 1000)), 1);
    EXPECT_EQ(page.SecondaryList(CChannelPageModel::kGroupA),
              (std::vector<int>{500, 250, 200, 125, 100}));
    // The received secondary (10) is not offered for 1000: the first entry is selected.
    EXPECT_EQ(page.Group(CChannelPageModel::kGroupA).secondaryRate, 500);
    ASSERT_EQ(page.ChooseSecondary(CChannelPageModel::kGroupA, 125), 1);
    EXPECT_EQ(page.ChooseSecondary(CChannelPageModel::kGroupA, 333), 0);

    ASSERT_EQ(page.ChoosePrimary(CChannelPageModel::kGroupB, RatePositionOfRate(list, 40)), 1);
    EXPECT_EQ(page.SecondaryList(CChannelPageModel::kGroupB), (std::vector<int>{20, 10, 8, 5, 4}));
    ASSERT_EQ(page.ChooseSecondary(CChannelPageModel::kGroupB, 8), 1);
    EXPECT_TRUE(page.Modified());

    link::ConfigurationRecord out = Received();
    page.Fill(out);
    const std::array<std::uint8_t, 16> expected = {40, 40, 40, 22, 22, 22, 0, 0,
                                                   32, 32, 32, 65, 65, 65, 0, 0};
    EXPECT_EQ(out.rateCodes, expected);
    EXPECT_EQ(out.channelEnableMask, 0x3F3F);
    EXPECT_EQ(out.sohFrameEnables, 0);
    EXPECT_EQ(out.authFrameMaskLocal, 0);
    EXPECT_EQ(out.authFrameMaskMain, 0);
    EXPECT_EQ(out.authGenerationMask, 0);

    page.SetEnabled(5, false);
    page.Fill(out);
    EXPECT_EQ(out.channelEnableMask, 0x2F2F);
}

TEST(ChannelPage, SecondaryKeptWhenStillOfferedAndGroupsFollowTheStreams) {
    CChannelPageModel page;
    page.SetStreams(Streams(3));
    EXPECT_TRUE(page.GroupPresent(CChannelPageModel::kGroupA));
    EXPECT_FALSE(page.GroupPresent(CChannelPageModel::kGroupB));
    EXPECT_TRUE(page.ChannelPresent(3));
    EXPECT_FALSE(page.ChannelPresent(4));

    page.ShowAnswer(Received()); // 100 and 10
    EXPECT_FALSE(page.Modified());
    const auto& list = StandardRateList();
    page.RebuildSecondary(CChannelPageModel::kGroupA); // activation: 10 is 100/10
    EXPECT_EQ(page.Group(CChannelPageModel::kGroupA).secondaryRate, 10);
    EXPECT_FALSE(page.Modified());
    page.ChoosePrimary(CChannelPageModel::kGroupA, RatePositionOfRate(list, 500));
    EXPECT_EQ(page.SecondaryList(CChannelPageModel::kGroupA),
              (std::vector<int>{250, 125, 100, 50}));
    EXPECT_EQ(page.Group(CChannelPageModel::kGroupA).secondaryRate, 250);
    page.ChooseSecondary(CChannelPageModel::kGroupA, 100);
    page.ChoosePrimary(CChannelPageModel::kGroupA, RatePositionOfRate(list, 1000));
    EXPECT_EQ(page.Group(CChannelPageModel::kGroupA).secondaryRate, 100);
    EXPECT_EQ(page.PrimaryRate(CChannelPageModel::kGroupA), 1000);
    EXPECT_EQ(page.ChoosePrimary(CChannelPageModel::kGroupA, 13), 0);
    EXPECT_EQ(page.PrimaryRate(CChannelPageModel::kGroupA), 1000);
}

TEST(ChannelPage, ReceivedSecondaryOutsideTheStandardListIsKept) {
    CChannelPageModel page;
    page.SetStreams(Streams(6));
    link::ConfigurationRecord in = Received();
    in.rateCodes[0] = 33; // 200
    in.rateCodes[8] = 74; // 25 = 200/8, not in the standard list
    page.ShowAnswer(in);
    page.RebuildSecondary(CChannelPageModel::kGroupA);
    EXPECT_EQ(page.Group(CChannelPageModel::kGroupA).secondaryRate, 25);
    link::ConfigurationRecord out;
    page.Fill(out);
    EXPECT_EQ(out.rateCodes[8], 74);
    EXPECT_EQ(out.rateCodes[10], 74);
}

TEST(ChannelPage, RatesTheListsCannotShowKeepTheReceivedCodes) {
    CChannelPageModel page;
    page.SetStreams(Streams(6));
    link::ConfigurationRecord in = Received();
    in.rateCodes[3] = in.rateCodes[4] = in.rateCodes[5] = 61; // 2 samples/s
    in.rateCodes[11] = in.rateCodes[12] = in.rateCodes[13] = 60;
    page.ShowAnswer(in);
    EXPECT_EQ(page.PrimaryRate(CChannelPageModel::kGroupB), 0);
    link::ConfigurationRecord out;
    page.Fill(out);
    EXPECT_EQ(out.rateCodes[3], 61);
    EXPECT_EQ(out.rateCodes[5], 61);
    EXPECT_EQ(out.rateCodes[11], 60);
    EXPECT_EQ(out.rateCodes[0], 30);
    EXPECT_EQ(out.rateCodes[8], 20);
}

TEST(TimePage, ClockSetFieldsAreClampedAndConvertedAsUtc) {
    ClockFields f;
    f.month = 13;
    f.year = 1969;
    f.second = -4;
    EXPECT_EQ(CTimePageModel::ClampFields(f), 3);
    EXPECT_EQ(f.month, 12);
    EXPECT_EQ(f.year, 1970);
    EXPECT_EQ(f.second, 0);

    ClockFields march{3, 1, 1970, 0, 0, 0};
    EXPECT_EQ(CTimePageModel::ClockSet(march).seconds, 5097600u);
    ClockFields y2003{1, 1, 2003, 0, 0, 0};
    EXPECT_EQ(CTimePageModel::ClockSet(y2003).seconds, 1041379200u);
    EXPECT_EQ(CTimePageModel::ClockSet(y2003).jamSet, 0);
    // 31 February rolls into March.
    ClockFields feb31{2, 31, 2003, 12, 0, 0};
    ClockFields mar3{3, 3, 2003, 12, 0, 0};
    EXPECT_EQ(CTimePageModel::ClockSet(feb31).seconds, CTimePageModel::ClockSet(mar3).seconds);
    EXPECT_EQ(RangeMessage(CTimePageModel::kJamThresholdRange),
              "Please enter an integer between 0 and 999.");
}

TEST(TimePage, GreyedFieldsGoBackAsReceived) {
    CTimePageModel page;
    link::ConfigurationRecord in;
    in.syncMode = 1;
    in.gpsCycleTime = 86400;
    in.minimumCorrection = 123456;
    in.jamSetThreshold = 250;
    in.driftCompensation = 999999;
    page.ShowAnswer(in);
    page.Settings().syncMode = 2;
    EXPECT_TRUE(page.Modified());
    link::ConfigurationRecord out;
    page.Fill(out);
    EXPECT_EQ(out.syncMode, 2);
    EXPECT_EQ(out.gpsCycleTime, 86400u);
    EXPECT_EQ(out.minimumCorrection, 123456u);
    EXPECT_EQ(out.jamSetThreshold, 250);
    EXPECT_EQ(out.driftCompensation, 999999u);
}

TEST(TriggerPage, CornersLevelsAndTimeConstantsAreLimited) {
    CTriggerPageModel page;
    page.Open(Streams(6));
    page.SetGroupRates(500, 100);
    EXPECT_DOUBLE_EQ(page.LimitCorner(2, 300), 250);
    EXPECT_DOUBLE_EQ(page.LimitCorner(5, 300), 50);
    EXPECT_DOUBLE_EQ(page.LimitCorner(5, 0.29), 0.29);
    page.Values(2).lowPass = 300;
    EXPECT_EQ(page.LimitAllCorners(), 1);
    EXPECT_DOUBLE_EQ(page.Values(2).lowPass, 250);
    link::ConfigurationRecord out;
    page.Fill(out);
    EXPECT_EQ(out.triggers[1].lowPassCorner, 25000);

    EXPECT_EQ(CTriggerPageModel::LimitLevel(0.005), 0);
    EXPECT_EQ(CTriggerPageModel::LimitLevel(150), 100);
    EXPECT_EQ(CTriggerPageModel::LimitLevel(0.01), 0.01);
    EXPECT_EQ(CTriggerPageModel::LimitTimeConstant(0), 1);
    EXPECT_EQ(CTriggerPageModel::LimitTimeConstant(-3), 1);
    EXPECT_EQ(CTriggerPageModel::LimitTimeConstant(70000), 65535);
    EXPECT_EQ(CTriggerPageModel::Hundredths(0.29), 29);
    EXPECT_EQ(CTriggerPageModel::Hundredths(2.5), 250);
    EXPECT_EQ(CTriggerPageModel::Hundredths(700), 65535); // would wrap to 4464
    EXPECT_EQ(CTriggerPageModel::Hundredths(-1), 0);
}

TEST(TriggerPage, LevelAndStaShareTheirFieldByMode) {
    CTriggerPageModel page;
    page.Open(Streams(6));
    link::ConfigurationRecord in;
    in.triggers[0] = {1, 50, 2000, 1250, 30, 400, 200, 1};
    in.triggers[1] = {2, 50, 2000, 5, 30, 400, 200, 2};
    page.ShowAnswer(in);
    EXPECT_EQ(page.Selected(), 1);
    EXPECT_DOUBLE_EQ(page.Values(1).level, 12.5);
    EXPECT_EQ(page.Values(1).sta, 0);
    EXPECT_EQ(page.Values(2).sta, 5);
    EXPECT_FALSE(page.Values(2).updatingLta); // only 1 means on
    link::ConfigurationRecord out;
    page.Fill(out);
    EXPECT_EQ(out.triggers[0].levelOrStaTime, 1250);
    EXPECT_EQ(out.triggers[1].levelOrStaTime, 5);
    page.Values(1).mode = CTriggerPageModel::kModeStaLta;
    page.Values(1).sta = 3;
    page.Fill(out);
    EXPECT_EQ(out.triggers[0].levelOrStaTime, 3);
}

TEST(CommunicationPage, ChannelWordsVisibilityAndModifiedState) {
    CCommunicationPageModel page;
    page.SetStreams(Streams(3));
    EXPECT_TRUE(page.ChannelPresent(3));
    EXPECT_FALSE(page.ChannelPresent(4));
    link::ConfigurationRecord in;
    in.portWords = {0x0A57, 0x0256, 0x8256, 0x0256, 0x0256};
    in.channelWords = {0x0707, 0, 0, 0, 0};
    page.ShowAnswer(in);
    EXPECT_FALSE(page.Modified());
    PortVisibility v = page.Visibility();
    EXPECT_TRUE(v.settings && v.ackBoxes && v.channelTable);

    page.Select(1);
    v = page.Visibility();
    EXPECT_FALSE(v.settings || v.ackBoxes || v.channelTable); // data off on Main
    page.Port(1).secondary[5] = true;
    EXPECT_TRUE(page.Modified());

    page.Select(0);
    page.Port(0).settings.protocol = 0;
    v = page.Visibility();
    EXPECT_TRUE(v.settings);
    EXPECT_FALSE(v.ackBoxes);
    EXPECT_TRUE(v.channelTable);

    link::ConfigurationRecord out;
    page.Fill(out);
    EXPECT_EQ(out.channelWords[1], 1u << 13);
    EXPECT_EQ(out.channelWords[0], 0x0707);
    EXPECT_EQ(out.portWords[0], 0x0857); // protocol LLCP, bit 15 as received (0)
    EXPECT_EQ(out.portWords[2], 0x8256); // bit 15 as received (1)
    // The data bit has no control on this page: it goes back as received.
    page.Port(1).settings.data = true;
    page.Fill(out);
    EXPECT_EQ(out.portWords[1], 0x0256);
}

TEST(ConfigModel, AcceptedRecordUpdatesStreamsAndRemembersLocalBaud) {
    recording::CStreamList streams = Streams(3);
    CConfigModel model;
    model.Open(0, streams);
    link::ConfigurationRecord in = Received();
    in.portWords[0] = static_cast<std::uint16_t>((in.portWords[0] & ~0x000Eu) | (6u << 1));
    model.ShowAnswer(in);
    model.ChaPage().ChooseRate(RatePositionOfRate(model.ChaPage().RateList(), 200));
    model.ChaPage().Row(2).enabled = false;
    link::ConfigurationRecord sent;
    ASSERT_EQ(model.Assemble(sent), 1);
    model.RememberSent(sent);
    EXPECT_EQ(model.OnAccepted(streams), 57600);
    const auto& s = streams.Streams();
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[0].rate, 200);
    EXPECT_TRUE(s[0].enabled);
    EXPECT_FALSE(s[2].enabled);
    EXPECT_EQ(s[3].number, "9");
    EXPECT_EQ(s[3].rate, 10);
    EXPECT_FALSE(model.Modified());
}

TEST(ConfigModel, NothingIsAssembledBeforeTheFirstAnswerOrPastARefusal) {
    CConfigModel model;
    model.Open(3, Streams(3));
    link::ConfigurationRecord out;
    out.syncMode = 7;
    EXPECT_EQ(model.Assemble(out), kConfigurationNotRead);
    EXPECT_EQ(out.syncMode, 7);
    link::ConfigurationRecord in = Received();
    in.portWords[3] = 0x8F57; // protocol position 7, past the accepted ones
    model.ShowAnswer(in);
    EXPECT_EQ(model.Assemble(out), kInvalidEntry);
    EXPECT_EQ(out.syncMode, 7);

    CConfigModel six;
    six.Open(17, Streams(6));
    EXPECT_EQ(six.Assemble(out), kConfigurationNotRead);
    six.ShowAnswer(Received());
    EXPECT_EQ(six.Assemble(out), 1);
    // A new opening forgets the answer of the last one.
    six.Open(17, Streams(6));
    EXPECT_FALSE(six.HasAnswer());
    EXPECT_EQ(six.Assemble(out), kConfigurationNotRead);
}

TEST(ConfigModel, SixChannelReadBackAndTriggerLimitsFollowTheChannelPage) {
    recording::CStreamList streams = Streams(6);
    CConfigModel model;
    model.Open(17, streams);
    link::ConfigurationRecord in = Received();
    in.triggers[1].lowPassCorner = 4000; // 40 Hz, under the limit of 100 samples/s
    model.ShowAnswer(in);
    model.ChannelPage().ChoosePrimary(CChannelPageModel::kGroupA,
                                      RatePositionOfRate(StandardRateList(), 50));
    link::ConfigurationRecord sent;
    ASSERT_EQ(model.Assemble(sent), 1);
    EXPECT_EQ(sent.triggers[1].lowPassCorner, 2500); // half of 50 samples/s
    EXPECT_EQ(sent.rateCodes[0], 23);
    EXPECT_EQ(sent.rateCodes[8], 20); // 10 is still offered for 50: 25, 10, 5
    model.RememberSent(sent);
    model.OnAccepted(streams);
    EXPECT_FALSE(model.Modified());
    EXPECT_DOUBLE_EQ(model.TriggerPage().Values(2).lowPass, 25);
    EXPECT_EQ(streams.Streams()[0].rate, 50);
}

} // namespace
} // namespace nereid::instrument
