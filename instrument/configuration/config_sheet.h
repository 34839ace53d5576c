#pragma once

#include <functional>
#include <memory>

#include "instrument/configuration/model/config_model.h"
#include "instrument/configuration/model/config_page_model.h"
#include "instrument/sheet/property_sheet.h"

namespace nereid::instrument {

class CComPage;
class CChaPage;
class CCommunicationPage;
class CChannelPage;
class CTimePage;
class CTriggerPage;

// The Configuration sheet: reads the recorder's configuration (0xB2) at every opening and
// sends the whole record (0x89) assembled from every present page on "Send"; the Time page's
// own "Send" sets the clock (0x8B). Model code 17 shows the one-port Communications,
// six-channel Channels, Time and Triggers pages; every other model the five-port
// Communications, eight-channel Channels and Time pages.
class CConfigSheet : public CPropertySheet {
    Q_OBJECT
public:
    explicit CConfigSheet(const SheetContext& context, QWidget* parent = nullptr);
    ~CConfigSheet() override;

    // Called after the recorder accepted a configuration, with the Local port's baud rate of
    // the record sent, once the stream list has the new enables and rates. The main window
    // remembers the rate and rebuilds the channel table with the receiver thread parked.
    void SetAcceptedHook(std::function<void(int localBaud)> hook) { m_Accepted = std::move(hook); }

    CConfigModel& Config() { return m_Config; }
    CComPage* ComPage() const { return m_ComPage; }
    CChaPage* ChaPage() const { return m_ChaPage; }
    CCommunicationPage* CommunicationPage() const { return m_CommunicationPage; }
    CChannelPage* ChannelPage() const { return m_ChannelPage; }
    CTimePage* TimePage() const { return m_TimePage; }
    CTriggerPage* TriggerPage() const { return m_TriggerPage; }

protected:
    void OnOpening() override;
    void OnAnswer(std::uint8_t code, const link::FrameRecord& answer) override;
    void OnClosing() override;

private:
    void LoadAll();

    CConfigModel m_Config;
    std::vector<std::unique_ptr<CConfigPageModel>> m_PageModels;
    CComPage* m_ComPage = nullptr;
    CChaPage* m_ChaPage = nullptr;
    CCommunicationPage* m_CommunicationPage = nullptr;
    CChannelPage* m_ChannelPage = nullptr;
    CTimePage* m_TimePage = nullptr;
    CTriggerPage* m_TriggerPage = nullptr;
    std::function<void(int)> m_Accepted;
};

} // namespace nereid::instrument
