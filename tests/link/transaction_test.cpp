#include "link/transaction.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/link/fake_link.h"

namespace nereid::link {
namespace {

using test::FakeLink;

// Runs ticks until the transaction is no longer waiting; returns the tick of the outcome.
int RunToEnd(CTransaction& t, int maxTicks = 1000) {
    for (int i = 1; i <= maxTicks; ++i) {
        if (t.Tick() != kTransactionWaiting) {
            return i;
        }
    }
    return -1;
}

TEST(Transaction, AnswerOnTheFortiethTickIsTakenByAFortyTickSheet) {
    FakeLink link;
    for (int i = 0; i < 39; ++i) {
        link.QueueResult(kNothing);
    }
    link.QueueAnswer<PlainAck>(0x34, PlainAck{});
    CTransaction t(link);
    t.Send(0x94, CommandRecord{0, ByteCommand{1}}, kSheetPolls);
    EXPECT_EQ(RunToEnd(t), 40);
    EXPECT_EQ(t.Outcome(), kTransactionAccepted);
    EXPECT_STREQ(t.ResultText(), "Accepted");
}

TEST(Transaction, StatusSheetGivesUpOnTheFortiethTickWithoutReading) {
    FakeLink link;
    for (int i = 0; i < 39; ++i) {
        link.QueueResult(kNothing);
    }
    link.QueueAnswer<HardwareStatus>('P', HardwareStatus{});
    CTransaction t(link);
    t.Send(0xB0, CommandRecord{}, kStatusSheetPolls);
    EXPECT_EQ(RunToEnd(t), 40);
    EXPECT_EQ(t.Outcome(), kTransactionNoResponse);
    EXPECT_STREQ(t.ResultText(), "No Response");
    EXPECT_EQ(link.Reads(), 39);
    EXPECT_EQ(link.Pending(), 1u); // the late answer stays in the link
}

TEST(Transaction, CommandSheetShowsNoResponseOnTick41WithoutReading) {
    FakeLink link;
    CTransaction t(link);
    t.Send(0x84, CommandRecord{}, kSheetPolls);
    EXPECT_EQ(RunToEnd(t), 41);
    EXPECT_EQ(link.Reads(), 40);
    EXPECT_EQ(t.Tick(), kTransactionIdle);
    EXPECT_EQ(link.Reads(), 40);
}

TEST(Transaction, LongLimitsOfRecordingAndUpload) {
    for (int limit : {kInternalRecordingPolls, kUploadListingPolls, kUploadDataPolls}) {
        FakeLink link;
        CTransaction t(link);
        t.Send(0xB7, CommandRecord{}, limit);
        EXPECT_EQ(RunToEnd(t), limit + 1);
        EXPECT_EQ(link.Reads(), limit);
    }
}

TEST(Transaction, RefusalShowsRejected) {
    FakeLink link;
    FrameRecord refused;
    refused.type = 0x29;
    link.Queue({kRefused, refused, 0x29});
    CTransaction t(link);
    t.Send(0x89, CommandRecord{0, ConfigurationRecord{}}, kSheetPolls);
    EXPECT_EQ(t.Tick(), kTransactionRejected);
    EXPECT_STREQ(t.ResultText(), "Rejected");
}

TEST(Transaction, OtherResultsKeepWaitingAndTheExpectedTypeIsFreshEachTick) {
    FakeLink link;
    link.QueueResult(kCrcError);
    link.QueueResult(kAckReceived);
    link.QueueResult(kNakReceived);
    link.QueueResult(kIgnoredControl);
    FakeLink::Poll other; // a 'Q' read for 'R': the link drops it and reports -2 with 'Q'
    other.result = kOtherType;
    other.record.type = 'Q';
    link.Queue(other);
    link.QueueAnswer<ConfigurationRecord>('R', ConfigurationRecord{});
    CTransaction t(link);
    t.Send(0xB2, CommandRecord{}, kSheetPolls);
    EXPECT_EQ(RunToEnd(t), 6);
    EXPECT_EQ(t.Outcome(), kTransactionAccepted);
    EXPECT_EQ(link.ReadTypes(), std::vector<std::uint8_t>(6, 'R'));
}

TEST(Transaction, WaitingIsToldToTheLinkBeforeSendingAndClearedAtTheEnd) {
    FakeLink link;
    link.QueueAnswer<PlainAck>(0x24, PlainAck{});
    CTransaction t(link);
    EXPECT_FALSE(link.TransactionWaiting());
    t.Send(0x84, CommandRecord{}, kSheetPolls);
    ASSERT_EQ(link.m_WaitingAtSend.size(), 1u);
    EXPECT_TRUE(link.m_WaitingAtSend[0]);
    EXPECT_TRUE(link.TransactionWaiting());
    t.Tick();
    EXPECT_FALSE(link.TransactionWaiting());

    t.Send(0x84, CommandRecord{}, kSheetPolls);
    t.Cancel();
    EXPECT_FALSE(link.TransactionWaiting());
    EXPECT_FALSE(t.Waiting());
}

TEST(Transaction, ClosedPortOrRefusedCodeStillWaitsTheFullLimit) {
    for (int sendResult : {0, kBuilderRefused}) {
        FakeLink link;
        link.m_SendResult = sendResult;
        CTransaction t(link);
        EXPECT_EQ(t.Send(0x96, CommandRecord{}, kSheetPolls), sendResult);
        EXPECT_EQ(RunToEnd(t), 41);
        EXPECT_STREQ(t.ResultText(), "No Response");
    }
}

TEST(Transaction, NewCommandRestartsTheTickCounter) {
    FakeLink link;
    CTransaction t(link);
    t.Send(0xB0, CommandRecord{}, kSheetPolls);
    for (int i = 0; i < 30; ++i) {
        t.Tick();
    }
    t.Send(0xB1, CommandRecord{}, kSheetPolls);
    EXPECT_EQ(t.TickCount(), 0);
    EXPECT_EQ(t.Code(), 0xB1);
    EXPECT_EQ(RunToEnd(t), 41);
    EXPECT_EQ(link.ReadTypes().back(), 'Q');
}

TEST(Transaction, HookGetsTheRecordAndCanChainAFollowUp) {
    FakeLink link;
    link.QueueAnswer<PlainAck>(0x2C, PlainAck{});
    CalibrationSettings settings;
    settings.runIndex = 7;
    link.QueueAnswer<CalibrationSettings>('S', settings);
    CTransaction t(link);
    std::vector<std::uint8_t> answered;
    std::vector<int> finished;
    t.SetAnswerHook([&](std::uint8_t code, const FrameRecord& answer) {
        answered.push_back(code);
        if (code == 0x8C) {
            t.Send(0xB3, CommandRecord{0, ByteCommand{0xFF}}, kSheetPolls);
        } else {
            EXPECT_EQ(std::get<CalibrationSettings>(answer.decoded).runIndex, 7);
        }
    });
    t.SetFinishHook([&](int outcome) { finished.push_back(outcome); });
    t.Send(0x8C, CommandRecord{0, CalibrationSetupRecord{}}, kSheetPolls);
    EXPECT_EQ(t.Tick(), kTransactionWaiting); // the follow-up is pending: nothing shown yet
    EXPECT_STREQ(t.ResultText(), "");
    EXPECT_TRUE(finished.empty());
    EXPECT_EQ(t.Tick(), kTransactionAccepted);
    EXPECT_EQ(answered, (std::vector<std::uint8_t>{0x8C, 0xB3}));
    EXPECT_EQ(finished, (std::vector<int>{kTransactionAccepted}));
    ASSERT_EQ(link.Sent().size(), 2u);
    EXPECT_EQ(link.Sent()[1].first, 0xB3);
}

TEST(Transaction, CountsSuccessiveNoResponses) {
    FakeLink link;
    CTransaction t(link);
    for (int i = 0; i < 3; ++i) {
        t.Send(0xB1, CommandRecord{}, kStatusSheetPolls);
        RunToEnd(t);
    }
    EXPECT_EQ(t.ConsecutiveNoResponses(), 3);
    link.QueueAnswer<StateOfHealth>('Q', StateOfHealth{});
    t.Send(0xB1, CommandRecord{}, kStatusSheetPolls);
    RunToEnd(t);
    EXPECT_EQ(t.ConsecutiveNoResponses(), 0);
}

} // namespace
} // namespace nereid::link
