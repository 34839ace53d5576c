#include "cli/ir_command.h"

#include <iostream>
#include <map>

#include "cli/ir_keys.h"
#include "cli/ir_values.h"
#include "cli/setup_session.h"
#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/drive_names.h"

namespace nereid::cli {

namespace {

void Usage() {
    std::cerr << "usage: nereid ir show [--json]\n"
                 "       nereid ir set KEY=VALUE...   (the keys 'nereid ir show' prints)\n"
                 "       nereid ir station NAME\n";
}

// Reads the drive status and then the setup, as the sheet does when it opens. Returns a
// TransactionResult; on acceptance `setup` and `drives` hold what the recorder said.
int ReadSetup(CSetupSession& session, instrument::CDriveNames& drives,
              instrument::CIRSetupModel& setup, const char* what) {
    const link::CommandRecord empty;
    drives.ClearRemovable();
    int result =
        session.Transact(instrument::kReadDriveStatusCode, empty, link::kInternalRecordingPolls);
    if (result == link::kTransactionAccepted) {
        const auto* status = std::get_if<link::DriveStatus>(&session.Answer().decoded);
        if (status != nullptr) {
            drives.ApplyDriveStatus(*status);
        }
        result = session.Transact(instrument::kReadSetupCode, empty, link::kInternalRecordingPolls);
    }
    if (result != link::kTransactionAccepted) {
        std::cerr << "nereid ir: " << what << ": " << session.ResultText() << "\n";
        setup.SetSetupReceived(false);
        return result;
    }
    const auto* record = std::get_if<link::InternalRecordingRecord>(&session.Answer().decoded);
    if (record == nullptr) {
        return link::kTransactionNoResponse;
    }
    setup.Decode(*record);
    return result;
}

int SetKeys(CSetupSession& session, const KeyValues& keys) {
    instrument::CDriveNames drives;
    instrument::CIRSetupModel setup;
    int result = ReadSetup(session, drives, setup, "reading the setup");
    if (result != link::kTransactionAccepted) {
        return ExitCodeOf(result);
    }
    const KeyValues before = RenderSetup(setup);
    bool refused = false;
    for (const auto& [key, value] : keys) {
        std::string note, error;
        if (ApplySetupKey(setup, drives, key, value, note, error) != 1) {
            std::cerr << "nereid ir set: " << key << "=" << value << ": " << error << "\n";
            refused = true;
        } else if (!note.empty()) {
            std::cerr << "nereid ir set: " << key << ": " << note << "\n";
        }
    }
    // Only the windows the keys changed are checked, as the Window page checks the window the
    // operator edited; the others go back as the recorder holds them (an unused one may be
    // all zero). Nothing is corrected: a window that fails is refused.
    for (int w = 0; w < instrument::kRecordingWindows; ++w) {
        std::string message;
        if (setup.window.CheckWindow(w, message) != 1) {
            const instrument::IRWindow& window =
                setup.window.edit.windows[static_cast<std::size_t>(w)];
            std::cerr << "nereid ir set: window " << w + 1 << ": " << message << " (duration "
                      << SpanText(window.duration) << ", interval " << SpanText(window.interval)
                      << ")\n";
            refused = true;
        }
    }
    std::string message;
    if (refused || setup.PrepareSend(instrument::kIRContinuousPage, message) != 1 ||
        setup.PrepareSend(instrument::kIREventPage, message) != 1) {
        std::cerr << "nereid ir set: nothing sent\n";
        return kExitUsage;
    }
    link::CommandRecord command;
    command.params = setup.Encode();
    result = session.Transact(instrument::kWriteSetupCode, command, link::kInternalRecordingPolls);
    std::cout << "Send: " << session.ResultText() << "\n";
    if (result != link::kTransactionAccepted) {
        return ExitCodeOf(result);
    }
    instrument::CIRSetupModel readBack;
    result = ReadSetup(session, drives, readBack, "reading back");
    if (result != link::kTransactionAccepted) {
        return ExitCodeOf(result);
    }
    const KeyValues after = RenderSetup(readBack);
    std::map<std::string, std::string> old(before.begin(), before.end());
    int changes = 0;
    for (const auto& [key, value] : after) {
        if (old[key] != value) {
            std::cout << key << ": " << old[key] << " -> " << value << "\n";
            ++changes;
        }
    }
    if (changes == 0) {
        std::cout << "(no change)\n";
    }
    if (RenderSetup(setup) != after) {
        std::cerr << "nereid ir set: the recorder reports other values than were sent\n";
        return kExitRefused;
    }
    return kExitOk;
}

} // namespace

int RunIrCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.empty()) {
        Usage();
        return kExitUsage;
    }
    const std::string& verb = args[0];
    bool json = false;
    KeyValues keys;
    if (verb == "show") {
        for (std::size_t k = 1; k < args.size(); ++k) {
            if (args[k] != "--json") {
                std::cerr << "nereid ir show: unexpected argument '" << args[k] << "'\n";
                return kExitUsage;
            }
            json = true;
        }
    } else if (verb == "set") {
        for (std::size_t k = 1; k < args.size(); ++k) {
            std::string key, value;
            if (!SplitAssignment(args[k], key, value)) {
                std::cerr << "nereid ir set: expected KEY=VALUE, not '" << args[k] << "'\n";
                return kExitUsage;
            }
            keys.emplace_back(key, value);
        }
        if (keys.empty()) {
            Usage();
            return kExitUsage;
        }
    } else if (verb == "station") {
        if (args.size() != 2 || !instrument::CIRStationModel::ValidText(args[1])) {
            std::cerr << "nereid ir station: give one name of up to 4 printable characters\n";
            return kExitUsage;
        }
        keys.emplace_back("station", args[1]);
    } else {
        Usage();
        return kExitUsage;
    }

    CSetupSession session;
    const int connected = session.Connect(options);
    if (connected != kExitOk) {
        return connected;
    }
    if (verb != "show") {
        return SetKeys(session, keys);
    }
    instrument::CDriveNames drives;
    instrument::CIRSetupModel setup;
    const int result = ReadSetup(session, drives, setup, "reading the setup");
    if (result != link::kTransactionAccepted) {
        return ExitCodeOf(result);
    }
    const KeyValues values = RenderSetup(setup);
    if (json) {
        std::cout << SetupJson(values);
    } else {
        for (const auto& [key, value] : values) {
            std::cout << key << "=" << value << "\n";
        }
    }
    return kExitOk;
}

} // namespace nereid::cli
