#include "link/command_builder.h"

#include "link/frame_codec.h"

namespace nereid::link {

namespace {

enum class Layout {
    kRefused,
    kHeaderOnly,
    kByte,
    kRelay,
    kClock,
    kConfiguration,
    kCalibration,
    kInternalRecording,
    kText,
    kFileRead,
    kDampingValues,
    kDamping,
};

Layout LayoutOf(std::uint8_t code) {
    switch (code) {
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
    case 0x84:
    case 0x85:
    case 0x91:
    case 0xB0:
    case 0xB1:
    case 0xB2:
    case 0xB4:
    case 0xB5:
    case 0xB7:
    case 0xBB:
        return Layout::kHeaderOnly;
    case 0x87:
    case 0x88:
    case 0x8D:
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x98:
    case 0xB3:
        return Layout::kByte;
    case 0x86:
        return Layout::kRelay;
    case 0x89:
        return Layout::kConfiguration;
    case 0x8B:
        return Layout::kClock;
    case 0x8C:
        return Layout::kCalibration;
    case 0x8F:
        return Layout::kInternalRecording;
    case 0x92:
    case 0xB8:
        return Layout::kText;
    case 0xB9:
        return Layout::kFileRead;
    case 0x97:
        return Layout::kDampingValues;
    case 0x9B:
        return Layout::kDamping;
    default:
        // 0x8A and 0x8E have no payload layout in this program and are never sent;
        // 0x90, 0x96, 0x99, 0x9A, 0x9C..0xAF, 0xB6, 0xBA and every code outside 0x80..0xBB
        // are not commands of the recorder.
        return Layout::kRefused;
    }
}

// Little-endian writes into the payload at fixed offsets.
class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>& out) : m_Out(out) {}
    void U8(std::size_t at, std::uint8_t v) { m_Out[at] = v; }
    void U16(std::size_t at, std::uint16_t v) {
        m_Out[at] = static_cast<std::uint8_t>(v & 0xFF);
        m_Out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void U32(std::size_t at, std::uint32_t v) {
        U16(at, static_cast<std::uint16_t>(v & 0xFFFF));
        U16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }

private:
    std::vector<std::uint8_t>& m_Out;
};

void PackConfiguration(const ConfigurationRecord& c, Writer& w, bool full) {
    for (std::size_t i = 0; i < 5; ++i) {
        w.U16(2 + 2 * i, c.portWords[i]);
    }
    w.U16(12, c.channelEnableMask);
    for (std::size_t i = 0; i < 16; ++i) {
        w.U8(14 + i, c.rateCodes[i]);
    }
    w.U8(30, c.syncMode);
    w.U32(31, c.gpsCycleTime);
    w.U32(35, c.minimumCorrection);
    w.U16(39, c.jamSetThreshold);
    w.U32(41, c.driftCompensation);
    w.U8(45, c.sohFrameEnables);
    w.U16(46, c.authFrameMaskLocal);
    w.U16(48, c.authFrameMaskMain);
    for (std::size_t i = 0; i < 3; ++i) {
        w.U16(50 + 2 * i, c.reserved[i]);
    }
    w.U16(56, c.authGenerationMask);
    if (!full) {
        return;
    }
    for (std::size_t i = 0; i < 5; ++i) {
        w.U16(58 + 2 * i, c.channelWords[i]);
    }
    for (std::size_t k = 0; k < 6; ++k) {
        const std::size_t t = 68 + 14 * k;
        const TriggerRecord& tr = c.triggers[k];
        w.U8(t, tr.mode);
        w.U16(t + 1, tr.highPassCorner);
        w.U16(t + 3, tr.lowPassCorner);
        w.U16(t + 5, tr.levelOrStaTime);
        w.U16(t + 7, tr.ltaTime);
        w.U16(t + 9, tr.triggerRatio);
        w.U16(t + 11, tr.detriggerRatio);
        w.U8(t + 13, tr.updatingLta);
    }
}

void PackCalibration(const CalibrationSetupRecord& c, Writer& w, bool longForm) {
    w.U8(2, c.signalCode);
    w.U8(3, c.runIndex);
    w.U32(4, c.channelModeWord);
    w.U32(8, c.startTime);
    w.U16(12, c.duration);
    w.U32(14, c.interval);
    w.U16(18, c.repetitions);
    w.U16(20, static_cast<std::uint16_t>(c.amplitudeMv));
    w.U16(22, c.frequencyTenths);
    if (!longForm) {
        return;
    }
    w.U32(24, static_cast<std::uint32_t>(c.amplitudeTenthMv));
    w.U32(28, c.frequencyThousandths);
    w.U8(32, c.dampingDisable);
    w.U8(33, c.controlMode);
}

void PackInternalRecording(const InternalRecordingRecord& s, Writer& w) {
    w.U8(2, s.continuousStartMode);
    w.U8(3, s.continuousDrive);
    w.U8(4, s.flushAtStartup);
    w.U8(5, s.bufferFullMode);
    w.U32(6, s.fileSizeSeconds);
    w.U16(10, s.maxSpaceMb);
    w.U16(12, s.continuousStartDelay);
    w.U32(14, s.continuousStartTime);
    w.U16(18, s.continuousChannels);
    w.U8(20, s.eventStartMode);
    w.U8(21, s.eventDrive);
    w.U16(22, s.preEventSeconds);
    w.U16(24, s.postEventSeconds);
    w.U32(26, s.maxEventSeconds);
    w.U16(30, s.triggerWindow);
    w.U16(32, static_cast<std::uint16_t>(s.totalVotes));
    w.U16(34, s.eventStartDelay);
    w.U32(36, s.eventStartTime);
    for (std::size_t i = 0; i < 6; ++i) {
        w.U16(40 + 2 * i, static_cast<std::uint16_t>(s.channelVotes[i]));
    }
    w.U16(52, static_cast<std::uint16_t>(s.externalVote));
    w.U16(54, s.eventChannels);
    for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t at = 56 + 24 * i;
        const RecordingWindow& win = s.windows[i];
        w.U8(at, win.enabled);
        w.U8(at + 1, win.mode);
        w.U32(at + 2, win.startTime);
        w.U32(at + 6, win.duration);
        w.U32(at + 10, win.interval);
        w.U32(at + 14, win.repetitions);
        w.U32(at + 18, win.maxFileSeconds);
        w.U16(at + 22, win.channelBits);
    }
    w.U8(440, s.windowDrive);
    w.U16(441, s.sohEnableBits);
    for (std::size_t i = 0; i < 10; ++i) {
        w.U16(443 + 2 * i, s.sohIntervals[i]);
    }
    w.U8(463, s.sohDrive);
    w.U32(464, s.reserved);
    w.U8(468, s.statusDrive);
    for (std::size_t i = 0; i < 4; ++i) {
        w.U8(469 + i, static_cast<std::uint8_t>(s.stationName[i]));
    }
}

