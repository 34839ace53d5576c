#include "seedlink/command_parser.h"

#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "seedlink/command_parser_v4.h"

namespace nereid::seedlink {

namespace detail {

std::string Upper(std::string_view word) {
    std::string out(word);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

SSeedLinkCommand Invalid(std::string why, const char* code) {
    SSeedLinkCommand c;
    c.error = std::move(why);
    c.errorCode = code;
    return c;
}

} // namespace detail

using detail::Invalid;
using detail::Upper;

namespace {

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

bool IsCodeText(std::string_view text, std::size_t maxLength, bool wildcards) {
    if (text.empty() || text.size() > maxLength) {
        return false;
    }
    for (char c : text) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (!plain && !(wildcards && (c == '?' || c == '*'))) {
            return false;
        }
    }
    return true;
}

bool ParseSequence(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : (std::isxdigit(static_cast<unsigned char>(c))
                                     ? std::toupper(static_cast<unsigned char>(c)) - 'A' + 10
                                     : -1);
        if (digit < 0) {
            return false;
        }
        v = v * 16 + static_cast<std::uint64_t>(digit);
    }
    value = v;
    return true;
}

std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// DATA and FETCH: [seq [begin]].
SSeedLinkCommand ParseDataLike(ECommand kind, const std::vector<std::string_view>& w) {
    SSeedLinkCommand c;
    c.kind = kind;
    if (w.size() > 3) {
        return Invalid("too many arguments");
    }
    if (w.size() >= 2) {
        // A negative number asks for the next new packet, as no number does.
        if (w[1] != "-1") {
            if (!ParseSequence(w[1], c.sequence)) {
                return Invalid("sequence number is not 1 to 6 hexadecimal digits");
            }
            c.hasSequence = true;
        }
    }
    if (w.size() == 3) {
        if (!ParseSeedLinkTime(w[2], c.beginNs)) {
            return Invalid("time is not YYYY,MM,DD,hh,mm,ss");
        }
        c.hasBegin = true;
    }
    return c;
}

} // namespace

bool ParseSeedLinkTime(std::string_view text, std::int64_t& ns) {
    std::array<long, 6> parts{};
    long fractionNs = 0;
    std::size_t index = 0;
    std::size_t i = 0;
    for (; index < parts.size(); ++index) {
        std::size_t digits = 0;
        long v = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
            v = v * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
        parts[index] = v;
        if (index + 1 < parts.size()) {
            if (i >= text.size() || text[i] != ',') {
                return false;
            }
            ++i;
        }
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        long scale = 100000000;
        std::size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 9) {
            fractionNs += (text[i] - '0') * scale;
            scale /= 10;
            ++i;
            ++digits;
        }
        if (digits == 0) {
            return false;
        }
    }
    if (i != text.size()) {
        return false;
    }
    const int year = static_cast<int>(parts[0]);
    const int month = static_cast<int>(parts[1]);
    const int day = static_cast<int>(parts[2]);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || year > kLastYear || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0) || parts[3] > 23 ||
        parts[4] > 59 || parts[5] > 60) {
        return false;
    }
    const std::int64_t seconds =
        DaysFromCivil(year, month, day) * 86400 + parts[3] * 3600 + parts[4] * 60 + parts[5];
    ns = seconds * 1000000000LL + fractionNs;
    return true;
}

bool SelectorMatches(std::string_view selector, std::string_view location, std::string_view channel,
                     char type) {
    if (!selector.empty() && selector[0] == '!') {
        selector.remove_prefix(1);
    }
    char wantedType = 0;
    if (const std::size_t dot = selector.find('.'); dot != std::string_view::npos) {
        if (dot + 2 != selector.size()) {
            return false;
        }
        wantedType = selector[dot + 1];
        selector = selector.substr(0, dot);
    }
    if (wantedType != 0 && wantedType != '?' && wantedType != type) {
        return false;
    }
    auto matches = [](std::string_view pattern, std::string_view text) {
        if (pattern.size() != text.size()) {
            return false;
        }
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] != '?' && pattern[i] != text[i]) {
                return false;
            }
        }
        return true;
    };
    std::string paddedLocation(location);
    paddedLocation.resize(2, ' ');
    std::string paddedChannel(channel);
    paddedChannel.resize(3, ' ');
    if (selector.empty()) {
        return true;
    }
    if (selector.size() == 3) {
        return matches(selector, paddedChannel);
    }
    if (selector.size() == 5) {
        std::string pattern(selector.substr(0, 2));
        // "--" stands for the empty location, as in the stream listings.
        if (pattern == "--") {
            pattern = "  ";
        }
        return matches(pattern, paddedLocation) && matches(selector.substr(2), paddedChannel);
    }
    return false;
}

