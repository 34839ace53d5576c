#include "recording/recording_setup.h"

#include <algorithm>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "recording/channel_table.h"
#include "recording/intake_state.h"
#include "recording/recorder_messages.h"

namespace nereid::recording {

namespace {

// The dialog's edit hands over at most this many characters.
constexpr std::size_t kMinutesTextLimit = 10;

void Show(const CFileRecorder::Services& services, const char* text) {
    if (services.messages != nullptr) {
        services.messages->ShowMessage(text, kRecorderCaption);
    }
}

} // namespace

int ParseRecordingMinutes(const std::string& fullText) {
    const std::string text = fullText.substr(0, kMinutesTextLimit);
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    long value = 0;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + (text[i] - '0');
        if (value > kMaxRecordingMinutes) {
            return 0;
        }
        ++i;
        ++digits;
    }
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (digits == 0 || i != text.size() || value < kMinRecordingMinutes) {
        return 0;
    }
    return static_cast<int>(value);
}

int CheckRecordingFolder(const std::string& folder, CRecorderMessages* messages) {
    auto refuse = [&](const std::string& text) {
        if (messages != nullptr) {
            messages->ShowMessage(text, kRecorderCaption);
        }
        return kSetupBadFolder;
    };
    std::error_code ec;
    if (folder.empty() || !std::filesystem::exists(folder, ec)) {
        return refuse(kNoSuchFolderText + folder);
    }
    if (!std::filesystem::is_directory(folder, ec)) {
        return refuse(kFolderNotWritableText + folder + ": it is not a folder");
    }
    std::string probe = folder + "/.nereid-write-test-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return refuse(kFolderNotWritableText + folder + ": " + std::strerror(errno));
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return 1;
}

int StoreChannelSettings(RtChannel& channel, const std::string& fileName, const std::string& folder,
                         const std::string& comments, CRecorderMessages* messages) {
    if (fileName.empty()) {
        if (messages != nullptr) {
            messages->ShowMessage(kPleaseInputFilenameText, kRecorderCaption);
        }
        return kSetupNoFileName;
    }
    channel.fileName = fileName.substr(0, kChannelFileNameLimit);
    channel.directory = folder;
    channel.comments = comments;
    return 1;
}

int PrepareRecorder(const RecordingSetupRequest& request, const CChannelTable& table,
                    const CFileRecorder::Services& services,
                    std::unique_ptr<CFileRecorder>& recorder) {
    recorder.reset();
    const int minutes = ParseRecordingMinutes(request.minutesText);
    if (minutes == 0) {
        Show(services, kRecordingTimeInvalidText);
        return kSetupTimeInvalid;
    }
    RecorderSettings settings;
    settings.form = request.form;
    settings.periodSeconds = minutes * 60;
    settings.stationName = request.stationName;
    settings.writeThrough = request.writeThrough;
    settings.network = request.network;
    settings.components = request.components;
    for (const auto& [number, channel] : table.m_ChanMap) {
        if (!channel.recordEnable || channel.rate <= 0) {
            continue;
        }
        RecorderChannel setup;
        setup.number = number;
        setup.rate = channel.rate;
        setup.name = channel.fileName;
        setup.directory = channel.directory;
        setup.comments = channel.comments;
        const int sensor = SensorChannel(number);
        const auto partner = table.m_ChanMap.find(
            static_cast<std::uint16_t>(number == sensor ? sensor + 8 : sensor));
        setup.partnerRate =
            partner != table.m_ChanMap.end() ? std::max(partner->second.rate, 0) : 0;
        settings.channels.push_back(setup);
    }
    if (settings.channels.empty()) {
        Show(services, kNoRecordingEnabledText);
        return kSetupNoChannel;
    }
    auto made = std::make_unique<CFileRecorder>(std::move(settings), services);
    const int created = made->Create();
    if (created == kRecorderMemoryFailed) {
        Show(services, kRecorderMemoryText);
        return kSetupMemory;
    }
    if (created != 1) {
        Show(services, kNoRecordingEnabledText);
        return kSetupNoChannel;
    }
    recorder = std::move(made);
    return 1;
}

void ArmRecording(CIntakeState& state, RecordingForm form) {
    state.m_AcquisitionState.store(kAcquisitionUnknown);
    state.m_IdleCounter.store(0);
    state.m_LastProgress.store(0);
    if (form != RecordingForm::kDadisp) {
        state.m_RestartSecond.store(kRestartArmed);
        state.m_bResumePending.store(true);
    }
    state.m_bRecording.store(true);
}

} // namespace nereid::recording
