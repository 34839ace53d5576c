#include "instrument/internal_recording/model/ir_soh_model.h"

namespace nereid::instrument {

void CIRSohModel::Decode(const link::InternalRecordingRecord& r) {
    IRSohValues v;
    v.drive = r.sohDrive;
    for (std::size_t k = 0; k < kSohRows; ++k) {
        v.enabled[k] = (r.sohEnableBits >> k) & 1;
        v.intervals[k] = r.sohIntervals[k];
    }
    Take(v);
}

void CIRSohModel::Encode(link::InternalRecordingRecord& r) const {
    r.sohDrive = static_cast<std::uint8_t>(edit.drive);
    unsigned bits = 0;
    for (std::size_t k = 0; k < kSohRows; ++k) {
        bits |= (edit.enabled[k] ? 1u : 0u) << k;
        r.sohIntervals[k] = static_cast<std::uint16_t>(edit.intervals[k]);
    }
    r.sohEnableBits = static_cast<std::uint16_t>(bits);
}

} // namespace nereid::instrument
