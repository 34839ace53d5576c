// The toolkit-free sheet machinery: the send-and-wait cycle with its poll limits and the
// Status sheet's refresh stop, the latched page sets and the help topics.

#include <gtest/gtest.h>

#include "instrument/sheet/model/help_topics.h"
#include "instrument/sheet/model/page_ids.h"
#include "instrument/sheet/model/page_sets.h"
#include "instrument/sheet/model/sheet_cycle.h"
#include "tests/link/fake_link.h"

using namespace nereid;
using namespace nereid::instrument;

namespace {

// Ticks until the cycle stops waiting; returns the outcome and the tick it came on.
std::pair<int, int> RunOut(CSheetCycle& cycle) {
    for (int tick = 1; tick <= 400; ++tick) {
        const int r = cycle.Tick();
        if (r != link::kTransactionWaiting)
            return {r, tick};
    }
    return {link::kTransactionWaiting, 0};
}

} // namespace

TEST(SheetCycle, PollLimitsByKind) {
    test::FakeLink link;
    CSheetCycle status(link, kStatusSheet);
    status.SendQuery(0xB0);
    EXPECT_EQ(RunOut(status), std::make_pair(int(link::kTransactionNoResponse), 40));
    EXPECT_STREQ(status.ResultText(), "No Response");
    CSheetCycle command(link, kCommandSheet);
    command.SendQuery(0x80);
    EXPECT_EQ(RunOut(command), std::make_pair(int(link::kTransactionNoResponse), 41));
    // Reads happen on ticks 1..39 for the Status sheet and 1..40 for the Command sheet.
    EXPECT_EQ(link.Reads(), 39 + 40);
    CSheetCycle recording(link, kInternalRecordingSheet);
    recording.SendQuery(0xB5);
    EXPECT_EQ(RunOut(recording).second, 301);
}

TEST(SheetCycle, AnswerOnTheFortiethPollTakenByTheCommandSheetOnly) {
    for (SheetKind kind : {kStatusSheet, kCommandSheet}) {
        test::FakeLink link;
        CSheetCycle cycle(link, kind);
        cycle.SendQuery(0xB1);
        for (int tick = 1; tick < 40; ++tick)
            ASSERT_EQ(cycle.Tick(), link::kTransactionWaiting);
        link.QueueAnswer(link::kStateOfHealthType, link::StateOfHealth{});
        const int on40 = cycle.Tick();
        if (kind == kStatusSheet) {
            EXPECT_EQ(on40, link::kTransactionNoResponse);
            EXPECT_EQ(link.Pending(), 1u); // not read: it stays for the next transaction
        } else {
            EXPECT_EQ(on40, link::kTransactionAccepted);
            EXPECT_STREQ(cycle.ResultText(), "Accepted");
        }
    }
}

TEST(SheetCycle, AcceptedAnswerReachesTheHookBeforeTheResult) {
    test::FakeLink link;
    CSheetCycle cycle(link, kStatusSheet);
    std::vector<std::string> events;
    cycle.SetAnswerHook([&](std::uint8_t code, const link::FrameRecord& answer) {
        events.push_back("answer " + std::to_string(code) + " " + std::to_string(answer.type));
        EXPECT_STREQ(cycle.ResultText(), ""); // still waiting while the page decodes
    });
    cycle.SetFinishHook([&](int result) { events.push_back("finish " + std::to_string(result)); });
    cycle.SendQuery(0xB4);
    EXPECT_STREQ(cycle.ResultText(), "");
    EXPECT_TRUE(cycle.Started());
    link.QueueAnswer(link::kGpsInformationType, link::GpsInformation{});
    EXPECT_EQ(RunOut(cycle).first, link::kTransactionAccepted);
    EXPECT_EQ(events, (std::vector<std::string>{"answer 180 84", "finish 1"}));
}

TEST(SheetCycle, RefusalShowsRejected) {
    test::FakeLink link;
    CSheetCycle cycle(link, kCommandSheet);
    cycle.SendQuery(0x82);
    link.QueueResult(link::kOtherType);
    link.QueueResult(link::kCrcError);
    link.QueueResult(link::kRefused);
    EXPECT_EQ(RunOut(cycle), std::make_pair(int(link::kTransactionRejected), 3));
    EXPECT_STREQ(cycle.ResultText(), "Rejected");
}

TEST(SheetCycle, NewSendReplacesAWaitingTransaction) {
    test::FakeLink link;
    CSheetCycle cycle(link, kStatusSheet);
    cycle.SendQuery(0xB0);
    for (int i = 0; i < 30; ++i)
        cycle.Tick();
    EXPECT_EQ(cycle.PollCount(), 30);
    cycle.SendQuery(0xB1);
    EXPECT_EQ(cycle.PollCount(), 0);
    EXPECT_EQ(cycle.PendingCode(), 0xB1);
    // A full fresh wait follows: 39 reads more before "No Response".
    EXPECT_EQ(RunOut(cycle).second, 40);
    EXPECT_EQ(link.ReadTypes().back(), 'Q');
}

