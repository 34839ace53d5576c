#include "recording/hlcp_translator.h"

#include "recording/ascii_format.h"
#include "recording/byte_order.h"
#include "recording/calendar.h"
#include "recording/channel_writer.h"
#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/fixed_text.h"
#include "recording/mseed_writer.h"
#include "recording/unique_fd.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace nereid::recording {

static_assert(std::endian::native == std::endian::little,
              "the sample loops load several little-endian samples at once");

namespace {

// Most output bytes one 3-byte sample can need: "-8388608\r\n".
constexpr std::size_t kMaxAsciiSample = 10;
// Scratch bytes the fast writers may store past their last output byte.
constexpr std::size_t kScratch = 16;

std::size_t MaxBytesPerSample(int form) {
    switch (form) {
    case HlcpTranslator::kAscii:
        return kMaxAsciiSample;
    case HlcpTranslator::kSeisan:
        return CSeisanDataFramer::kMaxPut;
    default:
        return 4;
    }
}

bool IsNamedChannelFile(char c) {
    return c == 'D' || c == 'W' || c == 'E' || c == 'C' || c == 'd' || c == 'w' || c == 'e' ||
           c == 'c';
}

} // namespace

std::size_t HlcpTranslator::CapacityFor(int form, std::size_t sourceSize) {
    return sourceSize * (form == kAscii ? 4 : 2) + 4000;
}

HlcpTranslator::HlcpTranslator(int form, std::size_t capacity, std::string sourceName,
                               std::string destinationFolder)
    : m_form(form), m_capacity(capacity), m_folder(std::move(destinationFolder)) {
    const std::size_t slash = sourceName.find_last_of('/');
    m_sourceName = slash == std::string::npos ? sourceName : sourceName.substr(slash + 1);
}

HlcpTranslator::~HlcpTranslator() = default;

bool HlcpTranslator::PrepareOutput() {
    if (m_form < kDadisp || m_form > kMseed) {
        m_message = kMappedFileText;
        return false;
    }
    if (!m_block.Map(m_capacity)) {
        m_message = kMappedFileText;
        return false;
    }
    return true;
}

void HlcpTranslator::ReleaseOutput() {
    m_block.Release();
}

namespace {

constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930"
                               "31323334353637383940414243444546474849505152535455565758596061"
                               "62636465666768697071727374757677787980818283848586878889909192"
                               "93949596979899";
static_assert(sizeof kDigitPairs == 201);

// Decimal text of a sample followed by CR LF; returns the end. Branch-free for the 24-bit
// range (at most 7 digits): the digits are made with leading zeros and the significant ones
// copied as one 16-byte block, so up to 16 bytes past the line are scratch (the output block
// reserves them). General formatting dominated the ASCII translation.
inline char* PutDecimalLine(char* p, std::int32_t value) {
    *p = '-';
    p += value < 0 ? 1 : 0;
    const std::uint32_t u =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[24] = {};
    int count;
    if (u < 10000) {
        // Background noise: most samples of a recording have four digits or fewer.
        std::memcpy(digits, "0000", 4);
        std::memcpy(digits + 4, kDigitPairs + 2 * (u / 100), 2);
        std::memcpy(digits + 6, kDigitPairs + 2 * (u % 100), 2);
        count = 1 + (u > 9) + (u > 99) + (u > 999);
    } else {
        const std::uint32_t high = (u / 10000) % 10000;
        const std::uint32_t low = u % 10000;
        std::memcpy(digits, kDigitPairs + 2 * (high / 100), 2);
        std::memcpy(digits + 2, kDigitPairs + 2 * (high % 100), 2);
        std::memcpy(digits + 4, kDigitPairs + 2 * (low / 100), 2);
        std::memcpy(digits + 6, kDigitPairs + 2 * (low % 100), 2);
        count = 5 + (u > 99999) + (u > 999999) + (u > 9999999);
    }
    digits[8] = '\r';
    digits[9] = '\n';
    std::memcpy(p, digits + 8 - count, 16);
    return p + count + 2;
}

} // namespace

inline void HlcpTranslator::Emit(std::int32_t sample, std::uint8_t*& out) {
    switch (m_form) {
    case kSeisan:
        out += m_framer.Put(out, sample);
        break;
    case kAscii:
        out = reinterpret_cast<std::uint8_t*>(PutDecimalLine(reinterpret_cast<char*>(out), sample));
        break;
    default:
        PutLeS32(out, sample);
        out += 4;
        break;
    }
}

