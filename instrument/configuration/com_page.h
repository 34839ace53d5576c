#pragma once

#include <array>

#include "instrument/configuration/config_page.h"
#include "instrument/configuration/model/com_page_model.h"

class QCheckBox;
class QComboBox;

namespace nereid::instrument {

// The five-port "Communications" page (every model but 17).
class CComPage : public CConfigPage {
    Q_OBJECT
public:
    CComPage(CPageModel& page, CComPageModel& model, QWidget* parent = nullptr);
    void Load() override;

private:
    struct Row {
        QCheckBox* data = nullptr;
        QComboBox* baud = nullptr;
        QCheckBox* tx = nullptr;
        QCheckBox* rx = nullptr;
        QCheckBox* command = nullptr;
        QCheckBox* unsolicited = nullptr;
        QComboBox* protocol = nullptr;
        QComboBox* format = nullptr;
    };
    CComPageModel& m_Model;
    std::array<Row, kPortCount> m_Rows{};
};

} // namespace nereid::instrument
