#include <gtest/gtest.h>

#include <vector>

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/drive_names.h"
#include "link/command_builder.h"

namespace nereid::instrument {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pack(const link::InternalRecordingRecord& record) {
    link::CommandRecord command;
    command.params = record;
    Bytes payload;
    EXPECT_EQ(link::CCommandBuilder::PackPayload(kWriteSetupCode, command, 17, false, payload), 1);
    EXPECT_EQ(payload.size(), 473u);
    return payload;
}

std::uint32_t U32(const Bytes& p, std::size_t at) {
    return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) |
           (static_cast<std::uint32_t>(p[at + 3]) << 24);
}
int U16(const Bytes& p, std::size_t at) {
    return p[at] | (p[at + 1] << 8);
}

link::InternalRecordingRecord Received() {
    link::InternalRecordingRecord r;
    r.continuousStartMode = kStartImmediate;
    r.fileSizeSeconds = 3600;
    r.maxSpaceMb = 100;
    r.postEventSeconds = 30;
    r.maxEventSeconds = 300;
    r.triggerWindow = 10;
    for (auto& w : r.windows) {
        w.duration = 600;
        w.interval = 3600;
        w.repetitions = 1;
    }
    r.stationName = {'S', 'I', 'M', '1'};
    return r;
}

TEST(IRFieldsTest, CorrectionsOnLeavingAnEdit) {
    EXPECT_EQ(CorrectPostEvent(0), 1);
    EXPECT_EQ(CorrectPreEvent(0), 0);
    EXPECT_EQ(CorrectPreEvent(70000), 65535);
    EXPECT_EQ(CorrectPostEvent(70000), 65535);
    EXPECT_EQ(CorrectTotalVotes(-150), -99);
    EXPECT_EQ(CorrectTotalVotes(100), 99);
    EXPECT_EQ(CorrectTotalVotes(-99), -99);
    EXPECT_EQ(CorrectMaxSpace(0), 1);
    EXPECT_EQ(CorrectMaxSpace(65536), 65535);
    EXPECT_EQ(CorrectMaxEvent(0), 1u);
    EXPECT_EQ(CorrectRepetitions(0), 1u);
    EXPECT_EQ(CorrectSohInterval(0), 1);
    EXPECT_EQ(CorrectMonth(13), 12);
    EXPECT_EQ(CorrectMonth(0), 1);
    EXPECT_EQ(CorrectDay(32), 31);
    EXPECT_EQ(CorrectYear(2070), 2069);
    EXPECT_EQ(CorrectYear(1969), 1970);
    EXPECT_EQ(CorrectHour(24), 23);
    EXPECT_EQ(CorrectMinute(60), 59);
    EXPECT_EQ(CorrectWindowHours(1000), 999);
    EXPECT_EQ(CorrectDelay(70000, kIRSeconds), 65535);
    EXPECT_EQ(CorrectDelay(1093, kIRMinutes), 1092);
    EXPECT_EQ(CorrectDelay(19, kIRHours), 18);
    EXPECT_EQ(CorrectMaxFileSize(71582789, kIRMinutes), 71582788u);
    EXPECT_EQ(CorrectMaxFileSize(1193047, kIRHours), 1193046u);
}

TEST(IRFieldsTest, DayForMonthUnitStepsAndFileSizes) {
    EXPECT_EQ(CorrectDayForMonth({2, 31, 2005, 0, 0, 0}).day, 28);
    EXPECT_EQ(CorrectDayForMonth({2, 30, 2004, 0, 0, 0}).day, 29);
    EXPECT_EQ(CorrectDayForMonth({2, 29, 2004, 0, 0, 0}).day, 29);
    EXPECT_EQ(CorrectDayForMonth({4, 31, 2004, 0, 0, 0}).day, 30);
    EXPECT_EQ(CorrectDayForMonth({5, 31, 2004, 0, 0, 0}).day, 31);
    EXPECT_EQ(ConvertUnitValue(2, kIRHours, kIRMinutes), 120);
    EXPECT_EQ(ConvertUnitValue(2, kIRHours, kIRSeconds), 7200);
    EXPECT_EQ(ConvertUnitValue(65535, kIRSeconds, kIRHours), 18);
    EXPECT_EQ(ConvertUnitValue(119, kIRSeconds, kIRMinutes), 1);
    EXPECT_EQ(FileSizePosition(3600), 4);
    EXPECT_EQ(FileSizePosition(1200), 3);
    EXPECT_EQ(FileSizePosition(300), 0);
    EXPECT_EQ(FileSizePosition(301), 1);
    EXPECT_EQ(FileSizePosition(0), 0);
    EXPECT_EQ(FileSizePosition(7200), 4);
    const std::uint16_t word = 0x2A15; // primary 1,3,5; secondary 2,4,6
    EXPECT_EQ(ChannelsToWord(ChannelsFromWord(word)), word);
    EXPECT_TRUE(ChannelsFromWord(word).secondary[5]);
    EXPECT_EQ(ChannelsToWord(ChannelsFromWord(0xFFFF)), 0x3F3F); // other bits are not kept
}

