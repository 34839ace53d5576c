#include "cli/stream_command.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>
#include <thread>

#include "cli/connect.h"
#include "cli/transaction_wait.h"
#include "link/direct_search.h"
#include "link/receiver_thread.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"
#include "link/transaction.h"
#include "recording/calendar.h"
#include "recording/channel_table.h"
#include "recording/intake.h"
#include "recording/intake_observer.h"
#include "recording/stream_list.h"

namespace nereid::cli {

namespace {

constexpr std::uint8_t kRealTimeDataToPc = 0x94;
constexpr int kMaxSeconds = 86400;
// Wall-clock seconds without a stored frame after which the stream is given up.
constexpr int kSilenceLimitSeconds = 10;

struct ChannelStats {
    int frames = 0;
    int gapRows = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::int32_t min = std::numeric_limits<std::int32_t>::max();
    std::int32_t max = std::numeric_limits<std::int32_t>::min();
};

// Counts what the intake stores within the window [start, start + seconds) of recorder time;
// the window starts at the first stored second. Runs on the receiver thread; the statistics
// are read after the thread has been stopped.
class WindowCounter : public recording::CIntakeObserver {
public:
    explicit WindowCounter(std::uint32_t seconds) : m_Seconds(seconds) {}

    void OnFrameStored(int channel, std::uint32_t second, const std::int32_t* samples,
                       int count) override {
        if (!InWindow(second)) {
            return;
        }
        ChannelStats& s = m_Stats[static_cast<std::size_t>(channel)];
        if (s.frames == 0 && s.gapRows == 0) {
            s.first = second;
        }
        ++s.frames;
        s.last = std::max(s.last, second);
        for (int i = 0; i < count; ++i) {
            s.min = std::min(s.min, samples[i]);
            s.max = std::max(s.max, samples[i]);
        }
        m_Stored.fetch_add(1);
    }
    void OnGapRow(int channel, std::uint32_t second) override {
        if (InWindow(second)) {
            ChannelStats& s = m_Stats[static_cast<std::size_t>(channel)];
            if (s.frames == 0 && s.gapRows == 0) {
                s.first = second;
            }
            ++s.gapRows;
            s.last = std::max(s.last, second);
        }
    }

    bool Done() const { return m_Done.load(); }
    int Stored() const { return m_Stored.load(); }
    std::uint32_t Start() const { return m_Start.load(); }
    const ChannelStats& Stats(int channel) const {
        return m_Stats[static_cast<std::size_t>(channel)];
    }

private:
    bool InWindow(std::uint32_t second) {
        std::uint32_t start = m_Start.load();
        if (start == 0) {
            m_Start.store(second);
            start = second;
        }
        if (second < start) {
            return false;
        }
        if (second - start >= m_Seconds) {
            // Frames come second by second, so the first frame past the window means that
            // every frame of the window's last second has been seen.
            m_Done.store(true);
            return false;
        }
        return true;
    }

    const std::uint32_t m_Seconds;
    std::atomic<std::uint32_t> m_Start{0};
    std::atomic<bool> m_Done{false};
    std::atomic<int> m_Stored{0};
    std::array<ChannelStats, 17> m_Stats{};
};

class QuietEvents : public recording::CIntakeEvents {
public:
    void PostMessage(unsigned message, std::uintptr_t, long lParam) override {
        if (message == recording::kMsgAcquisition && lParam == recording::kCodeCrcError) {
            m_CrcErrors.fetch_add(1);
        }
    }
    int CrcErrors() const { return m_CrcErrors.load(); }

private:
    std::atomic<int> m_CrcErrors{0};
};

// Sends a one-byte order and waits for its end as a sheet would; returns the TransactionResult.
int RunTransaction(link::CTransaction& t, std::uint8_t code, std::uint8_t value) {
    return RunSheetTransaction(t, code, link::CommandRecord{0, link::ByteCommand{value}});
}

std::string CalendarText(std::uint32_t second) {
    const recording::CalendarTime c = recording::SecondsToCalendar(second);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return text;
}

int ParseSeconds(const std::vector<std::string>& args, int& seconds) {
    seconds = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            char* end = nullptr;
            const long v = std::strtol(args[i + 1].c_str(), &end, 10);
            if (end == args[i + 1].c_str() || *end != '\0' || v < 1 || v > kMaxSeconds) {
                std::cerr << "nereid stream: --seconds takes a whole number from 1 to "
                          << kMaxSeconds << ", not '" << args[i + 1] << "'\n";
                return kExitUsage;
            }
            seconds = static_cast<int>(v);
            ++i;
        } else {
            std::cerr << "nereid stream: unexpected argument '" << args[i] << "'\n";
            return kExitUsage;
        }
    }
    if (seconds == 0) {
        std::cerr << "nereid stream: --seconds N is required\n";
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

int RunStreamCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    int seconds = 0;
    if (const int parsed = ParseSeconds(args, seconds); parsed != kExitOk) {
        return parsed;
    }

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
    WindowCounter counter(static_cast<std::uint32_t>(seconds));
    intake.SetObserver(&counter);
    if (table.m_ChanMap.empty()) {
        std::cerr << "nereid stream: the recorder's configuration enables no channel of its "
                  << search.StreamCount() << " streams\n";
        return kExitNoConfiguration;
    }
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
    auto lastProgress = std::chrono::steady_clock::now();
    int lastStored = 0;
    while (!counter.Done()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto now = std::chrono::steady_clock::now();
        if (counter.Stored() != lastStored) {
            lastStored = counter.Stored();
            lastProgress = now;
        } else if (now - lastProgress > std::chrono::seconds(kSilenceLimitSeconds)) {
            std::cerr << "nereid stream: no data frame for " << kSilenceLimitSeconds
                      << " s; stopping early\n";
            exitCode = kExitNoAnswer;
            break;
        }
    }

    // The thread keeps taking data frames meanwhile, so the answer is not held up behind them.
    result = RunTransaction(transaction, kRealTimeDataToPc, 0);
    thread.Stop();
    if (result != link::kTransactionAccepted) {
        std::cerr << "nereid: stopping Real Time Data to PC: " << transaction.ResultText() << "\n";
        if (exitCode == kExitOk) {
            exitCode = result == link::kTransactionRejected ? kExitRefused : kExitNoAnswer;
        }
    }

    std::cout << "Port " << search.PortName() << " at " << search.Baud() << " baud, " << seconds
              << " s of recorder time from " << counter.Start() << "\n";
    for (const auto& [number, rec] : table.m_ChanMap) {
        const ChannelStats& s = counter.Stats(number);
        std::cout << "channel " << number << ": frames " << s.frames << ", rate " << rec.rate;
        if (s.frames + s.gapRows > 0) {
            std::cout << ", first " << s.first << " (" << CalendarText(s.first) << ")"
                      << ", last " << s.last << " (" << CalendarText(s.last) << ")";
        } else {
            std::cout << ", first -, last -";
        }
        std::cout << ", gap rows " << s.gapRows;
        if (s.frames > 0) {
            std::cout << ", min " << s.min << ", max " << s.max;
        } else {
            std::cout << ", min -, max -";
        }
        std::cout << "\n";
    }
    if (events.CrcErrors() > 0) {
        std::cout << "CRC errors: " << events.CrcErrors() << "\n";
    }
    link.Close();
    return exitCode;
}

} // namespace nereid::cli
