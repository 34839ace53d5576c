#pragma once

#include "instrument/internal_recording/ir_page.h"
#include "instrument/internal_recording/model/ir_window_model.h"

namespace nereid::instrument {

// The "Window" page: the window chosen in "Window:" is shown and edited.
class CIRDWindowPage : public CIRPage {
    Q_OBJECT
public:
    explicit CIRDWindowPage(CIRSetupModel& setup, QWidget* parent = nullptr);
    void Refresh() override;
    void ReadControls() override;
    void SetStreamCount(int n) override { m_Channels.SetStreamCount(n); }

    // Stores the shown window and checks it (before a switch, a page change or a Send).
    // Returns 1, or -1 after showing the message; the interval is then corrected.
    int Validate();
    // Validates the shown window; a failed check refuses the Send with its message.
    int Collect(std::string& message) override;

    QComboBox* WindowCombo() const { return m_Window; }
    // Hours, minutes, seconds of the duration (0..2) and of the interval (3..5).
    QLineEdit* SpanEdit(int k) const { return m_Span[static_cast<std::size_t>(k)]; }
    QCheckBox* EnabledBox() const { return m_Enabled; }

private:
    CIRWindowModel& m_Model;
    QComboBox* m_Window = nullptr;
    QCheckBox* m_Enabled = nullptr;
    QComboBox* m_Mode = nullptr;
    CIRDateEdits m_Start;
    std::array<QLineEdit*, 6> m_Span{};
    QLineEdit* m_Repetitions = nullptr;
    QLineEdit* m_MaxFile = nullptr;
    QComboBox* m_MaxFileUnit = nullptr;
    CIRChannelBoxes m_Channels;
};

} // namespace nereid::instrument
