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
#include "cli/serve_service.h"
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

} // namespace

ServeEnding CServeService::RunConnection(int& exitCode) {
    link::CSerialLink link;
    link::CSerialPortControl ports(link);
    link::CDirectSearch search(link, ports);
    std::ostringstream progress;
    std::ostringstream problems;
    if (ConnectToRecorder(m_Global, link, search, progress, problems) != kExitOk) {
        SayServe("no recorder: " +
                 problems.str().substr(0, problems.str().find_last_not_of('\n') + 1));
        return ServeEnding::kNoRecorder;
    }
    recording::CChannelTable table;
    recording::CIntakeState state;
    if (ChannelsOfConnection(search, link, table, state, problems) != kExitOk ||
        table.m_ChanMap.empty()) {
        SayServe("the recorder gave no usable configuration" +
                 (problems.str().empty() ? std::string() : ": " + problems.str()));
        return ServeEnding::kNoRecorder;
    }
    const std::string station =
        m_O.station.empty()
            ? recording::SeedStationCode(search.StationName(), search.SerialNumber())
            : m_O.station;
    if (!m_Serving && !StartServing(table, station, exitCode)) {
        return ServeEnding::kFatal;
    }
    if (station != m_Who.station) {
        SayServe("the recorder now calls itself " + station + "; its data are still served as " +
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
                SayServe("channel " + std::to_string(wanted) +
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
            SayServe("recording cannot start; serving without it");
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
        SayServe("cannot start the receiver thread");
        exitCode = kExitNoAnswer;
        return ServeEnding::kFatal;
    }
    link::CTransaction transaction(link);
    if (RunTransaction(transaction, kRealTimeDataToPc, 1) != link::kTransactionAccepted) {
        SayServe(std::string("Real Time Data to PC: ") + transaction.ResultText());
        thread.Stop();
        if (recorder) {
            intake.SetRecorder(nullptr);
            recorder->Finish();
        }
        return ServeEnding::kNoRecorder;
    }
    SayServe("connected on " + search.PortName() + " at " + std::to_string(search.Baud()) +
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

    ServeEnding ending = ServeEnding::kStopped;
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
            SayServe(text.str());
            ending = ServeEnding::kLost;
            break;
        }
        if (m_Feed->Failures() != m_ReportedFailures) {
            SayServe(std::to_string(m_Feed->Failures() - m_ReportedFailures) +
                     " stretches of samples could not be packed into records; the next ones go on");
            m_ReportedFailures = m_Feed->Failures();
        }
        if (m_Push && m_Push->Unqueued() != m_ReportedUnqueued) {
            SayServe(std::to_string(m_Push->Unqueued() - m_ReportedUnqueued) +
                     " records could not be put in a DataLink queue file (is its disk full?)");
            m_ReportedUnqueued = m_Push->Unqueued();
        }
        if (m_Page) {
            m_Page->Tick(link, state, recorder.get());
        }
        if (events.RecordingStopped() && !recordingStopSaid) {
            SayServe("recording stopped; serving goes on");
            recordingStopSaid = true;
        }
    }
    if (m_Page) {
        m_Page->Disconnected(ending == ServeEnding::kLost);
    }
    if (ending == ServeEnding::kStopped) {
        const int result = RunTransaction(transaction, kRealTimeDataToPc, 0);
        if (result != link::kTransactionAccepted) {
            SayServe(std::string("stopping Real Time Data to PC: ") + transaction.ResultText());
        }
    }
    thread.Stop();
    intake.SetObserver(nullptr);
    if (recorder) {
        intake.SetRecorder(nullptr);
        if (recorder->Finish() != 1) {
            SayServe("the last recording period is not wholly converted or written");
        }
    }
    // What the packers hold goes out now: a lost line must not lose the seconds before it.
    m_Feed->FlushAll();
    m_Ring->Flush();
    link.Close();
    return ending;
}

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

    CServeService service(options, o);
    double pause = o.retrySeconds;
    int exitCode = kExitOk;
    while (!Stopping()) {
        const ServeEnding ending = service.RunConnection(exitCode);
        if (ending == ServeEnding::kFatal) {
            service.Shutdown();
            return exitCode;
        }
        if (ending == ServeEnding::kStopped) {
            break;
        }
        if (service.HadData()) {
            pause = o.retrySeconds; // it ran: start the growing pauses afresh
        }
        std::ostringstream text;
        text << "trying the recorder again in " << pause << " s";
        SayServe(text.str());
        PauseUnlessStopped(pause);
        pause = std::min(pause * 2, o.retryMaxSeconds);
    }
    service.Shutdown();
    SayServe("stopped");
    return service.FilesFailed() ? kExitFilesFailed : kExitOk;
}

} // namespace nereid::cli
