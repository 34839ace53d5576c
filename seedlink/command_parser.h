#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nereid::seedlink {

enum class ECommand {
    kInvalid,
    kHello,
    kCat,
    kStation,
    kSelect,
    kData,
    kFetch,
    kTime,
    kEnd,
    kBye,
    kInfo,
};

// One client command line, taken apart. Times are nanoseconds since 1970 (UTC).
struct SSeedLinkCommand {
    ECommand kind = ECommand::kInvalid;
    std::string error; // why the line is invalid; empty otherwise

    std::string station; // STATION: code, '?' and '*' allowed
    std::string network; // STATION: optional network code

    std::string selector; // SELECT: "[!][LL]CCC[.T]"; empty selects everything

    bool hasSequence = false; // DATA / FETCH: sequence number of the next packet wanted
    std::uint32_t sequence = 0;
    bool hasBegin = false; // DATA / FETCH / TIME
    std::int64_t beginNs = 0;
    bool hasEnd = false; // TIME
    std::int64_t endNs = 0;

    std::string infoLevel; // INFO: upper case
};

// Longest command line a client may send, terminator excluded.
constexpr std::size_t kMaxCommandLine = 255;

// Takes one command line apart (without its CR/LF). Pure: no state, no allocation beyond the
// result, safe on any bytes.
SSeedLinkCommand ParseSeedLinkCommand(std::string_view line);

// Last year a time may name: nanoseconds since 1970 in 64 bits end in April 2262.
constexpr int kLastYear = 2261;

// "YYYY,MM,DD,hh,mm,ss[.ffff]" -> nanoseconds since 1970; false when malformed or out of
// range (years 1970 to kLastYear).
bool ParseSeedLinkTime(std::string_view text, std::int64_t& ns);

// True when `code` (location+channel such as "  HHZ" or channel "HHZ" with location "")
// and `type` match one selector. The selector's '!' is not looked at here.
bool SelectorMatches(std::string_view selector, std::string_view location, std::string_view channel,
                     char type);

} // namespace nereid::seedlink
