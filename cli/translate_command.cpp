#include "cli/translate_command.h"

#include "cli/mseed_options.h"
#include "recording/hlcp_translator.h"
#include "recording/mapped_file.h"
#include "recording/regular_file.h"

#include <cstring>
#include <iostream>
#include <memory>

namespace nereid::cli {

namespace {

constexpr int kExitUsageCode = 2;

void Usage(std::ostream& out) {
    out << "Usage: nereid translate --format dadisp|seisan|ascii|hlcp|css|mseed [--out DIR]\n"
           "       "
        << kMseedOptionsUsage << " FILE...\n";
}

int FormOf(const std::string& name) {
    static const char* const kNames[] = {"dadisp", "seisan", "ascii", "hlcp", "css", "mseed"};
    for (int i = 0; i < 6; ++i) {
        if (name == kNames[i]) {
            return i;
        }
    }
    return -1;
}

} // namespace

int RunTranslateCommand(const std::vector<std::string>& args) {
    int form = -1;
    std::string out = ".";
    std::vector<std::string> files;
    recording::SMseedOptions mseed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string why;
        if (const int taken = TakeMseedOption(args, i, mseed, why); taken != 0) {
            if (taken < 0) {
                std::cerr << "nereid translate: " << why << "\n";
                return kExitUsageCode;
            }
            continue;
        }
        if ((a == "--format" || a == "--out") && i + 1 >= args.size()) {
            std::cerr << "nereid translate: " << a << " needs a value\n";
            return kExitUsageCode;
        }
        if (a == "--format") {
            form = FormOf(args[++i]);
            if (form < 0) {
                std::cerr << "nereid translate: unknown format '" << args[i] << "'\n";
                Usage(std::cerr);
                return kExitUsageCode;
            }
        } else if (a == "--out") {
            out = args[++i];
            while (out.size() > 1 && out.back() == '/') {
                out.pop_back();
            }
        } else if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "nereid translate: unknown option '" << a << "'\n";
            Usage(std::cerr);
            return kExitUsageCode;
        } else {
            files.push_back(a);
        }
    }
    if (form < 0 || files.empty()) {
        Usage(std::cerr);
        return kExitUsageCode;
    }
    int result = 0;
    for (const std::string& path : files) {
        std::shared_ptr<const recording::CMappedFile> source;
        int error = 0;
        if (recording::CMappedFile::Open(path, source, error) != recording::CMappedFile::kOk) {
            std::cerr << path << ": " << recording::FileErrorText(error) << "\n";
            result = kExitFileRefused;
            continue;
        }
        recording::HlcpTranslator t(form, source->Size(), path, out);
        t.SetMseedOptions(mseed.network, mseed.components, 0);
        if (!t.PrepareOutput()) {
            std::cerr << recording::HlcpTranslator::kMappedFileText << "\n";
            return kExitFileRefused;
        }
        if (recording::FeedMappedFile(t, *source) != 1) {
            std::cerr << path << ": " << t.Message() << "\n";
            result = kExitFileRefused;
        } else if (t.Write() != 1) {
            std::cerr << t.Message();
            result = kExitFileRefused;
        } else {
            for (const std::string& written : t.WrittenPaths()) {
                std::cout << written << "\n";
            }
            if (t.PendingBytes() > 0) {
                std::cerr << path << ": the last " << t.PendingBytes()
                          << " byte(s) do not make a whole sample and were left out\n";
            }
        }
        t.ReleaseOutput();
    }
    return result;
}

} // namespace nereid::cli
