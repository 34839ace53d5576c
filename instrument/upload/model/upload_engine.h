#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "instrument/upload/model/upload_entry.h"
#include "instrument/upload/model/upload_estimate.h"
#include "instrument/upload/model/upload_file_writer.h"
#include "instrument/upload/model/upload_owed_answers.h"
#include "instrument/upload/model/upload_sequence.h"
#include "instrument/upload/model/upload_types.h"
#include "link/answer_records.h"
#include "link/instrument_link.h"

namespace nereid::instrument {

// Transfers with the recorder's file server: drive status, directory listings, file reads
// (fed to the translator block by block as they arrive), deletes and the abort. No toolkit:
// the caller calls Service whenever the port may have something (or on a short timer) and
// gets the results through the hooks, on the calling thread.
//
// Line discipline: each listing or data frame in sequence is acknowledged as soon as it is
// decoded, so the recorder sends the next one while this one is being converted. A repeat of
// the previous frame (its acknowledgement was lost) is acknowledged again and dropped; a frame
// further out of sequence gets a NAK, and the operation fails if the recorder keeps sending
// it. A request the recorder did not answer at all is sent again after the first-answer wait
// (long enough for a drive that spins up); the operation gives up when no frame at all came
// for the no-frame limit. Frames name no file, so when a request went out more than once the
// next request waits until the answers to the other copies have come and been dropped, or
// the line stayed quiet for the first-answer wait (COwedAnswers).
class CUploadEngine {
public:
    using MillisecondClock = std::function<std::int64_t()>;

    static constexpr std::uint16_t kBlockSize = 600;
    static constexpr std::int64_t kNoFrameLimitMs = 30000;
    // A recorder may take this long to answer a request at all (a drive spinning up takes up
    // to about 5 s), besides the line time of its first frame.
    static constexpr std::int64_t kSlowRecorderMs = 6000;

    struct Hooks {
        std::function<void(const link::DriveStatus&)> driveStatus;
        // The first frame of a listing arrived: the old file list goes.
        std::function<void()> listingStarted;
        std::function<void(const RecorderEntry&)> entry;
        // The result-indicator text: "", "Retrieving", "Get Next", "Delete Next", "Accepted",
        // "Rejected", "No Response", "Fails due to the mapped file".
        std::function<void(const std::string&)> indicator;
        std::function<void(const std::string&)> timeLeft;
        std::function<void(std::size_t index, const UploadItem&, int form)> fileStarted;
        std::function<void(const UploadProgress&)> progress;
        std::function<void(const UploadFileOutcome&)> fileDone;
        std::function<void(std::size_t index, const std::string& path, int result)> deleted;
        // Once per operation: the operation (UploadOperation) and its UploadResult.
        std::function<void(int operation, int result)> finished;
    };

    explicit CUploadEngine(link::CInstrumentLink& link);
    ~CUploadEngine();
    CUploadEngine(const CUploadEngine&) = delete;
    CUploadEngine& operator=(const CUploadEngine&) = delete;

    void SetHooks(Hooks hooks) { m_Hooks = std::move(hooks); }
    void SetClock(MillisecondClock clock);
    // The link's baud rate: it sets the estimate's measuring window and the reply wait.
    void SetBaud(std::uint32_t baud);
    // With no receiver thread (the command-line tool) the engine takes real-time data frames
    // off the link itself; otherwise it leaves them to the receiver thread.
    void SetTakeDataFrames(bool take) { m_TakeDataFrames = take; }
    // Network code and component letters of files fetched in the miniSEED form.
    void SetMseedOptions(recording::SMseedOptions options) {
        m_File.SetMseedOptions(std::move(options));
    }

    // Each returns 1 when the command was sent, kUploadBusy while another operation runs,
    // kUploadNotSent when the link could not send it.
    int StartDriveStatus();
    int StartListing(const std::string& pattern);
    // Fetches the items one after the other in `form` (0..4) into `folder`. A file whose name
    // holds "S" or "T" is saved as it is whatever the form. Returns kUploadMappedFileFailed
    // (nothing sent) when the first writer cannot be set up.
    int StartRetrieve(std::vector<UploadItem> items, int form, const std::string& folder);
    int StartDelete(std::vector<std::string> paths);
    // Sends 0x91 at once, whatever runs; a retrieve ends when the recorder accepts, with the
    // part of the file that arrived written out.
    int Abort();

    // Takes every frame that has arrived, acts on it, then checks the time limits. Returns
    // the operation still running (kUploadIdle when none).
    int Service();

