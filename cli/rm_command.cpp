#include "cli/upload_commands.h"

#include <iostream>
#include <string>
#include <unistd.h>

#include "cli/upload_session.h"

namespace nereid::cli {

namespace {

void Usage(std::ostream& out) {
    out << "Usage: nereid rm [--yes] PATH...   (asks before deleting unless --yes)\n";
}

} // namespace

int RunRmCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool yes = false;
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return kExitOk;
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "nereid rm: unknown option '" << a << "'\n";
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
    // Nothing is deleted on a guess: without a terminal to ask on, only --yes deletes.
    if (!yes && ::isatty(0) != 1) {
        std::cerr << "nereid rm: standard input is not a terminal; add --yes to delete "
                     "without asking\n";
        return kExitUsage;
    }

    UploadSession session;
    if (const int connected = session.Connect(options); connected != kExitOk) {
        return connected;
    }
    int exit = kExitOk;
    std::vector<std::string> targets;
    for (const std::string& path : paths) {
        std::string directory;
        std::string name;
        instrument::SplitRecorderPath(path, directory, name);
        if (!instrument::HasWildcard(name)) {
            targets.push_back(path);
            continue;
        }
        std::vector<instrument::RecorderEntry> entries;
        if (const int listed = session.List(path, entries); listed != kExitOk) {
            exit = listed;
            continue;
        }
        for (const auto& e : entries) {
            if (!e.directory) {
                targets.push_back(instrument::JoinRecorderPath(directory, e.name));
            }
        }
    }
    if (targets.empty()) {
        std::cerr << "nereid rm: no file to delete\n";
        return exit == kExitOk ? kExitRefused : exit;
    }
    if (!yes) {
        std::cerr << "Do you really want to delete all selected files in Nereid Instrument?\n";
        for (const std::string& t : targets) {
            std::cerr << "  " << t << "\n";
        }
        std::cerr << "There is no way to recover these files once you delete them. [y/N] ";
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") {
            std::cerr << "nereid rm: nothing deleted\n";
            return kExitOk;
        }
    }

    instrument::CUploadEngine::Hooks hooks;
    hooks.deleted = [&](std::size_t, const std::string& path, int result) {
        if (result == instrument::kUploadAccepted) {
            std::cout << "deleted " << path << "\n";
        } else {
            std::cerr << "nereid rm: " << path << ": Rejected\n";
            exit = kExitRefused;
        }
    };
    int outcome = instrument::kUploadAccepted;
    hooks.finished = [&](int, int result) { outcome = result; };
    session.Engine().SetHooks(hooks);
    if (session.Engine().StartDelete(targets) != 1) {
        std::cerr << "nereid rm: the delete command could not be sent\n";
        return kExitNoAnswer;
    }
    session.RunUntilIdle();
    if (outcome == instrument::kUploadNoResponse) {
        std::cerr << "nereid rm: No Response\n";
        return kExitNoAnswer;
    }
    return exit;
}

} // namespace nereid::cli
