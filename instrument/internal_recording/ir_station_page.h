#pragma once

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/internal_recording/model/ir_sheet_models.h"
#include "instrument/sheet/sheet_page.h"

class QLineEdit;

namespace nereid::instrument {

// "Station Name ": the name to send ("Editor") and the name the recorder holds ("Current
// Value").
class CIRDStationNamePage : public CSheetPage {
    Q_OBJECT
public:
    explicit CIRDStationNamePage(CIRSetupModel& setup, QWidget* parent = nullptr);
    void Refresh() override;
    QLineEdit* EditorEdit() const { return m_Editor; }
    QLineEdit* CurrentEdit() const { return m_Current; }

signals:
    void modified();

private:
    CIRPageAdapter m_Adapter;
    CIRStationModel& m_Model;
    QLineEdit* m_Editor = nullptr;
    QLineEdit* m_Current = nullptr;
    bool m_Refreshing = false;
};

} // namespace nereid::instrument
