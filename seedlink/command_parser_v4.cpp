#include "seedlink/command_parser_v4.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <string>

namespace nereid::seedlink {

namespace detail {

namespace {

bool ParseDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10) {
            return false;
        }
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

} // namespace

bool IsIdPattern(std::string_view text, std::size_t maxLength) {
    if (text.empty() || text.size() > maxLength) {
        return false;
    }
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '?' &&
            c != '*') {
            return false;
        }
    }
    return true;
}

// DATA in 4.0: [seq|ALL [start [end]]], decimal sequence numbers and ISO times.
SSeedLinkCommand ParseDataV4(const std::vector<std::string_view>& w) {
    SSeedLinkCommand c;
    c.kind = ECommand::kData;
    if (w.size() > 4) {
        return Invalid("too many arguments for DATA");
    }
    if (w.size() >= 2) {
        std::string upper(w[1]);
        for (char& ch : upper) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        if (upper == "ALL") {
            c.allData = true;
        } else if (w[1] != "-1") {
            if (!ParseDecimal(w[1], c.sequence)) {
                return Invalid("sequence number is not a decimal number");
            }
            c.hasSequence = true;
        }
    }
    if (w.size() >= 3) {
        if (!ParseIsoTime(w[2], c.beginNs)) {
            return Invalid("start time is not YYYY-MM-DDThh:mm:ssZ");
        }
        c.hasBegin = true;
    }
    if (w.size() == 4) {
        if (!ParseIsoTime(w[3], c.endNs)) {
            return Invalid("end time is not YYYY-MM-DDThh:mm:ssZ");
        }
        if (c.endNs <= c.beginNs) {
            return Invalid("end time is not after the start time");
        }
        c.hasEnd = true;
    }
    return c;
}

// SELECT in 4.0: one or more patterns, each "[!]STREAM[.FORMAT][:FILTER]".
SSeedLinkCommand ParseSelectV4(const std::vector<std::string_view>& w) {
    SSeedLinkCommand c;
    c.kind = ECommand::kSelect;
    if (w.size() < 2) {
        return Invalid("empty SELECT is not allowed in v4");
    }
    for (std::size_t i = 1; i < w.size(); ++i) {
        std::string_view s = w[i];
        const bool negated = s[0] == '!';
        std::string_view body = s.substr(negated ? 1 : 0);
        if (const std::size_t colon = body.find(':'); colon != std::string_view::npos) {
            const std::string_view filter = body.substr(colon + 1);
            // Records go out as they are made: the native form is the only one there is.
            if (negated || filter != "native") {
                return Invalid("filter '" + std::string(filter) + "' is not supported",
                               kErrorUnsupported);
            }
            body = body.substr(0, colon);
        }
        const std::size_t dot = body.find('.');
        const std::string_view stream = body.substr(0, dot);
        if (!IsIdPattern(stream, 64) ||
            (dot != std::string_view::npos && !IsIdPattern(body.substr(dot + 1), 2))) {
            return Invalid("selector '" + std::string(s) + "' is not STREAM_ID[.FORMAT]");
        }
        c.selectors.push_back((negated ? "!" : "") + Upper(body));
    }
    return c;
}

} // namespace detail

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    // Iterative with one back-tracking point: linear enough for any pattern a line can hold.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool ParseIsoTime(std::string_view text, std::int64_t& ns) {
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) {
        text.remove_suffix(1);
    } else if (text.size() > 6 && text.substr(text.size() - 6) == "+00:00") {
        text.remove_suffix(6);
    }
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != 't') || text[13] != ':' || text[16] != ':') {
        return false;
    }
    std::string commas(text);
    for (std::size_t i : {4, 7, 10, 13, 16}) {
        commas[i] = ',';
    }
    // Each field has exactly its width here, which the comma form leaves free.
    for (std::size_t i = 0; i < 19; ++i) {
        if (commas[i] != ',' && !std::isdigit(static_cast<unsigned char>(commas[i]))) {
            return false;
        }
    }
    return ParseSeedLinkTime(commas, ns);
}

} // namespace nereid::seedlink
