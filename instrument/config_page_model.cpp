#include "instrument/config_page_model.h"

namespace nereid::instrument {

int CConfigPageModel::Prepare(std::uint8_t& code, link::CommandRecord& record,
                              std::string& message) {
    link::ConfigurationRecord assembled;
    if (m_Config.Assemble(assembled) != 1) {
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
