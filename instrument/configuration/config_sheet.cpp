#include "instrument/configuration/config_sheet.h"

#include "instrument/configuration/cha_page.h"
#include "instrument/configuration/channel_page.h"
#include "instrument/configuration/com_page.h"
#include "instrument/configuration/communication_page.h"
#include "instrument/configuration/time_page.h"
#include "instrument/configuration/trigger_page.h"
#include "instrument/sheet/model/page_ids.h"
#include "link/answer_records.h"
#include "link/dialogs/message_box.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

CConfigSheet::CConfigSheet(const SheetContext& context, QWidget* parent)
    : CPropertySheet(kConfigurationSheet, "Configuration", context, parent) {
    auto pageModel = [this](int id, const char* caption) -> CConfigPageModel& {
        m_PageModels.push_back(std::make_unique<CConfigPageModel>(id, caption, m_Config));
        m_PageModels.back()->SetInvalidEntryHook([this] {
            // The five-port page's refusal has a box of its own, with an empty title.
            link::ShowMessage(this, QString(), QString::fromLatin1(kInvalidEntryText));
        });
        return *m_PageModels.back();
    };
    m_ComPage =
        new CComPage(pageModel(kFivePortCommunicationsPage, "Communications"), m_Config.ComPage());
    m_ChaPage = new CChaPage(pageModel(kEightChannelPage, "    Channels    "), m_Config.ChaPage());
    m_CommunicationPage = new CCommunicationPage(
        pageModel(kOnePortCommunicationsPage, "Communications"), m_Config.CommunicationPage());
    m_ChannelPage =
        new CChannelPage(pageModel(kSixChannelPage, "    Channels    "), m_Config.ChannelPage());
    m_TimePage = new CTimePage(pageModel(kTimePage, "        Time       "), m_Config.TimePage());
    m_TriggerPage =
        new CTriggerPage(pageModel(kTriggersPage, "    Triggers    "), m_Config.TriggerPage());
    AddPage(m_ComPage);
    AddPage(m_ChaPage);
    AddPage(m_CommunicationPage);
    AddPage(m_ChannelPage);
    AddPage(m_TimePage);
    AddPage(m_TriggerPage);
    m_ChannelPage->SetPrimaryChanged([this] { m_Config.PublishGroupRates(); });
    m_TimePage->SetClockSendHook([this](const link::ClockSetCommand& command) {
        Transact(kSetClock, link::CommandRecord{0, command});
    });
    resize(640, 470);
}

CConfigSheet::~CConfigSheet() = default;

void CConfigSheet::OnOpening() {
    // The rows follow the stream list of the connection as it is now; the page set follows
    // the model code of the first opening.
    static const recording::CStreamList kNoStreams;
    const recording::CStreamList& streams =
        Context().streams != nullptr ? *Context().streams : kNoStreams;
    m_Config.Open(LatchedModelCode(), streams);
    m_ChaPage->Open();
    m_TriggerPage->Open();
    LoadAll();
    TransactQuery(kGetConfiguration);
}

void CConfigSheet::LoadAll() {
    for (CConfigPage* page : std::initializer_list<CConfigPage*>{
             m_ComPage, m_ChaPage, m_CommunicationPage, m_ChannelPage, m_TimePage, m_TriggerPage}) {
        page->Load();
    }
}

void CConfigSheet::OnAnswer(std::uint8_t code, const link::FrameRecord& answer) {
    if (code == kGetConfiguration) {
        if (const auto* record = std::get_if<link::ConfigurationRecord>(&answer.decoded)) {
            m_Config.ShowAnswer(*record);
            LoadAll();
            if (CSheetPage* active = ActivePage()) {
                active->OnActivate(*this);
            }
        }
        return;
    }
    if (code == kSetConfiguration) {
        static recording::CStreamList unused;
        recording::CStreamList& streams =
            Context().streams != nullptr ? *Context().streams : unused;
        const int localBaud = m_Config.OnAccepted(streams);
        if (m_Accepted) {
            m_Accepted(localBaud);
        }
        LoadAll();
    }
}

void CConfigSheet::OnClosing() {
    m_Config.ForgetSent();
}

} // namespace nereid::instrument
