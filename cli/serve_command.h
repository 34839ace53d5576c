#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// `nereid [--port PATH] [--baud N] serve [--seedlink HOST:PORT] [--record FORM --minutes M
//  [--dir DIR]] [...]`: a station service. Connects, starts the real-time data, records if
// asked, and serves every channel as SeedLink 3.1 on HOST:PORT (default 127.0.0.1:18000)
// until SIGTERM or SIGINT. A lost line or a silent recorder is said on stderr and the
// connection is tried again after a pause that grows; the SeedLink side and its sequence
// numbers go on meanwhile. Prints "serving SeedLink on HOST:PORT" once listening, and the
// files it closed at the end. With --datalink HOST:PORT (repeatable) every record also goes
// to that DataLink hub (a ringserver), through a queue file that keeps what the hub has not
// acknowledged; --datalink without --seedlink serves no SeedLink. Returns an exit code.
int RunServeCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
