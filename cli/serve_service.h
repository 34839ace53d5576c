#pragma once

#include <atomic>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "cli/cli_options.h"
#include "cli/serve_options.h"
#include "recording/recorder_messages.h"
#include "seedlink/info_packets.h"

namespace nereid::datalink {
class CDataLinkPush;
} // namespace nereid::datalink
namespace nereid::recording {
class CChannelTable;
} // namespace nereid::recording
namespace nereid::seedlink {
class CRecordRing;
class CSeedLinkServer;
class CStreamFeed;
} // namespace nereid::seedlink

// The station service of `nereid serve`: what outlives one connection to the recorder.
namespace nereid::cli {

class CStationPage;

// Says `text` on stderr as "nereid serve: ..."; safe from every thread.
void SayServe(const std::string& text);

// The recorder's messages on stderr and its closed files on stdout; remembers a failure.
class CServeMessages : public recording::CRecorderMessages {
public:
    void ShowMessage(const std::string& text, const char*) override {
        SayServe(text);
        if (text.rfind("Can't ", 0) == 0) {
            m_Failed.store(true);
        }
    }
    void FileClosed(const std::string& path) override {
        std::lock_guard lock(m_Mutex);
        std::cout << path << std::endl;
    }
    void ChannelSkipped(int channel, const std::string&) override {
        SayServe("channel " + std::to_string(channel) +
                 " is not recorded until its next period; the other channels go on");
        m_Failed.store(true);
    }
    bool Failed() const { return m_Failed.load(); }

private:
    std::mutex m_Mutex;
    std::atomic<bool> m_Failed{false};
};

// How one connection ended.
enum class ServeEnding { kStopped, kLost, kNoRecorder, kFatal };

// The parts that outlive a connection: the ring, the server, the feed, the push to the
// DataLink hubs and the station page. One connection's run is in serve_command.cpp.
class CServeService {
public:
    CServeService(const GlobalOptions& global, const ServeOptions& o);
    ~CServeService();
    CServeService(const CServeService&) = delete;
    CServeService& operator=(const CServeService&) = delete;

    // One connection: connects, serves its real-time data (recording them if asked) until a
    // stop signal, a lost line or a silent recorder. Sets `exitCode` when the end is fatal.
    ServeEnding RunConnection(int& exitCode);
    bool HadData() const { return m_HadData; }
    bool FilesFailed() const { return m_Messages.Failed(); }
    // Ends what serves: the station page, the ring (flushed to its file), the server and the
    // push to the hubs, which gets a few seconds to hand over what is queued.
    void Shutdown();

private:
    bool StartServing(const recording::CChannelTable& table, const std::string& station,
                      int& exitCode);

    const GlobalOptions& m_Global;
    const ServeOptions& m_O;
    CServeMessages m_Messages;
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

} // namespace nereid::cli