// Text of N bytes at `at`, N as u16 just before it, then the 0 byte.
void PackText(const std::string& text, std::size_t lengthAt, std::vector<std::uint8_t>& out) {
    Writer w(out);
    w.U16(lengthAt, static_cast<std::uint16_t>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[lengthAt + 2 + i] = static_cast<std::uint8_t>(text[i]);
    }
    out[lengthAt + 2 + text.size()] = 0;
}

constexpr std::size_t kMaxTextLength = 0xFFFF;

} // namespace

CCommandBuilder::CCommandBuilder() {
    m_Payload.reserve(kMaxCommandFrameBytes);
}

bool CCommandBuilder::IsSendable(std::uint8_t code) {
    return LayoutOf(code) != Layout::kRefused;
}

int CCommandBuilder::PayloadLength(std::uint8_t code, std::uint8_t modelCode,
                                   bool longCalibration) {
    switch (LayoutOf(code)) {
    case Layout::kRefused:
        return kFrameTooLong;
    case Layout::kHeaderOnly:
        return 2;
    case Layout::kByte:
        return 3;
    case Layout::kRelay:
        return 6;
    case Layout::kClock:
        return 7;
    case Layout::kConfiguration:
        return modelCode == kSixChannelModel ? 152 : 58;
    case Layout::kCalibration:
        return longCalibration ? 34 : 24;
    case Layout::kInternalRecording:
        return 473;
    case Layout::kText:
        return 5;
    case Layout::kFileRead:
        return 7;
    case Layout::kDampingValues:
        return 18;
    case Layout::kDamping:
        return 19;
    }
    return kFrameTooLong;
}

