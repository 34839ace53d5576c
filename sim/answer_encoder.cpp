#include "sim/answer_encoder.h"

#include "sim/byte_order.h"

#include <algorithm>
#include <cstring>

namespace nereid::sim {

namespace {

std::vector<std::uint8_t> Start(std::size_t length, std::uint16_t header) {
    std::vector<std::uint8_t> p(length, 0);
    PutU16(p.data(), header);
    p[2] = 1;
    return p;
}

void PutText(std::uint8_t* p, const std::string& text, std::size_t width, char pad) {
    std::memset(p, pad, width);
    std::memcpy(p, text.data(), std::min(text.size(), width));
}

} // namespace

std::vector<std::uint8_t> AnswerEncoder::Status(std::uint16_t header, bool accepted) {
    auto p = Start(3, header);
    p[2] = accepted ? 1 : 0;
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Hardware(const InstrumentState& s,
                                                  const DriveStore& drives) {
    const auto& id = s.Identity();
    auto p = Start(32, id.serial);
    p[3] = 1;                          // DSP
    p[4] = 1;                          // expansion
    p[5] = 1;                          // PCMCIA controller
    p[6] = drives.Present(1) ? 1 : 0;  // card in slot 1: drive B
    p[7] = drives.Present(2) ? 1 : 0;  // card in slot 2: drive C
    p[8] = drives.Present(4) ? 1 : 0;  // internal card: drive E
    p[9] = 1;                          // SCSI controller
    p[10] = drives.Present(3) ? 1 : 0; // SCSI drive in bay: drive D
    // The PC derives the stream count from these three: 1,0,0 one; 1,1,1 six; else three.
    p[11] = 1;
    p[12] = id.streams >= 3 ? 1 : 0;
    p[13] = id.streams >= 6 ? 1 : 0;
    p[14] = id.streams >= 6 ? 1 : 0;
    p[15] = 0;
    p[16] = 1; // calibrator
    p[17] = id.modemOnLocalPort ? 1 : 0;
    p[22] = id.model;
    p[30] = 2; // software version 02.05
    p[31] = 5;
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Health(const InstrumentState& s, std::uint32_t second) {
    auto p = Start(35, s.Identity().serial);
    const int wobble = static_cast<int>(second % 7) - 3; // a few counts of drift
    const int counts[11] = {
        2048 + wobble,                            // spare input, about 0 V
        2457 + wobble,                            // CPU temperature, about 25 C
        s.vpp ? 1946 + wobble : 3,                // Vpp supply, 12 V when on
        2457 + wobble,                            // -15 V
        2433 + wobble,                            // +15 V
        2729 + wobble,                            // -5 V
        2729 + wobble,                            // +5 V
        2027 + wobble,                            // external supply, 12.5 V
        0,                                        // event input open
        50 + static_cast<int>((second / 60) % 3), // expansion temperature, 25..26 C
        1,                                        // case closed
    };
    for (int k = 0; k < 11; ++k)
        PutU16(&p[static_cast<std::size_t>(3 + 2 * k)], static_cast<std::uint16_t>(counts[k]));
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Configuration(const InstrumentState& s) {
    const std::size_t length = s.ConfigCommandLength();
    auto p = Start(length + 1, s.Identity().serial);
    std::copy(s.Config().begin() + 2, s.Config().begin() + static_cast<std::ptrdiff_t>(length),
              p.begin() + 3);
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Calibration(const InstrumentState& s,
                                                     const CalibrationRun& r) {
    const int format = s.Identity().calFormat;
    auto p = Start(static_cast<std::size_t>(format), s.Identity().serial);
    p[3] = r.signal;
    p[4] = r.index;
    p[5] = r.active ? 1 : 0;
    PutU32(&p[6], r.modeWord);
    PutU32(&p[10], r.startTime);
    PutU16(&p[14], r.duration);
    PutU32(&p[16], r.interval);
    PutU16(&p[20], r.repetitions);
    PutU16(&p[22], static_cast<std::uint16_t>(r.amplitudeMv));
    PutU16(&p[24], r.frequencyTenths);
    if (format >= 34) {
        PutU32(&p[26], static_cast<std::uint32_t>(r.amplitudeTenthMv));
        PutU32(&p[30], r.frequencyMilli);
    }
    if (format >= 36) {
        p[34] = r.dampingDisable;
        p[35] = r.controlMode;
    }
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Gps(const InstrumentState& s, std::uint32_t second) {
    auto p = Start(40, s.Identity().serial);
    p[3] = s.Config()[30]; // sync mode as configured
    p[4] = 1;              // locked
    PutU32(&p[5], static_cast<std::uint32_t>(static_cast<int>(second % 11) - 5)); // us
    p[9] = 0;                         // no external input
    p[10] = 1;                        // GPS power on
    p[11] = 1;                        // locked
    p[12] = 0;                        // no error
    p[13] = 1;                        // 3D fix
    p[14] = 2;                        // new
    PutU32(&p[15], 120 + second % 3); // altitude, m
    PutU16(&p[19], 0);                // vertical velocity
    PutU16(&p[21], 12);               // latitude 12.34567
    PutU32(&p[23], 34567);
    PutU16(&p[27], static_cast<std::uint16_t>(-33)); // longitude -33.51234
    PutU32(&p[29], static_cast<std::uint32_t>(-51234));
    PutU16(&p[33], 0);                                 // speed
    PutU16(&p[35], 0);                                 // heading
    p[37] = 18;                                        // UTC offset, s
    p[38] = 1;                                         // valid
    p[39] = static_cast<std::uint8_t>(6 + second % 4); // usable satellites
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::RecordingSetup(const InstrumentState& s) {
    auto p = Start(InstrumentState::kSetupBytes + 1, s.Identity().serial);
    std::copy(s.Setup().begin() + 2, s.Setup().end(), p.begin() + 3);
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::DriveStatus(const InstrumentState& s,
                                                     const DriveStore& drives) {
    auto p = Start(123, s.Identity().serial);
    static constexpr std::uint8_t kTypes[5] = {0, 1, 2, 3, 1}; // RAM, flash, ATA, SCSI, flash
    constexpr std::uint64_t kCapacity = 256ull * 1000 * 1000;  // bytes per simulated drive
    for (int i = 0; i < DriveStore::kDrives; ++i) {
        std::uint8_t* r = &p[static_cast<std::size_t>(3 + 24 * i)];
        if (!drives.Present(i))
            continue;
        r[0] = 1;
        r[1] = kTypes[i];
        PutText(r + 2, std::string("NEREID_") + static_cast<char>('A' + i), 12, '\0');
        PutU32(r + 14, 0x1A2B00FFu + static_cast<std::uint32_t>(i));
        const std::uint64_t used = drives.UsedBytes(i);
        PutU32(r + 18, static_cast<std::uint32_t>(used >= kCapacity ? 0 : kCapacity - used));
        PutU16(r + 22, s.poweredDownDrive == i ? 0 : 1);
    }
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Damping(const InstrumentState& s) {
    auto p = Start(20, s.Identity().serial);
    p[3] = s.dampingMask;
    for (int k = 0; k < 8; ++k)
        PutU16(&p[static_cast<std::size_t>(4 + 2 * k)],
               s.dampingValues[static_cast<std::size_t>(k)]);
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::Listing(std::uint16_t header, std::uint8_t state,
                                                 std::uint16_t sequence,
                                                 std::span<const DriveEntry> entries) {
    auto p = Start(kListingBytes, header);
    p[2] = state;
    PutU16(&p[3], sequence);
    const std::size_t n = std::min(entries.size(), kEntriesPerListing);
    for (std::size_t i = 0; i < n; ++i) {
        const DriveEntry& e = entries[i];
        std::uint8_t* r = &p[5 + kEntryBytes * i];
        r[0] = 1;
        PutText(r + 1, e.base, 9, ' ');
        PutText(r + 10, e.extension, 4, ' ');
        r[14] = e.directory ? 0x10 : 0x20;
        PutU16(r + 15, e.dosTime);
        PutU16(r + 17, e.dosDate);
        PutU32(r + 19, e.size);
    }
    return p;
}

std::vector<std::uint8_t> AnswerEncoder::FileData(std::uint16_t header, std::uint8_t state,
                                                  std::uint16_t sequence,
                                                  std::span<const std::uint8_t> data) {
    auto p = Start(7 + data.size(), header);
    p[2] = state;
    PutU16(&p[3], sequence);
    PutU16(&p[5], static_cast<std::uint16_t>(data.size()));
    std::copy(data.begin(), data.end(), p.begin() + 7);
    return p;
}

} // namespace nereid::sim
