#include "cli/ir_keys.h"

#include <cstdio>
#include <sstream>

#include "cli/ir_values.h"
#include "cli/setup_session.h"

namespace nereid::cli {

namespace {

using namespace instrument;

int Refuse(std::string& error, const std::string& text) {
    error = text;
    return -1;
}

// Integer in a key's own range, corrected like the page's edit; the correction is noted.
bool Corrected(const std::string& value, long long& raw, std::string& error) {
    if (!ParseInteger(value, raw)) {
        error = "'" + value + "' is not a whole number";
        return false;
    }
    return true;
}

void Note(std::string& note, long long from, long long to) {
    if (from != to) {
        note = std::to_string(from) + " corrected to " + std::to_string(to);
    }
}

int ApplyStartKeys(const std::string& field, const std::string& value, int modeCount, int& mode,
                   IRDateTime& start, int& delayValue, int& delayUnit, std::string& note,
                   std::string& error) {
    if (field == "mode") {
        if (!ParseMode(value, modeCount, mode)) {
            return Refuse(error, "mode is disabled, immediate, delayed, time" +
                                     std::string(modeCount > 4 ? " or window" : ""));
        }
        return 1;
    }
    if (field == "start") {
        return ParseDate(value, false, start, error) ? 1 : -1;
    }
    if (field == "delay") {
        long long number = 0;
        int unit = 0;
        if (!ParseValueUnit(value, number, unit)) {
            return Refuse(error, "delay is a whole number with an optional unit s, m or h");
        }
        delayUnit = unit;
        delayValue = CorrectDelay(number, unit);
        Note(note, number, delayValue);
        return 1;
    }
    return 0;
}

int ApplyWindowKey(CIRWindowModel& page, int window, const std::string& field,
                   const std::string& value, std::string& note, std::string& error) {
    IRWindow& w = page.edit.windows[static_cast<std::size_t>(window)];
    long long raw = 0;
    if (field == "enabled") {
        if (value != "0" && value != "1") {
            return Refuse(error, "enabled is 0 or 1");
        }
        w.enabled = value == "1";
    } else if (field == "mode") {
        if (value != "continuous" && value != "event") {
            return Refuse(error, "mode is continuous or event");
        }
        w.mode = value == "event" ? 1 : 0;
    } else if (field == "start") {
        return ParseDate(value, true, w.start, error) ? 1 : -1;
    } else if (field == "duration") {
        return ParseSpan(value, w.duration, error) ? 1 : -1;
    } else if (field == "interval") {
        return ParseSpan(value, w.interval, error) ? 1 : -1;
    } else if (field == "repetitions") {
        if (!Corrected(value, raw, error)) {
            return -1;
        }
        w.repetitions = CorrectRepetitions(raw);
        Note(note, raw, w.repetitions);
    } else if (field == "maxfile") {
        int unit = 0;
        if (!ParseValueUnit(value, raw, unit)) {
            return Refuse(error, "maxfile is a whole number with an optional unit s, m or h");
        }
        w.maxFileUnit = unit;
        w.maxFileValue = CorrectMaxFileSize(raw, unit);
        Note(note, raw, w.maxFileValue);
    } else if (field == "primary") {
        return ParseChannels(value, w.channels.primary, error) ? 1 : -1;
    } else if (field == "secondary") {
        return ParseChannels(value, w.channels.secondary, error) ? 1 : -1;
    } else {
        return 0;
    }
    return 1;
}

} // namespace

KeyValues RenderSetup(const CIRSetupModel& setup) {
    KeyValues v;
    v.emplace_back("station", setup.station.Name());
    const IRContinuousValues& c = setup.continuous.edit;
    v.emplace_back("continuous.mode", ModeText(c.startMode));
    v.emplace_back("continuous.drive", DriveText(c.drive));
    v.emplace_back("continuous.flush", c.flush ? "1" : "0");
    static const char* const kBuffer[] = {"ring", "stop", "fill"};
    v.emplace_back("continuous.buffer", c.bufferFullMode >= 0 && c.bufferFullMode < 3
                                            ? kBuffer[c.bufferFullMode]
                                            : std::to_string(c.bufferFullMode));
    std::string size = kFileSizeNames[setup.continuous.FileSizePosition()];
    if (kFileSizeSeconds[static_cast<std::size_t>(setup.continuous.FileSizePosition())] !=
        c.fileSizeSeconds) {
        size += " (" + std::to_string(c.fileSizeSeconds) + " s)";
    }
    v.emplace_back("continuous.filesize", size);
    v.emplace_back("continuous.maxspace", std::to_string(c.maxSpace));
    v.emplace_back("continuous.delay", UnitText(c.delayValue, c.delayUnit));
    v.emplace_back("continuous.start", DateText(c.start, false));
    v.emplace_back("continuous.primary", ChannelText(c.channels.primary));
    v.emplace_back("continuous.secondary", ChannelText(c.channels.secondary));

    const IREventValues& e = setup.event.edit;
    v.emplace_back("event.mode", ModeText(e.startMode));
    v.emplace_back("event.drive", DriveText(e.drive));
    v.emplace_back("event.pre", std::to_string(e.preEvent));
    v.emplace_back("event.post", std::to_string(e.postEvent));
    v.emplace_back("event.max", std::to_string(e.maxEvent));
    v.emplace_back("event.trigger-window", std::to_string(e.triggerWindow));
    v.emplace_back("event.votes", std::to_string(e.totalVotes));
    v.emplace_back("event.delay", UnitText(e.delayValue, e.delayUnit));
    v.emplace_back("event.start", DateText(e.start, false));
    for (std::size_t k = 0; k < e.votes.size(); ++k) {
        v.emplace_back("event.vote" + std::to_string(k + 1), std::to_string(e.votes[k]));
    }
    v.emplace_back("event.ext", std::to_string(e.externalVote));
    v.emplace_back("event.primary", ChannelText(e.channels.primary));
    v.emplace_back("event.secondary", ChannelText(e.channels.secondary));

    v.emplace_back("window.drive", DriveText(setup.window.edit.drive));
    for (std::size_t k = 0; k < setup.window.edit.windows.size(); ++k) {
        const IRWindow& w = setup.window.edit.windows[k];
        const std::string p = "window." + std::to_string(k + 1) + ".";
        v.emplace_back(p + "enabled", w.enabled ? "1" : "0");
        v.emplace_back(p + "mode", w.mode == 1 ? "event" : "continuous");
        v.emplace_back(p + "start", DateText(w.start, true));
        v.emplace_back(p + "duration", SpanText(w.duration));
        v.emplace_back(p + "interval", SpanText(w.interval));
        v.emplace_back(p + "repetitions", std::to_string(w.repetitions));
        v.emplace_back(p + "maxfile", UnitText(w.maxFileValue, w.maxFileUnit));
        v.emplace_back(p + "primary", ChannelText(w.channels.primary));
        v.emplace_back(p + "secondary", ChannelText(w.channels.secondary));
    }

    const IRSohValues& s = setup.soh.edit;
    v.emplace_back("soh.drive", DriveText(s.drive));
    for (std::size_t k = 0; k < kSohRows; ++k) {
        const std::string p = "soh." + std::to_string(k + 1) + ".";
        v.emplace_back(p + "enabled", s.enabled[k] ? "1" : "0");
        v.emplace_back(p + "interval", std::to_string(s.intervals[k]));
    }
    v.emplace_back("status.drive", DriveText(setup.status.edit.drive));
    return v;
}

std::string SetupJson(const KeyValues& values) {
    std::string out = "{";
    for (std::size_t k = 0; k < values.size(); ++k) {
        out += k == 0 ? "\n  " : ",\n  ";
        for (const std::string* text : {&values[k].first, &values[k].second}) {
            out += '"';
            for (char ch : *text) {
                if (ch == '"' || ch == '\\') {
                    out += '\\';
                    out += ch;
                } else if (static_cast<unsigned char>(ch) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", ch);
                    out += escaped;
                } else {
                    out += ch;
                }
            }
            out += '"';
            if (text == &values[k].first) {
                out += ": ";
            }
        }
    }
    return out + "\n}\n";
}

int ApplySetupKey(CIRSetupModel& setup, const CDriveNames& drives, const std::string& key,
                  const std::string& value, std::string& note, std::string& error) {
    const std::size_t dot = key.find('.');
    const std::string page = key.substr(0, dot);
    const std::string field = dot == std::string::npos ? "" : key.substr(dot + 1);
    long long raw = 0;
    if (key == "station") {
        if (!CIRStationModel::ValidText(value)) {
            return Refuse(error, "a station name is up to 4 printable characters");
        }
        setup.station.SetEditorText(value);
        return 1;
    }
    if (field == "drive" && (page == "continuous" || page == "event" || page == "window" ||
                             page == "soh" || page == "status")) {
        int index = 0;
        if (!ParseDrive(drives, value, index, error)) {
            return -1;
        }
        (page == "continuous" ? setup.continuous.edit.drive
         : page == "event"    ? setup.event.edit.drive
         : page == "window"   ? setup.window.edit.drive
         : page == "soh"      ? setup.soh.edit.drive
                              : setup.status.edit.drive) = index;
        return 1;
    }
    if (page == "continuous") {
        IRContinuousValues& c = setup.continuous.edit;
        const int r = ApplyStartKeys(field, value, kContinuousStartModes, c.startMode, c.start,
                                     c.delayValue, c.delayUnit, note, error);
        if (r != 0) {
            return r;
        }
        if (field == "flush") {
            if (value != "0" && value != "1") {
                return Refuse(error, "flush is 0 or 1");
            }
            c.flush = value == "1";
        } else if (field == "buffer") {
            static const char* const kBuffer[] = {"ring", "stop", "fill"};
            int mode = -1;
            for (int m = 0; m < 3; ++m) {
                mode = value == kBuffer[m] ? m : mode;
            }
            if (mode < 0) {
                return Refuse(error, "buffer is ring, stop or fill");
            }
            c.bufferFullMode = mode;
        } else if (field == "filesize") {
            int position = -1;
            for (int p = 0; p < 5; ++p) {
                position = value == kFileSizeNames[p] ? p : position;
            }
            if (position < 0) {
                return Refuse(error, "filesize is 5, 10, 15, 30 or 60 (minutes)");
            }
            setup.continuous.SetFileSizePosition(position);
        } else if (field == "maxspace") {
            if (!Corrected(value, raw, error)) {
                return -1;
            }
            c.maxSpace = CorrectMaxSpace(raw);
            Note(note, raw, c.maxSpace);
        } else if (field == "primary" || field == "secondary") {
            return ParseChannels(
                       value, field == "primary" ? c.channels.primary : c.channels.secondary, error)
                       ? 1
                       : -1;
        } else {
            return Refuse(error, "unknown key");
        }
        return 1;
    }
    if (page == "event") {
        IREventValues& e = setup.event.edit;
        const int r = ApplyStartKeys(field, value, kEventStartModes, e.startMode, e.start,
                                     e.delayValue, e.delayUnit, note, error);
        if (r != 0) {
            return r;
        }
        if (field == "primary" || field == "secondary") {
            return ParseChannels(
                       value, field == "primary" ? e.channels.primary : e.channels.secondary, error)
                       ? 1
                       : -1;
        }
        int* target = nullptr;
        int corrected = 0;
        if (!Corrected(value, raw, error)) {
            return field == "pre" || field == "post" || field == "max" ||
                           field == "trigger-window" || field == "votes" || field == "ext" ||
                           field.rfind("vote", 0) == 0
                       ? -1
                       : Refuse(error, "unknown key");
        }
        if (field == "pre") {
            target = &e.preEvent;
            corrected = CorrectPreEvent(raw);
        } else if (field == "post") {
            target = &e.postEvent;
            corrected = CorrectPostEvent(raw);
        } else if (field == "trigger-window") {
            target = &e.triggerWindow;
            corrected = CorrectPostEvent(raw);
        } else if (field == "votes") {
            target = &e.totalVotes;
            corrected = CorrectTotalVotes(raw);
        } else if (field == "ext") {
            target = &e.externalVote;
            corrected = CorrectVote(raw);
        } else if (field.size() == 5 && field.rfind("vote", 0) == 0 && field[4] >= '1' &&
                   field[4] <= '6') {
            target = &e.votes[static_cast<std::size_t>(field[4] - '1')];
            corrected = CorrectVote(raw);
        } else if (field == "max") {
            e.maxEvent = CorrectMaxEvent(raw);
            Note(note, raw, e.maxEvent);
            return 1;
        } else {
            return Refuse(error, "unknown key");
        }
        *target = corrected;
        Note(note, raw, corrected);
        return 1;
    }
    if (page == "window") {
        const std::size_t second = field.find('.');
        long long window = 0;
        if (second == std::string::npos || !ParseInteger(field.substr(0, second), window) ||
            window < 1 || window > kRecordingWindows) {
            return Refuse(error, "window keys are window.N.FIELD with N 1..16, or window.drive");
        }
        const int r = ApplyWindowKey(setup.window, static_cast<int>(window - 1),
                                     field.substr(second + 1), value, note, error);
        return r == 0 ? Refuse(error, "unknown key") : r;
    }
    if (page == "soh") {
        const std::size_t second = field.find('.');
        long long row = 0;
        if (second == std::string::npos || !ParseInteger(field.substr(0, second), row) || row < 1 ||
            row > kSohRows) {
            return Refuse(
                error,
                "state-of-health keys are soh.N.enabled, soh.N.interval (N 1..10) or soh.drive");
        }
        const std::string what = field.substr(second + 1);
        const auto at = static_cast<std::size_t>(row - 1);
        if (what == "enabled" && (value == "0" || value == "1")) {
            setup.soh.edit.enabled[at] = value == "1";
            return 1;
        }
        if (what == "interval") {
            if (!Corrected(value, raw, error)) {
                return -1;
            }
            if (raw > 99) {
                return Refuse(error, "a sample interval is 1..99 s");
            }
            setup.soh.edit.intervals[at] = CorrectSohInterval(raw);
            Note(note, raw, setup.soh.edit.intervals[at]);
            return 1;
        }
        return Refuse(error, what == "enabled" ? "enabled is 0 or 1" : "unknown key");
    }
    return Refuse(error, "unknown key");
}

} // namespace nereid::cli
