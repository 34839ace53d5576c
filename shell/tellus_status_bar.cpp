#include "shell/tellus_status_bar.h"

#include <algorithm>

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>

namespace nereid::shell {

namespace {

QLabel* Indicator(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("SCRL") + 8);
    // The lock-key states are not available from every Linux display server; the indicators
    // keep their place and stay greyed.
    label->setEnabled(false);
    return label;
}

} // namespace

CTellusStatusBar::CTellusStatusBar(QWidget* parent) : QStatusBar(parent) {
    setSizeGripEnabled(true);
    m_Message = new QLabel("Ready", this);
    m_State = new QLabel(this);
    m_State->setFixedWidth(kStatePaneWidth);
    m_State->setFrameShape(QFrame::Panel);
    m_State->setFrameShadow(QFrame::Sunken);
    m_Connection = new QLabel("Connected: None  ", this);
    m_Connection->setFrameShape(QFrame::Panel);
    m_Connection->setFrameShadow(QFrame::Sunken);
    m_Cap = Indicator("CAP", this);
    m_Num = Indicator("NUM", this);
    m_Scrl = Indicator("SCRL", this);
    m_Destination = new QLabel(this);
    m_Destination->setFrameShape(QFrame::Panel);
    m_Destination->setFrameShadow(QFrame::Sunken);
    m_Destination->hide();
    addWidget(m_Message, 1);
    addPermanentWidget(m_Destination);
    addPermanentWidget(m_State);
    addPermanentWidget(m_Connection);
    addPermanentWidget(m_Cap);
    addPermanentWidget(m_Num);
    addPermanentWidget(m_Scrl);
    m_State->hide();
    m_Progress = new QProgressBar(m_State);
    m_Progress->setRange(0, 100);
    m_Progress->setTextVisible(false);
    m_Progress->hide();
}

void CTellusStatusBar::SetConnectedLayout(bool connected) {
    m_Connected = connected;
    m_StateHeld = false;
    m_State->setFixedWidth(kStatePaneWidth);
    m_State->clear();
    m_State->setVisible(connected);
    if (!connected) {
        m_Connection->setText("Connected: None");
        ShowRecordingProgress(false);
    }
}

QLabel* CTellusStatusBar::Pane(int pane) const {
    QLabel* connected[] = {m_Message, m_State, m_Connection, m_Cap, m_Num, m_Scrl};
    QLabel* other[] = {m_Message, m_Connection, m_Cap, m_Num, m_Scrl};
    if (pane < 0 || pane >= PaneCount())
        return nullptr;
    return m_Connected ? connected[pane] : other[pane];
}

int CTellusStatusBar::SetPaneText(int pane, const QString& text) {
    QLabel* label = Pane(pane);
    if (!label)
        return 0;
    if (label == m_Message)
        clearMessage(); // a menu prompt must not hide the new text
    if (label == m_State && m_StateHeld)
        return 1;
    label->setText(text);
    return 1;
}

void CTellusStatusBar::HoldStatePane(const QString& text) {
    if (!m_Connected)
        return;
    m_StateHeld = true;
    // An address is wider than the state texts: the pane grows to show it whole.
    m_State->setFixedWidth(
        std::max(kStatePaneWidth, m_State->fontMetrics().horizontalAdvance(text) + 12));
    m_State->setText(text);
    m_State->setToolTip("Serving SeedLink on " + text);
}

void CTellusStatusBar::ReleaseStatePane() {
    if (!m_StateHeld)
        return;
    m_StateHeld = false;
    m_State->setFixedWidth(kStatePaneWidth);
    m_State->clear();
    m_State->setToolTip(QString());
}

QString CTellusStatusBar::PaneText(int pane) const {
    QLabel* label = Pane(pane);
    return label ? label->text() : QString();
}

void CTellusStatusBar::ShowRecordingProgress(bool show) {
    m_Progress->setVisible(show && m_Connected);
    PlaceProgress();
}

void CTellusStatusBar::SetRecordingProgress(int percent) {
    m_Progress->setValue(std::clamp(percent, 0, 100));
}

void CTellusStatusBar::SetRecordingDestination(const QString& folder) {
    m_Destination->setText(folder.isEmpty() ? QString() : "Recording to " + folder);
    m_Destination->setToolTip(m_Destination->text());
    m_Progress->setToolTip(m_Destination->text());
    m_Destination->setVisible(!folder.isEmpty());
}

QString CTellusStatusBar::RecordingDestinationText() const {
    return m_Destination->isHidden() ? QString() : m_Destination->text();
}

bool CTellusStatusBar::RecordingProgressShown() const {
    return !m_Progress->isHidden();
}

void CTellusStatusBar::PlaceProgress() {
    // One pixel inside the pane on every side.
    m_Progress->setGeometry(m_State->rect().adjusted(1, 1, -1, -1));
}

void CTellusStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    PlaceProgress();
}

} // namespace nereid::shell
