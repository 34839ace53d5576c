#include "instrument/status/status_pages.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "instrument/sheet/property_sheet.h"

namespace nereid::instrument {

namespace {

QLineEdit* ReadOnlyField(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setMinimumWidth(90);
    return edit;
}

} // namespace

CFieldsPage::CFieldsPage(CPageModel& model, QWidget* parent) : CSheetPage(model, parent) {}

void CFieldsPage::BuildFields(int columns, const char* const* units) {
    const CPageModel& model = Model();
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    const std::vector<PageField> fields = model.Fields();
    const int rows = (static_cast<int>(fields.size()) + columns - 1) / columns;
    const int stride = units != nullptr ? 3 : 2;
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        const int row = i % rows;
        const int column = (i / rows) * stride;
        auto* label =
            new QLabel(QString::fromStdString(fields[static_cast<std::size_t>(i)].label), this);
        QLineEdit* edit = ReadOnlyField(this);
        edit->setObjectName(QString("field%1").arg(i));
        // Control identifiers for the per-control help: 1000 + position on the page.
        SetHelpId(edit, 1000 + i);
        SetHelpId(label, 1000 + i);
        label->setBuddy(edit);
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
        if (units != nullptr && units[i][0] != '\0')
            grid->addWidget(new QLabel(units[i], this), row, column + 2);
        m_Edits.push_back(edit);
    }
    grid->setRowStretch(rows, 1);
    Refresh();
}

void CFieldsPage::Refresh() {
    const std::vector<PageField> fields = Model().Fields();
    for (std::size_t i = 0; i < fields.size() && i < m_Edits.size(); ++i)
        m_Edits[i]->setText(QString::fromStdString(fields[i].text));
}

void CFieldsPage::OnActivate(CPropertySheet& sheet) {
    sheet.ApplyButton()->setEnabled(true);
    sheet.TransactQuery(Model().QueryCode());
}

CHardPage::CHardPage(QWidget* parent) : CFieldsPage(m_Model, parent) {
    BuildFields(2, nullptr);
}

void CHardPage::OnActivate(CPropertySheet& sheet) {
    if (sheet.Opening())
        return;
    CFieldsPage::OnActivate(sheet);
}

CStaPage::CStaPage(QWidget* parent) : CFieldsPage(m_Model, parent) {
    BuildFields(2, CStateOfHealthModel::kUnits);
}

CClocPage::CClocPage(QWidget* parent) : CFieldsPage(m_Model, parent) {
    BuildFields(2, nullptr);
}

CDriveStatusPage::CDriveStatusPage(QWidget* parent) : CSheetPage(m_Model, parent) {
    auto* grid = new QGridLayout(this);
    for (int c = 0; c < 5; ++c)
        grid->addWidget(new QLabel(CDriveStatusModel::kColumnLabels[c], this), 0, c + 1);
    for (int d = 0; d < CDriveStatusModel::kDrives; ++d) {
        const auto i = static_cast<std::size_t>(d);
        grid->addWidget(new QLabel(QString(QChar('A' + d)), this), d + 1, 0);
        m_Installed[i] = new QCheckBox(this);
        // The box shows the recorder's answer; the operator cannot tick it.
        m_Installed[i]->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_Installed[i]->setFocusPolicy(Qt::NoFocus);
        SetHelpId(m_Installed[i], 1000 + 5 * d);
        grid->addWidget(m_Installed[i], d + 1, 1, Qt::AlignHCenter);
        for (int c = 0; c < 4; ++c) {
            QLineEdit* edit = ReadOnlyField(this);
            SetHelpId(edit, 1000 + 5 * d + c + 1);
            m_Cells[i][static_cast<std::size_t>(c)] = edit;
            grid->addWidget(edit, d + 1, c + 2);
        }
    }
    grid->setRowStretch(CDriveStatusModel::kDrives + 1, 1);
}

void CDriveStatusPage::Refresh() {
    for (int d = 0; d < CDriveStatusModel::kDrives; ++d) {
        const DriveRow& row = m_Model.Rows()[static_cast<std::size_t>(d)];
        m_Installed[static_cast<std::size_t>(d)]->setChecked(row.installed);
        Cell(d, 0)->setText(QString::fromStdString(row.type));
        Cell(d, 1)->setText(QString::fromStdString(row.label));
        Cell(d, 2)->setText(QString::fromStdString(row.serial));
        Cell(d, 3)->setText(QString::fromStdString(row.freeSpace));
    }
}

void CDriveStatusPage::OnActivate(CPropertySheet& sheet) {
    sheet.ApplyButton()->setEnabled(true);
    sheet.TransactQuery(m_Model.QueryCode());
}

} // namespace nereid::instrument
