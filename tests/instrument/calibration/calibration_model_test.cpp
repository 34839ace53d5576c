#include <gtest/gtest.h>

#include <vector>

#include "instrument/calibration/model/cal_page_model.h"
#include "instrument/calibration/model/cal_signal.h"
#include "link/command_builder.h"
#include "link/frame_codec.h"
#include "recording/stream_list.h"
#include "tests/link/memory_link.h"

namespace nereid::instrument {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Payload(const CalCommand& command, bool longForm) {
    Bytes payload;
    EXPECT_EQ(
        link::CCommandBuilder::PackPayload(command.code, command.record, 17, longForm, payload), 1);
    return payload;
}

// A calibration settings answer of `length` bytes.
link::FrameRecord SettingsAnswer(std::size_t length, const Bytes& fields) {
    Bytes payload(length, 0);
    payload[2] = 1;
    for (std::size_t k = 0; k < fields.size() && 3 + k < length; ++k) {
        payload[3 + k] = fields[k];
    }
    link::FrameRecord record;
    link::DecodeAnswer(link::kCalibrationSettingsType, payload.data(), payload.size(), record);
    return record;
}

std::vector<recording::StreamEntry> Streams(int n) {
    recording::CStreamList list;
    list.SetStreams(n);
    auto streams = list.Streams();
    for (auto& s : streams) {
        s.description = "HHZ";
    }
    return streams;
}

TEST(CalSignalTest, ShortedInputMovesWithThePseudoRandomEntryButKeepsItsCode) {
    for (int model : {0, 1, 17}) {
        const auto names = CalSignalNames(model);
        ASSERT_EQ(names.size(), 6u);
        EXPECT_EQ(names[4], "Shorted Input");
        EXPECT_EQ(EncodeCalSignal(4, model, false), 0x08);
        EXPECT_EQ(EncodeCalSignal(4, model, true), 0x88);
        EXPECT_EQ(EncodeCalSignal(5, model, false), 0x09);
        EXPECT_EQ(EncodeCalSignal(6, model, false), -1);
        EXPECT_EQ(DecodeCalSignal(0x08, model, false), 4);
        EXPECT_EQ(DecodeCalSignal(0x89, model, true), 5);
        // Code 4 is the pseudo-random signal, which these models do not have.
        EXPECT_EQ(DecodeCalSignal(0x04, model, false), -1);
    }
    for (int model : {2, 3}) {
        const auto names = CalSignalNames(model);
        ASSERT_EQ(names.size(), 7u);
        EXPECT_EQ(names[4], "Pseudo Random Binary");
        EXPECT_EQ(names[5], "Shorted Input");
        EXPECT_EQ(EncodeCalSignal(4, model, true), 0x84);
        EXPECT_EQ(EncodeCalSignal(5, model, false), 0x08);
        EXPECT_EQ(EncodeCalSignal(6, model, true), 0x89);
        EXPECT_EQ(DecodeCalSignal(0x08, model, false), 5);
        EXPECT_EQ(DecodeCalSignal(0x84, model, true), 4);
    }
    for (std::uint8_t code : {0x05, 0x06, 0x07, 0x0A, 0xFF}) {
        EXPECT_EQ(DecodeCalSignal(code, 3, false), -1) << int(code);
    }
    EXPECT_EQ(DecodeCalSignal(0x82, 0, false), -1); // a scheduled code is no immediate run
    EXPECT_EQ(DecodeCalSignal(0x02, 0, true), 2);
}

TEST(CalDurationTest, ConvertsClampsAndSaysSo) {
    DurationEntry e = EnterDuration(20, kUnitMinute, false, 0);
    EXPECT_EQ(e.seconds, 1200);
    EXPECT_TRUE(e.messages.empty());
    EXPECT_TRUE(e.replacedText.empty());

    e = EnterDuration(1100, kUnitMinute, false, 0);
    EXPECT_EQ(e.seconds, 65535);
    EXPECT_EQ(e.replacedText, " 1092.2");
    ASSERT_EQ(e.messages.size(), 1u);
    EXPECT_EQ(e.messages[0].text, "The maximum value for duration time is 65535 seconds");
    EXPECT_EQ(e.messages[0].caption, "Tellus Application");
    EXPECT_EQ(EnterDuration(1100, kUnitMinute, true, 100000).replacedText, "1092.2");

    e = EnterDuration(19, kUnitHour, false, 0);
    EXPECT_EQ(e.seconds, 65535);
    EXPECT_EQ(e.replacedText, "18.20");
    e = EnterDuration(70000, kUnitSecond, false, 0);
    EXPECT_EQ(e.replacedText, "65535");
    // Exactly the maximum is shown the message but the text stays.
    e = EnterDuration(65535, kUnitSecond, false, 0);
    EXPECT_EQ(e.seconds, 65535);
    EXPECT_TRUE(e.replacedText.empty());
    EXPECT_EQ(e.messages.size(), 1u);

    for (double v : {0.0, 0.5, -3.0}) {
        e = EnterDuration(v, kUnitSecond, false, 0);
        EXPECT_EQ(e.seconds, 0) << v;
        ASSERT_EQ(e.messages.size(), 1u);
        EXPECT_EQ(e.messages[0].text, "Duration time Must be at least one second");
    }
    // Scheduled: not below the interval is said, the value stays.
    e = EnterDuration(10, kUnitMinute, true, 600);
    EXPECT_EQ(e.seconds, 600);
    ASSERT_EQ(e.messages.size(), 1u);
    EXPECT_EQ(e.messages[0].text, "Duration time must be smaller than intervale time");
    EXPECT_TRUE(EnterDuration(10, kUnitMinute, true, 601).messages.empty());
    // No interval yet: the pair is checked when the interval is left, not before.
    EXPECT_TRUE(EnterDuration(10, kUnitMinute, true, 0).messages.empty());
    EXPECT_EQ(EnterInterval(5, kUnitMinute, 600).messages.size(), 1u);
    // No unit chosen: nothing happens.
    EXPECT_TRUE(EnterDuration(10, -1, false, 0).messages.empty());
}

TEST(CalDurationTest, IntervalRepetitionsAndUnitTexts) {
    EXPECT_EQ(EnterInterval(2, kUnitWeek, 0).seconds, 1209600u);
    EXPECT_EQ(EnterInterval(1, kUnitYear, 0).seconds, 31536000u);
    EXPECT_EQ(EnterInterval(1000, kUnitYear, 0).seconds, 4294967295u); // clamped, not wrapped
    EXPECT_EQ(EnterInterval(-5, kUnitDay, 0).seconds, 0u);
    const IntervalEntry i = EnterInterval(1, kUnitMinute, 60);
    ASSERT_EQ(i.messages.size(), 1u);
    EXPECT_EQ(i.messages[0].text, "Interval time must be bigger than duration time");

    const RepetitionsEntry r = EnterRepetitions(70000);
    EXPECT_EQ(r.repetitions, 65535);
    EXPECT_EQ(r.replacedText, "65535");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].text, "Maximum\tNumber for Repetition is 65535");
    EXPECT_EQ(r.messages[0].caption, "Tellus Setup");
    EXPECT_EQ(EnterRepetitions(65535).repetitions, 65535);
    EXPECT_TRUE(EnterRepetitions(65535).messages.empty());

    EXPECT_EQ(FormatInUnit(90, kUnitSecond), "90");
    EXPECT_EQ(FormatInUnit(90, kUnitMinute), "1.50");
    EXPECT_EQ(FormatInUnit(90, kUnitHour), "0.0250");
    EXPECT_EQ(FormatInUnit(86400, kUnitDay), "1.000000");
    EXPECT_EQ(FormatInUnit(302400, kUnitWeek), "0.50000000");
    EXPECT_EQ(FormatInUnit(31536000, kUnitYear), "1.0000000000");
}

