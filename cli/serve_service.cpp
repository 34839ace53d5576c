#include "cli/serve_service.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "cli/datalink_options.h"
#include "cli/serve_web.h"
#include "datalink/push_service.h"
#include "recording/channel_table.h"
#include "seedlink/mseed_record_packer.h"
#include "seedlink/record_ring.h"
#include "seedlink/server.h"
#include "seedlink/stream_feed.h"

namespace nereid::cli {

namespace {

// At the end, the longest wait for the hubs to acknowledge what is still queued (seconds).
constexpr double kDataLinkDrainSeconds = 5;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

void SayServe(const std::string& text) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::cerr << "nereid serve: " << text << std::endl;
}

CServeService::CServeService(const GlobalOptions& global, const ServeOptions& o)
    : m_Global(global), m_O(o) {}

CServeService::~CServeService() {
    Shutdown();
}

void CServeService::Shutdown() {
    if (m_Page) {
        m_Page->Stop();
    }
    if (m_Ring) {
        // What the feed made last reaches the disk; the server goes before the ring.
        if (const int error = m_Ring->Flush(); error != 0) {
            SayServe(std::string("the ring file could not be written: ") + std::strerror(error));
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

bool CServeService::StartServing(const recording::CChannelTable& table, const std::string& station,
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
            SayServe("neither XDG_STATE_HOME nor HOME is set: the ring is kept in memory only "
                     "(--ring-file PATH keeps it across restarts)");
        } else {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
            std::string error;
            const int opened = m_Ring->OpenFile(path, error);
            if (opened < 0) {
                SayServe(error);
                exitCode = kExitNoConfiguration;
                return false;
            }
            where = " in " + path;
            if (opened == seedlink::kRingFileOpened) {
                SayServe("the ring holds " + std::to_string(m_Ring->Next() - m_Ring->Oldest()) +
                         " records from before; numbering goes on at " +
                         std::to_string(m_Ring->Next()));
            }
        }
    }
    m_Who.network = m_O.network;
    m_Who.station = station;
    m_Who.description = "Nereid recorder " + station;
    m_Who.startedNs = NowNs();
    // --datalink alone pushes to the hubs without listening for SeedLink clients.
    // The station page answers on the SeedLink server's port or one of its own, so it needs one.
    const bool serveSeedLink = m_O.seedlinkAsked || m_O.datalink.hubs.empty() || m_O.httpPort >= 0;
    if (serveSeedLink) {
        m_Server = std::make_unique<seedlink::CSeedLinkServer>(*m_Ring, m_Who);
        m_Server->SetLog(SayServe);
        m_Server->SetLimits(seedlink::SServerLimits{static_cast<std::size_t>(m_O.maxClients),
                                                    static_cast<std::size_t>(m_O.maxPerAddress),
                                                    m_O.handshakeSeconds});
        if (m_O.httpPort >= 0) {
            m_Page = std::make_unique<CStationPage>(m_O, SayServe);
            m_Page->Attach(*m_Server);
        }
        if (m_Server->Start(m_O.host, m_O.port) != seedlink::kServerStarted) {
            SayServe(m_Server->ErrorText());
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
    m_Push = StartDataLinkPush(m_O.datalink, "nereid", m_O.retrySeconds, m_O.retryMaxSeconds,
                               SayServe, pushError);
    if (!pushError.empty()) {
        SayServe(pushError);
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

} // namespace nereid::cli
