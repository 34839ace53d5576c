#include "instrument/upload/model/upload_engine.h"

#include <algorithm>
#include <chrono>
#include <variant>

#include "link/command_records.h"
#include "recording/hlcp_translator.h"

namespace nereid::instrument {

namespace {

constexpr std::uint8_t kDriveStatusCode = 0xB7;
constexpr std::uint8_t kListCode = 0xB8;
constexpr std::uint8_t kReadCode = 0xB9;
constexpr std::uint8_t kDeleteCode = 0x92;
constexpr std::uint8_t kAbortCode = 0x91;

// Frames taken in one Service call at most, so that a flood cannot hold the caller.
constexpr int kMaxFramesPerService = 256;

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* ResultText(int result) {
    switch (result) {
    case kUploadAccepted:
    case kUploadAborted:
        return "Accepted";
    case kUploadNoResponse:
        return "No Response";
    case kUploadMappedFileFailed:
        return recording::HlcpTranslator::kMappedFileText;
    case kUploadWriteFailed:
        return "Can't save file"; // the PC's failure, not the recorder's refusal
    default:
        return "Rejected";
    }
}

std::uint64_t BlocksOf(std::uint32_t size) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(SizeInK(size)) * 1000;
    return (bytes + CUploadEngine::kBlockSize - 1) / CUploadEngine::kBlockSize;
}

} // namespace

CUploadEngine::CUploadEngine(link::CInstrumentLink& link) : m_Link(link), m_Clock(SteadyMs) {
    SetBaud(9600);
}

CUploadEngine::~CUploadEngine() {
    if (m_Operation != kUploadIdle) {
        m_Link.SetTransactionWaiting(false);
    }
}

void CUploadEngine::SetClock(MillisecondClock clock) {
    m_Clock = clock ? std::move(clock) : MillisecondClock(SteadyMs);
}

void CUploadEngine::SetBaud(std::uint32_t baud) {
    m_Baud = baud == 0 ? 9600 : baud;
    // Three times the line time of a full data frame (about 640 bytes of 10 bits), plus a
    // second for the recorder to find the file: no answer by then means none is coming.
    const std::int64_t frameTimes = static_cast<std::int64_t>(3 * 640 * 10 * 1000 / m_Baud);
    m_ReplyWaitMs = 1000 + frameTimes;
    m_FirstAnswerWaitMs = kSlowRecorderMs + frameTimes;
}

std::int64_t CUploadEngine::Now() const {
    return m_Clock();
}

void CUploadEngine::Indicate(const std::string& text) {
    if (m_Hooks.indicator) {
        m_Hooks.indicator(text);
    }
}

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

int CUploadEngine::Begin(int operation, std::uint8_t code, const link::CommandRecord& record) {
    if (m_Operation != kUploadIdle) {
        return kUploadBusy;
    }
    m_Operation = operation;
    PrepareRequest(code, record);
    m_Link.SetTransactionWaiting(true);
    Indicate("");
    const int sent = SendRequest();
    m_LastFrameMs = Now();
    if (sent != 1) {
        m_Operation = kUploadIdle;
        m_Link.SetTransactionWaiting(false);
    }
    return sent;
}

void CUploadEngine::Finish(int result) {
    const int operation = m_Operation;
    m_Operation = kUploadIdle;
    m_Link.SetTransactionWaiting(false);
    Indicate(ResultText(result));
    if (m_Hooks.finished) {
        m_Hooks.finished(operation, result);
    }
}

int CUploadEngine::StartDriveStatus() {
    return Begin(kUploadDriveStatus, kDriveStatusCode, link::CommandRecord{});
}

int CUploadEngine::StartListing(const std::string& pattern) {
    link::CommandRecord record;
    record.params = link::TextCommand{pattern};
    return Begin(kUploadListing, kListCode, record);
}

int CUploadEngine::StartDelete(std::vector<std::string> paths) {
    if (m_Operation != kUploadIdle) {
        return kUploadBusy;
    }
    if (paths.empty()) {
        return 0;
    }
    m_Paths = std::move(paths);
    m_Current = 0;
    m_AnyRejected = false;
    link::CommandRecord record;
    record.params = link::TextCommand{m_Paths[0]};
    return Begin(kUploadDelete, kDeleteCode, record);
}

int CUploadEngine::StartRetrieve(std::vector<UploadItem> items, int form,
                                 const std::string& folder) {
    if (m_Operation != kUploadIdle) {
        return kUploadBusy;
    }
    if (items.empty()) {
        return 0;
    }
    m_Items = std::move(items);
    m_Form = std::clamp(form, 0, kPcFormCount - 1);
    m_Folder = folder;
    m_Current = 0;
    m_RunBytes = 0;
    m_RunSize = 0;
    std::uint64_t blocks = 0;
    for (const UploadItem& item : m_Items) {
        m_RunSize += item.size;
        blocks += BlocksOf(item.size);
    }
    m_Estimate.Start(blocks, m_Baud);
    m_RunResult = kUploadAccepted;
    m_Operation = kUploadRetrieve;
    m_TransferActive = true;
    m_RunStartMs = Now();
    m_Link.SetTransactionWaiting(true);
    Indicate("");
    return OpenNextFile();
}

int CUploadEngine::OpenNextFile() {
    const UploadItem& item = m_Items[m_Current];
    if (!m_File.Open(item, m_Form, m_Folder)) {
        EndRetrieve(kUploadMappedFileFailed);
        return kUploadMappedFileFailed;
    }
    if (m_Hooks.fileStarted) {
        m_Hooks.fileStarted(m_Current, item, m_File.Form());
    }
    link::CommandRecord read;
    read.params = link::FileReadCommand{kBlockSize, JoinRecorderPath(item.directory, item.name)};
    PrepareRequest(kReadCode, read);
    const int sent = SendRequest();
    m_LastFrameMs = Now();
    if (sent != 1) {
        CloseFile(kUploadNotSent, "the command could not be sent");
        EndRetrieve(kUploadNotSent);
        return kUploadNotSent;
    }
    return 1;
}

int CUploadEngine::Abort() {
    if (m_Operation == kUploadAbort) {
        return kUploadBusy;
    }
    m_AbortedOperation = m_Operation;
    m_HeldBeforeAbort = m_SendHeld;
    m_SendsBeforeAbort = m_Sends;
    m_Operation = kUploadAbort;
    // Not PrepareRequest: a refused abort lets the retrieve go on where it was.
    m_Code = kAbortCode;
    m_Request = link::CommandRecord{};
    m_FirstFrameSeen = false;
    m_Sends = 0;
    m_Link.SetTransactionWaiting(true);
    const int sent = SendRequest(false); // an abort never waits
    m_LastFrameMs = Now();
    return sent;
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
