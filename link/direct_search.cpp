#include "link/direct_search.h"
#include "recording/regular_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace nereid::link {

namespace {

const std::uint8_t kAckFrame[3] = {0xE3, 0xE1, 0xE5};

constexpr std::uint8_t kGetHardwareStatus = 0xB0;
constexpr std::uint8_t kGetConfiguration = 0xB2;
constexpr std::uint8_t kGetRecordingSetup = 0xB5;

} // namespace

int StreamCountFromHardware(const HardwareStatus& hardware) {
    const int a = hardware.adc0Found, b = hardware.adc0PbFound, c = hardware.adc1Found;
    if (a == 1 && b == 0 && c == 0) {
        return 1;
    }
    if (a == 1 && b == 1 && c == 1) {
        return 6;
    }
    return 3;
}

CDirectSearch::CDirectSearch(CInstrumentLink& link, CPortControl& ports)
    : m_Link(link), m_PortControl(ports) {}

void CDirectSearch::ShowResult(const std::string& text) {
    m_ResultText = text;
    if (m_Hooks.showResult) {
        m_Hooks.showResult(text);
    }
}

int CDirectSearch::Start(int selected) {
    if (m_Hooks.setConnected) {
        m_Hooks.setConnected(false);
    }
    if (m_Hooks.showConnection) {
        m_Hooks.showConnection("None", 0);
    }
    m_Link.Purge();
    m_Link.WriteRaw(kAckFrame, sizeof kAckFrame);

    m_HasConfiguration = false;
    m_StationName.clear();
    m_StationNameOutcome = kStationNameNotAsked;
    m_ConfigPayload.clear();
    m_StreamCount = 0;
    m_Attempts = 0;
    m_OpenPath.clear();
    if (m_Ports.empty()) {
        m_Step = Step::Done;
        m_Result = kSearchNoPort;
        ShowResult(kNoSerialPortText);
        return m_Result;
    }
    m_PortIndex = selected >= 0 && static_cast<std::size_t>(selected) < m_Ports.size()
                      ? static_cast<std::size_t>(selected)
                      : 0;
    m_PortsTried = 0;
    m_Reopen = true;
    m_AttemptOnPort = 0;
    m_Ticks = 0;
    m_Step = Step::Hardware;
    m_Result = kSearchRunning;
    return m_Result;
}

void CDirectSearch::Cancel() {
    if (m_Step != Step::Idle && m_Step != Step::Done) {
        m_Link.SetTransactionWaiting(false);
        m_Step = Step::Done;
        m_Result = kSearchFailed;
    }
}

void CDirectSearch::ReadHints() {
    m_HintPort.clear();
    m_HintBaud = 0;
    std::string text;
    int error = 0;
    if (recording::ReadRegularFile(m_HintFile, text, error) != 1) {
        return;
    }
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    int portNumber = 0;
    if (text.find("COM1") != std::string::npos) {
        portNumber = 1;
    }
    if (text.find("COM2") != std::string::npos) {
        portNumber = 2;
    }
    if (portNumber > 0) {
        m_HintPort = static_cast<std::size_t>(portNumber) <= m_Ports.size()
                         ? m_Ports[portNumber - 1]
                         : "/dev/ttyS" + std::to_string(portNumber - 1);
    }
    for (std::uint32_t baud : kSearchBaudRates) {
        if (text.find(std::to_string(baud)) != std::string::npos) {
            m_HintBaud = baud;
        }
    }
}

void CDirectSearch::StartAttempt() {
    if (m_Reopen) {
        m_PortName = m_Ports[m_PortIndex];
        m_PortControl.Open(m_PortName, 9600);
        m_OpenPath = m_PortName;
        m_Reopen = false;
    }
    ReadHints();
    if (!m_HintPort.empty()) {
        m_PortName = m_HintPort;
        if (m_PortName != m_OpenPath) {
            m_PortControl.Open(m_PortName, 9600);
            m_OpenPath = m_PortName;
        }
    }
    if (m_FixedBaud != 0) {
        m_Baud = m_FixedBaud;
    } else if (m_HintBaud != 0) {
        m_Baud = m_HintBaud;
    } else {
        m_Baud = kSearchBaudRates[static_cast<std::size_t>(m_AttemptOnPort)];
    }
    m_PortControl.SetBaud(m_PortName, m_Baud);
    ShowResult(m_PortName + " " + std::to_string(m_Baud));
    m_Link.WriteRaw(kAckFrame, sizeof kAckFrame);
    m_Link.SetTransactionWaiting(true);
    m_Link.SendCommand(kGetHardwareStatus, CommandRecord{});
    ++m_Attempts;
    m_Ticks = 1;
}

