#include "instrument/sheet/model/sheet_cycle.h"

namespace nereid::instrument {

int PollLimitOf(SheetKind kind) {
    switch (kind) {
    case kStatusSheet:
        return link::kStatusSheetPolls;
    case kInternalRecordingSheet:
        return link::kInternalRecordingPolls;
    default:
        return link::kSheetPolls;
    }
}

CSheetCycle::CSheetCycle(link::CInstrumentLink& link, SheetKind kind)
    : CSheetCycle(link, kind, PollLimitOf(kind)) {}

CSheetCycle::CSheetCycle(link::CInstrumentLink& link, SheetKind kind, int pollLimit)
    : m_Transaction(link), m_Kind(kind), m_Limit(pollLimit) {
    m_Transaction.SetAnswerHook([this](std::uint8_t code, const link::FrameRecord& answer) {
        if (m_AnswerHook)
            m_AnswerHook(code, answer);
    });
    m_Transaction.SetFinishHook([this](int result) { Finished(result); });
}

int CSheetCycle::Send(std::uint8_t code, const link::CommandRecord& record) {
    m_Started = true;
    return m_Transaction.Send(code, record, m_Limit);
}

int CSheetCycle::SendQuery(std::uint8_t code) {
    return Send(code, link::CommandRecord{});
}

int CSheetCycle::Tick() {
    if (!m_Transaction.Waiting())
        return link::kTransactionIdle;
    m_MarkerStep = (m_MarkerStep + 1) % kMarkerSteps;
    return m_Transaction.Tick();
}

void CSheetCycle::Cancel() {
    m_Transaction.Cancel();
}

const char* CSheetCycle::ResultText() const {
    return m_Transaction.ResultText();
}

void CSheetCycle::RestartRefresh() {
    m_RefreshWanted = true;
}

void CSheetCycle::Finished(int result) {
    if (result == link::kTransactionNoResponse) {
        if (++m_NoAnswerCount > 3) {
            m_NoAnswerCount = 0;
            m_RefreshWanted = false;
        }
    } else if (result == link::kTransactionAccepted) {
        m_NoAnswerCount = 0;
    }
    if (m_FinishHook)
        m_FinishHook(result);
}

} // namespace nereid::instrument
