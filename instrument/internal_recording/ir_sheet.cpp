#include "instrument/internal_recording/ir_sheet.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QTabWidget>

#include "instrument/internal_recording/ir_continuous_page.h"
#include "instrument/internal_recording/ir_event_page.h"
#include "instrument/internal_recording/ir_soh_page.h"
#include "instrument/internal_recording/ir_station_page.h"
#include "instrument/internal_recording/ir_window_page.h"
#include "instrument/sheet/result_indicator.h"
#include "link/answer_records.h"
#include "link/dialogs/message_box.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

CIRSheet::CIRSheet(const SheetContext& context, QWidget* parent)
    : CPropertySheet(kInternalRecordingSheet, "Internal Recording", context, parent) {
    m_Station = new CIRDStationNamePage(m_Setup, this);
    m_Continuous = new CIRDContinuousPage(m_Setup, this);
    m_Event = new CIRDEventPage(m_Setup, this);
    m_Window = new CIRDWindowPage(m_Setup, this);
    m_Soh = new CIRDSOHPage(m_Setup, this);
    m_Status = new CIRDStatusPage(m_Setup, this);
    AddPage(m_Station);
    for (CIRPage* page :
         std::initializer_list<CIRPage*>{m_Continuous, m_Event, m_Window, m_Soh, m_Status}) {
        page->SetDriveNames(&SharedDriveNames());
        AddPage(page);
        connect(page, &CIRPage::message, this, [this](const QString& caption, const QString& text) {
            link::ShowMessage(this, caption, text);
        });
    }
    SetButtonTexts("Send", "Close", "Help");
    disconnect(HelpButton(), &QPushButton::clicked, this, nullptr);
    connect(HelpButton(), &QPushButton::clicked, this,
            [this] { ShowHelp(kInternalRecordingSheetHelpTopic); });
    // Leaving the Window page checks its window first, as a switch of windows does.
    connect(Tabs(), &QTabWidget::currentChanged, this, [this](int index) { OnTabLeft(index); });
    resize(600, 560);
}

void CIRSheet::OnTabLeft(int index) {
    if (m_ShownTab == Tabs()->indexOf(m_Window) && index != m_ShownTab &&
        m_Window->Validate() != 1) {
        const QSignalBlocker quiet(Tabs());
        Tabs()->setCurrentIndex(m_ShownTab);
        return;
    }
    m_ShownTab = index;
}

void CIRSheet::OnOpening() {
    m_ShownTab = 0;
    m_Setup.SetSetupReceived(false);
    const int count = Context().streams != nullptr
                          ? static_cast<int>(Context().streams->Streams().size() / 2)
                          : 6;
    for (CIRPage* page : std::initializer_list<CIRPage*>{m_Continuous, m_Event, m_Window}) {
        page->SetStreamCount(count);
    }
    // Until the drive status says which drives there are, none is offered.
    SharedDriveNames().ClearRemovable();
    RefreshAll();
    PlaceChrome();
    TransactQuery(kReadDriveStatusCode);
}

void CIRSheet::OnAnswer(std::uint8_t code, const link::FrameRecord& answer) {
    if (code == kReadDriveStatusCode) {
        if (const auto* status = std::get_if<link::DriveStatus>(&answer.decoded)) {
            SharedDriveNames().ApplyDriveStatus(*status);
        }
        RefreshAll();
        TransactQuery(kReadSetupCode); // the poll counter starts again
        return;
    }
    if (code == kReadSetupCode) {
        if (const auto* setup = std::get_if<link::InternalRecordingRecord>(&answer.decoded)) {
            m_Setup.Decode(*setup);
        }
    } else if (code == kWriteSetupCode) {
        // What was sent is now what the recorder holds: every page's received copy.
        m_Setup.Decode(m_Setup.LastSent());
    }
    RefreshAll();
}

void CIRSheet::OnFinished(int result) {
    const std::uint8_t code = Cycle().PendingCode();
    if (result != link::kTransactionAccepted &&
        (code == kReadSetupCode || code == kReadDriveStatusCode)) {
        m_Setup.SetSetupReceived(false);
    }
}

void CIRSheet::RefreshAll() {
    for (int i = 0; i < PageCount(); ++i) {
        PageAt(i)->Refresh();
    }
}

void CIRSheet::resizeEvent(QResizeEvent* event) {
    CPropertySheet::resizeEvent(event);
    PlaceChrome();
}

// "Send" and "Close" left of the middle, "Help" right of it; the indicator bottom left.
void CIRSheet::PlaceChrome() {
    const int w = width();
    const int h = height();
    ApplyButton()->setGeometry(w / 2 + 40 - 125, h - 25, 70, 20);
    CloseButton()->setGeometry(w / 2 + 40 - 35, h - 25, 70, 20);
    HelpButton()->setGeometry(w / 2 + 100, h - 25, 70, 20);
    Indicator()->setGeometry(24, h - 35, 104, 35);
}

} // namespace nereid::instrument
