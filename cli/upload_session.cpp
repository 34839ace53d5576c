#include "cli/upload_session.h"

#include <chrono>
#include <csignal>
#include <iostream>
#include <thread>

#include "cli/connect.h"

namespace nereid::cli {

namespace {

// Longest sleep in the port per turn: short enough for the time limits and a Ctrl-C.
constexpr int kPortWaitMs = 20;

std::atomic<bool> g_Interrupted{false};

extern "C" void OnInterrupt(int) {
    g_Interrupted.store(true);
}

} // namespace

UploadSession::UploadSession() : m_Ports(m_Link), m_Search(m_Link, m_Ports), m_Engine(m_Link) {
    m_Engine.SetTakeDataFrames(true);
}

int UploadSession::Connect(const GlobalOptions& options) {
    if (const int connected = ConnectToRecorder(options, m_Link, m_Search, std::cerr, std::cerr);
        connected != kExitOk) {
        return connected;
    }
    m_Engine.SetBaud(m_Search.Baud());
    // Each poll sleeps in the port until a byte arrives: no idle tick between blocks.
    m_Link.SetReadWaitMs(kPortWaitMs);
    return kExitOk;
}

void UploadSession::RunUntilIdle(const std::atomic<bool>* interrupt,
                                 const std::function<void()>& tick) {
    bool abortSent = false;
    auto lastTick = std::chrono::steady_clock::now();
    for (;;) {
        const std::uint64_t before = m_Engine.FramesTaken();
        if (m_Engine.Service() == instrument::kUploadIdle) {
            break;
        }
        if (m_Engine.FramesTaken() == before) {
            // The read wait of the link does not sleep on every kind of port (a tty set to
            // return at once answers a read with 0 bytes, not "try again"); a millisecond here
            // keeps the loop from spinning and costs under 2 % of a 600-byte block at
            // 115200 baud.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (interrupt && interrupt->load() && !abortSent &&
            m_Engine.Operation() != instrument::kUploadAbort) {
            abortSent = true;
            m_Engine.Abort();
        }
        const auto now = std::chrono::steady_clock::now();
        if (tick && now - lastTick >= std::chrono::milliseconds(200)) {
            lastTick = now;
            tick();
        }
    }
}

int UploadSession::List(const std::string& pattern,
                        std::vector<instrument::RecorderEntry>& entries) {
    entries.clear();
    int outcome = instrument::kUploadNoResponse;
    instrument::CUploadEngine::Hooks hooks;
    hooks.listingStarted = [&] { entries.clear(); };
    hooks.entry = [&](const instrument::RecorderEntry& e) { entries.push_back(e); };
    hooks.finished = [&](int, int result) { outcome = result; };
    m_Engine.SetHooks(hooks);
    if (m_Engine.StartListing(pattern) != 1) {
        std::cerr << "nereid: the listing command could not be sent\n";
        return kExitNoAnswer;
    }
    RunUntilIdle();
    m_Engine.SetHooks({});
    if (outcome == instrument::kUploadAccepted) {
        return kExitOk;
    }
    if (outcome == instrument::kUploadNoResponse) {
        std::cerr << "nereid: " << pattern << ": No Response\n";
        return kExitNoAnswer;
    }
    std::cerr << "nereid: " << pattern << ": Rejected (no such drive, folder or file)\n";
    return kExitRefused;
}

std::string ListingPattern(const std::string& path) {
    std::string p = path;
    while (p.size() > 2 && p.back() == '\\') {
        p.pop_back();
    }
    if (p.size() == 2 && p[1] == ':') {
        return p + "\\*.*";
    }
    std::string directory;
    std::string name;
    instrument::SplitRecorderPath(p, directory, name);
    if (instrument::HasWildcard(name) || name.find('.') != std::string::npos) {
        return p;
    }
    return p + "\\*.*";
}

InterruptGuard::InterruptGuard() {
    g_Interrupted.store(false);
    std::signal(SIGINT, OnInterrupt);
}

InterruptGuard::~InterruptGuard() {
    std::signal(SIGINT, SIG_DFL);
}

const std::atomic<bool>& InterruptGuard::Flag() const {
    return g_Interrupted;
}

} // namespace nereid::cli
