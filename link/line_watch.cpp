#include "link/line_watch.h"

namespace nereid::link {

void CLineWatch::Start(std::uint64_t bytesReceived, std::int64_t nowMs) {
    m_Watching = true;
    m_Lost = false;
    m_Bytes = bytesReceived;
    m_LastByteMs = nowMs;
    m_AskedMs = -1;
}

int CLineWatch::Tick(std::uint64_t bytesReceived, std::int64_t nowMs, bool requestWaiting) {
    if (!m_Watching) {
        return kNone;
    }
    if (bytesReceived != m_Bytes) {
        m_Bytes = bytesReceived;
        m_LastByteMs = nowMs;
        m_AskedMs = -1;
        if (m_Lost) {
            m_Lost = false;
            return kAnswering;
        }
        return kNone;
    }
    if (m_Lost) {
        return kNone;
    }
    if (m_AskedMs >= 0) {
        if (nowMs - m_AskedMs < kProbeAnswerMs) {
            return kNone;
        }
    } else if (requestWaiting) {
        // No probe beside a waiting command; its answer may take a drive's spin-up.
        if (nowMs - m_LastByteMs < kRequestSilenceMs) {
            return kNone;
        }
    } else {
        if (nowMs - m_LastByteMs >= kQuietMs) {
            m_AskedMs = nowMs;
            return kSendProbe;
        }
        return kNone;
    }
    m_Lost = true;
    return kLost;
}

} // namespace nereid::link
