#include "recording/file_recorder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <map>

#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/dadisp_writer.h"
#include "recording/data_file_reader.h"
#include "recording/period_converter.h"
#include "recording/recorder_file_names.h"
#include "tests/recording/file_recorder_harness.h"
#include "tests/recording/recorder_test_support.h"

namespace nereid::recording {
namespace {

using test::BaseName;
using test::FileExists;
using test::ListFiles;
using test::ReadWholeFile;
using test::RecordingMessages;
using test::TempFolder;
using test::Utc;
using namespace harness;

TEST(RecorderNames, UnitDigitsAndChannelCharacters) {
    EXPECT_EQ(RecorderUnitDigits(7), "007");
    EXPECT_EQ(RecorderUnitDigits(1234), "234");
    EXPECT_EQ(RecorderUnitDigits(65535), "535");
    EXPECT_EQ(RecorderUnitDigits(0), "000");
    const std::uint32_t t = Utc(2003, 4, 3, 15, 30, 0); // day 93
    EXPECT_EQ(RecorderFileName("DD", 3, 7, t), "DD3007_153000.093");
    EXPECT_EQ(RecorderFileName("CD", 3, 1234, t), "CD3234_153000.093");
    // The second stream set gets letters, so that channel 9 never takes channel 1's name.
    EXPECT_EQ(RecorderFileName("DD", 9, 7, t), "DDA007_153000.093");
    EXPECT_EQ(RecorderChannelCharacter(8), '8');
    EXPECT_EQ(RecorderChannelCharacter(9), 'A');
    EXPECT_EQ(RecorderChannelCharacter(16), 'H');
    EXPECT_EQ(RecorderFileName("DD", 16, 7, t), "DDH007_153000.093");
    EXPECT_EQ(JoinRecorderPath("/data/", "x"), "/data/x");
    EXPECT_EQ(JoinRecorderPath("/data", "x"), "/data/x");
}

TEST(FileRecorder, FirstFilesFromMidPeriodCloseAtThePeriodEnd) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1, 2});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 30);
    const std::uint32_t t59 = Utc(2026, 12, 7, 12, 0, 59);
    ASSERT_EQ(r.feeder->Seconds(t0, t59 - 1), 1);
    EXPECT_TRUE(r.messages.closed.empty());
    ASSERT_EQ(r.feeder->Second(t59), 1);
    ASSERT_EQ(r.messages.closed.size(), 2u);
    EXPECT_EQ(BaseName(r.messages.closed[0]), "DD1007_120030.341");
    EXPECT_EQ(BaseName(r.messages.closed[1]), "DD2007_120030.341");
    EXPECT_EQ(r.recorder->LastClosedFile(), r.messages.closed[1]);
    EXPECT_EQ(r.recorder->m_SecondFrom1970.load(), Utc(2026, 12, 7, 12, 1, 0));

    // The next period is a full minute, then a partial one stays open until the stop.
    ASSERT_EQ(r.feeder->Seconds(t59 + 1, t59 + 60), 1);
    ASSERT_EQ(r.messages.closed.size(), 4u);
    EXPECT_EQ(BaseName(r.messages.closed[2]), "DD1007_120100.341");
    ASSERT_EQ(r.feeder->Seconds(t59 + 61, t59 + 65), 1);
    EXPECT_EQ(r.messages.closed.size(), 4u);
    r.recorder->StopRecording.store(true);
    EXPECT_EQ(r.feeder->Second(t59 + 66), 0);
    ASSERT_EQ(r.messages.closed.size(), 6u);
    EXPECT_TRUE(r.messages.shown.empty());

    ExpectSamples(folder / "DD1007_120030.341", 1, t0, 30);
    ExpectSamples(folder / "DD2007_120030.341", 2, t0, 30);
    ExpectSamples(folder / "DD1007_120100.341", 1, t59 + 1, 60);
    ExpectSamples(folder / "DD2007_120200.341", 2, t59 + 61, 5);
    EXPECT_EQ(ListFiles(folder.Path()).size(), 6u);

    // The header is the real-time variant: TIME line ended after ".0", the comment kept.
    const std::string bytes = ReadWholeFile(folder / "DD1007_120030.341");
    EXPECT_NE(bytes.find("TIME 12:00:30.0\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("COMMENTS test\r\n"), std::string::npos);
}

TEST(FileRecorder, ProgressIsTheShareOfThePeriodWritten) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    r.feeder->Seconds(t0, t0 + 29);
    EXPECT_EQ(r.feeder->lastProgress, 50);
    r.feeder->Seconds(t0 + 30, t0 + 59);
    EXPECT_EQ(r.feeder->lastProgress, 100);
    r.feeder->Second(t0 + 60);
    EXPECT_EQ(r.feeder->lastProgress, 1);
}

