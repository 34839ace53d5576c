#include "instrument/configuration/model/config_page_model.h"

namespace nereid::instrument {

int CConfigPageModel::Prepare(std::uint8_t& code, link::CommandRecord& record,
                              std::string& message) {
    link::ConfigurationRecord assembled;
    const int result = m_Config.Assemble(assembled);
    if (result == kConfigurationNotRead) {
        message = kConfigurationNotReadText;
        return kNothingToSend;
    }
    if (result != 1) {
        message.clear();
        if (m_InvalidEntry) {
            m_InvalidEntry();
        }
        return kNothingToSend;
    }
    m_Config.RememberSent(assembled);
    code = kSetConfiguration;
    record = link::CommandRecord{0, assembled};
    return kPrepared;
}

} // namespace nereid::instrument
