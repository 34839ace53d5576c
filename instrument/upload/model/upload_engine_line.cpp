#include "instrument/upload/model/upload_engine.h"

#include <algorithm>

#include "link/command_records.h"

// The line discipline of the engine: sending and holding requests, taking frames off the link,
// and the time limits.
namespace nereid::instrument {

namespace {

// Frames taken in one Service call at most, so that a flood cannot hold the caller.
constexpr int kMaxFramesPerService = 256;

} // namespace

void CUploadEngine::PrepareRequest(std::uint8_t code, const link::CommandRecord& record) {
    m_Code = code;
    m_Request = record;
    m_Sends = 0;
    m_FirstFrameSeen = false;
    m_RequestResent = false;
    m_Sequence.Restart();
}

int CUploadEngine::SendRequest(bool mayHold) {
    const std::int64_t now = Now();
    m_LastSendMs = now;
    if (mayHold && m_Owed.Holding(now)) {
        m_SendHeld = true;
        return 1;
    }
    m_SendHeld = false;
    ++m_Sends;
    return m_Link.SendCommand(m_Code, m_Request) == link::kAccepted ? 1 : kUploadNotSent;
}

void CUploadEngine::AnswerEnded(bool answered) {
    const int others = answered ? m_Sends - 1 : m_Sends;
    m_Owed.Expect(others, static_cast<std::uint8_t>(m_Code - 0x60), Now(), m_FirstAnswerWaitMs);
    m_Sends = 0;
}

void CUploadEngine::DropOwedFrame() {
    const bool multiFrame =
        m_Record.type == link::kDirectoryListingType || m_Record.type == link::kFileDataType;
    if (multiFrame) {
        m_Link.SendAck(); // so that the recorder gets through the rest of it
    }
    const bool last = !multiFrame || m_Record.status != 2;
    m_LastFrameMs = Now();
    m_Owed.FrameArrived(last, m_LastFrameMs);
}

void CUploadEngine::ReleaseHeldRequest() {
    if (!m_SendHeld || m_Operation == kUploadIdle || m_Owed.Holding(Now())) {
        return;
    }
    const int sent = SendRequest(false);
    m_LastFrameMs = Now();
    if (sent != 1) {
        SendFailed();
    }
}

void CUploadEngine::SendFailed() {
    if (m_Operation == kUploadRetrieve) {
        if (m_File.IsOpen()) {
            CloseFile(kUploadNotSent, "the command could not be sent");
        }
        EndRetrieve(kUploadNotSent);
        return;
    }
    Finish(kUploadNotSent);
}

void CUploadEngine::FrameArrived() {
    m_FirstFrameSeen = true;
    m_LastFrameMs = Now();
    m_LastSendMs = m_LastFrameMs;
}

int CUploadEngine::Service() {
    for (int n = 0; n < kMaxFramesPerService && m_Operation != kUploadIdle; ++n) {
        if (m_SendHeld) {
            // Only the owed answers can be on the line: the next request is not out yet.
            std::uint8_t type = m_Owed.Type();
            const int result = m_Link.ReadFrame(type, m_Record);
            if (result == link::kAccepted || result == link::kRefused) {
                ++m_FramesTaken;
                DropOwedFrame();
                continue;
            }
            if (result == link::kNothing || !Handle(result, type)) {
                break;
            }
            continue;
        }
        std::uint8_t type = 0;
        switch (m_Operation) {
        case kUploadDriveStatus:
            type = link::kDriveStatusType;
            break;
        case kUploadListing:
            type = link::kDirectoryListingType;
            break;
        case kUploadRetrieve:
            type = link::kFileDataType;
            break;
        default:
            type = static_cast<std::uint8_t>(m_Code - 0x60);
            break;
        }
        const int result = m_Link.ReadFrame(type, m_Record);
        if (result == link::kNothing || !Handle(result, type)) {
            break;
        }
    }
    ReleaseHeldRequest();
    CheckTime();
    return m_Operation;
}

bool CUploadEngine::Handle(int readResult, std::uint8_t type) {
    ++m_FramesTaken;
    switch (readResult) {
    case link::kAccepted:
    case link::kRefused:
        switch (m_Operation) {
        case kUploadDriveStatus:
            OnDriveStatus(readResult);
            break;
        case kUploadListing:
            OnListing(readResult);
            break;
        case kUploadRetrieve:
            OnFileData(readResult);
            break;
        case kUploadDelete:
            OnDeleteAnswer(readResult);
            break;
        case kUploadAbort:
            OnAbortAnswer(readResult);
            break;
        default:
            break;
        }
        return true;
    case link::kOtherType:
        if (type <= link::kLastSmallType) {
            // A real-time data frame stays pending for the receiver thread; without one, it
            // is taken off here so that it does not block the answers behind it.
            if (!m_TakeDataFrames) {
                return false;
            }
            std::uint8_t any = link::kReceiverExpectedType;
            link::FrameRecord discard;
            m_Link.ReadFrame(any, discard);
            return true;
        }
        if (type == link::kDirectoryListingType || type == link::kFileDataType) {
            // A late frame of a listing or file that ended (an abort, a request sent
            // again): the link consumed it, and the recorder waits for its answer.
            m_Link.SendAck();
        }
        return true;
    default:
        // CRC errors are answered by the link with a NAK; control frames need nothing.
        return true;
    }
}

void CUploadEngine::CheckTime() {
    if (m_Operation == kUploadIdle) {
        return;
    }
    const std::int64_t now = Now();
    if (now - m_LastFrameMs >= kNoFrameLimitMs) {
        AnswerEnded(false);
        if (m_Operation == kUploadAbort) {
            // Without a transfer there was nothing to stop: the abort did no harm.
            const bool wasActive = m_TransferActive;
            if (wasActive) {
                CloseFile(kUploadNoResponse, "no answer to the abort");
                m_TransferActive = false;
                if (m_Hooks.timeLeft) {
                    m_Hooks.timeLeft("");
                }
            }
            Finish(wasActive ? kUploadNoResponse : kUploadAccepted);
            return;
        }
        if (m_Operation == kUploadRetrieve) {
            if (m_File.IsOpen()) {
                CloseFile(kUploadNoResponse, "no frame for 30 s");
            }
            EndRetrieve(kUploadNoResponse);
            return;
        }
        Finish(kUploadNoResponse);
        return;
    }
    if (m_SendHeld) {
        return;
    }
    if (!m_FirstFrameSeen && now - m_LastSendMs >= m_FirstAnswerWaitMs) {
        // The request itself went unanswered: ask again.
        ++m_Resends;
        m_RequestResent = true;
        SendRequest(false);
    } else if (m_FirstFrameSeen && now - m_LastSendMs >= m_ReplyWaitMs) {
        // A transfer stalled between frames: ask for the last frame again.
        m_Link.SendNak();
        m_LastSendMs = now;
    }
}

std::int64_t CUploadEngine::MillisecondsToDeadline() const {
    if (m_Operation == kUploadIdle) {
        return kNoFrameLimitMs;
    }
    const std::int64_t now = Now();
    std::int64_t next = m_LastFrameMs + kNoFrameLimitMs;
    if (m_SendHeld) {
        next = std::min(next, m_Owed.QuietEndMs());
    } else {
        next =
            std::min(next, m_LastSendMs + (m_FirstFrameSeen ? m_ReplyWaitMs : m_FirstAnswerWaitMs));
    }
    return std::max<std::int64_t>(0, next - now);
}

} // namespace nereid::instrument
