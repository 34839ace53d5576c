#include "instrument/internal_recording/model/ir_status_model.h"

namespace nereid::instrument {

void CIRStatusModel::Decode(const link::InternalRecordingRecord& r) {
    Take(IRStatusValues{r.statusDrive});
}

void CIRStatusModel::Encode(link::InternalRecordingRecord& r) const {
    r.statusDrive = static_cast<std::uint8_t>(edit.drive);
}

} // namespace nereid::instrument
