#include "cli/upload_commands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

#include "cli/mseed_options.h"
#include "cli/translate_command.h"
#include "cli/upload_session.h"
#include "recording/hlcp_translator.h"

namespace nereid::cli {

namespace {

using Clock = std::chrono::steady_clock;

void Usage(std::ostream& out) {
    out << "Usage: nereid get [--format dadisp|seisan|ascii|hlcp|css|mseed] [--out DIR]\n"
           "       "
        << kMseedOptionsUsage
        << " PATH...\n"
           "  PATH: a recorder file such as A:\\DAY093\\D1234001.093; * and ? match as on the\n"
           "  recorder (A:\\DAY093\\*.*). Names holding S or T are saved as they are.\n";
}

// Exit code of one file's outcome.
int ExitOf(int result) {
    switch (result) {
    case instrument::kUploadAccepted:
        return kExitOk;
    case instrument::kUploadNoResponse:
    case instrument::kUploadNotSent:
        return kExitNoAnswer;
    case instrument::kUploadRejected:
    case instrument::kUploadOutOfSequence:
        return kExitRefused;
    case instrument::kUploadAborted:
        return kExitInterrupted;
    default:
        return kExitFileRefused;
    }
}

// Keeps the first failure's exit code; an interruption wins.
void Worsen(int& exit, int code) {
    if (code == kExitInterrupted || (exit == kExitOk && code != kExitOk)) {
        exit = code;
    }
}

std::string Duration(double seconds) {
    const int s = static_cast<int>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
    return text;
}

} // namespace

int RunGetCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    int form = recording::HlcpTranslator::kDadisp;
    std::string out = ".";
    std::vector<std::string> paths;
    recording::SMseedOptions mseed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string why;
        if (const int taken = TakeMseedOption(args, i, mseed, why); taken != 0) {
            if (taken < 0) {
                std::cerr << "nereid get: " << why << "\n";
                return kExitUsage;
            }
            continue;
        }
        if ((a == "--format" || a == "--out") && i + 1 >= args.size()) {
            std::cerr << "nereid get: " << a << " needs a value\n";
            return kExitUsage;
        }
        if (a == "--format") {
            form = instrument::ParsePcForm(args[++i]);
            if (form < 0) {
                std::cerr << "nereid get: unknown format '" << args[i] << "'\n";
                Usage(std::cerr);
                return kExitUsage;
            }
        } else if (a == "--out") {
            out = args[++i];
            while (out.size() > 1 && out.back() == '/') {
                out.pop_back();
            }
        } else if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return kExitOk;
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "nereid get: unknown option '" << a << "'\n";
            Usage(std::cerr);
            return kExitUsage;
        } else {
            paths.push_back(a);
        }
    }
    if (paths.empty()) {
        Usage(std::cerr);
        return kExitUsage;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(out, ec)) {
        std::cerr << "nereid get: " << out << " is not a folder\n";
        return kExitFileRefused;
    }

    // From here on Ctrl-C stops the fetch with the abort instead of killing the program.
    InterruptGuard guard;
    UploadSession session;
    if (const int connected = session.Connect(options); connected != kExitOk) {
        return connected;
    }
    int exit = kExitOk;
    std::vector<instrument::UploadItem> items;
    for (const std::string& path : paths) {
        const std::string pattern = ListingPattern(path);
        std::string directory;
        std::string name;
        instrument::SplitRecorderPath(pattern, directory, name);
        std::vector<instrument::RecorderEntry> entries;
        if (const int listed = session.List(pattern, entries); listed != kExitOk) {
            Worsen(exit, listed);
            continue;
        }
        std::size_t files = 0;
        std::size_t folders = 0;
        for (const auto& e : entries) {
            if (e.directory) {
                ++folders;
            } else {
                items.push_back({directory, e.name, e.size});
                ++files;
            }
        }
        if (files == 0) {
            std::cerr << "nereid get: " << path << ": "
                      << (folders > 0 ? "only folders match (their files: FOLDER\\*.*)"
                                      : "no file there")
                      << "\n";
            Worsen(exit, kExitRefused);
        }
    }
    if (guard.Flag().load()) {
        return kExitInterrupted;
    }
    if (items.empty()) {
        return exit;
    }

    const bool terminal = ::isatty(2) == 1;
    const Clock::time_point runStart = Clock::now();
    Clock::time_point fileStart = runStart;
    instrument::UploadProgress last;
    bool progressShown = false;
    auto showProgress = [&] {
        if (!terminal) {
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - runStart).count();
        const double rate = seconds > 0 ? static_cast<double>(last.runBytes) / seconds : 0;
        const double left = rate > 0 && last.runSize > last.runBytes
                                ? static_cast<double>(last.runSize - last.runBytes) / rate
                                : 0;
        std::fprintf(
            stderr, "\r%-12s %9llu/%llu bytes  %7.1f kB/s  %s left   ",
            items[last.index].name.c_str(), static_cast<unsigned long long>(last.fileBytes),
            static_cast<unsigned long long>(last.fileSize), rate / 1000.0, Duration(left).c_str());
        progressShown = true;
    };
    auto clearProgress = [&] {
        if (progressShown) {
            std::fprintf(stderr, "\r%78s\r", "");
            progressShown = false;
        }
    };

    instrument::CUploadEngine::Hooks hooks;
    hooks.fileStarted = [&](std::size_t index, const instrument::UploadItem& item, int) {
        fileStart = Clock::now();
        last = instrument::UploadProgress{};
        last.index = index;
        last.fileSize = item.size;
    };
    hooks.progress = [&](const instrument::UploadProgress& p) { last = p; };
    hooks.fileDone = [&](const instrument::UploadFileOutcome& o) {
        clearProgress();
        const double seconds = std::chrono::duration<double>(Clock::now() - fileStart).count();
        const std::string from = instrument::JoinRecorderPath(items[o.index].directory, o.name);
        std::string written;
        for (const std::string& w : o.written) {
            written += (written.empty() ? "" : ", ") + w;
        }
        if (o.result == instrument::kUploadAccepted) {
            std::printf("%s -> %s (%s, %llu bytes in %.1f s, %.1f kB/s)\n", from.c_str(),
                        written.c_str(), instrument::PcFormTitle(o.form),
                        static_cast<unsigned long long>(o.bytes), seconds,
                        seconds > 0 ? static_cast<double>(o.bytes) / seconds / 1000.0 : 0.0);
        } else if (o.result == instrument::kUploadAborted ||
                   o.result == instrument::kUploadNoResponse) {
            std::fprintf(stderr, "nereid get: %s: %s after %llu of %u bytes%s%s\n", from.c_str(),
                         o.result == instrument::kUploadAborted ? "stopped" : "No Response",
                         static_cast<unsigned long long>(o.bytes), items[o.index].size,
                         written.empty() ? "" : "; kept in ", written.c_str());
        } else {
            std::fprintf(stderr, "nereid get: %s: %s\n", from.c_str(),
                         o.result == instrument::kUploadRejected ? "Rejected by the recorder"
                                                                 : o.message.c_str());
        }
        std::fflush(stdout);
        Worsen(exit, ExitOf(o.result));
    };
    hooks.finished = [&](int operation, int result) {
        if (result == instrument::kUploadMappedFileFailed) {
            std::fprintf(stderr, "nereid get: %s\n", recording::HlcpTranslator::kMappedFileText);
            Worsen(exit, kExitFileRefused);
        } else if (operation == instrument::kUploadAbort && result != instrument::kUploadAccepted) {
            std::fprintf(stderr, "nereid get: the recorder did not confirm the abort\n");
        }
    };
    session.Engine().SetHooks(hooks);
    session.Engine().SetMseedOptions(mseed);

    const int started = session.Engine().StartRetrieve(items, form, out);
    if (started == 1) {
        session.RunUntilIdle(&guard.Flag(), showProgress);
    } else if (started == instrument::kUploadNotSent) {
        std::cerr << "nereid get: the read command could not be sent\n";
        Worsen(exit, kExitNoAnswer);
    }
    clearProgress();
    session.Engine().SetHooks({});
    if (guard.Flag().load()) {
        Worsen(exit, kExitInterrupted);
    }
    return exit;
}

} // namespace nereid::cli
