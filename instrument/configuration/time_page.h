#pragma once

#include <array>
#include <functional>

#include "instrument/configuration/config_page.h"
#include "instrument/configuration/model/time_page_model.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace nereid::instrument {

// The "        Time       " page: the clock discipline fields of the configuration and the
// "Time Set" group, whose own "Send" sets the recorder's clock with 0x8B.
class CTimePage : public CConfigPage {
    Q_OBJECT
public:
    CTimePage(CPageModel& page, CTimePageModel& model, QWidget* parent = nullptr);
    void Load() override;
    // Checks the two editable number fields; 0 with the range message.
    int Prepare(std::string& message) override;
    // Every opening shows the PC's current local date and time in "Time Set".
    void OnSheetOpened(CPropertySheet& sheet) override;
    void ResetTimeSet();

    // The "Time Set" fields (clamped as on leaving them) and the command they give.
    ClockFields TimeSetFields();
    // Called with the clock-set command when the group's "Send" is pressed.
    void SetClockSendHook(std::function<void(const link::ClockSetCommand&)> hook) {
        m_ClockSend = std::move(hook);
    }
    QLineEdit* TimeSetField(int index) const { return m_TimeSet[static_cast<std::size_t>(index)]; }
    QLineEdit* GpsCycleField() const { return m_GpsCycle; }
    QLineEdit* JamThresholdField() const { return m_JamThreshold; }
    QPushButton* ClockSendButton() const { return m_ClockSendButton; }

private:
    // Reads a number field with its range: 1, or 0 with the framework's message in `message`
    // and the focus back in the field.
    int ReadField(QLineEdit* field, const FieldRange& range, std::int64_t& value,
                  std::string& message);
    // The same on leaving the field, with the message shown.
    void LeaveField(QLineEdit* field, const FieldRange& range, std::int64_t& value, bool& ok);
    // Holds field `index` to its range; `say` tells the operator what changed (on leaving it).
    void ClampTimeSetField(int index, bool say);

    CTimePageModel& m_Model;
    std::array<QRadioButton*, 3> m_Sync{};
    QLineEdit* m_GpsCycle = nullptr;
    QLineEdit* m_MinimumCorrection = nullptr;
    QLineEdit* m_JamThreshold = nullptr;
    QLineEdit* m_Drift = nullptr;
    // month, day, year, hour, minute, second
    std::array<QLineEdit*, 6> m_TimeSet{};
    QPushButton* m_ClockSendButton = nullptr;
    std::function<void(const link::ClockSetCommand&)> m_ClockSend;
};

} // namespace nereid::instrument
