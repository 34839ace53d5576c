#include "cli/config_command.h"

#include <iostream>
#include <map>

#include "cli/connect.h"
#include "cli/transaction_wait.h"
#include "instrument/configuration/model/com_page_model.h"
#include "instrument/configuration/model/config_fields.h"
#include "instrument/configuration/model/config_model.h"
#include "instrument/configuration/model/config_settings.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"

namespace nereid::cli {

namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void PrintText(const std::vector<instrument::ConfigField>& fields, std::ostream& out) {
    std::string page;
    for (const instrument::ConfigField& f : fields) {
        if (f.page != page) {
            page = f.page;
            out << "[" << page << "]\n";
        }
        out << f.key << "=" << f.value << "\n";
    }
}

void PrintJson(const std::vector<instrument::ConfigField>& fields, std::ostream& out) {
    out << "{";
    std::string page;
    bool firstField = true;
    for (const instrument::ConfigField& f : fields) {
        if (f.page != page) {
            out << (page.empty() ? "\n  " : "\n  },\n  ") << JsonString(f.page) << ": {";
            page = f.page;
            firstField = true;
        }
        out << (firstField ? "\n    " : ",\n    ") << JsonString(f.key) << ": "
            << (f.number ? f.value : JsonString(f.value));
        firstField = false;
    }
    out << (page.empty() ? "}\n" : "\n  }\n}\n");
}

std::map<std::string, std::string> ByKey(const std::vector<instrument::ConfigField>& fields) {
    std::map<std::string, std::string> values;
    for (const instrument::ConfigField& f : fields) {
        values[f.key] = f.value;
    }
    return values;
}

// The recorder's configuration, read at connection, in the page models of its model.
struct Connection {
    link::CSerialLink link;
    link::CSerialPortControl ports{link};
    link::CDirectSearch search{link, ports};
    recording::CStreamList streams;
    instrument::CConfigModel model;

    int Open(const GlobalOptions& options) {
        if (const int connected = ConnectToRecorder(options, link, search, std::cerr, std::cerr);
            connected != kExitOk) {
            return connected;
        }
        if (!search.HasConfiguration()) {
            std::cerr << "nereid: " << link::kNoConfigurationText << "\n";
            return kExitNoConfiguration;
        }
        streams.SetStreams(search.StreamCount());
        model.Open(search.ModelCode(), streams);
        model.ShowAnswer(search.Configuration());
        return kExitOk;
    }
};

int ExitOfResult(int result) {
    return result == link::kTransactionRejected ? kExitRefused : kExitNoAnswer;
}

int Show(const GlobalOptions& options, bool json) {
    Connection c;
    if (const int opened = c.Open(options); opened != kExitOk) {
        return opened;
    }
    const auto fields = instrument::ConfigurationFields(c.model);
    if (json) {
        PrintJson(fields, std::cout);
    } else {
        PrintText(fields, std::cout);
    }
    return kExitOk;
}

int Set(const GlobalOptions& options, const std::vector<std::string>& args) {
    std::vector<instrument::ConfigSetting> settings;
    for (const std::string& a : args) {
        instrument::ConfigSetting s;
        if (instrument::ParseConfigSetting(a, s) != 1) {
            std::cerr << "nereid config set: expected KEY=VALUE, not '" << a << "'\n";
            return kExitUsage;
        }
        settings.push_back(s);
    }
    if (settings.empty()) {
        std::cerr << "nereid config set: give at least one KEY=VALUE (keys: nereid config show)\n";
        return kExitUsage;
    }

    Connection c;
    if (const int opened = c.Open(options); opened != kExitOk) {
        return opened;
    }
    const auto before = ByKey(instrument::ConfigurationFields(c.model));
    instrument::ConfigSettingReport report;
    const int applied = instrument::ApplyConfigSettings(c.model, settings, report);
    for (const std::string& note : report.notes) {
        std::cerr << "nereid config set: " << note << "\n";
    }
    if (applied != 1) {
        for (const std::string& refusal : report.refusals) {
            std::cerr << "nereid config set: refused " << refusal << "\n";
        }
        std::cerr << "nereid config set: nothing sent\n";
        return kExitUsage;
    }
    link::ConfigurationRecord record;
    if (c.model.Assemble(record) != 1) {
        std::cerr << "nereid config set: " << instrument::kInvalidEntryText
                  << " (a port's baud rate, protocol or data format is not one this program "
                     "knows); nothing sent\n";
        return kExitNoConfiguration;
    }

    link::CTransaction transaction(c.link);
    int result = RunSheetTransaction(transaction, instrument::kSetConfiguration,
                                     link::CommandRecord{0, record});
    if (result != link::kTransactionAccepted) {
        std::cerr << "nereid config set: " << transaction.ResultText() << "\n";
        return ExitOfResult(result);
    }
    c.model.RememberSent(record);
    const int localBaud = c.model.OnAccepted(c.streams);
    const std::uint16_t oldLocal = c.search.Configuration().portWords[0];
    if (((oldLocal >> 1) & 0x7) != ((record.portWords[0] >> 1) & 0x7)) {
        std::cerr << "nereid config set: the Local port now runs at " << localBaud << " baud\n";
    }
    std::cout << "Accepted\n";

    result = RunSheetTransaction(transaction, instrument::kGetConfiguration, link::CommandRecord{});
    const auto* readBack = std::get_if<link::ConfigurationRecord>(&transaction.Answer().decoded);
    if (result != link::kTransactionAccepted || readBack == nullptr) {
        std::cerr << "nereid config set: sent and accepted, but reading it back: "
                  << transaction.ResultText() << "\n";
        return ExitOfResult(result);
    }
    instrument::CConfigModel after;
    after.Open(c.search.ModelCode(), c.streams);
    after.ShowAnswer(*readBack);
    const auto now = ByKey(instrument::ConfigurationFields(after));
    instrument::CConfigModel sentModel;
    sentModel.Open(c.search.ModelCode(), c.streams);
    sentModel.ShowAnswer(record);
    const auto sent = ByKey(instrument::ConfigurationFields(sentModel));

    int changes = 0;
    for (const auto& [key, value] : now) {
        const auto old = before.find(key);
        if (old == before.end() || old->second != value) {
            std::cout << key << ": " << (old == before.end() ? "-" : old->second) << " -> " << value
                      << "\n";
            ++changes;
        }
    }
    if (changes == 0) {
        std::cout << "no change\n";
    }
    int exitCode = kExitOk;
    for (const auto& [key, value] : sent) {
        const auto held = now.find(key);
        if (held == now.end() || held->second != value) {
            std::cerr << "nereid config set: the recorder holds " << key << "="
                      << (held == now.end() ? "-" : held->second) << ", not the " << value
                      << " sent\n";
            exitCode = kExitNoConfiguration;
        }
    }
    return exitCode;
}

} // namespace

int RunConfigCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "show") {
        bool json = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--json") {
                json = true;
            } else {
                std::cerr << "nereid config show: unexpected argument '" << args[i] << "'\n";
                return kExitUsage;
            }
        }
        return Show(options, json);
    }
    if (!args.empty() && args[0] == "set") {
        return Set(options, std::vector<std::string>(args.begin() + 1, args.end()));
    }
    std::cerr << "Usage: nereid config show [--json] | nereid config set KEY=VALUE...\n";
    return kExitUsage;
}

} // namespace nereid::cli
