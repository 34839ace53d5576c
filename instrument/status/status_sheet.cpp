#include "instrument/status/status_sheet.h"

#include <QPushButton>

#include "instrument/status/status_pages.h"
#include "link/answer_records.h"

namespace nereid::instrument {

CStatusSheet::CStatusSheet(const SheetContext& context, QWidget* parent)
    : CPropertySheet(kStatusSheet, "Status", context, parent), m_Hard(new CHardPage),
      m_Sta(new CStaPage), m_Cloc(new CClocPage), m_Drives(new CDriveStatusPage) {
    AddPage(m_Hard);
    AddPage(m_Sta);
    AddPage(m_Cloc);
    AddPage(m_Drives);
    m_RefreshTimer.setInterval(kRefreshMs);
    connect(&m_RefreshTimer, &QTimer::timeout, this, [this] { RefreshTick(); });
    resize(600, 430);
}

void CStatusSheet::OnOpening() {
    m_Sta->Health().SetModelCode(LatchedModelCode());
    Cycle().RestartRefresh();
    TransactQuery(0xB0);
    RunTimer(m_RefreshTimer, true, m_RefreshActive);
}

void CStatusSheet::SendActiveQuery() {
    // The query follows the active page; a page this code does not know asks for GPS.
    const CSheetPage* page = ActivePage();
    const int id = page != nullptr ? page->DialogId() : kGpsPage;
    std::uint8_t code = 0xB4;
    if (id == kStateOfHealthPage)
        code = 0xB1;
    else if (id == kHardwarePage)
        code = 0xB0;
    else if (id == kDriveStatusPage)
        code = 0xB7;
    TransactQuery(code);
}

void CStatusSheet::RefreshTick() {
    if (!m_RefreshActive)
        return;
    SendActiveQuery();
}

void CStatusSheet::OnAnswer(std::uint8_t code, const link::FrameRecord& answer) {
    // Routed by the code sent, not by the page now active.
    CSheetPage* page = Page(StatusPageForCode(code));
    if (page != nullptr && page->Model().ShowAnswer(answer) == 1)
        page->Refresh();
}

void CStatusSheet::OnFinished(int) {
    if (!Cycle().RefreshWanted())
        RunTimer(m_RefreshTimer, false, m_RefreshActive);
}

void CStatusSheet::OnClosing() {
    RunTimer(m_RefreshTimer, false, m_RefreshActive);
}

} // namespace nereid::instrument
