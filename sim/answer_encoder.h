#pragma once

#include "sim/drive_store.h"
#include "sim/instrument_state.h"

#include <cstdint>
#include <span>
#include <vector>

namespace nereid::sim {

// Answer payloads written field by field at their byte offsets. Every payload starts with the
// header word (the recorder's serial number) and the status byte (0 refused, else accepted).
class AnswerEncoder {
public:
    static constexpr std::size_t kListingBytes = 189;
    static constexpr std::size_t kEntriesPerListing = 8;
    static constexpr std::size_t kEntryBytes = 23;

    // Plain acknowledgement of an order (types 0x20..0x4F) or a refusal of a query: 3 bytes.
    static std::vector<std::uint8_t> Status(std::uint16_t header, bool accepted);
    // 'P', 32 bytes. Slot and bay flags follow the drives present.
    static std::vector<std::uint8_t> Hardware(const InstrumentState& s, const DriveStore& drives);
    // 'Q', 35 bytes: readings that drift a little with the recorder second.
    static std::vector<std::uint8_t> Health(const InstrumentState& s, std::uint32_t second);
    // 'R': 153 bytes for model 17, else 59 (the 58-byte configuration with the status byte).
    static std::vector<std::uint8_t> Configuration(const InstrumentState& s);
    // 'S': 26, 34 or 36 bytes by the identity's calibration format.
    static std::vector<std::uint8_t> Calibration(const InstrumentState& s, const CalibrationRun& r);
    // 'T', 40 bytes.
    static std::vector<std::uint8_t> Gps(const InstrumentState& s, std::uint32_t second);
    // 'U', 474 bytes.
    static std::vector<std::uint8_t> RecordingSetup(const InstrumentState& s);
    // 'W', 123 bytes.
    static std::vector<std::uint8_t> DriveStatus(const InstrumentState& s,
                                                 const DriveStore& drives);
    // '[', 20 bytes.
    static std::vector<std::uint8_t> Damping(const InstrumentState& s);
    // 'X', 189 bytes: state 2 (more follow) or 1 (last), up to eight entries.
    static std::vector<std::uint8_t> Listing(std::uint16_t header, std::uint8_t state,
                                             std::uint16_t sequence,
                                             std::span<const DriveEntry> entries);
    // 'Y', 7 + N bytes.
    static std::vector<std::uint8_t> FileData(std::uint16_t header, std::uint8_t state,
                                              std::uint16_t sequence,
                                              std::span<const std::uint8_t> data);
};

} // namespace nereid::sim
