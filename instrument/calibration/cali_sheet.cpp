#include "instrument/calibration/cali_sheet.h"

#include <QPushButton>
#include <QResizeEvent>

#include "instrument/calibration/cal_page.h"
#include "instrument/sheet/result_indicator.h"
#include "link/answer_records.h"
#include "link/dialogs/message_box.h"
#include "link/instrument_link.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

CCaliSheet::CCaliSheet(const SheetContext& context, QWidget* parent)
    : CPropertySheet(kCalibrationSheet, "Calibration", context, parent) {
    m_Imm = new CImmPage(this);
    m_Sch = new CSchPage(this);
    for (CCalPage* page : {static_cast<CCalPage*>(m_Imm), static_cast<CCalPage*>(m_Sch)}) {
        page->SetLink(context.link);
        AddPage(page);
        connect(page, &CCalPage::message, this,
                [this](const QString& caption, const QString& text) {
                    link::ShowMessage(this, caption, text);
                });
    }
    connect(m_Sch, &CCalPage::firstActivated, this, [this] { QueryRun(*m_Sch); });
    connect(m_Sch, &CCalPage::indexChanged, this, [this] { QueryRun(*m_Sch); });
    SetButtonTexts("Send", "CLOSE", "HELP");
    disconnect(HelpButton(), &QPushButton::clicked, this, nullptr);
    connect(HelpButton(), &QPushButton::clicked, this,
            [this] { ShowHelp(kCalibrationSheetHelpTopic); });
    m_Delay.setSingleShot(true);
    m_Delay.setInterval(kOpeningDelayMs);
    connect(&m_Delay, &QTimer::timeout, this, [this] { DelayTick(); });
    resize(760, 480);
}

void CCaliSheet::OnOpening() {
    // The form of the next 0x8C is the recorder's to say again at every opening.
    Context().link->SetLongCalibrationAnswer(false);
    const int model = LatchedModelCode();
    std::vector<recording::StreamEntry> streams;
    if (Context().streams != nullptr) {
        streams = Context().streams->Streams();
    }
    const int count = static_cast<int>(streams.size() / 2);
    m_Imm->Configure(model, streams, count);
    m_Sch->Configure(model, streams, count);
    PlaceChrome();
    RunTimer(m_Delay, true, m_DelayActive);
}

void CCaliSheet::DelayTick() {
    RunTimer(m_Delay, false, m_DelayActive);
    QueryRun(*m_Imm);
}

void CCaliSheet::QueryRun(CCalPage& page) {
    m_QueryPage = &page;
    const CalCommand query = page.CalModel().QueryCommand();
    Transact(query.code, query.record);
}

void CCaliSheet::OnAnswer(std::uint8_t code, const link::FrameRecord& answer) {
    if (code == kGetCalibrationCode) {
        if (m_QueryPage != nullptr && m_QueryPage->Model().ShowAnswer(answer) == 1) {
            m_QueryPage->Refresh();
        }
        return;
    }
    // An accepted start or cancel: both pages are what the recorder holds now.
    m_Imm->CalModel().SetModified(false);
    m_Sch->CalModel().SetModified(false);
}

void CCaliSheet::OnClosing() {
    RunTimer(m_Delay, false, m_DelayActive);
}

void CCaliSheet::resizeEvent(QResizeEvent* event) {
    CPropertySheet::resizeEvent(event);
    PlaceChrome();
}

// The buttons and indicator of the Configuration sheet: three buttons of width
// b = (w - 3*15 - 125) / 3 from x = 125, 25 px above the bottom.
void CCaliSheet::PlaceChrome() {
    const int w = width();
    const int h = height();
    const int b = (w - 3 * 15 - 125) / 3;
    ApplyButton()->setGeometry(125, h - 25, b, 20);
    CloseButton()->setGeometry(140 + b, h - 25, b, 20);
    HelpButton()->setGeometry(155 + 2 * b, h - 25, b, 20);
    Indicator()->setGeometry(2, h - 37, 108, 37);
}

} // namespace nereid::instrument