TEST(CalScalingTest, AmplitudeAndFrequencyFields) {
    EXPECT_EQ(VoltsToMillivolts(-2.5), -2500);
    EXPECT_EQ(VoltsToMillivolts(1.001), 1001);
    EXPECT_EQ(VoltsToMillivolts(-0.0019), -1); // toward zero
    EXPECT_EQ(VoltsToTenthMillivolts(-2.5), -25000);
    EXPECT_EQ(VoltsToTenthMillivolts(20), 200000);
    EXPECT_EQ(ToTenths(2.5), 25);
    EXPECT_EQ(ToTenths(0.3), 3);
    EXPECT_EQ(ToTenths(-1), 0);
    EXPECT_EQ(ToTenths(1e9), 65535);
    EXPECT_EQ(ToThousandths(0.001), 1u);
    EXPECT_EQ(ToThousandths(12.3456), 12345u);
}

TEST(CalStartTimeTest, LeapDaysAndTheTwoDigitYear) {
    std::uint32_t seconds = 0;
    EXPECT_EQ(StartTimeToSeconds({29, 2, 1, 0, 0, 0}, seconds), -1);
    EXPECT_EQ(StartTimeToSeconds({29, 2, 4, 12, 0, 0}, seconds), 1);
    EXPECT_EQ(seconds, 1078056000u); // 2004-02-29 12:00:00
    EXPECT_EQ(StartTimeToSeconds({1, 1, 70, 0, 0, 0}, seconds), 1);
    EXPECT_EQ(seconds, 0u);
    EXPECT_EQ(StartTimeToSeconds({1, 1, 69, 0, 0, 0}, seconds), 1);
    EXPECT_EQ(seconds, 3124224000u); // 2069-01-01
    EXPECT_EQ(FullYear(69), 2069);
    EXPECT_EQ(FullYear(70), 1970);
    EXPECT_FALSE(ValidStartTime({31, 4, 5, 0, 0, 0}));
    EXPECT_TRUE(ValidStartTime({30, 4, 5, 0, 0, 0}));
    EXPECT_FALSE(ValidStartTime({32, 1, 5, 0, 0, 0}));
    EXPECT_FALSE(ValidStartTime({0, 1, 5, 0, 0, 0}));
    EXPECT_FALSE(ValidStartTime({1, 13, 5, 0, 0, 0}));
    EXPECT_FALSE(ValidStartTime({1, 1, 5, 24, 0, 0}));
    EXPECT_FALSE(ValidStartTime({1, 1, 5, 0, 60, 0}));
    EXPECT_FALSE(ValidStartTime({1, 1, 5, 0, 0, 60}));
    EXPECT_TRUE(ValidStartTime({29, 2, 0, 23, 59, 59})); // 2000 is a leap year

    const CalStartTime t = StartTimeFromSeconds(1078056000u + 61);
    EXPECT_EQ(t, (CalStartTime{29, 2, 4, 12, 1, 1}));
    EXPECT_EQ(StartTimeFromSeconds(0), (CalStartTime{1, 1, 70, 0, 0, 0}));
}

