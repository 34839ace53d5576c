#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datalink/datalink_client.h"
#include "seedlink/stream_feed.h"

namespace nereid::datalink {

// ringserver's usual DataLink port.
constexpr int kDefaultHubPort = 16000;

// "HOST:PORT", "[V6HOST]:PORT" or "HOST" (port 16000) of a hub -> parts; false with `why`
// filled when malformed. Ports 1 to 65535.
bool ParseHubAddress(const std::string& text, std::string& host, int& port, std::string& why);

// "$XDG_STATE_HOME/nereid", else "$HOME/.local/state/nereid", else "." (not made here).
std::string DefaultQueueFolder();
// "<folder>/datalink-<host>-<port>.queue", the host's odd characters as '_'.
std::string QueueFileName(const std::string& folder, const std::string& host, int port);

// Pushes every record the station's feed makes to one or more hubs, each through a
// CDataLinkClient with its own queue file. Tee() wraps the feed's packer factory: a record
// goes to the hubs after the feed took it, so the hubs get exactly the records SeedLink serves.
// Must outlive every packer made through Tee().
class CDataLinkPush {
public:
    explicit CDataLinkPush(const std::vector<SHubSettings>& hubs);
    ~CDataLinkPush();
    CDataLinkPush(const CDataLinkPush&) = delete;
    CDataLinkPush& operator=(const CDataLinkPush&) = delete;

    // Messages for the operator, from the clients' threads; set before Start.
    void SetLog(CDataLinkClient::LogFunction log);
    // Starts every client. Returns 1, or a ClientResult with `error` naming the hub; the
    // clients started before it are stopped again.
    int Start(std::string& error);
    // Stops every client; see CDataLinkClient::Stop.
    void Stop(double drainSeconds = 0);

    seedlink::PackerFactory Tee(seedlink::PackerFactory base);
    // Queues one record of `stream` for every hub (the feed's thread).
    void Deliver(const seedlink::SFeedStream& stream, const char* record, int length);

    std::size_t HubCount() const { return m_Clients.size(); }
    const CDataLinkClient& Hub(std::size_t index) const { return *m_Clients.at(index); }
    // Records that could not be queued for some hub (no stream ID, a queue file not written).
    std::uint64_t Unqueued() const { return m_Unqueued.load(); }
    // One line for a status display: "hub HOST:PORT sending", "... away, 12 queued".
    std::string StateText() const;

private:
    std::vector<std::unique_ptr<CDataLinkClient>> m_Clients;
    std::atomic<std::uint64_t> m_Unqueued{0};
};

} // namespace nereid::datalink
