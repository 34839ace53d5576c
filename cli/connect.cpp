#include "cli/connect.h"

#include <chrono>
#include <ostream>
#include <thread>

#include "link/channel_rebuild.h"
#include "link/port_probe.h"
#include "recording/stream_list.h"

namespace nereid::cli {

int ConnectToRecorder(const GlobalOptions& options, link::CSerialLink& link,
                      link::CDirectSearch& search, std::ostream& progress, std::ostream& err) {
    std::vector<std::string> ports;
    if (!options.port.empty()) {
        if (link.Open(options.port, 9600, link::kParityNone, link::kStopBitsOne, 8) != 1) {
            err << "nereid: cannot open port " << options.port
                << " (missing, busy or not a serial device)\n";
            return kExitNoPort;
        }
        ports.push_back(options.port);
    } else {
        link::PortTable table;
        link::CPortProbe::Probe(link, table);
        ports.assign(table.names.begin(), table.names.begin() + table.count);
    }

    search.SetPorts(ports);
    search.SetFixedBaud(options.baud);
    link::CDirectSearch::Hooks hooks;
    hooks.showResult = [&progress](const std::string& text) { progress << text << "\n"; };
    search.SetHooks(hooks);
    int result = search.Start();
    if (result == link::kSearchNoPort) {
        err << "nereid: " << link::kNoSerialPortText
            << " (name one with --port PATH, or list paths in NEREID_PORTS)\n";
        return kExitNoPort;
    }
    auto next = std::chrono::steady_clock::now();
    while (result == link::kSearchRunning) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        result = search.Tick();
    }
    if (result == link::kSearchFailed) {
        err << "nereid: " << link::kConnectionFailedText << "\n";
        return kExitNoAnswer;
    }
    return kExitOk;
}

int ChannelsOfConnection(const link::CDirectSearch& search, link::CSerialLink& link,
                         recording::CChannelTable& table, recording::CIntakeState& state,
                         std::ostream& err) {
    if (!search.HasConfiguration()) {
        err << "nereid: " << link::kNoConfigurationText << "\n";
        return kExitNoConfiguration;
    }
    recording::CStreamList streams;
    streams.SetStreams(search.StreamCount());
    const link::ConfigurationRecord& config = search.Configuration();
    streams.ApplyConfiguration(config.channelEnableMask, config.rateCodes);
    if (link::RebuildChannels(table, streams, &link, nullptr, &state) != 1) {
        err << "nereid: " << table.LastError() << "\n";
        return kExitNoAnswer;
    }
    return kExitOk;
}

} // namespace nereid::cli
