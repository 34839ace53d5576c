#include "instrument/internal_recording/model/ir_event_model.h"

#include "instrument/internal_recording/model/ir_continuous_model.h"

namespace nereid::instrument {

void CIREventModel::ChangeDelayUnit(int unit) {
    edit.delayValue = CorrectDelay(ConvertUnitValue(edit.delayValue, edit.delayUnit, unit), unit);
    edit.delayUnit = unit;
}

void CIREventModel::CorrectForSend() {
    if (edit.startMode == kStartAtTime) {
        edit.start = CorrectDayForMonth(edit.start);
    }
}

void CIREventModel::Decode(const link::InternalRecordingRecord& r) {
    IREventValues v;
    v.startMode = r.eventStartMode;
    v.drive = r.eventDrive;
    v.preEvent = r.preEventSeconds;
    v.postEvent = r.postEventSeconds;
    v.maxEvent = r.maxEventSeconds;
    v.triggerWindow = r.triggerWindow;
    v.totalVotes = r.totalVotes;
    DelayFromRecord(v.startMode, r.eventStartDelay, v.delayValue, v.delayUnit);
    v.start = StartFromRecord(v.startMode, r.eventStartTime);
    for (std::size_t k = 0; k < v.votes.size(); ++k) {
        v.votes[k] = r.channelVotes[k];
    }
    v.externalVote = r.externalVote;
    v.channels = ChannelsFromWord(r.eventChannels);
    Take(v);
}

void CIREventModel::Encode(link::InternalRecordingRecord& r) const {
    r.eventStartMode = static_cast<std::uint8_t>(edit.startMode);
    r.eventDrive = static_cast<std::uint8_t>(edit.drive);
    r.preEventSeconds = static_cast<std::uint16_t>(edit.preEvent);
    r.postEventSeconds = static_cast<std::uint16_t>(edit.postEvent);
    r.maxEventSeconds = edit.maxEvent;
    r.triggerWindow = static_cast<std::uint16_t>(edit.triggerWindow);
    r.totalVotes = static_cast<std::int16_t>(edit.totalVotes);
    r.eventStartDelay = DelayToRecord(edit.startMode, edit.delayValue, edit.delayUnit);
    r.eventStartTime = StartToRecord(edit.startMode, edit.start);
    for (std::size_t k = 0; k < edit.votes.size(); ++k) {
        r.channelVotes[k] = static_cast<std::int16_t>(edit.votes[k]);
    }
    r.externalVote = static_cast<std::int16_t>(edit.externalVote);
    r.eventChannels = ChannelsToWord(edit.channels);
}

} // namespace nereid::instrument
