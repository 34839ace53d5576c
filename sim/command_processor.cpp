#include "sim/command_processor.h"

#include "sim/answer_encoder.h"
#include "sim/byte_order.h"
#include "sim/rate_codes.h"

#include <algorithm>
#include <cstdio>

namespace nereid::sim {

namespace {

std::string Hex(std::uint8_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", code);
    return text;
}

} // namespace

int CommandProcessor::ExpectedLength(std::uint8_t code) const {
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
        return 2;
    case 0x86:
        return 6;
    case 0x87:
    case 0x88:
    case 0x8D:
    case 0x93:
    case 0x94:
    case 0x95:
    case 0x98:
    case 0xB3:
        return 3;
    case 0x89:
        return static_cast<int>(m_State.ConfigCommandLength());
    case 0x8B:
        return 7;
    // The PC sends the long form once it has seen a 34- or 36-byte settings answer.
    case 0x8C:
        return m_State.Identity().calFormat == 26 ? 24 : 34;
    case 0x8F:
        return static_cast<int>(InstrumentState::kSetupBytes);
    case 0x97:
        return 18;
    case 0x9B:
        return 19;
    default:
        return -1;
    }
}

bool CommandProcessor::Streaming() const {
    return m_State.realtime || (m_State.Identity().model != 17 && m_State.acquiring);
}

std::vector<std::uint8_t> CommandProcessor::RefusalPayload(std::uint8_t code) const {
    // A refused query still has its answer's usual length: the PC takes the calibration
    // format from the length of an 'S' answer even when it is refused.
    std::size_t length = 3;
    switch (code) {
    case 0xB0:
        length = 32;
        break;
    case 0xB1:
        length = 35;
        break;
    case 0xB2:
        length = m_State.ConfigCommandLength() + 1;
        break;
    case 0xB3:
        length = static_cast<std::size_t>(m_State.Identity().calFormat);
        break;
    case 0xB4:
        length = 40;
        break;
    case 0xB5:
        length = InstrumentState::kSetupBytes + 1;
        break;
    case 0xB7:
        length = 123;
        break;
    case 0xB8:
        length = AnswerEncoder::kListingBytes;
        break;
    case 0xB9:
        length = 7;
        break;
    case 0xBB:
        length = 20;
        break;
    default:
        break;
    }
    std::vector<std::uint8_t> p(length, 0);
    PutU16(p.data(), m_State.Identity().serial);
    return p;
}

CommandOutcome CommandProcessor::Refuse(std::uint8_t code, std::string why) const {
    CommandOutcome out;
    Reply r;
    r.type = static_cast<std::uint8_t>(code - 0x60);
    r.payload = RefusalPayload(code);
    // The upload acknowledges listing and file frames itself, and not a refused one.
    r.awaitAnswer = code != 0xB8 && code != 0xB9;
    out.reply = std::move(r);
    out.note = Hex(code) + " refused: " + why;
    return out;
}

CommandOutcome CommandProcessor::Accept(std::uint8_t code) const {
    return Answer(static_cast<std::uint8_t>(code - 0x60),
                  AnswerEncoder::Status(m_State.Identity().serial, true));
}

CommandOutcome CommandProcessor::Answer(std::uint8_t type,
                                        std::vector<std::uint8_t> payload) const {
    CommandOutcome out;
    out.reply = Reply{type, std::move(payload), true};
    return out;
}

bool CommandProcessor::TextPath(const std::vector<std::uint8_t>& p, std::size_t lengthAt,
                                std::size_t textAt, std::string& path, std::string& why) const {
    if (p.size() < textAt + 1) {
        why = "payload of " + std::to_string(p.size()) + " bytes is too short for a path";
        return false;
    }
    const std::size_t n = GetU16(&p[lengthAt]);
    if (p.size() != textAt + n + 1) {
        why = "text length " + std::to_string(n) + " does not match the payload of " +
              std::to_string(p.size()) + " bytes";
        return false;
    }
    if (n == 0 || p[textAt + n] != 0) {
        why = n == 0 ? "empty path" : "path not followed by a zero byte";
        return false;
    }
    path.assign(p.begin() + static_cast<std::ptrdiff_t>(textAt),
                p.begin() + static_cast<std::ptrdiff_t>(textAt + n));
    if (!std::all_of(path.begin(), path.end(), [](char c) { return c >= 0x20 && c <= 0x7E; })) {
        why = "path holds a non-printable byte";
        return false;
    }
    return true;
}

CommandOutcome CommandProcessor::Configure(const std::vector<std::uint8_t>& p) {
    const std::uint16_t enable = GetU16(&p[12]);
    for (int c = 1; c <= 16; ++c) {
        if (!(enable & (1u << (c - 1))) || !m_State.ChannelFitted(c))
            continue;
        const std::uint8_t code = p[static_cast<std::size_t>(13 + c)];
        if (SamplesPerSecond(code) == 0)
            return Refuse(0x89, "channel " + std::to_string(c) +
                                    " enabled with unknown rate code " + std::to_string(code));
    }
    std::copy(p.begin() + 2, p.end(), m_State.Config().begin() + 2);
    CommandOutcome out = Accept(0x89);
    out.streamingMayChange = true;
    return out;
}

