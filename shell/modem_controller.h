#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QTimer>

#include "link/dialogs/connection_host.h"

namespace nereid::link {
class CModemSession;
class CSerialLink;
class CTtyModemLine;
} // namespace nereid::link

namespace nereid::shell {

class CMainFrame;

// The modem call of the main window: the modem line and its session, ticked every 100 ms
// whether or not the connect dialog is open, and what a call's progress and end show in the
// frame. Owned by the frame; goes before the frame's link.
class CModemController {
public:
    static constexpr int kTickMs = 100;

    // `onCallDropped` runs after the port has been closed when a standing call drops and
    // before the frame shows itself disconnected.
    CModemController(CMainFrame& frame, link::CSerialLink& link,
                     std::function<void()> onCallDropped);
    ~CModemController();

    link::CModemSession& Session() { return *m_Session; }
    // True while a call stands: it has its own watch (carrier, NO CARRIER).
    bool CallStands() const;
    void SetObserver(link::CConnectionHost::ModemObserver observer) {
        m_Observer = std::move(observer);
    }
    // One step of the call; a finished connection start is handed to the frame.
    void Tick();
    // Stops the ticks, so that no step runs while the frame shuts down.
    void StopTicks() { m_Timer.stop(); }

    // The modem device of the profile; empty means "the port selected in the dialog".
    static QString Device();
    static void SetDevice(const QString& device);

private:
    CMainFrame& m_Frame;
    link::CSerialLink& m_Link;
    std::function<void()> m_OnCallDropped;
    // Before the session, which uses it until it goes.
    std::unique_ptr<link::CTtyModemLine> m_Line;
    std::unique_ptr<link::CModemSession> m_Session;
    link::CConnectionHost::ModemObserver m_Observer;
    QTimer m_Timer;
};

} // namespace nereid::shell
