#include "recording/background_appender.h"

#include "recording/staged_file.h"

namespace nereid::recording {

CBackgroundAppender::CBackgroundAppender(CStagedFile& file) : m_file(file) {}

CBackgroundAppender::~CBackgroundAppender() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
}

int CBackgroundAppender::Append(const std::uint8_t* data, std::size_t length) {
    if (m_first) {
        m_first = false;
        m_error = m_file.Append(data, length);
        return m_error;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    if (m_error != 0) {
        return m_error;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
    m_data = data;
    m_length = length;
    m_busy = true;
    lock.unlock();
    m_changed.notify_all();
    return 0;
}

int CBackgroundAppender::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    return m_error;
}

void CBackgroundAppender::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || m_busy; });
        if (m_stop) {
            return;
        }
        const std::uint8_t* data = m_data;
        const std::size_t length = m_length;
        lock.unlock();
        const int error = m_file.Append(data, length);
        lock.lock();
        if (m_error == 0) {
            m_error = error;
        }
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace nereid::recording
