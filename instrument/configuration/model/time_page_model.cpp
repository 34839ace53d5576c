#include "instrument/configuration/model/time_page_model.h"

#include "recording/calendar.h"

namespace nereid::instrument {

std::string RangeMessage(const FieldRange& range) {
    return "Please enter an integer between " + std::to_string(range.low) + " and " +
           std::to_string(range.high) + ".";
}

void CTimePageModel::ShowAnswer(const link::ConfigurationRecord& record) {
    m_Settings.syncMode = record.syncMode;
    m_Settings.gpsCycleTime = record.gpsCycleTime;
    m_Settings.minimumCorrection = record.minimumCorrection;
    m_Settings.jamSetThreshold = record.jamSetThreshold;
    m_Settings.driftCompensation = record.driftCompensation;
    m_Received = m_Settings;
}

int CTimePageModel::Fill(link::ConfigurationRecord& record) const {
    record.syncMode = m_Settings.syncMode;
    record.gpsCycleTime = m_Settings.gpsCycleTime;
    record.minimumCorrection = m_Settings.minimumCorrection;
    record.jamSetThreshold = m_Settings.jamSetThreshold;
    record.driftCompensation = m_Settings.driftCompensation;
    return 1;
}

int CTimePageModel::Clamp(std::int64_t value, const FieldRange& range) {
    if (value < range.low) {
        return static_cast<int>(range.low);
    }
    if (value > range.high) {
        return static_cast<int>(range.high);
    }
    return static_cast<int>(value);
}

int CTimePageModel::ClampFields(ClockFields& f) {
    int changed = 0;
    for (auto [field, range] : {std::pair<int*, FieldRange>{&f.month, kMonthRange},
                                {&f.day, kDayRange},
                                {&f.year, kYearRange},
                                {&f.hour, kHourRange},
                                {&f.minute, kMinuteRange},
                                {&f.second, kSecondRange}}) {
        const int kept = Clamp(*field, range);
        changed += kept != *field ? 1 : 0;
        *field = kept;
    }
    return changed;
}

link::ClockSetCommand CTimePageModel::ClockSet(const ClockFields& fields) {
    ClockFields f = fields;
    ClampFields(f);
    link::ClockSetCommand command;
    command.seconds =
        recording::CalendarToSeconds(f.second, f.minute, f.hour, f.day, f.month, f.year - 1900);
    command.jamSet = 0;
    return command;
}

} // namespace nereid::instrument
