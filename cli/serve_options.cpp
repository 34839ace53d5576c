#include "cli/serve_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "cli/channel_list.h"
#include "cli/cli_options.h"
#include "recording/recorder_messages.h"
#include "recording/recording_setup.h"
#include "seedlink/server.h"

namespace nereid::cli {

namespace {

constexpr const char* kUsage =
    "usage: nereid serve [--seedlink HOST:PORT] [--record dadisp|css|seisan|mseed --minutes M\n"
    "         [--dir DIR] [--channels LIST]] [--network NN] [--station CODE]\n"
    "         [--components 1=Z,2=N,3=E] [--ring-minutes M] [--ring-file PATH|none]\n"
    "         [--latency S] [--silence S] [--retry S] [--retry-max S]\n"
    "         [--max-clients N] [--max-per-address N] [--handshake-timeout S]\n"
    "         [--http HOST:PORT [--health S]]\n";

int Usage(const std::string& text) {
    std::cerr << "nereid serve: " << text << "\n" << kUsage << kDataLinkUsage;
    return kExitUsage;
}

bool ParseNumber(const std::string& text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v) || v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

bool ParseForm(const std::string& text, recording::RecordingForm& form) {
    if (text == "dadisp") {
        form = recording::RecordingForm::kDadisp;
    } else if (text == "css") {
        form = recording::RecordingForm::kCss;
    } else if (text == "seisan") {
        form = recording::RecordingForm::kSeisan;
    } else if (text == "mseed") {
        form = recording::RecordingForm::kMseed;
    } else {
        return false;
    }
    return true;
}

} // namespace

int ParseServeOptions(const std::vector<std::string>& args, ServeOptions& o) {
    struct Number {
        const char* name;
        double* value;
        double low;
        double high;
    };
    const Number numbers[] = {
        {"--ring-minutes", &o.ringMinutes, 1, 24 * 60},
        {"--latency", &o.latencySeconds, 0.1, 600},
        {"--silence", &o.silenceSeconds, 0.2, 3600},
        {"--retry", &o.retrySeconds, 0.05, 3600},
        {"--retry-max", &o.retryMaxSeconds, 0.05, 86400},
        // SeedLink client limits
        {"--max-clients", &o.maxClients, 1, 10000},
        {"--max-per-address", &o.maxPerAddress, 1, 10000},
        {"--handshake-timeout", &o.handshakeSeconds, 0.5, 3600},
        // The station page
        {"--health", &o.healthSeconds, 5, 86400},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            std::cout << kUsage << kDataLinkUsage;
            o.help = true;
            return kExitOk;
        }
        if (i + 1 >= args.size()) {
            return Usage("'" + name + "' needs a value or is not an option");
        }
        const std::string& value = args[++i];
        bool numeric = false;
        for (const Number& n : numbers) {
            if (name == n.name) {
                numeric = true;
                if (!ParseNumber(value, n.low, n.high, *n.value)) {
                    return Usage(name + " takes a number from " + std::to_string(n.low) + " to " +
                                 std::to_string(n.high) + ", not '" + value + "'");
                }
            }
        }
        if (numeric) {
            continue;
        }
        std::string datalinkWhy;
        if (const int taken = TakeDataLinkOption(name, value, o.datalink, datalinkWhy);
            taken != 0) {
            if (taken < 0) {
                return Usage(datalinkWhy);
            }
            continue;
        }
        if (name == "--seedlink") {
            std::string why;
            if (!seedlink::ParseListenAddress(value, o.host, o.port, why)) {
                return Usage("--seedlink: " + why);
            }
            o.seedlinkAsked = true;
        } else if (name == "--http") {
            std::string why;
            if (!seedlink::ParseListenAddress(value, o.httpHost, o.httpPort, why)) {
                return Usage("--http: " + why);
            }
        } else if (name == "--record") {
            if (!ParseForm(value, o.form)) {
                return Usage("--record takes dadisp, css, seisan or mseed, not '" + value + "'");
            }
            o.record = true;
        } else if (name == "--minutes") {
            o.minutes = value;
        } else if (name == "--dir") {
            o.directory = value;
        } else if (name == "--channels") {
            if (!ParseChannelList(value, o.channels)) {
                return Usage("--channels takes channel numbers 1 to 16 separated by commas, not '" +
                             value + "'");
            }
        } else if (name == "--ring-file") {
            if (value.empty()) {
                return Usage("--ring-file takes a path, or none for a ring in memory only");
            }
            o.ringFile = value;
        } else if (name == "--network") {
            if (!recording::IsValidSeedNetworkCode(value)) {
                return Usage("--network takes one or two capital letters or digits, not '" + value +
                             "'");
            }
            o.network = value;
        } else if (name == "--station") {
            const std::string code = recording::SeedStationCode(value, 0);
            if (value.empty() || code != value) {
                return Usage("--station takes one to five capital letters or digits, not '" +
                             value + "'");
            }
            o.station = value;
        } else if (name == "--components") {
            std::string why;
            if (!recording::ParseMseedComponentMap(value, o.components, &why)) {
                return Usage("--components: " + why);
            }
        } else {
            return Usage("unexpected argument '" + name + "'");
        }
    }
    if (o.record && o.minutes.empty()) {
        return Usage("--record needs --minutes M");
    }
    if (!o.record && (!o.minutes.empty() || !o.directory.empty() || !o.channels.empty())) {
        return Usage("--minutes, --dir and --channels belong to --record");
    }
    if (o.record && recording::ParseRecordingMinutes(o.minutes) == 0) {
        std::cerr << "nereid serve: " << recording::kRecordingTimeInvalidText
                  << " (1 to 720 minutes)\n";
        return kExitUsage;
    }
    if (std::string why; !CheckDataLinkOptions(o.datalink, why)) {
        return Usage(why);
    }
    if (o.retryMaxSeconds < o.retrySeconds) {
        o.retryMaxSeconds = o.retrySeconds;
    }
    return kExitOk;
}

std::string DefaultRingFile(const std::string& network, const std::string& station) {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (state != nullptr && state[0] == '/') {
        folder = state;
    } else if (home != nullptr && home[0] != '\0') {
        folder = std::string(home) + "/.local/state";
    } else {
        return "";
    }
    return folder + "/nereid/seedlink-" + network + "." + station + ".ring";
}

} // namespace nereid::cli
