#pragma once

#include <functional>

#include "instrument/configuration/model/config_model.h"
#include "instrument/sheet/model/page_model.h"

namespace nereid::instrument {

// One page of the Configuration sheet as the sheet machinery sees it. Whichever page is
// active, "Send" sends the whole record assembled from every present page.
class CConfigPageModel : public CPageModel {
public:
    CConfigPageModel(int dialogId, const char* caption, CConfigModel& config)
        : m_DialogId(dialogId), m_Caption(caption), m_Config(config) {}

    int DialogId() const override { return m_DialogId; }
    const char* Caption() const override { return m_Caption; }

    // Assembles the 0x89 record and keeps the copy of what is sent. Without this opening's
    // configuration answer returns kNothingToSend with kConfigurationNotReadText. When the
    // five-port page refuses, calls the invalid-entry hook (the sheet's "Invalid Entry" box)
    // and returns kNothingToSend.
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;

    void SetInvalidEntryHook(std::function<void()> hook) { m_InvalidEntry = std::move(hook); }

private:
    int m_DialogId;
    const char* m_Caption;
    CConfigModel& m_Config;
    std::function<void()> m_InvalidEntry;
};

} // namespace nereid::instrument
