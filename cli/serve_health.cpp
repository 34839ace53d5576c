#include "cli/serve_health.h"

#include <chrono>
#include <system_error>

#include "cli/sheet_session.h"
#include "cli/status_command.h"
#include "cli/transaction_wait.h"
#include "link/transaction.h"

namespace nereid::cli {

namespace {

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

CHealthPoller::CHealthPoller(link::CInstrumentLink& link, int modelCode, CServeStatus& status,
                             double intervalSeconds)
    : m_Link(link), m_Model(modelCode), m_Status(status), m_Interval(intervalSeconds) {}

CHealthPoller::~CHealthPoller() {
    Stop();
}

bool CHealthPoller::Start() {
    m_Stop = false;
    try {
        m_Thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CHealthPoller::Stop() {
    {
        std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_Wake.notify_all();
    if (m_Thread.joinable()) {
        m_Thread.join();
    }
}

bool CHealthPoller::ReadPages(std::string& json, std::string& why) {
    json = "[";
    const std::vector<std::string> pages = DefaultStatusPages(m_Model);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        {
            std::lock_guard lock(m_Mutex);
            if (m_Stop) {
                why = "stopped";
                return false;
            }
        }
        std::unique_ptr<instrument::CPageModel> page = StatusPageModel(pages[i], m_Model);
        link::CTransaction transaction(m_Link);
        instrument::CPageModel* shown = page.get();
        transaction.SetAnswerHook(
            [shown](std::uint8_t, const link::FrameRecord& answer) { shown->ShowAnswer(answer); });
        const int result = RunSheetTransaction(transaction, page->QueryCode(), {});
        if (result != link::kTransactionAccepted) {
            why = std::string(page->Caption()) + ": " + transaction.ResultText();
            return false;
        }
        json += (i == 0 ? "\n    " : ",\n    ") + std::string("{\"page\": ") +
                JsonString(page->Caption()) + ", \"values\": {";
        AppendJsonFields(page->Fields(), json);
        json += "}}";
    }
    json += "\n  ]";
    return true;
}

void CHealthPoller::Run() {
    std::unique_lock lock(m_Mutex);
    while (!m_Stop) {
        lock.unlock();
        std::string json;
        std::string why;
        if (ReadPages(json, why)) {
            m_Status.SetHealth(json, NowNs());
        } else if (why != "stopped") {
            m_Status.HealthFailed(why, NowNs());
        }
        lock.lock();
        m_Wake.wait_for(lock, std::chrono::duration<double>(m_Interval), [this] { return m_Stop; });
    }
}

} // namespace nereid::cli
