#include "shell/modem_controller.h"

#include "link/dialogs/message_box.h"
#include "link/direct_search.h"
#include "link/modem_session.h"
#include "link/serial_link.h"
#include "link/tty_modem_line.h"
#include "shell/main_frame.h"
#include "shell/profile.h"

namespace nereid::shell {

CModemController::CModemController(CMainFrame& frame, link::CSerialLink& link,
                                   std::function<void()> onCallDropped)
    : m_Frame(frame), m_Link(link), m_OnCallDropped(std::move(onCallDropped)) {
    m_Line = std::make_unique<link::CTtyModemLine>();
    m_Session = std::make_unique<link::CModemSession>(m_Link, *m_Line);
    link::CModemSession::Hooks hooks;
    hooks.statusText = [this](const std::string& text) {
        m_Frame.SetStatusText(1, QString::fromStdString(text));
    };
    hooks.showResult = [this](const std::string& text) {
        if (m_Observer.resultLine)
            m_Observer.resultLine(text);
    };
    hooks.attachPort = [this](int fd) { m_Link.AttachModemPort(fd); };
    hooks.setConnected = [this](bool on) { m_Frame.SetConnected(on ? 1 : 0); };
    hooks.showConnection = [this](const std::string& name, int group) {
        m_Frame.ShowConnection(name, group);
    };
    hooks.setStreams = [this](int count) { m_Frame.SetStreams(count); };
    hooks.callDropped = [this] {
        // Nothing more can come over the line: the port goes under the port lock, so the
        // receiver thread's poll ends cleanly, and a recording is stopped.
        m_Link.Close();
        if (m_OnCallDropped)
            m_OnCallDropped();
        m_Frame.SetConnected(0);
    };
    m_Session->SetHooks(hooks);
    m_Timer.setInterval(kTickMs);
    QObject::connect(&m_Timer, &QTimer::timeout, &m_Timer, [this] { Tick(); });
    // Always running: an idle call's tick does nothing, and a call placed from the dialog
    // goes on (or hangs up) after the dialog has closed.
    m_Timer.start();
}

CModemController::~CModemController() {
    m_Timer.stop();
}

bool CModemController::CallStands() const {
    return m_Session->CallStands();
}

void CModemController::Tick() {
    const int result = m_Session->Tick();
    if (result == link::kModemConnected || result == link::kModemNoConfiguration) {
        m_Frame.SetModelCode(m_Session->ModelCode());
        if (result == link::kModemNoConfiguration)
            link::ShowMessage(&m_Frame, link::kTellusCaption, link::kNoConfigurationText);
        m_Frame.FinishConnection(m_Session->HasConfiguration() ? m_Session->ConfigurationPayload()
                                                               : std::vector<std::uint8_t>{});
    } else if (result == link::kModemCallEnded) {
        if (m_Session->LastEnd() == link::CHayesDialler::kNoModemAnswer)
            link::ShowMessage(&m_Frame, link::kTellusCaption, link::kModemInitErrorText);
        else if (m_Session->LastEnd() == link::CHayesDialler::kDropFailed)
            link::ShowMessage(&m_Frame, link::kTellusCaption, link::kModemDropErrorText);
    }
    if (result != link::kModemRunning && m_Observer.finished)
        m_Observer.finished(result);
}

QString CModemController::Device() {
    return Profile().value("Modem/Device").toString();
}

void CModemController::SetDevice(const QString& device) {
    Profile().setValue("Modem/Device", device);
}

} // namespace nereid::shell
