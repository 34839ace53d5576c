#include "recording/hlcp_translator.h"

#include "recording/ascii_format.h"
#include "recording/byte_order.h"
#include "recording/calendar.h"
#include "recording/channel_writer.h"
#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/fixed_text.h"
#include "recording/unique_fd.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace nereid::recording {

namespace {

// Most output bytes one 3-byte sample can need: "-8388608\r\n".
constexpr std::size_t kMaxAsciiSample = 10;

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
    if (m_form < kDadisp || m_form > kCss) {
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

inline void HlcpTranslator::Emit(std::int32_t sample, std::uint8_t*& out) {
    switch (m_form) {
    case kSeisan:
        out += m_framer.Put(out, sample);
        break;
    case kAscii: {
        char* p = reinterpret_cast<char*>(out);
        p = std::to_chars(p, p + 8, sample).ptr;
        p[0] = '\r';
        p[1] = '\n';
        out = reinterpret_cast<std::uint8_t*>(p + 2);
        break;
    }
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
    if (m_form == kDadisp || m_form == kCss) {
        for (std::size_t i = 0; i < whole; ++i, p += 3) {
            PutLeS32(out, GetLeS24(p));
            out += 4;
        }
    } else {
        for (std::size_t i = 0; i < whole; ++i, p += 3) {
            Emit(GetLeS24(p), out);
        }
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
    const std::size_t need = (bytes / 3 + 2) * MaxBytesPerSample(m_form) + 1;
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
    return m_form == kCss ? CssDataName() : BaseOutputName();
}

int HlcpTranslator::WriteFile(const std::string& path, const std::string& head,
                              const std::uint8_t* body, std::size_t bodyLength) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    int err = 0;
    if (!fd.Valid()) {
        err = errno;
    } else {
        m_written.push_back(path);
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
        SeisanChannel c;
        c.station = m_header.station;
        c.component = component;
        c.startSecond = m_header.startSecond;
        c.rate = m_header.rate;
        c.sampleCount = m_samples;
        c.latitude = m_header.latitude;
        c.longitude = m_header.longitude;
        c.elevation = m_header.elevation;
        std::vector<std::uint8_t> head;
        head.push_back(0x4B);
        for (const std::string& line : BuildSeisanMainHeader(std::string(29, ' '), {c})) {
            AppendSegmentedRecord(head, reinterpret_cast<const std::uint8_t*>(line.data()),
                                  line.size());
        }
        const std::string ch = BuildSeisanChannelHeader(c);
        AppendSegmentedRecord(head, reinterpret_cast<const std::uint8_t*>(ch.data()), ch.size());
        return WriteFile(path, std::string(head.begin(), head.end()), m_block.Data(),
                         m_block.Length());
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
    default:
        return 0;
    }
}

} // namespace nereid::recording
