#pragma once

#include "instrument/internal_recording/ir_page.h"
#include "instrument/internal_recording/model/ir_soh_model.h"
#include "instrument/internal_recording/model/ir_status_model.h"

class QSpinBox;

namespace nereid::instrument {

// The "State of Health" page: an "Enable" box and a "Sample Interval" per row.
class CIRDSOHPage : public CIRPage {
    Q_OBJECT
public:
    explicit CIRDSOHPage(CIRSetupModel& setup, QWidget* parent = nullptr);
    void Refresh() override;
    void ReadControls() override;
    QCheckBox* EnableBox(int row) const { return m_Enable[static_cast<std::size_t>(row)]; }
    QSpinBox* IntervalSpin(int row) const { return m_Interval[static_cast<std::size_t>(row)]; }

private:
    CIRSohModel& m_Model;
    std::array<QCheckBox*, kSohRows> m_Enable{};
    std::array<QSpinBox*, kSohRows> m_Interval{};
};

// The "Status" page: the storage drive alone.
class CIRDStatusPage : public CIRPage {
    Q_OBJECT
public:
    explicit CIRDStatusPage(CIRSetupModel& setup, QWidget* parent = nullptr);
    void Refresh() override;
    void ReadControls() override;

private:
    CIRStatusModel& m_Model;
};

} // namespace nereid::instrument
