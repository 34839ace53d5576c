#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/command_records.h"

namespace nereid::link {

// Model code whose recorder takes the 152-byte configuration command.
constexpr std::uint8_t kSixChannelModel = 17;

// Packs command payloads and frames them. Holds its scratch payload so that building a
// command allocates nothing once the largest payload has been seen.
class CCommandBuilder {
public:
    CCommandBuilder();

    // True for the codes this program sends; every other code is refused with -4.
    static bool IsSendable(std::uint8_t code);

    // The payload length of a command of fixed layout for the given model code and long
    // calibration answer flag; for the text commands 0x92/0xB8 (5 + N) and 0xB9 (7 + N) the
    // length without the text. Returns -4 for a refused code.
    static int PayloadLength(std::uint8_t code, std::uint8_t modelCode, bool longCalibration);

    // Packs the payload of `code` from `record` into `payload` (replacing its content).
    // Returns 1, or -4 when the code is refused, when the record's params do not fit the code,
    // or when a text is longer than 65535 bytes.
    static int PackPayload(std::uint8_t code, const CommandRecord& record, std::uint8_t modelCode,
                           bool longCalibration, std::vector<std::uint8_t>& payload);

    // Builds the escaped frame of `code` into out[0 .. capacity), capacity at most 1024.
    // Returns the frame length (> 0), or -4 when the code or record is refused or the escaped
    // frame would not fit; on -4 nothing meaningful is in out.
    int Build(std::uint8_t code, const CommandRecord& record, std::uint8_t modelCode,
              bool longCalibration, std::uint8_t* out, std::size_t capacity);

    // The unescaped payload packed by the last Build (also when the frame then did not fit).
    const std::vector<std::uint8_t>& Payload() const { return m_Payload; }

private:
    std::vector<std::uint8_t> m_Payload;
};

} // namespace nereid::link
