#include "instrument/command/command_pages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "instrument/sheet/property_sheet.h"
#include "link/dialogs/message_box.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

COrderPage::COrderPage(CPlainOrderModel model, const QString& text, QWidget* parent)
    : CSheetPage(m_Order, parent), m_Order(std::move(model)) {
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    SetHelpId(label, 1000);
    layout->addWidget(label);
    layout->addStretch(1);
}

CColdPage::CColdPage(QWidget* parent)
    : COrderPage(MakeColdResetModel(),
                 "Press EXECUTE to restart the recorder with its power-up settings.", parent) {}

CWarmPage::CWarmPage(QWidget* parent)
    : COrderPage(MakeWarmResetModel(),
                 "Press EXECUTE to restart the recorder's program; its settings are kept.",
                 parent) {}

CPowPage::CPowPage(QWidget* parent)
    : COrderPage(MakePowerOffModel(),
                 "Press EXECUTE to switch the recorder off. It can only be switched on again "
                 "at the site.",
                 parent) {}

CFluPage::CFluPage(QWidget* parent)
    : COrderPage(MakeFlushModel(),
                 "Press EXECUTE to write the recorder's buffered data to its drives.", parent) {}

CChoicePage::CChoicePage(CChoiceModel& model, QWidget* parent)
    : CSheetPage(model, parent), m_Choices(model) {}

void CChoicePage::BuildChoices(const QString& title, const char* const* texts, int count) {
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(title, this);
    auto* inner = new QVBoxLayout(box);
    m_Group = new QButtonGroup(this);
    for (int i = 0; i < count; ++i) {
        auto* radio = new QRadioButton(texts[i], box);
        SetHelpId(radio, 1000 + i);
        m_Group->addButton(radio, i);
        inner->addWidget(radio);
    }
    layout->addWidget(box);
    layout->addStretch(1);
}

QRadioButton* CChoicePage::Choice(int index) const {
    return qobject_cast<QRadioButton*>(m_Group->button(index));
}

int CChoicePage::Collect(std::string& message) {
    m_Choices.SetChoice(m_Group->checkedId()); // -1 when none is chosen
    message.clear();
    return 1;
}

void CChoicePage::Refresh() {
    const int choice = m_Choices.Choice();
    if (choice < 0) {
        // An exclusive group keeps one button checked; clearing needs it off for a moment.
        m_Group->setExclusive(false);
        for (QAbstractButton* b : m_Group->buttons())
            b->setChecked(false);
        m_Group->setExclusive(true);
    } else if (QAbstractButton* b = m_Group->button(choice)) {
        b->setChecked(true);
    }
}

void CChoicePage::OnSheetOpened(CPropertySheet&) {
    m_Choices.ClearChoice();
    Refresh();
}

CPowerDownDrive::CPowerDownDrive(QWidget* parent) : CChoicePage(m_Model, parent) {
    BuildChoices("Drive", CPowerDownDriveModel::kChoices, 3);
}

CAcqPage::CAcqPage(QWidget* parent) : CChoicePage(m_Model, parent) {
    BuildChoices("Acquisition", CAcquisitionModel::kChoices, 2);
}

CVppPage::CVppPage(QWidget* parent) : CChoicePage(m_Model, parent) {
    BuildChoices("Vpp Supply", CSwitchModel::kChoices, 2);
}

CLedPage::CLedPage(QWidget* parent) : CChoicePage(m_Model, parent) {
    BuildChoices("LED Display", CSwitchModel::kChoices, 2);
}

CRealTimeDataPC::CRealTimeDataPC(QWidget* parent) : CChoicePage(m_Model, parent) {
    BuildChoices("", CRealTimeModel::kChoices, 2);
}

CAdcOffsetCalPage::CAdcOffsetCalPage(QWidget* parent) : CSheetPage(m_Model, parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Press EXECUTE to calibrate the offsets of the recorder's "
                                 "converters.",
                                 this));
    layout->addStretch(1);
}

CRelPage::CRelPage(QWidget* parent) : CSheetPage(m_Model, parent) {
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(1);
    for (int r = 0; r < CRelayModel::kMaxRows; ++r) {
        RowWidgets& w = m_Rows[static_cast<std::size_t>(r)];
        const int row = r % 8;
        const int column = (r / 8) * 5;
        w.label = new QLabel(this);
        w.enable = new QCheckBox("Enable", this);
        w.group = new QButtonGroup(this);
        grid->addWidget(w.label, row, column);
        grid->addWidget(w.enable, row, column + 1);
        for (int p = 0; p < 3; ++p) {
            auto* radio = new QRadioButton(CRelayModel::kPositions[p], this);
            w.positions[static_cast<std::size_t>(p)] = radio;
            w.group->addButton(radio, p);
            grid->addWidget(radio, row, column + 2 + p);
        }
    }
    grid->setRowStretch(8, 1);
}

