// The file recorder when files cannot be created, written or mapped: only the channel
// concerned loses its period, and nothing written before is lost.
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