TEST(CalPageModelTest, ImmediateRecordByteForByte) {
    CCalPageModel page(false);
    page.SetModelCode(1);
    page.SetChannels(Streams(3), 3);
    page.signalPosition = 4; // "Shorted Input"
    page.amplitude = -2.5;
    page.frequency = 1.5;
    page.EnterDuration(20); // seconds
    page.SetRowEnabled(0, true);
    page.SetRowEnabled(2, true);
    page.SetRowMode(2, kCalModeShort);
    page.SetRunSwitch(kCalRunOn);
    CalCommand command;
    std::vector<CalMessage> messages;
    ASSERT_EQ(page.BuildSend(command, messages), 1);
    EXPECT_EQ(command.code, 0x8C);
    // Channel 1 Sensor (1), channel 3 Short (3 << 4): 0x0031.
    const Bytes expected = {0,    0,    0x08, 0, 0x31, 0x00, 0, 0, 0,    0,    0,    0,
                            0x14, 0x00, 0,    0, 0,    0,    0, 0, 0x3C, 0xF6, 0x0F, 0x00};
    EXPECT_EQ(Payload(command, false), expected);
}

TEST(CalPageModelTest, ScheduledRecordCarriesIndexStartIntervalAndRepetitions) {
    CCalPageModel page(true);
    page.SetModelCode(3);
    page.SetChannels(Streams(1), 1);
    page.index = 7;
    page.signalPosition = 0;
    page.amplitude = 1.0;
    page.frequency = 0.5;
    page.durationUnit = kUnitMinute;
    page.intervalUnit = kUnitHour;
    page.EnterInterval(2);
    page.EnterDuration(1);
    page.EnterRepetitions(3);
    page.start = {29, 2, 4, 12, 0, 0};
    page.dampingDisable[1] = true;
    page.dampingDisable[5] = true;
    page.SetDigitalMode(true);
    page.SetRowEnabled(0, true);
    page.SetRowMode(0, kCalModeLoopback);
    page.SetRunSwitch(kCalRunOn);
    CalCommand command;
    std::vector<CalMessage> messages;
    ASSERT_EQ(page.BuildSend(command, messages), 1);
    const Bytes p = Payload(command, true);
    ASSERT_EQ(p.size(), 34u);
    const Bytes expected = {0,    0,    0x80, 7,    0x02, 0,    0,    0,    0x40, 0xD4, 0x41, 0x40,
                            0x3C, 0x00, 0x20, 0x1C, 0x00, 0x00, 0x03, 0x00, 0xE8, 0x03, 0x05, 0x00,
                            0x10, 0x27, 0,    0,    0xF4, 0x01, 0,    0,    0x22, 0x01};
    EXPECT_EQ(p, expected);
}

