#pragma once

#include <cstdint>

#include "instrument/internal_recording/model/ir_fields.h"
#include "instrument/internal_recording/model/ir_page_copies.h"
#include "link/command_records.h"

namespace nereid::instrument {

struct IRContinuousValues {
    int startMode = kStartImmediate;
    int drive = 0; // drive index 0..4
    bool flush = false;
    int bufferFullMode = 0; // "Ring Buffer", "Stop When Full", "Fill Disks"
    // Kept in seconds, so that a size the list cannot show (1200 s shows "30") goes back to
    // the recorder unchanged unless the operator picks another entry.
    std::uint32_t fileSizeSeconds = 3600;
    int maxSpace = 1; // MB
    IRDateTime start;
    int delayValue = 3600;
    int delayUnit = kIRSeconds;
    IRChannels channels;
    bool operator==(const IRContinuousValues&) const = default;
};

inline constexpr const char* kBufferFullNames[] = {"Ring Buffer", "Stop When Full", "Fill Disks"};

// The "Continuous" page.
class CIRContinuousModel : public CIRPageCopies<IRContinuousValues> {
public:
    int FileSizePosition() const;
    void SetFileSizePosition(int position);
    void ChangeDelayUnit(int unit);
    // The start-delay seconds the record carries (0 unless "Delayed").
    std::uint16_t DelaySeconds() const;

    // Before a Send: in "Start Time" mode the day is made valid for the month.
    void CorrectForSend();

    void Decode(const link::InternalRecordingRecord& record);
    void Encode(link::InternalRecordingRecord& record) const;
};

// Shared by the continuous and event pages: the delay and start time a record carries for a
// start mode, and what the page shows of them.
std::uint16_t DelayToRecord(int startMode, int value, int unit);
std::uint32_t StartToRecord(int startMode, const IRDateTime& start);
void DelayFromRecord(int startMode, std::uint16_t seconds, int& value, int& unit);
IRDateTime StartFromRecord(int startMode, std::uint32_t seconds);

} // namespace nereid::instrument
