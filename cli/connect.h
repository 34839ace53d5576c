#pragma once

#include <iosfwd>

#include "cli/cli_options.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "recording/channel_table.h"
#include "recording/intake_state.h"

namespace nereid::cli {

// Runs the direct search in real time (one tick per 100 ms) on the port given or on every
// probed port, printing each attempt ("%s %d") to `progress`. Messages go to `err`.
// Returns kExitOk once the recorder answered the hardware query (with or without its
// configuration: see search.Result()), else kExitNoPort or kExitNoAnswer.
int ConnectToRecorder(const GlobalOptions& options, link::CSerialLink& link,
                      link::CDirectSearch& search, std::ostream& progress, std::ostream& err);

// After ConnectToRecorder: builds the channel table of the connection, with the enables and
// rates of the configuration the search read. Returns kExitOk, kExitNoConfiguration when the
// search got no configuration, or kExitNoAnswer when the table could not be built (each
// said on `err`).
int ChannelsOfConnection(const link::CDirectSearch& search, link::CSerialLink& link,
                         recording::CChannelTable& table, recording::CIntakeState& state,
                         std::ostream& err);

} // namespace nereid::cli
