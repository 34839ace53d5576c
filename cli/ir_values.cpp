#include "cli/ir_values.h"

#include <cstdio>
#include <sstream>

#include "cli/setup_session.h"

namespace nereid::cli {

using namespace instrument;

std::string DriveText(int index) {
    return index >= 0 && index < kDriveCount ? std::string(1, static_cast<char>('A' + index))
                                             : std::to_string(index);
}

std::string ModeText(int mode) {
    static const char* const kKeys[] = {"disabled", "immediate", "delayed", "time", "window"};
    return mode >= 0 && mode < 5 ? kKeys[mode] : std::to_string(mode);
}

std::string DateText(const IRDateTime& t, bool withSeconds) {
    char text[40];
    if (withSeconds) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
    } else {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", t.year, t.month, t.day, t.hour,
                      t.minute);
    }
    return text;
}

std::string SpanText(const IRSpan& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", s.hours, s.minutes, s.seconds);
    return text;
}

std::string UnitText(long long value, int unit) {
    static const char kUnits[] = {'s', 'm', 'h'};
    return std::to_string(value) + (unit >= 0 && unit < 3 ? std::string(1, kUnits[unit]) : "");
}

std::string ChannelText(const std::array<bool, 6>& on) {
    std::string text;
    for (std::size_t k = 0; k < on.size(); ++k) {
        if (on[k]) {
            text += (text.empty() ? "" : ",") + std::to_string(k + 1);
        }
    }
    return text.empty() ? "none" : text;
}

bool ParseMode(const std::string& value, int count, int& mode) {
    for (int m = 0; m < count; ++m) {
        if (value == ModeText(m)) {
            mode = m;
            return true;
        }
    }
    return false;
}

bool ParseDrive(const CDriveNames& drives, const std::string& value, int& index,
                std::string& error) {
    // A drive the recorder reports; drive A only when it reports no other.
    const auto listed = drives.Offered(-1);
    for (const std::string& name : listed) {
        if (value.size() == 1 && name[0] == value[0]) {
            index = CDriveNames::IndexOfOffered(name);
            return true;
        }
    }
    std::string offered;
    for (const std::string& name : listed) {
        offered += (offered.empty() ? "" : ", ") + name;
    }
    error = "drive '" + value +
            "' is not installed (installed: " + (offered.empty() ? std::string("none") : offered) +
            ")";
    return false;
}

bool ParseChannels(const std::string& value, std::array<bool, 6>& on, std::string& error) {
    std::array<bool, 6> result{};
    if (value != "none" && !value.empty()) {
        std::stringstream items(value);
        std::string item;
        while (std::getline(items, item, ',')) {
            long long c = 0;
            if (!ParseInteger(item, c) || c < 1 || c > 6) {
                error = "channels are 1..6, comma separated, or none";
                return false;
            }
            result[static_cast<std::size_t>(c - 1)] = true;
        }
    }
    on = result;
    return true;
}

bool ParseValueUnit(const std::string& value, long long& number, int& unit) {
    unit = kIRSeconds;
    std::string digits = value;
    if (!value.empty() && (value.back() == 's' || value.back() == 'm' || value.back() == 'h')) {
        unit = value.back() == 's' ? kIRSeconds : value.back() == 'm' ? kIRMinutes : kIRHours;
        digits.pop_back();
    }
    return ParseInteger(digits, number) && number >= 0;
}

bool ParseDate(const std::string& value, bool withSeconds, IRDateTime& t, std::string& error) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    const int n = std::sscanf(value.c_str(), "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &sep, &h, &mi, &s);
    if (n < 6 || (sep != 'T' && sep != ' ') || (withSeconds && n != 7) ||
        (!withSeconds && n != 6)) {
        error = withSeconds ? "a start time is YYYY-MM-DDTHH:MM:SS"
                            : "a start time is YYYY-MM-DDTHH:MM";
        return false;
    }
    const IRDateTime corrected{CorrectMonth(mo), CorrectDay(d),     CorrectYear(y),
                               CorrectHour(h),   CorrectMinute(mi), CorrectMinute(s)};
    // Out-of-range fields are refused here rather than corrected: a wrong date is easy to
    // type and hard to notice once the recorder runs by it.
    if (corrected != IRDateTime{mo, d, y, h, mi, s} || CorrectDayForMonth(corrected) != corrected) {
        error = "'" + value + "' is not a valid date and time from 1970 to 2069";
        return false;
    }
    t = corrected;
    return true;
}

bool ParseSpan(const std::string& value, IRSpan& span, std::string& error) {
    int h = 0, m = 0, s = 0;
    char tail = 0;
    if (std::sscanf(value.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail) != 3 || h < 0 || h > 999 ||
        m < 0 || m > 59 || s < 0 || s > 59) {
        error = "a duration or interval is HHH:MM:SS, hours 0..999";
        return false;
    }
    span = {h, m, s};
    return true;
}

} // namespace nereid::cli
