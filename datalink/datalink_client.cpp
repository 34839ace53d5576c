#include "datalink/datalink_client.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <deque>

namespace nereid::datalink {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 200;
constexpr double kSyncSeconds = 1;         // the queue file reaches the disk at least this often
constexpr int kRefusalsSaidPerMinute = 10; // more are counted and said once a minute

std::chrono::milliseconds Millis(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// "2026-12-08T04:01:02.123456Z" of microseconds since the epoch.
std::string TimeText(std::int64_t us) {
    const std::time_t seconds = static_cast<std::time_t>(us / 1000000 - (us % 1000000 < 0));
    const long micros = static_cast<long>(us - static_cast<std::int64_t>(seconds) * 1000000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  micros);
    return text;
}

} // namespace

CDataLinkClient::CDataLinkClient(SHubSettings settings)
    : m_S(std::move(settings)),
      m_Socket(
          m_S.timeoutSeconds, [this] { return Stopping(); }, [this] { Housekeeping(); }) {
    m_S.retrySeconds = std::max(m_S.retrySeconds, 0.01);
    m_S.retryMaxSeconds = std::max(m_S.retryMaxSeconds, m_S.retrySeconds);
    m_S.window = std::max<std::size_t>(m_S.window, 1);
}

CDataLinkClient::~CDataLinkClient() {
    Stop();
}

std::string CDataLinkClient::Address() const {
    const bool v6 = m_S.host.find(':') != std::string::npos;
    return (v6 ? "[" + m_S.host + "]" : m_S.host) + ":" + std::to_string(m_S.port);
}

void CDataLinkClient::Say(const std::string& text) const {
    if (m_Log) {
        m_Log("DataLink hub " + Address() + ": " + text);
    }
}

int CDataLinkClient::Start(std::string& error) {
    if (m_Thread.joinable()) {
        return kClientStarted;
    }
    std::string note;
    if (m_Queue.Open(m_S.queuePath, m_S.queueCapacity, note) != kQueueOk) {
        error = m_Queue.Error();
        return kClientNoQueue;
    }
    m_Wake.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_Wake.Valid()) {
        error = std::string("cannot make the wake-up event: ") + std::strerror(errno);
        return kClientNoThread;
    }
    Say("queue file " + m_S.queuePath + " (at most " + std::to_string(m_Queue.Capacity()) +
        " records): " + note);
    m_Stop.store(false);
    m_LastSync = Clock::now();
    try {
        m_Thread = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        error = std::string("cannot start the DataLink thread: ") + e.what();
        return kClientNoThread;
    }
    return kClientStarted;
}

void CDataLinkClient::Stop(double drainSeconds) {
    if (!m_Thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_DrainMutex);
        m_DrainUntil = Clock::now() + Millis(drainSeconds);
    }
    m_Stop.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_Wake.Get(), &one, sizeof one);
    m_Thread.join();
    m_Queue.SyncToDisk();
    m_Socket.Close();
    m_Connected.store(false);
}

int CDataLinkClient::Enqueue(const SQueuedRecord& record) {
    const int result = m_Queue.Push(record);
    if (result == kQueueOk) {
        m_Dirty.store(true);
        if (m_Wake.Valid()) {
            const std::uint64_t one = 1;
            // A full counter wakes the thread as well; nothing to do when the write fails.
            [[maybe_unused]] const ssize_t n = write(m_Wake.Get(), &one, sizeof one);
        }
    }
    return result;
}

