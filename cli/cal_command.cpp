#include "cli/cal_command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/setup_session.h"
#include "instrument/calibration/model/cal_page_model.h"
#include "instrument/calibration/model/cal_signal.h"

namespace nereid::cli {

namespace {

using instrument::CCalPageModel;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "immediate" or a scheduled index 0..31.
bool ParseRun(const std::string& text, bool& scheduled, int& index) {
    if (text == "immediate") {
        scheduled = false;
        index = 0;
        return true;
    }
    long long n = 0;
    if (!ParseInteger(text, n) || n < 0 || n >= instrument::kScheduledRuns) {
        return false;
    }
    scheduled = true;
    index = static_cast<int>(n);
    return true;
}

// Short names of the signal list, in list order before the model's list is applied.
int SignalPosition(const std::string& text, int model) {
    static const char* const kShort[] = {"sine", "noise",   "pulse",  "random-pulse",
                                         "prbs", "shorted", "digital"};
    const std::vector<std::string> names = instrument::CalSignalNames(model);
    const std::string wanted = Lower(text);
    for (std::size_t p = 0; p < names.size(); ++p) {
        if (Lower(names[p]) == wanted) {
            return static_cast<int>(p);
        }
    }
    for (int k = 0; k < 7; ++k) {
        if (wanted != kShort[k]) {
            continue;
        }
        const int code = k < 5 ? k : k + 3; // 8 shorted, 9 digital
        for (std::size_t p = 0; p < names.size(); ++p) {
            if (instrument::EncodeCalSignal(static_cast<int>(p), model, false) == code) {
                return static_cast<int>(p);
            }
        }
    }
    return -1;
}

// "20", "20s", "20m", "1.5h", "2d", "1w", "1y": value and unit.
bool ParseWithUnit(const std::string& text, int unitCount, double& value, int& unit) {
    static const char kUnits[] = {'s', 'm', 'h', 'd', 'w', 'y'};
    unit = instrument::kUnitSecond;
    std::string number = text;
    if (!text.empty() && std::isalpha(static_cast<unsigned char>(text.back()))) {
        const char* at = std::find(kUnits, kUnits + unitCount, text.back());
        if (at == kUnits + unitCount) {
            return false;
        }
        unit = static_cast<int>(at - kUnits);
        number.pop_back();
    }
    return ParseNumber(number, value);
}

// "MM/DD/YY HH:MM:SS" (the page's own fields, the year as two digits) or
// "YYYY-MM-DD[THH:MM[:SS]]" with a year 1970..2069. Field validity is the model's to judge.
bool ParseStart(const std::string& text, instrument::CalStartTime& t) {
    int a = 0, b = 0, c = 0, h = 0, m = 0, s = 0;
    char sep = 0;
    int n = std::sscanf(text.c_str(), "%d/%d/%d%c%d:%d:%d", &a, &b, &c, &sep, &h, &m, &s);
    if (text.find('/') != std::string::npos) {
        if (n != 3 && n != 7) {
            return false;
        }
        t = {b, a, c, n == 7 ? h : 0, n == 7 ? m : 0, n == 7 ? s : 0};
        return c >= 0 && c <= 99;
    }
    n = std::sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%d", &a, &b, &c, &sep, &h, &m, &s);
    if (n != 3 && n < 6) {
        return false;
    }
    if (a < 1970 || a > 2069) {
        return false;
    }
    t = {c, b, a % 100, n >= 6 ? h : 0, n >= 6 ? m : 0, n == 7 ? s : 0};
    return true;
}

int ApplyKey(CCalPageModel& page, const std::string& key, const std::string& value,
             std::string& error) {
    const bool scheduled = page.Scheduled();
    double number = 0;
    long long integer = 0;
    int unit = 0;
    if (key == "signal") {
        const int p = SignalPosition(value, page.ModelCode());
        if (p < 0) {
            error = "no signal '" + value + "' on this model";
            return -1;
        }
        page.signalPosition = p;
    } else if (key == "amplitude") {
        if (!ParseNumber(value, number) || number < -20 || number > 20) {
            error = "amplitude takes volts, -20 to 20";
            return -1;
        }
        page.amplitude = number;
    } else if (key == "frequency" || key == "width") {
        if (!ParseNumber(value, number) || number < 0) {
            error = key + " takes a number not below 0";
            return -1;
        }
        page.frequency = number;
    } else if (key == "duration") {
        if (!ParseWithUnit(value, instrument::kDurationUnitCount, number, unit)) {
            error = "duration takes a number with an optional unit s, m or h";
            return -1;
        }
        page.durationUnit = unit;
        const instrument::DurationEntry e = page.EnterDuration(number);
        for (const auto& m : e.messages) {
            std::cerr << "nereid cal: " << m.text << "\n";
        }
        if (page.durationSeconds == 0) {
            error = "the duration must be at least one second";
            return -1;
        }
    } else if (key == "channels") {
        for (int r = 0; r < instrument::kCalChannelRows; ++r) {
            if (page.Rows()[static_cast<std::size_t>(r)].visible) {
                page.SetRowEnabled(r, false);
            }
        }
        if (value == "none") {
            return 1;
        }
        std::stringstream items(value);
        std::string item;
        while (std::getline(items, item, ',')) {
            const std::size_t colon = item.find(':');
            const std::string mode =
                colon == std::string::npos ? "sensor" : Lower(item.substr(colon + 1));
            const int modeIndex = mode == "sensor"     ? 0
                                  : mode == "loopback" ? 1
                                  : mode == "short"    ? 2
                                                       : -1;
            long long channel = 0;
            int row = -1;
            if (ParseInteger(item.substr(0, colon), channel)) {
                for (int r = 0; r < instrument::kCalChannelRows; ++r) {
                    const auto& candidate = page.Rows()[static_cast<std::size_t>(r)];
                    if (candidate.visible && candidate.channel == channel && channel <= 8) {
                        row = r;
                    }
                }
            }
            if (row < 0 || modeIndex < 0) {
                error = "channels takes CH[:sensor|loopback|short],... of the recorder's channels, "
                        "not '" +
                        item + "'";
                return -1;
            }
            page.SetRowEnabled(row, true);
            page.SetRowMode(row, modeIndex);
        }
    } else if (key == "damping" || key == "control") {
        if (!page.ShowsDampingGroups()) {
            error = key + " exists on model 3 only";
            return -1;
        }
        if (key == "control") {
            if (value != "normal" && value != "digital") {
                error = "control takes normal or digital";
                return -1;
            }
            page.SetDigitalMode(value == "digital");
            return 1;
        }
        page.dampingDisable.fill(false);
        std::stringstream items(value);
        std::string item;
        while (value != "none" && std::getline(items, item, ',')) {
            if (!ParseInteger(item, integer) || integer < 1 ||
                integer > instrument::kDampingChannels) {
                error = "damping takes channels 1..6, or none";
                return -1;
            }
            page.dampingDisable[static_cast<std::size_t>(integer - 1)] = true;
        }
    } else if (scheduled && key == "start") {
        if (!ParseStart(value, page.start) || !instrument::ValidStartTime(page.start)) {
            error = std::string(instrument::kInvalidDataText) + ": '" + value + "'";
            return -1;
        }
    } else if (scheduled && key == "interval") {
        if (!ParseWithUnit(value, instrument::kIntervalUnitCount, number, unit) || number < 0) {
            error = "interval takes a number with an optional unit s, m, h, d, w or y";
            return -1;
        }
        page.intervalUnit = unit;
        page.EnterInterval(number);
    } else if (scheduled && key == "repetitions") {
        if (!ParseInteger(value, integer) || integer < 0 || integer > 65535) {
            error = "repetitions takes 0..65535";
            return -1;
        }
        page.EnterRepetitions(integer);
    } else {
        error = "unknown key '" + key + "'";
        return -1;
    }
    return 1;
}

void PrintSettings(const CCalPageModel& page, bool extended, std::size_t answerLength) {
    char text[64];
    std::cout << "Run:          "
              << (page.Scheduled() ? "scheduled " + std::to_string(page.index) : "immediate")
              << "\n";
    std::cout << "State:        "
              << (page.RunSwitch() == instrument::kCalRunOn ? "active" : "inactive") << "\n";
    const auto names = page.SignalNames();
    const int p = page.signalPosition;
    std::cout << "Signal:       "
              << (p >= 0 && p < static_cast<int>(names.size()) ? names[static_cast<std::size_t>(p)]
                                                               : std::string("(unknown)"))
              << "\n";
    std::snprintf(text, sizeof text, "%.4f V", page.amplitude);
    std::cout << "Amplitude:    " << text << "\n";
    std::snprintf(text, sizeof text, "%.3f", page.frequency);
    std::cout << "Frequency:    " << text << "\n";
    std::cout << "Duration:     " << page.durationSeconds << " s\n";
    std::cout << "Channels:    ";
    bool any = false;
    static const char* const kModes[] = {"sensor", "loopback", "short"};
    for (const auto& row : page.Rows()) {
        if (row.visible && row.enabled && row.mode >= 0) {
            std::cout << (any ? "," : " ") << row.channel << ":" << kModes[row.mode];
            any = true;
        }
    }
    std::cout << (any ? "" : " none") << "\n";
    if (page.Scheduled()) {
        const auto& s = page.start;
        std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", s.month, s.day, s.year,
                      s.hour, s.minute, s.second);
        std::cout << "Start time:   " << text << "\n";
        std::cout << "Interval:     " << page.intervalSeconds << " s\n";
        std::cout << "Repetitions:  " << page.repetitions << "\n";
    }
    if (page.ShowsDampingGroups()) {
        std::cout << "Damping off: ";
        any = false;
        for (int c = 0; c < instrument::kDampingChannels; ++c) {
            if (page.dampingDisable[static_cast<std::size_t>(c)]) {
                std::cout << (any ? "," : " ") << c + 1;
                any = true;
            }
        }
        std::cout << (any ? "" : " none") << "\n";
        std::cout << "Control:      " << (page.digitalMode ? "Digital Mode" : "Normal Mode")
                  << "\n";
    }
    std::cout << "Form:         " << (extended ? "extended" : "short") << " (" << answerLength
              << "-byte answer)\n";
}

// Reads the run's settings into the page. Returns the TransactionResult.
int ReadRun(CSetupSession& session, CCalPageModel& page) {
    const instrument::CalCommand query = page.QueryCommand();
    const int result = session.Transact(query.code, query.record, link::kSheetPolls);
    if (result == link::kTransactionAccepted) {
        page.Decode(session.Answer(), session.Link().LongCalibrationAnswer());
    }
    return result;
}

void Usage() {
    std::cerr << "usage: nereid cal show [immediate|N]\n"
                 "       nereid cal start immediate|N KEY=VALUE...\n"
                 "       nereid cal stop immediate|N\n"
                 "  N is a scheduled run 0..31. Keys: signal, amplitude, frequency, duration,\n"
                 "  channels, damping, control; scheduled runs also start, interval, repetitions\n";
}

} // namespace

int RunCalCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty() || (args[0] != "show" && args[0] != "start" && args[0] != "stop")) {
        Usage();
        return kExitUsage;
    }
    const std::string& verb = args[0];
    bool scheduled = false;
    int index = 0;
    const std::string run = args.size() > 1 ? args[1] : (verb == "show" ? "immediate" : "");
    if (!ParseRun(run, scheduled, index)) {
        std::cerr << "nereid cal " << verb << ": the run is 'immediate' or 0..31, not '" << run
                  << "'\n";
        return kExitUsage;
    }
    if (verb != "start" && args.size() > 2) {
        std::cerr << "nereid cal " << verb << ": unexpected argument '" << args[2] << "'\n";
        return kExitUsage;
    }
    std::vector<std::pair<std::string, std::string>> keys;
    for (std::size_t k = 2; k < args.size(); ++k) {
        std::string key, value;
        if (!SplitAssignment(args[k], key, value)) {
            std::cerr << "nereid cal start: expected KEY=VALUE, not '" << args[k] << "'\n";
            return kExitUsage;
        }
        keys.emplace_back(key, value);
    }

    CSetupSession session;
    const int connected = session.Connect(options);
    if (connected != kExitOk) {
        return connected;
    }
    CCalPageModel page(scheduled);
    page.SetModelCode(session.ModelCode());
    page.SetChannels(session.Streams(), session.StreamCount());
    page.index = index;
    // Every form of the command reads the run first: the answer's length tells which form of
    // 0x8C the recorder takes, and unnamed keys keep the recorder's values.
    int result = ReadRun(session, page);
    if (verb == "show" || result != link::kTransactionAccepted) {
        if (result != link::kTransactionAccepted) {
            std::cerr << "nereid cal: reading the run: " << session.ResultText() << "\n";
        } else {
            PrintSettings(page, session.Link().LongCalibrationAnswer(),
                          session.Answer().payload.size());
        }
        return ExitCodeOf(result);
    }

    instrument::CalCommand command;
    if (verb == "start") {
        for (const auto& [key, value] : keys) {
            std::string error;
            if (ApplyKey(page, key, value, error) != 1) {
                std::cerr << "nereid cal start: " << key << ": " << error << "; nothing sent\n";
                return kExitUsage;
            }
        }
        if (page.durationSeconds == 0) {
            std::cerr << "nereid cal start: " << instrument::kDurationAtLeastOneText
                      << " (give duration=...); nothing sent\n";
            return kExitUsage;
        }
        page.SetRunSwitch(instrument::kCalRunOn);
    } else {
        page.SetRunSwitch(instrument::kCalRunOff);
    }
    std::vector<instrument::CalMessage> messages;
    if (page.BuildSend(command, messages) != 1) {
        for (const auto& m : messages) {
            std::cerr << "nereid cal " << verb << ": " << m.text << "; nothing sent\n";
        }
        return kExitUsage;
    }
    result = session.Transact(command.code, command.record, link::kSheetPolls);
    std::cout << (verb == "start" ? "Start" : "Stop") << ": " << session.ResultText() << "\n";
    if (result != link::kTransactionAccepted) {
        return ExitCodeOf(result);
    }
    result = ReadRun(session, page);
    if (result != link::kTransactionAccepted) {
        std::cerr << "nereid cal: reading back: " << session.ResultText() << "\n";
        return ExitCodeOf(result);
    }
    PrintSettings(page, session.Link().LongCalibrationAnswer(), session.Answer().payload.size());
    return kExitOk;
}

} // namespace nereid::cli
