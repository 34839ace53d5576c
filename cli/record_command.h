#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace nereid::cli {

// Exit code of `record` when a file could not be created or written (the message says which).
constexpr int kExitRecordingFailed = 6;

// `nereid [--port PATH] [--baud N] record --format dadisp|css|seisan|mseed --minutes M
//  --seconds N [--dir DIR] [--channels LIST] [--comment TEXT] [--network XX]
//  [--components 1=Z,2=N,3=E]`: connects, starts the real-time data,
// records N seconds of recorder time into files of M-minute periods (channels of LIST, default
// 1 to 4, into DIR, default the current directory), stops the data and prints the full path of
// every file it closed, one a line. In SEISAN form it waits (at most 60 s) for the converter
// "wavexport", looked for in $NEREID_WAVEXPORT_DIR, then beside this program, in the build tree
// and under the installed prefix; a conversion that failed is said on standard error. Returns
// an exit code.
int RunRecordCommand(const GlobalOptions& options, const std::vector<std::string>& args);

} // namespace nereid::cli