int CCommandBuilder::PackPayload(std::uint8_t code, const CommandRecord& record,
                                 std::uint8_t modelCode, bool longCalibration,
                                 std::vector<std::uint8_t>& payload) {
    const Layout layout = LayoutOf(code);
    if (layout == Layout::kRefused) {
        return kFrameTooLong;
    }
    std::size_t length = static_cast<std::size_t>(PayloadLength(code, modelCode, longCalibration));
    const auto& p = record.params;
    // The record must carry the parameters of the code; a header-only command takes any.
    switch (layout) {
    case Layout::kByte:
        if (!std::holds_alternative<ByteCommand>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kRelay:
        if (!std::holds_alternative<RelayCommand>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kClock:
        if (!std::holds_alternative<ClockSetCommand>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kConfiguration:
        if (!std::holds_alternative<ConfigurationRecord>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kCalibration:
        if (!std::holds_alternative<CalibrationSetupRecord>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kInternalRecording:
        if (!std::holds_alternative<InternalRecordingRecord>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kText:
        if (!std::holds_alternative<TextCommand>(p) ||
            std::get<TextCommand>(p).text.size() > kMaxTextLength) {
            return kFrameTooLong;
        }
        length += std::get<TextCommand>(p).text.size();
        break;
    case Layout::kFileRead:
        if (!std::holds_alternative<FileReadCommand>(p) ||
            std::get<FileReadCommand>(p).path.size() > kMaxTextLength) {
            return kFrameTooLong;
        }
        length += std::get<FileReadCommand>(p).path.size();
        break;
    case Layout::kDampingValues:
        if (!std::holds_alternative<DampingValuesCommand>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kDamping:
        if (!std::holds_alternative<DampingCommand>(p)) {
            return kFrameTooLong;
        }
        break;
    case Layout::kHeaderOnly:
    case Layout::kRefused:
        break;
    }

    payload.assign(length, 0);
    Writer w(payload);
    w.U16(0, record.header);
    switch (layout) {
    case Layout::kByte:
        w.U8(2, std::get<ByteCommand>(p).value);
        break;
    case Layout::kRelay:
        w.U32(2, std::get<RelayCommand>(p).relayWord);
        break;
    case Layout::kClock:
        w.U32(2, std::get<ClockSetCommand>(p).seconds);
        w.U8(6, std::get<ClockSetCommand>(p).jamSet);
        break;
    case Layout::kConfiguration:
        PackConfiguration(std::get<ConfigurationRecord>(p), w, modelCode == kSixChannelModel);
        break;
    case Layout::kCalibration:
        PackCalibration(std::get<CalibrationSetupRecord>(p), w, longCalibration);
        break;
    case Layout::kInternalRecording:
        PackInternalRecording(std::get<InternalRecordingRecord>(p), w);
        break;
    case Layout::kText:
        PackText(std::get<TextCommand>(p).text, 2, payload);
        break;
    case Layout::kFileRead:
        w.U16(2, std::get<FileReadCommand>(p).blockSize);
        PackText(std::get<FileReadCommand>(p).path, 4, payload);
        break;
    case Layout::kDampingValues:
        for (std::size_t i = 0; i < 8; ++i) {
            w.U16(2 + 2 * i, std::get<DampingValuesCommand>(p).scale[i]);
        }
        break;
    case Layout::kDamping:
        w.U8(2, std::get<DampingCommand>(p).enableMask);
        for (std::size_t i = 0; i < 8; ++i) {
            w.U16(3 + 2 * i, std::get<DampingCommand>(p).scale[i]);
        }
        break;
    case Layout::kHeaderOnly:
    case Layout::kRefused:
        break;
    }
    return 1;
}

int CCommandBuilder::Build(std::uint8_t code, const CommandRecord& record, std::uint8_t modelCode,
                           bool longCalibration, std::uint8_t* out, std::size_t capacity) {
    if (capacity > kMaxCommandFrameBytes) {
        capacity = kMaxCommandFrameBytes;
    }
    if (PackPayload(code, record, modelCode, longCalibration, m_Payload) != 1) {
        return kFrameTooLong;
    }
    return BuildFrame(code, m_Payload.data(), m_Payload.size(), out, capacity);
}

} // namespace nereid::link
