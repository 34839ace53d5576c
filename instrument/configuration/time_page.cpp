#include "instrument/configuration/time_page.h"

#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "instrument/sheet/model/entry_check.h"

#include "link/dialogs/message_box.h"

namespace nereid::instrument {

namespace {

constexpr FieldRange kTimeSetRanges[6] = {
    CTimePageModel::kMonthRange, CTimePageModel::kDayRange,    CTimePageModel::kYearRange,
    CTimePageModel::kHourRange,  CTimePageModel::kMinuteRange, CTimePageModel::kSecondRange};

// Number fields take the keys 0..9 (and space, which reads as nothing).
QLineEdit* NumberField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 ]{0,10}")), field));
    return field;
}

} // namespace

CTimePage::CTimePage(CPageModel& page, CTimePageModel& model, QWidget* parent)
    : CConfigPage(page, parent), m_Model(model) {
    auto* layout = new QGridLayout(this);
    auto* sync = new QGroupBox(QStringLiteral("Sync Mode"), this);
    auto* syncLayout = new QHBoxLayout(sync);
    for (int i = 0; i < 3; ++i) {
        m_Sync[static_cast<std::size_t>(i)] =
            new QRadioButton(QString::fromLatin1(CTimePageModel::kSyncNames[i]), sync);
        syncLayout->addWidget(m_Sync[static_cast<std::size_t>(i)]);
        connect(m_Sync[static_cast<std::size_t>(i)], &QRadioButton::toggled, this,
                [this, i](bool on) {
                    if (on) {
                        m_Model.Settings().syncMode = static_cast<std::uint8_t>(i);
                    }
                });
    }
    layout->addWidget(sync, 0, 0, 1, 3);

    m_GpsCycle = NumberField(this);
    m_MinimumCorrection = NumberField(this);
    m_JamThreshold = NumberField(this);
    m_Drift = NumberField(this);
    m_MinimumCorrection->setEnabled(false);
    m_Drift->setEnabled(false);
    const char* labels[] = {"GPS Cycle Time", "Minimum Correction", "Jam Set Threshold",
                            "Drift Compensation"};
    const char* units[] = {"Seconds", "uSec", "mSec", "uSec/day"};
    QLineEdit* fields[] = {m_GpsCycle, m_MinimumCorrection, m_JamThreshold, m_Drift};
    for (int i = 0; i < 4; ++i) {
        layout->addWidget(new QLabel(QString::fromLatin1(labels[i]), this), i + 1, 0);
        layout->addWidget(fields[i], i + 1, 1);
        layout->addWidget(new QLabel(QString::fromLatin1(units[i]), this), i + 1, 2);
    }
    connect(m_GpsCycle, &QLineEdit::editingFinished, this, [this] {
        std::int64_t v = 0;
        bool ok = false;
        LeaveField(m_GpsCycle, CTimePageModel::kGpsCycleRange, v, ok);
        if (ok) {
            m_Model.Settings().gpsCycleTime = static_cast<std::uint32_t>(v);
        }
    });
    connect(m_JamThreshold, &QLineEdit::editingFinished, this, [this] {
        std::int64_t v = 0;
        bool ok = false;
        LeaveField(m_JamThreshold, CTimePageModel::kJamThresholdRange, v, ok);
        if (ok) {
            m_Model.Settings().jamSetThreshold = static_cast<std::uint16_t>(v);
        }
    });

    auto* timeSet = new QGroupBox(QStringLiteral("Time Set"), this);
    auto* timeLayout = new QGridLayout(timeSet);
    const char* names[] = {"Month", "Day", "Year", "Hour", "Minute", "Second"};
    for (int i = 0; i < 6; ++i) {
        auto* field = NumberField(timeSet);
        m_TimeSet[static_cast<std::size_t>(i)] = field;
        timeLayout->addWidget(new QLabel(QString::fromLatin1(names[i]), timeSet), i / 3 * 2, i % 3);
        timeLayout->addWidget(field, i / 3 * 2 + 1, i % 3);
        connect(field, &QLineEdit::editingFinished, this,
                [this, i] { ClampTimeSetField(i, true); });
    }
    m_ClockSendButton = new QPushButton(QStringLiteral("Send"), timeSet);
    timeLayout->addWidget(m_ClockSendButton, 4, 2);
    connect(m_ClockSendButton, &QPushButton::clicked, this, [this] {
        const link::ClockSetCommand command = CTimePageModel::ClockSet(TimeSetFields());
        if (m_ClockSend) {
            m_ClockSend(command);
        }
    });
    layout->addWidget(timeSet, 5, 0, 1, 3);
    layout->setRowStretch(6, 1);
    ResetTimeSet();
    Load();
}

