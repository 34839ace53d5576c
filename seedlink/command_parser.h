#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    kCapabilities, // 3.x: flags such as EXTREPLY
    kSlproto,      // 4.0: protocol version wanted
    kUserAgent,    // 4.0: client software, for the log
    kAuth,         // 4.0: credentials
    kEndFetch,     // END in dial-up mode
};

// Error codes of the 4.0 protocol, also the reason given in a 3.x extended reply.
constexpr const char* kErrorUnsupported = "UNSUPPORTED";
constexpr const char* kErrorUnexpected = "UNEXPECTED";
constexpr const char* kErrorArguments = "ARGUMENTS";
constexpr const char* kErrorLimit = "LIMIT";

// One client command line, taken apart. Times are nanoseconds since 1970 (UTC).
struct SSeedLinkCommand {
    ECommand kind = ECommand::kInvalid;
    std::string error;     // why the line is invalid; empty otherwise
    std::string errorCode; // kErrorUnsupported or kErrorArguments when invalid

    std::string station; // STATION: code (4.0: station id NET_STA), '?' and '*' allowed
    std::string network; // STATION: optional network code (3.x)

    std::string selector; // SELECT: "[!][LL]CCC[.T]"; empty selects everything
    // SELECT in 4.0: one or more "[!]STREAM_ID_PATTERN[.FORMAT_PATTERN][:FILTER]".
    std::vector<std::string> selectors;

    bool hasSequence = false;   // DATA / FETCH: sequence number of the next packet wanted
    std::uint64_t sequence = 0; // 3.x: 24 bits; 4.0: 64 bits
    bool allData = false;       // DATA ALL (4.0): from the oldest packet held
    bool hasBegin = false;      // DATA / FETCH / TIME
    std::int64_t beginNs = 0;
    bool hasEnd = false; // TIME
    std::int64_t endNs = 0;

    std::string infoLevel;   // INFO: upper case
    std::string infoStation; // INFO (4.0): optional station id pattern
    std::string infoStream;  // INFO (4.0): optional stream id pattern

    std::vector<std::string> flags; // CAPABILITIES: upper case
    int versionMajor = 0;           // SLPROTO
    int versionMinor = 0;
    std::string text; // USERAGENT: the rest of the line
};

// Longest command line a client may send, terminator excluded.
constexpr std::size_t kMaxCommandLine = 255;

// Takes one command line apart (without its CR/LF) as protocol `version` (3 or 4) reads it:
// STATION, SELECT and DATA differ between them. Pure: no state, safe on any bytes.
SSeedLinkCommand ParseSeedLinkCommand(std::string_view line, int version = 3);

// "YYYY-MM-DDThh:mm:ss[.ffff][Z]" (the 4.0 time form) -> nanoseconds since 1970; false when
// malformed or out of range.
bool ParseIsoTime(std::string_view text, std::int64_t& ns);

// Last year a time may name: nanoseconds since 1970 in 64 bits end in April 2262.
constexpr int kLastYear = 2261;

// "YYYY,MM,DD,hh,mm,ss[.ffff]" -> nanoseconds since 1970; false when malformed or out of
// range (years 1970 to kLastYear).
bool ParseSeedLinkTime(std::string_view text, std::int64_t& ns);

// Glob match of the whole `text`: '*' any run of characters, '?' one character.
bool WildcardMatch(std::string_view pattern, std::string_view text);

// True when `code` (location+channel such as "  HHZ" or channel "HHZ" with location "")
// and `type` match one selector. The selector's '!' is not looked at here.
bool SelectorMatches(std::string_view selector, std::string_view location, std::string_view channel,
                     char type);

} // namespace nereid::seedlink
