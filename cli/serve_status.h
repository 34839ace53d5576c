#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "seedlink/connection_info.h"

namespace nereid::cli {

// One served stream as the station page draws it.
struct SServedStream {
    std::string network;
    std::string station;
    std::string channel;
    double rate = 0;
};

// Snapshot of the line once a second, from the serve loop.
struct SLinkSample {
    std::uint64_t framesTaken = 0;
    std::uint64_t crcErrors = 0;
    std::uint32_t recorderSecond = 0; // 0: no data yet
    std::uint32_t periodStart = 0;    // first second of the current recording period; 0: none
    std::uint64_t secondsRecorded = 0;
};

// What the station page and /status.json show: the station and its streams, the line, the
// recording, the clients and the last reading of the Status pages. Written by the serve loop
// and the health poller, read by the server threads; every member is taken under one lock.
class CServeStatus {
public:
    using ClientSource = std::function<std::vector<seedlink::SConnectionInfo>()>;

    void SetStation(const std::string& network, const std::string& station,
                    std::vector<SServedStream> streams);
    void SetClientSource(ClientSource clients);
    void SetRecording(bool on, const std::string& form, const std::string& folder, int minutes);
    // The line is up (`port` at `baud`), or lost since `nowNs` (ns since 1970).
    void LinkUp(const std::string& port, int baud, const std::string& model);
    void LinkLost(std::int64_t nowNs);
    // Once a second or so; frames/s are taken over the time since the previous sample.
    void Sample(const SLinkSample& sample, std::int64_t nowNs);
    // The Status pages as `nereid status --json` prints them (a JSON array), read at `nowNs`;
    // or why the last reading failed (the previous pages stay, marked with their time).
    void SetHealth(const std::string& pagesJson, std::int64_t nowNs);
    void HealthFailed(const std::string& why, std::int64_t nowNs);

    // The whole document; free disk space is read now.
    std::string Json() const;

private:
    mutable std::mutex m_Mutex;
    std::string m_Network;
    std::string m_Station;
    std::vector<SServedStream> m_Streams;
    ClientSource m_Clients;
    bool m_Recording = false;
    std::string m_Form;
    std::string m_Folder;
    int m_Minutes = 0;
    bool m_Connected = false;
    std::string m_Port;
    int m_Baud = 0;
    std::string m_Model;
    std::int64_t m_LostNs = 0;
    SLinkSample m_Last;
    std::int64_t m_LastNs = 0;
    double m_FramesPerSecond = 0;
    std::string m_Health = "null";
    std::int64_t m_HealthNs = 0;
    std::string m_HealthProblem;
};

// Seconds since 1970 as "YYYY-MM-DDThh:mm:ssZ"; JSON null for 0.
std::string JsonTime(std::int64_t seconds);

} // namespace nereid::cli
