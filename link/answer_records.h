#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "link/command_records.h"

// Decoded answers of the recorder. Offsets in the comments are payload offsets of the answer
// (after the type byte, after unescaping); every answer starts with the header word at 0..1
// and the status byte at 2, which FrameRecord holds for all types. Fields missing from a
// frame shorter than its layout decode as 0.
namespace nereid::link {

// Types 0x20..0x4F: the plain acknowledgement of command (type + 0x60).
struct PlainAck {
    std::array<std::uint8_t, 3> bytes{}; // the 3 payload bytes: header word, status byte
};

// 'P' 0x50, answer to 0xB0, 32 bytes. The header word is the recorder's serial number.
struct HardwareStatus {
    std::uint8_t dspFound = 0;            // 3
    std::uint8_t expansionEnabled = 0;    // 4
    std::uint8_t pcmciaController = 0;    // 5
    std::uint8_t pcCardSlot1 = 0;         // 6
    std::uint8_t pcCardSlot2 = 0;         // 7
    std::uint8_t pcCardInternal = 0;      // 8
    std::uint8_t scsiController = 0;      // 9
    std::uint8_t scsiDriveInBay = 0;      // 10
    std::uint8_t adc0Found = 0;           // 11
    std::uint8_t adc0PbFound = 0;         // 12
    std::uint8_t adc1Found = 0;           // 13
    std::uint8_t adc1PbFound = 0;         // 14
    std::uint8_t externalBusEnabled = 0;  // 15
    std::uint8_t calibratorFound = 0;     // 16
    std::uint8_t modemLocalPort = 0;      // 17
    std::uint8_t modemMainPort = 0;       // 18
    std::uint8_t modemSlot1 = 0;          // 19
    std::uint8_t modemSlot2 = 0;          // 20
    std::uint8_t modemInternal = 0;       // 21
    std::uint8_t modelCode = 0;           // 22
    std::array<std::uint8_t, 7> unused{}; // 23..29
    std::uint8_t softwareMajor = 0;       // 30
    std::uint8_t softwareMinor = 0;       // 31
};

// 'Q' 0x51, answer to 0xB1, 35 bytes: sixteen u16 at 3..34 (Spare, CPU Temp, Vpp, -15V,
// +15V, -5V, +5V, Ext. Supply, Event Input, Exp. Temp, Case Enclosure, SOH 11..15).
struct StateOfHealth {
    std::array<std::uint16_t, 16> words{};
};

// 'S' 0x53, answer to 0xB3: 26, 34 or 36 bytes (FrameRecord::payload.size() tells which).
struct CalibrationSettings {
    std::uint8_t signalCode = 0;            // 3
    std::uint8_t runIndex = 0;              // 4
    std::uint8_t active = 0;                // 5
    std::uint32_t channelModeWord = 0;      // 6..9
    std::uint32_t startTime = 0;            // 10..13
    std::uint16_t duration = 0;             // 14..15
    std::uint32_t interval = 0;             // 16..19
    std::uint16_t repetitions = 0;          // 20..21
    std::int16_t amplitudeMv = 0;           // 22..23
    std::uint16_t frequencyTenths = 0;      // 24..25
    std::int32_t amplitudeTenthMv = 0;      // 26..29, 34/36-byte forms
    std::uint32_t frequencyThousandths = 0; // 30..33, 34/36-byte forms
    std::uint8_t dampingDisable = 0;        // 34, 36-byte form
    std::uint8_t controlMode = 0;           // 35, 36-byte form
};

// 'T' 0x54, answer to 0xB4, 40 bytes.
struct GpsInformation {
    std::uint8_t syncMode = 0;          // 3
    std::uint8_t clockStatus = 0;       // 4
    std::int32_t difference = 0;        // 5..8
    std::uint8_t extInput = 0;          // 9
    std::uint8_t power = 0;             // 10
    std::uint8_t lock = 0;              // 11
    std::uint8_t error = 0;             // 12
    std::uint8_t source = 0;            // 13
    std::uint8_t age = 0;               // 14
    std::int32_t altitude = 0;          // 15..18
    std::int16_t verticalVelocity = 0;  // 19..20
    std::int16_t latitudeDegrees = 0;   // 21..22
    std::int32_t latitudeFraction = 0;  // 23..26, 0.00001 degree
    std::int16_t longitudeDegrees = 0;  // 27..28
    std::int32_t longitudeFraction = 0; // 29..32, 0.00001 degree
    std::int16_t speed = 0;             // 33..34
    std::int16_t heading = 0;           // 35..36
    std::uint8_t utcOffset = 0;         // 37
    std::uint8_t utcValid = 0;          // 38
    std::uint8_t usableSv = 0;          // 39
};

// One drive of the 'W' answer, 24 bytes at 3 + 24i.
struct DriveRecord {
    std::uint8_t installed = 0;         // +0, 1 = installed
    std::uint8_t driveType = 0;         // +1
    std::array<char, 12> volumeLabel{}; // +2..13, NUL-padded, not NUL-terminated
    std::uint32_t serialNumber = 0;     // +14..17
    std::uint32_t freeSpace = 0;        // +18..21, bytes
    std::uint16_t unused = 0;           // +22..23
};

// 'W' 0x57, answer to 0xB7, 123 bytes: drives A..E.
struct DriveStatus {
    std::array<DriveRecord, 5> drives{};
};

// One entry of a directory listing, 23 bytes at 5 + 23i.
struct DirectoryEntry {
    std::uint8_t valid = 0;          // +0, 1 = present; another value ends the list
    std::array<char, 9> baseName{};  // +1..9, space-padded
    std::array<char, 4> extension{}; // +10..13, space-padded
    std::uint8_t attributes = 0;     // +14: 0x10 directory, 0x20 file
    std::uint16_t dosTime = 0;       // +15..16
    std::uint16_t dosDate = 0;       // +17..18
    std::uint32_t size = 0;          // +19..22, bytes
};

// 'X' 0x58, answer to 0xB8, 189 bytes. The status byte is the listing state: 0 refused,
// 1 last frame, 2 more frames follow.
struct DirectoryListing {
    std::uint16_t sequence = 0; // 3..4, 1 for the first frame
    std::array<DirectoryEntry, 8> entries{};
};

// 'Y' 0x59, answer to 0xB9, 7 + N bytes. The status byte is the block state: 0 refused,
// 1 last block, 2 more blocks follow.
constexpr std::size_t kFileDataRoom = 1024;
struct FileData {
    std::uint16_t sequence = 0;        // 3..4, 1 for the first block
    std::uint16_t announcedLength = 0; // 5..6, N as the recorder sent it
    // Data bytes actually delivered: N, but never more than were received (payload length
    // minus 7) nor more than kFileDataRoom.
    std::uint16_t dataLength = 0;
    std::array<std::uint8_t, kFileDataRoom> data{}; // 7 .. 6+N
};

// '[' 0x5B, answer to 0xBB, 20 bytes.
struct DampingSettings {
    std::uint8_t enableMask = 0;          // 3, bit k-1 = channel k
    std::array<std::uint16_t, 8> scale{}; // 4..19, channel 1 first
};

// What ReadFrame delivers. `type` is the actual frame type. `payload` holds the raw
// unescaped payload without the CRC; its capacity is kept between frames, so a record that
// is reused (and reserved once to the decode buffer size) allocates nothing per frame. For
// data frames (types 0..19) `decoded` stays monostate and `payload` is the record; for
// letter types with status 0 (result -1) `decoded` is monostate as well.
struct FrameRecord {
    std::uint8_t type = 0;
    std::uint16_t header = 0; // payload 0..1
    std::uint8_t status = 0;  // payload 2
    std::vector<std::uint8_t> payload;
    std::variant<std::monostate, PlainAck, HardwareStatus, StateOfHealth, ConfigurationRecord,
                 CalibrationSettings, GpsInformation, InternalRecordingRecord, DriveStatus,
                 DirectoryListing, FileData, DampingSettings>
        decoded;
};

constexpr std::uint8_t kHardwareStatusType = 'P';
constexpr std::uint8_t kStateOfHealthType = 'Q';
constexpr std::uint8_t kConfigurationType = 'R';
constexpr std::uint8_t kCalibrationSettingsType = 'S';
constexpr std::uint8_t kGpsInformationType = 'T';
constexpr std::uint8_t kInternalRecordingType = 'U';
constexpr std::uint8_t kDriveStatusType = 'W';
constexpr std::uint8_t kDirectoryListingType = 'X';
constexpr std::uint8_t kFileDataType = 'Y';
constexpr std::uint8_t kDampingSettingsType = '[';

// Highest type of a real-time data frame, and of the small types (20, 21) after it.
constexpr std::uint8_t kLastDataType = 19;
constexpr std::uint8_t kLastSmallType = 21;
// The type the receiver thread asks for; any type 0..21 matches it.
constexpr std::uint8_t kReceiverExpectedType = 16;

// True for the answer types the PC can decode: 0x20..0x4F and P Q R S T U W X Y [.
bool IsDecodableAnswerType(std::uint8_t type);

// Decodes the fields of an answer of a decodable type into record.decoded; header and status
// are taken from the payload as well. Returns 1, or 0 when the type is not decodable.
int DecodeAnswer(std::uint8_t type, const std::uint8_t* payload, std::size_t length,
                 FrameRecord& record);

} // namespace nereid::link
