#include "cli/serve_status.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <ctime>

#include "cli/sheet_session.h"

namespace nereid::cli {

namespace {

constexpr std::int64_t kNsPerSecond = 1000000000;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string Bool(bool value) {
    return value ? "true" : "false";
}

std::string ClientJson(const seedlink::SConnectionInfo& c) {
    return "{\"host\": " + JsonString(c.host) + ", \"port\": " + std::to_string(c.port) +
           ", \"since\": " + JsonTime(c.connectedNs / kNsPerSecond) + ", \"protocol\": " +
           JsonString(c.webSocket ? "SeedLink " + std::to_string(c.protocol) + " over WebSocket"
                                  : "SeedLink " + std::to_string(c.protocol)) +
           ", \"userAgent\": " + JsonString(c.userAgent) + ", \"streaming\": " + Bool(c.streaming) +
           ", \"packets\": " + std::to_string(c.packets) +
           ", \"bytes\": " + std::to_string(c.bytes) + "}";
}

} // namespace

std::string JsonTime(std::int64_t seconds) {
    if (seconds <= 0) {
        return "null";
    }
    const auto t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "\"%Y-%m-%dT%H:%M:%SZ\"", &utc);
    return text;
}

void CServeStatus::SetStation(const std::string& network, const std::string& station,
                              std::vector<SServedStream> streams) {
    std::lock_guard lock(m_Mutex);
    m_Network = network;
    m_Station = station;
    m_Streams = std::move(streams);
}

void CServeStatus::SetClientSource(ClientSource clients) {
    std::lock_guard lock(m_Mutex);
    m_Clients = std::move(clients);
}

void CServeStatus::SetRecording(bool on, const std::string& form, const std::string& folder,
                                int minutes) {
    std::lock_guard lock(m_Mutex);
    m_Recording = on;
    m_Form = form;
    m_Folder = folder;
    m_Minutes = minutes;
}

void CServeStatus::LinkUp(const std::string& port, int baud, const std::string& model) {
    std::lock_guard lock(m_Mutex);
    m_Connected = true;
    m_Port = port;
    m_Baud = baud;
    m_Model = model;
    m_LostNs = 0;
    m_LastNs = 0;
    m_FramesPerSecond = 0;
}

void CServeStatus::LinkLost(std::int64_t nowNs) {
    std::lock_guard lock(m_Mutex);
    if (m_Connected || m_LostNs == 0) {
        m_LostNs = nowNs;
    }
    m_Connected = false;
    m_FramesPerSecond = 0;
}

void CServeStatus::Sample(const SLinkSample& sample, std::int64_t nowNs) {
    std::lock_guard lock(m_Mutex);
    // A new link starts its counters afresh: no rate across that step.
    if (m_LastNs != 0 && nowNs > m_LastNs && sample.framesTaken >= m_Last.framesTaken) {
        m_FramesPerSecond = static_cast<double>(sample.framesTaken - m_Last.framesTaken) *
                            kNsPerSecond / static_cast<double>(nowNs - m_LastNs);
    }
    m_Last = sample;
    m_LastNs = nowNs;
}

void CServeStatus::SetHealth(const std::string& pagesJson, std::int64_t nowNs) {
    std::lock_guard lock(m_Mutex);
    m_Health = pagesJson;
    m_HealthNs = nowNs;
    m_HealthProblem.clear();
}

void CServeStatus::HealthFailed(const std::string& why, std::int64_t nowNs) {
    std::lock_guard lock(m_Mutex);
    m_HealthProblem = why + " (" + JsonTime(nowNs / kNsPerSecond) + ")";
}

std::string CServeStatus::Json() const {
    std::vector<seedlink::SConnectionInfo> clients;
    ClientSource source;
    {
        std::lock_guard lock(m_Mutex);
        source = m_Clients;
    }
    if (source) {
        clients = source();
    }
    std::lock_guard lock(m_Mutex);
    std::string j = "{\n  \"station\": {\"network\": " + JsonString(m_Network) +
                    ", \"station\": " + JsonString(m_Station) +
                    ", \"model\": " + JsonString(m_Model) + "},\n  \"streams\": [";
    for (std::size_t i = 0; i < m_Streams.size(); ++i) {
        const SServedStream& s = m_Streams[i];
        j += (i == 0 ? "" : ", ") + std::string("{\"network\": ") + JsonString(s.network) +
             ", \"station\": " + JsonString(s.station) + ", \"channel\": " + JsonString(s.channel) +
             ", \"rate\": " + Number(s.rate) + "}";
    }
    j += "],\n  \"recorderTime\": " + JsonTime(m_Last.recorderSecond);
    j += ",\n  \"link\": {\"connected\": " + Bool(m_Connected) +
         ", \"port\": " + JsonString(m_Port) + ", \"baud\": " + std::to_string(m_Baud) +
         ", \"lostSince\": " + JsonTime(m_LostNs / kNsPerSecond) +
         ", \"framesPerSecond\": " + Number(m_FramesPerSecond) +
         ", \"frames\": " + std::to_string(m_Last.framesTaken) +
         ", \"crcErrors\": " + std::to_string(m_Last.crcErrors) + "}";
    j += ",\n  \"recording\": {\"on\": " + Bool(m_Recording);
    if (m_Recording) {
        j += ", \"form\": " + JsonString(m_Form) + ", \"folder\": " + JsonString(m_Folder) +
             ", \"periodMinutes\": " + std::to_string(m_Minutes) +
             ", \"periodStart\": " + JsonTime(m_Last.periodStart) +
             ", \"secondsRecorded\": " + std::to_string(m_Last.secondsRecorded);
        struct statvfs disk {};
        if (statvfs(m_Folder.c_str(), &disk) == 0) {
            j += ", \"freeBytes\": " +
                 std::to_string(static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize);
        } else {
            j += ", \"freeBytes\": null";
        }
    }
    j += "},\n  \"clients\": [";
    for (std::size_t i = 0; i < clients.size(); ++i) {
        j += (i == 0 ? "\n    " : ",\n    ") + ClientJson(clients[i]);
    }
    j += "],\n  \"healthTime\": " + JsonTime(m_HealthNs / kNsPerSecond) +
         ",\n  \"healthProblem\": " +
         (m_HealthProblem.empty() ? std::string("null") : JsonString(m_HealthProblem)) +
         ",\n  \"health\": " + m_Health + "\n}\n";
    return j;
}

} // namespace nereid::cli
