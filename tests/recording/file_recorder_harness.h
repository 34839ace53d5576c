#pragma once

// The recorder as the file recorder tests drive it: channels fed with a pattern that tells
// channel, second and position apart, files read back and checked against it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recording/data_file_reader.h"
#include "recording/file_recorder.h"
#include "recording/period_converter.h"
#include "tests/recording/recorder_test_support.h"

namespace nereid::recording::harness {

inline constexpr int kRate = 10;

// A sample value that tells channel, second and position apart.
inline std::int32_t Pattern(int channel, std::uint32_t second, int i) {
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
    Recorder(const test::TempFolder& folder, RecordingForm form, int periodSeconds,
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
    test::RecordingMessages messages;
    FakeConverter converter;
    std::unique_ptr<CFileRecorder> recorder;
    std::unique_ptr<Feeder> feeder;
};

// Reads one recorded file back and checks start and every sample against the pattern;
// `zeroSeconds` are seconds expected as zero rows.
inline void ExpectSamples(const std::string& path, int channel, std::uint32_t firstSecond,
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

} // namespace nereid::recording::harness
