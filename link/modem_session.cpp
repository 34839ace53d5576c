#include "link/modem_session.h"

#include "link/direct_search.h"

#include <variant>

namespace nereid::link {

CModemSession::CModemSession(CInstrumentLink& link, CModemLine& line)
    : m_Link(link), m_Dialler(line, *this) {}

const char* CModemSession::MessageFor(int dialResult) {
    switch (dialResult) {
    case CHayesDialler::kAlreadyConnected:
        return kModemAlreadyConnectedText;
    case CHayesDialler::kNoNumber:
        return kModemNoNumberText;
    case CHayesDialler::kBadNumber:
        return kModemBadNumberText;
    case CHayesDialler::kLineOpenFailed:
        return kModemInitErrorText;
    default:
        return "";
    }
}

int CModemSession::Dial(const std::string& device, const std::string& number) {
    if (Busy())
        return CHayesDialler::kAlreadyConnected;
    const int result = m_Dialler.Dial(device, number);
    if (result != CHayesDialler::kDialStarted)
        return result;
    m_Step = Step::Dialling;
    m_Ticks = 0;
    m_PendingResult = kModemRunning;
    m_HasConfiguration = false;
    m_ConfigPayload.clear();
    ShowResult("Dialing");
    return result;
}

int CModemSession::Hangup(const std::function<void()>& closePort) {
    if (HangingUp())
        return 0;
    if (m_Hooks.statusText)
        m_Hooks.statusText("Line Hangup");
    if (!Busy()) {
        // No call: only the telephony state is reset, so that the next dial starts afresh.
        m_Dialler.Reset();
        if (m_Step != Step::Idle && m_Step != Step::Done)
            m_Link.SetTransactionWaiting(false);
        m_Step = Step::Idle;
        m_PendingResult = kModemRunning;
        return 0;
    }
    if (m_Dialler.CallStands() && closePort)
        closePort();
    if (m_Step != Step::Idle && m_Step != Step::Done)
        m_Link.SetTransactionWaiting(false);
    m_Step = Step::Idle;
    return m_Dialler.Hangup();
}

void CModemSession::CallProgress(const char* text) {
    m_ProgressText = text;
    if (m_Hooks.statusText)
        m_Hooks.statusText(text);
    // Until the call is connected the result line follows the call progress.
    if (m_Step == Step::Dialling)
        ShowResult(text);
}

void CModemSession::CallConnected(int fd) {
    if (m_Hooks.setConnected)
        m_Hooks.setConnected(true);
    if (m_Hooks.showConnection)
        m_Hooks.showConnection(m_PortName, 0);
    if (m_Hooks.attachPort)
        m_Hooks.attachPort(fd);
    static const std::uint8_t cr = '\r';
    m_Link.WriteRaw(&cr, 1);
    m_Step = Step::Waking;
    m_Ticks = 0;
}

void CModemSession::CallDropped() {
    if (m_Step != Step::Idle && m_Step != Step::Done)
        m_Link.SetTransactionWaiting(false);
    m_Step = Step::Idle;
    if (m_Hooks.callDropped)
        m_Hooks.callDropped();
}

void CModemSession::CallEnded(int result) {
    m_LastEnd = result;
    if (m_Step != Step::Idle && m_Step != Step::Done)
        m_Link.SetTransactionWaiting(false);
    m_PendingResult = kModemCallEnded;
    m_Step = Step::Idle;
}

void CModemSession::ShowResult(const std::string& text) {
    m_ResultText = text;
    if (m_Hooks.showResult)
        m_Hooks.showResult(text);
}

void CModemSession::SendQuery(std::uint8_t code) {
    CommandRecord record; // header word 0, no parameters
    m_Link.SendCommand(code, record);
}

int CModemSession::Poll(std::uint8_t type) {
    std::uint8_t expected = type;
    m_Link.SetTransactionWaiting(true);
    const int result = m_Link.ReadFrame(expected, m_Answer);
    return result == kAccepted && m_Answer.type == type ? 1 : 0;
}

int CModemSession::Finish(int result) {
    m_Link.SetTransactionWaiting(false);
    m_Step = Step::Done;
    return result;
}

int CModemSession::Tick() {
    const Step before = m_Step;
    m_Dialler.Tick();
    // A step entered by the dialler's callbacks in this tick starts counting at the next one.
    switch (before == m_Step ? m_Step : Step::Idle) {
    case Step::Waking: {
        ++m_Ticks;
        if (m_Ticks == kModemWakeTicks) {
            static const std::uint8_t cr = '\r';
            m_Link.WriteRaw(&cr, 1);
        } else if (m_Ticks == 2 * kModemWakeTicks) {
            static const std::uint8_t three[] = {'3', '\r'};
            m_Link.WriteRaw(three, sizeof three);
            m_Step = Step::Sync;
        }
        break;
    }
    case Step::Sync: {
        ShowResult(kModemSyncText);
        m_Link.Purge();
        static const std::uint8_t ack[] = {0xE3, 0xE1, 0xE5};
        m_Link.WriteRaw(ack, sizeof ack);
        // Waiting before the query leaves: otherwise the receiver thread may take the 'P'
        // answer for an orphan and drop it before the first poll.
        m_Link.SetTransactionWaiting(true);
        SendQuery(0xB0);
        m_Ticks = 0;
        m_Step = Step::Hardware;
        break;
    }
    case Step::Hardware:
        if (Poll(kHardwareStatusType) == 1) {
            if (const auto* hardware = std::get_if<HardwareStatus>(&m_Answer.decoded))
                m_Hardware = *hardware;
            m_StreamCount = StreamCountFromHardware(m_Hardware);
            m_Link.SetModelCode(m_Hardware.modelCode);
            if (m_Hooks.setStreams)
                m_Hooks.setStreams(m_StreamCount);
            if (m_Hooks.setConnected)
                m_Hooks.setConnected(true);
            if (m_Hooks.showConnection)
                m_Hooks.showConnection(m_PortName, 0);
            SendQuery(0xB2);
            m_Ticks = 0;
            m_Step = Step::Configuration;
            ShowResult(kModemConfigurationText);
        } else if (++m_Ticks % kModemHardwareResendTicks == 0) {
            SendQuery(0xB0);
        }
        break;
    case Step::Configuration:
        if (m_Ticks >= kModemConfigurationTicks) {
            ShowResult(kNoConfigurationText);
            return Finish(kModemNoConfiguration);
        }
        if (Poll(kConfigurationType) == 1) {
            if (const auto* config = std::get_if<ConfigurationRecord>(&m_Answer.decoded))
                m_Configuration = *config;
            m_ConfigPayload = m_Answer.payload;
            m_HasConfiguration = true;
            return Finish(kModemConnected);
        }
        ++m_Ticks;
        break;
    default:
        break;
    }
    const int pending = m_PendingResult;
    m_PendingResult = kModemRunning;
    return pending;
}

} // namespace nereid::link
