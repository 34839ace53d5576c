#include "instrument/internal_recording/ir_station_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace nereid::instrument {

CIRDStationNamePage::CIRDStationNamePage(CIRSetupModel& setup, QWidget* parent)
    : CSheetPage(m_Adapter, parent), m_Adapter(setup, kIRStationPage), m_Model(setup.station) {
    auto* grid = new QGridLayout(this);
    m_Editor = new QLineEdit(this);
    m_Current = new QLineEdit(this);
    for (QLineEdit* e : {m_Editor, m_Current}) {
        e->setMaxLength(4);
        e->setFixedWidth(70);
    }
    m_Current->setReadOnly(true);
    grid->addWidget(new QLabel("Editor", this), 0, 0);
    grid->addWidget(m_Editor, 0, 1);
    grid->addWidget(new QLabel("Current Value", this), 1, 0);
    grid->addWidget(m_Current, 1, 1);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(2, 1);
    connect(m_Editor, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_Refreshing) {
            return;
        }
        m_Model.SetEditorText(text.toStdString());
        emit modified();
    });
}

void CIRDStationNamePage::Refresh() {
    m_Refreshing = true;
    m_Editor->setText(QString::fromStdString(m_Model.EditorText()));
    m_Current->setText(QString::fromStdString(m_Model.CurrentValue()));
    m_Refreshing = false;
}

} // namespace nereid::instrument
