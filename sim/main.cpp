#include "sim/drive_store.h"
#include "sim/hlcp_file.h"
#include "sim/line_endpoint.h"
#include "sim/options.h"
#include "sim/sim_engine.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace {

std::atomic<bool> g_Stop{false};

void OnSignal(int) {
    g_Stop.store(true);
}

// The folder of a generated drive, removed when the simulator ends.
struct TemporaryFolder {
    std::string path;
    ~TemporaryFolder() {
        if (!path.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    using namespace nereid::sim;
    SimOptions options;
    std::string message;
    const int parsed = ParseOptions(argc, argv, options, message);
    if (parsed == 0) {
        std::fputs(message.c_str(), stdout);
        return 0;
    }
    if (parsed < 0) {
        std::fprintf(stderr, "nereid-sim: %s\n%s", message.c_str(), UsageText().c_str());
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    DriveStore drives;
    TemporaryFolder generated;
    TemporaryFolder storage;
    std::string why;
    if (options.drives.empty()) {
        const std::string base = std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/nereid-sim-drive-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::fprintf(stderr, "nereid-sim: cannot create a folder for drive A in %s\n",
                         base.c_str());
            return 1;
        }
        generated.path = pattern;
        const std::uint32_t start = options.haveStartTime
                                        ? options.startTime
                                        : static_cast<std::uint32_t>(std::time(nullptr));
        const SignalModel signal(options.signalFreq, options.signalAmp, options.noise,
                                 options.seed);
        if (GenerateRecordings(generated.path, start, options.serial, options.station, signal,
                               why) < 0) {
            std::fprintf(stderr, "nereid-sim: %s\n", why.c_str());
            return 1;
        }
        options.drives['A'] = generated.path;
        std::string card = base + "/nereid-sim-drive-XXXXXX";
        if (!mkdtemp(card.data())) {
            std::fprintf(stderr, "nereid-sim: cannot create a folder for drive E in %s\n",
                         base.c_str());
            return 1;
        }
        storage.path = card;
        options.drives['E'] = storage.path;
    }
    for (const auto& [letter, folder] : options.drives) {
        if (drives.SetDrive(letter, folder) < 0) {
            std::fprintf(stderr, "nereid-sim: drive %c: %s is not a folder\n", letter,
                         folder.c_str());
            return 1;
        }
    }

    LineEndpoint line;
    std::string shown;
    if (!options.devicePath.empty()) {
        if (line.OpenDevice(options.devicePath, options.baud, why) < 0) {
            std::fprintf(stderr, "nereid-sim: %s\n", why.c_str());
            return 1;
        }
        shown = options.devicePath;
    } else {
        shown = options.linkPath.empty() ? DefaultLinkPath() : options.linkPath;
        if (line.OpenPty(shown, why) < 0) {
            std::fprintf(stderr, "nereid-sim: %s\n", why.c_str());
            return 1;
        }
    }

    SimEngine engine(options, line, drives);
    std::printf("%s\n", shown.c_str());
    std::fflush(stdout);
    const int result = engine.Run(g_Stop);
    line.RemoveLink();
    return result;
}
