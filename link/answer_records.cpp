#include "link/answer_records.h"

#include <algorithm>
#include <cstring>

namespace nereid::link {

namespace {

// Little-endian reads bounded by the received length: bytes beyond it read as 0, so a short
// frame can never make a decoder read outside the payload.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t length) : m_Data(data), m_Length(length) {}

    std::uint8_t U8(std::size_t at) const { return at < m_Length ? m_Data[at] : 0; }
    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>(U8(at) | (U8(at + 1) << 8));
    }
    std::uint32_t U32(std::size_t at) const {
        return static_cast<std::uint32_t>(U16(at)) |
               (static_cast<std::uint32_t>(U16(at + 2)) << 16);
    }
    std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
    template <std::size_t N> void Chars(std::size_t at, std::array<char, N>& out) const {
        for (std::size_t i = 0; i < N; ++i) {
            out[i] = static_cast<char>(U8(at + i));
        }
    }
    std::size_t Length() const { return m_Length; }
    const std::uint8_t* Data() const { return m_Data; }

private:
    const std::uint8_t* m_Data;
    std::size_t m_Length;
};

HardwareStatus DecodeHardware(const Reader& r) {
    HardwareStatus h;
    h.dspFound = r.U8(3);
    h.expansionEnabled = r.U8(4);
    h.pcmciaController = r.U8(5);
    h.pcCardSlot1 = r.U8(6);
    h.pcCardSlot2 = r.U8(7);
    h.pcCardInternal = r.U8(8);
    h.scsiController = r.U8(9);
    h.scsiDriveInBay = r.U8(10);
    h.adc0Found = r.U8(11);
    h.adc0PbFound = r.U8(12);
    h.adc1Found = r.U8(13);
    h.adc1PbFound = r.U8(14);
    h.externalBusEnabled = r.U8(15);
    h.calibratorFound = r.U8(16);
    h.modemLocalPort = r.U8(17);
    h.modemMainPort = r.U8(18);
    h.modemSlot1 = r.U8(19);
    h.modemSlot2 = r.U8(20);
    h.modemInternal = r.U8(21);
    h.modelCode = r.U8(22);
    for (std::size_t i = 0; i < h.unused.size(); ++i) {
        h.unused[i] = r.U8(23 + i);
    }
    h.softwareMajor = r.U8(30);
    h.softwareMinor = r.U8(31);
    return h;
}

StateOfHealth DecodeHealth(const Reader& r) {
    StateOfHealth s;
    for (std::size_t i = 0; i < s.words.size(); ++i) {
        s.words[i] = r.U16(3 + 2 * i);
    }
    return s;
}

// `base` is the offset of the first field after the header word: 2 in the 0x89 command,
// 3 in the 'R' answer.
ConfigurationRecord DecodeConfiguration(const Reader& r, std::size_t base) {
    ConfigurationRecord c;
    const std::size_t o = base - 2; // shift against the command offsets
    for (std::size_t i = 0; i < 5; ++i) {
        c.portWords[i] = r.U16(o + 2 + 2 * i);
    }
    c.channelEnableMask = r.U16(o + 12);
    for (std::size_t i = 0; i < 16; ++i) {
        c.rateCodes[i] = r.U8(o + 14 + i);
    }
    c.syncMode = r.U8(o + 30);
    c.gpsCycleTime = r.U32(o + 31);
    c.minimumCorrection = r.U32(o + 35);
    c.jamSetThreshold = r.U16(o + 39);
    c.driftCompensation = r.U32(o + 41);
    c.sohFrameEnables = r.U8(o + 45);
    c.authFrameMaskLocal = r.U16(o + 46);
    c.authFrameMaskMain = r.U16(o + 48);
    for (std::size_t i = 0; i < 3; ++i) {
        c.reserved[i] = r.U16(o + 50 + 2 * i);
    }
    c.authGenerationMask = r.U16(o + 56);
    for (std::size_t i = 0; i < 5; ++i) {
        c.channelWords[i] = r.U16(o + 58 + 2 * i);
    }
    for (std::size_t k = 0; k < 6; ++k) {
        const std::size_t t = o + 68 + 14 * k;
        TriggerRecord& tr = c.triggers[k];
        tr.mode = r.U8(t);
        tr.highPassCorner = r.U16(t + 1);
        tr.lowPassCorner = r.U16(t + 3);
        tr.levelOrStaTime = r.U16(t + 5);
        tr.ltaTime = r.U16(t + 7);
        tr.triggerRatio = r.U16(t + 9);
        tr.detriggerRatio = r.U16(t + 11);
        tr.updatingLta = r.U8(t + 13);
    }
    return c;
}