void CDataLinkClient::Housekeeping() {
    const auto now = Clock::now();
    if (m_Dirty.load() && now - m_LastSync >= Millis(kSyncSeconds)) {
        m_Dirty.store(false);
        m_LastSync = now;
        if (m_Queue.SyncToDisk() != kQueueOk) {
            Say(std::string("the queue file cannot be synced to disk: ") + std::strerror(errno));
        }
    }
    if (const std::uint64_t dropped = m_Queue.Dropped(); dropped != m_DroppedSaid) {
        Say("the queue is full (" + std::to_string(m_Queue.Capacity()) +
            " records): " + std::to_string(dropped - m_DroppedSaid) +
            " of the oldest records gave way to new ones");
        m_DroppedSaid = dropped;
    }
    if (m_RefusalsUnsaid > 0 && now - m_RefusalWindow >= std::chrono::minutes(1)) {
        Say(std::to_string(m_RefusalsUnsaid) + " more records were refused in the last minute");
        m_RefusalsUnsaid = 0;
        m_RefusalsSaid = 0;
        m_RefusalWindow = now;
    }
}

void CDataLinkClient::WaitUnlessStopped(double seconds) {
    const auto end = Clock::now() + Millis(seconds);
    while (!Stopping() && Clock::now() < end) {
        pollfd fd{m_Wake.Get(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        poll(&fd, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, kPollMs)));
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = read(m_Wake.Get(), &count, sizeof count);
        Housekeeping();
    }
}

void CDataLinkClient::Run() {
    double pause = m_S.retrySeconds;
    while (!Stopping()) {
        std::string why;
        const Outcome outcome = RunConnection(why);
        m_Connected.store(false);
        m_Socket.Close();
        if (outcome == Outcome::kStopped || Stopping()) {
            break;
        }
        if (outcome == Outcome::kClosedAfterRefusal) {
            // ringserver closes a connection whose WRITE it refused: the next record goes at once.
            pause = m_S.retrySeconds;
            continue;
        }
        m_Backlog = false;
        if (outcome == Outcome::kLost) {
            m_Away = true;
            m_AwaySince = Clock::now();
            pause = m_S.retrySeconds;
            Say("went away (" + why + "); " + std::to_string(m_Queue.Size()) +
                " records are queued; trying again in " + SecondsText(pause));
        } else {
            Say("no connection (" + why + "); " + std::to_string(m_Queue.Size()) +
                " records are queued; trying again in " + SecondsText(pause));
        }
        WaitUnlessStopped(pause);
        if (outcome != Outcome::kLost) {
            pause = std::min(pause * 2, m_S.retryMaxSeconds);
        }
    }
}

CDataLinkClient::Outcome CDataLinkClient::RunConnection(std::string& why) {
    if (!m_Socket.Connect(m_S.host, m_S.port, why)) {
        return Stopping() ? Outcome::kStopped : Outcome::kNoConnection;
    }
    Outcome outcome = Outcome::kNoConnection;
    if (!Handshake(why, outcome)) {
        return Stopping() ? Outcome::kStopped : outcome;
    }
    return Exchange(why);
}

bool CDataLinkClient::Handshake(std::string& why, Outcome& outcome) {
    m_Reader.Clear();
    outcome = Outcome::kNoConnection;
    SPacket packet;
    if (!m_Socket.SendAll(FramePacket(IdHeader(m_S.program)), why) ||
        !m_Socket.AwaitPacket(m_Reader, packet, why)) {
        return false;
    }
    if (packet.header.rfind("ID", 0) != 0) {
        why = "the hub answered ID with '" + packet.header.substr(0, 60) + "'";
        return false;
    }
    // ringserver names WRITE among its capabilities only for addresses it lets write: without
    // it every record would be refused and lost, so they stay queued instead.
    if (!HasCapability(packet.header, "WRITE")) {
        why = "the hub does not let this address write (grant it with WriteIP); its ID: " +
              packet.header;
        outcome = Outcome::kNotAllowed;
        return false;
    }
    std::string packetSize;
    if (HasCapability(packet.header, "PACKETSIZE", &packetSize) &&
        std::strtol(packetSize.c_str(), nullptr, 10) < static_cast<long>(kQueueRecordBytes)) {
        why = "the hub's packets hold " + packetSize + " bytes, fewer than a record's " +
              std::to_string(kQueueRecordBytes);
        outcome = Outcome::kNotAllowed;
        return false;
    }
    const std::string serverId = packet.header.substr(3);
    if (!m_S.user.empty()) {
        const std::string credentials = AuthData(m_S.user, m_S.password);
        SStatusReply reply;
        if (!m_Socket.SendAll(
                FramePacket(AuthHeader(credentials.size()), credentials.data(), credentials.size()),
                why) ||
            !m_Socket.AwaitPacket(m_Reader, packet, why)) {
            return false;
        }
        if (!ParseStatusReply(packet, reply) || !reply.ok) {
            why = "the hub refused the user name and password" +
                  (reply.message.empty() ? std::string() : ": " + reply.message);
            outcome = Outcome::kNotAllowed;
            return false;
        }
    }
    m_ServerId = serverId;
    m_Connected.store(true);
    return true;
}