void CDirectSearch::AdvanceAttempt() {
    m_Ticks = 0;
    // The attempts are counted apart from the baud rate used: with a hint file naming a rate,
    // the rate stays put and the search must still end after eight attempts per port.
    const int attemptsPerPort =
        m_FixedBaud != 0 ? kFixedBaudAttempts : static_cast<int>(kSearchBaudRates.size());
    if (++m_AttemptOnPort < attemptsPerPort) {
        return;
    }
    m_AttemptOnPort = 0;
    m_Reopen = true;
    m_PortIndex = (m_PortIndex + 1) % m_Ports.size();
    if (++m_PortsTried == m_Ports.size()) {
        if (m_Hooks.setConnected) {
            m_Hooks.setConnected(false);
        }
        Finish(kSearchFailed, kConnectionFailedText);
    }
}

void CDirectSearch::PollHardware() {
    std::uint8_t expected = kHardwareStatusType;
    if (m_Link.ReadFrame(expected, m_Answer) != kAccepted ||
        !std::holds_alternative<HardwareStatus>(m_Answer.decoded)) {
        ++m_Ticks;
        return;
    }
    m_Hardware = std::get<HardwareStatus>(m_Answer.decoded);
    m_SerialNumber = m_Answer.header;
    m_StreamCount = StreamCountFromHardware(m_Hardware);
    if (m_Hooks.setStreams) {
        m_Hooks.setStreams(m_StreamCount);
    }
    if (m_Hooks.setConnected) {
        m_Hooks.setConnected(true);
    }
    if (m_Hooks.showConnection) {
        m_Hooks.showConnection(m_PortName, 0);
    }
    m_Link.SetModelCode(m_Hardware.modelCode);
    m_Ticks = 0;
    m_Step = Step::Configuration;
    m_Link.SendCommand(kGetConfiguration, CommandRecord{});
}

void CDirectSearch::PollConfiguration() {
    if (m_Ticks >= kConfigurationTicks) {
        Finish(kSearchNoConfiguration, kNoConfigurationText);
        return;
    }
    std::uint8_t expected = kConfigurationType;
    if (m_Link.ReadFrame(expected, m_Answer) == kAccepted &&
        std::holds_alternative<ConfigurationRecord>(m_Answer.decoded)) {
        m_Configuration = std::get<ConfigurationRecord>(m_Answer.decoded);
        m_ConfigPayload = m_Answer.payload;
        m_HasConfiguration = true;
        m_Ticks = 0;
        m_Step = Step::StationName;
        m_Link.SendCommand(kGetRecordingSetup, CommandRecord{});
        return;
    }
    ++m_Ticks;
}

void CDirectSearch::PollStationName() {
    // Polled on each of 10 ticks rather than once after 1 s: the 474-byte answer needs about
    // 4 s at 1200 baud, and an answer taken early ends the wait early.
    ++m_Ticks;
    std::uint8_t expected = kInternalRecordingType;
    const int result = m_Link.ReadFrame(expected, m_Answer);
    if (result == kAccepted && std::holds_alternative<InternalRecordingRecord>(m_Answer.decoded)) {
        const auto& name = std::get<InternalRecordingRecord>(m_Answer.decoded).stationName;
        // Four characters, NUL-padded when shorter.
        m_StationName.assign(name.begin(), std::find(name.begin(), name.end(), '\0'));
        m_StationNameOutcome = kStationNameAnswered;
        Finish(kSearchConnected, "");
        return;
    }
    if (result == kRefused) {
        m_StationNameOutcome = kStationNameRefused;
        Finish(kSearchConnected, "");
        return;
    }
    if (m_Ticks >= kStationNameTicks) {
        m_StationNameOutcome = kStationNameNotHeard;
        Finish(kSearchConnected, "");
    }
}

void CDirectSearch::Finish(int result, const char* text) {
    m_Link.SetTransactionWaiting(false);
    m_Step = Step::Done;
    m_Result = result;
    if (text[0] != '\0') {
        ShowResult(text);
    }
}

int CDirectSearch::Tick() {
    switch (m_Step) {
    case Step::Idle:
    case Step::Done:
        return m_Result;
    case Step::Configuration:
        PollConfiguration();
        break;
    case Step::StationName:
        PollStationName();
        break;
    case Step::Hardware:
        if (m_Ticks == 0) {
            StartAttempt();
        } else if (m_Ticks == kAttemptTicks - 1) {
            AdvanceAttempt();
        } else {
            PollHardware();
        }
        break;
    }
    return m_Step == Step::Done ? m_Result : kSearchRunning;
}

} // namespace nereid::link
