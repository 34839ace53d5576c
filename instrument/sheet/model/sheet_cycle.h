#pragma once

#include <cstdint>
#include <functional>

#include "link/transaction.h"

namespace nereid::instrument {

// The sheets and dialogs that run transactions; each has its poll limit.
enum SheetKind : int {
    kStatusSheet = 0,
    kCommandSheet = 1,
    kConfigurationSheet = 2,
    kCalibrationSheet = 3,
    kInternalRecordingSheet = 4,
};

// Polls of the 100 ms timer a sheet of this kind waits: the Status sheet gives up on the 40th
// poll, the Command, Configuration and Calibration sheets after it, the Internal Recording sheet
// after the 300th.
int PollLimitOf(SheetKind kind);

// Steps per turn of the waiting marker on its ellipse.
constexpr int kMarkerSteps = 25;

// The send-and-wait cycle of one sheet, without a toolkit: the sheet's 100 ms timer calls
// Tick, and the sheet shows ResultText and MarkerStep in its result indicator. A new Send
// replaces a transaction still waiting (the poll counter restarts at 0). The Status sheet's
// automatic refresh is kept here as a wanted/not-wanted flag: it ends after the fourth
// "No Response" in a row, and the sheet stops its 6 s timer when RefreshWanted turns false.
class CSheetCycle {
public:
    // Called with the pending code and the decoded answer when an answer is accepted, before
    // the result is shown. Calling Send from it chains a follow-up (the cycle keeps waiting).
    using AnswerHook = std::function<void(std::uint8_t code, const link::FrameRecord& answer)>;
    // Called once per finished transaction with its TransactionResult.
    using FinishHook = std::function<void(int result)>;

    CSheetCycle(link::CInstrumentLink& link, SheetKind kind);
    CSheetCycle(link::CInstrumentLink& link, SheetKind kind, int pollLimit);

    // Starts a transaction: the indicator goes to waiting, the command is sent, the poll
    // counter restarts. Returns what SendCommand returned (1, 0 port closed, -4 refused by the
    // builder); in every case the cycle waits its limit and then shows "No Response".
    int Send(std::uint8_t code, const link::CommandRecord& record);
    // A query: a command whose payload is the header word alone.
    int SendQuery(std::uint8_t code);

    // One poll. Returns the link::TransactionResult of this tick (kTransactionWaiting while the
    // wait goes on, kTransactionIdle when nothing is pending). Advances the marker while
    // waiting.
    int Tick();

    // Stops waiting without an outcome (the sheet closed); the indicator keeps its text.
    void Cancel();

    void SetAnswerHook(AnswerHook hook) { m_AnswerHook = std::move(hook); }
    void SetFinishHook(FinishHook hook) { m_FinishHook = std::move(hook); }

    SheetKind Kind() const { return m_Kind; }
    int PollLimit() const { return m_Limit; }
    bool Waiting() const { return m_Transaction.Waiting(); }
    // True once a transaction was started (the indicator is shown from then on).
    bool Started() const { return m_Started; }
    int PollCount() const { return m_Transaction.TickCount(); }
    std::uint8_t PendingCode() const { return m_Transaction.Code(); }
    // Outcome of the last finished transaction (kTransactionIdle before the first).
    int Outcome() const { return m_Transaction.Outcome(); }
    // "" while waiting or before the first transaction, else "Accepted", "Rejected" or
    // "No Response".
    const char* ResultText() const;
    // Position of the waiting marker, 0..kMarkerSteps - 1.
    int MarkerStep() const { return m_MarkerStep; }
    const link::FrameRecord& Answer() const { return m_Transaction.Answer(); }

    // Status sheet: consecutive "No Response" results (reset by "Accepted" and when the
    // refresh stops; "Rejected" leaves it).
    int NoAnswerCount() const { return m_NoAnswerCount; }
    bool RefreshWanted() const { return m_RefreshWanted; }
    // Opening the Status sheet wants the refresh again.
    void RestartRefresh();

private:
    void Finished(int result);

    link::CTransaction m_Transaction;
    SheetKind m_Kind;
    int m_Limit;
    bool m_Started = false;
    int m_MarkerStep = 0;
    int m_NoAnswerCount = 0;
    bool m_RefreshWanted = true;
    AnswerHook m_AnswerHook;
    FinishHook m_FinishHook;
};

} // namespace nereid::instrument