CalibrationSettings DecodeCalibration(const Reader& r) {
    CalibrationSettings s;
    s.signalCode = r.U8(3);
    s.runIndex = r.U8(4);
    s.active = r.U8(5);
    s.channelModeWord = r.U32(6);
    s.startTime = r.U32(10);
    s.duration = r.U16(14);
    s.interval = r.U32(16);
    s.repetitions = r.U16(20);
    s.amplitudeMv = r.I16(22);
    s.frequencyTenths = r.U16(24);
    s.amplitudeTenthMv = r.I32(26);
    s.frequencyThousandths = r.U32(30);
    s.dampingDisable = r.U8(34);
    s.controlMode = r.U8(35);
    return s;
}

GpsInformation DecodeGps(const Reader& r) {
    GpsInformation g;
    g.syncMode = r.U8(3);
    g.clockStatus = r.U8(4);
    g.difference = r.I32(5);
    g.extInput = r.U8(9);
    g.power = r.U8(10);
    g.lock = r.U8(11);
    g.error = r.U8(12);
    g.source = r.U8(13);
    g.age = r.U8(14);
    g.altitude = r.I32(15);
    g.verticalVelocity = r.I16(19);
    g.latitudeDegrees = r.I16(21);
    g.latitudeFraction = r.I32(23);
    g.longitudeDegrees = r.I16(27);
    g.longitudeFraction = r.I32(29);
    g.speed = r.I16(33);
    g.heading = r.I16(35);
    g.utcOffset = r.U8(37);
    g.utcValid = r.U8(38);
    g.usableSv = r.U8(39);
    return g;
}

InternalRecordingRecord DecodeInternalRecording(const Reader& r, std::size_t base) {
    InternalRecordingRecord s;
    const std::size_t o = base - 2;
    s.continuousStartMode = r.U8(o + 2);
    s.continuousDrive = r.U8(o + 3);
    s.flushAtStartup = r.U8(o + 4);
    s.bufferFullMode = r.U8(o + 5);
    s.fileSizeSeconds = r.U32(o + 6);
    s.maxSpaceMb = r.U16(o + 10);
    s.continuousStartDelay = r.U16(o + 12);
    s.continuousStartTime = r.U32(o + 14);
    s.continuousChannels = r.U16(o + 18);
    s.eventStartMode = r.U8(o + 20);
    s.eventDrive = r.U8(o + 21);
    s.preEventSeconds = r.U16(o + 22);
    s.postEventSeconds = r.U16(o + 24);
    s.maxEventSeconds = r.U32(o + 26);
    s.triggerWindow = r.U16(o + 30);
    s.totalVotes = r.I16(o + 32);
    s.eventStartDelay = r.U16(o + 34);
    s.eventStartTime = r.U32(o + 36);
    for (std::size_t i = 0; i < 6; ++i) {
        s.channelVotes[i] = r.I16(o + 40 + 2 * i);
    }
    s.externalVote = r.I16(o + 52);
    s.eventChannels = r.U16(o + 54);
    for (std::size_t w = 0; w < 16; ++w) {
        const std::size_t at = o + 56 + 24 * w;
        RecordingWindow& win = s.windows[w];
        win.enabled = r.U8(at);
        win.mode = r.U8(at + 1);
        win.startTime = r.U32(at + 2);
        win.duration = r.U32(at + 6);
        win.interval = r.U32(at + 10);
        win.repetitions = r.U32(at + 14);
        win.maxFileSeconds = r.U32(at + 18);
        win.channelBits = r.U16(at + 22);
    }
    s.windowDrive = r.U8(o + 440);
    s.sohEnableBits = r.U16(o + 441);
    for (std::size_t i = 0; i < 10; ++i) {
        s.sohIntervals[i] = r.U16(o + 443 + 2 * i);
    }
    s.sohDrive = r.U8(o + 463);
    s.reserved = r.U32(o + 464);
    s.statusDrive = r.U8(o + 468);
    r.Chars(o + 469, s.stationName);
    return s;
}

