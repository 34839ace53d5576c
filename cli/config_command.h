#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// nereid config show [--json] | config set KEY=VALUE...
// show: every field of the recorder's configuration as the Configuration pages show it,
// grouped by page. set: reads the configuration, applies the settings through the page models
// (refusing any bad key or value before anything is sent), sends 0x89, reads the
// configuration back and prints what changed. Returns an exit code of cli_options.h.
int RunConfigCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// nereid clock set YYYY-MM-DDTHH:MM:SS | clock set --now
// Sets the recorder's clock with 0x8B; the time is taken as UTC. Returns an exit code.
int RunClockCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
