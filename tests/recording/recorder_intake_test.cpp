// The recorder driven by the real intake, frame by frame, as the receiver thread drives it.
#include <gtest/gtest.h>

#include "recording/channel_table.h"
#include "recording/css_format.h"
#include "recording/data_file_reader.h"
#include "recording/file_recorder.h"
#include "recording/intake.h"
#include "recording/intake_state.h"
#include "recording/recorder_file_names.h"
#include "recording/recording_setup.h"
#include "tests/recording/mseed_test_read.h"
#include "tests/recording/recorder_test_support.h"

namespace nereid::recording {
namespace {

using test::ListFiles;
using test::ReadWholeFile;
using test::RecordingMessages;
using test::TempFolder;
using test::Utc;

constexpr int kRate = 20;

std::int32_t Sample(int channel, std::uint32_t sec, int i) {
    // Negative values too, so that the 24-bit sign extension is on the way.
    return (channel * 1000 + static_cast<std::int32_t>(sec % 1000)) * (i % 2 ? -1 : 1) * 7 + i;
}

std::vector<std::uint8_t> Frame(std::uint16_t unit, int channel, std::uint32_t sec) {
    std::vector<std::uint8_t> p(11 + 3 * kRate, 0);
    p[0] = static_cast<std::uint8_t>(unit);
    p[1] = static_cast<std::uint8_t>(unit >> 8);
    p[2] = static_cast<std::uint8_t>(channel - 1);
    for (int b = 0; b < 4; ++b) {
        p[4 + b] = static_cast<std::uint8_t>(sec >> (8 * b));
    }
    for (int i = 0; i < kRate; ++i) {
        const auto v = static_cast<std::uint32_t>(Sample(channel, sec, i));
        p[11 + 3 * i] = static_cast<std::uint8_t>(v);
        p[12 + 3 * i] = static_cast<std::uint8_t>(v >> 8);
        p[13 + 3 * i] = static_cast<std::uint8_t>(v >> 16);
    }
    return p;
}

class Events : public CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t wParam, long lParam) override {
        posted.push_back({message, wParam, lParam});
    }
    struct Posted {
        unsigned message;
        std::uintptr_t wParam;
        long lParam;
    };
    std::vector<Posted> posted;
};

struct Rig {
    explicit Rig(const TempFolder& folder) {
        for (int c : {1, 2}) {
            RtChannel ch;
            ch.rate = kRate;
            ch.ring.assign(static_cast<std::size_t>(kRingRows * kRate), 0);
            ch.recordEnable = true;
            ch.fileName = "DChan" + std::to_string(c) + ".dat";
            ch.directory = folder.Path();
            table.m_ChanMap[static_cast<std::uint16_t>(c)] = ch;
        }
        RtChannel off;
        off.rate = kRate;
        off.ring.assign(static_cast<std::size_t>(kRingRows * kRate), 0);
        off.recordEnable = false;
        table.m_ChanMap[5] = off;
    }
    void Second(std::uint32_t sec, const std::vector<int>& channels = {1, 2, 5}) {
        for (int c : channels) {
            const auto f = Frame(unit, c, sec);
            intake.HandleDataFrame(f.data(), f.size());
        }
    }
    void Start(RecordingForm form, const std::string& minutes, SMseedOptions mseed = {}) {
        CFileRecorder::Services services;
        services.messages = &messages;
        RecordingSetupRequest request;
        request.form = form;
        request.minutesText = minutes;
        request.stationName = "NER";
        request.writeThrough = false;
        request.network = mseed.network;
        request.components = mseed.components;
        ASSERT_EQ(PrepareRecorder(request, table, services, recorder), 1);
        intake.SetRecorder(recorder.get());
        ArmRecording(state, form);
    }
    std::uint16_t unit = 42;
    CChannelTable table;
    CIntakeState state;
    Events events;
    CRealTimeIntake intake{table, state, events};
    RecordingMessages messages;
    std::unique_ptr<CFileRecorder> recorder;
};

