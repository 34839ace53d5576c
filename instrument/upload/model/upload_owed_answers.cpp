#include "instrument/upload/model/upload_owed_answers.h"

namespace nereid::instrument {

void COwedAnswers::Expect(int count, std::uint8_t type, std::int64_t nowMs, std::int64_t quietMs) {
    if (count <= 0) {
        return;
    }
    if (m_Owed > 0 && type != m_Type) {
        m_Owed = 0;
    }
    m_Owed += count;
    m_Type = type;
    m_QuietMs = quietMs;
    m_QuietEndMs = nowMs + quietMs;
}

void COwedAnswers::FrameArrived(bool last, std::int64_t nowMs) {
    if (m_Owed <= 0) {
        return;
    }
    ++m_Dropped;
    m_QuietEndMs = nowMs + m_QuietMs;
    if (last) {
        --m_Owed;
    }
}

bool COwedAnswers::Holding(std::int64_t nowMs) const {
    return m_Owed > 0 && nowMs < m_QuietEndMs;
}

void COwedAnswers::Clear() {
    m_Owed = 0;
    m_QuietEndMs = 0;
}

} // namespace nereid::instrument
