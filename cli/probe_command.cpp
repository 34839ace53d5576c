#include "cli/probe_command.h"

#include <iostream>

#include "cli/connect.h"
#include "instrument/sheet/model/page_ids.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"

namespace nereid::cli {

const char* ModelName(int modelCode) {
    // One table of model names for the sheets and the command line.
    return instrument::ModelName(modelCode);
}

namespace {

// A name the recorder gave, or what became of the query: an unheard answer is never shown
// as if the recorder had no name.
std::string StationNameText(const link::CDirectSearch& search) {
    switch (search.StationNameOutcome()) {
    case link::kStationNameAnswered:
        return search.StationName().empty() ? "(none set in the recorder)" : search.StationName();
    case link::kStationNameRefused:
        return "(the recorder refused the query)";
    case link::kStationNameNotHeard:
        return "(not received: no answer)";
    default:
        return "(not read: no configuration)";
    }
}

} // namespace

int RunProbeCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::cerr << "nereid probe: unexpected argument '" << args.front() << "'\n";
        return kExitUsage;
    }
    link::CSerialLink link;
    link::CSerialPortControl ports(link);
    link::CDirectSearch search(link, ports);
    const int connected = ConnectToRecorder(options, link, search, std::cerr, std::cerr);
    if (connected != kExitOk) {
        return connected;
    }
    std::cout << "Port:          " << search.PortName() << "\n"
              << "Baud rate:     " << search.Baud() << "\n"
              << "Model:         " << int(search.ModelCode()) << " "
              << ModelName(search.ModelCode()) << "\n"
              << "Streams:       " << search.StreamCount() << "\n"
              << "Serial number: " << search.SerialNumber() << "\n"
              << "Station name:  " << StationNameText(search) << "\n";
    if (search.StationNameOutcome() == link::kStationNameNotHeard) {
        std::cerr << "nereid: the station name query (0xB5) got no answer within "
                  << link::kStationNameTicks / 10 << " s\n";
    }
    if (search.Result() == link::kSearchNoConfiguration) {
        std::cerr << "nereid: " << link::kNoConfigurationText << "\n";
    }
    link.Close();
    return kExitOk;
}

} // namespace nereid::cli
