#include "instrument/calibration/cal_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "instrument/calibration/cal_shared_spin.h"

namespace nereid::instrument {

namespace {

QString Number(double value) {
    return QString::number(value, 'g', 10);
}

QLineEdit* SmallEdit(QWidget* parent, int width) {
    auto* e = new QLineEdit(parent);
    e->setFixedWidth(width);
    e->setMaxLength(2);
    e->setAlignment(Qt::AlignCenter);
    return e;
}

} // namespace

CCalPage::CCalPage(bool scheduled, QWidget* parent)
    : CSheetPage(m_Adapter, parent), m_Model(scheduled), m_Adapter(m_Model) {
    Build();
    Refresh();
}

QRadioButton* CCalPage::RowMode(int row, int mode) const {
    return qobject_cast<QRadioButton*>(m_RowModes[static_cast<std::size_t>(row)]->button(mode));
}

void CCalPage::Build() {
    const bool scheduled = m_Model.Scheduled();
    auto* top = new QHBoxLayout(this);
    auto* left = new QGridLayout;
    top->addLayout(left);
    int row = 0;
    if (scheduled) {
        m_Index = new QComboBox(this);
        for (int k = 0; k < kScheduledRuns; ++k) {
            m_Index->addItem(QString::asprintf("Index %d", k));
        }
        left->addWidget(m_Index, row++, 0, 1, 3);
        connect(m_Index, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (m_Refreshing || index < 0) {
                return;
            }
            m_Model.index = index;
            emit indexChanged(index);
        });
    }
    m_Signal = new QComboBox(this);
    left->addWidget(new QLabel("Cal Signal", this), row, 0);
    left->addWidget(m_Signal, row++, 1, 1, 2);

    m_Duration = new QLineEdit(this);
    m_DurationUnit = new QComboBox(this);
    for (const std::string& name : CalUnitNames(kDurationUnitCount)) {
        m_DurationUnit->addItem(QString::fromStdString(name));
    }
    left->addWidget(new QLabel("Duration", this), row, 0);
    left->addWidget(m_Duration, row, 1);
    left->addWidget(m_DurationUnit, row++, 2);

    m_Amplitude = new QLineEdit(this);
    left->addWidget(new QLabel("Amplitude", this), row, 0);
    left->addWidget(m_Amplitude, row, 1);
    left->addWidget(new QLabel("Volt", this), row++, 2);

    m_Frequency = new QLineEdit(this);
    left->addWidget(new QLabel("Frequency / Pulse Width", this), row, 0);
    left->addWidget(m_Frequency, row, 1);
    left->addWidget(new QLabel("Hz / Sec", this), row++, 2);

    if (scheduled) {
        auto* startGroup = new QGroupBox("Start Time", this);
        auto* grid = new QGridLayout(startGroup);
        static const int kLow[6] = {1, 1, 0, 0, 0, 0};
        static const int kHigh[6] = {12, 31, 99, 23, 59, 59};
        m_DateSpin = new CSharedSpin(startGroup);
        m_TimeSpin = new CSharedSpin(startGroup);
        for (int line = 0; line < 2; ++line) {
            auto* h = new QHBoxLayout;
            for (int k = 0; k < 3; ++k) {
                const int field = 3 * line + k;
                QLineEdit* edit = SmallEdit(startGroup, 28);
                m_Date[static_cast<std::size_t>(field)] = edit;
                if (k > 0) {
                    h->addWidget(new QLabel(line == 0 ? "/" : ":", startGroup));
                }
                h->addWidget(edit);
                (line == 0 ? m_DateSpin : m_TimeSpin)->AddBuddy(edit, kLow[field], kHigh[field]);
                connect(edit, &QLineEdit::textEdited, this, &CCalPage::MarkModified);
            }
            h->addWidget(line == 0 ? m_DateSpin : m_TimeSpin);
            h->addStretch();
            grid->addLayout(h, line, 0);
        }
        connect(m_DateSpin, &CSharedSpin::stepped, this, &CCalPage::MarkModified);
        connect(m_TimeSpin, &CSharedSpin::stepped, this, &CCalPage::MarkModified);
        left->addWidget(startGroup, row++, 0, 1, 3);

        m_Interval = new QLineEdit(this);
        m_IntervalUnit = new QComboBox(this);
        for (const std::string& name : CalUnitNames(kIntervalUnitCount)) {
            m_IntervalUnit->addItem(QString::fromStdString(name));
        }
        left->addWidget(new QLabel("Interval", this), row, 0);
        left->addWidget(m_Interval, row, 1);
        left->addWidget(m_IntervalUnit, row++, 2);
        m_Repetitions = new QLineEdit(this);
        left->addWidget(new QLabel("Repetitions", this), row, 0);
        left->addWidget(m_Repetitions, row++, 1);
    }

