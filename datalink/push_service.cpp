#include "datalink/push_service.h"

#include <cstdlib>

#include "datalink/datalink_packet.h"
#include "seedlink/server.h"

namespace nereid::datalink {

bool ParseHubAddress(const std::string& text, std::string& host, int& port, std::string& why) {
    if (text.find_first_of("[:") == std::string::npos) {
        if (text.empty()) {
            why = "the hub's address is empty";
            return false;
        }
        host = text;
        port = kDefaultHubPort;
        return true;
    }
    if (!seedlink::ParseListenAddress(text, host, port, why)) {
        return false;
    }
    if (port == 0) {
        why = "port 0 is no hub's port";
        return false;
    }
    return true;
}

std::string DefaultQueueFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        return std::string(state) + "/nereid";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
        return std::string(home) + "/.local/state/nereid";
    }
    return ".";
}

std::string QueueFileName(const std::string& folder, const std::string& host, int port) {
    std::string name = host;
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!plain) {
            c = '_';
        }
    }
    return folder + "/datalink-" + name + "-" + std::to_string(port) + ".queue";
}

CDataLinkPush::CDataLinkPush(const std::vector<SHubSettings>& hubs) {
    for (const SHubSettings& hub : hubs) {
        m_Clients.push_back(std::make_unique<CDataLinkClient>(hub));
    }
}

CDataLinkPush::~CDataLinkPush() {
    Stop();
}

void CDataLinkPush::SetLog(CDataLinkClient::LogFunction log) {
    for (auto& client : m_Clients) {
        client->SetLog(log);
    }
}

int CDataLinkPush::Start(std::string& error) {
    for (auto& client : m_Clients) {
        std::string why;
        if (const int rc = client->Start(why); rc != kClientStarted) {
            error = "DataLink hub " + client->Address() + ": " + why;
            Stop();
            return rc;
        }
    }
    return kClientStarted;
}

void CDataLinkPush::Stop(double drainSeconds) {
    // Each hub drains on its own thread meanwhile: the pause is shared, not added up.
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(static_cast<long long>(drainSeconds * 1000));
    for (auto& client : m_Clients) {
        const double left =
            std::chrono::duration<double>(until - std::chrono::steady_clock::now()).count();
        client->Stop(left > 0 ? left : 0);
    }
}

seedlink::PackerFactory CDataLinkPush::Tee(seedlink::PackerFactory base) {
    return [this, base = std::move(base)](const seedlink::SFeedStream& stream,
                                          seedlink::RecordSink sink) {
        return base(stream, [this, stream, sink = std::move(sink)](const char* record, int length) {
            const int taken = sink(record, length);
            if (taken == 0) {
                Deliver(stream, record, length);
            }
            return taken;
        });
    };
}

void CDataLinkPush::Deliver(const seedlink::SFeedStream& stream, const char* record, int length) {
    if (m_Clients.empty()) {
        return;
    }
    seedlink::SRecordInfo info;
    SQueuedRecord queued;
    queued.streamId =
        SourceStreamId(stream.network, stream.station, stream.location, stream.channel);
    if (queued.streamId.empty() || !seedlink::DescribeRecord(record, length, info)) {
        m_Unqueued.fetch_add(m_Clients.size());
        return;
    }
    queued.startUs = MicrosecondsOf(info.startNs);
    queued.endUs = MicrosecondsOf(info.endNs);
    queued.data.assign(record, static_cast<std::size_t>(length));
    for (auto& client : m_Clients) {
        if (client->Enqueue(queued) != kQueueOk) {
            m_Unqueued.fetch_add(1);
        }
    }
}

std::string CDataLinkPush::StateText() const {
    std::string text;
    for (const auto& client : m_Clients) {
        if (!text.empty()) {
            text += "; ";
        }
        text += "hub " + client->Address();
        const std::size_t queued = client->Queued();
        if (client->Connected()) {
            text += queued > 0 ? " sending, " + std::to_string(queued) + " queued" : " up";
        } else {
            text += " away, " + std::to_string(queued) + " queued";
        }
    }
    return text;
}

} // namespace nereid::datalink
