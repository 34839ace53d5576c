#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recording/channel_writer.h"
#include "recording/mseed_packer.h"
#include "recording/second_sink.h"
#include "recording/shared_buffer.h"

namespace nereid::recording {

class CClockUpdate;
class CPeriodConverter;
class CRecorderMessages;

// The forms of PC recording. SEISAN writes DADiSP files and converts each period. miniSEED
// writes 512-byte Steim-2 records; seconds the intake filled in for a gap are left out.
// The numbers may be stored in settings: new forms are appended.
enum class RecordingForm : int { kDadisp = 0, kCss = 1, kSeisan = 2, kMseed = 3 };

// Results of CFileRecorder besides 1 (go on) and 0 (stopped: every file closed).
// An output file could not be created: only its channel is skipped until its next period.
constexpr int kRecorderCreateFailed = -2;
constexpr int kRecorderWriteFailed = -3;  // a write to an open output file failed
constexpr int kRecorderMemoryFailed = -4; // a channel buffer could not be mapped
constexpr int kRecorderNoChannels = -5;   // nothing to record

// One channel to record (its record-enable flag is set).
struct RecorderChannel {
    int number = 0;        // 1..16
    int rate = 0;          // samples per second, > 0
    std::string name;      // the channel's file name text; the recorder keeps its own copy
    std::string directory; // output folder; empty: the current directory
    std::string comments;  // at most 80 characters reach the DADiSP header
    int partnerRate = 0;   // the other stream of the same sensor channel (0: none)
};

struct RecorderSettings {
    RecordingForm form = RecordingForm::kDadisp;
    int periodSeconds = 3600; // minutes x 60, 60..43200
    std::string stationName;  // its first 3 characters start the CSS sta field
    bool writeThrough = true; // every appended second goes to the medium before the call returns
    std::vector<RecorderChannel> channels;
    // miniSEED stream codes: network code, and channel -> component letter (else the number).
    std::string network = kDefaultMseedNetwork;
    MseedComponentMap components;
};

// What a file of one channel and period is to be.
struct RecorderFileRequest {
    RecordingForm form = RecordingForm::kDadisp;
    std::string folder;   // as given by the channel (may be empty)
    std::string fileName; // "DD..." or "CD..." (17 characters), "MD....mseed"
    int channel = 0;
    int rate = 0;
    int partnerRate = 0; // the other stream of the same sensor channel (0: none)
    std::uint32_t startSecond = 0;
    std::string comments;
    std::string stationName;
    bool writeThrough = true;
    std::string network = kDefaultMseedNetwork;
    MseedComponentMap components;
    std::uint16_t unit = 0;
};

// The real-time recorder: one file per recorded channel and period of `periodSeconds`, the
// periods ending at multiples of the period counted from midnight UTC (the first one starts
// with the first second recorded). Driven by the receiver thread through WriteSecond; the
// user-interface thread only sets StopRecording.
class CFileRecorder : public CSecondSink {
public:
    using WriterFactory =
        std::function<std::unique_ptr<CChannelWriter>(const RecorderFileRequest&)>;

    struct Services {
        CRecorderMessages* messages = nullptr; // failures the operator must see; may be null
        CPeriodConverter* converter = nullptr; // SEISAN: started after every period
        CClockUpdate* clock = nullptr;         // "updatetime.txt" clock update; may be null
        // Makes the writer of each new file; empty, or a null result: MakeDefaultWriter.
        WriterFactory writerFactory;
    };

    CFileRecorder(RecorderSettings settings, Services services);
    // Closes what is still open, as a stop would (CSS files get their wfdisc record).
    ~CFileRecorder() override;
    CFileRecorder(const CFileRecorder&) = delete;
    CFileRecorder& operator=(const CFileRecorder&) = delete;

    // Maps every channel's buffer of 2 x capacity bytes (capacity = rate x period x 4).
    // Returns 1; kRecorderNoChannels when no channel is given; kRecorderMemoryFailed when a
    // buffer cannot be mapped: every buffer is then released and the recorder holds no
    // channels.
    int Create();

    // One second of one channel, `bytes` = rate x 4. Returns 1 to go on; 0 after a stop (every
    // file closed); kRecorderWriteFailed after a failed write, which has been shown, has
    // closed every file with what was written so far, and has set StopRecording so that later
    // calls return 0 until the intake re-arms recording.
    // A file that cannot be created (its name exists, its folder is missing or full) ends
    // nothing but that channel's period: "Can't Create File " is shown once, the channel's
    // seconds are dropped until its next period, where its file is tried again, and the other
    // channels go on; the call returns 1.
    // `progress` gets the percentage of the current period written for this channel, or -1.
    int WriteSecond(int channel, const std::int32_t* samples, int bytes, int& progress) override;
    // As WriteSecond; the miniSEED form takes the row's second as its sample time and leaves
    // out gap rows (every other form writes them as zeros, keeping its sample count).
    int WriteSecondAt(int channel, std::uint32_t second, bool gapRow, const std::int32_t* samples,
                      int bytes, int& progress) override;

