#include "recording/recorder_file_names.h"

#include <cstdio>

#include "recording/calendar.h"

namespace nereid::recording {

char RecorderChannelCharacter(int channel) {
    if (channel >= 1 && channel <= 8) {
        return static_cast<char>('0' + channel);
    }
    if (channel >= 9 && channel <= 16) {
        return static_cast<char>('A' + (channel - 9));
    }
    return '0';
}

std::string RecorderUnitDigits(std::uint16_t unit) {
    char text[8];
    std::snprintf(text, sizeof text, "%03u", static_cast<unsigned>(unit % 1000));
    return text;
}

std::string RecorderFileName(const char* prefix, int channel, std::uint16_t unit,
                             std::uint32_t periodStart) {
    const CalendarTime t = SecondsToCalendar(periodStart);
    char tail[24];
    std::snprintf(tail, sizeof tail, "_%02d%02d%02d.%03d", t.hour, t.minute, t.second, t.dayOfYear);
    std::string name(prefix);
    name += RecorderChannelCharacter(channel);
    name += RecorderUnitDigits(unit);
    name += tail;
    return name;
}

std::string JoinRecorderPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

} // namespace nereid::recording
