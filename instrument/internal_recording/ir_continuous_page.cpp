#include "instrument/internal_recording/ir_continuous_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace nereid::instrument {

void ShowStartControls(int startMode, QWidget* delayLabel, QWidget* delay, QWidget* delayUnit,
                       QWidget* startLabel, QWidget* start) {
    for (QWidget* w : {delayLabel, delay, delayUnit}) {
        w->setVisible(startMode == kStartDelayed);
    }
    for (QWidget* w : {startLabel, start}) {
        w->setVisible(startMode == kStartAtTime);
    }
}

CIRDContinuousPage::CIRDContinuousPage(CIRSetupModel& setup, QWidget* parent)
    : CIRPage(setup, kIRContinuousPage, parent), m_Model(setup.continuous) {
    m_StartMode = new QComboBox(this);
    for (int m = 0; m < kContinuousStartModes; ++m) {
        m_StartMode->addItem(kStartModeNames[m]);
    }
    m_FileSize = new QComboBox(this);
    for (const char* size : kFileSizeNames) {
        m_FileSize->addItem(size);
    }
    m_BufferFull = new QComboBox(this);
    for (const char* mode : kBufferFullNames) {
        m_BufferFull->addItem(mode);
    }
    m_MaxSpace = new QLineEdit(this);
    m_Flush = new QCheckBox("Flush Data at Startup:", this);
    m_Flush->setLayoutDirection(Qt::RightToLeft);
    m_Start.Build(this, false);
    m_Delay = new QLineEdit(this);
    m_DelayUnit = new QComboBox(this);
    for (const char* unit : kTimeUnitNames) {
        m_DelayUnit->addItem(unit);
    }
    m_Channels.Build(this);
    m_StartLabel = new QLabel("Start Time:", this);
    m_DelayLabel = new QLabel("Start Delay:", this);

    int row = 1;
    m_Grid->addWidget(new QLabel("Start Mode:", this), row, 0);
    m_Grid->addWidget(m_StartMode, row++, 1);
    m_Grid->addWidget(new QLabel("File Size:", this), row, 0);
    m_Grid->addWidget(m_FileSize, row, 1);
    m_Grid->addWidget(new QLabel("Minutes", this), row++, 2);
    m_Grid->addWidget(new QLabel("Buffer Full Mode:", this), row, 0);
    m_Grid->addWidget(m_BufferFull, row++, 1);
    m_Grid->addWidget(new QLabel("Max Space to use:", this), row, 0);
    m_Grid->addWidget(m_MaxSpace, row, 1);
    m_Grid->addWidget(new QLabel("MB", this), row++, 2);
    m_Grid->addWidget(m_Flush, row++, 0, 1, 2, Qt::AlignLeft);
    m_Grid->addWidget(m_StartLabel, row, 0);
    m_Grid->addWidget(m_Start.box, row++, 1, 1, 2);
    m_Grid->addWidget(m_DelayLabel, row, 0);
    m_Grid->addWidget(m_Delay, row, 1);
    m_Grid->addWidget(m_DelayUnit, row++, 2);
    m_Grid->addWidget(m_Channels.box, row++, 0, 1, 3);
    m_Grid->setRowStretch(row, 1);

    for (QWidget* w : std::initializer_list<QWidget*>{m_StartMode, m_FileSize, m_BufferFull,
                                                      m_MaxSpace, m_Flush, m_Delay}) {
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

void CIRDContinuousPage::Refresh() {
    m_Refreshing = true;
    const IRContinuousValues& v = m_Model.edit;
    ShowDrive(v.drive);
    m_StartMode->setCurrentIndex(v.startMode);
    m_FileSize->setCurrentIndex(m_Model.FileSizePosition());
    m_BufferFull->setCurrentIndex(v.bufferFullMode);
    m_MaxSpace->setText(QString::number(v.maxSpace));
    m_Flush->setChecked(v.flush);
    m_Start.Show(v.start);
    m_Delay->setText(QString::number(v.delayValue));
    m_DelayUnit->setCurrentIndex(v.delayUnit);
    m_Channels.Show(v.channels);
    ShowStartControls(v.startMode, m_DelayLabel, m_Delay, m_DelayUnit, m_StartLabel, m_Start.box);
    m_Refreshing = false;
}

void CIRDContinuousPage::ReadControls() {
    IRContinuousValues& v = m_Model.edit;
    v.drive = ChosenDrive(v.drive);
    v.startMode = m_StartMode->currentIndex();
    if (m_FileSize->currentIndex() != m_Model.FileSizePosition()) {
        m_Model.SetFileSizePosition(m_FileSize->currentIndex());
    }
    v.bufferFullMode = m_BufferFull->currentIndex();
    v.maxSpace =
        static_cast<int>(ReadEntry(m_MaxSpace, "Max Space to use", v.maxSpace, CorrectMaxSpace));
    v.flush = m_Flush->isChecked();
    v.start = m_Start.Read(v.start, *this, "Start Time");
    const int unit = v.delayUnit;
    v.delayValue =
        static_cast<int>(ReadEntry(m_Delay, "Start Delay", v.delayValue,
                                   [unit](long long d) { return CorrectDelay(d, unit); }));
    v.channels = m_Channels.Read();
}

} // namespace nereid::instrument
