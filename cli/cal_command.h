#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// nereid cal show [immediate|N] | start immediate|N KEY=VALUE... | stop immediate|N
int RunCalCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
