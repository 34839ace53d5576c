#pragma once

#include <cstdint>
#include <functional>

#include "link/answer_records.h"
#include "link/command_records.h"
#include "link/instrument_link.h"

namespace nereid::link {

// Polls (100 ms ticks) a sheet waits before it gives up. A transaction polls on ticks
// 1..limit and shows "No Response" on tick limit + 1.
constexpr int kStatusSheetPolls = 39; // gives up on tick 40
constexpr int kSheetPolls = 40;       // command, configuration and calibration sheets
constexpr int kInternalRecordingPolls = 300;
constexpr int kUploadListingPolls = 300;
constexpr int kUploadDataPolls = 600;

// Results of CTransaction::Tick.
enum TransactionResult : int {
    kTransactionIdle = 0, // nothing sent, or already finished
    kTransactionWaiting = 2,
    kTransactionAccepted = 1,
    kTransactionRejected = -1,
    kTransactionNoResponse = -3,
};

// One command transaction of a sheet or dialog: Send, then one Tick per 100 ms until the
// answer of type code - 0x60 is accepted or refused, or the poll limit passes. No toolkit: the
// caller's timer drives Tick. While it waits it tells the link, so that the link keeps answers
// pending for it instead of dropping them as orphans.
class CTransaction {
public:
    // Called on acceptance with the command code and the decoded answer. Calling Send from
    // here chains a follow-up command: the transaction keeps waiting for that one and shows
    // nothing yet.
    using AnswerHook = std::function<void(std::uint8_t code, const FrameRecord& answer)>;
    // Called once per finished transaction (accepted without a follow-up, rejected, no
    // response) with the TransactionResult.
    using FinishHook = std::function<void(int result)>;

    explicit CTransaction(CInstrumentLink& link);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    // Sends the command and starts waiting with a fresh tick counter, replacing any pending
    // transaction. pollLimit is one of the k...Polls values. Returns what SendCommand returned
    // (1 written, 0 port closed, -4 refused by the builder); the transaction waits its full
    // limit in every case, since the sheet never resends.
    int Send(std::uint8_t code, const CommandRecord& record, int pollLimit);

    // One 100 ms tick. Returns kTransactionWaiting while waiting, else the outcome of this
    // tick (kTransactionAccepted, kTransactionRejected, kTransactionNoResponse), or
    // kTransactionIdle when nothing is pending.
    int Tick();

    // Stops waiting without an outcome (the sheet was closed).
    void Cancel();

    void SetAnswerHook(AnswerHook hook) { m_AnswerHook = std::move(hook); }
    void SetFinishHook(FinishHook hook) { m_FinishHook = std::move(hook); }

    bool Waiting() const { return m_Waiting; }
    int TickCount() const { return m_Ticks; }
    std::uint8_t Code() const { return m_Code; }
    // Outcome of the last finished transaction (kTransactionIdle before the first).
    int Outcome() const { return m_Outcome; }
    // The result line: "" while waiting, "Accepted", "Rejected" or "No Response".
    const char* ResultText() const;
    // The answer record of the last poll that delivered one.
    const FrameRecord& Answer() const { return m_Answer; }
    // "No Response" outcomes in a row; any other outcome resets it.
    int ConsecutiveNoResponses() const { return m_NoResponseRun; }

private:
    void Finish(int outcome);

    CInstrumentLink& m_Link;
    AnswerHook m_AnswerHook;
    FinishHook m_FinishHook;
    FrameRecord m_Answer;
    std::uint8_t m_Code = 0;
    int m_Limit = 0;
    int m_Ticks = 0;
    bool m_Waiting = false;
    int m_Outcome = kTransactionIdle;
    int m_NoResponseRun = 0;
    unsigned m_Generation = 0; // counts Send calls, to see a follow-up sent from a hook
};

} // namespace nereid::link
