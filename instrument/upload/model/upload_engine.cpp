#include "instrument/upload/model/upload_engine.h"

#include <algorithm>
#include <chrono>

#include "link/command_records.h"
#include "recording/hlcp_translator.h"

namespace nereid::instrument {

namespace {

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

} // namespace nereid::instrument
