#include "instrument/configuration/trigger_page.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "instrument/sheet/model/entry_check.h"

#include "instrument/configuration/config_widgets.h"
#include "instrument/configuration/model/config_text.h"

namespace nereid::instrument {

namespace {

// Decimal fields: digits and one decimal point; whole-number fields: digits.
QLineEdit* Field(QWidget* parent, bool decimal) {
    auto* field = new QLineEdit(parent);
    const QString pattern =
        decimal ? QStringLiteral("[0-9]{0,6}\\.?[0-9]{0,2}") : QStringLiteral("[0-9]{0,6}");
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), field));
    return field;
}

QString Decimal(double v) {
    return QString::fromStdString(DecimalText(v));
}

} // namespace

CTriggerPage::CTriggerPage(CPageModel& page, CTriggerPageModel& model, QWidget* parent)
    : CConfigPage(page, parent), m_Model(model) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Channel"), this), 0, 0);
    m_Channel = new QComboBox(this);
    grid->addWidget(m_Channel, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Mode"), this), 1, 0);
    m_Mode = new QComboBox(this);
    m_Mode->addItems(Names(CTriggerPageModel::kModeNames, 3));
    grid->addWidget(m_Mode, 1, 1);

    m_HighPass = Field(this, true);
    m_LowPass = Field(this, true);
    m_Level = Field(this, true);
    m_Sta = Field(this, false);
    m_Lta = Field(this, false);
    m_Ratio = Field(this, true);
    m_Detrigger = Field(this, true);
    m_UpdatingLta = new QCheckBox(QStringLiteral("Updating LTA Enable"), this);
    struct Line {
        const char* label;
        QLineEdit* field;
        const char* unit;
        std::vector<QWidget*>* group;
    };
    const Line lines[] = {
        {"High Pass Filter Corner", m_HighPass, "Hz", &m_CornerWidgets},
        {"Low Pass Filter Corner", m_LowPass, "Hz", &m_CornerWidgets},
        {"Trigger Level", m_Level, "% Full Scale", &m_LevelWidgets},
        {"STA Time Constant", m_Sta, "Sec", &m_StaLtaWidgets},
        {"LTA Time Constant", m_Lta, "Sec", &m_StaLtaWidgets},
        {"STA/LTA Trigger Ratio", m_Ratio, "", &m_StaLtaWidgets},
        {"STA/LTA Detrigger Ratio", m_Detrigger, "", &m_StaLtaWidgets},
    };
    int row = 2;
    for (const Line& line : lines) {
        auto* label = new QLabel(QString::fromLatin1(line.label), this);
        auto* unit = new QLabel(QString::fromLatin1(line.unit), this);
        grid->addWidget(label, row, 0);
        grid->addWidget(line.field, row, 1);
        grid->addWidget(unit, row, 2);
        line.group->insert(line.group->end(), {label, line.field, unit});
        connect(line.field, &QLineEdit::editingFinished, this, [this] { StoreFields(); });
        ++row;
    }
    grid->addWidget(m_UpdatingLta, row, 0, 1, 2);
    m_StaLtaWidgets.push_back(m_UpdatingLta);
    grid->setRowStretch(row + 1, 1);
    grid->setColumnStretch(3, 1);
    connect(m_UpdatingLta, &QCheckBox::toggled, this, [this](bool on) {
        if (TriggerValues* v = Current()) {
            v->updatingLta = on;
        }
    });
    connect(m_Mode, &QComboBox::currentIndexChanged, this, [this](int mode) {
        if (TriggerValues* v = Current()) {
            v->mode = mode;
        }
        Load();
    });
    connect(m_Channel, &QComboBox::currentIndexChanged, this, [this](int index) {
        const auto& choices = m_Model.ChannelChoices();
        if (index >= 0 && static_cast<std::size_t>(index) < choices.size()) {
            m_Model.Select(choices[static_cast<std::size_t>(index)]);
        }
        Load();
    });
    Open();
}

void CTriggerPage::Open() {
    const QSignalBlocker block(m_Channel);
    m_Channel->clear();
    for (int c : m_Model.ChannelChoices()) {
        m_Channel->addItem(QString::number(c));
    }
    Load();
}

TriggerValues* CTriggerPage::Current() {
    const int k = m_Model.Selected();
    return k >= 1 && k <= CTriggerPageModel::kChannels ? &m_Model.Values(k) : nullptr;
}

