#include "cli/setup_session.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "cli/connect.h"

namespace nereid::cli {

CSetupSession::CSetupSession()
    : m_Ports(m_Link), m_Search(m_Link, m_Ports), m_Transaction(m_Link) {}

CSetupSession::~CSetupSession() {
    m_Transaction.Cancel();
    m_Link.Close();
}

int CSetupSession::Connect(const GlobalOptions& options) {
    return ConnectToRecorder(options, m_Link, m_Search, std::cerr, std::cerr);
}

int CSetupSession::Transact(std::uint8_t code, const link::CommandRecord& record, int pollLimit) {
    m_Transaction.Send(code, record, pollLimit);
    int result = link::kTransactionWaiting;
    auto next = std::chrono::steady_clock::now();
    while (result == link::kTransactionWaiting) {
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
        result = m_Transaction.Tick();
    }
    return result;
}

std::vector<recording::StreamEntry> CSetupSession::Streams() const {
    recording::CStreamList list;
    list.SetStreams(m_Search.StreamCount());
    return list.Streams();
}

int ExitCodeOf(int transactionResult) {
    switch (transactionResult) {
    case link::kTransactionAccepted:
        return kExitOk;
    case link::kTransactionRejected:
        return kExitRefused;
    default:
        return kExitNoAnswer;
    }
}

bool ParseInteger(const std::string& text, long long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end != text.c_str() && *end == '\0';
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

bool SplitAssignment(const std::string& text, std::string& key, std::string& value) {
    const std::size_t at = text.find('=');
    if (at == std::string::npos || at == 0) {
        return false;
    }
    key = text.substr(0, at);
    value = text.substr(at + 1);
    return true;
}

} // namespace nereid::cli
