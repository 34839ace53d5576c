#include "cli/serve_command.h"

#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/connect.h"
#include "cli/datalink_options.h"
#include "cli/serve_options.h"
#include "cli/serve_web.h"
#include "cli/transaction_wait.h"
#include "link/direct_search.h"
#include "link/receiver_thread.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"
#include "link/transaction.h"
#include "recording/channel_table.h"
#include "recording/clock_update.h"
#include "recording/converter_launcher.h"
#include "recording/file_recorder.h"
#include "recording/intake.h"
#include "recording/intake_state.h"
#include "recording/recorder_messages.h"
#include "recording/recording_setup.h"
#include "seedlink/mseed_record_packer.h"
#include "seedlink/record_ring.h"
#include "seedlink/server.h"
#include "seedlink/stream_feed.h"

namespace nereid::cli {

namespace {

constexpr std::uint8_t kRealTimeDataToPc = 0x94;
constexpr int kExitFilesFailed = 6;
// At the end, the longest wait for the hubs to acknowledge what is still queued (seconds).
constexpr double kDataLinkDrainSeconds = 5;

std::atomic<bool> g_Stop{false};

extern "C" void OnStopSignal(int) {
    g_Stop.store(true);
}

bool Stopping() {
    return g_Stop.load();
}

// Sleeps `seconds` unless a stop signal comes first.
void PauseUnlessStopped(double seconds) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    while (!Stopping() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Say(const std::string& text) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::cerr << "nereid serve: " << text << std::endl;
}

class ServeMessages : public recording::CRecorderMessages {
public:
    void ShowMessage(const std::string& text, const char*) override {
        Say(text);
        if (text.rfind("Can't ", 0) == 0) {
            m_Failed.store(true);
        }
    }
    void FileClosed(const std::string& path) override {
        std::lock_guard lock(m_Mutex);
        std::cout << path << std::endl;
    }
    void ChannelSkipped(int channel, const std::string&) override {
        Say("channel " + std::to_string(channel) +
            " is not recorded until its next period; the other channels go on");
        m_Failed.store(true);
    }
    bool Failed() const { return m_Failed.load(); }

private:
    std::mutex m_Mutex;
    std::atomic<bool> m_Failed{false};
};

class ServeEvents : public recording::CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t, long) override {
        if (message == recording::kMsgStopRecording) {
            m_RecordingStopped.store(true);
        }
    }
    bool RecordingStopped() const { return m_RecordingStopped.load(); }

private:
    std::atomic<bool> m_RecordingStopped{false};
};

// Sends a one-byte order and waits for its end as a sheet would; returns the TransactionResult.
int RunTransaction(link::CTransaction& t, std::uint8_t code, std::uint8_t value) {
    return RunSheetTransaction(t, code, link::CommandRecord{0, link::ByteCommand{value}});
}

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// How one connection ended.
enum class Ending { kStopped, kLost, kNoRecorder, kFatal };

// The parts that outlive a connection: the ring, the server and the feed.
class Service {
public:
    Service(const GlobalOptions& global, const ServeOptions& o) : m_Global(global), m_O(o) {}
    ~Service() { Shutdown(); }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    Ending RunConnection(int& exitCode);
    bool HadData() const { return m_HadData; }
    bool FilesFailed() const { return m_Messages.Failed(); }
    void Shutdown() {
        if (m_Page) {
            m_Page->Stop();
        }
        if (m_Ring) {
            // What the feed made last reaches the disk; the server goes before the ring.
            if (const int error = m_Ring->Flush(); error != 0) {
                Say(std::string("the ring file could not be written: ") + std::strerror(error));
            }
            m_Ring->SetPublishListener(nullptr);
        }
        if (m_Server) {
            m_Server->Stop();
        }
        if (m_Push) {
            // The last records went into the queues with the final flush: a hub that is there
            // gets them now, the others at the next start.
            m_Push->Stop(kDataLinkDrainSeconds);
        }
    }

private:
    bool StartServing(const recording::CChannelTable& table, const std::string& station,
                      int& exitCode);

    const GlobalOptions& m_Global;
    const ServeOptions& m_O;
    ServeMessages m_Messages;
    seedlink::SServiceIdentity m_Who;
    std::unique_ptr<seedlink::CRecordRing> m_Ring;
    std::unique_ptr<seedlink::CSeedLinkServer> m_Server;
    // Before the feed: its packers hand records to the push until the feed is gone.
    std::unique_ptr<datalink::CDataLinkPush> m_Push;
    std::unique_ptr<seedlink::CStreamFeed> m_Feed;
    bool m_Serving = false;
    std::unique_ptr<CStationPage> m_Page; // --http
    bool m_HadData = false;
    std::uint64_t m_ReportedFailures = 0;
    std::uint64_t m_ReportedUnqueued = 0;
};