TEST(FileRecorder, StopClosesEveryFileAtTheNextFrameAndCreatesNothingAfterwards) {
    for (RecordingForm form : {RecordingForm::kDadisp, RecordingForm::kCss}) {
        TempFolder folder;
        Recorder r(folder, form, 3600, {1, 2, 3});
        const std::uint32_t t0 = Utc(2026, 12, 7, 8, 15, 0);
        ASSERT_EQ(r.feeder->Seconds(t0, t0 + 9), 1);
        EXPECT_TRUE(r.messages.closed.empty());
        r.recorder->StopRecording.store(true);
        // The first frame after the stop closes all three, whatever its channel.
        int progress = 0;
        std::vector<std::int32_t> row(kRate, 5);
        r.recorder->m_CurrentSecondFrom1970.store(t0 + 10);
        EXPECT_EQ(r.recorder->WriteSecond(2, row.data(), kRate * 4, progress), 0);
        EXPECT_EQ(progress, -1);
        const std::size_t perChannel = form == RecordingForm::kCss ? 2 : 1;
        EXPECT_EQ(r.messages.closed.size(), 3 * perChannel);
        // Frames still coming before the intake has stopped: nothing new, no empty files.
        EXPECT_EQ(r.feeder->Seconds(t0 + 10, t0 + 12), 0);
        EXPECT_EQ(r.messages.closed.size(), 3 * perChannel);
        EXPECT_EQ(ListFiles(folder.Path()).size(), 3 * perChannel);
        for (int c = 1; c <= 3; ++c) {
            const std::string name =
                RecorderFileName(form == RecordingForm::kCss ? "CD" : "DD", c, 7, t0);
            ExpectSamples(folder / name, c, t0, 10);
        }
    }
}

TEST(FileRecorder, CssPairsCarryTheWfdiscRecordOfTheirSamples) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kCss, 60, {3}, 1234, 100);
    const std::uint32_t t0 = Utc(2003, 4, 3, 0, 0, 0); // 1049328000
    ASSERT_EQ(t0, 1049328000u);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 59), 1);
    ASSERT_EQ(r.messages.closed.size(), 2u);
    EXPECT_EQ(BaseName(r.messages.closed[0]), "CD3234_000000.093");
    EXPECT_EQ(BaseName(r.messages.closed[1]), "CH3234_000000.093");
    const std::string record = ReadWholeFile(folder / "CH3234_000000.093");
    ASSERT_EQ(record.size(), kWfdiscSize);
    EXPECT_EQ(record.substr(0, 6), "ABC03 ");
    EXPECT_EQ(record.substr(16, 17), " 1049328000.00000");
    EXPECT_EQ(record.substr(52, 7), "2003093");
    EXPECT_EQ(record.substr(61, 17), " 1049328059.99000");
    EXPECT_EQ(record.substr(79, 8), "00006000");
    EXPECT_EQ(record.substr(143, 2), "i4");
    EXPECT_EQ(record.substr(213, 17), "CD3234_000000.093");
    EXPECT_EQ(ReadWholeFile(folder / "CD3234_000000.093").size(), 6000u * 4);
    ExpectSamples(folder / "CD3234_000000.093", 3, t0, 60, 100);
}

TEST(FileRecorder, SeisanConvertsTheLastClosedFileOncePerPeriod) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kSeisan, 60, {1, 2, 3});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 30);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 29), 1);
    ASSERT_EQ(r.converter.calls.size(), 1u);
    EXPECT_EQ(r.converter.calls[0], folder / "DD3007_120030.341");
    ASSERT_EQ(r.feeder->Seconds(t0 + 30, t0 + 89), 1);
    ASSERT_EQ(r.converter.calls.size(), 2u);
    EXPECT_EQ(r.converter.calls[1], folder / "DD3007_120100.341");
    ASSERT_EQ(r.feeder->Seconds(t0 + 90, t0 + 95), 1);
    r.recorder->StopRecording.store(true);
    EXPECT_EQ(r.feeder->Second(t0 + 96), 0);
    EXPECT_EQ(r.feeder->Second(t0 + 97), 0);
    ASSERT_EQ(r.converter.calls.size(), 3u);
    EXPECT_EQ(r.converter.calls[2], folder / "DD3007_120200.341");
    // The converter's argument is a full path even for a relative output folder.
    EXPECT_EQ(r.converter.calls[2].front(), '/');
}