TEST(CalPageModelTest, RefusesAnInvalidStartDateAndOutOfRangeAmplitude) {
    CCalPageModel page(true);
    page.SetRunSwitch(kCalRunOn);
    page.EnterDuration(5);
    page.start = {29, 2, 1, 0, 0, 0};
    CalCommand command;
    std::vector<CalMessage> messages;
    EXPECT_EQ(page.BuildSend(command, messages), -1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], (CalMessage{"Start Time: Invalid data input", "Tellus Application"}));
    page.start = {29, 2, 4, 0, 0, 0};
    messages.clear();
    EXPECT_EQ(page.BuildSend(command, messages), 1);
    EXPECT_TRUE(messages.empty());

    page.amplitude = 20.5;
    EXPECT_EQ(page.BuildSend(command, messages), -1);
    EXPECT_EQ(messages.back().text, "Amplitude: Enter a number between -20 and 20.");
}

TEST(CalPageModelTest, StopDisableAndNoChoiceCancelTheRun) {
    CCalPageModel scheduled(true);
    scheduled.index = 5;
    CalCommand command;
    std::vector<CalMessage> messages;
    // Before any answer neither choice is made: the run is cancelled.
    EXPECT_EQ(scheduled.RunSwitch(), kCalRunNeither);
    ASSERT_EQ(scheduled.BuildSend(command, messages), 1);
    EXPECT_EQ(command.code, 0x8D);
    scheduled.SetRunSwitch(kCalRunOff);
    ASSERT_EQ(scheduled.BuildSend(command, messages), 1);
    EXPECT_EQ(command.code, 0x8D);
    EXPECT_EQ(Payload(command, false), (Bytes{0x00, 0x00, 0x05}));
    EXPECT_FALSE(scheduled.ValueControlsEnabled());

    CCalPageModel immediate(false);
    ASSERT_EQ(immediate.BuildSend(command, messages), 1);
    EXPECT_EQ(command.code, 0x8D);
    EXPECT_EQ(Payload(command, false), (Bytes{0x00, 0x00, 0xFF}));
    EXPECT_EQ(Payload(immediate.QueryCommand(), false), (Bytes{0x00, 0x00, 0xFF}));
    EXPECT_EQ(immediate.QueryCommand().code, 0xB3);
}

