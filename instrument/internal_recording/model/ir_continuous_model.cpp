#include "instrument/internal_recording/model/ir_continuous_model.h"

#include <algorithm>

namespace nereid::instrument {

std::uint16_t DelayToRecord(int startMode, int value, int unit) {
    if (startMode != kStartDelayed) {
        return 0;
    }
    const long long seconds = static_cast<long long>(value) * IRUnitSeconds(unit);
    return static_cast<std::uint16_t>(std::clamp(seconds, 0LL, 65535LL));
}

std::uint32_t StartToRecord(int startMode, const IRDateTime& start) {
    if (startMode != kStartAtTime) {
        return 0;
    }
    IRDateTime t = start;
    t.second = 0;
    return IRDateTimeToSeconds(t);
}

void DelayFromRecord(int startMode, std::uint16_t seconds, int& value, int& unit) {
    unit = kIRSeconds;
    value = startMode == kStartDelayed ? seconds : 3600;
}

IRDateTime StartFromRecord(int startMode, std::uint32_t seconds) {
    return startMode == kStartAtTime ? IRDateTimeFromSeconds(seconds) : IRDateTime{};
}

int CIRContinuousModel::FileSizePosition() const {
    return instrument::FileSizePosition(edit.fileSizeSeconds);
}

void CIRContinuousModel::SetFileSizePosition(int position) {
    if (position >= 0 && position < static_cast<int>(kFileSizeSeconds.size())) {
        edit.fileSizeSeconds = kFileSizeSeconds[static_cast<std::size_t>(position)];
    }
}

void CIRContinuousModel::ChangeDelayUnit(int unit) {
    edit.delayValue = CorrectDelay(ConvertUnitValue(edit.delayValue, edit.delayUnit, unit), unit);
    edit.delayUnit = unit;
}

std::uint16_t CIRContinuousModel::DelaySeconds() const {
    return DelayToRecord(edit.startMode, edit.delayValue, edit.delayUnit);
}

void CIRContinuousModel::CorrectForSend() {
    if (edit.startMode == kStartAtTime) {
        edit.start = CorrectDayForMonth(edit.start);
    }
}

void CIRContinuousModel::Decode(const link::InternalRecordingRecord& r) {
    IRContinuousValues v;
    v.startMode = r.continuousStartMode;
    v.drive = r.continuousDrive;
    v.flush = r.flushAtStartup != 0;
    v.bufferFullMode = r.bufferFullMode;
    v.fileSizeSeconds = r.fileSizeSeconds;
    v.maxSpace = r.maxSpaceMb;
    DelayFromRecord(v.startMode, r.continuousStartDelay, v.delayValue, v.delayUnit);
    v.start = StartFromRecord(v.startMode, r.continuousStartTime);
    v.channels = ChannelsFromWord(r.continuousChannels);
    Take(v);
}

void CIRContinuousModel::Encode(link::InternalRecordingRecord& r) const {
    r.continuousStartMode = static_cast<std::uint8_t>(edit.startMode);
    r.continuousDrive = static_cast<std::uint8_t>(edit.drive);
    r.flushAtStartup = edit.flush ? 1 : 0;
    r.bufferFullMode = static_cast<std::uint8_t>(edit.bufferFullMode);
    r.fileSizeSeconds = edit.fileSizeSeconds;
    r.maxSpaceMb = static_cast<std::uint16_t>(edit.maxSpace);
    r.continuousStartDelay = DelaySeconds();
    r.continuousStartTime = StartToRecord(edit.startMode, edit.start);
    r.continuousChannels = ChannelsToWord(edit.channels);
}

} // namespace nereid::instrument
