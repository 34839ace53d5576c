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

constexpr int kRate = 10;

// A sample value that tells channel, second and position apart.
std::int32_t Pattern(int channel, std::uint32_t second, int i) {
    return channel * 10000000 + static_cast<std::int32_t>(second % 10000) * 100 + i;
}

class FakeConverter : public CPeriodConverter {
public:
    void Convert(const std::string& file) override { calls.push_back(file); }
    bool WaitIdle(int timeoutMs) override {
        waits.push_back(timeoutMs);
        return idle;
    }
    std::vector<std::string> calls;
    std::vector<int> waits;
    bool idle = true;
};

// Feeds the recorder as the intake does: the current second first, the period start when
// still 0, then one call per channel.
class Feeder {
public:
    Feeder(CFileRecorder& recorder, std::vector<int> channels, int rate = kRate)
        : m_Recorder(recorder), m_Channels(std::move(channels)), m_Rate(rate) {}

    // Returns the result of the last call that was not 1, or 1.
    int Second(std::uint32_t sec, const std::vector<int>& only = {}) {
        m_Recorder.m_CurrentSecondFrom1970.store(sec);
        std::uint32_t zero = 0;
        m_Recorder.m_SecondFrom1970.compare_exchange_strong(zero, sec);
        int result = 1;
        for (int channel : only.empty() ? m_Channels : only) {
            std::vector<std::int32_t> row(static_cast<std::size_t>(m_Rate));
            for (int i = 0; i < m_Rate; ++i) {
                row[static_cast<std::size_t>(i)] = Pattern(channel, sec, i);
            }
            const int r = m_Recorder.WriteSecond(channel, row.data(), m_Rate * 4, lastProgress);
            if (r != 1) {
                result = r;
            }
        }
        return result;
    }
    int Seconds(std::uint32_t from, std::uint32_t to) {
        int result = 1;
        for (std::uint32_t s = from; s <= to; ++s) {
            const int r = Second(s);
            if (r != 1) {
                result = r;
            }
        }
        return result;
    }
    int lastProgress = -1;

private:
    CFileRecorder& m_Recorder;
    std::vector<int> m_Channels;
    int m_Rate;
};

struct Recorder {
    Recorder(const TempFolder& folder, RecordingForm form, int periodSeconds,
             std::vector<int> channels, std::uint16_t unit = 7, int rate = kRate,
             CFileRecorder::WriterFactory writers = {}) {
        RecorderSettings settings;
        settings.form = form;
        settings.periodSeconds = periodSeconds;
        settings.stationName = "ABCD";
        settings.writeThrough = false;
        for (int c : channels) {
            RecorderChannel ch;
            ch.number = c;
            ch.rate = rate;
            ch.name = "DChan" + std::to_string(c) + ".dat";
            ch.directory = folder.Path();
            ch.comments = "test";
            settings.channels.push_back(ch);
        }
        CFileRecorder::Services services;
        services.messages = &messages;
        services.converter = &converter;
        services.writerFactory = std::move(writers);
        recorder = std::make_unique<CFileRecorder>(settings, services);
        recorder->m_UnitNumber.store(unit);
        EXPECT_EQ(recorder->Create(), 1);
        feeder = std::make_unique<Feeder>(*recorder, channels, rate);
    }
    RecordingMessages messages;
    FakeConverter converter;
    std::unique_ptr<CFileRecorder> recorder;
    std::unique_ptr<Feeder> feeder;
};

// Reads one recorded file back and checks start and every sample against the pattern;
// `zeroSeconds` are seconds expected as zero rows.
void ExpectSamples(const std::string& path, int channel, std::uint32_t firstSecond,
                   std::uint32_t seconds, int rate = kRate,
                   const std::vector<std::uint32_t>& zeroSeconds = {}) {
    std::vector<FileChannel> channels;
    ReaderMessage message;
    ASSERT_EQ(OpenDataFile(path, channels, message), kOpenAdded) << path << " " << message.text;
    ASSERT_EQ(channels.size(), 1u);
    const FileChannel& fc = channels[0];
    EXPECT_EQ(fc.startSecond, firstSecond) << path;
    EXPECT_EQ(fc.rate, rate);
    ASSERT_EQ(fc.sampleCount, std::uint64_t(seconds) * rate) << path;
    for (std::uint32_t s = 0; s < seconds; ++s) {
        const std::uint32_t sec = firstSecond + s;
        const bool zero =
            std::find(zeroSeconds.begin(), zeroSeconds.end(), sec) != zeroSeconds.end();
        for (int i = 0; i < rate; ++i) {
            const std::int64_t want = zero ? 0 : Pattern(channel, sec, i);
            ASSERT_EQ(fc.IntValue(std::uint64_t(s) * rate + i), want)
                << path << " second " << sec << " sample " << i;
        }
    }
}

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