    m_On = new QRadioButton(scheduled ? "Enable" : "Start", this);
    m_Off = new QRadioButton(scheduled ? "Disable" : "Stop", this);
    m_RunGroup = new QButtonGroup(this);
    m_RunGroup->addButton(m_On, kCalRunOn);
    m_RunGroup->addButton(m_Off, kCalRunOff);
    auto* runLine = new QHBoxLayout;
    runLine->addWidget(m_On);
    runLine->addWidget(m_Off);
    left->addLayout(runLine, row++, 0, 1, 3);
    left->setRowStretch(row, 1);

    auto* right = new QVBoxLayout;
    top->addLayout(right);
    auto* channels = new QGroupBox("Channel Configuration", this);
    auto* channelGrid = new QGridLayout(channels);
    channelGrid->setVerticalSpacing(2);
    static const char* const kModes[] = {"Sensor", "Loopback", "Short"};
    for (int r = 0; r < kCalChannelRows; ++r) {
        auto* rowWidget = new QWidget(channels);
        auto* h = new QHBoxLayout(rowWidget);
        h->setContentsMargins(0, 0, 0, 0);
        auto* enable = new QCheckBox(QString("Channel %1").arg(r + 1), rowWidget);
        enable->setMinimumWidth(150);
        h->addWidget(enable);
        auto* group = new QButtonGroup(this);
        for (int m = 0; m < 3; ++m) {
            auto* radio = new QRadioButton(kModes[m], rowWidget);
            group->addButton(radio, m);
            h->addWidget(radio);
        }
        m_RowEnable[static_cast<std::size_t>(r)] = enable;
        m_RowModes[static_cast<std::size_t>(r)] = group;
        m_RowWidgets[static_cast<std::size_t>(r)] = rowWidget;
        channelGrid->addWidget(rowWidget, r, 0);
        connect(enable, &QCheckBox::clicked, this, [this, r](bool on) {
            ReadControls(); // what was typed and not yet read stays through the refresh
            m_Model.SetRowEnabled(r, on);
            Refresh();
            emit modified();
        });
        connect(group, &QButtonGroup::idClicked, this, [this, r](int mode) {
            m_Model.SetRowMode(r, mode);
            emit modified();
        });
    }
    right->addWidget(channels);

    m_DampingGroup = new QGroupBox("Damping Resistor Disable", this);
    auto* dampingGrid = new QGridLayout(m_DampingGroup);
    for (int c = 0; c < kCalChannelRows; ++c) {
        auto* box = new QCheckBox(QString("Ch %1").arg(c + 1), m_DampingGroup);
        m_Damping[static_cast<std::size_t>(c)] = box;
        dampingGrid->addWidget(box, c / 4, c % 4);
        connect(box, &QCheckBox::clicked, this, [this, c](bool on) {
            if (c < kDampingChannels) {
                m_Model.dampingDisable[static_cast<std::size_t>(c)] = on;
            }
            MarkModified();
        });
    }
    right->addWidget(m_DampingGroup);
    m_ControlGroup = new QGroupBox("Calibration Control", this);
    auto* controlLine = new QHBoxLayout(m_ControlGroup);
    m_Normal = new QCheckBox("Normal Mode", m_ControlGroup);
    m_Digital = new QCheckBox("Digital Mode", m_ControlGroup);
    controlLine->addWidget(m_Normal);
    controlLine->addWidget(m_Digital);
    right->addWidget(m_ControlGroup);
    right->addStretch();
    connect(m_Normal, &QCheckBox::clicked, this, [this](bool on) {
        ReadControls();
        m_Model.SetNormalMode(on);
        Refresh();
        emit modified();
    });
    connect(m_Digital, &QCheckBox::clicked, this, [this](bool on) {
        ReadControls();
        m_Model.SetDigitalMode(on);
        Refresh();
        emit modified();
    });

