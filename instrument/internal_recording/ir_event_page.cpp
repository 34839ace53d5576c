#include "instrument/internal_recording/ir_event_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "instrument/internal_recording/ir_continuous_page.h"

namespace nereid::instrument {

namespace {

QComboBox* VoteList(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    for (int v = -10; v <= 10; ++v) {
        combo->addItem(QString::number(v));
    }
    return combo;
}

} // namespace

CIRDEventPage::CIRDEventPage(CIRSetupModel& setup, QWidget* parent)
    : CIRPage(setup, kIREventPage, parent), m_Model(setup.event) {
    m_StartMode = new QComboBox(this);
    for (int m = 0; m < kEventStartModes; ++m) {
        m_StartMode->addItem(kStartModeNames[m]);
    }
    m_Pre = new QLineEdit(this);
    m_Post = new QLineEdit(this);
    m_Max = new QLineEdit(this);
    m_TriggerWindow = new QLineEdit(this);
    m_Total = new QLineEdit(this);
    m_Start.Build(this, false);
    m_Delay = new QLineEdit(this);
    m_DelayUnit = new QComboBox(this);
    for (const char* unit : kTimeUnitNames) {
        m_DelayUnit->addItem(unit);
    }
    m_StartLabel = new QLabel("Start Time:", this);
    m_DelayLabel = new QLabel("Start Delay:", this);
    m_Channels.Build(this);

    int row = 1;
    const std::pair<const char*, QLineEdit*> seconds[] = {{"Pre-Event Length:", m_Pre},
                                                          {"Post-Event Length:", m_Post},
                                                          {"Max Event Length:", m_Max},
                                                          {"Trigger Window:", m_TriggerWindow}};
    m_Grid->addWidget(new QLabel("Start Mode:", this), row, 0);
    m_Grid->addWidget(m_StartMode, row++, 1);
    for (const auto& [label, edit] : seconds) {
        m_Grid->addWidget(new QLabel(label, this), row, 0);
        m_Grid->addWidget(edit, row, 1);
        m_Grid->addWidget(new QLabel("Seconds", this), row++, 2);
    }
    m_Grid->addWidget(new QLabel("Total Event Votes:", this), row, 0);
    m_Grid->addWidget(m_Total, row++, 1);
    m_Grid->addWidget(m_StartLabel, row, 0);
    m_Grid->addWidget(m_Start.box, row++, 1, 1, 2);
    m_Grid->addWidget(m_DelayLabel, row, 0);
    m_Grid->addWidget(m_Delay, row, 1);
    m_Grid->addWidget(m_DelayUnit, row++, 2);

    auto* votes = new QGroupBox("Vote", this);
    auto* voteGrid = new QGridLayout(votes);
    for (int k = 0; k < 6; ++k) {
        m_VoteLabels[static_cast<std::size_t>(k)] = new QLabel(QString::number(k + 1), votes);
        m_Votes[static_cast<std::size_t>(k)] = VoteList(votes);
        voteGrid->addWidget(m_VoteLabels[static_cast<std::size_t>(k)], 0, k, Qt::AlignCenter);
        voteGrid->addWidget(m_Votes[static_cast<std::size_t>(k)], 1, k);
        Watch(m_Votes[static_cast<std::size_t>(k)]);
    }
    m_ExtVote = VoteList(votes);
    voteGrid->addWidget(new QLabel("Ext.", votes), 0, 6, Qt::AlignCenter);
    voteGrid->addWidget(m_ExtVote, 1, 6);
    m_Grid->addWidget(votes, row++, 0, 1, 3);
    m_Grid->addWidget(m_Channels.box, row++, 0, 1, 3);
    m_Grid->setRowStretch(row, 1);

    for (QWidget* w : std::initializer_list<QWidget*>{
             m_StartMode, m_Pre, m_Post, m_Max, m_TriggerWindow, m_Total, m_Delay, m_ExtVote}) {
        Watch(w);
    }
    for (QLineEdit* e : m_Start.edits) {
        if (e != nullptr) {
            Watch(e);
        }
    }
    for (std::size_t k = 0; k < 6; ++k) {
        Watch(m_Channels.primary[k]);
        Watch(m_Channels.secondary[k]);
    }
    connect(m_DelayUnit, &QComboBox::activated, this, [this](int unit) {
        ReadControls();
        m_Model.ChangeDelayUnit(unit);
        Refresh();
        emit modified();
    });
}

void CIRDEventPage::SetStreamCount(int n) {
    m_Channels.SetStreamCount(n);
    for (int k = 0; k < 6; ++k) {
        m_Votes[static_cast<std::size_t>(k)]->setVisible(k < n);
        m_VoteLabels[static_cast<std::size_t>(k)]->setVisible(k < n);
    }
}

void CIRDEventPage::Refresh() {
    m_Refreshing = true;
    const IREventValues& v = m_Model.edit;
    ShowDrive(v.drive);
    m_StartMode->setCurrentIndex(v.startMode);
    m_Pre->setText(QString::number(v.preEvent));
    m_Post->setText(QString::number(v.postEvent));
    m_Max->setText(QString::number(v.maxEvent));
    m_TriggerWindow->setText(QString::number(v.triggerWindow));
    m_Total->setText(QString::number(v.totalVotes));
    m_Start.Show(v.start);
    m_Delay->setText(QString::number(v.delayValue));
    m_DelayUnit->setCurrentIndex(v.delayUnit);
    for (std::size_t k = 0; k < 6; ++k) {
        m_Votes[k]->setCurrentIndex(CIREventModel::VotePosition(v.votes[k]));
    }
    m_ExtVote->setCurrentIndex(CIREventModel::VotePosition(v.externalVote));
    m_Channels.Show(v.channels);
    ShowStartControls(v.startMode, m_DelayLabel, m_Delay, m_DelayUnit, m_StartLabel, m_Start.box);
    m_Refreshing = false;
}

void CIRDEventPage::ReadControls() {
    IREventValues& v = m_Model.edit;
    v.drive = ChosenDrive(v.drive);
    v.startMode = m_StartMode->currentIndex();
    v.preEvent =
        static_cast<int>(ReadEntry(m_Pre, "Pre-Event Length", v.preEvent, CorrectPreEvent));
    v.postEvent =
        static_cast<int>(ReadEntry(m_Post, "Post-Event Length", v.postEvent, CorrectPostEvent));
    v.maxEvent = static_cast<std::uint32_t>(
        ReadEntry(m_Max, "Max Event Length", v.maxEvent, CorrectMaxEvent));
    v.triggerWindow = static_cast<int>(
        ReadEntry(m_TriggerWindow, "Trigger Window", v.triggerWindow, CorrectPostEvent));
    v.totalVotes =
        static_cast<int>(ReadEntry(m_Total, "Total Event Votes", v.totalVotes, CorrectTotalVotes));
    v.start = m_Start.Read(v.start, *this, "Start Time");
    const int unit = v.delayUnit;
    v.delayValue =
        static_cast<int>(ReadEntry(m_Delay, "Start Delay", v.delayValue,
                                   [unit](long long d) { return CorrectDelay(d, unit); }));
    for (std::size_t k = 0; k < 6; ++k) {
        // A vote outside the list (as received) stays as it is until another is chosen.
        if (m_Votes[k]->currentIndex() != CIREventModel::VotePosition(v.votes[k])) {
            v.votes[k] = m_Votes[k]->currentIndex() - 10;
        }
    }
    if (m_ExtVote->currentIndex() != CIREventModel::VotePosition(v.externalVote)) {
        v.externalVote = m_ExtVote->currentIndex() - 10;
    }
    v.channels = m_Channels.Read();
}

} // namespace nereid::instrument
