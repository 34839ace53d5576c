#pragma once

#include <array>
#include <cstdint>

#include "instrument/internal_recording/model/ir_fields.h"
#include "instrument/internal_recording/model/ir_page_copies.h"
#include "link/command_records.h"

namespace nereid::instrument {

struct IREventValues {
    int startMode = kStartImmediate;
    int drive = 0;
    int preEvent = 0;           // s, 0..65535
    int postEvent = 1;          // s, 1..65535
    std::uint32_t maxEvent = 1; // s, at least 1
    int triggerWindow = 1;      // s, 1..65535
    int totalVotes = 0;         // -99..99
    IRDateTime start;
    int delayValue = 3600;
    int delayUnit = kIRSeconds;
    std::array<int, 6> votes{}; // channels 1..6, -10..10
    int externalVote = 0;       // "Ext.", -10..10
    IRChannels channels;
    bool operator==(const IREventValues&) const = default;
};

// The "Event" page.
class CIREventModel : public CIRPageCopies<IREventValues> {
public:
    void ChangeDelayUnit(int unit);
    void CorrectForSend();

    // The "Vote" lists hold "-10" .. "10": position = vote + 10.
    static int VotePosition(int vote) { return CorrectVote(vote) + 10; }

    void Decode(const link::InternalRecordingRecord& record);
    void Encode(link::InternalRecordingRecord& record) const;
};

} // namespace nereid::instrument
