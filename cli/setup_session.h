#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"
#include "link/transaction.h"
#include "recording/stream_list.h"

namespace nereid::cli {

// A connection for the setup commands (cal, ir): the direct search, then one command
// transaction at a time, ticked in real time as a sheet's timer does.
class CSetupSession {
public:
    CSetupSession();
    ~CSetupSession();
    CSetupSession(const CSetupSession&) = delete;
    CSetupSession& operator=(const CSetupSession&) = delete;

    // Connects (progress and messages on standard error). Returns an exit code.
    int Connect(const GlobalOptions& options);

    // Sends `code` and waits up to `pollLimit` ticks of 100 ms. Returns the TransactionResult;
    // the answer of an accepted transaction is in Answer().
    int Transact(std::uint8_t code, const link::CommandRecord& record, int pollLimit);
    const link::FrameRecord& Answer() const { return m_Transaction.Answer(); }
    const char* ResultText() const { return m_Transaction.ResultText(); }

    int ModelCode() const { return m_Search.ModelCode(); }
    int StreamCount() const { return m_Search.StreamCount(); }
    // The channel list of the connection: n primary streams, then n secondary ones.
    std::vector<recording::StreamEntry> Streams() const;
    link::CSerialLink& Link() { return m_Link; }

private:
    link::CSerialLink m_Link;
    link::CSerialPortControl m_Ports;
    link::CDirectSearch m_Search;
    link::CTransaction m_Transaction;
};

// The exit code of a finished transaction: 0 accepted, 4 "Rejected", 1 "No Response".
int ExitCodeOf(int transactionResult);

// Strict number parsing: the whole text must be the number. Return false otherwise.
bool ParseInteger(const std::string& text, long long& value);
bool ParseNumber(const std::string& text, double& value);

// Splits "KEY=VALUE"; false when there is no '=' or the key is empty.
bool SplitAssignment(const std::string& text, std::string& key, std::string& value);

} // namespace nereid::cli
