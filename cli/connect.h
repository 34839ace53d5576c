#pragma once

#include <iosfwd>

#include "cli/cli_options.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "recording/stream_list.h"

namespace nereid::cli {

// Runs the direct search in real time (one tick per 100 ms) on the port given or on every
// probed port, printing each attempt ("%s %d") to `progress`. Messages go to `err`.
// Returns kExitOk once the recorder answered the hardware query (with or without its
// configuration: see search.Result()), else kExitNoPort or kExitNoAnswer.
int ConnectToRecorder(const GlobalOptions& options, link::CSerialLink& link,
                      link::CDirectSearch& search, std::ostream& progress, std::ostream& err);

// After ConnectToRecorder: the stream list of the connection, enables and rates taken from the
// configuration the search read. Returns kExitOk, or kExitNoConfiguration (said on `err`)
// when the search got no configuration.
int StreamsOfConnection(const link::CDirectSearch& search, recording::CStreamList& streams,
                        std::ostream& err);

} // namespace nereid::cli
