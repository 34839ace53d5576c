#include "instrument/calibration/model/cal_page_model.h"

#include <algorithm>

#include <cstdlib>

#include "instrument/calibration/model/cal_signal.h"

namespace nereid::instrument {

namespace {

// The message names the field it is about: the operator may have left it long before Send.
CalMessage RangeMessage(const char* field, const char* low, const char* high) {
    return {std::string(field) + ": Enter a number between " + low + " and " + high + ".",
            kCalMessageCaption};
}

CalMessage InvalidData(const char* field) {
    return {std::string(field) + ": " + kInvalidDataText, kCalMessageCaption};
}

} // namespace

CCalPageModel::CCalPageModel(bool scheduled) : m_Scheduled(scheduled) {}

void CCalPageModel::SetModelCode(int modelCode) {
    m_ModelCode = modelCode;
    if (signalPosition >= static_cast<int>(CalSignalNames(modelCode).size())) {
        signalPosition = 0;
    }
}

std::vector<std::string> CCalPageModel::SignalNames() const {
    return CalSignalNames(m_ModelCode);
}

bool CCalPageModel::ShowsDampingBox(int channel) const {
    if (!ShowsDampingGroups() || channel < 0 || channel >= kDampingChannels) {
        return false;
    }
    return std::any_of(m_Rows.begin(), m_Rows.end(), [channel](const CalChannelRow& row) {
        return row.visible && row.channel == channel + 1;
    });
}

void CCalPageModel::SetChannels(const std::vector<recording::StreamEntry>& streams,
                                int streamCount) {
    for (int r = 0; r < kCalChannelRows; ++r) {
        CalChannelRow& row = m_Rows[static_cast<std::size_t>(r)];
        row.visible = r < streamCount && r < static_cast<int>(streams.size());
        if (!row.visible) {
            row = CalChannelRow{};
            continue;
        }
        const recording::StreamEntry& entry = streams[static_cast<std::size_t>(r)];
        row.label = entry.number + " ( " + entry.description + ")";
        row.channel = std::atoi(entry.number.c_str());
    }
}

void CCalPageModel::SetRowEnabled(int row, bool enabled) {
    if (row < 0 || row >= kCalChannelRows) {
        return;
    }
    CalChannelRow& r = m_Rows[static_cast<std::size_t>(row)];
    r.enabled = enabled;
    if (enabled && r.mode == kCalModeNone) {
        r.mode = kCalModeSensor;
    }
    m_Modified = true;
}

void CCalPageModel::SetRowMode(int row, int mode) {
    if (row < 0 || row >= kCalChannelRows || mode < kCalModeNone || mode > kCalModeShort) {
        return;
    }
    m_Rows[static_cast<std::size_t>(row)].mode = mode;
    m_Modified = true;
}

std::uint16_t CCalPageModel::ModeWord() const {
    unsigned word = 0;
    for (const CalChannelRow& row : m_Rows) {
        if (!row.visible || !row.enabled || row.mode == kCalModeNone || row.channel < 1 ||
            row.channel > 8) {
            continue;
        }
        word |= static_cast<unsigned>(row.mode + 1) << (2 * (row.channel - 1));
    }
    return static_cast<std::uint16_t>(word);
}

void CCalPageModel::SetRunSwitch(int runSwitch) {
    m_RunSwitch = runSwitch;
    m_Modified = true;
}

void CCalPageModel::SetNormalMode(bool checked) {
    normalMode = checked;
    digitalMode = !checked;
    m_Modified = true;
}

void CCalPageModel::SetDigitalMode(bool checked) {
    digitalMode = checked;
    normalMode = !checked;
    m_Modified = true;
}

DurationEntry CCalPageModel::EnterDuration(double value) {
    DurationEntry entry =
        instrument::EnterDuration(value, durationUnit, m_Scheduled, intervalSeconds);
    if (durationUnit < 0 || durationUnit >= kDurationUnitCount) {
        return entry; // no unit chosen: nothing happens
    }
    durationValue = value;
    durationSeconds = entry.seconds;
    if (!entry.replacedText.empty()) {
        durationValue = std::atof(entry.replacedText.c_str());
    }
    m_Modified = true;
    return entry;
}

IntervalEntry CCalPageModel::EnterInterval(double value) {
    IntervalEntry entry = instrument::EnterInterval(value, intervalUnit, durationSeconds);
    intervalValue = value;
    intervalSeconds = entry.seconds;
    m_Modified = true;
    return entry;
}

RepetitionsEntry CCalPageModel::EnterRepetitions(long long value) {
    RepetitionsEntry entry = instrument::EnterRepetitions(value);
    repetitions = entry.repetitions;
    m_Modified = true;
    return entry;
}

std::string CCalPageModel::ChangeDurationUnit(int unit) {
    durationUnit = unit;
    const std::string text = DurationText();
    durationValue = std::atof(text.c_str());
    return text;
}

std::string CCalPageModel::ChangeIntervalUnit(int unit) {
    intervalUnit = unit;
    const std::string text = IntervalText();
    intervalValue = std::atof(text.c_str());
    return text;
}

std::uint8_t CCalPageModel::Selector() const {
    return m_Scheduled ? static_cast<std::uint8_t>(index) : kImmediateRun;
}

CalCommand CCalPageModel::QueryCommand() const {
    CalCommand command;
    command.code = kGetCalibrationCode;
    command.record.params = link::ByteCommand{Selector()};
    return command;
}

int CCalPageModel::Decode(const link::FrameRecord& answer, bool extended) {
    const auto* s = std::get_if<link::CalibrationSettings>(&answer.decoded);
    if (s == nullptr) {
        return 0;
    }
    signalPosition = DecodeCalSignal(s->signalCode, m_ModelCode, m_Scheduled);
    if (m_Scheduled && s->runIndex < kScheduledRuns) {
        index = s->runIndex;
    }
    m_RunSwitch = s->active != 0 ? kCalRunOn : kCalRunOff;
    durationSeconds = s->duration;
    durationValue = std::atof(DurationText().c_str());
    if (m_Scheduled) {
        intervalSeconds = s->interval;
        intervalValue = std::atof(IntervalText().c_str());
        repetitions = s->repetitions;
        start = StartTimeFromSeconds(s->startTime);
    }
    if (extended) {
        frequency = s->frequencyThousandths * 0.001;
        amplitude = s->amplitudeTenthMv * 0.0001;
        // A 34-byte answer has no damping or mode bytes; they decode as 0: none, normal.
        for (int c = 0; c < kDampingChannels; ++c) {
            dampingDisable[static_cast<std::size_t>(c)] = (s->dampingDisable >> c) & 1;
        }
        digitalMode = s->controlMode != 0;
        normalMode = !digitalMode;
    } else {
        frequency = s->frequencyTenths * 0.1;
        amplitude = s->amplitudeMv * 0.001;
    }
    for (CalChannelRow& row : m_Rows) {
        if (!row.visible || row.channel < 1 || row.channel > 8) {
            continue;
        }
        const unsigned mode = (s->channelModeWord >> (2 * (row.channel - 1))) & 3u;
        row.enabled = mode != 0;
        row.mode = mode == 0 ? kCalModeNone : static_cast<int>(mode) - 1;
    }
    m_Modified = false;
    return 1;
}

link::CalibrationSetupRecord CCalPageModel::Record() const {
    link::CalibrationSetupRecord r;
    const int code = EncodeCalSignal(signalPosition, m_ModelCode, m_Scheduled);
    r.signalCode = static_cast<std::uint8_t>(code < 0 ? 0 : code);
    r.channelModeWord = ModeWord();
    r.duration = durationSeconds;
    r.amplitudeMv = VoltsToMillivolts(amplitude);
    r.frequencyTenths = ToTenths(frequency);
    r.amplitudeTenthMv = VoltsToTenthMillivolts(amplitude);
    r.frequencyThousandths = ToThousandths(frequency);
    if (ShowsDampingGroups()) {
        for (int c = 0; c < kDampingChannels; ++c) {
            if (dampingDisable[static_cast<std::size_t>(c)]) {
                r.dampingDisable = static_cast<std::uint8_t>(r.dampingDisable | (1u << c));
            }
        }
        r.controlMode = digitalMode ? 1 : 0;
    }
    if (m_Scheduled) {
        r.runIndex = static_cast<std::uint8_t>(index);
        r.interval = intervalSeconds;
        r.repetitions = repetitions;
        std::uint32_t seconds = 0;
        if (StartTimeToSeconds(start, seconds) == 1) {
            r.startTime = seconds;
        }
    }
    return r;
}

int CCalPageModel::BuildSend(CalCommand& command, std::vector<CalMessage>& messages) const {
    const bool on = m_RunSwitch == kCalRunOn;
    if (!on) {
        command.code = kCancelCalibrationCode;
        command.record = link::CommandRecord{};
        command.record.params = link::ByteCommand{Selector()};
        return 1;
    }
    // Reading the page: every range is checked before anything goes out.
    if (!(amplitude >= -20.0 && amplitude <= 20.0)) {
        messages.push_back(RangeMessage("Amplitude", "-20", "20"));
        return -1;
    }
    if (signalPosition < 0 || signalPosition >= static_cast<int>(SignalNames().size())) {
        messages.push_back(InvalidData("Cal Signal"));
        return -1;
    }
    if (m_Scheduled) {
        if (!(durationValue >= 0.0 && durationValue <= 6400000.0)) {
            messages.push_back(RangeMessage("Duration", "0", "6400000"));
            return -1;
        }
        if (!(intervalValue >= 0.0 && intervalValue <= 1000000000.0)) {
            messages.push_back(RangeMessage("Interval", "0", "1000000000"));
            return -1;
        }
        if (index < 0 || index >= kScheduledRuns) {
            messages.push_back(InvalidData("Index"));
            return -1;
        }
        if (!ValidStartTime(start)) {
            messages.push_back(InvalidData("Start Time"));
            return -1;
        }
    }
    command.code = kSetCalibrationCode;
    command.record = link::CommandRecord{};
    command.record.params = Record();
    return 1;
}

} // namespace nereid::instrument