TEST(IRSetupModelTest, FileSizeShowsTheListEntryAndKeepsAnUnlistedSize) {
    CIRSetupModel setup;
    link::InternalRecordingRecord r = Received();
    setup.Decode(r);
    EXPECT_EQ(kFileSizeNames[setup.continuous.FileSizePosition()], std::string("60"));
    r.fileSizeSeconds = 1200;
    setup.Decode(r);
    EXPECT_EQ(kFileSizeNames[setup.continuous.FileSizePosition()], std::string("30"));
    EXPECT_EQ(setup.Encode().fileSizeSeconds, 1200u); // not silently 1800
    setup.continuous.SetFileSizePosition(3);
    EXPECT_EQ(setup.Encode().fileSizeSeconds, 1800u);
    EXPECT_TRUE(setup.PageModified(kIRContinuousPage));
}

TEST(IRSetupModelTest, WindowDurationMustStayBelowItsInterval) {
    CIRSetupModel setup;
    setup.Decode(Received());
    std::string message;
    ASSERT_EQ(setup.window.Select(2, message), 1);
    setup.window.Current().duration = {1, 0, 0};
    setup.window.Current().interval = {0, 59, 59};
    EXPECT_EQ(setup.window.Select(3, message), -1);
    EXPECT_EQ(message, "The duration must be less than the interval!!!");
    EXPECT_EQ(setup.window.Selected(), 2);
    EXPECT_EQ(setup.window.Current().interval, (IRSpan{1, 0, 1}));
    // Corrected, the switch goes through.
    message.clear();
    EXPECT_EQ(setup.window.Select(3, message), 1);
    EXPECT_TRUE(message.empty());
    EXPECT_EQ(setup.window.Selected(), 3);

    // A Send from the Window page is refused the same way.
    setup.window.Current().duration = {0, 0, 59};
    setup.window.Current().interval = {0, 0, 59};
    EXPECT_EQ(setup.PrepareSend(kIRWindowPage, message), -1);
    EXPECT_EQ(setup.window.Current().interval, (IRSpan{0, 1, 0}));
    EXPECT_EQ(setup.PrepareSend(kIRWindowPage, message), 1);
}

// The recorder's own windows are not the operator's entries: an unused all-zero window passes
// until the operator changes it, and the check that reports never corrects.
TEST(IRSetupModelTest, OnlyAChangedWindowIsChecked) {
    link::InternalRecordingRecord r = Received();
    r.windows[0] = link::RecordingWindow{};
    r.windows[1] = link::RecordingWindow{};
    CIRSetupModel setup;
    setup.Decode(r);
    std::string message;
    EXPECT_EQ(setup.PrepareSend(kIRWindowPage, message), 1);
    EXPECT_EQ(setup.window.Select(1, message), 1);
    EXPECT_EQ(setup.window.Select(0, message), 1);
    EXPECT_TRUE(message.empty());
    EXPECT_EQ(setup.Encode().windows[0].interval, 0u);

    setup.window.Current().repetitions = 2;
    EXPECT_TRUE(setup.window.WindowChanged(0));
    EXPECT_FALSE(setup.window.WindowChanged(1));
    EXPECT_EQ(setup.window.CheckWindow(0, message), -1);
    EXPECT_EQ(message, kWindowDurationMessage);
    EXPECT_EQ(setup.window.Current().interval, (IRSpan{0, 0, 0})); // reported, not corrected
    EXPECT_EQ(setup.window.CheckWindow(1, message), 1);
    EXPECT_EQ(setup.window.CheckWindow(16, message), 1);
    // The page's own check still corrects the interval it shows, as the operator sees.
    EXPECT_EQ(setup.PrepareSend(kIRWindowPage, message), -1);
    EXPECT_EQ(setup.window.Current().interval, (IRSpan{0, 0, 1}));
}