TEST(SheetCycle, MarkerAdvancesOneStepPerTickAndTurnsAfterTwentyFive) {
    test::FakeLink link;
    CSheetCycle cycle(link, kCommandSheet);
    cycle.SendQuery(0x80);
    const int start = cycle.MarkerStep();
    for (int i = 1; i <= 25; ++i) {
        cycle.Tick();
        EXPECT_EQ(cycle.MarkerStep(), (start + i) % kMarkerSteps);
    }
}

TEST(SheetCycle, RefreshStopsAfterTheFourthNoResponseInARow) {
    test::FakeLink link;
    CSheetCycle cycle(link, kStatusSheet);
    for (int run = 1; run <= 3; ++run) {
        cycle.SendQuery(0xB0);
        RunOut(cycle);
        EXPECT_EQ(cycle.NoAnswerCount(), run);
        EXPECT_TRUE(cycle.RefreshWanted());
    }
    // A refusal neither counts nor resets.
    cycle.SendQuery(0xB0);
    link.QueueResult(link::kRefused);
    RunOut(cycle);
    EXPECT_EQ(cycle.NoAnswerCount(), 3);
    cycle.SendQuery(0xB0);
    RunOut(cycle);
    EXPECT_FALSE(cycle.RefreshWanted());
    EXPECT_EQ(cycle.NoAnswerCount(), 0);
    cycle.RestartRefresh();
    EXPECT_TRUE(cycle.RefreshWanted());
}

TEST(SheetCycle, AcceptedResetsTheNoAnswerCount) {
    test::FakeLink link;
    CSheetCycle cycle(link, kStatusSheet);
    for (int run = 0; run < 3; ++run) {
        cycle.SendQuery(0xB0);
        RunOut(cycle);
    }
    cycle.SendQuery(0xB0);
    link.QueueAnswer(link::kHardwareStatusType, link::HardwareStatus{});
    RunOut(cycle);
    EXPECT_EQ(cycle.NoAnswerCount(), 0);
    for (int run = 0; run < 3; ++run) {
        cycle.SendQuery(0xB0);
        RunOut(cycle);
    }
    EXPECT_TRUE(cycle.RefreshWanted());
}

TEST(SheetCycle, PortClosedOrBuilderRefusalStillWaitsItsLimit) {
    test::FakeLink link;
    link.m_SendResult = 0;
    CSheetCycle cycle(link, kCommandSheet);
    EXPECT_EQ(cycle.SendQuery(0x80), 0);
    EXPECT_EQ(RunOut(cycle), std::make_pair(int(link::kTransactionNoResponse), 41));
}

TEST(PageSets, CountsPerModel) {
    EXPECT_EQ(PagesFor(kStatusSheet, 17).size(), 4u);
    EXPECT_EQ(PagesFor(kConfigurationSheet, 17).size(), 4u);
    EXPECT_EQ(PagesFor(kCommandSheet, 17).size(), 11u);
    EXPECT_EQ(PagesFor(kStatusSheet, 3).size(), 3u);
    EXPECT_EQ(PagesFor(kConfigurationSheet, 3).size(), 3u);
    EXPECT_EQ(PagesFor(kCommandSheet, 3).size(), 10u);
    for (int model : {0, 1, 2, 4, 16, 255}) {
        EXPECT_EQ(PagesFor(kStatusSheet, model).size(), 3u) << model;
        EXPECT_EQ(PagesFor(kConfigurationSheet, model).size(), 3u) << model;
        EXPECT_EQ(PagesFor(kCommandSheet, model).size(), 9u) << model;
    }
    EXPECT_EQ(
        PagesFor(kConfigurationSheet, 17),
        (std::vector<int>{kOnePortCommunicationsPage, kSixChannelPage, kTimePage, kTriggersPage}));
    EXPECT_EQ(PagesFor(kConfigurationSheet, 0),
              (std::vector<int>{kFivePortCommunicationsPage, kEightChannelPage, kTimePage}));
    const auto lumen = PagesFor(kCommandSheet, 3);
    EXPECT_NE(std::find(lumen.begin(), lumen.end(), kDampingPage), lumen.end());
    EXPECT_EQ(std::find(lumen.begin(), lumen.end(), kRealTimePage), lumen.end());
    EXPECT_EQ(std::find(lumen.begin(), lumen.end(), kPowerDownDrivePage), lumen.end());
}

