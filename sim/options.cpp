#include "sim/options.h"

#include "sim/recorder_calendar.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace nereid::sim {

namespace {

bool ParseDouble(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0';
}

bool ParseInteger(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0' && value >= low && value <= high;
}

bool ParseProbability(const std::string& text, double& value) {
    return ParseDouble(text, value) && value >= 0.0 && value <= 1.0;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ','))
        parts.push_back(part);
    return parts;
}

bool ParseSkips(const std::string& text, std::vector<SkipRange>& skips) {
    for (std::string part : SplitList(text)) {
        SkipRange range;
        if (!part.empty() && part[0] == '+') {
            range.relative = true;
            part.erase(0, 1);
        }
        const auto dash = part.find('-');
        long long first = 0;
        long long last = 0;
        if (dash == std::string::npos) {
            if (!ParseInteger(part, 0, 0xFFFFFFFFLL, first))
                return false;
            last = first;
        } else if (!ParseInteger(part.substr(0, dash), 0, 0xFFFFFFFFLL, first) ||
                   !ParseInteger(part.substr(dash + 1), 0, 0xFFFFFFFFLL, last) || last < first) {
            return false;
        }
        range.first = static_cast<std::uint32_t>(first);
        range.last = static_cast<std::uint32_t>(last);
        skips.push_back(range);
    }
    return !skips.empty();
}

bool ParseDoubleList(const std::string& text, std::vector<double>& values, bool positive) {
    values.clear();
    for (const std::string& part : SplitList(text)) {
        double v = 0;
        if (!ParseDouble(part, v) || v < 0 || (positive && v <= 0))
            return false;
        values.push_back(v);
    }
    return !values.empty();
}

bool TakesValue(const std::string& name) {
    static const char* const kNames[] = {"--link",         "--device",
                                         "--model",        "--streams",
                                         "--serial",       "--station",
                                         "--cal-format",   "--drive",
                                         "--start-time",   "--time-scale",
                                         "--skip-seconds", "--signal-freq",
                                         "--signal-amp",   "--noise",
                                         "--baud",         "--corrupt",
                                         "--drop",         "--garbage",
                                         "--delay",        "--seed",
                                         "--busy-number",  "--no-carrier-number",
                                         "--refuse",       "--ignore",
                                         "--answer-delay", "--answer-delay-codes"};
    for (const char* n : kNames)
        if (name == n)
            return true;
    // The modem's far end.
    return name == "--no-dialtone-number" || name == "--hangup-after";
}

} // namespace

bool ParseStartTime(const std::string& text, std::uint32_t& seconds) {
    long long plain = 0;
    if (ParseInteger(text, 0, 0xFFFFFFFFLL, plain)) {
        seconds = static_cast<std::uint32_t>(plain);
        return true;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail[8] = {0};
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3)
        return false;
    std::string rest = text.substr(static_cast<std::size_t>(used));
    if (!rest.empty()) {
        if (rest[0] != 'T' && rest[0] != ' ')
            return false;
        int fields = std::sscanf(rest.c_str() + 1, "%2d:%2d:%2d%7s", &hour, &minute, &second, tail);
        if (fields < 2) {
            return false;
        } else if (fields == 2) {
            // "HH:MM" possibly followed by "Z".
            const auto colon = rest.find(':');
            const std::string after = rest.substr(colon + 3);
            if (!after.empty() && after != "Z")
                return false;
            second = 0;
        } else if (fields == 4 && std::string(tail) != "Z") {
            return false;
        }
    }
    if (year < 1970 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    seconds = SecondsAt(year, month, day, hour, minute, second);
    return true;
}

std::string DefaultLinkPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/nereid-sim";
    return "/tmp/nereid-sim-" + std::to_string(getuid());
}