SSeedLinkCommand ParseSeedLinkCommand(std::string_view line, int version) {
    if (line.size() > kMaxCommandLine) {
        return Invalid("command line too long");
    }
    for (char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            return Invalid("control character in command");
        }
        if (static_cast<unsigned char>(c) >= 0x7F) {
            return Invalid("non-ASCII byte in command");
        }
    }
    const std::vector<std::string_view> w = SplitWords(line);
    if (w.empty()) {
        return Invalid("empty command");
    }
    const std::string verb = Upper(w[0]);
    SSeedLinkCommand c;
    auto noArguments = [&](ECommand kind) {
        if (w.size() != 1) {
            return Invalid(verb + " takes no arguments");
        }
        SSeedLinkCommand simple;
        simple.kind = kind;
        return simple;
    };
    if (verb == "HELLO") {
        return noArguments(ECommand::kHello);
    }
    if (verb == "CAT") {
        return noArguments(ECommand::kCat);
    }
    if (verb == "END") {
        return noArguments(ECommand::kEnd);
    }
    if (verb == "BYE") {
        return noArguments(ECommand::kBye);
    }
    if (verb == "ENDFETCH") {
        return noArguments(ECommand::kEndFetch);
    }
    if (verb == "CAPABILITIES") {
        c.kind = ECommand::kCapabilities;
        for (std::size_t i = 1; i < w.size(); ++i) {
            c.flags.push_back(Upper(w[i]));
        }
        return c;
    }
    if (verb == "SLPROTO") {
        int major = 0;
        int minor = 0;
        char tail = 0;
        const std::string arg = w.size() == 2 ? std::string(w[1]) : std::string();
        if (w.size() != 2 || std::sscanf(arg.c_str(), "%3d.%3d%c", &major, &minor, &tail) != 2 ||
            major < 0 || minor < 0) {
            return Invalid("SLPROTO takes one version such as 4.0");
        }
        c.kind = ECommand::kSlproto;
        c.versionMajor = major;
        c.versionMinor = minor;
        return c;
    }
    if (verb == "USERAGENT") {
        c.kind = ECommand::kUserAgent;
        const auto at = static_cast<std::size_t>(w[0].data() + w[0].size() - line.data());
        c.text = std::string(line.substr(at));
        c.text.erase(0, c.text.find_first_not_of(" \t"));
        return c;
    }
    if (verb == "AUTH") {
        c.kind = ECommand::kAuth;
        return c;
    }
    if (version >= 4 && verb == "STATION") {
        if (w.size() != 2 || !detail::IsIdPattern(w[1], 64)) {
            return Invalid("STATION takes one station id such as NET_STA");
        }
        c.kind = ECommand::kStation;
        c.station = Upper(w[1]);
        return c;
    }
    if (version >= 4 && verb == "SELECT") {
        return detail::ParseSelectV4(w);
    }
    if (version >= 4 && verb == "DATA") {
        return detail::ParseDataV4(w);
    }
    if (version >= 4 && (verb == "FETCH" || verb == "TIME" || verb == "CAT")) {
        return Invalid(verb + " is not a SeedLink 4 command", kErrorUnsupported);
    }
    if (version >= 4 && verb == "INFO") {
        if (w.size() < 2 || w.size() > 4) {
            return Invalid("INFO takes an item and optional station and stream patterns");
        }
        c.kind = ECommand::kInfo;
        c.infoLevel = Upper(w[1]);
        c.infoStation = w.size() >= 3 ? Upper(w[2]) : std::string();
        c.infoStream = w.size() == 4 ? Upper(w[3]) : std::string();
        return c;
    }
    if (verb == "STATION") {
        if (w.size() < 2 || w.size() > 3) {
            return Invalid("STATION takes a station code and an optional network code");
        }
        if (!IsCodeText(w[1], 5, true)) {
            return Invalid("station code is not 1 to 5 letters or digits");
        }
        if (w.size() == 3 && !IsCodeText(w[2], 2, true)) {
            return Invalid("network code is not 1 or 2 letters or digits");
        }
        c.kind = ECommand::kStation;
        c.station = Upper(w[1]);
        c.network = w.size() == 3 ? Upper(w[2]) : std::string();
        return c;
    }
    if (verb == "SELECT") {
        if (w.size() > 2) {
            return Invalid("SELECT takes one pattern");
        }
        c.kind = ECommand::kSelect;
        if (w.size() == 2) {
            std::string_view s = w[1];
            const std::string_view body = s.substr(s[0] == '!' ? 1 : 0);
            const std::size_t dot = body.find('.');
            const std::string_view code = body.substr(0, dot);
            bool ok = (code.size() == 3 || code.size() == 5) &&
                      (dot == std::string_view::npos || dot + 2 == body.size());
            for (std::size_t i = 0; ok && i < code.size(); ++i) {
                const char ch = code[i];
                ok = std::isalnum(static_cast<unsigned char>(ch)) || ch == '?' ||
                     (ch == '-' && i < 2 && code.size() == 5);
            }
            if (ok && dot != std::string_view::npos) {
                ok =
                    std::isalpha(static_cast<unsigned char>(body[dot + 1])) || body[dot + 1] == '?';
            }
            if (!ok) {
                return Invalid("selector is not [!][LL]CCC[.T]");
            }
            c.selector = Upper(s);
        }
        return c;
    }
    if (verb == "DATA") {
        return ParseDataLike(ECommand::kData, w);
    }
    if (verb == "FETCH") {
        return ParseDataLike(ECommand::kFetch, w);
    }
    if (verb == "TIME") {
        if (w.size() < 2 || w.size() > 3) {
            return Invalid("TIME takes a begin time and an optional end time");
        }
        c.kind = ECommand::kTime;
        if (!ParseSeedLinkTime(w[1], c.beginNs)) {
            return Invalid("begin time is not YYYY,MM,DD,hh,mm,ss");
        }
        c.hasBegin = true;
        if (w.size() == 3) {
            if (!ParseSeedLinkTime(w[2], c.endNs)) {
                return Invalid("end time is not YYYY,MM,DD,hh,mm,ss");
            }
            if (c.endNs <= c.beginNs) {
                return Invalid("end time is not after the begin time");
            }
            c.hasEnd = true;
        }
        return c;
    }
    if (verb == "INFO") {
        if (w.size() != 2) {
            return Invalid("INFO takes one level");
        }
        c.kind = ECommand::kInfo;
        c.infoLevel = Upper(w[1]);
        return c;
    }
    return Invalid("unknown command " + verb, kErrorUnsupported);
}

} // namespace nereid::seedlink