    connect(m_Signal, &QComboBox::activated, this, [this](int p) {
        m_Model.signalPosition = p;
        MarkModified();
    });
    connect(m_RunGroup, &QButtonGroup::idClicked, this, [this](int id) {
        m_Model.SetRunSwitch(id);
        EnableValueControls();
        emit modified();
    });
    for (QLineEdit* e : {m_Duration, m_Amplitude, m_Frequency}) {
        connect(e, &QLineEdit::textEdited, this, &CCalPage::MarkModified);
    }
    connect(m_Duration, &QLineEdit::editingFinished, this, &CCalPage::OnDurationLeft);
    connect(m_DurationUnit, &QComboBox::activated, this, [this](int unit) {
        m_Refreshing = true;
        m_Duration->setText(QString::fromStdString(m_Model.ChangeDurationUnit(unit)));
        m_Refreshing = false;
    });
    if (scheduled) {
        connect(m_Interval, &QLineEdit::textEdited, this, &CCalPage::MarkModified);
        connect(m_Repetitions, &QLineEdit::textEdited, this, &CCalPage::MarkModified);
        connect(m_Interval, &QLineEdit::editingFinished, this, &CCalPage::OnIntervalLeft);
        connect(m_Repetitions, &QLineEdit::editingFinished, this, &CCalPage::OnRepetitionsLeft);
        connect(m_IntervalUnit, &QComboBox::activated, this, [this](int unit) {
            m_Refreshing = true;
            m_Interval->setText(QString::fromStdString(m_Model.ChangeIntervalUnit(unit)));
            m_Refreshing = false;
        });
    }
}

void CCalPage::Configure(int modelCode, const std::vector<recording::StreamEntry>& streams,
                         int streamCount) {
    m_Model.SetModelCode(modelCode);
    m_Model.SetChannels(streams, streamCount);
    m_Refreshing = true;
    m_Signal->clear();
    for (const std::string& name : m_Model.SignalNames()) {
        m_Signal->addItem(QString::fromStdString(name));
    }
    m_Refreshing = false;
    m_DampingGroup->setVisible(m_Model.ShowsDampingGroups());
    m_ControlGroup->setVisible(m_Model.ShowsDampingGroups());
    for (int c = 0; c < kCalChannelRows; ++c) {
        m_Damping[static_cast<std::size_t>(c)]->setVisible(m_Model.ShowsDampingBox(c));
    }
    Refresh();
}

void CCalPage::Refresh() {
    m_Refreshing = true;
    m_Signal->setCurrentIndex(m_Model.signalPosition);
    m_DurationUnit->setCurrentIndex(m_Model.durationUnit);
    m_Duration->setText(QString::fromStdString(m_Model.DurationText()));
    m_Amplitude->setText(Number(m_Model.amplitude));
    m_Frequency->setText(Number(m_Model.frequency));
    m_RunGroup->setExclusive(false);
    m_On->setChecked(m_Model.RunSwitch() == kCalRunOn);
    m_Off->setChecked(m_Model.RunSwitch() == kCalRunOff);
    m_RunGroup->setExclusive(true);
    for (int r = 0; r < kCalChannelRows; ++r) {
        const CalChannelRow& row = m_Model.Rows()[static_cast<std::size_t>(r)];
        m_RowWidgets[static_cast<std::size_t>(r)]->setVisible(row.visible);
        QCheckBox* enable = m_RowEnable[static_cast<std::size_t>(r)];
        if (row.visible) {
            enable->setText(QString::fromStdString(row.label));
        }
        enable->setChecked(row.enabled);
        QButtonGroup* group = m_RowModes[static_cast<std::size_t>(r)];
        group->setExclusive(false);
        for (int m = 0; m < 3; ++m) {
            group->button(m)->setChecked(row.mode == m);
        }
        group->setExclusive(true);
    }
    for (int c = 0; c < kCalChannelRows; ++c) {
        m_Damping[static_cast<std::size_t>(c)]->setChecked(
            c < kDampingChannels && m_Model.dampingDisable[static_cast<std::size_t>(c)]);
    }
    m_Normal->setChecked(m_Model.normalMode);
    m_Digital->setChecked(m_Model.digitalMode);
    if (m_Model.Scheduled()) {
        m_Index->setCurrentIndex(m_Model.index);
        m_IntervalUnit->setCurrentIndex(m_Model.intervalUnit);
        m_Interval->setText(QString::fromStdString(m_Model.IntervalText()));
        m_Repetitions->setText(QString::number(m_Model.repetitions));
        const CalStartTime& t = m_Model.start;
        const int fields[6] = {t.month, t.day, t.year, t.hour, t.minute, t.second};
        for (int k = 0; k < 6; ++k) {
            m_Date[static_cast<std::size_t>(k)]->setText(QString::asprintf("%02d", fields[k]));
        }
    }
    EnableValueControls();
    m_Refreshing = false;
}