CommandOutcome CommandProcessor::Calibrate(const std::vector<std::uint8_t>& p,
                                           std::uint32_t second) {
    const std::uint8_t signal = p[2];
    const std::uint8_t base = signal & 0x7F;
    const std::uint8_t model = m_State.Identity().model;
    const bool known =
        base <= 3 || base == 8 || base == 9 || (base == 4 && (model == 2 || model == 3));
    if (!known)
        return Refuse(0x8C, "unknown calibration signal " + Hex(signal));
    const bool scheduled = signal & 0x80;
    if (scheduled && p[3] > 31)
        return Refuse(0x8C, "scheduled run index " + std::to_string(p[3]) + " above 31");
    const std::uint16_t duration = GetU16(&p[12]);
    if (duration == 0)
        return Refuse(0x8C, "duration of 0 s");
    CalibrationRun& r = m_State.Run(scheduled ? p[3] : InstrumentState::kImmediateRun);
    r.signal = signal;
    r.index = scheduled ? p[3] : 0;
    r.active = true;
    r.modeWord = GetU32(&p[4]) & 0xFFFF;
    r.startTime = scheduled ? GetU32(&p[8]) : second;
    r.duration = duration;
    r.interval = scheduled ? GetU32(&p[14]) : 0;
    r.repetitions = scheduled ? GetU16(&p[18]) : 0;
    r.amplitudeMv = static_cast<std::int16_t>(GetU16(&p[20]));
    r.frequencyTenths = GetU16(&p[22]);
    if (p.size() >= 34) {
        r.amplitudeTenthMv = static_cast<std::int32_t>(GetU32(&p[24]));
        r.frequencyMilli = GetU32(&p[28]);
        r.dampingDisable = p[32] & 0x3F;
        r.controlMode = p[33] ? 1 : 0;
    } else {
        r.amplitudeTenthMv = r.amplitudeMv * 10;
        r.frequencyMilli = r.frequencyTenths * 100u;
        r.dampingDisable = 0;
        r.controlMode = 0;
    }
    r.endsAt = scheduled ? 0 : second + duration;
    return Accept(0x8C);
}

CommandOutcome CommandProcessor::CalibrationQuery(std::uint8_t code, std::uint8_t selector,
                                                  std::uint32_t second) {
    if (selector != 0xFF && selector > 31)
        return Refuse(code, "run selector " + std::to_string(selector));
    CalibrationRun& r = m_State.Run(selector == 0xFF ? InstrumentState::kImmediateRun : selector);
    if (selector == 0xFF && r.active && second >= r.endsAt)
        r.active = false; // the immediate run has ended by itself
    if (code == 0x8D) {
        r.active = false;
        return Accept(code);
    }
    return Answer('S', AnswerEncoder::Calibration(m_State, r));
}

CommandOutcome CommandProcessor::Damping(std::uint8_t code, const std::vector<std::uint8_t>& p) {
    if (m_State.Identity().model != 3)
        return Refuse(code, "this model has no damping resistors");
    if (code == 0xBB)
        return Answer('[', AnswerEncoder::Damping(m_State));
    std::array<std::uint16_t, 8> values = m_State.dampingValues;
    const std::size_t at = code == 0x97 ? 2 : 3;
    if (code != 0x98) {
        for (std::size_t k = 0; k < 8; ++k) {
            values[k] = GetU16(&p[at + 2 * k]);
            if (values[k] > 127)
                return Refuse(code, "damping value " + std::to_string(values[k]) + " of channel " +
                                        std::to_string(k + 1) + " above 127");
        }
        m_State.dampingValues = values;
    }
    if (code != 0x97)
        m_State.dampingMask = p[2];
    return Accept(code);
}