DriveStatus DecodeDrives(const Reader& r) {
    DriveStatus d;
    for (std::size_t i = 0; i < d.drives.size(); ++i) {
        const std::size_t at = 3 + 24 * i;
        DriveRecord& rec = d.drives[i];
        rec.installed = r.U8(at);
        rec.driveType = r.U8(at + 1);
        r.Chars(at + 2, rec.volumeLabel);
        rec.serialNumber = r.U32(at + 14);
        rec.freeSpace = r.U32(at + 18);
        rec.unused = r.U16(at + 22);
    }
    return d;
}

void DecodeListing(const Reader& r, DirectoryListing& l) {
    l.sequence = r.U16(3);
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        const std::size_t at = 5 + 23 * i;
        DirectoryEntry& e = l.entries[i];
        e.valid = r.U8(at);
        r.Chars(at + 1, e.baseName);
        r.Chars(at + 10, e.extension);
        e.attributes = r.U8(at + 14);
        e.dosTime = r.U16(at + 15);
        e.dosDate = r.U16(at + 17);
        e.size = r.U32(at + 19);
    }
}

void DecodeFileData(const Reader& r, FileData& f) {
    f.sequence = r.U16(3);
    f.announcedLength = r.U16(5);
    // Trust N only as far as the bytes that really came and the room of the record.
    const std::size_t received = r.Length() > 7 ? r.Length() - 7 : 0;
    const std::size_t n = std::min<std::size_t>(
        {f.announcedLength, received, static_cast<std::size_t>(kFileDataRoom)});
    f.dataLength = static_cast<std::uint16_t>(n);
    if (n > 0) {
        std::memcpy(f.data.data(), r.Data() + 7, n);
    }
    std::fill(f.data.begin() + static_cast<std::ptrdiff_t>(n), f.data.end(), std::uint8_t{0});
}

DampingSettings DecodeDamping(const Reader& r) {
    DampingSettings d;
    d.enableMask = r.U8(3);
    for (std::size_t i = 0; i < d.scale.size(); ++i) {
        d.scale[i] = r.U16(4 + 2 * i);
    }
    return d;
}

} // namespace

bool IsDecodableAnswerType(std::uint8_t type) {
    if (type >= 0x20 && type <= 0x4F) {
        return true;
    }
    switch (type) {
    case kHardwareStatusType:
    case kStateOfHealthType:
    case kConfigurationType:
    case kCalibrationSettingsType:
    case kGpsInformationType:
    case kInternalRecordingType:
    case kDriveStatusType:
    case kDirectoryListingType:
    case kFileDataType:
    case kDampingSettingsType:
        return true;
    default:
        return false;
    }
}

int DecodeAnswer(std::uint8_t type, const std::uint8_t* payload, std::size_t length,
                 FrameRecord& record) {
    if (!IsDecodableAnswerType(type)) {
        return 0;
    }
    const Reader r(payload, length);
    record.type = type;
    record.header = r.U16(0);
    record.status = r.U8(2);
    if (type >= 0x20 && type <= 0x4F) {
        record.decoded = PlainAck{{r.U8(0), r.U8(1), r.U8(2)}};
        return 1;
    }
    switch (type) {
    case kHardwareStatusType:
        record.decoded = DecodeHardware(r);
        break;
    case kStateOfHealthType:
        record.decoded = DecodeHealth(r);
        break;
    case kConfigurationType:
        record.decoded = DecodeConfiguration(r, 3);
        break;
    case kCalibrationSettingsType:
        record.decoded = DecodeCalibration(r);
        break;
    case kGpsInformationType:
        record.decoded = DecodeGps(r);
        break;
    case kInternalRecordingType:
        record.decoded = DecodeInternalRecording(r, 3);
        break;
    case kDriveStatusType:
        record.decoded = DecodeDrives(r);
        break;
    case kDirectoryListingType:
        DecodeListing(r, record.decoded.emplace<DirectoryListing>());
        break;
    case kFileDataType:
        // Decoded in place: the record is large and a reused record keeps its alternative.
        if (!std::holds_alternative<FileData>(record.decoded)) {
            record.decoded.emplace<FileData>();
        }
        DecodeFileData(r, std::get<FileData>(record.decoded));
        break;
    case kDampingSettingsType:
        record.decoded = DecodeDamping(r);
        break;
    default:
        return 0;
    }
    return 1;
}

} // namespace nereid::link