void HlcpTranslator::Decode(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t* out = m_block.Data() + m_block.Length();
    const std::uint8_t* const end = bytes + count;
    if (m_carryLength > 0) {
        while (m_carryLength < 3 && bytes < end) {
            m_carry[m_carryLength++] = *bytes++;
        }
        if (m_carryLength < 3) {
            return;
        }
        Emit(GetLeS24(m_carry), out);
        ++m_samples;
        m_carryLength = 0;
    }
    const std::size_t whole = static_cast<std::size_t>(end - bytes) / 3;
    const std::uint8_t* p = bytes;
    // One loop per form: the per-sample dispatch of Emit costs more than the work itself.
    switch (m_form) {
    case kDadisp:
    case kCss:
    case kMseed: {
        // Four samples (12 bytes) from two overlapping 8-byte loads; the second reads two
        // bytes past the group, so the last groups go one by one.
        std::size_t i = 0;
        for (; i + 5 <= whole; i += 4, p += 12, out += 16) {
            std::uint64_t a, b;
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + 6, 8);
            const std::int32_t s[4] = {
                static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << 8) >> 8,
                static_cast<std::int32_t>(static_cast<std::uint32_t>(a >> 24) << 8) >> 8,
                static_cast<std::int32_t>(static_cast<std::uint32_t>(b) << 8) >> 8,
                static_cast<std::int32_t>(static_cast<std::uint32_t>(b >> 24) << 8) >> 8};
            for (int k = 0; k < 4; ++k) {
                PutLeS32(out + 4 * k, s[k]);
            }
        }
        for (; i < whole; ++i, p += 3) {
            PutLeS32(out, GetLeS24(p));
            out += 4;
        }
        break;
    }
    case kAscii: {
        char* text = reinterpret_cast<char*>(out);
        for (std::size_t i = 0; i < whole; ++i, p += 3) {
            text = PutDecimalLine(text, GetLeS24(p));
        }
        out = reinterpret_cast<std::uint8_t*>(text);
        break;
    }
    default:
        for (std::size_t i = 0; i < whole; ++i, p += 3) {
            out += m_framer.Put(out, GetLeS24(p));
        }
        break;
    }
    m_samples += whole;
    while (p < end) {
        m_carry[m_carryLength++] = *p++;
    }
    m_block.SetLength(static_cast<std::size_t>(out - m_block.Data()));
}

int HlcpTranslator::Feed(const std::uint8_t* piece, std::size_t length) {
    if (!m_block.Mapped()) {
        m_message = kMappedFileText;
        return 0;
    }
    if (m_sealed) {
        m_message = "The output has already been written";
        return 0;
    }
    if (m_form == kHlcp) {
        if (!m_block.Reserve(length)) {
            m_message = kMappedFileText;
            return 0;
        }
        std::copy(piece, piece + length, m_block.Data() + m_block.Length());
        m_block.SetLength(m_block.Length() + length);
        return 1;
    }
    std::size_t from = 0;
    if (!m_headerParsed) {
        if (piece == nullptr || !ParseHlcpHeader(piece, length, m_header)) {
            m_message = kNotHlcpText;
            return 0;
        }
        from = kHlcpHeaderSize;
        if (m_form == kSeisan) {
            if (!m_block.Reserve(1)) {
                m_message = kMappedFileText;
                return 0;
            }
            m_block.SetLength(m_framer.Begin(m_block.Data()));
        }
        m_headerParsed = true;
    }
    const std::size_t bytes = length - from;
    // +1 sample for the carried bytes, +1 byte for the SEISAN seal.
    const std::size_t need = (bytes / 3 + 2) * MaxBytesPerSample(m_form) + 1 + kScratch;
    if (!m_block.Reserve(need)) {
        m_message = kMappedFileText;
        return 0;
    }
    Decode(piece + from, bytes);
    return 1;
}

std::string HlcpTranslator::BaseOutputName() const {
    const std::string& s = m_sourceName;
    const auto at = [&s](std::size_t i) { return i < s.size() ? s[i] : '_'; };
    if (s.empty() || !IsNamedChannelFile(s[0])) {
        return (s.empty() ? std::string("_") : s.substr(0, 1)) + s;
    }
    const CalendarTime t = SecondsToCalendar(m_header.startSecond);
    return std::string{at(0), at(1), at(3), at(4)} +
           Format("%.2d%.2d.%.3d", t.hour, t.minute, t.dayOfYear);
}

std::string HlcpTranslator::CssDataName() const {
    const std::string& s = m_sourceName;
    const auto at = [&s](std::size_t i) { return i < s.size() ? s[i] : '_'; };
    const CalendarTime t = SecondsToCalendar(m_header.startSecond);
    return std::string{'C', 'D', at(1), at(2), at(3), at(4)} +
           Format("_%.2d%.2d%.2d.%.3d", t.hour, t.minute, t.second, t.dayOfYear);
}