TEST(IRSetupModelTest, NothingIsPreparedWithoutASetupReadAtThisOpening) {
    CIRSetupModel setup;
    std::string message;
    for (int page = 0; page < kIRPageCount; ++page) {
        message.clear();
        EXPECT_EQ(setup.PrepareSend(page, message), -1) << page;
        EXPECT_EQ(message, kSetupNotReadText);
    }
    setup.Decode(Received());
    EXPECT_EQ(setup.PrepareSend(kIRStatusPage, message), 1);
    setup.SetSetupReceived(false); // the next opening's read failed
    EXPECT_EQ(setup.PrepareSend(kIRStatusPage, message), -1);
}

TEST(IRSetupModelTest, StationNameIsSentSpacePadded) {
    CIRSetupModel setup;
    setup.Decode(Received());
    EXPECT_EQ(setup.station.CurrentValue(), "SIM1");
    EXPECT_FALSE(setup.PageModified(kIRStationPage));
    setup.station.SetEditorText("AB");
    EXPECT_EQ(setup.station.Name(), "AB  ");
    EXPECT_TRUE(setup.PageModified(kIRStationPage));
    const Bytes p = Pack(setup.Encode());
    EXPECT_EQ(Bytes(p.begin() + 469, p.end()), (Bytes{'A', 'B', ' ', ' '}));
    setup.station.SetEditorText("LONGER");
    EXPECT_EQ(setup.station.Name(), "LONG");
    EXPECT_TRUE(CIRStationModel::ValidText("AB"));
    EXPECT_FALSE(CIRStationModel::ValidText("ABCDE"));
    EXPECT_FALSE(CIRStationModel::ValidText(std::string("A\x01", 2)));
}

TEST(IRSetupModelTest, DrivesAreRecordedByIndex) {
    CDriveNames names;
    names.ApplyInstalled({0, 1, 0, 1, 0});
    CIRSetupModel setup;
    setup.Decode(Received());
    setup.event.edit.drive = names.IndexOfName(names.Listed()[1]); // "D"
    setup.soh.edit.drive = names.IndexOfName("B");
    const Bytes p = Pack(setup.Encode());
    EXPECT_EQ(p[21], 3);
    EXPECT_EQ(p[463], 1);
    EXPECT_EQ(names.ListPosition(setup.event.edit.drive), 1);
}

// Every page contributes its current values whichever page is active.
TEST(IRSetupModelTest, ASendFromTheStatusPageCarriesEveryPage) {
    CIRSetupModel setup;
    setup.Decode(Received());
    setup.station.SetEditorText("XY");
    setup.continuous.edit.startMode = kStartDelayed;
    setup.continuous.edit.delayValue = 2;
    setup.continuous.edit.delayUnit = kIRMinutes;
    setup.continuous.edit.channels.secondary[1] = true;
    setup.event.edit.startMode = kStartAtTime;
    setup.event.edit.start = {2, 31, 2005, 13, 45, 30};
    setup.event.edit.totalVotes = CorrectTotalVotes(-150);
    setup.event.edit.votes[5] = -10;
    setup.event.edit.externalVote = 7;
    setup.window.Current().enabled = true;
    setup.window.Current().start = {3, 4, 2025, 5, 6, 7};
    setup.window.Current().maxFileValue = 2;
    setup.window.Current().maxFileUnit = kIRHours;
    setup.soh.edit.enabled[9] = true;
    setup.soh.edit.intervals[9] = 42;
    setup.status.edit.drive = 4;
    std::string message;
    ASSERT_EQ(setup.PrepareSend(kIRStatusPage, message), 1);
    const Bytes p = Pack(setup.Encode());
    EXPECT_EQ(p[2], kStartDelayed);
    EXPECT_EQ(U16(p, 12), 120);
    EXPECT_EQ(U16(p, 18), 0x0200);
    EXPECT_EQ(p[20], kStartAtTime);
    // Not corrected from the Status page: 2005-02-31 is the civil 2005-03-03; seconds dropped.
    EXPECT_EQ(U32(p, 36), 1109857500u);
    EXPECT_EQ(static_cast<std::int16_t>(U16(p, 32)), -99);
    EXPECT_EQ(static_cast<std::int16_t>(U16(p, 50)), -10);
    EXPECT_EQ(U16(p, 52), 7);
    EXPECT_EQ(p[56], 1);
    EXPECT_EQ(U32(p, 58), 1741064767u); // 2025-03-04 05:06:07
    EXPECT_EQ(U32(p, 56 + 18), 7200u);
    EXPECT_EQ(U16(p, 441), 0x0200);
    EXPECT_EQ(U16(p, 443 + 18), 42);
    EXPECT_EQ(p[468], 4);
    EXPECT_EQ(Bytes(p.begin() + 469, p.end()), (Bytes{'X', 'Y', ' ', ' '}));
    // From the Event page the day is first made valid: 2005-02-28 13:45.
    ASSERT_EQ(setup.PrepareSend(kIREventPage, message), 1);
    EXPECT_EQ(U32(Pack(setup.Encode()), 36), 1109598300u);
}

