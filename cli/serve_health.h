#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "cli/serve_status.h"
#include "link/instrument_link.h"

namespace nereid::cli {

// Reads the Status pages now and then while the stream runs, on a thread of its own, and
// hands them to the status document. Each reading is one sheet transaction at a time on the
// shared link: the link's port lock and its answer rules let the receiver thread's data
// frames flow on around it, as they do around the real-time order. A reading that gets no
// answer waits the whole interval before the next, so a silent recorder is not pestered.
class CHealthPoller {
public:
    CHealthPoller(link::CInstrumentLink& link, int modelCode, CServeStatus& status,
                  double intervalSeconds);
    ~CHealthPoller();
    CHealthPoller(const CHealthPoller&) = delete;
    CHealthPoller& operator=(const CHealthPoller&) = delete;

    // The first reading comes at once. False when the thread cannot start.
    bool Start();
    // Waits for a reading under way to end (at most one transaction's 4 s), then joins.
    void Stop();

private:
    void Run();
    bool ReadPages(std::string& json, std::string& why);

    link::CInstrumentLink& m_Link;
    const int m_Model;
    CServeStatus& m_Status;
    const double m_Interval;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Stop = false;
    std::thread m_Thread;
};

} // namespace nereid::cli