std::string HlcpTranslator::OutputName() const {
    if (m_form == kHlcp) {
        return m_sourceName;
    }
    if (!m_headerParsed) {
        return {};
    }
    if (m_form == kMseed) {
        return BaseOutputName() + kMseedExtension;
    }
    return m_form == kCss ? CssDataName() : BaseOutputName();
}

void HlcpTranslator::SetMseedOptions(std::string network, MseedComponentMap components,
                                     std::uint16_t unit) {
    m_network = std::move(network);
    m_components = std::move(components);
    m_unit = unit;
}

SMseedStreamId HlcpTranslator::MseedStream() const {
    const int channel = m_header.channelIndex + 1;
    return {m_network, SeedStationCode(m_header.station, m_unit), "",
            SeedChannelCode(m_header.rate, channel, m_components)};
}

int HlcpTranslator::WriteMseed(const std::string& path) {
    // The records go out 256 KiB at a time: a write per 512-byte record cost more than the
    // packing itself. The packer is fed the decoded block in pieces, so it never holds more
    // than a piece and a record of samples.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    int err = fd.Valid() ? 0 : errno;
    if (err == 0) {
        m_written.push_back(path);
        constexpr std::size_t kFlushAt = 256u << 10;
        std::vector<char> pending;
        pending.reserve(kFlushAt + kMseedRecordLength);
        CMseedPacker packer(MseedStream(), m_header.rate, [&](const char* record, int length) {
            pending.insert(pending.end(), record, record + length);
            if (pending.size() >= kFlushAt && err == 0) {
                err = WriteAll(fd.Get(), pending.data(), pending.size());
                pending.clear();
            }
            return err == 0 ? 0 : -1;
        });
        const auto* samples = reinterpret_cast<const std::int32_t*>(m_block.Data());
        const std::size_t count = m_block.Length() / 4;
        std::int64_t at = static_cast<std::int64_t>(m_header.startSecond) * 1000000000LL;
        int packed = 0;
        for (std::size_t done = 0; done < count && packed >= 0;) {
            constexpr std::size_t kPiece = 65536;
            const std::size_t n = std::min(kPiece, count - done);
            packed = packer.AddSamples(at, samples + done, static_cast<int>(n));
            at = packer.ExpectedNextNs();
            done += n;
        }
        if (packed >= 0) {
            packed = packer.Flush();
        }
        if (err == 0 && !pending.empty()) {
            err = WriteAll(fd.Get(), pending.data(), pending.size());
        }
        if (err == 0 && packed < 0) {
            // Steps beyond 30 bits: never written as other numbers.
            err = packed == CMseedPacker::kSinkFailed ? EIO : EINVAL;
        }
        if (err == 0 && fd.Reset() != 0) {
            err = errno;
        }
    }
    if (err != 0) {
        m_message =
            Format("Can't save file %s error = %u\n", path.c_str(), static_cast<unsigned>(err));
        return 0;
    }
    return 1;
}

int HlcpTranslator::AppendFile(const std::string& path, const std::string& head,
                               const std::uint8_t* body, std::size_t bodyLength) {
    return PutFile(path, head, body, bodyLength, O_APPEND);
}

int HlcpTranslator::WriteFile(const std::string& path, const std::string& head,
                              const std::uint8_t* body, std::size_t bodyLength) {
    return PutFile(path, head, body, bodyLength, O_CREAT | O_TRUNC);
}

int HlcpTranslator::PutFile(const std::string& path, const std::string& head,
                            const std::uint8_t* body, std::size_t bodyLength, int flags) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | flags, 0644));
    int err = 0;
    if (!fd.Valid()) {
        err = errno;
    } else {
        if ((flags & O_APPEND) == 0) {
            m_written.push_back(path);
        }
        err = WriteAll(fd.Get(), head.data(), head.size());
        if (err == 0) {
            err = WriteAll(fd.Get(), body, bodyLength);
        }
        if (err == 0 && fd.Reset() != 0) {
            err = errno;
        }
    }
    if (err != 0) {
        m_message =
            Format("Can't save file %s error = %u\n", path.c_str(), static_cast<unsigned>(err));
        return 0;
    }
    return 1;
}

std::uint64_t HlcpTranslator::SeisanSegmentSamples(int rate) {
    // A channel header counts at most 999999 samples. Longer data becomes consecutive channels
    // of one file, each a whole number of seconds and of 128-byte pieces (32 samples), so
    // that the framed data can be cut between pieces and every channel starts on a second.
    std::uint64_t step = 32;
    while (rate > 0 && step % static_cast<std::uint64_t>(rate) != 0) {
        step += 32;
    }
    return 999999 / step * step;
}

