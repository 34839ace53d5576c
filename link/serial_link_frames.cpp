// CSerialLink's frame side: the receive ring, the scan for frames, the answer reader with its
// set-aside answers, and the command writer. The port itself is in serial_link.cpp.
#include "link/serial_link.h"

#include <algorithm>
#include <cstring>

#include "link/frame_codec.h"

namespace nereid::link {

std::size_t CSerialLink::HeldLocked() const {
    const std::uint64_t from =
        m_StartIndex >= 0 ? static_cast<std::uint64_t>(m_StartIndex) : m_ScanIndex;
    return static_cast<std::size_t>(m_WriteIndex - from);
}

std::size_t CSerialLink::RingBytesHeld() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return HeldLocked();
}

std::size_t CSerialLink::HeldAnswers() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return m_Held.size();
}

bool CSerialLink::FramePending() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return m_Pending;
}

int CSerialLink::LastFrameLength() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return m_LastFrameLength;
}

termios CSerialLink::PortSettings() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return m_Settings;
}

bool CSerialLink::FrameSentMark() const {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    return m_FrameSent;
}

std::size_t CSerialLink::Receive(int waitMs) {
    // Straight into the ring, as much as it has room for: a line delivers up to 11.5 kB/s at
    // 115200 baud, more than any fixed chunk per 100 ms poll would take.
    std::size_t total = 0;
    for (;;) {
        const std::size_t held = HeldLocked();
        if (held >= kRingSize) {
            break;
        }
        const std::size_t at = static_cast<std::size_t>(m_WriteIndex % kRingSize);
        const std::size_t want = std::min(kRingSize - held, kRingSize - at);
        const std::size_t got = std::min(PortRead(m_Ring.data() + at, want, waitMs), want);
        waitMs = 0;
        if (got == 0) {
            break;
        }
        m_WriteIndex += got;
        total += got;
        if (got < want) {
            break; // the driver has nothing more for now
        }
    }
    m_BytesReceived.fetch_add(total, std::memory_order_relaxed);
    return total;
}

void CSerialLink::Scan() {
    while (m_ScanIndex < m_WriteIndex) {
        const std::uint64_t position = m_ScanIndex++;
        const std::uint8_t byte = RingAt(position);
        if (byte == kFrameStart) {
            m_StartIndex = static_cast<std::int64_t>(position);
        } else if (byte == kFrameEnd && m_StartIndex >= 0) {
            m_EndIndex = position;
            m_Pending = true;
            return;
        }
    }
}

const std::uint8_t* CSerialLink::PendingFrame(std::size_t& length) {
    const std::uint64_t start = static_cast<std::uint64_t>(m_StartIndex);
    length = static_cast<std::size_t>(m_EndIndex - start + 1);
    const std::size_t at = static_cast<std::size_t>(start % kRingSize);
    if (at + length <= kRingSize) {
        return m_Ring.data() + at;
    }
    m_FrameScratch.resize(length);
    const std::size_t first = kRingSize - at;
    std::memcpy(m_FrameScratch.data(), m_Ring.data() + at, first);
    std::memcpy(m_FrameScratch.data() + first, m_Ring.data(), length - first);
    return m_FrameScratch.data();
}

void CSerialLink::Consume() {
    m_StartIndex = -1;
    m_Pending = false;
}

void CSerialLink::NoteConsumed() {
    const std::int64_t now = m_Clock();
    const std::uint16_t interval =
        m_HaveLastConsumed ? static_cast<std::uint16_t>(now - m_LastConsumedMs) : 0;
    m_HaveLastConsumed = true;
    m_LastConsumedMs = now;
    m_IntervalHistory[m_IntervalNext] = interval;
    m_IntervalNext = (m_IntervalNext + 1) % m_IntervalHistory.size();
    m_FrameIntervalMs.store(interval);
    m_LastThreeIntervalsMs.store(static_cast<std::uint16_t>(
        m_IntervalHistory[0] + m_IntervalHistory[1] + m_IntervalHistory[2]));
}