    int Operation() const { return m_Operation; }
    // True from the first 0xB9 of a retrieve until it ends.
    bool TransferActive() const { return m_TransferActive; }
    // Milliseconds until Service must run for a time limit even if nothing arrives.
    std::int64_t MillisecondsToDeadline() const;
    // The wait before a stalled transfer is nudged (a NAK for the frame after the last one).
    std::int64_t ReplyWaitMs() const { return m_ReplyWaitMs; }
    // The wait before an unanswered request is sent again; also the silence after which the
    // answers still owed to its other copies are taken as lost.
    std::int64_t FirstAnswerWaitMs() const { return m_FirstAnswerWaitMs; }
    // Frames of answers to abandoned copies of a request, dropped since construction.
    std::uint32_t OwedFramesDropped() const { return m_Owed.Dropped(); }
    const CTimeLeftEstimate& Estimate() const { return m_Estimate; }
    // Repeated frames dropped and NAKs sent for frames out of sequence, since construction.
    std::uint32_t DuplicateFrames() const { return m_Sequence.Repeats(); }
    std::uint32_t SequenceNaks() const { return m_Sequence.Naks(); }
    std::uint32_t CommandResends() const { return m_Resends; }
    // Frames (of any kind) the engine took off the link, since construction: a caller that
    // sees it unchanged after Service knows the line had nothing and may wait.
    std::uint64_t FramesTaken() const { return m_FramesTaken; }

private:
    static constexpr std::uint8_t kDriveStatusCode = 0xB7;
    static constexpr std::uint8_t kListCode = 0xB8;
    static constexpr std::uint8_t kReadCode = 0xB9;
    static constexpr std::uint8_t kDeleteCode = 0x92;
    static constexpr std::uint8_t kAbortCode = 0x91;

    std::int64_t Now() const;
    int Begin(int operation, std::uint8_t code, const link::CommandRecord& record);
    void PrepareRequest(std::uint8_t code, const link::CommandRecord& record);
    // Sends the prepared request, or holds it back while answers to an earlier one are owed
    // (`mayHold` false sends at once). Returns 1, or kUploadNotSent.
    int SendRequest(bool mayHold = true);
    // The answer to the current request ended (`answered`) or was given up: every other copy
    // sent may still be answered.
    void AnswerEnded(bool answered);
    void DropOwedFrame();
    void ReleaseHeldRequest();
    void SendFailed();
    void Finish(int result);
    void Indicate(const std::string& text);
    bool Handle(int readResult, std::uint8_t type);
    void OnDriveStatus(int readResult);
    void OnListing(int readResult);
    void OnFileData(int readResult);
    void OnDeleteAnswer(int readResult);
    void OnAbortAnswer(int readResult);
    void FrameArrived();
    int OpenNextFile();
    void CloseFile(int result, const std::string& message);
    void EndRetrieve(int result);
    void CheckTime();

    link::CInstrumentLink& m_Link;
    Hooks m_Hooks;
    MillisecondClock m_Clock;
    bool m_TakeDataFrames = false;
    std::uint32_t m_Baud = 9600;
    std::int64_t m_ReplyWaitMs = 0;
    std::int64_t m_FirstAnswerWaitMs = 0;

    int m_Operation = kUploadIdle;
    std::uint8_t m_Code = 0;
    link::CommandRecord m_Request;
    bool m_FirstFrameSeen = false;
    bool m_RequestResent = false; // the current request went out more than once
    int m_Sends = 0;              // copies of the current request on the wire
    bool m_SendHeld = false;      // prepared, waiting for the owed answers
    bool m_HeldBeforeAbort = false;
    int m_SendsBeforeAbort = 0;
    COwedAnswers m_Owed;
    std::int64_t m_LastFrameMs = 0; // restarts the no-frame limit
    std::int64_t m_LastSendMs = 0;  // of the request, or the last nudge
    CFrameSequence m_Sequence;
    link::FrameRecord m_Record;

    // Retrieve.
    std::vector<UploadItem> m_Items;
    std::size_t m_Current = 0;
    int m_Form = 0;
    std::string m_Folder;
    CUploadFileWriter m_File;
    bool m_TransferActive = false;
    std::uint64_t m_RunBytes = 0;
    std::uint64_t m_RunSize = 0;
    std::int64_t m_RunStartMs = 0;
    CTimeLeftEstimate m_Estimate;
    int m_RunResult = kUploadAccepted;

    // Delete.
    std::vector<std::string> m_Paths;
    bool m_AnyRejected = false;

    // Abort: what ran when it was sent.
    int m_AbortedOperation = kUploadIdle;

    std::uint32_t m_Resends = 0;
    std::uint64_t m_FramesTaken = 0;
};

} // namespace nereid::instrument