TEST(PageSets, LatchKeepsTheFirstModelCodeEvenWhenItIsZero) {
    CPageSetLatch latch;
    EXPECT_FALSE(latch.Latched());
    EXPECT_TRUE(latch.Latch(0));
    EXPECT_TRUE(latch.Latched());
    EXPECT_FALSE(latch.Latch(17));
    EXPECT_EQ(latch.ModelCode(), 0);
}

TEST(HelpTopics, PageAndControlTopics) {
    EXPECT_EQ(PageTopic(kHardwarePage), 0x20000 + 131);
    EXPECT_EQ(ControlTopic(kHardwarePage, 1000), 0x80000000u + 131u * 0x10000u + 1000u);
    EXPECT_EQ(PageRequestTopic(kColdResetPage, 7), ControlTopic(kColdResetPage, 7));
    EXPECT_EQ(PageRequestTopic(kRelaysPage, 7), unsigned(PageTopic(kRelaysPage)));
    EXPECT_EQ(PageRequestTopic(kSixChannelPage, 7), unsigned(PageTopic(kSixChannelPage)));
    for (int silent : {kTriggersPage, kFlushPage, kDampingPage})
        EXPECT_EQ(PageRequestTopic(silent, 7), 0u) << silent;
    EXPECT_FALSE(HelpText(PageTopic(kGpsPage)).empty());
    EXPECT_EQ(HelpText(ControlTopic(kGpsPage, 1003)), HelpText(PageTopic(kGpsPage)));
    EXPECT_FALSE(HelpText(kCommandSheetHelpTopic).empty());
    EXPECT_EQ(HelpText(12345), "");
}

TEST(HelpTopics, StatusAndConfigurationTabStrip) {
    EXPECT_EQ(TabStripTopic(kStatusSheet, 17, kHardwarePage, 0.10, 0.05), 0x20000 + 131);
    EXPECT_EQ(TabStripTopic(kStatusSheet, 17, kHardwarePage, 0.30, 0.05), 0x20000 + 132);
    EXPECT_EQ(TabStripTopic(kStatusSheet, 17, kHardwarePage, 0.50, 0.14), 0x20000 + 162);
    EXPECT_EQ(TabStripTopic(kStatusSheet, 17, kHardwarePage, 0.60, 0.05), 0x20000 + 1548);
    EXPECT_EQ(TabStripTopic(kStatusSheet, 17, kHardwarePage, 0.80, 0.05), 0);
    EXPECT_EQ(TabStripTopic(kStatusSheet, 17, kHardwarePage, 0.10, 0.15), 0);
    EXPECT_EQ(TabStripTopic(kConfigurationSheet, 17, 0, 0.25, 0.05), 0x20000 + 1546);
    EXPECT_EQ(TabStripTopic(kConfigurationSheet, 3, 0, 0.25, 0.05), 0x20000 + 143);
    EXPECT_EQ(TabStripTopic(kConfigurationSheet, 17, 0, 0.70, 0.05), 0x20000 + 1545);
    EXPECT_EQ(TabStripTopic(kConfigurationSheet, 3, 0, 0.70, 0.05), 0);
}

TEST(HelpTopics, CommandTabRowsSwapWhileALowerRowPageIsActive) {
    // Row A (resets...) lies at 0.12..0.24 and row B at 0..0.12 while a row-A page is active.
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kColdResetPage, 0.10, 0.18), 0x20000 + 137);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kColdResetPage, 0.10, 0.05), 0x20000 + 133);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kColdResetPage, 0.60, 0.18), kFlushTabTopic);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kColdResetPage, 0.80, 0.18), 0x20000 + 196);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kColdResetPage, 0.80, 0.05), 0x20000 + 1549);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kColdResetPage, 0.25, 0.05), 0x20000 + 134);
    // With "Relays" active the rows change places.
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kRelaysPage, 0.10, 0.18), 0x20000 + 133);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kRelaysPage, 0.10, 0.05), 0x20000 + 137);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 17, kRealTimePage, 0.80, 0.05), 0x20000 + 196);
    // "Damping" and "ADC Offset" are not row-B pages: no swap.
    EXPECT_EQ(TabStripTopic(kCommandSheet, 3, kDampingPage, 0.10, 0.18), 0x20000 + 137);
    // Other models: quarters.
    EXPECT_EQ(TabStripTopic(kCommandSheet, 0, kColdResetPage, 0.80, 0.18), kFlushTabTopic);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 0, kColdResetPage, 0.60, 0.05), 0x20000 + 135);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 0, kLedPage, 0.60, 0.05), 0x20000 + 140);
    EXPECT_EQ(TabStripTopic(kCommandSheet, 0, kLedPage, 0.60, 0.30), 0);
}
