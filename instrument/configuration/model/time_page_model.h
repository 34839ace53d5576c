#pragma once

#include <cstdint>
#include <string>

#include "link/command_records.h"

namespace nereid::instrument {

// The clock settings of the configuration record.
struct TimeSettings {
    std::uint8_t syncMode = 0;           // 0 "None", 1 "Ext. 1pps", 2 "GPS"
    std::uint32_t gpsCycleTime = 0;      // s, 0..4294967295
    std::uint32_t minimumCorrection = 0; // us, shown greyed, kept as received
    std::uint16_t jamSetThreshold = 0;   // ms, 0..999
    std::uint32_t driftCompensation = 0; // us/day, shown greyed, kept as received

    bool operator==(const TimeSettings&) const = default;
};

// The "Time Set" fields: a date and time the operator enters, taken as UTC.
struct ClockFields {
    int month = 1;
    int day = 1;
    int year = 1970;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Bounds of one number field and the framework's refusal text for it.
struct FieldRange {
    std::int64_t low = 0;
    std::int64_t high = 0;
};
// "Please enter an integer between LOW and HIGH."
std::string RangeMessage(const FieldRange& range);

// The "        Time       " page: clock discipline fields of the configuration record and the
// separate clock-set command 0x8B.
class CTimePageModel {
public:
    static constexpr const char* kSyncNames[3] = {"None", "Ext. 1pps", "GPS"};
    static constexpr FieldRange kGpsCycleRange{0, 4294967295LL};
    static constexpr FieldRange kJamThresholdRange{0, 999};
    static constexpr FieldRange kMonthRange{1, 12};
    static constexpr FieldRange kDayRange{1, 31};
    static constexpr FieldRange kYearRange{1970, 2069};
    static constexpr FieldRange kHourRange{0, 23};
    static constexpr FieldRange kMinuteRange{0, 59};
    static constexpr FieldRange kSecondRange{0, 59};

    void ShowAnswer(const link::ConfigurationRecord& record);
    TimeSettings& Settings() { return m_Settings; }
    const TimeSettings& Settings() const { return m_Settings; }
    bool Modified() const { return m_Settings != m_Received; }
    void ClearModified() { m_Received = m_Settings; }

    // Writes the five clock fields, the greyed ones as received. Returns 1.
    int Fill(link::ConfigurationRecord& record) const;

    // A value below its range becomes the lower bound, one above the upper bound (what the
    // "Time Set" fields do on losing the focus). Returns the value kept.
    static int Clamp(std::int64_t value, const FieldRange& range);
    // Clamps every field in place; returns how many changed.
    static int ClampFields(ClockFields& fields);
    // The clock-set command for the (clamped) fields: seconds since 1970 UTC, with no zone
    // correction; a day past the month's end rolls into the next month. Jam-set flag 0.
    static link::ClockSetCommand ClockSet(const ClockFields& fields);

private:
    TimeSettings m_Settings;
    TimeSettings m_Received;
};

} // namespace nereid::instrument