bool Service::StartServing(const recording::CChannelTable& table, const std::string& station,
                           int& exitCode) {
    std::vector<double> rates;
    for (const auto& [number, channel] : table.m_ChanMap) {
        rates.push_back(std::max(channel.rate, 0));
    }
    const std::size_t capacity =
        seedlink::RecordsForMinutes(rates, m_O.ringMinutes, m_O.latencySeconds);
    m_Ring = std::make_unique<seedlink::CRecordRing>(capacity);
    m_Ring->SetSpan(static_cast<std::int64_t>(m_O.ringMinutes * 60 * 1e9));
    std::string where = " in memory";
    if (m_O.ringFile != "none") {
        const std::string path =
            m_O.ringFile.empty() ? DefaultRingFile(m_O.network, station) : m_O.ringFile;
        if (path.empty()) {
            Say("neither XDG_STATE_HOME nor HOME is set: the ring is kept in memory only "
                "(--ring-file PATH keeps it across restarts)");
        } else {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
            std::string error;
            const int opened = m_Ring->OpenFile(path, error);
            if (opened < 0) {
                Say(error);
                exitCode = kExitNoConfiguration;
                return false;
            }
            where = " in " + path;
            if (opened == seedlink::kRingFileOpened) {
                Say("the ring holds " + std::to_string(m_Ring->Next() - m_Ring->Oldest()) +
                    " records from before; numbering goes on at " + std::to_string(m_Ring->Next()));
            }
        }
    }
    m_Who.network = m_O.network;
    m_Who.station = station;
    m_Who.description = "Nereid recorder " + station;
    m_Who.startedNs = NowNs();
    // --datalink alone pushes to the hubs without listening for SeedLink clients.
    // The station page answers on the SeedLink server's port or one of its own, so it needs one.
    const bool serveSeedLink =
        m_O.seedlinkAsked || m_O.datalink.hubs.empty() || m_O.httpPort >= 0;
    if (serveSeedLink) {
        m_Server = std::make_unique<seedlink::CSeedLinkServer>(*m_Ring, m_Who);
        m_Server->SetLog(Say);
        m_Server->SetLimits(seedlink::SServerLimits{static_cast<std::size_t>(m_O.maxClients),
                                                    static_cast<std::size_t>(m_O.maxPerAddress),
                                                    m_O.handshakeSeconds});
        if (m_O.httpPort >= 0) {
            m_Page = std::make_unique<CStationPage>(m_O, Say);
            m_Page->Attach(*m_Server);
        }
        if (m_Server->Start(m_O.host, m_O.port) != seedlink::kServerStarted) {
            Say(m_Server->ErrorText());
            exitCode = kExitNoConfiguration;
            return false;
        }
        if (m_Page && !m_Page->Start(*m_Ring, m_Who, *m_Server)) {
            exitCode = kExitNoConfiguration;
            return false;
        }
    }
    seedlink::PackerFactory packers = seedlink::MseedPackerFactory(m_O.latencySeconds);
    std::string pushError;
    m_Push = StartDataLinkPush(m_O.datalink, "nereid", m_O.retrySeconds, m_O.retryMaxSeconds, Say,
                               pushError);
    if (!pushError.empty()) {
        Say(pushError);
        exitCode = kExitNoConfiguration;
        return false;
    }
    if (m_Push) {
        packers = m_Push->Tee(std::move(packers));
    }
    seedlink::CSeedLinkServer* server = m_Server.get();
    m_Ring->SetPublishListener([server] {
        if (server != nullptr) {
            server->Notify();
        }
    });
    m_Feed = std::make_unique<seedlink::CStreamFeed>(*m_Ring, std::move(packers), [server] {
        if (server != nullptr) {
            server->Notify();
        }
    });
    m_Serving = true;
    if (m_Server) {
        std::cout << "serving SeedLink on " << m_O.host << ":" << m_Server->Port() << " as "
                  << m_Who.network << "." << station << ", ring of " << capacity << " records ("
                  << m_O.ringMinutes << " minutes)" << where << std::endl;
    }
    for (std::size_t i = 0; m_Push && i < m_Push->HubCount(); ++i) {
        std::cout << "pushing DataLink to " << m_Push->Hub(i).Address() << " as " << m_Who.network
                  << "." << station << std::endl;
    }
    return true;
}