TEST(IRSetupModelTest, DelayAndStartTimeShowOnlyInTheirModes) {
    link::InternalRecordingRecord r = Received();
    r.continuousStartMode = kStartImmediate;
    r.continuousStartDelay = 77;
    r.continuousStartTime = 1109598300;
    r.eventStartMode = kStartDelayed;
    r.eventStartDelay = 77;
    CIRSetupModel setup;
    setup.Decode(r);
    EXPECT_EQ(setup.continuous.edit.delayValue, 3600);
    EXPECT_EQ(setup.continuous.edit.start, IRDateTime{});
    EXPECT_EQ(setup.event.edit.delayValue, 77);
    EXPECT_EQ(setup.event.edit.delayUnit, kIRSeconds);
    // What is not the mode's is sent as 0.
    const link::InternalRecordingRecord out = setup.Encode();
    EXPECT_EQ(out.continuousStartDelay, 0);
    EXPECT_EQ(out.continuousStartTime, 0u);
    EXPECT_EQ(out.eventStartDelay, 77);
    setup.event.ChangeDelayUnit(kIRMinutes);
    EXPECT_EQ(setup.event.edit.delayValue, 1);
    EXPECT_EQ(setup.Encode().eventStartDelay, 60);

    r.continuousStartMode = kStartAtTime;
    setup.Decode(r);
    EXPECT_EQ(setup.continuous.edit.start, (IRDateTime{2, 28, 2005, 13, 45, 0}));
}

TEST(IRSetupModelTest, ModifiedMarksOnlyAfterASetupWasReceived) {
    CIRSetupModel setup;
    setup.soh.edit.enabled[0] = true;
    EXPECT_FALSE(setup.PageModified(kIRSohPage));
    setup.Decode(Received());
    EXPECT_FALSE(setup.PageModified(kIRSohPage));
    setup.soh.edit.enabled[0] = true;
    EXPECT_TRUE(setup.PageModified(kIRSohPage));
    setup.SetSetupReceived(false);
    EXPECT_FALSE(setup.PageModified(kIRSohPage));
    // Accepting a Send decodes what was sent: nothing is modified afterwards.
    const link::InternalRecordingRecord sent = setup.Encode();
    setup.Decode(sent);
    for (int page = 0; page < kIRPageCount; ++page) {
        EXPECT_FALSE(setup.PageModified(page)) << page;
    }
    EXPECT_TRUE(setup.soh.edit.enabled[0]);
}

TEST(IRSetupModelTest, ADecodedRecordEncodesToTheSameBytes) {
    link::InternalRecordingRecord r = Received();
    r.continuousStartMode = kStartAtTime;
    r.continuousStartTime = 1109598300;
    r.continuousDrive = 2;
    r.flushAtStartup = 1;
    r.bufferFullMode = 2;
    r.continuousChannels = 0x0F3F;
    r.eventStartMode = kStartWindowControl;
    r.preEventSeconds = 12;
    r.totalVotes = -5;
    r.channelVotes = {1, -2, 3, -4, 5, -6};
    r.externalVote = -10;
    for (std::size_t k = 0; k < r.windows.size(); ++k) {
        r.windows[k].enabled = k % 2;
        r.windows[k].mode = k % 3 == 0;
        r.windows[k].startTime = 1700000000u + 3601u * k;
        r.windows[k].duration = 59 + 100 * k;
        r.windows[k].interval = 3599999u;
        r.windows[k].repetitions = 5 + k;
        r.windows[k].maxFileSeconds = 86400 + k;
        r.windows[k].channelBits = static_cast<std::uint16_t>(0x0101 << (k % 6));
    }
    r.windowDrive = 3;
    r.sohEnableBits = 0x03FF;
    for (std::size_t k = 0; k < 10; ++k) {
        r.sohIntervals[k] = static_cast<std::uint16_t>(k + 1);
    }
    r.sohDrive = 1;
    r.statusDrive = 4;
    CIRSetupModel setup;
    setup.Decode(r);
    EXPECT_EQ(Pack(setup.Encode()), Pack(r));
}

} // namespace
} // namespace nereid::instrument