    // Program exit while recording: writes what is buffered, closes every file and, in SEISAN
    // form, starts the converter for the last period.
    void FlushAll();
    // The end of a recording when no frame will come any more (program exit, the line gone):
    // FlushAll, then waits for the converter of the last SEISAN period, at most waitLimitMs.
    // Call it only while nothing else drives the recorder (the receiver thread stopped or
    // parked). Later calls of WriteSecond return 0. Returns 1 when every file is closed and
    // no conversion is left, 0 when the converter was still running at the limit,
    // kRecorderWriteFailed when the last buffered seconds could not be written (shown).
    int Finish(int waitLimitMs = kConverterWaitLimitMs);
    static constexpr int kConverterWaitLimitMs = 60000;

    // Records `seconds` seconds from the first second written, then stops for good: the
    // first call for a later second closes every file and returns 0, as do all calls after
    // it, even when the intake re-arms. 0 (the default) records until stopped.
    void LimitSeconds(std::uint32_t seconds) { m_LimitSeconds = seconds; }
    // True once the limit has been reached and every file is closed.
    bool Finished() const { return m_Finished.load(); }
    // Seconds from the first second written to the latest one, inclusive; 0 before.
    std::uint32_t SecondsRecorded() const { return m_SecondsRecorded.load(); }
    // Periods of a channel given up because its file could not be created, over the whole
    // recording.
    int SkippedPeriods() const { return m_SkippedPeriods.load(); }

    int ChannelCount() const { return static_cast<int>(m_Channels.size()); }
    RecordingForm Form() const { return m_Settings.form; }
    int PeriodSeconds() const { return m_Settings.periodSeconds; }
    // The shared DADiSP or CSS writer for a request (what an empty writerFactory gives).
    static std::unique_ptr<CChannelWriter> MakeDefaultWriter(const RecorderFileRequest& request);

    // Full path of the DADiSP file closed last (the converter's argument); empty before.
    std::string LastClosedFile() const;

private:
    struct ChanInfo {
        RecorderChannel setup;
        int ordinal = 0; // 1..channel count: its entry in the seen table
        CSharedBuffer buffer;
        std::size_t capacity = 0;     // rate x period x 4 bytes
        std::size_t dwCurrentLen = 0; // bytes in the open file's data block
        std::size_t dwReLen = 0;      // bytes buffered, not yet written
        std::unique_ptr<CChannelWriter> file;
        std::string name;            // of the file opened last (the wfdisc name in CSS form)
        std::uint32_t fileStart = 0; // period start the open file was named after
        // The file of this period could not be created: nothing is written until the period
        // start moves on from skipPeriod.
        bool skipping = false;
        std::uint32_t skipPeriod = 0;
        // Second of the first buffered sample (0: unknown, the samples continue the file).
        std::uint32_t bufferSecond = 0;
    };

    int FlushChannel(ChanInfo& info, bool closeFile);
    int CloseChannel(ChanInfo& info);
    // Closes every channel's file; returns 1, or the first failure code.
    int CloseAll();
    int OpenFile(ChanInfo& info);
    int CloseFile(ChanInfo& info);
    int Fail(int code);
    int HandleStop();
    void AdvancePeriod(std::uint32_t endSecond);
    void RunConverter();
    void Show(const std::string& text);
    void NoteClosed(const std::string& path);
    std::unique_ptr<CChannelWriter> MakeWriter(const RecorderFileRequest& request) const;

    RecorderSettings m_Settings;
    Services m_Services;
    std::vector<ChanInfo> m_Channels;
    std::array<int, 17> m_Index{}; // channel number -> position in m_Channels + 1; 0: none

    // The seen table: entry k (1..channel count) is -1 until channel ordinal k has been
    // written in m_SeenSecond.
    std::array<int, 17> m_Seen{};
    std::uint32_t m_SeenSecond = 0;
    int m_SeenCount = 0;

    bool m_CreateFile = false;
    bool m_ForceFileClose = false;
    // The last second of a period (or a full buffer) was written but not every channel came
    // in that second: the period advances at the first call of a later second.
    bool m_PeriodEndPending = false;
    std::uint32_t m_PeriodEndSecond = 0;
    bool m_ClosedSinceConvert = false;
    std::uint32_t m_WritingSecond = 0; // the second of the call in progress
    // Set by WriteSecondAt for the WriteSecond call it makes.
    std::uint32_t m_RowSecond = 0;
    bool m_RowIsGap = false;
    std::uint32_t m_LimitSeconds = 0;
    std::uint32_t m_FirstSecond = 0;
    std::atomic<bool> m_Finished{false};
    std::atomic<std::uint32_t> m_SecondsRecorded{0};
    std::atomic<int> m_SkippedPeriods{0};

    mutable std::mutex m_LastClosedMutex;
    std::string m_LastClosedFile;
};

} // namespace nereid::recording
