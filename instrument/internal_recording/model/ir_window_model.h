#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "instrument/internal_recording/model/ir_fields.h"
#include "instrument/internal_recording/model/ir_page_copies.h"
#include "link/command_records.h"

namespace nereid::instrument {

inline constexpr const char* kWindowDurationMessage =
    "The duration must be less than the interval!!!";
constexpr int kRecordingWindows = 16;
inline constexpr const char* kWindowModeNames[] = {"Continuous", "Event"};

// Hours, minutes and seconds of a window's duration or interval (hours 0..999).
struct IRSpan {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    bool operator==(const IRSpan&) const = default;
};
std::uint32_t SpanSeconds(const IRSpan& span);
IRSpan SpanFromSeconds(std::uint32_t seconds);

struct IRWindow {
    bool enabled = false;
    int mode = 0; // "Continuous", "Event"
    IRDateTime start;
    IRSpan duration;
    IRSpan interval;
    std::uint32_t repetitions = 1;
    std::uint32_t maxFileValue = 0; // in maxFileUnit
    int maxFileUnit = kIRSeconds;
    IRChannels channels;
    bool operator==(const IRWindow&) const = default;
};

struct IRWindowValues {
    std::array<IRWindow, kRecordingWindows> windows{};
    int drive = 0;
    bool operator==(const IRWindowValues&) const = default;
};

// The "Window" page: one window shown and edited at a time.
class CIRWindowModel : public CIRPageCopies<IRWindowValues> {
public:
    int Selected() const { return m_Selected; }
    IRWindow& Current() { return edit.windows[static_cast<std::size_t>(m_Selected)]; }
    const IRWindow& Current() const { return edit.windows[static_cast<std::size_t>(m_Selected)]; }

    // Checks the shown window: its duration must be below its interval. When it is not, the
    // interval becomes the duration plus one second, `message` is set, and -1 is returned;
    // the switch, page change or Send that asked is refused. Returns 1 when the window is good.
    // A window as the recorder holds it is not the operator's entry and passes unchecked: an
    // unused window may well be all zero (duration 0, interval 0).
    int ValidateCurrent(std::string& message);
    // The same check of window 0..15 without correcting anything: 1 when it passes (or is
    // unchanged from the recorder's), -1 with `message` when its duration is not below its
    // interval.
    int CheckWindow(int window, std::string& message) const;
    // True when window 0..15 differs from what the recorder last reported.
    bool WindowChanged(int window) const;
    // Shows window 0..15 after validating the current one; on -1 the current one stays.
    int Select(int window, std::string& message);

    void ChangeMaxFileUnit(int unit);

    void Decode(const link::InternalRecordingRecord& record);
    void Encode(link::InternalRecordingRecord& record) const;

private:
    int m_Selected = 0;
};

} // namespace nereid::instrument
