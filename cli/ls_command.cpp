#include "cli/upload_commands.h"

#include <cstdio>
#include <iostream>

#include "cli/upload_session.h"

namespace nereid::cli {

namespace {

void Usage(std::ostream& out) {
    out << "Usage: nereid ls [--json] [PATH]   (default A:\\*.*)\n";
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.push_back(c);
        }
    }
    return out + "\"";
}

} // namespace

int RunLsCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool json = false;
    std::string path = "A:\\*.*";
    bool havePath = false;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return kExitOk;
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "nereid ls: unknown option '" << a << "'\n";
            Usage(std::cerr);
            return kExitUsage;
        } else if (havePath) {
            std::cerr << "nereid ls: one PATH at most\n";
            return kExitUsage;
        } else {
            path = a;
            havePath = true;
        }
    }
    const std::string pattern = ListingPattern(path);
    UploadSession session;
    if (const int connected = session.Connect(options); connected != kExitOk) {
        return connected;
    }
    std::vector<instrument::RecorderEntry> entries;
    if (const int listed = session.List(pattern, entries); listed != kExitOk) {
        return listed;
    }
    if (json) {
        std::cout << "[";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto& e = entries[i];
            std::cout << (i ? ",\n " : "\n ") << "{\"name\": " << JsonText(e.name)
                      << ", \"directory\": " << (e.directory ? "true" : "false")
                      << ", \"size\": " << e.size << ", \"sizeK\": " << e.sizeK
                      << ", \"time\": " << JsonText(e.timeText)
                      << ", \"date\": " << JsonText(e.dateText) << "}";
        }
        std::cout << (entries.empty() ? "]\n" : "\n]\n");
        return kExitOk;
    }
    std::printf("%-14s%8s  %-9s %s\n", "File Name", "Size-k", "Time", "Date");
    for (const auto& e : entries) {
        if (e.directory) {
            std::printf("%-14s%8s  %-9s %s\n", e.name.c_str(), "<DIR>", e.timeText.c_str(),
                        e.dateText.c_str());
        } else {
            std::printf("%-14s%8u  %-9s %s\n", e.name.c_str(), e.sizeK, e.timeText.c_str(),
                        e.dateText.c_str());
        }
    }
    return kExitOk;
}

} // namespace nereid::cli