TEST(FileRecorder, ChannelsWithGapsInTheirNumbersStillAdvanceThePeriod) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1, 3, 9});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 149), 1);
    EXPECT_TRUE(r.messages.shown.empty()) << r.messages.shown.front();
    EXPECT_EQ(r.messages.closed.size(), 6u);
    EXPECT_TRUE(FileExists(folder / "DDA007_120100.341"));
    ExpectSamples(folder / "DD3007_120100.341", 3, t0 + 60, 60);
    ExpectSamples(folder / "DDA007_120000.341", 9, t0, 60);
}

TEST(FileRecorder, AChannelMissingAtThePeriodEndDoesNotBlockTheNextPeriod) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1, 2});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 58), 1);
    ASSERT_EQ(r.feeder->Second(t0 + 59, {1}), 1); // channel 2's last frame of the period is lost
    // Next second, as the intake does it: channel 1, then channel 2's zero row for 12:00:59
    // (with the current second moved back to it), then channel 2's own frame.
    ASSERT_EQ(r.feeder->Second(t0 + 60, {1}), 1);
    std::vector<std::int32_t> zeros(kRate, 0);
    int progress = 0;
    r.recorder->m_CurrentSecondFrom1970.store(t0 + 59);
    ASSERT_EQ(r.recorder->WriteSecond(2, zeros.data(), kRate * 4, progress), 1);
    ASSERT_EQ(r.feeder->Second(t0 + 60, {2}), 1);
    ASSERT_EQ(r.feeder->Seconds(t0 + 61, t0 + 119), 1);
    EXPECT_TRUE(r.messages.shown.empty()) << r.messages.shown.front();
    ExpectSamples(folder / "DD1007_120000.341", 1, t0, 60);
    ExpectSamples(folder / "DD1007_120100.341", 1, t0 + 60, 60);
    ExpectSamples(folder / "DD2007_120000.341", 2, t0, 60, kRate, {t0 + 59});
    ExpectSamples(folder / "DD2007_120100.341", 2, t0 + 60, 60);
}

TEST(FileRecorder, APeriodThatDoesNotDivideTheDayClosesFullFilesOverMidnight) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 420, {1}); // 7 minutes
    const std::uint32_t t0 = Utc(2026, 12, 7, 23, 55, 0); // a period end of the day's grid
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 900), 1);
    EXPECT_TRUE(r.messages.shown.empty()) << r.messages.shown.front();
    // 23:55:00 + 420 s fills the file at 00:01:59, then the grid of the new day: 00:07:00.
    ASSERT_EQ(r.messages.closed.size(), 2u);
    ExpectSamples(folder / "DD1007_235500.341", 1, t0, 420);
    ExpectSamples(folder / "DD1007_000200.342", 1, t0 + 420, 300);
}

TEST(FileRecorder, PeriodOverrunClosesTheFilesAndStartsAtTheCurrentSecond) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 9), 1);
    // The period start stays where it was while the current second runs far past its end.
    const std::uint32_t late = t0 + 60 + 121;
    ASSERT_EQ(r.feeder->Second(late), 1);
    ASSERT_EQ(r.messages.closed.size(), 1u);
    EXPECT_EQ(r.messages.closed[0], folder / "DD1007_120000.341");
    r.recorder->StopRecording.store(true);
    EXPECT_EQ(r.feeder->Second(late + 1), 0);
    ASSERT_EQ(r.messages.closed.size(), 2u);
    ExpectSamples(r.messages.closed[1], 1, late, 1);
}

TEST(FileRecorder, AJumpRestartsWithNewFilesNamedAfterTheirFirstSecond) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1, 2});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 9), 1);
    // What the intake does on a jump of 150 s: stop, the write fails, re-arm, resume at the
    // first frame of the second after the gate second.
    r.recorder->StopRecording.store(true);
    EXPECT_EQ(r.feeder->Second(t0 + 159 - 29, {1}), 0);
    EXPECT_EQ(r.messages.closed.size(), 2u);
    const std::uint32_t resume = t0 + 161;
    r.recorder->StopRecording.store(false);
    ASSERT_EQ(r.feeder->Seconds(resume, resume + 4), 1);
    r.recorder->StopRecording.store(true);
    EXPECT_EQ(r.feeder->Second(resume + 5), 0);
    ASSERT_EQ(r.messages.closed.size(), 4u);
    ExpectSamples(folder / "DD1007_120241.341", 1, resume, 5);
    ExpectSamples(folder / "DD2007_120241.341", 2, resume, 5);
}

