#include "cli/sheet_session.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>

#include "cli/connect.h"
#include "instrument/sheet/model/sheet_cycle.h"
#include "link/answer_records.h"

namespace nereid::cli {

CSheetSession::CSheetSession() : m_Ports(m_Link), m_Search(m_Link, m_Ports) {}

CSheetSession::~CSheetSession() {
    m_Link.Close();
}

int CSheetSession::Connect(const GlobalOptions& options, std::ostream& err) {
    return ConnectToRecorder(options, m_Link, m_Search, err, err);
}

int CSheetSession::Run(std::uint8_t code, const link::CommandRecord& record,
                       instrument::CPageModel* page) {
    instrument::CSheetCycle cycle(m_Link, instrument::kCommandSheet);
    cycle.SetAnswerHook([page](std::uint8_t, const link::FrameRecord& answer) {
        if (page != nullptr)
            page->ShowAnswer(answer);
    });
    cycle.Send(code, record);
    // No receiver thread runs here: the link's answer poll itself acknowledges and drops the
    // data frames of a streaming recorder in front of the answer.
    auto next = std::chrono::steady_clock::now();
    int result = link::kTransactionWaiting;
    while (result == link::kTransactionWaiting) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        result = cycle.Tick();
    }
    if (result == link::kTransactionAccepted)
        return kExitOk;
    return result == link::kTransactionRejected ? kExitRefused : kExitNoAnswer;
}

const char* ResultLine(int exitCode) {
    switch (exitCode) {
    case kExitOk:
        return "Accepted";
    case kExitRefused:
        return "Rejected";
    default:
        return "No Response";
    }
}

void PrintFields(const std::vector<instrument::PageField>& fields, std::ostream& out) {
    for (const instrument::PageField& f : fields)
        out << instrument::TrimmedLabel(f.label) << ": " << f.text << "\n";
}

std::string JsonString(const std::string& text) {
    std::string s = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            s += escaped;
        } else {
            s += c;
        }
    }
    return s + "\"";
}

void AppendJsonFields(const std::vector<instrument::PageField>& fields, std::string& json) {
    bool first = true;
    for (const instrument::PageField& f : fields) {
        json += first ? "" : ", ";
        first = false;
        json += JsonString(instrument::TrimmedLabel(f.label)) + ": ";
        switch (f.kind) {
        case instrument::PageField::kFlag:
            json += f.flag ? "true" : "false";
            break;
        case instrument::PageField::kNumber:
            // "+12.345670" is shown with its sign; JSON numbers have none.
            json += f.text.empty() ? "null" : f.text[0] == '+' ? f.text.substr(1) : f.text;
            break;
        default:
            json += JsonString(f.text);
            break;
        }
    }
}

} // namespace nereid::cli
