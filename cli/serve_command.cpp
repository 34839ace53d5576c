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
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/connect.h"
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
// Samples a Steim-2 record of 512 bytes holds at the least for ordinary seismic signals; the
// ring is sized with it, so it keeps at least the minutes asked for.
constexpr double kSamplesPerRecordEstimate = 200;
constexpr int kExitFilesFailed = 6;

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

    Ending RunConnection(int& exitCode);
    bool HadData() const { return m_HadData; }
    bool FilesFailed() const { return m_Messages.Failed(); }
    void Shutdown() {
        if (m_Page) {
            m_Page->Stop();
        }
        if (m_Server) {
            m_Server->Stop();
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
    std::unique_ptr<seedlink::CStreamFeed> m_Feed;
    std::unique_ptr<CStationPage> m_Page; // --http
    bool m_HadData = false;
    std::uint64_t m_ReportedFailures = 0;
};

bool Service::StartServing(const recording::CChannelTable& table, const std::string& station,
                           int& exitCode) {
    double samplesPerSecond = 0;
    for (const auto& [number, channel] : table.m_ChanMap) {
        samplesPerSecond += std::max(channel.rate, 0);
    }
    const auto capacity = static_cast<std::size_t>(std::ceil(samplesPerSecond * m_O.ringMinutes *
                                                             60 / kSamplesPerRecordEstimate)) +
                          64;
    m_Ring = std::make_unique<seedlink::CRecordRing>(capacity);
    m_Who.network = m_O.network;
    m_Who.station = station;
    m_Who.description = "Nereid recorder " + station;
    m_Who.startedNs = NowNs();
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
    seedlink::CSeedLinkServer* server = m_Server.get();
    m_Feed = std::make_unique<seedlink::CStreamFeed>(
        *m_Ring, seedlink::MseedPackerFactory(m_O.latencySeconds), [server] { server->Notify(); });
    std::cout << "serving SeedLink on " << m_O.host << ":" << m_Server->Port() << " as "
              << m_Who.network << "." << station << ", ring of " << capacity << " records"
              << std::endl;
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
    if (!m_Server && !StartServing(table, station, exitCode)) {
        return Ending::kFatal;
    }
    if (station != m_Who.station) {
        Say("the recorder now calls itself " + station + "; its data are still served as " +
            m_Who.station + " until the service restarts");
    }
    for (const auto& [number, channel] : table.m_ChanMap) {
        if (channel.rate > 0) {
            m_Feed->SetStream(number,
                              seedlink::SFeedStream{
                                  m_Who.network, m_Who.station, "",
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
        }
        if (m_O.form == recording::RecordingForm::kSeisan) {
            const char* folder = std::getenv("NEREID_WAVEXPORT_DIR");
            converter = std::make_unique<recording::CConverterLauncher>(
                recording::CConverterLauncher::FindConverter(folder != nullptr ? folder : ""));
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
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
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
    link.Close();
    return ending;
}

} // namespace

int RunServeCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    ServeOptions o;
    if (const int parsed = ParseServeOptions(args, o); parsed != kExitOk) {
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
