#include "instrument/upload/model/upload_sequence.h"

namespace nereid::instrument {

void CFrameSequence::Restart() {
    m_Expected = 1;
    m_WrongCount = 0;
}

CFrameSequence::Verdict CFrameSequence::Check(std::uint16_t sequence) {
    if (sequence == m_Expected) {
        m_WrongCount = 0;
        ++m_Expected;
        return kInSequence;
    }
    if (sequence < m_Expected) {
        ++m_Repeats;
        return kRepeat;
    }
    if (m_WrongCount > 0 && sequence == m_Wrong) {
        ++m_WrongCount;
    } else {
        m_Wrong = sequence;
        m_WrongCount = 1;
    }
    if (m_WrongCount > kMaxNaks) {
        return kGiveUp;
    }
    ++m_Naks;
    return kOutOfSequence;
}

} // namespace nereid::instrument
