#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument/calibration/model/cal_entry.h"
#include "link/answer_records.h"
#include "link/command_records.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

constexpr std::uint8_t kSetCalibrationCode = 0x8C;
constexpr std::uint8_t kCancelCalibrationCode = 0x8D;
constexpr std::uint8_t kGetCalibrationCode = 0xB3;
// Run selector of the immediate run; scheduled runs are 0..31.
constexpr std::uint8_t kImmediateRun = 0xFF;
constexpr int kScheduledRuns = 32;
constexpr int kCalChannelRows = 8;
constexpr int kDampingChannels = 6;
// Model code whose recorder has damping resistors and a digital calibration mode.
constexpr int kCalDampingModel = 3;

// Run switch: "Start"/"Enable" (0), "Stop"/"Disable" (1), or neither before any answer.
enum CalRunSwitch : int { kCalRunNeither = -1, kCalRunOn = 0, kCalRunOff = 1 };

// Radio of a channel row: none, "Sensor", "Loopback", "Short".
enum CalChannelMode : int {
    kCalModeNone = -1,
    kCalModeSensor = 0,
    kCalModeLoopback = 1,
    kCalModeShort = 2
};

// One "Channel Configuration" row: list entry r of the main window's channel list.
struct CalChannelRow {
    bool visible = false;
    std::string label; // "1 ( text)"
    int channel = 0;   // the entry's channel number; above 8 carries no mode
    bool enabled = false;
    int mode = kCalModeNone;
};

// A command the page sends: 0x8C with the calibration record, or 0x8D / 0xB3 with a selector.
struct CalCommand {
    std::uint8_t code = 0;
    link::CommandRecord record;
};

// The state of the "Immediate" or "Scheduled" calibration page, toolkit-free. The widget
// shows it and calls the Enter... functions when the operator leaves an edit.
class CCalPageModel {
public:
    explicit CCalPageModel(bool scheduled);

    bool Scheduled() const { return m_Scheduled; }

    // The recorder's model code: the signal list, and the damping and control-mode groups
    // (model 3 only).
    void SetModelCode(int modelCode);
    int ModelCode() const { return m_ModelCode; }
    bool ShowsDampingGroups() const { return m_ModelCode == kCalDampingModel; }
    // The damping box of channel 0..7 is shown only on a model-3 unit that has the channel
    // among its rows and among the six the record carries: a box for a channel the unit lacks
    // would be a setting that does nothing.
    bool ShowsDampingBox(int channel) const;
    std::vector<std::string> SignalNames() const;

    // Rows 1..n of the channel list (n primary entries, then n secondary ones), at most 8.
    void SetChannels(const std::vector<recording::StreamEntry>& streams, int streamCount);
    const std::array<CalChannelRow, kCalChannelRows>& Rows() const { return m_Rows; }
    // Enabling a row with no radio chosen selects "Sensor", so an enabled row always has a mode.
    void SetRowEnabled(int row, bool enabled);
    void SetRowMode(int row, int mode);
    // The 16-bit mode word of the visible rows: 2 bits per channel c at 2(c-1).
    std::uint16_t ModeWord() const;

    // Values the edits hold.
    int signalPosition = 0;
    double amplitude = 0.0; // volts, -20..20
    double frequency = 0.0; // Hz for sine, seconds for pulse
    int durationUnit = kUnitSecond;
    double durationValue = 0.0; // in durationUnit
    std::uint16_t durationSeconds = 0;
    std::array<bool, kDampingChannels> dampingDisable{};
    bool normalMode = false;
    bool digitalMode = false;
    // Scheduled page only.
    int index = 0;
    int intervalUnit = kUnitSecond;
    double intervalValue = 0.0;
    std::uint32_t intervalSeconds = 0;
    std::uint16_t repetitions = 0;
    CalStartTime start;

    int RunSwitch() const { return m_RunSwitch; }
    // Choosing a run switch marks the page modified; the value controls are enabled unless
    // the switch is "Stop"/"Disable".
    void SetRunSwitch(int runSwitch);
    bool ValueControlsEnabled() const { return m_RunSwitch != kCalRunOff; }

    // The "Normal Mode" / "Digital Mode" pair: checking one clears the other, unchecking one
    // checks the other.
    void SetNormalMode(bool checked);
    void SetDigitalMode(bool checked);

    // Leaving the duration, interval or repetitions edit. The text a widget should show
    // instead of what was typed is in the result; messages are shown in order.
    DurationEntry EnterDuration(double value);
    IntervalEntry EnterInterval(double value);
    RepetitionsEntry EnterRepetitions(long long value);
    // Changing a unit redisplays the stored seconds in it; returns the new edit text.
    std::string ChangeDurationUnit(int unit);
    std::string ChangeIntervalUnit(int unit);
    std::string DurationText() const { return FormatInUnit(durationSeconds, durationUnit); }
    std::string IntervalText() const { return FormatInUnit(intervalSeconds, intervalUnit); }

    bool Modified() const { return m_Modified; }
    void SetModified(bool modified) { m_Modified = modified; }

    // Run selector of this page: 0xFF, or the index.
    std::uint8_t Selector() const;
    // 0xB3 for this page's run.
    CalCommand QueryCommand() const;

    // Decodes a calibration settings answer ('S'). `extended` is the link's long-answer flag:
    // amplitude and frequency then come from the 32-bit fields, damping and control mode from
    // a 36-byte answer. Returns 1, or 0 when the record holds no settings.
    int Decode(const link::FrameRecord& answer, bool extended);

    // The command of "Send": 0x8C with the record when the switch is "Start"/"Enable",
    // otherwise (also when neither is chosen) 0x8D for this page's run. Returns 1, or -1 with
    // the messages to show when a value is out of range or the start time is invalid; nothing
    // is to be sent then.
    int BuildSend(CalCommand& command, std::vector<CalMessage>& messages) const;

    // The calibration record of the current values (what 0x8C carries).
    link::CalibrationSetupRecord Record() const;

private:
    bool m_Scheduled;
    int m_ModelCode = 0;
    int m_RunSwitch = kCalRunNeither;
    bool m_Modified = false;
    std::array<CalChannelRow, kCalChannelRows> m_Rows{};
};

} // namespace nereid::instrument
