#include "instrument/ir_setup_model.h"

namespace nereid::instrument {

void CIRSetupModel::Decode(const link::InternalRecordingRecord& record) {
    station.Decode(record);
    continuous.Decode(record);
    event.Decode(record);
    window.Decode(record);
    soh.Decode(record);
    status.Decode(record);
    m_SetupReceived = true;
}

link::InternalRecordingRecord CIRSetupModel::Encode() const {
    link::InternalRecordingRecord record;
    station.Encode(record);
    continuous.Encode(record);
    event.Encode(record);
    window.Encode(record);
    soh.Encode(record);
    status.Encode(record);
    record.reserved = 0;
    return record;
}

int CIRSetupModel::PrepareSend(int activePage, std::string& message) {
    switch (activePage) {
    case kContinuousPage:
        continuous.CorrectForSend();
        break;
    case kEventPage:
        event.CorrectForSend();
        break;
    case kWindowPage:
        return window.ValidateCurrent(message);
    default:
        break;
    }
    return 1;
}

bool CIRSetupModel::PageModified(int page) const {
    if (!m_SetupReceived) {
        return false;
    }
    switch (page) {
    case kStationPage:
        return station.Modified();
    case kContinuousPage:
        return continuous.Modified();
    case kEventPage:
        return event.Modified();
    case kWindowPage:
        return window.Modified();
    case kSohPage:
        return soh.Modified();
    case kStatusPage:
        return status.Modified();
    default:
        return false;
    }
}

} // namespace nereid::instrument
