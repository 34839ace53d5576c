#pragma once

#include "instrument/internal_recording/ir_page.h"
#include "instrument/internal_recording/model/ir_continuous_model.h"

class QLabel;

namespace nereid::instrument {

// The "Continuous" page.
class CIRDContinuousPage : public CIRPage {
    Q_OBJECT
public:
    explicit CIRDContinuousPage(CIRSetupModel& setup, QWidget* parent = nullptr);
    void Refresh() override;
    void ReadControls() override;
    void SetStreamCount(int n) override { m_Channels.SetStreamCount(n); }

    QComboBox* StartModeCombo() const { return m_StartMode; }
    QComboBox* FileSizeCombo() const { return m_FileSize; }
    QLineEdit* MaxSpaceEdit() const { return m_MaxSpace; }
    QLineEdit* DelayEdit() const { return m_Delay; }

private:
    CIRContinuousModel& m_Model;
    QComboBox* m_StartMode = nullptr;
    QComboBox* m_FileSize = nullptr;
    QComboBox* m_BufferFull = nullptr;
    QLineEdit* m_MaxSpace = nullptr;
    QCheckBox* m_Flush = nullptr;
    CIRDateEdits m_Start;
    QLabel* m_StartLabel = nullptr;
    QLineEdit* m_Delay = nullptr;
    QComboBox* m_DelayUnit = nullptr;
    QLabel* m_DelayLabel = nullptr;
    CIRChannelBoxes m_Channels;
};

// Start-mode dependent controls of the continuous and event pages: the delay in "Delayed"
// mode, the start time in "Start Time" mode, neither otherwise.
void ShowStartControls(int startMode, QWidget* delayLabel, QWidget* delay, QWidget* delayUnit,
                       QWidget* startLabel, QWidget* start);

} // namespace nereid::instrument