Ending Service::RunConnection(int& exitCode) {
    link::CSerialLink link;
    link::CSerialPortControl ports(link);
    link::CDirectSearch search(link, ports);
    std::ostringstream progress;
    std::ostringstream problems;
    if (ConnectToRecorder(m_Global, link, search, progress, problems) != kExitOk) {
        Say("no recorder: " + problems.str().substr(0, problems.str().find_last_not_of('\n') + 1));
        return Ending::kNoRecorder;
    }
    recording::CChannelTable table;
    recording::CIntakeState state;
    if (ChannelsOfConnection(search, link, table, state, problems) != kExitOk ||
        table.m_ChanMap.empty()) {
        Say("the recorder gave no usable configuration" +
            (problems.str().empty() ? std::string() : ": " + problems.str()));
        return Ending::kNoRecorder;
    }
    const std::string station =
        m_O.station.empty()
            ? recording::SeedStationCode(search.StationName(), search.SerialNumber())
            : m_O.station;
    if (!m_Serving && !StartServing(table, station, exitCode)) {
        return Ending::kFatal;
    }
    if (station != m_Who.station) {
        Say("the recorder now calls itself " + station + "; its data are still served as " +
            m_Who.station + " until the service restarts");
    }
    for (const auto& [number, channel] : table.m_ChanMap) {
        if (channel.rate > 0) {
            const int sensor = recording::SensorChannel(number);
            const auto partner = table.m_ChanMap.find(
                static_cast<std::uint16_t>(number == sensor ? sensor + 8 : sensor));
            const double partnerRate =
                partner != table.m_ChanMap.end() ? std::max(partner->second.rate, 0) : 0;
            m_Feed->SetStream(number,
                              seedlink::SFeedStream{
                                  m_Who.network, m_Who.station,
                                  recording::SeedLocationCode(number, channel.rate, partnerRate),
                                  recording::SeedChannelCode(channel.rate, number, m_O.components),
                                  static_cast<double>(channel.rate)});
        }
    }

    ServeEvents events;
    recording::CRealTimeIntake intake(table, state, events);
    intake.SetObserver(m_Feed.get());
    recording::CClockUpdate clock(&m_Messages);
    std::unique_ptr<recording::CConverterLauncher> converter;
    std::unique_ptr<recording::CFileRecorder> recorder;
    if (m_O.record) {
        const std::string directory = m_O.directory.empty() ? CurrentDirectory() : m_O.directory;
        for (auto& [number, channel] : table.m_ChanMap) {
            channel.directory = directory;
            if (!m_O.channels.empty()) {
                channel.recordEnable = m_O.channels.count(number) != 0;
            }
        }
        for (const int wanted : m_O.channels) {
            if (table.m_ChanMap.count(static_cast<std::uint16_t>(wanted)) == 0) {
                Say("channel " + std::to_string(wanted) +
                    " is not enabled in the recorder's configuration");
            }
        }
        if (m_O.form == recording::RecordingForm::kSeisan) {
            const char* folder = std::getenv("NEREID_WAVEXPORT_DIR");
            converter = std::make_unique<recording::CConverterLauncher>(
                recording::CConverterLauncher::FindConverter(folder != nullptr ? folder : ""),
                &m_Messages);
        }
        recording::CFileRecorder::Services services;
        services.messages = &m_Messages;
        services.converter = converter.get();
        services.clock = &clock;
        recording::RecordingSetupRequest request;
        request.form = m_O.form;
        request.minutesText = m_O.minutes;
        // The files carry the codes the SeedLink clients see.
        request.stationName = m_O.station.empty() ? search.StationName() : m_O.station;
        request.network = m_O.network;
        request.components = m_O.components;
        if (recording::PrepareRecorder(request, table, services, recorder) != 1) {
            Say("recording cannot start; serving without it");
            recorder.reset();
        } else {
            intake.SetRecorder(recorder.get());
            recording::ArmRecording(state, m_O.form);
            state.m_RestartSecond.store(recording::kRestartArmed);
            state.m_bResumePending.store(true);
        }
    }

    state.m_bConnected.store(true);
    link::CReceiverThread thread(link, intake, state, events);
    if (thread.Start() != 1) {
        Say("cannot start the receiver thread");
        exitCode = kExitNoAnswer;
        return Ending::kFatal;
    }
    link::CTransaction transaction(link);
    if (RunTransaction(transaction, kRealTimeDataToPc, 1) != link::kTransactionAccepted) {
        Say(std::string("Real Time Data to PC: ") + transaction.ResultText());
        thread.Stop();
        if (recorder) {
            intake.SetRecorder(nullptr);
            recorder->Finish();
        }
        return Ending::kNoRecorder;
    }
    Say("connected on " + search.PortName() + " at " + std::to_string(search.Baud()) +
        " baud; real-time data of " + std::to_string(table.m_ChanMap.size()) + " channels");
    if (m_Page) {
        std::vector<SServedStream> streams;
        for (const auto& [number, channel] : table.m_ChanMap) {
            if (channel.rate > 0) {
                streams.push_back({m_Who.network, m_Who.station,
                                   recording::SeedChannelCode(channel.rate, number, m_O.components),
                                   static_cast<double>(channel.rate)});
            }
        }
        m_Page->Connected(link, search.PortName(), search.Baud(), search.ModelCode(), m_Who.network,
                          m_Who.station, std::move(streams), recorder != nullptr,
                          recorder ? table.m_ChanMap.begin()->second.directory : std::string());
    }

    Ending ending = Ending::kStopped;
    auto lastMove = std::chrono::steady_clock::now();
    std::uint64_t lastSeconds = m_Feed->SecondsSeen();
    bool recordingStopSaid = false;
    const auto silence = std::chrono::milliseconds(static_cast<long>(m_O.silenceSeconds * 1000));
    while (!Stopping()) {
        // Ten looks a second: a stop signal is answered within 0.1 s, and an idle service
        // does not wake fifty times a second for nothing.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = std::chrono::steady_clock::now();
        if (m_Feed->SecondsSeen() != lastSeconds) {
            lastSeconds = m_Feed->SecondsSeen();
            lastMove = now;
            m_HadData = true;
        } else if (now - lastMove > silence) {
            std::ostringstream text;
            text << "no data for " << m_O.silenceSeconds
                 << " s: the line is lost or the recorder is silent";
            Say(text.str());
            ending = Ending::kLost;
            break;
        }
        if (m_Feed->Failures() != m_ReportedFailures) {
            Say(std::to_string(m_Feed->Failures() - m_ReportedFailures) +
                " stretches of samples could not be packed into records; the next ones go on");
            m_ReportedFailures = m_Feed->Failures();
        }
        if (m_Push && m_Push->Unqueued() != m_ReportedUnqueued) {
            Say(std::to_string(m_Push->Unqueued() - m_ReportedUnqueued) +
                " records could not be put in a DataLink queue file (is its disk full?)");
            m_ReportedUnqueued = m_Push->Unqueued();
        }
        if (m_Page) {
            m_Page->Tick(link, state, recorder.get());
        }
        if (events.RecordingStopped() && !recordingStopSaid) {
            Say("recording stopped; serving goes on");
            recordingStopSaid = true;
        }
    }
    if (m_Page) {
        m_Page->Disconnected(ending == Ending::kLost);
    }
    if (ending == Ending::kStopped) {
        const int result = RunTransaction(transaction, kRealTimeDataToPc, 0);
        if (result != link::kTransactionAccepted) {
            Say(std::string("stopping Real Time Data to PC: ") + transaction.ResultText());
        }
    }
    thread.Stop();
    intake.SetObserver(nullptr);
    if (recorder) {
        intake.SetRecorder(nullptr);
        if (recorder->Finish() != 1) {
            Say("the last recording period is not wholly converted or written");
        }
    }
    // What the packers hold goes out now: a lost line must not lose the seconds before it.
    m_Feed->FlushAll();
    m_Ring->Flush();
    link.Close();
    return ending;
}

} // namespace

int RunServeCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    ServeOptions o;
    if (const int parsed = ParseServeOptions(args, o); parsed != kExitOk || o.help) {
        return parsed;
    }
    g_Stop.store(false);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    Service service(options, o);
    double pause = o.retrySeconds;
    int exitCode = kExitOk;
    while (!Stopping()) {
        const Ending ending = service.RunConnection(exitCode);
        if (ending == Ending::kFatal) {
            service.Shutdown();
            return exitCode;
        }
        if (ending == Ending::kStopped) {
            break;
        }
        if (service.HadData()) {
            pause = o.retrySeconds; // it ran: start the growing pauses afresh
        }
        std::ostringstream text;
        text << "trying the recorder again in " << pause << " s";
        Say(text.str());
        PauseUnlessStopped(pause);
        pause = std::min(pause * 2, o.retryMaxSeconds);
    }
    service.Shutdown();
    Say("stopped");
    return service.FilesFailed() ? kExitFilesFailed : kExitOk;
}

} // namespace nereid::cli