void CCalPage::ReadControls() {
    m_Model.amplitude = m_Amplitude->text().trimmed().toDouble();
    m_Model.frequency = m_Frequency->text().trimmed().toDouble();
    m_Model.signalPosition = m_Signal->currentIndex();
    m_Model.durationValue = m_Duration->text().trimmed().toDouble();
    if (m_Model.Scheduled()) {
        m_Model.intervalValue = m_Interval->text().trimmed().toDouble();
        CalStartTime& t = m_Model.start;
        int* fields[6] = {&t.month, &t.day, &t.year, &t.hour, &t.minute, &t.second};
        for (int k = 0; k < 6; ++k) {
            *fields[k] = m_Date[static_cast<std::size_t>(k)]->text().trimmed().toInt();
        }
    }
}

int CCalPage::Collect(std::string& message) {
    message.clear();
    ReadControls();
    return 1;
}

void CCalPage::OnActivate(CPropertySheet&) {
    if (!m_Activated) {
        m_Activated = true;
        ReadControls();
        emit firstActivated();
    }
}

void CCalPage::OnSheetOpened(CPropertySheet&) {
    m_Activated = false;
}

void CCalPage::MarkModified() {
    if (m_Refreshing) {
        return;
    }
    m_Model.SetModified(true);
    emit modified();
}

void CCalPage::EnableValueControls() {
    const bool on = m_Model.ValueControlsEnabled();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_Signal, m_Duration, m_DurationUnit, m_Amplitude,
                                         m_Frequency, m_Interval, m_IntervalUnit, m_Repetitions}) {
        if (w != nullptr) {
            w->setEnabled(on);
        }
    }
    for (QWidget* w : m_RowWidgets) {
        w->setEnabled(on);
    }
}

void CCalPage::ShowMessages(const std::vector<CalMessage>& messages) {
    for (const CalMessage& m : messages) {
        emit message(QString::fromStdString(m.caption), QString::fromStdString(m.text));
    }
}

void CCalPage::OnDurationLeft() {
    if (m_Refreshing) {
        return;
    }
    const DurationEntry e = m_Model.EnterDuration(m_Duration->text().trimmed().toDouble());
    if (!e.replacedText.empty()) {
        m_Refreshing = true;
        m_Duration->setText(QString::fromStdString(e.replacedText));
        m_Refreshing = false;
    }
    ShowMessages(e.messages);
}

void CCalPage::OnIntervalLeft() {
    if (m_Refreshing) {
        return;
    }
    ShowMessages(m_Model.EnterInterval(m_Interval->text().trimmed().toDouble()).messages);
}

void CCalPage::OnRepetitionsLeft() {
    if (m_Refreshing) {
        return;
    }
    const RepetitionsEntry e =
        m_Model.EnterRepetitions(m_Repetitions->text().trimmed().toLongLong());
    if (!e.replacedText.empty()) {
        m_Repetitions->setText(QString::fromStdString(e.replacedText));
    }
    ShowMessages(e.messages);
}

} // namespace nereid::instrument
