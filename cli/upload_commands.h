#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// `nereid ls [--json] [PATH]`: lists a recorder folder or pattern (default "A:\*.*").
int RunLsCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// `nereid get [--format F] [--out DIR] PATH...`: fetches recorder files (wildcards as the
// recorder matches them) and converts them on the way.
int RunGetCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// `nereid rm [--yes] PATH...`: deletes recorder files after confirmation on a terminal.
int RunRmCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