CommandOutcome CommandProcessor::Handle(std::uint8_t code, const std::vector<std::uint8_t>& p,
                                        std::uint32_t second) {
    if (code < 0x80) {
        CommandOutcome out;
        out.note = "frame type " + Hex(code) + " is not a command; ignored";
        return out;
    }
    if (code >= 0xE0) {
        CommandOutcome out;
        out.note = "frame type " + Hex(code) + " ignored";
        return out;
    }
    const int expected = ExpectedLength(code);
    const bool text = code == 0x92 || code == 0xB8 || code == 0xB9;
    if (expected < 0 && !text)
        return Refuse(code, "not a command of this recorder");
    if (expected >= 0 && p.size() != static_cast<std::size_t>(expected))
        return Refuse(code, "payload of " + std::to_string(p.size()) + " bytes, expected " +
                                std::to_string(expected));
    if (p.size() < 2 || GetU16(p.data()) != 0)
        return Refuse(code, "header word is not 0");

    if (std::find(m_RefusedCodes.begin(), m_RefusedCodes.end(), code) != m_RefusedCodes.end())
        return Refuse(code, "refused by --refuse");

    const std::uint16_t serial = m_State.Identity().serial;
    std::string why;
    std::string path;
    switch (code) {
    case 0x80: {
        m_State.ResetDefaults();
        CommandOutcome out = Accept(code);
        out.abortTransfer = true;
        out.streamingMayChange = true;
        return out;
    }
    case 0x81: {
        m_State.realtime = false;
        m_State.acquiring = false;
        CommandOutcome out = Accept(code);
        out.abortTransfer = true;
        out.streamingMayChange = true;
        return out;
    }
    case 0x82:
    case 0x83:
    case 0x95:
        return Accept(code);
    case 0x84:
    case 0x85: {
        m_State.acquiring = code == 0x84;
        CommandOutcome out = Accept(code);
        out.streamingMayChange = true;
        return out;
    }
    case 0x86:
        m_State.relays = GetU32(&p[2]);
        return Accept(code);
    case 0x87:
    case 0x88:
        if (p[2] > 1)
            return Refuse(code, "switch value " + std::to_string(p[2]) + ", expected 0 or 1");
        (code == 0x87 ? m_State.vpp : m_State.led) = p[2];
        return Accept(code);
    case 0x89:
        return Configure(p);
    case 0x8B: {
        CommandOutcome out = Accept(code);
        out.setClock = GetU32(&p[2]);
        out.streamingMayChange = true;
        return out;
    }
    case 0x8C:
        return Calibrate(p, second);
    case 0x8D:
        return CalibrationQuery(code, p[2], second);
    case 0x8F:
        std::copy(p.begin() + 2, p.end(), m_State.Setup().begin() + 2);
        return Accept(code);
    case 0x91: {
        CommandOutcome out = Accept(code);
        out.abortTransfer = true;
        return out;
    }
    case 0x92:
        if (!TextPath(p, 2, 4, path, why) || m_Drives.Delete(path, why) < 0)
            return Refuse(code, why);
        return Accept(code);
    case 0x93:
        if (p[2] < 1 || p[2] > 3)
            return Refuse(code, "drive selector " + std::to_string(p[2]) + ", expected 1..3");
        if (!m_Drives.Present(p[2]))
            return Refuse(code, std::string("drive ") + static_cast<char>('A' + p[2]) +
                                    " is not installed");
        m_State.poweredDownDrive = p[2];
        return Accept(code);
    case 0x94: {
        if (p[2] > 1)
            return Refuse(code, "real-time switch " + std::to_string(p[2]) + ", expected 0 or 1");
        m_State.realtime = p[2] == 1;
        CommandOutcome out = Accept(code);
        out.streamingMayChange = true;
        return out;
    }
    case 0x97:
    case 0x98:
    case 0x9B:
    case 0xBB:
        return Damping(code, p);
    case 0xB0:
        return Answer('P', AnswerEncoder::Hardware(m_State, m_Drives));
    case 0xB1:
        return Answer('Q', AnswerEncoder::Health(m_State, second));
    case 0xB2:
        return Answer('R', AnswerEncoder::Configuration(m_State));
    case 0xB3:
        return CalibrationQuery(code, p[2], second);
    case 0xB4:
        return Answer('T', AnswerEncoder::Gps(m_State, second));
    case 0xB5:
        return Answer('U', AnswerEncoder::RecordingSetup(m_State));
    case 0xB7:
        return Answer('W', AnswerEncoder::DriveStatus(m_State, m_Drives));
    case 0xB8: {
        std::vector<DriveEntry> entries;
        if (!TextPath(p, 2, 4, path, why) || m_Drives.List(path, entries, why) < 0)
            return Refuse(code, why);
        CommandOutcome out;
        out.transfer = Transfer::Listing(serial, std::move(entries));
        return out;
    }
    case 0xB9: {
        const std::size_t block = p.size() >= 4 ? GetU16(&p[2]) : 0;
        if (!TextPath(p, 4, 6, path, why))
            return Refuse(code, why);
        // The PC's file-data record holds at most 1024 data bytes.
        if (block == 0 || block > 1024)
            return Refuse(code, "block size " + std::to_string(block) + ", expected 1..1024");
        std::vector<std::uint8_t> data;
        if (m_Drives.Read(path, data, why) < 0)
            return Refuse(code, why);
        if ((data.size() + block - 1) / block > 0xFFFF)
            return Refuse(code, "file needs more than 65535 blocks of " + std::to_string(block));
        CommandOutcome out;
        out.transfer = Transfer::File(serial, std::move(data), block);
        return out;
    }
    default:
        return Refuse(code, "not a command of this recorder");
    }
}

} // namespace nereid::sim
