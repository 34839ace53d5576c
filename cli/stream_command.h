#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// `nereid [--port PATH] [--baud N] stream --seconds N`: connects, starts the real-time data
// (0x94 with 1), takes N seconds of recorder time through the intake, stops the data (0x94
// with 0) and prints per channel the frames, rate, first and last second, gap-filled rows
// and the sample range. Returns an exit code.
int RunStreamCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
