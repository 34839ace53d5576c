#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// nereid order COMMAND [ARGS]: one order of the Command sheet. The command line is checked
// before connecting, and an order the recorder's model lacks is refused before anything is
// sent. Prints "Accepted", "Rejected" or "No Response". Returns kExitOk, kExitUsage,
// kExitNoPort, kExitNoAnswer or kExitRefused.
int RunOrderCommand(const GlobalOptions& options, const std::vector<std::string>& args);

// The usage lines of the orders.
const char* OrderUsage();

} // namespace nereid::cli
