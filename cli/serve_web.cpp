#include "cli/serve_web.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <iostream>

#include "instrument/sheet/model/page_ids.h"
#include "recording/recording_setup.h"

namespace nereid::cli {

namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* FormName(recording::RecordingForm form) {
    switch (form) {
    case recording::RecordingForm::kCss:
        return "css";
    case recording::RecordingForm::kSeisan:
        return "seisan";
    case recording::RecordingForm::kMseed:
        return "mseed";
    case recording::RecordingForm::kDadisp:
        break;
    }
    return "dadisp";
}

// Port 0 asks for any free port: two such requests are two listeners.
bool SharesSeedLinkAddress(const ServeOptions& o) {
    return o.httpHost == o.host && o.httpPort == o.port && o.port != 0;
}

} // namespace

std::string StationPageFolder() {
    if (const char* folder = std::getenv("NEREID_WEB_DIR"); folder != nullptr && *folder != 0) {
        return folder;
    }
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return "web";
    }
    std::string self(path, static_cast<std::size_t>(n));
    return self.substr(0, self.rfind('/') + 1) + "web";
}

bool LoopbackHost(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

CStationPage::CStationPage(const ServeOptions& o, SayFunction say) : m_O(o), m_Say(std::move(say)) {
    m_Pages = std::make_unique<seedlink::CHttpPages>(StationPageFolder(),
                                                     [this] { return m_Status.Json(); });
}

CStationPage::~CStationPage() {
    Stop();
}

void CStationPage::Attach(seedlink::CSeedLinkServer& seedLink) {
    m_SeedLink = &seedLink;
    if (SharesSeedLinkAddress(m_O)) {
        seedLink.SetHttpHandler(m_Pages->Handler());
    }
}

bool CStationPage::Start(const seedlink::CRecordRing& ring, const seedlink::SServiceIdentity& who,
                         seedlink::CSeedLinkServer& seedLink) {
    int port = seedLink.Port();
    if (!SharesSeedLinkAddress(m_O)) {
        m_Own = std::make_unique<seedlink::CSeedLinkServer>(ring, who);
        m_Own->SetLog(m_Say);
        m_Own->SetHttpHandler(m_Pages->Handler());
        if (m_Own->Start(m_O.httpHost, m_O.httpPort) != seedlink::kServerStarted) {
            m_Say("station page: " + m_Own->ErrorText());
            m_Own.reset();
            return false;
        }
        port = m_Own->Port();
    }
    seedlink::CSeedLinkServer* own = m_Own.get();
    m_Status.SetClientSource([&seedLink, own] {
        std::vector<seedlink::SConnectionInfo> list = seedLink.Connections();
        if (own != nullptr) {
            for (seedlink::SConnectionInfo& c : own->Connections()) {
                list.push_back(std::move(c));
            }
        }
        return list;
    });
    std::cout << "serving the station page on http://"
              << (m_O.httpHost.find(':') != std::string::npos ? "[" + m_O.httpHost + "]"
                                                              : m_O.httpHost)
              << ":" << port << "/" << std::endl;
    if (!LoopbackHost(m_O.httpHost)) {
        m_Say("the station page listens beyond this computer on " + m_O.httpHost +
              ": anyone who reaches that address sees the station (read-only)");
    }
    return true;
}

void CStationPage::Stop() {
    if (m_Poller) {
        m_Poller->Stop();
        m_Poller.reset();
    }
    if (m_Own) {
        m_Own->Stop();
    }
}

void CStationPage::Connected(link::CSerialLink& link, const std::string& port, int baud, int model,
                             const std::string& network, const std::string& station,
                             std::vector<SServedStream> streams, bool recording,
                             const std::string& folder) {
    m_Status.SetStation(network, station, std::move(streams));
    m_Status.SetRecording(recording, FormName(m_O.form), folder,
                          recording ? recording::ParseRecordingMinutes(m_O.minutes) : 0);
    m_Status.LinkUp(port, baud, instrument::ModelName(model));
    m_LastSample = {};
    m_Poller = std::make_unique<CHealthPoller>(link, model, m_Status, m_O.healthSeconds);
    if (!m_Poller->Start()) {
        m_Say("station page: cannot start reading the Status pages");
        m_Poller.reset();
    }
}

void CStationPage::Tick(const link::CSerialLink& link, const recording::CIntakeState& state,
                        const recording::CFileRecorder* recorder) {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_LastSample < std::chrono::seconds(1)) {
        return;
    }
    m_LastSample = now;
    SLinkSample sample;
    sample.framesTaken = link.FramesTaken();
    sample.crcErrors = link.CrcErrors();
    sample.recorderSecond = state.m_LastSecond.load();
    if (recorder != nullptr) {
        sample.periodStart = recorder->m_SecondFrom1970.load();
        sample.secondsRecorded = recorder->SecondsRecorded();
    }
    m_Status.Sample(sample, NowNs());
}

void CStationPage::Disconnected(bool lost) {
    if (m_Poller) {
        m_Poller->Stop();
        m_Poller.reset();
    }
    if (lost) {
        m_Status.LinkLost(NowNs());
    }
}

} // namespace nereid::cli