// `frame` runs from the 0xE3 to the 0xE5, both included.
int CSerialLink::DecodeFrame(const std::uint8_t* frame, std::size_t length,
                             std::uint8_t& expectedType, FrameRecord& record) {
    // A link whose decode buffer could not be allocated decodes nothing.
    if (m_DecodeBuffer.empty() || length < 3) {
        return kNothing;
    }
    const std::uint8_t type = frame[1];
    if (type == kAckType) {
        return kAckReceived;
    }
    if (type == kNakType) {
        return kNakReceived;
    }
    if (type == kIgnoredControlType) {
        return kIgnoredControl;
    }
    const bool matches =
        expectedType > kLastSmallType ? type == expectedType : type <= kLastSmallType;
    if (!matches) {
        expectedType = type;
        return kOtherType;
    }
    if (type > kLastSmallType && !IsDecodableAnswerType(type)) {
        return kNothing;
    }

    // Unescape body (payload and CRC) into the decode buffer; a body that reaches the buffer's
    // size is dropped.
    std::uint8_t* body = m_DecodeBuffer.data();
    const std::size_t limit = m_DecodeBuffer.size();
    std::size_t count = 0;
    Unescaper unescaper;
    for (std::size_t p = 2; p + 1 < length; ++p) {
        std::uint8_t out = 0;
        if (unescaper.Push(frame[p], out)) {
            if (count + 1 >= limit) {
                return kNothing;
            }
            body[count++] = out;
        }
    }
    if (count < 2) {
        return kNothing;
    }
    const std::size_t payloadLength = count - 2;
    if (CheckFrameBody(type, body, count) != kFrameGood) {
        return kCrcError;
    }
    // Only a frame that passed its CRC may change the form of the next 0x8C command.
    if (type == kCalibrationSettingsType) {
        SetLongCalibrationAnswer(payloadLength == 34 || payloadLength == 36);
    }

    record.type = type;
    record.payload.assign(body, body + payloadLength);
    record.header = static_cast<std::uint16_t>(
        payloadLength >= 2 ? body[0] | (body[1] << 8) : (payloadLength == 1 ? body[0] : 0));
    record.status = payloadLength >= 3 ? body[2] : 0;
    if (type <= kLastSmallType) {
        expectedType = type;
        record.decoded = std::monostate{};
        if (type > kLastDataType) {
            record.payload.clear();
        }
        return kAccepted;
    }
    if (type >= 0x20 && type <= 0x4F) {
        DecodeAnswer(type, body, payloadLength, record);
        return record.status != 0 ? kAccepted : kRefused;
    }
    if (record.status == 0) {
        record.decoded = std::monostate{};
        return kRefused;
    }
    DecodeAnswer(type, body, payloadLength, record);
    return kAccepted;
}

void CSerialLink::Answered(int result, std::uint8_t frameType) {
    switch (result) {
    case kAccepted:
    case kRefused:
    case kOtherType:
        m_FramesTaken.fetch_add(1);
        NoteConsumed();
        if (frameType != kDirectoryListingType && frameType != kFileDataType) {
            SendAck();
        }
        break;
    case kCrcError:
        m_CrcErrors.fetch_add(1);
        SendNak();
        break;
    case kNakReceived:
        if (m_FrameSent && m_LastFrameLength > 0) {
            PortWrite(m_Transmit.data(), static_cast<std::size_t>(m_LastFrameLength));
        }
        break;
    default:
        break;
    }
}

void CSerialLink::SetAside() {
    std::size_t length = 0;
    const std::uint8_t* frame = PendingFrame(length);
    m_Held.emplace_back(frame, frame + length);
    Consume();
    ++m_AnswersSetAside;
}

int CSerialLink::TakeHeld(std::uint8_t& expectedType, FrameRecord& record) {
    // The oldest answer set aside is the next frame in line for an answer reader; it is
    // consumed whatever the result, as a frame in the ring would be for this reader.
    const std::vector<std::uint8_t> frame = std::move(m_Held.front());
    m_Held.pop_front();
    const int result = DecodeFrame(frame.data(), frame.size(), expectedType, record);
    Answered(result, frame[1]);
    return result;
}

