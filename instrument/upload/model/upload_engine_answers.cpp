#include "instrument/upload/model/upload_engine.h"

#include <variant>

#include "link/command_records.h"

// The engine's answers: what each operation does with the frames that answer it.
namespace nereid::instrument {

void CUploadEngine::OnDriveStatus(int readResult) {
    AnswerEnded(true);
    if (readResult != link::kAccepted) {
        Finish(kUploadRejected);
        return;
    }
    if (const auto* status = std::get_if<link::DriveStatus>(&m_Record.decoded)) {
        if (m_Hooks.driveStatus) {
            m_Hooks.driveStatus(*status);
        }
    }
    Finish(kUploadAccepted);
}

void CUploadEngine::OnListing(int readResult) {
    const auto* listing = std::get_if<link::DirectoryListing>(&m_Record.decoded);
    if (readResult != link::kAccepted || listing == nullptr) {
        AnswerEnded(true);
        Finish(kUploadRejected);
        return;
    }
    switch (m_Sequence.Check(listing->sequence)) {
    case CFrameSequence::kRepeat:
        m_Link.SendAck();
        FrameArrived();
        return;
    case CFrameSequence::kOutOfSequence:
        m_Link.SendNak();
        return;
    case CFrameSequence::kGiveUp:
        m_Link.SendCommand(kAbortCode, link::CommandRecord{});
        AnswerEnded(true);
        Finish(kUploadOutOfSequence);
        return;
    case CFrameSequence::kInSequence:
        break;
    }
    m_Link.SendAck();
    const bool first = !m_FirstFrameSeen;
    FrameArrived();
    if (first && m_Hooks.listingStarted) {
        m_Hooks.listingStarted();
    }
    for (const link::DirectoryEntry& entry : listing->entries) {
        if (entry.valid != 1) {
            break;
        }
        if (m_Hooks.entry) {
            m_Hooks.entry(DecodeRecorderEntry(entry));
        }
    }
    if (m_Record.status == 2) {
        m_Link.MarkSent();
        return;
    }
    AnswerEnded(true);
    Finish(kUploadAccepted);
}

void CUploadEngine::OnFileData(int readResult) {
    const auto* block = std::get_if<link::FileData>(&m_Record.decoded);
    if (readResult != link::kAccepted || block == nullptr) {
        // A refused read moves on to the next file; this one leaves the list.
        AnswerEnded(true);
        CloseFile(kUploadRejected, "the recorder refused to read it");
        return;
    }
    switch (m_Sequence.Check(block->sequence)) {
    case CFrameSequence::kRepeat:
        m_Link.SendAck();
        FrameArrived();
        return;
    case CFrameSequence::kOutOfSequence:
        m_Link.SendNak();
        return;
    case CFrameSequence::kGiveUp:
        m_Link.SendCommand(kAbortCode, link::CommandRecord{});
        AnswerEnded(true);
        CloseFile(kUploadOutOfSequence, "the recorder kept sending a block out of sequence");
        return;
    case CFrameSequence::kInSequence:
        break;
    }
    // Acknowledged before the block is converted, so that the next one is on the line
    // while this one is decoded.
    m_Link.SendAck();
    FrameArrived();
    const bool more = m_Record.status == 2;
    if (more) {
        m_Link.MarkSent();
    }
    if (m_Estimate.Block(m_LastFrameMs) && m_Hooks.timeLeft) {
        m_Hooks.timeLeft(m_Estimate.Text());
    }
    m_File.Feed(block->data.data(), block->dataLength);
    m_RunBytes += block->dataLength;
    if (m_Hooks.progress) {
        UploadProgress p;
        p.index = m_Current;
        p.fileBytes = m_File.Bytes();
        p.fileSize = m_Items[m_Current].size;
        p.runBytes = m_RunBytes;
        p.runSize = m_RunSize;
        p.elapsedMs = m_LastFrameMs - m_RunStartMs;
        m_Hooks.progress(p);
    }
    if (more) {
        if (m_File.Bytes() == block->dataLength) {
            Indicate("Retrieving");
        }
        return;
    }
    AnswerEnded(true);
    CloseFile(kUploadAccepted, "");
}

void CUploadEngine::CloseFile(int result, const std::string& message) {
    UploadFileOutcome outcome;
    outcome.index = m_Current;
    outcome.name = m_Items[m_Current].name;
    m_File.Close(result, message, outcome);
    if (outcome.result != kUploadAccepted) {
        m_RunResult = outcome.result;
    }
    if (m_Hooks.fileDone) {
        m_Hooks.fileDone(outcome);
    }
    if (result == kUploadAborted || result == kUploadNoResponse || result == kUploadNotSent) {
        return;
    }
    if (++m_Current < m_Items.size()) {
        Indicate("Get Next");
        OpenNextFile();
        return;
    }
    EndRetrieve(m_RunResult);
}

void CUploadEngine::EndRetrieve(int result) {
    m_TransferActive = false;
    if (m_Hooks.timeLeft) {
        m_Hooks.timeLeft("");
    }
    Finish(result);
}

void CUploadEngine::OnDeleteAnswer(int readResult) {
    int result = readResult == link::kAccepted ? kUploadAccepted : kUploadRejected;
    if (m_Code == kListCode) {
        // The look after a doubtful refusal: a listing of the file's own name that holds the
        // file means it is still there.
        const auto* listing = std::get_if<link::DirectoryListing>(&m_Record.decoded);
        const bool present =
            readResult == link::kAccepted && listing != nullptr && listing->entries[0].valid == 1;
        if (readResult == link::kAccepted) {
            m_Link.SendAck();
            if (m_Record.status == 2) {
                return; // the rest of a listing that should hold one name
            }
        }
        AnswerEnded(true);
        result = present ? kUploadRejected : kUploadAccepted;
    } else {
        const bool doubtful = result == kUploadRejected && m_RequestResent;
        AnswerEnded(true);
        if (doubtful) {
            // The first request went unanswered, yet it may have deleted the file: the
            // refusal of the second then only says the file is gone. Look before saying
            // "Rejected" (once the first request's own answer, if any, is out of the way).
            link::CommandRecord look;
            look.params = link::TextCommand{m_Paths[m_Current]};
            PrepareRequest(kListCode, look);
            if (SendRequest() != 1) {
                SendFailed();
                return;
            }
            m_LastFrameMs = Now();
            return;
        }
    }
    if (result != kUploadAccepted) {
        m_AnyRejected = true;
    }
    if (m_Hooks.deleted) {
        m_Hooks.deleted(m_Current, m_Paths[m_Current], result);
    }
    if (++m_Current < m_Paths.size()) {
        Indicate("Delete Next");
        link::CommandRecord next;
        next.params = link::TextCommand{m_Paths[m_Current]};
        PrepareRequest(kDeleteCode, next);
        if (SendRequest() != 1) {
            SendFailed();
            return;
        }
        m_LastFrameMs = Now();
        return;
    }
    Finish(m_AnyRejected ? kUploadRejected : kUploadAccepted);
}

void CUploadEngine::OnAbortAnswer(int readResult) {
    AnswerEnded(true);
    if (readResult != link::kAccepted) {
        if (m_AbortedOperation == kUploadRetrieve && m_TransferActive) {
            // The recorder goes on sending: so does the retrieve.
            m_Operation = kUploadRetrieve;
            m_Code = kReadCode;
            m_SendHeld = m_HeldBeforeAbort;
            m_Sends = m_SendsBeforeAbort;
            FrameArrived();
            Indicate("Rejected");
            if (m_Hooks.finished) {
                m_Hooks.finished(kUploadAbort, kUploadRejected);
            }
            return;
        }
        Finish(kUploadRejected);
        return;
    }
    if (m_TransferActive) {
        CloseFile(kUploadAborted, "aborted");
        m_TransferActive = false;
        if (m_Hooks.timeLeft) {
            m_Hooks.timeLeft("");
        }
    }
    Finish(kUploadAccepted);
}

} // namespace nereid::instrument