void CDataLinkClient::TakeReply(const SStatusReply& reply, std::uint64_t position) {
    if (reply.ok) {
        m_Acknowledged.fetch_add(1);
    } else {
        m_Refused.fetch_add(1);
        const auto now = Clock::now();
        if (now - m_RefusalWindow >= std::chrono::minutes(1)) {
            m_RefusalWindow = now;
            m_RefusalsSaid = 0;
        }
        if (m_RefusalsSaid < kRefusalsSaidPerMinute) {
            ++m_RefusalsSaid;
            SQueuedRecord record;
            const std::string which = m_Queue.Get(position, record) == kQueueOk
                                          ? record.streamId + " from " + TimeText(record.startUs)
                                          : "record " + std::to_string(position);
            Say("refused " + which + ": " +
                (reply.message.empty() ? "no reason given" : reply.message) +
                "; it is not sent again");
        } else {
            ++m_RefusalsUnsaid;
        }
    }
    m_Queue.RemoveBefore(position + 1);
}

CDataLinkClient::Outcome CDataLinkClient::Exchange(std::string& why) {
    std::deque<std::uint64_t> inFlight; // positions sent, oldest first, awaiting their reply
    // ringserver closes a connection right after refusing a WRITE; with more WRITEs unread
    // behind it the close is a reset that can swallow the refusal, and the record would be
    // sent, refused and swallowed again and again. So the records a lost connection left
    // unanswered go one at a time, each after the answer to the one before.
    struct NoteUnanswered {
        std::uint64_t& carefulUntil;
        const std::deque<std::uint64_t>& inFlight;
        ~NoteUnanswered() {
            if (!inFlight.empty()) {
                carefulUntil = std::max(carefulUntil, inFlight.back() + 1);
            }
        }
    } note{m_CarefulUntil, inFlight};
    std::uint64_t next = m_Queue.Head();
    std::string output;
    std::size_t outputSent = 0;
    bool lastWasRefusal = false;
    auto lastReply = Clock::now();
    const std::size_t waiting = m_Queue.Size();
    const std::string queued =
        waiting > 0 ? "; sending " + std::to_string(waiting) + " queued records" : "";
    if (m_Away) {
        const double seconds = std::chrono::duration<double>(Clock::now() - m_AwaySince).count();
        Say("is back after " + SecondsText(seconds) + queued);
        m_Away = false;
    } else {
        Say("connected (" + m_ServerId + ")" + queued);
    }
    m_Backlog = m_Queue.Size() > 0;
    enum { kRead, kNothing, kClosed, kBroken, kNotDataLink };
    // Reads what the socket holds and takes every whole reply in it.
    auto readReplies = [&]() -> int {
        char buffer[4096];
        const ssize_t n = recv(m_Socket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) {
            return kClosed;
        }
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                return kNothing;
            }
            m_ReadError = std::strerror(errno);
            return kBroken;
        }
        m_Reader.Feed(buffer, static_cast<std::size_t>(n));
        SPacket packet;
        int result = kReaderNeedMore;
        while ((result = m_Reader.Next(packet)) == kReaderPacket) {
            SStatusReply reply;
            if (!ParseStatusReply(packet, reply) || inFlight.empty()) {
                continue; // nothing else is asked; an unasked packet is not an answer
            }
            TakeReply(reply, inFlight.front());
            inFlight.pop_front();
            lastWasRefusal = !reply.ok;
            lastReply = Clock::now();
        }
        return result == kReaderNotDataLink ? kNotDataLink : kRead;
    };
    while (true) {
        if (Stopping()) {
            std::lock_guard lock(m_DrainMutex);
            if ((m_Queue.Size() == 0 && inFlight.empty()) || Clock::now() >= m_DrainUntil) {
                return Outcome::kStopped;
            }
        }
        // Send ahead up to the window; a record dropped from a full queue meanwhile is skipped.
        const std::size_t window = std::max(next, m_Queue.Head()) < m_CarefulUntil ? 1 : m_S.window;
        while (inFlight.size() < window && output.size() - outputSent < 64 * 1024) {
            const std::uint64_t position = std::max(next, m_Queue.Head());
            if (position >= m_Queue.End()) {
                break;
            }
            SQueuedRecord record;
            const int got = m_Queue.Get(position, record);
            if (got == kQueueDamagedSlot) {
                if (!inFlight.empty()) {
                    break; // removed once the records before it are answered
                }
                Say("the queued record " + std::to_string(position) +
                    " is damaged in the queue file and is skipped");
                m_Queue.RemoveBefore(position + 1);
                next = position + 1;
                continue;
            }
            if (got != kQueueOk) {
                break;
            }
            const std::string header =
                WriteHeader(record.streamId, record.startUs, record.endUs, record.data.size());
            output += FramePacket(header, record.data.data(), record.data.size());
            inFlight.push_back(position);
            next = position + 1;
        }
        if (inFlight.empty()) {
            lastReply = Clock::now();
            if (m_Backlog && m_Queue.Size() == 0) {
                Say("every queued record is sent");
                m_Backlog = false;
            }
        }
        pollfd fds[2] = {{m_Socket.Get(),
                          static_cast<short>(POLLIN | (outputSent < output.size() ? POLLOUT : 0)),
                          0},
                         {m_Wake.Get(), POLLIN, 0}};
        poll(fds, 2, kPollMs);
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = read(m_Wake.Get(), &count, sizeof count);
        }
        if (outputSent < output.size() && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = send(m_Socket.Get(), output.data() + outputSent,
                                   output.size() - outputSent, MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                why = std::strerror(errno);
                // A hub that refused a record closes at once, maybe before this send: its
                // answers may still wait to be read, and a refusal must not be sent again.
                while (readReplies() == kRead) {
                }
                return lastWasRefusal ? Outcome::kClosedAfterRefusal : Outcome::kLost;
            }
            if (n > 0) {
                outputSent += static_cast<std::size_t>(n);
                if (outputSent == output.size()) {
                    output.clear();
                    outputSent = 0;
                }
            }
        }
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            const int read = readReplies();
            if (read == kClosed) {
                why = "the hub closed the connection";
                return lastWasRefusal ? Outcome::kClosedAfterRefusal : Outcome::kLost;
            }
            if (read == kBroken) {
                why = m_ReadError;
                return lastWasRefusal ? Outcome::kClosedAfterRefusal : Outcome::kLost;
            }
            if (read == kNotDataLink) {
                why = "the hub does not answer in DataLink";
                return Outcome::kLost;
            }
        }
        if (!inFlight.empty() && Clock::now() - lastReply > Millis(m_S.timeoutSeconds)) {
            why = "no acknowledgement within " + SecondsText(m_S.timeoutSeconds);
            return Outcome::kLost;
        }
        Housekeeping();
    }
}

} // namespace nereid::datalink
