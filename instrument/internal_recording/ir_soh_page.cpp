#include "instrument/internal_recording/ir_soh_page.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

namespace nereid::instrument {

CIRDSOHPage::CIRDSOHPage(CIRSetupModel& setup, QWidget* parent)
    : CIRPage(setup, kIRSohPage, parent), m_Model(setup.soh) {
    m_Grid->addWidget(new QLabel("Enable", this), 1, 1);
    m_Grid->addWidget(new QLabel("Sample Interval", this), 1, 2);
    for (int r = 0; r < kSohRows; ++r) {
        auto* enable = new QCheckBox(this);
        auto* spin = new QSpinBox(this);
        spin->setRange(1, 99);
        spin->setSuffix(" s");
        m_Enable[static_cast<std::size_t>(r)] = enable;
        m_Interval[static_cast<std::size_t>(r)] = spin;
        m_Grid->addWidget(new QLabel(kSohRowNames[r], this), r + 2, 0);
        m_Grid->addWidget(enable, r + 2, 1, Qt::AlignCenter);
        m_Grid->addWidget(spin, r + 2, 2);
        Watch(enable);
        Watch(spin);
    }
    m_Grid->setRowStretch(kSohRows + 2, 1);
}

void CIRDSOHPage::Refresh() {
    m_Refreshing = true;
    ShowDrive(m_Model.edit.drive);
    for (std::size_t r = 0; r < kSohRows; ++r) {
        m_Enable[r]->setChecked(m_Model.edit.enabled[r]);
        m_Interval[r]->setValue(m_Model.edit.intervals[r]);
    }
    m_Refreshing = false;
}

void CIRDSOHPage::ReadControls() {
    m_Model.edit.drive = ChosenDrive(m_Model.edit.drive);
    for (std::size_t r = 0; r < kSohRows; ++r) {
        m_Model.edit.enabled[r] = m_Enable[r]->isChecked();
        // The spin box holds 1..99; a received value outside stays until it is changed.
        if (m_Interval[r]->value() != std::clamp(m_Model.edit.intervals[r], 1, 99)) {
            m_Model.edit.intervals[r] = CorrectSohInterval(m_Interval[r]->value());
        }
    }
}

CIRDStatusPage::CIRDStatusPage(CIRSetupModel& setup, QWidget* parent)
    : CIRPage(setup, kIRStatusPage, parent), m_Model(setup.status) {
    m_Grid->setRowStretch(1, 1);
    m_Grid->setColumnStretch(2, 1);
}

void CIRDStatusPage::Refresh() {
    m_Refreshing = true;
    ShowDrive(m_Model.edit.drive);
    m_Refreshing = false;
}

void CIRDStatusPage::ReadControls() {
    m_Model.edit.drive = ChosenDrive(m_Model.edit.drive);
}

} // namespace nereid::instrument