void CSerialLink::DropHeld() {
    while (!m_Held.empty()) {
        const std::uint8_t type = m_Held.front()[1];
        m_Held.pop_front();
        ++m_OrphanDrops;
        Answered(kOtherType, type);
    }
}

int CSerialLink::ReadFrame(std::uint8_t& expectedType, FrameRecord& record) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    if (!PortIsOpen()) {
        return kNothing;
    }
    const std::uint8_t asked = expectedType;
    const bool answerReader = asked > kLastSmallType;
    if (!m_Held.empty()) {
        if (answerReader) {
            return TakeHeld(expectedType, record);
        }
        if (asked <= kLastDataType && !TransactionWaiting()) {
            DropHeld(); // the transaction they were kept for has ended
        }
    }

    int waitMs = m_ReadWaitMs;
    for (int round = 0; round < kMaxRoundsPerPoll; ++round) {
        if (!m_Pending) {
            if (HeldLocked() >= kRingSize) {
                // A partial frame as long as the ring: give it up rather than overwrite
                // anything unread; scanning goes on after it.
                m_StartIndex = -1;
                ++m_RingOverflowDrops;
            }
            Receive(waitMs);
            waitMs = 0;
            Scan();
            if (!m_Pending) {
                if (HeldLocked() >= kRingSize) {
                    continue;
                }
                return kNothing;
            }
        }

        std::size_t length = 0;
        const std::uint8_t* frame = PendingFrame(length);
        const std::uint8_t frameType = length >= 3 ? frame[1] : 0;
        if (answerReader && frameType <= kLastSmallType && length >= 3 && !DataReaderActive()) {
            // Nobody will ever take this data frame; the answer may be right behind it. (A
            // link without a decode buffer drops every frame unanswered.)
            Consume();
            if (!m_DecodeBuffer.empty()) {
                NoteConsumed();
                SendAck();
                ++m_UnclaimedDataFrames;
            }
            continue;
        }

        expectedType = asked;
        const int result = DecodeFrame(frame, length, expectedType, record);
        if (result == kOtherType) {
            const bool forDataReader = frameType <= kLastSmallType;
            const bool forWaitingSheet = asked <= kLastDataType && TransactionWaiting();
            if (forDataReader || forWaitingSheet) {
                // Left for the other reader. Keep the driver drained meanwhile; an answer that
                // the ring fills up behind is set aside so that the data frames can flow.
                Receive(0);
                if (forWaitingSheet && HeldLocked() >= kRingSize) {
                    if (m_Held.size() < kMaxHeldAnswers) {
                        SetAside();
                    } else {
                        Consume();
                        ++m_RingOverflowDrops;
                    }
                    expectedType = asked;
                    continue;
                }
                return result;
            }
            if (asked <= kLastDataType) {
                ++m_OrphanDrops; // nobody waits for it: consumed so data frames can flow
            }
        }
        Consume();
        Answered(result, frameType);
        return result;
    }
    return kNothing;
}

int CSerialLink::SendCommand(std::uint8_t code, const CommandRecord& record) {
    std::lock_guard<std::recursive_mutex> lock(m_PortLock);
    if (!PortIsOpen()) {
        return kNothing;
    }
    const int length = m_Builder.Build(code, record, ModelCode(), LongCalibrationAnswer(),
                                       m_BuildScratch.data(), m_BuildScratch.size());
    if (length < 0) {
        return kBuilderRefused;
    }
    std::memcpy(m_Transmit.data(), m_BuildScratch.data(), static_cast<std::size_t>(length));
    m_LastFrameLength = length;
    m_FrameSent = true;
    return PortWrite(m_Transmit.data(), static_cast<std::size_t>(length)) == length ? kAccepted
                                                                                    : -1;
}

} // namespace nereid::link
