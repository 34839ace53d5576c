#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// nereid ir show [--json] | set KEY=VALUE... | station NAME
int RunIrCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
