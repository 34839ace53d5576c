#include "shell/serve_control.h"

#include <QAction>
#include <QDir>
#include <QMessageBox>
#include <QSettings>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "datalink/push_service.h"
#include "link/receiver_thread.h"
#include "recording/channel_table.h"
#include "recording/intake.h"
#include "recording/mseed_packer.h"
#include "seedlink/mseed_record_packer.h"
#include "seedlink/record_ring.h"
#include "seedlink/server.h"
#include "seedlink/stream_feed.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/menu_set.h"
#include "shell/serve_settings_dialog.h"
#include "shell/tellus_status_bar.h"

namespace nereid::shell {

namespace {

constexpr int kWatchMs = 500;
constexpr double kLatencySeconds = 10;
// Stopping waits at most this long for a connected hub to take what is queued (seconds).
constexpr double kDataLinkDrainSeconds = 2;
constexpr std::size_t kKeptMessages = 100;

// Runs `change` with the receiver thread parked (or with no thread running). False when the
// thread would not park.
template <typename Change> bool WhileParked(CMainFrame& frame, Change change) {
    link::CReceiverThread* thread = frame.ReceiverThread();
    const bool park = thread != nullptr && thread->Running();
    if (park && thread->Park() != 1) {
        return false;
    }
    change();
    if (park) {
        thread->Resume();
    }
    return true;
}

} // namespace

CServeControl::CServeControl(CMainFrame& frame) : QObject(&frame), m_Frame(frame) {
    setObjectName("serveControl");
    m_Timer.setInterval(kWatchMs);
    connect(&m_Timer, &QTimer::timeout, this, [this] { Watch(); });
}

CServeControl::~CServeControl() {
    // The window is being destroyed: its receiver thread, intake and status bar are gone
    // already, so only the service's own parts are ended here.
    m_Timer.stop();
    if (m_Server) {
        m_Server->Stop();
    }
    if (m_Push) {
        m_Push->Stop();
    }
}

CServeControl& CServeControl::Of(CMainFrame& frame) {
    if (auto* control = frame.findChild<CServeControl*>("serveControl")) {
        return *control;
    }
    return *new CServeControl(frame);
}

int CServeControl::Start(const std::string& address, QString& error) {
    if (Running()) {
        error = "SeedLink is served already on " + m_Address + ".";
        return 0;
    }
    recording::CRealTimeIntake* intake = m_Frame.Intake();
    const auto& channels = m_Frame.Channels().m_ChanMap;
    if (m_Frame.Connected() != 1 || intake == nullptr || channels.empty()) {
        error = "Connect to the recorder first: SeedLink serves its real-time data.";
        return 0;
    }
    std::string host;
    int port = 0;
    std::string why;
    if (!seedlink::ParseListenAddress(address, host, port, why)) {
        error = QString::fromStdString("Not an address to serve on: " + why);
        return 0;
    }
    std::vector<double> rates;
    for (const auto& [number, channel] : channels) {
        rates.push_back(std::max(channel.rate, 0));
    }
    auto ring = std::make_unique<seedlink::CRecordRing>(
        seedlink::RecordsForMinutes(rates, kRingMinutes, kLatencySeconds));
    ring->SetSpan(static_cast<std::int64_t>(kRingMinutes * 60 * 1e9));
    // The codes of the profile's miniSEED section, so that served streams and recorded
    // miniSEED files are named alike.
    const recording::SMseedOptions codes = m_Frame.MseedOptions();
    seedlink::SServiceIdentity who;
    who.network = codes.network;
    who.station = recording::SeedStationCode(m_Frame.StationName(), 0);
    who.description = "Nereid recorder " + who.station;
    who.startedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    auto server = std::make_unique<seedlink::CSeedLinkServer>(*ring, who);
    if (server->Start(host, port) != seedlink::kServerStarted) {
        error = QString::fromStdString(server->ErrorText());
        return 0;
    }
    seedlink::PackerFactory packers = seedlink::MseedPackerFactory(kLatencySeconds);
    std::unique_ptr<datalink::CDataLinkPush> push = StartPush(error);
    if (!error.isEmpty()) {
        return 0;
    }
    if (push) {
        packers = push->Tee(std::move(packers));
    }
    seedlink::CSeedLinkServer* raw = server.get();
    auto feed = std::make_unique<seedlink::CStreamFeed>(*ring, std::move(packers),
                                                        [raw] { raw->Notify(); });
    for (const auto& [number, channel] : channels) {
        if (channel.rate > 0) {
            const int sensor = recording::SensorChannel(number);
            const auto partner =
                channels.find(static_cast<std::uint16_t>(number == sensor ? sensor + 8 : sensor));
            const double partnerRate =
                partner != channels.end() ? std::max(partner->second.rate, 0) : 0;
            feed->SetStream(number,
                            seedlink::SFeedStream{
                                who.network, who.station,
                                recording::SeedLocationCode(number, channel.rate, partnerRate),
                                recording::SeedChannelCode(channel.rate, number, codes.components),
                                static_cast<double>(channel.rate)});
        }
    }
    if (!WhileParked(m_Frame, [&] { intake->SetObserver(feed.get()); })) {
        error = "The receiver thread did not pause; SeedLink is not served.";
        return 0;
    }
    m_Ring = std::move(ring);
    m_Server = std::move(server);
    m_Push = std::move(push);
    m_Feed = std::move(feed);
    m_Address = QString::fromStdString(host) + ":" + QString::number(m_Server->Port());
    m_Timer.start();
    ShowState();
    return 1;
}

void CServeControl::Stop() {
    if (!Running()) {
        return;
    }
    m_Timer.stop();
    if (recording::CRealTimeIntake* intake = m_Frame.Intake()) {
        // Should the thread not park, it has ended, and nothing reads the observer any more.
        WhileParked(m_Frame, [intake] { intake->SetObserver(nullptr); });
    }
    m_Feed->FlushAll();
    m_Server->Stop();
    if (m_Push) {
        m_Push->Stop(kDataLinkDrainSeconds);
    }
    m_Feed.reset();
    m_Push.reset();
    m_Server.reset();
    m_Ring.reset();
    m_Address.clear();
    ShowState();
}

void CServeControl::Watch() {
    if (m_Frame.Connected() != 1) {
        Stop();
        return;
    }
    ShowState();
}

void CServeControl::ShowState() {
    if (CTellusStatusBar* bar = m_Frame.TellusStatusBar()) {
        if (Running()) {
            bar->HoldStatePane(m_Push
                                   ? m_Address + "  " + QString::fromStdString(m_Push->StateText())
                                   : m_Address);
        } else {
            bar->ReleaseStatePane();
        }
    }
    if (QAction* action = m_Frame.Menus().Action(kCmdServeSeedLink)) {
        action->setChecked(Running());
    }
}

std::unique_ptr<datalink::CDataLinkPush> CServeControl::StartPush(QString& error) {
    error.clear();
    if (m_Hubs.empty()) {
        return nullptr;
    }
    const std::string folder = (CMainFrame::ConfigurationFolder() + "/datalink").toStdString();
    QDir().mkpath(QString::fromStdString(folder));
    std::vector<datalink::SHubSettings> hubs;
    for (const std::string& address : m_Hubs) {
        datalink::SHubSettings s;
        std::string why;
        if (!datalink::ParseHubAddress(address, s.host, s.port, why)) {
            error = QString::fromStdString("Not a DataLink hub address: " + why);
            return nullptr;
        }
        s.queuePath = datalink::QueueFileName(folder, s.host, s.port);
        s.program = "TellusW32";
        hubs.push_back(s);
    }
    auto push = std::make_unique<datalink::CDataLinkPush>(hubs);
    push->SetLog([this](const std::string& text) {
        qInfo("%s", text.c_str());
        std::lock_guard lock(m_MessagesMutex);
        m_Messages.push_back(QString::fromStdString(text));
        while (m_Messages.size() > kKeptMessages) {
            m_Messages.pop_front();
        }
    });
    std::string why;
    if (push->Start(why) != datalink::kClientStarted) {
        error = QString::fromStdString(why);
        return nullptr;
    }
    return push;
}

QStringList CServeControl::DataLinkMessages() const {
    std::lock_guard lock(m_MessagesMutex);
    return QStringList(m_Messages.begin(), m_Messages.end());
}

int ToggleServeSeedLink(CMainFrame& frame) {
    CServeControl& control = CServeControl::Of(frame);
    if (control.Running()) {
        control.Stop();
        return 1;
    }
    QSettings profile("NR-Utility", "TellusW32");
    CServeSettingsDialog dialog(&frame, CServeControl::kDefaultAddress, LoadDataLinkHubs(profile));
    if (dialog.exec() != QDialog::Accepted) {
        return 1;
    }
    SaveDataLinkHubs(profile, dialog.Hubs());
    control.SetDataLinkHubs(dialog.Hubs());
    const QString address = dialog.Address();
    QString error;
    if (control.Start(address.toStdString(), error) != 1) {
        QMessageBox::warning(&frame, "Serve SeedLink", error);
    }
    return 1;
}

} // namespace nereid::shell
