#include "instrument/upload/model/upload_worker.h"

#include <chrono>
#include <termios.h>

#include "link/serial_link.h"

namespace nereid::instrument {

CUploadWorker::CUploadWorker(link::CInstrumentLink& link, std::uint32_t baud,
                             CUploadEngine::Hooks hooks, Post post)
    : m_Engine(link), m_Post(std::move(post)) {
    m_Engine.SetBaud(baud);
    m_Engine.SetHooks(Forwarded(std::move(hooks)));
    m_Thread = std::thread([this] { Run(); });
}

CUploadWorker::~CUploadWorker() {
    {
        std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_Wake.notify_all();
    if (m_Thread.joinable()) {
        m_Thread.join();
    }
}

void CUploadWorker::Submit(Request request) {
    {
        std::lock_guard lock(m_Mutex);
        m_Requests.push_back(std::move(request));
    }
    m_Wake.notify_all();
}

// Each hook copies its arguments into the posted call: the window's thread runs it later.
CUploadEngine::Hooks CUploadWorker::Forwarded(CUploadEngine::Hooks h) {
    CUploadEngine::Hooks f;
    const Post& post = m_Post;
    if (h.driveStatus) {
        f.driveStatus = [&post, hook = h.driveStatus](const link::DriveStatus& s) {
            post([hook, s] { hook(s); });
        };
    }
    if (h.listingStarted) {
        f.listingStarted = [&post, hook = h.listingStarted] { post(hook); };
    }
    if (h.entry) {
        f.entry = [&post, hook = h.entry](const RecorderEntry& e) { post([hook, e] { hook(e); }); };
    }
    if (h.indicator) {
        f.indicator = [&post, hook = h.indicator](const std::string& t) {
            post([hook, t] { hook(t); });
        };
    }
    if (h.timeLeft) {
        f.timeLeft = [&post, hook = h.timeLeft](const std::string& t) {
            post([hook, t] { hook(t); });
        };
    }
    if (h.fileStarted) {
        f.fileStarted = [&post, hook = h.fileStarted](std::size_t i, const UploadItem& item,
                                                      int form) {
            post([hook, i, item, form] { hook(i, item, form); });
        };
    }
    if (h.progress) {
        f.progress = [&post, hook = h.progress](const UploadProgress& p) {
            post([hook, p] { hook(p); });
        };
    }
    if (h.fileDone) {
        f.fileDone = [&post, hook = h.fileDone](const UploadFileOutcome& o) {
            post([hook, o] { hook(o); });
        };
    }
    if (h.deleted) {
        f.deleted = [&post, hook = h.deleted](std::size_t i, const std::string& p, int r) {
            post([hook, i, p, r] { hook(i, p, r); });
        };
    }
    // The state the window reads (Operation, TransferActive) is already the new one when the
    // posted "finished" runs.
    f.finished = [this, hook = h.finished](int operation, int result) {
        m_Operation.store(m_Engine.Operation());
        m_TransferActive.store(m_Engine.TransferActive());
        if (hook) {
            m_Post([hook, operation, result] { hook(operation, result); });
        }
    };
    return f;
}

void CUploadWorker::Run() {
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_Mutex);
            if (m_Engine.Operation() == kUploadIdle) {
                m_Wake.wait(lock, [this] { return m_Stop || !m_Requests.empty(); });
            }
            if (m_Stop) {
                return;
            }
            if (!m_Requests.empty()) {
                request = std::move(m_Requests.front());
                m_Requests.pop_front();
            }
        }
        if (request) {
            request(m_Engine);
            m_Operation.store(m_Engine.Operation());
            m_TransferActive.store(m_Engine.TransferActive());
        }
        const std::uint64_t before = m_Engine.FramesTaken();
        m_Engine.Service();
        m_Operation.store(m_Engine.Operation());
        m_TransferActive.store(m_Engine.TransferActive());
        if (m_Engine.Operation() != kUploadIdle && m_Engine.FramesTaken() == before) {
            std::unique_lock lock(m_Mutex);
            m_Wake.wait_for(lock, std::chrono::milliseconds(1),
                            [this] { return m_Stop || !m_Requests.empty(); });
        }
    }
}

std::uint32_t LinkBaud(link::CInstrumentLink& link) {
    auto* serial = dynamic_cast<link::CSerialLink*>(&link);
    if (serial == nullptr || !serial->IsOpen()) {
        return 0;
    }
    const termios t = serial->PortSettings();
    switch (cfgetospeed(&t)) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

} // namespace nereid::instrument
