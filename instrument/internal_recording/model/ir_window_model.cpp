#include "instrument/internal_recording/model/ir_window_model.h"

#include <algorithm>

namespace nereid::instrument {

std::uint32_t SpanSeconds(const IRSpan& span) {
    return static_cast<std::uint32_t>(span.hours) * 3600u +
           static_cast<std::uint32_t>(span.minutes) * 60u +
           static_cast<std::uint32_t>(span.seconds);
}

IRSpan SpanFromSeconds(std::uint32_t seconds) {
    return {static_cast<int>(seconds / 3600), static_cast<int>((seconds % 3600) / 60),
            static_cast<int>(seconds % 60)};
}

bool CIRWindowModel::WindowChanged(int window) const {
    if (window < 0 || window >= kRecordingWindows) {
        return false;
    }
    const auto at = static_cast<std::size_t>(window);
    return !(edit.windows[at] == Received().windows[at]);
}

int CIRWindowModel::CheckWindow(int window, std::string& message) const {
    if (!WindowChanged(window)) {
        return 1;
    }
    const IRWindow& w = edit.windows[static_cast<std::size_t>(window)];
    if (SpanSeconds(w.duration) < SpanSeconds(w.interval)) {
        return 1;
    }
    message = kWindowDurationMessage;
    return -1;
}

int CIRWindowModel::ValidateCurrent(std::string& message) {
    if (CheckWindow(m_Selected, message) == 1) {
        return 1;
    }
    IRWindow& w = Current();
    const std::uint32_t duration = SpanSeconds(w.duration);
    // Carried into minutes and hours, so that 00:00:59 gives 00:01:00, not 60 seconds.
    w.interval = SpanFromSeconds(duration + 1);
    return -1;
}

int CIRWindowModel::Select(int window, std::string& message) {
    if (window < 0 || window >= kRecordingWindows) {
        return -1;
    }
    if (ValidateCurrent(message) != 1) {
        return -1;
    }
    m_Selected = window;
    return 1;
}

void CIRWindowModel::ChangeMaxFileUnit(int unit) {
    IRWindow& w = Current();
    w.maxFileValue =
        CorrectMaxFileSize(ConvertUnitValue(w.maxFileValue, w.maxFileUnit, unit), unit);
    w.maxFileUnit = unit;
}

void CIRWindowModel::Decode(const link::InternalRecordingRecord& r) {
    IRWindowValues v;
    for (std::size_t k = 0; k < v.windows.size(); ++k) {
        const link::RecordingWindow& in = r.windows[k];
        IRWindow& w = v.windows[k];
        w.enabled = in.enabled != 0;
        w.mode = in.mode;
        w.start = IRDateTimeFromSeconds(in.startTime);
        w.duration = SpanFromSeconds(in.duration);
        w.interval = SpanFromSeconds(in.interval);
        w.repetitions = in.repetitions;
        w.maxFileValue = in.maxFileSeconds;
        w.maxFileUnit = kIRSeconds;
        w.channels = ChannelsFromWord(in.channelBits);
    }
    v.drive = r.windowDrive;
    Take(v);
}

void CIRWindowModel::Encode(link::InternalRecordingRecord& r) const {
    for (std::size_t k = 0; k < edit.windows.size(); ++k) {
        const IRWindow& w = edit.windows[k];
        link::RecordingWindow& out = r.windows[k];
        out.enabled = w.enabled ? 1 : 0;
        out.mode = static_cast<std::uint8_t>(w.mode);
        out.startTime = IRDateTimeToSeconds(w.start);
        out.duration = SpanSeconds(w.duration);
        out.interval = SpanSeconds(w.interval);
        out.repetitions = w.repetitions;
        const unsigned long long seconds =
            static_cast<unsigned long long>(w.maxFileValue) * IRUnitSeconds(w.maxFileUnit);
        out.maxFileSeconds = static_cast<std::uint32_t>(std::min(seconds, 0xFFFFFFFFULL));
        out.channelBits = ChannelsToWord(w.channels);
    }
    r.windowDrive = static_cast<std::uint8_t>(edit.drive);
}

} // namespace nereid::instrument