void CRelPage::OnSheetOpened(CPropertySheet& sheet) {
    if (sheet.Context().streams != nullptr)
        m_Model.SetStreams(*sheet.Context().streams);
    else
        m_Model.SetStreams(recording::CStreamList{});
    for (int r = 0; r < CRelayModel::kMaxRows; ++r) {
        RowWidgets& w = m_Rows[static_cast<std::size_t>(r)];
        const bool shown = r < m_Model.RowCount();
        w.label->setVisible(shown);
        w.enable->setVisible(shown);
        for (QRadioButton* radio : w.positions)
            radio->setVisible(shown);
        w.label->setText(QString::fromStdString(m_Model.RowAt(r).label));
    }
    Refresh();
}

int CRelPage::Collect(std::string& message) {
    for (int r = 0; r < m_Model.RowCount(); ++r) {
        const RowWidgets& w = m_Rows[static_cast<std::size_t>(r)];
        CRelayModel::Row& row = m_Model.RowAt(r);
        row.enabled = w.enable->isChecked();
        row.position = std::max(0, w.group->checkedId());
    }
    message.clear();
    return 1;
}

void CRelPage::Refresh() {
    for (int r = 0; r < m_Model.RowCount(); ++r) {
        const RowWidgets& w = m_Rows[static_cast<std::size_t>(r)];
        const CRelayModel::Row& row = m_Model.RowAt(r);
        w.enable->setChecked(row.enabled);
        w.positions[static_cast<std::size_t>(std::clamp(row.position, 0, 2))]->setChecked(true);
    }
}

CDampResPage::CDampResPage(QWidget* parent) : CSheetPage(m_Model, parent) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel("Channel", this), 0, 0);
    grid->addWidget(new QLabel("Enable", this), 0, 1);
    grid->addWidget(new QLabel("Current Damping     Scale Value            (0 to 127)", this), 0,
                    2);
    for (int k = 0; k < CDampingModel::kChannels; ++k) {
        const auto i = static_cast<std::size_t>(k);
        grid->addWidget(new QLabel(QString("Channel %1").arg(k + 1), this), k + 1, 0);
        m_Enables[i] = new QCheckBox(this);
        m_Values[i] = new QLineEdit(this);
        m_Values[i]->setMaxLength(5);
        grid->addWidget(m_Enables[i], k + 1, 1, Qt::AlignHCenter);
        grid->addWidget(m_Values[i], k + 1, 2);
    }
    m_SendEnables = new QPushButton("Send", this);
    m_SendValues = new QPushButton("Send", this);
    m_SendBoth = new QPushButton("Send", this);
    for (QPushButton* b : {m_SendEnables, m_SendValues, m_SendBoth})
        b->setAutoDefault(false);
    grid->addWidget(m_SendEnables, 9, 1);
    grid->addWidget(m_SendValues, 9, 2);
    grid->addWidget(m_SendBoth, 10, 1, 1, 2);
    grid->setRowStretch(11, 1);
    connect(m_SendEnables, &QPushButton::clicked, this, [this] { Send(0); });
    connect(m_SendValues, &QPushButton::clicked, this, [this] { Send(1); });
    connect(m_SendBoth, &QPushButton::clicked, this, [this] { Send(2); });
    Refresh();
}

void CDampResPage::OnSheetOpened(CPropertySheet&) {
    m_Asked = false;
}

void CDampResPage::OnActivate(CPropertySheet& sheet) {
    if (m_Asked)
        return;
    m_Asked = true;
    sheet.TransactQuery(m_Model.QueryCode());
}

void CDampResPage::Refresh() {
    for (int k = 0; k < CDampingModel::kChannels; ++k) {
        m_Enables[static_cast<std::size_t>(k)]->setChecked(m_Model.Enabled(k));
        m_Values[static_cast<std::size_t>(k)]->setText(QString::number(m_Model.Value(k)));
    }
}

int CDampResPage::Collect(std::string& message) {
    for (int k = 0; k < CDampingModel::kChannels; ++k) {
        const auto i = static_cast<std::size_t>(k);
        m_Model.SetEnabled(k, m_Enables[i]->isChecked());
        if (m_Model.SetValueText(k, m_Values[i]->text().toStdString(), message) != 1) {
            m_Values[i]->setFocus();
            m_Values[i]->selectAll();
            return 0;
        }
    }
    message.clear();
    return 1;
}

void CDampResPage::Send(int which) {
    CPropertySheet* sheet = Sheet();
    if (sheet == nullptr)
        return;
    std::string message;
    if (Collect(message) != 1) {
        link::ShowMessage(sheet, link::kTellusCaption, QString::fromStdString(message));
        return;
    }
    std::uint8_t code = 0;
    link::CommandRecord record;
    const int prepared = which == 0   ? m_Model.PrepareEnables(code, record, message)
                         : which == 1 ? m_Model.PrepareValues(code, record, message)
                                      : m_Model.PrepareBoth(code, record, message);
    if (prepared == kPrepared)
        sheet->Transact(code, record);
    else if (!message.empty())
        link::ShowMessage(sheet, link::kTellusCaption, QString::fromStdString(message));
}

} // namespace nereid::instrument
