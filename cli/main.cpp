#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cal_command.h"
#include "cli/cli_options.h"
#include "cli/config_command.h"
#include "cli/info_command.h"
#include "cli/ir_command.h"
#include "cli/order_command.h"
#include "cli/probe_command.h"
#include "cli/record_command.h"
#include "cli/serve_command.h"
#include "cli/status_command.h"
#include "cli/stream_command.h"
#include "cli/translate_command.h"
#include "cli/upload_commands.h"

namespace {

using nereid::cli::GlobalOptions;
using Args = std::vector<std::string>;

struct Subcommand {
    const char* name;
    const char* usage;
    std::function<int(const GlobalOptions&, const Args&)> run;
};

// One line per subcommand.
const Subcommand kSubcommands[] = {
    {"probe", "probe                 find the recorder and show what it is",
     nereid::cli::RunProbeCommand},
    {"stream", "stream --seconds N    take N seconds of real-time data and summarise them",
     nereid::cli::RunStreamCommand},
    {"record",
     "record --format dadisp|css|seisan|mseed --minutes M --seconds N [--dir DIR]\n"
     "         [--channels LIST] [--comment TEXT]   record N s into files of M minutes",
     nereid::cli::RunRecordCommand},
    {"translate", "translate --format dadisp|seisan|ascii|hlcp|css|mseed [--out DIR] FILE...",
     [](const GlobalOptions&, const Args& a) { return nereid::cli::RunTranslateCommand(a); }},
    {"info", "info FILE...          show what a data file holds",
     [](const GlobalOptions&, const Args& a) { return nereid::cli::RunInfoCommand(a); }},
    {"status", "status [--json] [hardware|health|gps|drives]...   read the Status pages",
     nereid::cli::RunStatusCommand},
    {"order", "order COMMAND [ARGS]  give the recorder an order (see nereid order --help)",
     nereid::cli::RunOrderCommand},
    {"config", "config show [--json] | config set KEY=VALUE...   the recorder's configuration",
     nereid::cli::RunConfigCommand},
    {"clock", "clock set YYYY-MM-DDTHH:MM:SS | clock set --now   set the recorder's clock (UTC)",
     nereid::cli::RunClockCommand},
    {"ls", "ls [--json] [PATH]    list a recorder folder (default A:\\*.*)",
     nereid::cli::RunLsCommand},
    {"get",
     "get [--format dadisp|seisan|ascii|hlcp|css] [--out DIR] PATH...\n"
     "                        fetch recorder files, converting them on the way",
     nereid::cli::RunGetCommand},
    {"rm", "rm [--yes] PATH...    delete recorder files", nereid::cli::RunRmCommand},
    {"cal", "cal show|start|stop immediate|N [KEY=VALUE...]   calibration runs",
     nereid::cli::RunCalCommand},
    {"serve",
     "serve [--seedlink HOST:PORT] [--record FORM --minutes M [--dir DIR]] [...]\n"
     "                        serve real-time data over SeedLink until stopped",
     nereid::cli::RunServeCommand},
    {"ir", "ir show [--json] | set KEY=VALUE... | station NAME   internal recording setup",
     nereid::cli::RunIrCommand},
};

void PrintUsage(std::ostream& out) {
    out << "Usage: nereid [--port PATH] [--baud N] COMMAND [ARGS]\n"
           "  --port PATH   serial device of the recorder (default: every serial port found,\n"
           "                and the paths listed in NEREID_PORTS, colon-separated)\n"
           "  --baud N      try only this baud rate (default: 1200 to 115200)\n"
           "Commands:\n";
    for (const Subcommand& s : kSubcommands) {
        out << "  " << s.usage << "\n";
    }
}

bool ParseBaud(const std::string& text, std::uint32_t& baud) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    for (std::uint32_t rate : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        if (end != text.c_str() && *end == '\0' && v == rate) {
            baud = rate;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    GlobalOptions options;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            PrintUsage(std::cout);
            return nereid::cli::kExitOk;
        }
        if ((name == "--port" || name == "--baud") && i + 1 >= argc) {
            std::cerr << "nereid: " << name << " needs a value\n";
            return nereid::cli::kExitUsage;
        }
        if (name == "--port") {
            options.port = argv[++i];
        } else if (name == "--baud") {
            if (!ParseBaud(argv[++i], options.baud)) {
                std::cerr << "nereid: --baud takes one of 1200, 2400, 4800, 9600, 19200, 38400, "
                             "57600, 115200, not '"
                          << argv[i] << "'\n";
                return nereid::cli::kExitUsage;
            }
        } else {
            std::cerr << "nereid: unknown option '" << name << "'\n";
            PrintUsage(std::cerr);
            return nereid::cli::kExitUsage;
        }
    }
    if (i >= argc) {
        PrintUsage(std::cerr);
        return nereid::cli::kExitUsage;
    }
    const std::string command = argv[i];
    const Args args(argv + i + 1, argv + argc);
    for (const Subcommand& s : kSubcommands) {
        if (command == s.name) {
            return s.run(options, args);
        }
    }
    std::cerr << "nereid: unknown command '" << command << "'\n";
    PrintUsage(std::cerr);
    return nereid::cli::kExitUsage;
}
