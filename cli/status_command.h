#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// nereid status [--json] [hardware|health|gps|drives]...: queries the Status sheet's pages
// and prints each value as the page shows it. Without page names, every page the model has.
// Returns kExitOk, kExitUsage, kExitNoPort, kExitNoAnswer or kExitRefused.
int RunStatusCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
