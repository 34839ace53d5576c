#pragma once

#include "instrument/internal_recording/model/ir_page_copies.h"
#include "link/command_records.h"

namespace nereid::instrument {

struct IRStatusValues {
    int drive = 0;
    bool operator==(const IRStatusValues&) const = default;
};

// The "Status" page: one further storage drive setting.
class CIRStatusModel : public CIRPageCopies<IRStatusValues> {
public:
    void Decode(const link::InternalRecordingRecord& record);
    void Encode(link::InternalRecordingRecord& record) const;
};

} // namespace nereid::instrument
