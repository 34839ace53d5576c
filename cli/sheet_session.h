#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "instrument/sheet/model/page_model.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"

namespace nereid::cli {

// A connection for the status and order commands: the direct search, then transactions run
// as the sheets run them (one poll per 100 ms, the Command sheet's 40 polls).
class CSheetSession {
public:
    CSheetSession();
    ~CSheetSession();

    // Finds the recorder. Returns kExitOk, kExitNoPort or kExitNoAnswer (said on `err`).
    int Connect(const GlobalOptions& options, std::ostream& err);

    int ModelCode() const { return m_Search.ModelCode(); }
    int StreamCount() const { return m_Search.StreamCount(); }

    // Sends one command and waits for its answer; an accepted answer goes to `page` (when
    // given) through ShowAnswer. Returns kExitOk (accepted), kExitRefused or kExitNoAnswer.
    int Run(std::uint8_t code, const link::CommandRecord& record,
            instrument::CPageModel* page = nullptr);

private:
    link::CSerialLink m_Link;
    link::CSerialPortControl m_Ports;
    link::CDirectSearch m_Search;
};

// The result line of a transaction's exit code: "Accepted", "Rejected" or "No Response".
const char* ResultLine(int exitCode);

// Prints `fields` as "Label: value" lines (labels without trailing dots, colons and spaces).
void PrintFields(const std::vector<instrument::PageField>& fields, std::ostream& out);

// Appends `fields` to `json` as the members of one JSON object: numbers as numbers (null
// when empty), check boxes as true/false, texts as strings.
void AppendJsonFields(const std::vector<instrument::PageField>& fields, std::string& json);

// `text` as a JSON string literal.
std::string JsonString(const std::string& text);

} // namespace nereid::cli