void CTimePage::OnSheetOpened(CPropertySheet&) {
    ResetTimeSet();
}

void CTimePage::ResetTimeSet() {
    const QDateTime now = QDateTime::currentDateTime();
    const int initial[] = {now.date().month(), now.date().day(),    now.date().year(),
                           now.time().hour(),  now.time().minute(), now.time().second()};
    for (int i = 0; i < 6; ++i) {
        m_TimeSet[static_cast<std::size_t>(i)]->setText(QString::number(initial[i]));
    }
}

void CTimePage::Load() {
    const TimeSettings& s = m_Model.Settings();
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker block(m_Sync[static_cast<std::size_t>(i)]);
        m_Sync[static_cast<std::size_t>(i)]->setChecked(s.syncMode == i);
    }
    m_GpsCycle->setText(QString::number(s.gpsCycleTime));
    m_MinimumCorrection->setText(QString::number(s.minimumCorrection));
    m_JamThreshold->setText(QString::number(s.jamSetThreshold));
    m_Drift->setText(QString::number(s.driftCompensation));
}

int CTimePage::ReadField(QLineEdit* field, const FieldRange& range, std::int64_t& value,
                         std::string& message) {
    bool ok = false;
    const QString text = field->text().trimmed();
    value = text.toLongLong(&ok);
    if (!ok || value < range.low || value > range.high) {
        message = RangeMessage(range);
        field->setFocus();
        return 0;
    }
    return 1;
}

void CTimePage::LeaveField(QLineEdit* field, const FieldRange& range, std::int64_t& value,
                           bool& ok) {
    std::string message;
    ok = ReadField(field, range, value, message) == 1;
    if (!ok) {
        link::ShowMessage(this, link::kTellusCaption, QString::fromStdString(message));
    }
}

int CTimePage::Prepare(std::string& message) {
    std::int64_t cycle = 0;
    std::int64_t jam = 0;
    if (ReadField(m_GpsCycle, CTimePageModel::kGpsCycleRange, cycle, message) != 1 ||
        ReadField(m_JamThreshold, CTimePageModel::kJamThresholdRange, jam, message) != 1) {
        return 0;
    }
    m_Model.Settings().gpsCycleTime = static_cast<std::uint32_t>(cycle);
    m_Model.Settings().jamSetThreshold = static_cast<std::uint16_t>(jam);
    return 1;
}

void CTimePage::ClampTimeSetField(int index, bool say) {
    static const char* const kNames[] = {"Time Set month", "Time Set day",    "Time Set year",
                                         "Time Set hour",  "Time Set minute", "Time Set second"};
    if (SayingCorrection()) {
        return;
    }
    QLineEdit* field = m_TimeSet[static_cast<std::size_t>(index)];
    const std::int64_t value = field->text().trimmed().toLongLong();
    const std::int64_t kept = CTimePageModel::Clamp(value, kTimeSetRanges[index]);
    field->setText(QString::number(kept));
    if (say) {
        SayCorrection(field,
                      CorrectionNote(kNames[index], std::to_string(value), std::to_string(kept)));
    }
}

ClockFields CTimePage::TimeSetFields() {
    for (int i = 0; i < 6; ++i) {
        ClampTimeSetField(i, false);
    }
    auto value = [this](int i) { return m_TimeSet[static_cast<std::size_t>(i)]->text().toInt(); };
    return ClockFields{value(0), value(1), value(2), value(3), value(4), value(5)};
}

} // namespace nereid::instrument
