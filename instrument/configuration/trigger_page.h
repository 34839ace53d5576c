#pragma once

#include "instrument/configuration/config_page.h"
#include "instrument/configuration/model/trigger_page_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace nereid::instrument {

// The "    Triggers    " page of model code 17: the trigger of the channel chosen in
// "Channel", with the controls its mode uses.
class CTriggerPage : public CConfigPage {
    Q_OBJECT
public:
    CTriggerPage(CPageModel& page, CTriggerPageModel& model, QWidget* parent = nullptr);
    // Fills the "Channel" box from the model's channel choices and loads the selected one.
    void Open();
    void Load() override;
    // Holds the corners to their limits, as on leaving the fields.
    void Activate() override;
    int Prepare(std::string& message) override;

    QComboBox* ChannelBox() const { return m_Channel; }
    QComboBox* ModeBox() const { return m_Mode; }
    QLineEdit* LowPassField() const { return m_LowPass; }
    QLineEdit* RatioField() const { return m_Ratio; }
    QLineEdit* LevelField() const { return m_Level; }

private:
    void ApplyVisibility();
    // Reads the fields into the selected channel's values with their limits.
    void StoreFields();
    TriggerValues* Current();

    CTriggerPageModel& m_Model;
    QComboBox* m_Channel = nullptr;
    QComboBox* m_Mode = nullptr;
    QLineEdit* m_HighPass = nullptr;
    QLineEdit* m_LowPass = nullptr;
    QLineEdit* m_Level = nullptr;
    QLineEdit* m_Sta = nullptr;
    QLineEdit* m_Lta = nullptr;
    QLineEdit* m_Ratio = nullptr;
    QLineEdit* m_Detrigger = nullptr;
    QCheckBox* m_UpdatingLta = nullptr;
    std::vector<QWidget*> m_CornerWidgets;
    std::vector<QWidget*> m_LevelWidgets;
    std::vector<QWidget*> m_StaLtaWidgets;
};

} // namespace nereid::instrument