void ExpectFile(const std::string& path, int channel, std::uint32_t first, std::uint32_t seconds,
                const std::vector<std::uint32_t>& zero = {}) {
    std::vector<FileChannel> channels;
    ReaderMessage message;
    ASSERT_EQ(OpenDataFile(path, channels, message), kOpenAdded) << path;
    const FileChannel& fc = channels[0];
    EXPECT_EQ(fc.startSecond, first) << path;
    ASSERT_EQ(fc.sampleCount, std::uint64_t(seconds) * kRate) << path;
    for (std::uint32_t s = 0; s < seconds; ++s) {
        const bool isZero = std::find(zero.begin(), zero.end(), first + s) != zero.end();
        for (int i = 0; i < kRate; ++i) {
            ASSERT_EQ(fc.IntValue(std::uint64_t(s) * kRate + i),
                      isZero ? 0 : Sample(channel, first + s, i))
                << path << " second " << first + s;
        }
    }
}

TEST(RecorderThroughIntake, DadispPeriodsFromMidMinuteWithAGapFilled) {
    TempFolder folder;
    Rig rig(folder);
    const std::uint32_t t = Utc(2026, 12, 7, 12, 0, 30);
    for (std::uint32_t s = t - 10; s < t; ++s) {
        rig.Second(s); // streaming before the recording starts
    }
    rig.Start(RecordingForm::kDadisp, "1");
    for (std::uint32_t s = t; s < t + 100; ++s) {
        if (s == t + 40 || s == t + 41) {
            continue; // 12:01:10 and 12:01:11 never arrive
        }
        rig.Second(s);
    }
    rig.recorder->StopRecording.store(true);
    rig.Second(t + 100);
    EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front();
    EXPECT_EQ(
        ListFiles(folder.Path()),
        (std::vector<std::string>{"DD1042_120030.341", "DD1042_120100.341", "DD1042_120200.341",
                                  "DD2042_120030.341", "DD2042_120100.341", "DD2042_120200.341"}));
    for (int c : {1, 2}) {
        const std::string digit = std::to_string(c);
        ExpectFile(folder / ("DD" + digit + "042_120030.341"), c, t, 30);
        ExpectFile(folder / ("DD" + digit + "042_120100.341"), c, t + 30, 60, {t + 40, t + 41});
        ExpectFile(folder / ("DD" + digit + "042_120200.341"), c, t + 90, 10);
    }
}

TEST(RecorderThroughIntake, CssJumpOf150SecondsClosesAndResumesWithNewFiles) {
    TempFolder folder;
    Rig rig(folder);
    rig.unit = 1234;
    const std::uint32_t t = Utc(2026, 12, 7, 6, 0, 0);
    for (std::uint32_t s = t - 5; s < t; ++s) {
        rig.Second(s);
    }
    rig.Start(RecordingForm::kCss, "60");
    // The gate takes 06:00:00 and drops it; recording starts on the fresh second 06:00:01.
    for (std::uint32_t s = t; s <= t + 20; ++s) {
        rig.Second(s);
    }
    EXPECT_TRUE(rig.messages.closed.empty());
    const std::uint32_t jump = t + 20 + 150;
    rig.Second(jump);
    EXPECT_EQ(rig.messages.closed.size(), 4u);
    for (std::uint32_t s = jump + 1; s <= jump + 10; ++s) {
        rig.Second(s);
    }
    rig.recorder->StopRecording.store(true);
    rig.Second(jump + 11);
    EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front();
    const std::string first = RecorderFileName("CD", 1, 1234, t + 1);
    // Re-armed at the jump: the gate takes its second, the files start one second later.
    const std::string second = RecorderFileName("CD", 1, 1234, jump + 1);
    EXPECT_EQ(ListFiles(folder.Path()).size(), 8u);
    ExpectFile(folder / first, 1, t + 1, 20);
    ExpectFile(folder / second, 1, jump + 1, 10);
    ExpectFile(folder / RecorderFileName("CD", 2, 1234, jump + 1), 2, jump + 1, 10);
    const std::string record = ReadWholeFile(folder / WfdiscNameOf(second));
    ASSERT_EQ(record.size(), kWfdiscSize);
    EXPECT_EQ(record.substr(0, 6), "NER01 ");
    EXPECT_EQ(record.substr(79, 8), "00000200");
}