TEST(FileRecorder, ALimitedRecordingStopsForGoodAfterItsSeconds) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1, 2});
    r.recorder->LimitSeconds(5);
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 57);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 4), 1);
    EXPECT_FALSE(r.recorder->Finished());
    EXPECT_EQ(r.recorder->SecondsRecorded(), 5u);
    EXPECT_EQ(r.feeder->Second(t0 + 5), 0);
    EXPECT_TRUE(r.recorder->Finished());
    // A re-arm by the intake does not restart it.
    r.recorder->StopRecording.store(false);
    EXPECT_EQ(r.feeder->Second(t0 + 6), 0);
    ASSERT_EQ(r.messages.closed.size(), 4u);
    ExpectSamples(folder / "DD1007_120057.341", 1, t0, 3);
    ExpectSamples(folder / "DD2007_120100.341", 2, t0 + 3, 2);
    EXPECT_EQ(ListFiles(folder.Path()).size(), 4u);
}

TEST(FileRecorder, FlushAllAtExitClosesEverythingAndConvertsTheLastPeriod) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kSeisan, 3600, {1, 2});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 9), 1);
    EXPECT_TRUE(r.converter.calls.empty());
    r.recorder->FlushAll();
    ASSERT_EQ(r.messages.closed.size(), 2u);
    ASSERT_EQ(r.converter.calls.size(), 1u);
    EXPECT_EQ(r.converter.calls[0], folder / "DD2007_120000.341");
    ExpectSamples(folder / "DD1007_120000.341", 1, t0, 10);
    // Calls after the exit flush change nothing.
    EXPECT_EQ(r.feeder->Second(t0 + 10), 0);
    EXPECT_EQ(r.converter.calls.size(), 1u);
    EXPECT_EQ(ListFiles(folder.Path()).size(), 2u);
}

TEST(FileRecorder, FinishClosesEverythingAndWaitsForTheLastConversion) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kSeisan, 60, {1, 2});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 50);
    // The first period (converted on the way) and three seconds of the next.
    ASSERT_EQ(r.feeder->Seconds(t0, t0 + 12), 1);
    ASSERT_EQ(r.converter.calls.size(), 1u);
    EXPECT_TRUE(r.converter.waits.empty()) << "the receiver thread never waits";
    EXPECT_EQ(r.recorder->Finish(), 1);
    ASSERT_EQ(r.converter.calls.size(), 2u);
    EXPECT_EQ(r.converter.calls[1], folder / "DD2007_120100.341");
    EXPECT_EQ(r.converter.waits, std::vector<int>{CFileRecorder::kConverterWaitLimitMs});
    ExpectSamples(folder / "DD1007_120100.341", 1, t0 + 10, 3);
    ExpectSamples(folder / "DD2007_120100.341", 2, t0 + 10, 3);
    EXPECT_TRUE(r.recorder->Finished());
    // Nothing more is written, even after a re-arm, and nothing is converted twice.
    r.recorder->StopRecording.store(false);
    EXPECT_EQ(r.feeder->Second(t0 + 13), 0);
    EXPECT_EQ(r.recorder->Finish(5), 1);
    EXPECT_EQ(r.converter.calls.size(), 2u);
    EXPECT_EQ(ListFiles(folder.Path()).size(), 4u);
}

TEST(FileRecorder, FinishReportsAConverterStillRunningAtItsLimit) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kSeisan, 3600, {1});
    r.converter.idle = false;
    ASSERT_EQ(r.feeder->Seconds(Utc(2026, 12, 7, 9, 0, 0), Utc(2026, 12, 7, 9, 0, 4)), 1);
    EXPECT_EQ(r.recorder->Finish(250), 0);
    EXPECT_EQ(r.converter.waits, std::vector<int>{250});
    ASSERT_EQ(r.converter.calls.size(), 1u);
    ExpectSamples(folder / "DD1007_090000.341", 1, Utc(2026, 12, 7, 9, 0, 0), 5);
}

} // namespace
} // namespace nereid::recording
