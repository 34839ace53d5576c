#pragma once

#include <array>
#include <functional>

#include "instrument/configuration/config_page.h"
#include "instrument/configuration/model/channel_page_model.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace nereid::instrument {

// The six-channel "    Channels    " page of model code 17: six enable boxes and a primary and
// a secondary rate for channels 1..3 and for channels 4..6.
class CChannelPage : public CConfigPage {
    Q_OBJECT
public:
    CChannelPage(CPageModel& page, CChannelPageModel& model, QWidget* parent = nullptr);
    void Load() override;
    // Rebuilds both secondary lists for the primaries shown.
    void Activate() override;
    // Called after a primary rate is chosen (the trigger page's corner limits follow it).
    void SetPrimaryChanged(std::function<void()> hook) { m_PrimaryChanged = std::move(hook); }

private:
    void LoadSecondary(int group);
    void ShowRates();

    CChannelPageModel& m_Model;
    std::array<QCheckBox*, 6> m_Enabled{};
    std::array<QLabel*, 6> m_PrimaryTexts{};
    std::array<QLabel*, 6> m_SecondaryTexts{};
    std::array<QComboBox*, 2> m_Primary{};
    std::array<QComboBox*, 2> m_Secondary{};
    std::function<void()> m_PrimaryChanged;
};

} // namespace nereid::instrument
