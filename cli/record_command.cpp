#include "cli/record_command.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "cli/channel_list.h"
#include "cli/connect.h"
#include "cli/mseed_options.h"
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
#include "recording/stream_list.h"

namespace nereid::cli {

namespace {

constexpr std::uint8_t kRealTimeDataToPc = 0x94;
constexpr long kMaxSeconds = 7 * 86400;
// Wall-clock seconds without a recorded second after which the recording is given up.
constexpr int kSilenceLimitSeconds = 15;
// How long the end of a SEISAN recording waits for the last converter, in milliseconds.
constexpr int kConverterWaitMs = 60000;

struct RecordOptions {
    recording::RecordingForm form = recording::RecordingForm::kDadisp;
    std::string minutes;
    long seconds = 0;
    std::string directory;
    std::set<int> channels; // empty: the default record enables (1 to 4)
    std::string comment;
    recording::SMseedOptions mseed;
};

// Prints the recorder's messages at once and keeps the closed files for the summary. Called
// on the receiver thread.
class RecordMessages : public recording::CRecorderMessages {
public:
    void ShowMessage(const std::string& text, const char*) override {
        std::lock_guard lock(m_Mutex);
        std::cerr << "\nnereid record: " << text << "\n";
        // The clock message is a notice; a file that cannot be created or written is not.
        if (text.rfind("Can't ", 0) == 0) {
            m_Failed = true;
        }
    }
    void FileClosed(const std::string& path) override {
        std::lock_guard lock(m_Mutex);
        m_Closed.push_back(path);
    }
    void ChannelSkipped(int channel, const std::string&) override {
        std::lock_guard lock(m_Mutex);
        std::cerr << "nereid record: channel " << channel
                  << " is not recorded until its next period; the other channels go on\n";
        m_Failed = true;
    }
    std::vector<std::string> Closed() {
        std::lock_guard lock(m_Mutex);
        return m_Closed;
    }
    bool Failed() {
        std::lock_guard lock(m_Mutex);
        return m_Failed;
    }

private:
    std::mutex m_Mutex;
    std::vector<std::string> m_Closed;
    bool m_Failed = false;
};

class QuietEvents : public recording::CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t, long) override {
        if (message == recording::kMsgStopRecording) {
            m_Stopped.store(true);
        }
    }
    bool Stopped() const { return m_Stopped.load(); }

private:
    std::atomic<bool> m_Stopped{false};
};

// Sends a one-byte order and waits for its end as a sheet would; returns the TransactionResult.
int RunTransaction(link::CTransaction& t, std::uint8_t code, std::uint8_t value) {
    return RunSheetTransaction(t, code, link::CommandRecord{0, link::ByteCommand{value}});
}

int Usage(const std::string& text) {
    std::cerr << "nereid record: " << text << "\n"
              << "usage: nereid record --format dadisp|css|seisan|mseed --minutes M --seconds N"
                 " [--dir DIR] [--channels LIST] [--comment TEXT] "
              << kMseedOptionsUsage << "\n";
    return kExitUsage;
}

bool ParseWhole(const std::string& text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno != 0 || v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

int ParseOptions(const std::vector<std::string>& args, RecordOptions& o) {
    bool haveFormat = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        std::string why;
        if (const int taken = TakeMseedOption(args, i, o.mseed, why); taken != 0) {
            if (taken < 0) {
                return Usage(why);
            }
            continue;
        }
        if (i + 1 >= args.size()) {
            return Usage("'" + name + "' needs a value or is not an option");
        }
        const std::string& value = args[++i];
        if (name == "--format") {
            if (value == "dadisp") {
                o.form = recording::RecordingForm::kDadisp;
            } else if (value == "css") {
                o.form = recording::RecordingForm::kCss;
            } else if (value == "seisan") {
                o.form = recording::RecordingForm::kSeisan;
            } else if (value == "mseed") {
                o.form = recording::RecordingForm::kMseed;
            } else {
                return Usage("--format takes dadisp, css, seisan or mseed, not '" + value + "'");
            }
            haveFormat = true;
        } else if (name == "--minutes") {
            o.minutes = value;
        } else if (name == "--seconds") {
            if (!ParseWhole(value, 1, kMaxSeconds, o.seconds)) {
                return Usage("--seconds takes a whole number from 1 to " +
                             std::to_string(kMaxSeconds) + ", not '" + value + "'");
            }
        } else if (name == "--dir") {
            o.directory = value;
        } else if (name == "--channels") {
            if (!ParseChannelList(value, o.channels)) {
                return Usage("--channels takes channel numbers 1 to 16 separated by commas,"
                             " not '" +
                             value + "'");
            }
        } else if (name == "--comment") {
            o.comment = value;
        } else {
            return Usage("unexpected argument '" + name + "'");
        }
    }
    if (!haveFormat || o.minutes.empty() || o.seconds == 0) {
        return Usage("--format, --minutes and --seconds are required");
    }
    if (recording::ParseRecordingMinutes(o.minutes) == 0) {
        std::cerr << "nereid record: " << recording::kRecordingTimeInvalidText
                  << " (1 to 720 minutes)\n";
        return kExitUsage;
    }
    return kExitOk;
}

std::string CurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
}

} // namespace

int RunRecordCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    RecordOptions o;
    if (const int parsed = ParseOptions(args, o); parsed != kExitOk) {
        return parsed;
    }
    const std::string directory = o.directory.empty() ? CurrentDirectory() : o.directory;

    link::CSerialLink link;
    link::CSerialPortControl ports(link);
    link::CDirectSearch search(link, ports);
    if (const int connected = ConnectToRecorder(options, link, search, std::cerr, std::cerr);
        connected != kExitOk) {
        return connected;
    }
    recording::CChannelTable table;
    recording::CIntakeState state;
    if (const int built = ChannelsOfConnection(search, link, table, state, std::cerr);
        built != kExitOk) {
        return built;
    }
    QuietEvents events;
    recording::CRealTimeIntake intake(table, state, events);
    for (auto& [number, channel] : table.m_ChanMap) {
        if (!o.channels.empty()) {
            channel.recordEnable = o.channels.count(number) != 0;
        }
        channel.directory = directory;
        channel.comments = o.comment;
    }
    for (int wanted : o.channels) {
        if (table.m_ChanMap.count(static_cast<std::uint16_t>(wanted)) == 0) {
            std::cerr << "nereid record: channel " << wanted
                      << " is not enabled in the recorder's configuration\n";
        }
    }

    RecordMessages messages;
    recording::CClockUpdate clock(&messages);
    std::unique_ptr<recording::CConverterLauncher> converter;
    if (o.form == recording::RecordingForm::kSeisan) {
        const char* folder = std::getenv("NEREID_WAVEXPORT_DIR");
        const std::string program =
            recording::CConverterLauncher::FindConverter(folder != nullptr ? folder : "");
        if (program.empty()) {
            std::cerr << "nereid record: wavexport not found; the DADiSP files stay as they are\n";
        }
        converter = std::make_unique<recording::CConverterLauncher>(program, &messages);
    }
    recording::CFileRecorder::Services services;
    services.messages = &messages;
    services.converter = converter.get();
    services.clock = &clock;
    recording::RecordingSetupRequest request;
    request.form = o.form;
    request.minutesText = o.minutes;
    request.stationName = search.StationName();
    request.network = o.mseed.network;
    request.components = o.mseed.components;
    std::unique_ptr<recording::CFileRecorder> recorder;
    if (const int prepared = recording::PrepareRecorder(request, table, services, recorder);
        prepared != 1) {
        return prepared == recording::kSetupTimeInvalid ? kExitUsage : kExitNoConfiguration;
    }
    recorder->LimitSeconds(static_cast<std::uint32_t>(o.seconds));
    intake.SetRecorder(recorder.get());
    recording::ArmRecording(state, o.form);
    // Every form starts on a fresh second here, DADiSP too: all channels then begin with the
    // same second, and the intake's first frame (no latest second yet) cannot count as a
    // jump that stops the recording at once.
    state.m_RestartSecond.store(recording::kRestartArmed);
    state.m_bResumePending.store(true);

    state.m_bConnected.store(true);
    link::CReceiverThread thread(link, intake, state, events);
    if (thread.Start() != 1) {
        std::cerr << "nereid: cannot start the receiver thread\n";
        return kExitNoAnswer;
    }
    link::CTransaction transaction(link);
    int result = RunTransaction(transaction, kRealTimeDataToPc, 1);
    if (result != link::kTransactionAccepted) {
        thread.Stop();
        std::cerr << "nereid: Real Time Data to PC: " << transaction.ResultText() << "\n";
        return result == link::kTransactionRejected ? kExitRefused : kExitNoAnswer;
    }

    int exitCode = kExitOk;
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    auto lastMove = std::chrono::steady_clock::now();
    std::uint32_t lastSeconds = 0;
    while (!recorder->Finished() && !events.Stopped()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto now = std::chrono::steady_clock::now();
        const std::uint32_t recorded = recorder->SecondsRecorded();
        if (recorded != lastSeconds) {
            lastSeconds = recorded;
            lastMove = now;
            if (terminal) {
                std::printf("\rrecording: %u of %ld s, %zu files closed ", recorded, o.seconds,
                            messages.Closed().size());
                std::fflush(stdout);
            }
        } else if (now - lastMove > std::chrono::seconds(kSilenceLimitSeconds)) {
            std::cerr << "nereid record: no data for " << kSilenceLimitSeconds
                      << " s; stopping early\n";
            exitCode = kExitNoAnswer;
            break;
        }
    }
    if (terminal) {
        std::printf("\n");
    }

    result = RunTransaction(transaction, kRealTimeDataToPc, 0);
    thread.Stop();
    // The receiver thread is gone: close whatever an early end left open.
    intake.SetRecorder(nullptr);
    recorder->FlushAll();
    if (converter) {
        if (!converter->WaitIdle(kConverterWaitMs)) {
            std::cerr << "nereid record: wavexport still runs after " << kConverterWaitMs / 1000
                      << " s; not waiting longer\n";
        }
    }
    if (result != link::kTransactionAccepted) {
        std::cerr << "nereid: stopping Real Time Data to PC: " << transaction.ResultText() << "\n";
        if (exitCode == kExitOk) {
            exitCode = result == link::kTransactionRejected ? kExitRefused : kExitNoAnswer;
        }
    }
    for (const std::string& path : messages.Closed()) {
        std::cout << path << "\n";
    }
    if (messages.Failed() && exitCode == kExitOk) {
        exitCode = kExitRecordingFailed;
    }
    link.Close();
    return exitCode;
}

} // namespace nereid::cli
