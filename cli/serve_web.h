#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/serve_health.h"
#include "cli/serve_options.h"
#include "cli/serve_status.h"
#include "link/serial_link.h"
#include "recording/file_recorder.h"
#include "recording/intake_state.h"
#include "seedlink/http_pages.h"
#include "seedlink/server.h"

namespace nereid::cli {

// The station page of `nereid serve --http`: the page's files, /status.json, and the health
// poller, on the SeedLink port or a listener of their own (which serves the SeedLink
// WebSocket too, so the page's waveforms come from wherever the page came from). Read-only:
// nothing a browser sends reaches the recorder.
class CStationPage {
public:
    using SayFunction = std::function<void(const std::string&)>;

    CStationPage(const ServeOptions& o, SayFunction say);
    ~CStationPage();
    CStationPage(const CStationPage&) = delete;
    CStationPage& operator=(const CStationPage&) = delete;

    // Before the SeedLink server starts: the page answers on its port when it shares it.
    void Attach(seedlink::CSeedLinkServer& seedLink);
    // After it started: a listener of the page's own when it has another address. False
    // (said) when that cannot listen.
    bool Start(const seedlink::CRecordRing& ring, const seedlink::SServiceIdentity& who,
               seedlink::CSeedLinkServer& seedLink);
    void Stop();

    // A connection to the recorder is up; the poller starts reading the Status pages.
    void Connected(link::CSerialLink& link, const std::string& port, int baud, int model,
                   const std::string& network, const std::string& station,
                   std::vector<SServedStream> streams, bool recording, const std::string& folder);
    // From the serve loop; samples once a second.
    void Tick(const link::CSerialLink& link, const recording::CIntakeState& state,
              const recording::CFileRecorder* recorder);
    // Before the link closes: the poller ends first, so that no reading overlaps the orders
    // that end the connection.
    void Disconnected(bool lost);

    CServeStatus& Status() { return m_Status; }

private:
    const ServeOptions& m_O;
    SayFunction m_Say;
    CServeStatus m_Status;
    std::unique_ptr<seedlink::CHttpPages> m_Pages;
    std::unique_ptr<seedlink::CSeedLinkServer> m_Own;
    seedlink::CSeedLinkServer* m_SeedLink = nullptr;
    std::unique_ptr<CHealthPoller> m_Poller;
    std::chrono::steady_clock::time_point m_LastSample{};
};

// The folder of the page's files: $NEREID_WEB_DIR, else "web" beside the program.
std::string StationPageFolder();

// True when `host` is a loopback address (127.0.0.0/8, ::1, localhost).
bool LoopbackHost(const std::string& host);

} // namespace nereid::cli
