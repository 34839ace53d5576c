#include "recording/file_recorder.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "recording/clock_update.h"
#include "recording/period_converter.h"
#include "recording/recorder_file_names.h"
#include "recording/recorder_messages.h"

namespace nereid::recording {

namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
// A period overrun by more than this many seconds closes every file.
constexpr std::int64_t kOverrunLimit = 120;

// The folder as an absolute path, so that every name shown or handed to the converter is a
// full path and a later change of the current directory cannot move the output.
std::string AbsoluteFolder(const std::string& folder) {
    if (!folder.empty() && folder.front() == '/') {
        return folder;
    }
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        return folder;
    }
    if (folder.empty() || folder == ".") {
        return cwd;
    }
    return JoinRecorderPath(cwd, folder);
}

} // namespace

CFileRecorder::CFileRecorder(RecorderSettings settings, Services services)
    : m_Settings(std::move(settings)), m_Services(std::move(services)) {
    m_Seen.fill(-1);
}

CFileRecorder::~CFileRecorder() {
    CloseAll();
}

int CFileRecorder::Create() {
    m_Channels.clear();
    m_Index.fill(0);
    m_Seen.fill(-1);
    m_SeenCount = 0;
    std::vector<RecorderChannel> setups = m_Settings.channels;
    std::stable_sort(
        setups.begin(), setups.end(),
        [](const RecorderChannel& a, const RecorderChannel& b) { return a.number < b.number; });
    const auto period = static_cast<std::size_t>(std::max(m_Settings.periodSeconds, 1));
    m_Channels.reserve(setups.size());
    for (const RecorderChannel& setup : setups) {
        if (setup.number < 1 || setup.number > 16 || setup.rate <= 0 ||
            m_Index[static_cast<std::size_t>(setup.number)] != 0) {
            continue;
        }
        ChanInfo& info = m_Channels.emplace_back();
        info.setup = setup;
        info.setup.directory = AbsoluteFolder(setup.directory);
        info.name = setup.name;
        info.ordinal = static_cast<int>(m_Channels.size());
        info.capacity = static_cast<std::size_t>(setup.rate) * period * 4;
        if (info.buffer.Allocate(2 * info.capacity) != 1) {
            m_Channels.clear();
            m_Index.fill(0);
            return kRecorderMemoryFailed;
        }
        m_Index[static_cast<std::size_t>(setup.number)] = info.ordinal;
    }
    return m_Channels.empty() ? kRecorderNoChannels : 1;
}

std::string CFileRecorder::LastClosedFile() const {
    std::lock_guard lock(m_LastClosedMutex);
    return m_LastClosedFile;
}

int CFileRecorder::WriteSecondAt(int channel, std::uint32_t second, bool gapRow,
                                 const std::int32_t* samples, int bytes, int& progress) {
    m_RowSecond = second;
    m_RowIsGap = gapRow;
    const int result = WriteSecond(channel, samples, bytes, progress);
    m_RowSecond = 0;
    m_RowIsGap = false;
    return result;
}