int HlcpTranslator::WriteSeisan(const std::string& path, const std::string& component) {
    const std::uint64_t perSegment = SeisanSegmentSamples(m_header.rate);
    const std::uint64_t segments =
        m_samples <= 999999 ? 1 : (m_samples + perSegment - 1) / perSegment;
    std::vector<SeisanChannel> channels;
    for (std::uint64_t k = 0; k < segments; ++k) {
        SeisanChannel c;
        c.station = m_header.station;
        c.component = component;
        const std::uint64_t first = k * perSegment;
        c.startSecond =
            m_header.startSecond +
            static_cast<std::uint32_t>(first / static_cast<std::uint64_t>(m_header.rate));
        c.rate = m_header.rate;
        c.sampleCount = segments == 1 ? m_samples : std::min(perSegment, m_samples - first);
        c.latitude = m_header.latitude;
        c.longitude = m_header.longitude;
        c.elevation = m_header.elevation;
        channels.push_back(c);
    }
    std::vector<std::uint8_t> main;
    main.push_back(0x4B);
    for (const std::string& line : BuildSeisanMainHeader(std::string(29, ' '), channels)) {
        AppendSegmentedRecord(main, reinterpret_cast<const std::uint8_t*>(line.data()),
                              line.size());
    }
    // Segment k's data is block[k * framed, (k + 1) * framed), the last one to the end.
    const std::uint64_t framed = perSegment / 32 * 130;
    std::vector<std::uint8_t> head = main;
    for (std::uint64_t k = 0; k < segments; ++k) {
        const std::string ch = BuildSeisanChannelHeader(channels[k]);
        AppendSegmentedRecord(head, reinterpret_cast<const std::uint8_t*>(ch.data()), ch.size());
        const std::size_t from = static_cast<std::size_t>(k * framed);
        const std::size_t to =
            k + 1 == segments ? m_block.Length() : static_cast<std::size_t>((k + 1) * framed);
        const int r = k == 0 ? WriteFile(path, std::string(head.begin(), head.end()),
                                         m_block.Data() + from, to - from)
                             : AppendFile(path, std::string(head.begin(), head.end()),
                                          m_block.Data() + from, to - from);
        if (r != 1) {
            return 0;
        }
        head.clear();
    }
    return 1;
}

int HlcpTranslator::Write() {
    if (!m_block.Mapped()) {
        m_message = kMappedFileText;
        return 0;
    }
    if (m_form != kHlcp && !m_headerParsed) {
        m_message = kNotHlcpText;
        return 0;
    }
    const std::string path = m_folder + "/" + OutputName();
    const std::string component = ComponentOf(m_header.channelIndex);
    switch (m_form) {
    case kHlcp:
        return WriteFile(path, {}, m_block.Data(), m_block.Length());
    case kDadisp: {
        const std::string head = BuildDadispHeader(MakeTranslateDadispHeader(
            m_header.name, m_header.station, component, m_header.startSecond, m_header.rate));
        return WriteFile(path, head, m_block.Data(), m_block.Length());
    }
    case kAscii: {
        AsciiHeader h;
        h.station = m_header.station;
        h.component = component;
        h.startSecond = m_header.startSecond;
        h.rate = m_header.rate;
        h.sampleCount = m_samples;
        h.latitude = m_header.latitude;
        h.longitude = m_header.longitude;
        h.elevation = m_header.elevation;
        return WriteFile(path, BuildAsciiHeader(h), m_block.Data(), m_block.Length());
    }
    case kSeisan: {
        if (!m_sealed) {
            m_block.SetLength(m_framer.Seal(m_block.Data(), m_block.Length()));
            m_sealed = true;
        }
        return WriteSeisan(path, component);
    }
    case kCss: {
        if (WriteFile(path, {}, m_block.Data(), m_block.Length()) != 1) {
            return 0;
        }
        const std::string dataName = OutputName();
        const char channelCharacter = m_sourceName.size() > 1 ? m_sourceName[1] : '1';
        const std::string record =
            BuildWfdisc(MakeTranslateWfdisc(m_header.station, channelCharacter, dataName,
                                            m_header.startSecond, m_samples, m_header.rate));
        return WriteFile(m_folder + "/" + WfdiscNameOf(dataName), record, nullptr, 0);
    }
    case kMseed:
        return WriteMseed(path);
    default:
        return 0;
    }
}

} // namespace nereid::recording