TEST(FileRecorder, ExistingFilesAreNeverOverwrittenAndOnlyTheirChannelWaits) {
    TempFolder folder;
    Recorder r(folder, RecordingForm::kDadisp, 60, {1, 2});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    {
        std::ofstream out(folder / "DD2007_120000.341");
        out << "keep me";
    }
    EXPECT_EQ(r.feeder->Seconds(t0, t0 + 59), 1);
    // Once for the period, not once a second.
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0], "Can't Create File " + (folder / "DD2007_120000.341"));
    EXPECT_EQ(r.messages.captions[0], std::string("Tellus Application"));
    EXPECT_EQ(r.messages.skipped,
              (std::vector<std::string>{"2 " + (folder / "DD2007_120000.341")}));
    EXPECT_EQ(ReadWholeFile(folder / "DD2007_120000.341"), "keep me");
    EXPECT_FALSE(r.recorder->StopRecording.load());
    EXPECT_EQ(r.recorder->SkippedPeriods(), 1);
    ExpectSamples(folder / "DD1007_120000.341", 1, t0, 60);
    // The next period has a name of its own: channel 2 records again.
    ASSERT_EQ(r.feeder->Seconds(t0 + 60, t0 + 119), 1);
    ExpectSamples(folder / "DD2007_120100.341", 2, t0 + 60, 60);
    ExpectSamples(folder / "DD1007_120100.341", 1, t0 + 60, 60);
    EXPECT_EQ(r.messages.shown.size(), 1u);
}

TEST(FileRecorder, AChannelWhoseFolderCannotTakeFilesLosesOnlyItsOwnPeriods) {
    // The tests run as root, for whom a folder of mode 0555 is still writable. A folder path
    // that names a regular file fails for everybody (ENOTDIR), and replacing that file by a
    // folder makes it writable again.
    for (RecordingForm form : {RecordingForm::kDadisp, RecordingForm::kCss}) {
        const bool css = form == RecordingForm::kCss;
        const char* prefix = css ? "CD" : "DD";
        TempFolder folder;
        std::vector<std::string> dirs;
        for (int c = 1; c <= 3; ++c) {
            dirs.push_back(folder / ("chan" + std::to_string(c)));
            if (c != 2) {
                ASSERT_EQ(mkdir(dirs.back().c_str(), 0755), 0);
            }
        }
        {
            std::ofstream out(dirs[1]);
            out << "a file, not a folder";
        }
        RecordingMessages messages;
        FakeConverter converter;
        RecorderSettings settings;
        settings.form = form;
        settings.periodSeconds = 60;
        settings.writeThrough = false;
        settings.stationName = "ABCD";
        for (int c = 1; c <= 3; ++c) {
            settings.channels.push_back({c, kRate, "DChan", dirs[std::size_t(c - 1)], ""});
        }
        CFileRecorder recorder(settings, {&messages, &converter, nullptr, {}});
        recorder.m_UnitNumber.store(7);
        ASSERT_EQ(recorder.Create(), 1);
        Feeder feeder(recorder, {1, 2, 3});
        const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 30);
        ASSERT_EQ(feeder.Seconds(t0, t0 + 29), 1);
        const std::string lost = dirs[1] + "/" + RecorderFileName(prefix, 2, 7, t0);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0], "Can't Create File " + lost);
        EXPECT_EQ(messages.skipped, std::vector<std::string>{"2 " + lost});
        EXPECT_FALSE(recorder.StopRecording.load());
        for (int c : {1, 3}) {
            ExpectSamples(dirs[std::size_t(c - 1)] + "/" + RecorderFileName(prefix, c, 7, t0), c,
                          t0, 30);
        }

        // Still not writable at the next period: one more message, for that period.
        ASSERT_EQ(feeder.Seconds(t0 + 30, t0 + 89), 1);
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1],
                  "Can't Create File " + dirs[1] + "/" + RecorderFileName(prefix, 2, 7, t0 + 30));

        // Writable again: channel 2 is recorded from its next period on, every sample.
        ASSERT_EQ(unlink(dirs[1].c_str()), 0);
        ASSERT_EQ(mkdir(dirs[1].c_str(), 0755), 0);
        ASSERT_EQ(feeder.Seconds(t0 + 90, t0 + 150), 1);
        EXPECT_EQ(messages.shown.size(), 2u);
        ExpectSamples(dirs[1] + "/" + RecorderFileName(prefix, 2, 7, t0 + 90), 2, t0 + 90, 60);
        recorder.FlushAll();
        EXPECT_EQ(ListFiles(dirs[1]).size(), css ? 4u : 2u);
        ExpectSamples(dirs[1] + "/" + RecorderFileName(prefix, 2, 7, t0 + 150), 2, t0 + 150, 1);
        for (int c : {1, 3}) {
            const std::string dir = dirs[std::size_t(c - 1)];
            ExpectSamples(dir + "/" + RecorderFileName(prefix, c, 7, t0 + 30), c, t0 + 30, 60);
            ExpectSamples(dir + "/" + RecorderFileName(prefix, c, 7, t0 + 90), c, t0 + 90, 60);
            ExpectSamples(dir + "/" + RecorderFileName(prefix, c, 7, t0 + 150), c, t0 + 150, 1);
            EXPECT_EQ(ListFiles(dir).size(), css ? 8u : 4u);
        }
        if (css) {
            // Every data file of a channel that went on has its wfdisc record.
            const std::string record =
                ReadWholeFile(dirs[0] + "/" + WfdiscNameOf(RecorderFileName(prefix, 1, 7, t0)));
            ASSERT_EQ(record.size(), kWfdiscSize);
            EXPECT_EQ(record.substr(79, 8), "00000300");
        }
        EXPECT_EQ(recorder.SkippedPeriods(), 2);
    }
}

