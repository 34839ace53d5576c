#include "recording/file_recorder.h"

#include "recording/css_format.h"
#include "recording/css_writer.h"
#include "recording/dadisp_format.h"
#include "recording/dadisp_writer.h"
#include "recording/mseed_writer.h"
#include "recording/recorder_file_names.h"
#include "recording/recorder_messages.h"

// The recorder's files: one per channel and period, opened with the first buffered second,
// appended to from the channel's buffer and closed at the period's end or a stop.
namespace nereid::recording {

int CFileRecorder::CloseChannel(ChanInfo& info) {
    return FlushChannel(info, true);
}

int CFileRecorder::FlushChannel(ChanInfo& info, bool closeFile) {
    if (!info.file) {
        if (info.dwReLen == 0) {
            // Nothing buffered: never create an empty file.
            return 1;
        }
        if (const int opened = OpenFile(info); opened < 0) {
            return opened;
        }
    }
    if (info.dwReLen > 0) {
        const auto* data = reinterpret_cast<const std::int32_t*>(info.buffer.Data());
        if (info.bufferSecond != 0) {
            info.file->SetNextSecond(info.bufferSecond);
        }
        const int appended = info.file->Append(data, info.dwReLen / 4);
        info.dwReLen = 0;
        if (appended < 0) {
            Show(std::string(kCantWriteFileText) + info.file->DataPath());
            // Keep what reached the file readable: close it (CSS with its wfdisc record).
            info.dwCurrentLen = static_cast<std::size_t>(info.file->SampleCount()) * 4;
            CloseFile(info);
            return kRecorderWriteFailed;
        }
        info.dwCurrentLen = static_cast<std::size_t>(info.file->SampleCount()) * 4;
    }
    if (closeFile) {
        return CloseFile(info);
    }
    return 1;
}

int CFileRecorder::OpenFile(ChanInfo& info) {
    const bool css = m_Settings.form == RecordingForm::kCss;
    const bool mseed = m_Settings.form == RecordingForm::kMseed;
    // A file is named after its first second. That is the period start, except when a channel
    // lagged behind the others over a period end: its next file then starts later.
    const std::uint32_t start = m_WritingSecond != 0 ? m_WritingSecond : m_SecondFrom1970.load();
    RecorderFileRequest request;
    request.form = m_Settings.form;
    request.folder = info.setup.directory;
    request.fileName = RecorderFileName(css ? "CD" : (mseed ? "MD" : "DD"), info.setup.number,
                                        m_UnitNumber.load(), start);
    if (mseed) {
        request.fileName += kMseedExtension;
    }
    request.channel = info.setup.number;
    request.rate = info.setup.rate;
    request.partnerRate = info.setup.partnerRate;
    request.startSecond = start;
    request.comments = info.setup.comments;
    request.stationName = m_Settings.stationName;
    request.writeThrough = m_Settings.writeThrough;
    request.network = m_Settings.network;
    request.components = m_Settings.components;
    request.unit = m_UnitNumber.load();

    std::unique_ptr<CChannelWriter> writer = MakeWriter(request);
    if (const int opened = writer->Open(); opened < 0) {
        // Only this channel loses its period; trying again every second would only repeat
        // the message, so the next try is at its next period.
        info.skipping = true;
        info.skipPeriod = m_SecondFrom1970.load();
        info.dwReLen = 0;
        info.dwCurrentLen = 0;
        ++m_SkippedPeriods;
        Show(std::string(kCantCreateFileText) + writer->LastPath());
        if (m_Services.messages != nullptr) {
            m_Services.messages->ChannelSkipped(info.setup.number, writer->LastPath());
        }
        return kRecorderCreateFailed;
    }
    info.file = std::move(writer);
    info.fileStart = start;
    info.name = css ? WfdiscNameOf(request.fileName) : request.fileName;
    info.dwCurrentLen = 0;
    return 1;
}

int CFileRecorder::CloseFile(ChanInfo& info) {
    if (!info.file) {
        return 1;
    }
    const bool css = m_Settings.form == RecordingForm::kCss;
    const std::string dataPath = info.file->DataPath();
    const int closed = info.file->Close();
    int result = 1;
    if (closed < 0) {
        if (info.file->LastPath() != dataPath) {
            Show(std::string(kCantCreateFileText) + info.file->LastPath());
            result = kRecorderCreateFailed;
        } else {
            Show(std::string(kCantWriteFileText) + dataPath);
            result = kRecorderWriteFailed;
        }
    }
    NoteClosed(dataPath);
    if (css) {
        if (result != kRecorderCreateFailed) {
            // The wfdisc file lies beside the data file, "H" as the second letter of its name.
            std::string wfdiscPath = dataPath;
            wfdiscPath[dataPath.rfind('/') + 2] = 'H';
            NoteClosed(wfdiscPath);
        }
    } else {
        {
            std::lock_guard lock(m_LastClosedMutex);
            m_LastClosedFile = dataPath;
        }
        m_ClosedSinceConvert = true;
    }
    info.file.reset();
    info.dwCurrentLen = 0;
    info.dwReLen = 0;
    return result;
}

std::unique_ptr<CChannelWriter>
CFileRecorder::MakeWriter(const RecorderFileRequest& request) const {
    if (m_Services.writerFactory) {
        if (auto writer = m_Services.writerFactory(request)) {
            return writer;
        }
    }
    return MakeDefaultWriter(request);
}

std::unique_ptr<CChannelWriter>
CFileRecorder::MakeDefaultWriter(const RecorderFileRequest& request) {
    std::string folder = request.folder.empty() ? std::string(".") : request.folder;
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    if (request.form == RecordingForm::kCss) {
        return std::make_unique<CCssWriter>(
            folder,
            MakeRealTimeWfdisc(request.stationName, request.fileName, request.startSecond, 0,
                               request.rate),
            CreateMode::kNew, request.writeThrough);
    }
    if (request.form == RecordingForm::kMseed) {
        const SMseedStreamId id{
            request.network, SeedStationCode(request.stationName, request.unit),
            SeedLocationCode(request.channel, request.rate, request.partnerRate),
            SeedChannelCode(request.rate, request.channel, request.components)};
        return std::make_unique<CMseedWriter>(JoinRecorderPath(folder, request.fileName), id,
                                              request.rate, request.startSecond, CreateMode::kNew,
                                              request.writeThrough);
    }
    return std::make_unique<CDadispWriter>(
        JoinRecorderPath(folder, request.fileName),
        MakeRealTimeDadispHeader(request.fileName, request.channel, request.startSecond,
                                 request.rate, request.comments),
        CreateMode::kNew, request.writeThrough);
}

} // namespace nereid::recording
