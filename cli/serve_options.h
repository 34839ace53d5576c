#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/datalink_options.h"
#include "recording/file_recorder.h"
#include "recording/mseed_packer.h"

namespace nereid::cli {

// What `nereid serve` was asked to do.
struct ServeOptions {
    std::string host = "127.0.0.1";
    int port = 18000;
    bool help = false; // --help: the usage was printed, nothing is to be done
    bool record = false;
    std::set<int> channels; // channels to record; empty: those the recording enables (1 to 4)
    recording::RecordingForm form = recording::RecordingForm::kDadisp;
    std::string minutes; // recording period, "1" to "720"
    std::string directory;
    std::string network = recording::kDefaultMseedNetwork;
    std::string station; // empty: from the recorder's station name
    recording::MseedComponentMap components;
    double ringMinutes = 60;    // minutes of every stream kept for clients that resume
    std::string ringFile;       // empty: DefaultRingFile(); "none": in memory only
    double latencySeconds = 10; // longest a sample waits for its record to fill
    double silenceSeconds = 15; // wall seconds without data before the line counts as lost
    double retrySeconds = 2;    // first pause before connecting again; doubles each time
    double retryMaxSeconds = 300;

    // SeedLink client limits (counts kept as numbers for the option table).
    double maxClients = 100;      // --max-clients
    double maxPerAddress = 20;    // --max-per-address
    double handshakeSeconds = 30; // --handshake-timeout

    bool seedlinkAsked = false; // --seedlink given; without it, --datalink alone serves no SeedLink
    DataLinkOptions datalink;   // hubs to push the records to

    // The station page (--http HOST:PORT); off when httpPort is -1. It may share the SeedLink
    // address. --health S: seconds between two readings of the Status pages.
    std::string httpHost = "127.0.0.1";
    int httpPort = -1;
    double healthSeconds = 60;
};

// Parses the arguments after "serve". Returns kExitOk, or kExitUsage with the reason and the
// usage said on stderr. --help prints the usage on stdout, sets `help` and returns kExitOk.
int ParseServeOptions(const std::vector<std::string>& args, ServeOptions& o);

// Where the ring of station NET.STA is kept unless --ring-file says otherwise:
// $XDG_STATE_HOME/nereid/seedlink-NET.STA.ring, or under ~/.local/state without it; empty
// when neither variable is set.
std::string DefaultRingFile(const std::string& network, const std::string& station);

} // namespace nereid::cli
