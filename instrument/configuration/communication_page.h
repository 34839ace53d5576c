#pragma once

#include <array>

#include "instrument/configuration/config_page.h"
#include "instrument/configuration/model/communication_page_model.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace nereid::instrument {

// The one-port "Communications" page of model code 17.
class CCommunicationPage : public CConfigPage {
    Q_OBJECT
public:
    CCommunicationPage(CPageModel& page, CCommunicationPageModel& model, QWidget* parent = nullptr);
    void Load() override;

private:
    void ApplyVisibility();

    CCommunicationPageModel& m_Model;
    QComboBox* m_Port = nullptr;
    QComboBox* m_Protocol = nullptr;
    QComboBox* m_Baud = nullptr;
    QComboBox* m_Format = nullptr;
    std::array<QLabel*, 3> m_SettingLabels{};
    std::array<QCheckBox*, 4> m_AckBoxes{};
    std::array<QLabel*, 3> m_TableHeadings{};
    std::array<QLabel*, 6> m_ChannelLabels{};
    std::array<QCheckBox*, 6> m_Primary{};
    std::array<QCheckBox*, 6> m_Secondary{};
};

} // namespace nereid::instrument