std::string UsageText() {
    return "Usage: nereid-sim [options]\n"
           "Plays a Nereid recorder on a pseudo-terminal (or a serial device).\n"
           "  --link PATH            symlink to the pseudo-terminal (default " +
           DefaultLinkPath() +
           ")\n"
           "  --device PATH          serve this serial device instead of a pseudo-terminal\n"
           "  --model CODE           model code 0..255 (default 17)\n"
           "  --streams 1|3|6        stream count (default 6)\n"
           "  --serial N             serial number 0..65535 (default 1234)\n"
           "  --station NAME         station name, up to 4 characters (default SIM1)\n"
           "  --cal-format 26|34|36  length of the calibration settings answer (default 26)\n"
           "  --drive L=DIR          drive L (A..E) backed by folder DIR; repeatable\n"
           "                         (default: A with generated recordings, E empty)\n"
           "  --blank-windows        internal recording windows all zero (never set up)\n"
           "  --start-time T         recorder clock at start: seconds since 1970 or\n"
           "                         YYYY-MM-DD[THH:MM[:SS]][Z] (UTC; default: the PC clock)\n"
           "  --time-scale X         recorder seconds per wall second (default 1)\n"
           "  --skip-seconds LIST    seconds without data frames: N, A-B, +N, +A-B (from\n"
           "                         the start time), comma separated\n"
           "  --signal-freq LIST     sine frequency in Hz per channel 1..16 (default 1)\n"
           "  --signal-amp LIST      sine amplitude in counts per channel (default 100000*c)\n"
           "  --noise N              uniform noise of +-N counts added to the sine\n"
           "  --realtime             stream real-time data from the start\n"
           "  --acquiring            acquisition started at power-up\n"
           "  --baud N               pace sent bytes to N/10 bytes per second\n"
           "  --corrupt P            probability of a wrong CRC on a sent frame\n"
           "  --drop P               probability of leaving a command unanswered\n"
           "  --delay MS             answer every command MS milliseconds late\n"
           "  --answer-delay MS[-MS] answer each first listing, file read or delete MS (or a\n"
           "                         random MS..MS) milliseconds late, as a drive spinning up;\n"
           "                         the same request sent again is answered right after it\n"
           "  --answer-delay-codes LIST  the command codes --answer-delay applies to\n"
           "                         (default 0xB8,0xB9,0x92)\n"
           "  --garbage P            probability of noise bytes before a sent frame\n"
           "  --refuse LIST          refuse these command codes (0x80..0xBB), comma separated\n"
           "  --ignore LIST          never answer these command codes, comma separated\n"
           "  --seed N               seed of the fault injection and the noise (default 1)\n"
           "  --modem                behave as a Hayes modem until a call is connected\n"
           "  --busy-number NUM      ATDT NUM answers BUSY; repeatable\n"
           "  --no-carrier-number NUM  ATDT NUM answers NO CARRIER; repeatable\n"
           "  --no-dialtone-number NUM  ATDT NUM answers NO DIALTONE; repeatable\n"
           "  --hangup-after SECONDS  the far end drops every call SECONDS recorder seconds\n"
           "                         after CONNECT: NO CARRIER\n"
           "  --verbose              log every frame on stderr\n"
           "  --help                 this text\n";
}

