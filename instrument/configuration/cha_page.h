#pragma once

#include <array>

#include "instrument/configuration/config_page.h"
#include "instrument/configuration/model/cha_page_model.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace nereid::instrument {

// The eight-channel "    Channels    " page (every model but 17).
class CChaPage : public CConfigPage {
    Q_OBJECT
public:
    CChaPage(CPageModel& page, CChaPageModel& model, QWidget* parent = nullptr);
    // Rebuilds the rows for the model's stream list and model code, then shows the values.
    void Open();
    void Load() override;

private:
    struct Row {
        QLabel* label = nullptr;
        QCheckBox* enabled = nullptr;
        QComboBox* rate = nullptr;
        QCheckBox* authLocal = nullptr;
        QCheckBox* authMain = nullptr;
        QCheckBox* authGeneration = nullptr;
    };
    CChaPageModel& m_Model;
    std::array<Row, CChaPageModel::kRows> m_Rows{};
    std::array<QLabel*, 5> m_AuthHeadings{};
    QCheckBox* m_SohLocal = nullptr;
    QCheckBox* m_SohMain = nullptr;
};

} // namespace nereid::instrument