void CTriggerPage::Load() {
    const auto& choices = m_Model.ChannelChoices();
    const auto at = std::find(choices.begin(), choices.end(), m_Model.Selected());
    SelectPosition(m_Channel, at == choices.end() ? -1 : static_cast<int>(at - choices.begin()));
    const TriggerValues* v = Current();
    const TriggerValues shown = v ? *v : TriggerValues{};
    SelectPosition(m_Mode, v ? shown.mode : -1);
    // Controls the mode does not use show 0.
    const bool level = shown.mode == CTriggerPageModel::kModeLevel;
    const bool staLta = shown.mode == CTriggerPageModel::kModeStaLta;
    m_HighPass->setText(level || staLta ? Decimal(shown.highPass) : QStringLiteral("0"));
    m_LowPass->setText(level || staLta ? Decimal(shown.lowPass) : QStringLiteral("0"));
    m_Level->setText(level ? Decimal(shown.level) : QStringLiteral("0"));
    m_Sta->setText(staLta ? QString::number(shown.sta) : QStringLiteral("0"));
    m_Lta->setText(staLta ? QString::number(shown.lta) : QStringLiteral("0"));
    m_Ratio->setText(staLta ? Decimal(shown.ratio) : QStringLiteral("0"));
    m_Detrigger->setText(staLta ? Decimal(shown.detrigger) : QStringLiteral("0"));
    SetTicked(m_UpdatingLta, staLta && shown.updatingLta);
    ApplyVisibility();
}

void CTriggerPage::ApplyVisibility() {
    const int mode = m_Mode->currentIndex();
    for (QWidget* w : m_CornerWidgets) {
        w->setVisible(mode == CTriggerPageModel::kModeLevel ||
                      mode == CTriggerPageModel::kModeStaLta);
    }
    for (QWidget* w : m_LevelWidgets) {
        w->setVisible(mode == CTriggerPageModel::kModeLevel);
    }
    for (QWidget* w : m_StaLtaWidgets) {
        w->setVisible(mode == CTriggerPageModel::kModeStaLta);
    }
}

void CTriggerPage::StoreFields() {
    TriggerValues* v = Current();
    if (v == nullptr) {
        return;
    }
    if (SayingCorrection()) {
        return;
    }
    const int k = m_Model.Selected();
    // The first value the page changes is said, with what will be sent.
    QLineEdit* noted = nullptr;
    std::string note;
    auto take = [&](QLineEdit* field, const char* name, double typed, double kept,
                    const char* unit) {
        if (note.empty() && kept != typed) {
            note = CorrectionNote(name, field->text().trimmed().toStdString(), DecimalText(kept),
                                  unit);
            noted = field;
        }
        return kept;
    };
    // Only the fields the mode shows are taken: a hidden field shows 0 and must not replace
    // the value the recorder holds.
    if (v->mode == CTriggerPageModel::kModeLevel || v->mode == CTriggerPageModel::kModeStaLta) {
        const double high = m_HighPass->text().toDouble();
        const double low = m_LowPass->text().toDouble();
        v->highPass =
            take(m_HighPass, "High Pass Filter Corner", high, m_Model.LimitCorner(k, high), " Hz");
        v->lowPass =
            take(m_LowPass, "Low Pass Filter Corner", low, m_Model.LimitCorner(k, low), " Hz");
    }
    if (v->mode == CTriggerPageModel::kModeLevel) {
        const double level = m_Level->text().toDouble();
        v->level = take(m_Level, "Trigger Level", level, CTriggerPageModel::LimitLevel(level),
                        " % Full Scale");
    }
    if (v->mode == CTriggerPageModel::kModeStaLta) {
        const double sta = static_cast<double>(m_Sta->text().toLongLong());
        const double lta = static_cast<double>(m_Lta->text().toLongLong());
        v->sta = static_cast<int>(
            take(m_Sta, "STA Time Constant", sta,
                 CTriggerPageModel::LimitTimeConstant(static_cast<long long>(sta)), " s"));
        v->lta = static_cast<int>(
            take(m_Lta, "LTA Time Constant", lta,
                 CTriggerPageModel::LimitTimeConstant(static_cast<long long>(lta)), " s"));
        const double ratio = m_Ratio->text().toDouble();
        const double detrigger = m_Detrigger->text().toDouble();
        v->ratio =
            take(m_Ratio, "STA/LTA Trigger Ratio", ratio, CTriggerPageModel::LimitRatio(ratio), "");
        v->detrigger = take(m_Detrigger, "STA/LTA Detrigger Ratio", detrigger,
                            CTriggerPageModel::LimitRatio(detrigger), "");
    }
    Load();
    SayCorrection(noted, note);
}

void CTriggerPage::Activate() {
    m_Model.LimitAllCorners();
    Load();
}

int CTriggerPage::Prepare(std::string&) {
    StoreFields();
    m_Model.LimitAllCorners();
    Load();
    return 1;
}

} // namespace nereid::instrument
