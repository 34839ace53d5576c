#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "datalink/datalink_packet.h"
#include "datalink/hub_socket.h"
#include "datalink/record_queue.h"
#include "recording/unique_fd.h"

namespace nereid::datalink {

// Records a hub's queue file holds by default: about 60 MB, a day of three 100 Hz channels.
constexpr std::size_t kDefaultQueueRecords = 100000;

// One hub to push to and how.
struct SHubSettings {
    std::string host;
    int port = 0;
    std::string queuePath;                            // the queue file of this hub
    std::size_t queueCapacity = kDefaultQueueRecords; // records
    std::string program = "nereid";                   // first field of the ID line
    std::string user;                                 // empty: no AUTH
    std::string password;                             // never logged
    double retrySeconds = 2; // first pause after a failed attempt; doubles each time
    double retryMaxSeconds = 300;
    double timeoutSeconds = 30; // connecting, the hub's ID reply, an acknowledgement
    std::size_t window = 16;    // records sent ahead of their acknowledgements
};

// Results of CDataLinkClient::Start.
enum ClientResult : int {
    kClientStarted = 1,
    kClientNoQueue = -1,  // the queue file cannot be opened or made
    kClientNoThread = -2, // the wake-up event or the thread could not be made
};

// Pushes records to one DataLink server (a ringserver hub) with WRITE, asking for an
// acknowledgement of each. Every record goes into the hub's queue file first and leaves it
// only when the hub acknowledged or refused it, so a hub that is away, or a program that
// stops, loses nothing (within the queue's capacity; the oldest give way past it). A thread of
// its own connects, sends in order and, after a failure, waits a pause that doubles from
// retrySeconds up to retryMaxSeconds. A record the hub refuses is logged and not sent again.
// The operator is told when the hub went away, when it came back and how many records wait.
class CDataLinkClient {
public:
    using LogFunction = std::function<void(const std::string&)>;

    explicit CDataLinkClient(SHubSettings settings);
    ~CDataLinkClient();
    CDataLinkClient(const CDataLinkClient&) = delete;
    CDataLinkClient& operator=(const CDataLinkClient&) = delete;

    // Messages for the operator, from the client's thread; set before Start.
    void SetLog(LogFunction log) { m_Log = std::move(log); }

    // Opens the queue file and starts the thread; see ClientResult, `error` says why not.
    int Start(std::string& error);
    // Ends the thread. When connected, it first goes on sending for at most `drainSeconds`
    // while records wait; whatever is left stays in the queue file for the next run.
    void Stop(double drainSeconds = 0);

    // Queues a record for the hub (any thread). Returns a QueueResult.
    int Enqueue(const SQueuedRecord& record);

    // "HOST:PORT" of the hub.
    std::string Address() const;
    bool Connected() const { return m_Connected.load(); }
    std::uint64_t Acknowledged() const { return m_Acknowledged.load(); }
    std::uint64_t Refused() const { return m_Refused.load(); }
    std::size_t Queued() const { return m_Queue.Size(); }
    const CRecordQueue& Queue() const { return m_Queue; }

private:
    enum class Outcome { kStopped, kNoConnection, kLost, kClosedAfterRefusal, kNotAllowed };

    void Run();
    Outcome RunConnection(std::string& why);
    bool Handshake(std::string& why, Outcome& outcome);
    Outcome Exchange(std::string& why);
    void TakeReply(const SStatusReply& reply, std::uint64_t position);
    void WaitUnlessStopped(double seconds);
    void Housekeeping();
    void Say(const std::string& text) const;
    bool Stopping() const { return m_Stop.load(); }

    SHubSettings m_S;
    LogFunction m_Log;
    CRecordQueue m_Queue;
    recording::UniqueFd m_Wake;
    CHubSocket m_Socket;
    CReplyReader m_Reader;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Connected{false};
    std::atomic<bool> m_Dirty{false};
    std::atomic<std::uint64_t> m_Acknowledged{0};
    std::atomic<std::uint64_t> m_Refused{0};
    std::chrono::steady_clock::time_point m_DrainUntil;
    std::mutex m_DrainMutex;
    // The thread's own state.
    std::chrono::steady_clock::time_point m_LastSync;
    std::uint64_t m_DroppedSaid = 0;
    bool m_Backlog = false; // told the operator that queued records are being sent
    bool m_Away = false;    // told the operator that the hub went away
    std::chrono::steady_clock::time_point m_AwaySince;
    std::string m_ServerId; // the hub's ID reply
    std::string m_ReadError;
    std::uint64_t m_CarefulUntil = 0; // records before this position go one at a time
    std::chrono::steady_clock::time_point m_RefusalWindow;
    int m_RefusalsSaid = 0;
    std::uint64_t m_RefusalsUnsaid = 0;
};

} // namespace nereid::datalink