TEST(FileRecorder, AFolderRemovedDuringRecordingSkipsItsChannelUntilItComesBack) {
    TempFolder folder;
    const std::string sub = folder / "out";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    RecordingMessages messages;
    RecorderSettings settings;
    settings.periodSeconds = 60;
    settings.writeThrough = false;
    settings.channels.push_back({1, kRate, "DChan1.dat", sub, ""});
    CFileRecorder recorder(settings, {&messages, nullptr, nullptr, {}});
    ASSERT_EQ(recorder.Create(), 1);
    Feeder feeder(recorder, {1});
    const std::uint32_t t0 = Utc(2026, 12, 7, 12, 0, 0);
    ASSERT_EQ(feeder.Seconds(t0, t0 + 59), 1);
    ASSERT_EQ(system(("rm -rf '" + sub + "'").c_str()), 0);
    EXPECT_EQ(feeder.Seconds(t0 + 60, t0 + 119), 1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], "Can't Create File " + sub + "/DD1000_120100.341");
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    EXPECT_EQ(feeder.Seconds(t0 + 120, t0 + 121), 1);
    recorder.FlushAll();
    ExpectSamples(sub + "/DD1000_120200.341", 1, t0 + 120, 2);
    EXPECT_EQ(messages.shown.size(), 1u);
}

// Wraps the real writer and fails the append number `failAt` (1-based) the way a full disk
// does: nothing of that append reaches the file.
class FailingWriter : public CChannelWriter {
public:
    FailingWriter(std::unique_ptr<CChannelWriter> inner, int failAt)
        : m_Inner(std::move(inner)), m_FailAt(failAt) {}
    int Open() override { return m_Inner->Open(); }
    int Append(const std::int32_t* samples, std::size_t count) override {
        if (++m_Appends == m_FailAt) {
            return -ENOSPC;
        }
        return m_Inner->Append(samples, count);
    }
    int Close() override { return m_Inner->Close(); }
    bool IsOpen() const override { return m_Inner->IsOpen(); }
    std::uint64_t SampleCount() const override { return m_Inner->SampleCount(); }
    const std::string& DataPath() const override { return m_Inner->DataPath(); }
    const std::string& LastPath() const override { return m_Inner->LastPath(); }

private:
    std::unique_ptr<CChannelWriter> m_Inner;
    int m_FailAt;
    int m_Appends = 0;
};

