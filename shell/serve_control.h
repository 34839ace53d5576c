#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QString>
#include <QTimer>

namespace nereid::seedlink {
class CRecordRing;
class CSeedLinkServer;
class CStreamFeed;
} // namespace nereid::seedlink

namespace nereid::shell {

class CMainFrame;

// "Serve SeedLink" of the Operation menu: serves the connected recorder's real-time data over
// SeedLink from the main window, as `nereid serve` does headless. The feed watches the intake
// (installed while the receiver thread is parked); the state pane of the status bar shows the
// address while it runs. Serving ends with the connection. A child of the main window.
class CServeControl : public QObject {
public:
    // Default address and ring length of the window's service.
    static constexpr const char* kDefaultAddress = "127.0.0.1:18000";
    static constexpr double kRingMinutes = 60;

    explicit CServeControl(CMainFrame& frame);
    ~CServeControl() override;

    // Starts serving on "HOST:PORT". Returns 1, or 0 with `error` saying why (not connected,
    // no channel, a bad address, the port taken, the receiver thread not parking).
    int Start(const std::string& address, QString& error);
    // Stops serving: the feed leaves the intake, open records go out, clients are closed.
    void Stop();
    bool Running() const { return m_Server != nullptr; }
    // "HOST:PORT" as bound (the port filled in when 0 was asked); empty when not running.
    QString Address() const { return m_Address; }

    // The frame's control, made on first use.
    static CServeControl& Of(CMainFrame& frame);

private:
    void Watch();
    void ShowState();

    CMainFrame& m_Frame;
    std::unique_ptr<seedlink::CRecordRing> m_Ring;
    std::unique_ptr<seedlink::CSeedLinkServer> m_Server;
    std::unique_ptr<seedlink::CStreamFeed> m_Feed;
    QString m_Address;
    QTimer m_Timer;
};

// The menu command: starts serving (asking for the address) or, when it runs, stops it.
// Returns 1.
int ToggleServeSeedLink(CMainFrame& frame);

} // namespace nereid::shell
