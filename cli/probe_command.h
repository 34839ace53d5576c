#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// `nereid [--port PATH] [--baud N] probe`: finds the recorder and prints its port, baud rate,
// model, stream count, serial number and station name. Returns an exit code.
int RunProbeCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// The model name shown for a model code; "Unknown" for codes without one.
const char* ModelName(int modelCode);

} // namespace nereid::cli
