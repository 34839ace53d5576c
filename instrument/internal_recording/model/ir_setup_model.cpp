#include "instrument/internal_recording/model/ir_setup_model.h"

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
    if (!m_SetupReceived) {
        message = kSetupNotReadText;
        return -1;
    }
    switch (activePage) {
    case kIRContinuousPage:
        continuous.CorrectForSend();
        break;
    case kIREventPage:
        event.CorrectForSend();
        break;
    case kIRWindowPage:
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
    case kIRStationPage:
        return station.Modified();
    case kIRContinuousPage:
        return continuous.Modified();
    case kIREventPage:
        return event.Modified();
    case kIRWindowPage:
        return window.Modified();
    case kIRSohPage:
        return soh.Modified();
    case kIRStatusPage:
        return status.Modified();
    default:
        return false;
    }
}

} // namespace nereid::instrument