int CFileRecorder::WriteSecond(int channel, const std::int32_t* samples, int bytes, int& progress) {
    progress = -1;
    if (m_Finished.load()) {
        return 0;
    }
    if (StopRecording.load()) {
        return HandleStop();
    }
    if (channel < 1 || channel > 16 || m_Index[static_cast<std::size_t>(channel)] == 0) {
        return 1;
    }
    ChanInfo& info = m_Channels[static_cast<std::size_t>(m_Index[channel] - 1)];
    const std::int64_t period = m_Settings.periodSeconds;

    std::uint32_t start = m_SecondFrom1970.load();
    std::uint32_t cur = m_CurrentSecondFrom1970.load();
    if (start == 0) {
        start = cur;
        m_SecondFrom1970.store(start);
    }
    // The intake moves the current second only on the reference channel's next second, so
    // right after a (re)start it may still hold an older second; no second written can lie
    // before the period start.
    cur = std::max(cur, start);
    m_WritingSecond = cur;
    if (m_FirstSecond == 0) {
        m_FirstSecond = cur;
    }
    if (m_LimitSeconds != 0 && cur >= m_FirstSecond + m_LimitSeconds) {
        HandleStop();
        m_Finished.store(true);
        return 0;
    }
    if (cur >= m_FirstSecond) {
        m_SecondsRecorded.store(std::max(m_SecondsRecorded.load(), cur - m_FirstSecond + 1));
    }

    if (m_PeriodEndPending && cur != m_PeriodEndSecond) {
        // Some channel did not come in the last second of the period: advance now, so that
        // the next files are named after the new period.
        AdvancePeriod(m_PeriodEndSecond);
        start = m_SecondFrom1970.load();
        cur = std::max(cur, start);
        m_WritingSecond = cur;
    }

    if (static_cast<std::int64_t>(cur) + 1 - start - period > kOverrunLimit) {
        const int closed = CloseAll();
        RunConverter();
        m_SecondFrom1970.store(cur);
        start = cur;
        if (closed == kRecorderWriteFailed) {
            return Fail(closed);
        }
        if (StopRecording.load()) {
            return HandleStop();
        }
    }
    if (info.skipping && m_SecondFrom1970.load() != info.skipPeriod) {
        // A new period: its file is tried again.
        info.skipping = false;
    }

    if (m_SeenSecond != cur) {
        m_SeenSecond = cur;
        m_Seen.fill(-1);
        m_SeenCount = 0;
    }
    if (m_Seen[static_cast<std::size_t>(info.ordinal)] == -1) {
        m_Seen[static_cast<std::size_t>(info.ordinal)] = info.ordinal;
        ++m_SeenCount;
    }

    m_CreateFile = ((cur % kSecondsPerDay) + 1) % static_cast<std::uint32_t>(period) == 0;

    if (m_Services.clock != nullptr) {
        m_Services.clock->Update(cur);
    }

    // miniSEED keeps a gap a gap: the zeros the intake filled it with are not data.
    const bool leaveOut = m_Settings.form == RecordingForm::kMseed && m_RowIsGap;
    if (!info.skipping && !leaveOut && info.dwCurrentLen + info.dwReLen < info.capacity &&
        samples != nullptr && bytes > 0) {
        if (info.dwReLen == 0) {
            info.bufferSecond = m_RowSecond;
        }
        // Whole samples only; the buffer holds 2 x capacity, so one second always fits.
        std::size_t n = static_cast<std::size_t>(bytes) & ~std::size_t{3};
        n = std::min(n, info.buffer.Size() - info.dwReLen);
        std::memcpy(info.buffer.Data() + info.dwReLen, samples, n);
        info.dwReLen += n;
        progress = static_cast<int>(
            std::min<std::size_t>(100, (info.dwCurrentLen + info.dwReLen) * 100 / info.capacity));
    }
    if (info.dwCurrentLen + info.dwReLen >= info.capacity) {
        m_ForceFileClose = true;
    }

    const bool periodEnd = m_CreateFile || m_ForceFileClose;
    const int flushed = FlushChannel(info, periodEnd || StopRecording.load());
    // A full file ends the period only when the period has run its length (a period that
    // spans midnight without dividing the day); a channel that lagged over the last period
    // end fills up early and must not move the period of the others.
    const bool fullPeriod =
        m_ForceFileClose && static_cast<std::int64_t>(cur) - start - period + 1 >= 0;
    m_ForceFileClose = false;
    if (flushed == kRecorderWriteFailed) {
        return Fail(flushed);
    }
    if (m_CreateFile || fullPeriod) {
        m_PeriodEndPending = true;
        m_PeriodEndSecond = cur;
    }
    if (m_SeenCount == ChannelCount()) {
        if (m_PeriodEndPending && m_PeriodEndSecond == cur) {
            AdvancePeriod(cur);
        }
        m_CreateFile = false;
    }
    // A stop that arrived during this call is handled by the next one, which closes the
    // files of the other channels too.
    return 1;
}

void CFileRecorder::AdvancePeriod(std::uint32_t endSecond) {
    // The next period starts with the second after its end, also on a late period end
    // (start + period <= endSecond): the next period end is counted from midnight anyway.
    m_SecondFrom1970.store(endSecond + 1);
    m_PeriodEndPending = false;
    RunConverter();
}

int CFileRecorder::HandleStop() {
    CloseAll();
    // 0 lets the intake give the next recording its own first second when it re-arms.
    m_SecondFrom1970.store(0);
    m_PeriodEndPending = false;
    m_SeenSecond = 0;
    m_Seen.fill(-1);
    m_SeenCount = 0;
    RunConverter();
    return 0;
}

int CFileRecorder::Fail(int code) {
    // The second that failed is dropped (its file could not take it); everything before it
    // is in the files, which HandleStop closes.
    for (ChanInfo& info : m_Channels) {
        info.dwReLen = 0;
    }
    HandleStop();
    // Later calls return 0 until the intake re-arms recording (it clears the flag then).
    StopRecording.store(true);
    return code;
}

void CFileRecorder::FlushAll() {
    StopRecording.store(true);
    CloseAll();
    RunConverter();
}

int CFileRecorder::Finish(int waitLimitMs) {
    StopRecording.store(true);
    const int closed = CloseAll();
    RunConverter();
    m_Finished.store(true);
    int result = closed == kRecorderWriteFailed ? kRecorderWriteFailed : 1;
    if (m_Services.converter != nullptr && !m_Services.converter->WaitIdle(waitLimitMs) &&
        result == 1) {
        result = 0;
    }
    return result;
}

int CFileRecorder::CloseAll() {
    int result = 1;
    for (ChanInfo& info : m_Channels) {
        const int closed = CloseChannel(info);
        // A file that could not be created concerns its channel only (and has been shown);
        // a failed write ends the recording.
        if (closed == kRecorderWriteFailed && result == 1) {
            result = closed;
        }
    }
    return result;
}

void CFileRecorder::RunConverter() {
    if (m_Settings.form != RecordingForm::kSeisan || !m_ClosedSinceConvert) {
        return;
    }
    m_ClosedSinceConvert = false;
    if (m_Services.converter != nullptr) {
        m_Services.converter->Convert(LastClosedFile());
    }
}

void CFileRecorder::Show(const std::string& text) {
    if (m_Services.messages != nullptr) {
        m_Services.messages->ShowMessage(text, kRecorderCaption);
    }
}

void CFileRecorder::NoteClosed(const std::string& path) {
    if (m_Services.messages != nullptr) {
        m_Services.messages->FileClosed(path);
    }
}

} // namespace nereid::recording
