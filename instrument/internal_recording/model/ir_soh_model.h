#pragma once

#include <array>

#include "instrument/internal_recording/model/ir_page_copies.h"
#include "link/command_records.h"

namespace nereid::instrument {

constexpr int kSohRows = 10;
// Row order of the enable bits and the sample intervals.
inline constexpr const char* kSohRowNames[kSohRows] = {
    "Spare Input", "CPU Temp",   "Vpp Supply",  "-15V Supply",  "+15V Supply",
    "-5V Supply",  "+5V Supply", "Ext. Supply", "Event Supply", "Exp. Temp"};

struct IRSohValues {
    int drive = 0;
    std::array<bool, kSohRows> enabled{};
    std::array<int, kSohRows> intervals{}; // s, 1..99 on the spin buttons
    bool operator==(const IRSohValues&) const = default;
};

// The "State of Health" page.
class CIRSohModel : public CIRPageCopies<IRSohValues> {
public:
    void Decode(const link::InternalRecordingRecord& record);
    void Encode(link::InternalRecordingRecord& record) const;
};

} // namespace nereid::instrument
