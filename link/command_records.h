#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>

// Parameter records of the PC's commands. Each struct lists every field of its payload in wire
// order with the payload offset (bytes after the code byte, header word at 0..1) in the
// comment; the builder packs them little-endian. ConfigurationRecord and
// InternalRecordingRecord are also what the answers 'R' and 'U' decode into.
namespace nereid::link {

// Commands whose payload is the header word alone: 0x80..0x85 (resets, power off, flush,
// acquisition start and stop), 0x91 (abort file transfer) and the queries 0xB0, 0xB1, 0xB2,
// 0xB4, 0xB5, 0xB7, 0xBB. Represented by std::monostate in CommandRecord::params.

// hdr; 2 u8. 0x87 Vpp (1 on, 0 off), 0x88 LED (1 on, 0 off), 0x8D cancel calibration run (run
// selector: 0xFF immediate, 0..31 scheduled), 0x93 power down drive (1 B, 2 C, 3 D),
// 0x94 real-time data to PC (0 stop, 1 start), 0x95 ADC offset calibration (0xFF),
// 0x98 damping enable mask, 0xB3 get calibration run settings (run selector as 0x8D).
struct ByteCommand {
    std::uint8_t value = 0; // 2
};

// 0x86 relays: two bits per channel c (1..16) at bits 2(c-1), 2(c-1)+1; 0 off, 1 "Sig",
// 2 "L.B.", 3 "Short".
struct RelayCommand {
    std::uint32_t relayWord = 0; // 2..5
};

// 0x8B set recorder clock.
struct ClockSetCommand {
    std::uint32_t seconds = 0; // 2..5, seconds since 1970-01-01 00:00:00
    std::uint8_t jamSet = 0;   // 6
};

// Trigger record of one channel (model code 17), 14 bytes.
struct TriggerRecord {
    std::uint8_t mode = 0;            // +0: 0 NONE, 1 LEVEL, 2 STA/LTA
    std::uint16_t highPassCorner = 0; // +1..2, Hz x 100
    std::uint16_t lowPassCorner = 0;  // +3..4, Hz x 100
    std::uint16_t levelOrStaTime = 0; // +5..6, LEVEL: % full scale x 100, else STA time, s
    std::uint16_t ltaTime = 0;        // +7..8, s
    std::uint16_t triggerRatio = 0;   // +9..10, x 100
    std::uint16_t detriggerRatio = 0; // +11..12, x 100
    std::uint8_t updatingLta = 0;     // +13: 1 on, 0 off
};

// 0x89 set configuration; the 'R' answer to 0xB2 decodes into the same record (its wire
// offsets from 2 on lie one byte later). 152 payload bytes with model code 17, else the
// first 58 (up to and including authGenerationMask).
struct ConfigurationRecord {
    // Port words of Local, Main, PC slot 0/1, PC slot 1/2, PC slot 2/internal.
    std::array<std::uint16_t, 5> portWords{};    // 2..11
    std::uint16_t channelEnableMask = 0;         // 12..13, bit c-1 = channel c
    std::array<std::uint8_t, 16> rateCodes{};    // 14..29, channel c at 13 + c
    std::uint8_t syncMode = 0;                   // 30: 0 none, 1 ext. 1pps, 2 GPS
    std::uint32_t gpsCycleTime = 0;              // 31..34, s
    std::uint32_t minimumCorrection = 0;         // 35..38, us
    std::uint16_t jamSetThreshold = 0;           // 39..40, ms
    std::uint32_t driftCompensation = 0;         // 41..44, us/day
    std::uint8_t sohFrameEnables = 0;            // 45: bit 0 Local, bit 1 Main
    std::uint16_t authFrameMaskLocal = 0;        // 46..47
    std::uint16_t authFrameMaskMain = 0;         // 48..49
    std::array<std::uint16_t, 3> reserved{};     // 50..55, always 0
    std::uint16_t authGenerationMask = 0;        // 56..57
    std::array<std::uint16_t, 5> channelWords{}; // 58..67, model code 17 only
    std::array<TriggerRecord, 6> triggers{};     // 68..151, channels 1..6, model code 17 only
};

// 0x8C set up a calibration run: 24 bytes, or 34 when the link's long calibration answer
// flag is set (the last four fields are sent only then).
struct CalibrationSetupRecord {
    std::uint8_t signalCode = 0;            // 2
    std::uint8_t runIndex = 0;              // 3, scheduled 0..31
    std::uint32_t channelModeWord = 0;      // 4..7, 2 bits per channel in the low 16 bits
    std::uint32_t startTime = 0;            // 8..11, scheduled: seconds since 1970
    std::uint16_t duration = 0;             // 12..13, s
    std::uint32_t interval = 0;             // 14..17, scheduled: s
    std::uint16_t repetitions = 0;          // 18..19, scheduled
    std::int16_t amplitudeMv = 0;           // 20..21, mV
    std::uint16_t frequencyTenths = 0;      // 22..23, 0.1 Hz or 0.1 s
    std::int32_t amplitudeTenthMv = 0;      // 24..27, long form: 0.1 mV
    std::uint32_t frequencyThousandths = 0; // 28..31, long form
    std::uint8_t dampingDisable = 0;        // 32, long form: bit c-1 = channel c (1..6)
    std::uint8_t controlMode = 0;           // 33, long form: 0 normal, 1 digital
};

// One timed recording window of the internal recording setup, 24 bytes.
struct RecordingWindow {
    std::uint8_t enabled = 0;         // +0: 1 or 0
    std::uint8_t mode = 0;            // +1: 0 continuous, 1 event
    std::uint32_t startTime = 0;      // +2..5, seconds since 1970
    std::uint32_t duration = 0;       // +6..9, s
    std::uint32_t interval = 0;       // +10..13, s
    std::uint32_t repetitions = 0;    // +14..17, at least 1
    std::uint32_t maxFileSeconds = 0; // +18..21, s
    std::uint16_t channelBits = 0;    // +22..23, primary 1..6 in bits 0..5, secondary in 8..13
};

// 0x8F set internal recording setup, 473 bytes; the 'U' answer to 0xB5 decodes into the same
// record (its wire offsets from 2 on lie one byte later). Drives are indices 0..4.
struct InternalRecordingRecord {
    std::uint8_t continuousStartMode = 0;         // 2: 0 disabled, 1 immediate, 2 delayed, 3 time
    std::uint8_t continuousDrive = 0;             // 3
    std::uint8_t flushAtStartup = 0;              // 4
    std::uint8_t bufferFullMode = 0;              // 5: 0 ring, 1 stop when full, 2 fill disks
    std::uint32_t fileSizeSeconds = 0;            // 6..9
    std::uint16_t maxSpaceMb = 0;                 // 10..11
    std::uint16_t continuousStartDelay = 0;       // 12..13, s
    std::uint32_t continuousStartTime = 0;        // 14..17
    std::uint16_t continuousChannels = 0;         // 18..19, channel-bit word
    std::uint8_t eventStartMode = 0;              // 20: as continuous, 4 window control
    std::uint8_t eventDrive = 0;                  // 21
    std::uint16_t preEventSeconds = 0;            // 22..23
    std::uint16_t postEventSeconds = 0;           // 24..25
    std::uint32_t maxEventSeconds = 0;            // 26..29
    std::uint16_t triggerWindow = 0;              // 30..31, s
    std::int16_t totalVotes = 0;                  // 32..33, -99..99
    std::uint16_t eventStartDelay = 0;            // 34..35, s
    std::uint32_t eventStartTime = 0;             // 36..39
    std::array<std::int16_t, 6> channelVotes{};   // 40..51, channels 1..6, -10..10
    std::int16_t externalVote = 0;                // 52..53
    std::uint16_t eventChannels = 0;              // 54..55, channel-bit word
    std::array<RecordingWindow, 16> windows{};    // 56..439
    std::uint8_t windowDrive = 0;                 // 440
    std::uint16_t sohEnableBits = 0;              // 441..442
    std::array<std::uint16_t, 10> sohIntervals{}; // 443..462, s
    std::uint8_t sohDrive = 0;                    // 463
    std::uint32_t reserved = 0;                   // 464..467
    std::uint8_t statusDrive = 0;                 // 468
    std::array<char, 4> stationName{' ', ' ', ' ', ' '}; // 469..472, space-padded
};

// 0x92 delete a file and 0xB8 list a directory: hdr; 2..3 u16 N; 4..3+N text; 4+N byte 0.
// N is text.size(); the text is sent as it is.
struct TextCommand {
    std::string text;
};

// 0xB9 read a file: hdr; 2..3 u16 block size; 4..5 u16 N; 6..5+N path; 6+N byte 0.
struct FileReadCommand {
    std::uint16_t blockSize = 600;
    std::string path;
};

// 0x97 set damping scale values: hdr; 2..17 eight u16, channel 1 first.
struct DampingValuesCommand {
    std::array<std::uint16_t, 8> scale{};
};

// 0x9B set damping enables and values: hdr; 2 u8 enable mask; 3..18 eight u16.
struct DampingCommand {
    std::uint8_t enableMask = 0;
    std::array<std::uint16_t, 8> scale{};
};

// The parameter record of SendCommand. The header word is always 0 from this program.
// The builder refuses (-4) a record whose params alternative does not fit the code, except
// that any record serves a header-only command.
struct CommandRecord {
    std::uint16_t header = 0;
    std::variant<std::monostate, ByteCommand, RelayCommand, ClockSetCommand, ConfigurationRecord,
                 CalibrationSetupRecord, InternalRecordingRecord, TextCommand, FileReadCommand,
                 DampingValuesCommand, DampingCommand>
        params;
};

} // namespace nereid::link
