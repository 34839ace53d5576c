#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace nereid::datalink {
class CDataLinkPush;
} // namespace nereid::datalink

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

    // DataLink hubs ("HOST:PORT") that get every record too from the next Start on; their
    // queue files live in the profile's folder. The state pane shows how each one fares.
    void SetDataLinkHubs(std::vector<std::string> hubs) { m_Hubs = std::move(hubs); }
    const datalink::CDataLinkPush* Push() const { return m_Push.get(); }
    // What the hubs' clients told the operator, oldest first (at most the last 100).
    QStringList DataLinkMessages() const;

private:
    void Watch();
    void ShowState();
    // The push to the hubs set, started; null without hubs, or with `error` said.
    std::unique_ptr<datalink::CDataLinkPush> StartPush(QString& error);

    CMainFrame& m_Frame;
    std::unique_ptr<seedlink::CRecordRing> m_Ring;
    std::unique_ptr<seedlink::CSeedLinkServer> m_Server;
    std::vector<std::string> m_Hubs;
    mutable std::mutex m_MessagesMutex; // the hubs' threads add, the window reads
    std::deque<QString> m_Messages;
    // Before the feed: its packers hand records to the push until the feed is gone.
    std::unique_ptr<datalink::CDataLinkPush> m_Push;
    std::unique_ptr<seedlink::CStreamFeed> m_Feed;
    QString m_Address;
    QTimer m_Timer;
};

// The menu command: starts serving (asking for the address) or, when it runs, stops it.
// Returns 1.
int ToggleServeSeedLink(CMainFrame& frame);

} // namespace nereid::shell