TEST(CalPageModelTest, ChannelRowsFollowTheChannelList) {
    CCalPageModel page(false);
    page.SetChannels(Streams(3), 3);
    EXPECT_TRUE(page.Rows()[2].visible);
    EXPECT_FALSE(page.Rows()[3].visible);
    EXPECT_EQ(page.Rows()[0].label, "1 ( HHZ)");
    page.SetChannels(Streams(6), 6);
    EXPECT_TRUE(page.Rows()[5].visible);
    EXPECT_FALSE(page.Rows()[6].visible);
    for (int r = 0; r < 6; ++r) {
        page.SetRowEnabled(r, true);
        page.SetRowMode(r, r % 3);
    }
    // Rows 1..6: modes 1,2,3,1,2,3 at bits 2(c-1): 0x001 + 0x008 + 0x030 + 0x040 + 0x200 + 0xC00.
    EXPECT_EQ(page.ModeWord(), 0x0E79);
    page.SetRowEnabled(1, false);
    EXPECT_EQ(page.ModeWord(), 0x0E71);
    // Rows of entries numbered above 8 carry no mode.
    auto streams = Streams(3);
    streams[0].number = "9";
    page.SetChannels(streams, 3);
    page.SetRowEnabled(0, true);
    page.SetRowEnabled(1, false);
    page.SetRowEnabled(2, false);
    EXPECT_EQ(page.ModeWord(), 0);
}

TEST(CalPageModelTest, ControlModeBoxesBehaveAsAPair) {
    CCalPageModel page(false);
    page.SetModelCode(3);
    EXPECT_TRUE(page.ShowsDampingGroups());
    page.SetDigitalMode(true);
    EXPECT_FALSE(page.normalMode);
    page.SetDigitalMode(false);
    EXPECT_TRUE(page.normalMode);
    page.SetNormalMode(false);
    EXPECT_TRUE(page.digitalMode);
    page.SetModelCode(17);
    EXPECT_FALSE(page.ShowsDampingGroups());
    // Other models send neither damping bits nor the digital mode.
    page.dampingDisable[0] = true;
    EXPECT_EQ(page.Record().dampingDisable, 0);
    EXPECT_EQ(page.Record().controlMode, 0);
}

