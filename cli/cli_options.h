#pragma once

#include <cstdint>
#include <string>

namespace nereid::cli {

// Exit codes of the nereid tool.
constexpr int kExitOk = 0;
constexpr int kExitNoAnswer = 1;        // "Connection Failed", "No Response", no data frames
constexpr int kExitUsage = 2;           // bad command line
constexpr int kExitNoPort = 3;          // no serial port, or the named one cannot be opened
constexpr int kExitRefused = 4;         // the recorder answered "Rejected"
constexpr int kExitNoConfiguration = 5; // connected, but "Unable To Get Configuration"

// Options given before the subcommand.
struct GlobalOptions {
    std::string port;       // --port PATH; empty: every probed port
    std::uint32_t baud = 0; // --baud N; 0: the eight rates of the search
};

} // namespace nereid::cli