int ParseOptions(int argc, const char* const* argv, SimOptions& o, std::string& message) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                message = "option " + name + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto bad = [&](const std::string& v, const char* what) {
            message = "bad value '" + v + "' for " + name + ": " + what;
            return -1;
        };
        std::string v;
        long long n = 0;
        if (name == "--help" || name == "-h") {
            message = UsageText();
            return 0;
        } else if (name == "--modem") {
            o.modem = true;
        } else if (name == "--realtime") {
            o.realtime = true;
        } else if (name == "--acquiring") {
            o.acquiring = true;
        } else if (name == "--blank-windows") {
            o.blankWindows = true;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (!TakesValue(name)) {
            message = "unknown option " + name;
            return -1;
        } else if (!value(v)) {
            return -1;
        } else if (name == "--link") {
            if (v.empty())
                return bad(v, "empty path");
            o.linkPath = v;
        } else if (name == "--device") {
            if (v.empty())
                return bad(v, "empty path");
            o.devicePath = v;
        } else if (name == "--model") {
            if (!ParseInteger(v, 0, 255, n))
                return bad(v, "expected 0..255");
            o.model = static_cast<std::uint8_t>(n);
        } else if (name == "--streams") {
            if (!ParseInteger(v, 1, 6, n) || (n != 1 && n != 3 && n != 6))
                return bad(v, "expected 1, 3 or 6");
            o.streams = static_cast<int>(n);
        } else if (name == "--serial") {
            if (!ParseInteger(v, 0, 65535, n))
                return bad(v, "expected 0..65535");
            o.serial = static_cast<std::uint16_t>(n);
        } else if (name == "--station") {
            if (v.empty() || v.size() > 4)
                return bad(v, "expected 1 to 4 characters");
            o.station = v;
        } else if (name == "--cal-format") {
            if (!ParseInteger(v, 26, 36, n) || (n != 26 && n != 34 && n != 36))
                return bad(v, "expected 26, 34 or 36");
            o.calFormat = static_cast<int>(n);
        } else if (name == "--drive") {
            if (v.size() < 3 || v[1] != '=')
                return bad(v, "expected L=DIR");
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
            if (letter < 'A' || letter > 'E')
                return bad(v, "drive letter must be A..E");
            o.drives[letter] = v.substr(2);
        } else if (name == "--start-time") {
            if (!ParseStartTime(v, o.startTime))
                return bad(v, "expected seconds since 1970 or YYYY-MM-DD[THH:MM[:SS]][Z]");
            o.haveStartTime = true;
        } else if (name == "--time-scale") {
            double x = 0;
            if (!ParseDouble(v, x) || x <= 0 || x > 10000)
                return bad(v, "expected a number above 0 and at most 10000");
            o.timeScale = x;
        } else if (name == "--skip-seconds") {
            if (!ParseSkips(v, o.skips))
                return bad(v, "expected N, A-B, +N or +A-B, comma separated");
        } else if (name == "--signal-freq") {
            if (!ParseDoubleList(v, o.signalFreq, false))
                return bad(v, "expected non-negative numbers, comma separated");
        } else if (name == "--signal-amp") {
            if (!ParseDoubleList(v, o.signalAmp, false))
                return bad(v, "expected non-negative numbers, comma separated");
            for (double a : o.signalAmp)
                if (a > 8388607)
                    return bad(v, "amplitudes above 8388607 do not fit 24 bits");
        } else if (name == "--noise") {
            if (!ParseInteger(v, 0, 8388607, n))
                return bad(v, "expected 0..8388607");
            o.noise = static_cast<int>(n);
        } else if (name == "--baud") {
            if (!ParseInteger(v, 1, 4000000, n))
                return bad(v, "expected 1..4000000");
            o.baud = static_cast<int>(n);
        } else if (name == "--corrupt") {
            if (!ParseProbability(v, o.corrupt) || o.corrupt >= 1.0)
                return bad(v, "expected a probability below 1");
        } else if (name == "--drop") {
            if (!ParseProbability(v, o.drop))
                return bad(v, "expected a probability 0..1");
        } else if (name == "--garbage") {
            if (!ParseProbability(v, o.garbage))
                return bad(v, "expected a probability 0..1");
        } else if (name == "--delay") {
            if (!ParseInteger(v, 0, 600000, n))
                return bad(v, "expected 0..600000 ms");
            o.delayMs = static_cast<int>(n);
        } else if (name == "--seed") {
            if (!ParseInteger(v, 0, 0x7FFFFFFFFFFFFFFFLL, n))
                return bad(v, "expected a non-negative integer");
            o.seed = static_cast<std::uint64_t>(n);
        } else if (name == "--answer-delay") {
            const auto dash = v.find('-');
            long long low = 0;
            long long high = 0;
            if (!ParseInteger(v.substr(0, dash), 0, 600000, low) ||
                (dash != std::string::npos && !ParseInteger(v.substr(dash + 1), low, 600000, high)))
                return bad(v, "expected MS or MIN-MAX, 0..600000 ms");
            o.answerDelayMinMs = static_cast<int>(low);
            o.answerDelayMaxMs = static_cast<int>(dash == std::string::npos ? low : high);
        } else if (name == "--refuse" || name == "--ignore" || name == "--answer-delay-codes") {
            std::vector<std::uint8_t>& codes = name == "--refuse"   ? o.refused
                                               : name == "--ignore" ? o.ignored
                                                                    : o.answerDelayCodes;
            if (name == "--answer-delay-codes")
                codes.clear();
            std::size_t from = 0;
            while (from <= v.size()) {
                const std::size_t comma = std::min(v.find(',', from), v.size());
                if (!ParseInteger(v.substr(from, comma - from), 0x80, 0xBB, n))
                    return bad(v, "expected command codes 0x80..0xBB, comma separated");
                codes.push_back(static_cast<std::uint8_t>(n));
                from = comma + 1;
            }
        } else if (name == "--busy-number") {
            o.busyNumbers.push_back(v);
        } else if (name == "--no-carrier-number") {
            o.noCarrierNumbers.push_back(v);
        } else if (name == "--no-dialtone-number") {
            o.noDialtoneNumbers.push_back(v);
        } else if (name == "--hangup-after") {
            double x = 0;
            if (!ParseDouble(v, x) || x <= 0 || x > 1e7)
                return bad(v, "expected a number of seconds above 0");
            o.hangupAfter = x;
        } else {
            message = "unknown option " + name;
            return -1;
        }
    }
    return 1;
}

} // namespace nereid::sim