TEST(FileRecorder, AFailedWriteKeepsEverythingWrittenBeforeAndStopsRecording) {
    for (RecordingForm form : {RecordingForm::kDadisp, RecordingForm::kCss}) {
        const bool css = form == RecordingForm::kCss;
        TempFolder folder;
        // Channel 2's eighth second hits a full disk; channel 1 is fine.
        Recorder r(folder, form, 3600, {1, 2}, 7, kRate,
                   [](const RecorderFileRequest& request) -> std::unique_ptr<CChannelWriter> {
                       if (request.channel != 2) {
                           return nullptr;
                       }
                       return std::make_unique<FailingWriter>(
                           CFileRecorder::MakeDefaultWriter(request), 8);
                   });
        const std::uint32_t t0 = Utc(2026, 12, 7, 9, 0, 0);
        ASSERT_EQ(r.feeder->Seconds(t0, t0 + 6), 1);
        EXPECT_EQ(r.feeder->Second(t0 + 7), kRecorderWriteFailed);
        const std::string name2 = RecorderFileName(css ? "CD" : "DD", 2, 7, t0);
        ASSERT_EQ(r.messages.shown.size(), 1u);
        EXPECT_EQ(r.messages.shown[0], "Can't Write File " + (folder / name2));
        EXPECT_TRUE(r.recorder->StopRecording.load());
        // Both files are closed and readable: seven seconds of channel 2, eight of channel 1
        // (its second of the failing second came first).
        EXPECT_EQ(r.messages.closed.size(), css ? 4u : 2u);
        ExpectSamples(folder / name2, 2, t0, 7);
        ExpectSamples(folder / RecorderFileName(css ? "CD" : "DD", 1, 7, t0), 1, t0, 8);
        if (css) {
            const std::string record = ReadWholeFile(folder / WfdiscNameOf(name2));
            ASSERT_EQ(record.size(), kWfdiscSize);
            EXPECT_EQ(record.substr(79, 8), "00000070");
        }
        // The intake stops (or re-arms): calls meanwhile create nothing.
        EXPECT_EQ(r.feeder->Seconds(t0 + 8, t0 + 10), 0);
        EXPECT_EQ(ListFiles(folder.Path()).size(), css ? 4u : 2u);
        // Re-armed (the intake clears the flag and gives the new first second): new files.
        r.recorder->StopRecording.store(false);
        ASSERT_EQ(r.feeder->Seconds(t0 + 20, t0 + 21), 1);
        r.recorder->StopRecording.store(true);
        EXPECT_EQ(r.feeder->Second(t0 + 22), 0);
        ExpectSamples(folder / RecorderFileName(css ? "CD" : "DD", 1, 7, t0 + 20), 1, t0 + 20, 2);
    }
}

TEST(FileRecorder, ARealFileSizeLimitKeepsTheWholeSamplesWritten) {
    // RLIMIT_FSIZE makes write() fail with EFBIG like a full disk, without privileges.
    TempFolder folder;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old {};
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    Recorder r(folder, RecordingForm::kDadisp, 3600, {1});
    const std::uint32_t t0 = Utc(2026, 12, 7, 9, 0, 0);
    // 10 samples x 4 bytes a second; the header is about 170 bytes.
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = 1;
    std::uint32_t sec = t0;
    for (; sec < t0 + 100 && result == 1; ++sec) {
        result = r.feeder->Second(sec);
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(result, kRecorderWriteFailed);
    ASSERT_EQ(r.messages.shown.size(), 1u);
    const std::string path = folder / RecorderFileName("DD", 1, 7, t0);
    EXPECT_EQ(r.messages.shown[0], "Can't Write File " + path);
    const std::string bytes = ReadWholeFile(path);
    EXPECT_LE(bytes.size(), 1000u);
    std::vector<FileChannel> channels;
    ReaderMessage message;
    ASSERT_EQ(OpenDataFile(path, channels, message), kOpenAdded);
    // Every sample that made it is the one sent, in order from the start second.
    const std::uint64_t count = channels[0].sampleCount;
    EXPECT_GE(count, 190u);
    for (std::uint64_t i = 0; i < count; ++i) {
        ASSERT_EQ(channels[0].IntValue(i),
                  Pattern(1, t0 + std::uint32_t(i / kRate), int(i % kRate)));
    }
}

TEST(FileRecorder, ABufferThatCannotBeMappedLeavesNoChannels) {
    RecorderSettings settings;
    settings.periodSeconds = 43200;
    // 2 x 43200 s x 4 bytes x 2^30 samples/s is far beyond any address space.
    settings.channels.push_back({1, 100, "a", "/tmp", ""});
    settings.channels.push_back({2, 1 << 30, "b", "/tmp", ""});
    CFileRecorder recorder(settings, {});
    EXPECT_EQ(recorder.Create(), kRecorderMemoryFailed);
    EXPECT_EQ(recorder.ChannelCount(), 0);
    int progress = 0;
    std::int32_t row[100] = {};
    recorder.m_CurrentSecondFrom1970.store(1000);
    recorder.m_SecondFrom1970.store(1000);
    EXPECT_EQ(recorder.WriteSecond(1, row, 400, progress), 1);
    EXPECT_EQ(progress, -1);
}

} // namespace
} // namespace nereid::recording