TEST(CalPageModelTest, DecodesShortAndLongAnswers) {
    CCalPageModel page(true);
    page.SetModelCode(3);
    page.SetChannels(Streams(3), 3);
    page.intervalUnit = kUnitMinute;
    // Signal 0x88 (Shorted Input), index 9, active, modes ch1 Sensor ch3 Loopback, start
    // 2004-02-29 12:00:00, duration 90 s, interval 3600 s, 4 repetitions, -2500 mV, 2.5 Hz.
    const Bytes fields = {0x88, 9,    1,    0x21, 0x00, 0,    0,    0x40, 0xD4, 0x41, 0x40,
                          90,   0,    0x10, 0x0E, 0,    0,    4,    0,    0x3C, 0xF6, 25,
                          0,    0x58, 0x9E, 0xFF, 0xFF, 0xA0, 0x0F, 0,    0,    0x05, 0x01};
    ASSERT_EQ(page.Decode(SettingsAnswer(26, fields), false), 1);
    EXPECT_EQ(page.signalPosition, 5);
    EXPECT_EQ(page.index, 9);
    EXPECT_EQ(page.RunSwitch(), kCalRunOn);
    EXPECT_EQ(page.durationSeconds, 90);
    EXPECT_EQ(page.intervalSeconds, 3600u);
    EXPECT_EQ(page.IntervalText(), "60.00");
    EXPECT_EQ(page.repetitions, 4);
    EXPECT_DOUBLE_EQ(page.amplitude, -2.5);
    EXPECT_DOUBLE_EQ(page.frequency, 2.5);
    EXPECT_EQ(page.start, (CalStartTime{29, 2, 4, 12, 0, 0}));
    EXPECT_TRUE(page.Rows()[0].enabled);
    EXPECT_EQ(page.Rows()[0].mode, kCalModeSensor);
    EXPECT_FALSE(page.Rows()[1].enabled);
    EXPECT_EQ(page.Rows()[1].mode, kCalModeNone);
    EXPECT_EQ(page.Rows()[2].mode, kCalModeLoopback);
    EXPECT_FALSE(page.digitalMode);
    EXPECT_FALSE(page.Modified());

    // 36 bytes: 0.1 mV and thousandths fields, damping bits 0 and 2, digital mode.
    ASSERT_EQ(page.Decode(SettingsAnswer(36, fields), true), 1);
    EXPECT_DOUBLE_EQ(page.amplitude, -2.5);
    EXPECT_NEAR(page.frequency, 4.0, 1e-9);
    EXPECT_TRUE(page.dampingDisable[0]);
    EXPECT_FALSE(page.dampingDisable[1]);
    EXPECT_TRUE(page.dampingDisable[2]);
    EXPECT_TRUE(page.digitalMode);
    EXPECT_FALSE(page.normalMode);
    // 34 bytes has no damping or mode bytes: none and "Normal Mode".
    ASSERT_EQ(page.Decode(SettingsAnswer(34, fields), true), 1);
    EXPECT_FALSE(page.dampingDisable[0]);
    EXPECT_TRUE(page.normalMode);

    // Inactive answer: "Disable", value controls off.
    Bytes inactive = fields;
    inactive[2] = 0;
    ASSERT_EQ(page.Decode(SettingsAnswer(26, inactive), false), 1);
    EXPECT_EQ(page.RunSwitch(), kCalRunOff);
    EXPECT_FALSE(page.ValueControlsEnabled());
    link::FrameRecord other;
    EXPECT_EQ(page.Decode(other, false), 0);
}

// The link's calibration form follows the length of the last settings answer: after a
// 36-byte answer the next 0x8C goes out with 34 bytes, amplitude also in 0.1 mV.
TEST(CalPageModelTest, ALongSettingsAnswerSwitchesTheNextSendToTheLongForm) {
    test::MemoryLink link;
    CCalPageModel page(false);
    page.SetModelCode(3);
    link::FrameRecord answer;
    Bytes payload(36, 0);
    payload[2] = 1;
    payload[5] = 1;
    link.FeedFrame(link::kCalibrationSettingsType, payload);
    std::uint8_t expected = link::kCalibrationSettingsType;
    ASSERT_EQ(link.ReadFrame(expected, answer), 1);
    ASSERT_TRUE(link.LongCalibrationAnswer());
    ASSERT_EQ(page.Decode(answer, link.LongCalibrationAnswer()), 1);

    page.amplitude = -2.5;
    page.EnterDuration(10);
    page.SetRunSwitch(kCalRunOn);
    CalCommand command;
    std::vector<CalMessage> messages;
    ASSERT_EQ(page.BuildSend(command, messages), 1);
    const std::size_t before = link.Written().size();
    ASSERT_EQ(link.SendCommand(command.code, command.record), 1);
    const Bytes all = link.Written();
    const Bytes written(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    Bytes sent(34, 0);
    sent[12] = 10;
    sent[20] = 0x3C;
    sent[21] = 0xF6;
    sent[24] = 0x58; // -25000 = 0xFFFF9E58
    sent[25] = 0x9E;
    sent[26] = 0xFF;
    sent[27] = 0xFF;
    Bytes frame;
    link::AppendFrame(0x8C, sent, frame);
    EXPECT_EQ(written, frame);

    // A 26-byte answer switches back to 24 bytes.
    link.FeedFrame(link::kCalibrationSettingsType, Bytes(26, 1));
    expected = link::kCalibrationSettingsType;
    ASSERT_EQ(link.ReadFrame(expected, answer), 1);
    EXPECT_FALSE(link.LongCalibrationAnswer());
}

} // namespace
} // namespace nereid::instrument
