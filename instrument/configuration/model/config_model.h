#pragma once

#include <optional>

#include "instrument/configuration/model/cha_page_model.h"
#include "instrument/configuration/model/channel_page_model.h"
#include "instrument/configuration/model/com_page_model.h"
#include "instrument/configuration/model/communication_page_model.h"
#include "instrument/configuration/model/time_page_model.h"
#include "instrument/configuration/model/trigger_page_model.h"
#include "link/command_records.h"
#include "recording/stream_list.h"

namespace nereid::instrument {

constexpr std::uint8_t kGetConfiguration = 0xB2;
constexpr std::uint8_t kSetConfiguration = 0x89;
constexpr std::uint8_t kSetClock = 0x8B;
// Assemble's refusal when this opening of the sheet has no configuration answer.
constexpr int kConfigurationNotRead = -3;
inline constexpr const char* kConfigurationNotReadText =
    "The configuration was not read from the recorder when this sheet opened, so nothing was "
    "sent. Close the sheet and open it again to read it.";

// The pages of the Configuration sheet without their widgets: which pages a model has, the
// routing of the configuration answer to them, the assembly of the 0x89 record from them, and
// what follows an accepted 0x89.
class CConfigModel {
public:
    // Chooses the page set (model code 17: one-port Communications, six-channel Channels,
    // Time, Triggers; every other model: five-port Communications, eight-channel Channels,
    // Time) and lets the pages take their rows from the stream list. Forgets the record of an
    // earlier opening: the recorder may have changed (or be another one) since, and only an
    // answer to this opening's query may be sent back.
    void Open(int modelCode, const recording::CStreamList& streams);
    int ModelCode() const { return m_ModelCode; }
    bool SixChannel() const { return m_ModelCode == 17; }

    CComPageModel& ComPage() { return m_Com; }
    CCommunicationPageModel& CommunicationPage() { return m_Communication; }
    CChaPageModel& ChaPage() { return m_Cha; }
    CChannelPageModel& ChannelPage() { return m_Channel; }
    CTimePageModel& TimePage() { return m_Time; }
    CTriggerPageModel& TriggerPage() { return m_Trigger; }
    const CComPageModel& ComPage() const { return m_Com; }
    const CCommunicationPageModel& CommunicationPage() const { return m_Communication; }
    const CChaPageModel& ChaPage() const { return m_Cha; }
    const CChannelPageModel& ChannelPage() const { return m_Channel; }
    const CTimePageModel& TimePage() const { return m_Time; }
    const CTriggerPageModel& TriggerPage() const { return m_Trigger; }

    // Hands the decoded 0xB2 answer to every present page ("Time" first, then Triggers,
    // Channels and Communications, or Channels and Communications).
    void ShowAnswer(const link::ConfigurationRecord& record);
    bool HasAnswer() const { return m_Received.has_value(); }
    const link::ConfigurationRecord& Received() const { return *m_Received; }

    // The trigger page limits its corners by the group rates of the channel page; call after
    // a primary rate changes.
    void PublishGroupRates();

    // Builds the 0x89 record from all present pages in the order Communications, Time, then
    // Triggers and six-channel Channels, or eight-channel Channels; header word 0. The
    // record starts from the last answer, so that a field no page writes goes back as the
    // recorder sent it. Returns 1, kConfigurationNotRead (out unchanged) before this opening's
    // answer, or kInvalidEntry (out unchanged) when the five-port page refuses.
    int Assemble(link::ConfigurationRecord& out);

    // Keeps the copy of the record sent with 0x89; freed when the sheet closes.
    void RememberSent(const link::ConfigurationRecord& sent) { m_LastSent = sent; }
    const std::optional<link::ConfigurationRecord>& LastSent() const { return m_LastSent; }
    void ForgetSent() { m_LastSent.reset(); }

    // After the recorder accepted the last sent record: applies its enables and rates to the
    // stream list, reads it back into the pages (model code 17) and clears the modified state
    // of every page. Returns the Local port's baud rate (bits 1..3 of its port word), or 0
    // when nothing was sent. The caller then rebuilds the channel table.
    int OnAccepted(recording::CStreamList& streams);

    // True when any present page differs from what was last received.
    bool Modified() const;

private:
    void ClearModified();

    int m_ModelCode = 0;
    CComPageModel m_Com;
    CCommunicationPageModel m_Communication;
    CChaPageModel m_Cha;
    CChannelPageModel m_Channel;
    CTimePageModel m_Time;
    CTriggerPageModel m_Trigger;
    std::optional<link::ConfigurationRecord> m_Received;
    std::optional<link::ConfigurationRecord> m_LastSent;
};

} // namespace nereid::instrument