// The samples of `seconds` seconds from `first` of a channel, as the frames carried them.
std::vector<std::int32_t> Sent(int channel, std::uint32_t first, std::uint32_t seconds) {
    std::vector<std::int32_t> v;
    for (std::uint32_t s = first; s < first + seconds; ++s) {
        for (int i = 0; i < kRate; ++i) {
            v.push_back(Sample(channel, s, i));
        }
    }
    return v;
}

TEST(RecorderThroughIntake, MseedLeavesGapsOutAndKeepsEveryFramesTime) {
    TempFolder folder;
    Rig rig(folder);
    const std::uint32_t t = Utc(2026, 12, 7, 12, 0, 30);
    for (std::uint32_t s = t - 10; s < t; ++s) {
        rig.Second(s);
    }
    rig.Start(RecordingForm::kMseed, "1", SMseedOptions{"NZ", {{1, 'Z'}}});
    // The gate takes t and drops it: the recording starts at t + 1.
    for (std::uint32_t s = t; s < t + 100; ++s) {
        if (s == t + 40 || s == t + 41) {
            continue; // 12:01:10 and 12:01:11 never arrive on any channel
        }
        // Channel 2 alone misses 12:01:20 .. 12:01:24 while channel 1 goes on.
        rig.Second(s,
                   s >= t + 50 && s < t + 55 ? std::vector<int>{1, 5} : std::vector<int>{1, 2, 5});
    }
    rig.recorder->StopRecording.store(true);
    rig.Second(t + 100);
    EXPECT_TRUE(rig.messages.shown.empty()) << rig.messages.shown.front();
    const std::vector<std::string> files = ListFiles(folder.Path());
    EXPECT_EQ(files,
              (std::vector<std::string>{"MD1042_120031.341.mseed", "MD1042_120100.341.mseed",
                                        "MD1042_120200.341.mseed", "MD2042_120031.341.mseed",
                                        "MD2042_120100.341.mseed", "MD2042_120200.341.mseed"}));
    const auto us = [](std::uint32_t sec) { return std::int64_t{sec} * 1000000; };
    for (int c : {1, 2}) {
        SCOPED_TRACE(c);
        const std::string digit = std::to_string(c);
        const test::MseedFile first =
            test::ReadMseedFile(folder / ("MD" + digit + "042_120031.341.mseed"));
        ASSERT_EQ(first.result, MS_NOERROR);
        ASSERT_EQ(first.segments.size(), 1u);
        EXPECT_EQ(first.segments[0].network, "NZ");
        EXPECT_EQ(first.segments[0].station, "NER");
        EXPECT_EQ(first.segments[0].channel, c == 1 ? "BHZ" : "BH2");
        EXPECT_EQ(first.segments[0].startUs, us(t + 1));
        EXPECT_EQ(first.segments[0].samples, Sent(c, t + 1, 29));

        // 12:01:xx: the common gap, and for channel 2 its own.
        const test::MseedFile mid =
            test::ReadMseedFile(folder / ("MD" + digit + "042_120100.341.mseed"));
        ASSERT_EQ(mid.result, MS_NOERROR);
        const std::vector<std::pair<std::uint32_t, std::uint32_t>> runs =
            c == 1
                ? std::vector<std::pair<std::uint32_t, std::uint32_t>>{{t + 30, 10}, {t + 42, 48}}
                : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                      {t + 30, 10}, {t + 42, 8}, {t + 55, 35}};
        ASSERT_EQ(mid.segments.size(), runs.size());
        for (std::size_t k = 0; k < runs.size(); ++k) {
            EXPECT_EQ(mid.segments[k].startUs, us(runs[k].first)) << k;
            EXPECT_EQ(mid.segments[k].samples, Sent(c, runs[k].first, runs[k].second)) << k;
        }

        const test::MseedFile last =
            test::ReadMseedFile(folder / ("MD" + digit + "042_120200.341.mseed"));
        ASSERT_EQ(last.segments.size(), 1u);
        EXPECT_EQ(last.segments[0].startUs, us(t + 90));
        EXPECT_EQ(last.segments[0].samples, Sent(c, t + 90, 10));
    }
}

} // namespace
} // namespace nereid::recording
