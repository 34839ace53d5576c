#include "link/transaction.h"

namespace nereid::link {

CTransaction::CTransaction(CInstrumentLink& link) : m_Link(link) {}

CTransaction::~CTransaction() {
    if (m_Waiting) {
        m_Link.SetTransactionWaiting(false);
    }
}

int CTransaction::Send(std::uint8_t code, const CommandRecord& record, int pollLimit) {
    ++m_Generation;
    m_Code = code;
    m_Limit = pollLimit;
    m_Ticks = 0;
    m_Waiting = true;
    // Set before the frame goes out, so that an answer read by the receiver thread at once is
    // kept for this transaction.
    m_Link.SetTransactionWaiting(true);
    return m_Link.SendCommand(code, record);
}

int CTransaction::Tick() {
    if (!m_Waiting) {
        return kTransactionIdle;
    }
    ++m_Ticks;
    if (m_Ticks > m_Limit) {
        Finish(kTransactionNoResponse);
        return kTransactionNoResponse;
    }
    std::uint8_t expected = static_cast<std::uint8_t>(m_Code - 0x60);
    const int result = m_Link.ReadFrame(expected, m_Answer);
    if (result == kRefused) {
        Finish(kTransactionRejected);
        return kTransactionRejected;
    }
    if (result != kAccepted) {
        return kTransactionWaiting; // nothing yet, another frame, CRC error, ACK, NAK, 0xE4
    }
    const unsigned generation = m_Generation;
    if (m_AnswerHook) {
        m_AnswerHook(m_Code, m_Answer);
    }
    if (m_Generation != generation && m_Waiting) {
        return kTransactionWaiting; // the hook chained a follow-up command
    }
    Finish(kTransactionAccepted);
    return kTransactionAccepted;
}

void CTransaction::Cancel() {
    if (m_Waiting) {
        m_Waiting = false;
        m_Link.SetTransactionWaiting(false);
    }
}

void CTransaction::Finish(int outcome) {
    m_Waiting = false;
    m_Link.SetTransactionWaiting(false);
    m_Outcome = outcome;
    m_NoResponseRun = outcome == kTransactionNoResponse ? m_NoResponseRun + 1 : 0;
    if (m_FinishHook) {
        m_FinishHook(outcome);
    }
}

const char* CTransaction::ResultText() const {
    if (m_Waiting) {
        return "";
    }
    switch (m_Outcome) {
    case kTransactionAccepted:
        return "Accepted";
    case kTransactionRejected:
        return "Rejected";
    case kTransactionNoResponse:
        return "No Response";
    default:
        return "";
    }
}

} // namespace nereid::link
