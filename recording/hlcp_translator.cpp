#include "recording/hlcp_translator.h"

#include "recording/calendar.h"
#include "recording/css_format.h"
#include "recording/fixed_text.h"
#include "recording/mapped_file.h"
#include "recording/mseed_writer.h"
#include "recording/sample_decoders.h"
#include "recording/translate_layouts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>

namespace nereid::recording {

namespace {

// Output is written in blocks of this size: large enough that the writes cost little beside
// the decoding, small enough to stay in the cache.
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
// Room past kBufferBytes: the decimal writer's scratch and the SEISAN seal's extra byte.
constexpr std::size_t kBufferSlack = 64;

std::size_t MaxBytesPerSample(int form) {
    switch (form) {
    case HlcpTranslator::kAscii:
        return kMaxDecimalLine;
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

HlcpTranslator::HlcpTranslator(int form, std::uint64_t expectedSourceBytes, std::string sourceName,
                               std::string destinationFolder)
    : m_form(form), m_expectedBytes(expectedSourceBytes), m_folder(std::move(destinationFolder)) {
    const std::size_t slash = sourceName.find_last_of('/');
    m_sourceName = slash == std::string::npos ? sourceName : sourceName.substr(slash + 1);
}

HlcpTranslator::~HlcpTranslator() = default;

std::uint64_t HlcpTranslator::SeisanSegmentSamples(int rate) {
    return recording::SeisanSegmentSamples(rate);
}

bool HlcpTranslator::PrepareOutput() {
    if (m_form < kDadisp || m_form > kMseed) {
        m_message = kMappedFileText;
        return false;
    }
    // Left uninitialised: every byte is written before it is read, and a translation of a
    // small file (an upload of many) should not pay for clearing a megabyte.
    m_buffer.reset(new (std::nothrow) std::uint8_t[kBufferBytes + kBufferSlack]);
    if (WritesInBackground()) {
        m_spare.reset(new (std::nothrow) std::uint8_t[kBufferBytes + kBufferSlack]);
    }
    if (!m_buffer || (WritesInBackground() && !m_spare)) {
        ReleaseOutput();
        m_message = kMappedFileText;
        return false;
    }
    return true;
}

void HlcpTranslator::ReleaseOutput() {
    m_appender.reset();
    m_output.reset();
    m_packer.reset();
    m_buffer.reset();
    m_spare.reset();
    m_fill = 0;
}

CStagedFile::Layout HlcpTranslator::LayoutFor(std::uint64_t samples) const {
    switch (m_form) {
    case kDadisp:
        return DadispLayout(m_header);
    case kAscii:
        return AsciiLayout(m_header, samples);
    case kSeisan:
        return SeisanLayout(m_header, samples);
    default:
        return {{}};
    }
}

void HlcpTranslator::OpenOutput() {
    m_appender.reset();
    m_output = std::make_unique<CStagedFile>(m_folder + "/" + OutputName());
    const std::uint64_t expected =
        m_expectedBytes > kHlcpHeaderSize ? (m_expectedBytes - kHlcpHeaderSize) / 3 : 0;
    const int error = m_output->Open(LayoutFor(expected));
    if (error != 0 && m_outputError == 0) {
        m_outputError = error;
    }
    if (WritesInBackground()) {
        m_appender = std::make_unique<CBackgroundAppender>(*m_output);
    }
}

bool HlcpTranslator::WritesInBackground() const {
    // Decimal text and SEISAN's pieces cost as much to make as to write: they are written on
    // a thread of their own while the next block is made. The plain forms are hardly more than
    // the write, which a hand-over per block would only slow.
    return m_form == kAscii || m_form == kSeisan;
}

void HlcpTranslator::FlushBuffer(bool all) {
    // SEISAN keeps the piece being filled: Seal rewrites its leading marker at the end.
    const std::size_t keep =
        m_form == kSeisan && !all ? std::min(m_fill, m_framer.PieceFill() + 1) : 0;
    const std::size_t out = m_fill - keep;
    const bool writing = m_outputError == 0 && out > 0;
    if (writing && m_appender) {
        // Written while the other buffer fills: Append has waited for the other's last bytes
        // to be written, so it takes the kept tail.
        m_outputError = m_appender->Append(m_buffer.get(), out);
        std::memcpy(m_spare.get(), m_buffer.get() + out, keep);
        std::swap(m_buffer, m_spare);
    } else {
        if (writing) {
            m_outputError = m_output->Append(m_buffer.get(), out);
        }
        std::memmove(m_buffer.get(), m_buffer.get() + out, keep);
    }
    m_fill = keep;
}

void HlcpTranslator::DecodeSamples(const std::uint8_t* p, std::size_t count) {
    m_samples += count;
    if (m_form == kMseed) {
        // Whole chunks go to the packer's workers as the file's bytes (Feed waits for them
        // before it returns); the rest is decoded straight into the chunk being filled.
        while (count > 0 && m_packer) {
            if (m_packer->ChunkEmpty() && count >= CSteim2ChunkPacker::kChunkSamples) {
                m_packer->CommitRaw(p);
                m_rawChunks = true;
                p += 3 * CSteim2ChunkPacker::kChunkSamples;
                count -= CSteim2ChunkPacker::kChunkSamples;
                continue;
            }
            const std::size_t n = std::min(count, m_packer->Room());
            DecodeToS32(p, n, m_packer->Space());
            m_packer->Commit(n);
            p += 3 * n;
            count -= n;
        }
        return;
    }
    const std::size_t per = MaxBytesPerSample(m_form);
    while (count > 0) {
        const std::size_t n = std::min(count, (kBufferBytes - m_fill) / per);
        if (n == 0) {
            FlushBuffer();
            continue;
        }
        std::uint8_t* out = m_buffer.get() + m_fill;
        switch (m_form) {
        case kAscii:
            out = reinterpret_cast<std::uint8_t*>(
                DecodeToDecimalLines(p, n, reinterpret_cast<char*>(out)));
            break;
        case kSeisan:
            out = DecodeToSeisanFrames(m_framer, p, n, out);
            break;
        default:
            out = DecodeToLeS32(p, n, out);
            break;
        }
        m_fill = static_cast<std::size_t>(out - m_buffer.get());
        p += 3 * n;
        count -= n;
    }
}

void HlcpTranslator::Decode(const std::uint8_t* bytes, std::size_t count) {
    const std::uint8_t* const end = bytes + count;
    if (m_carryLength > 0) {
        while (m_carryLength < 3 && bytes < end) {
            m_carry[m_carryLength++] = *bytes++;
        }
        if (m_carryLength < 3) {
            return;
        }
        DecodeSamples(m_carry, 1);
        m_carryLength = 0;
    }
    const std::size_t whole = static_cast<std::size_t>(end - bytes) / 3;
    DecodeSamples(bytes, whole);
    for (const std::uint8_t* p = bytes + 3 * whole; p < end; ++p) {
        m_carry[m_carryLength++] = *p;
    }
}

void HlcpTranslator::KeepBytes(const std::uint8_t* piece, std::size_t length) {
    if (length >= kBufferBytes) {
        FlushBuffer(); // the HLCP form writes without the background appender
        if (m_outputError == 0) {
            m_outputError = m_output->Append(piece, length);
        }
        return;
    }
    if (m_fill + length > kBufferBytes) {
        FlushBuffer();
    }
    std::memcpy(m_buffer.get() + m_fill, piece, length);
    m_fill += length;
}

int HlcpTranslator::Feed(const std::uint8_t* piece, std::size_t length) {
    if (!m_buffer) {
        m_message = kMappedFileText;
        return 0;
    }
    if (m_sealed) {
        m_message = "The output has already been written";
        return 0;
    }
    if (m_form == kHlcp) {
        if (!m_output) {
            OpenOutput();
        }
        if (length > 0) {
            KeepBytes(piece, length);
        }
        return 1;
    }
    std::size_t from = 0;
    if (!m_headerParsed) {
        if (piece == nullptr || !ParseHlcpHeader(piece, length, m_header)) {
            m_message = kNotHlcpText;
            return 0;
        }
        from = kHlcpHeaderSize;
        m_headerParsed = true;
        OpenOutput();
        if (m_form == kSeisan) {
            m_fill = m_framer.Begin(m_buffer.get());
        } else if (m_form == kMseed) {
            // The records go to the output a chunk at a time, past the small buffer.
            m_packer = std::make_unique<CSteim2ChunkPacker>(
                MseedStream(), m_header.rate,
                static_cast<std::int64_t>(m_header.startSecond) * 1000000000LL,
                [this](const std::uint8_t* records, std::size_t length) {
                    if (m_outputError == 0) {
                        m_outputError = m_output->Append(records, length);
                    }
                    return m_outputError;
                });
        }
    }
    Decode(piece + from, length - from);
    if (m_rawChunks) {
        m_packer->Drain(); // the piece is the caller's again once Feed returns
        m_rawChunks = false;
    }
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
        return m_sourceName + m_nameSuffix;
    }
    if (!m_headerParsed) {
        return {};
    }
    if (m_form == kMseed) {
        return BaseOutputName() + kMseedExtension + m_nameSuffix;
    }
    return (m_form == kCss ? CssDataName() : BaseOutputName()) + m_nameSuffix;
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

int HlcpTranslator::Fail(const std::string& path, int error) {
    m_message =
        Format("Can't save file %s error = %u\n", path.c_str(), static_cast<unsigned>(error));
    m_appender.reset();
    m_output.reset();
    return 0;
}

int HlcpTranslator::Write() {
    return Complete(CStagedFile::Existing::kReplace, {});
}

int HlcpTranslator::WritePart(const std::string& suffix) {
    return Complete(CStagedFile::Existing::kKeep, suffix);
}

std::string HlcpTranslator::FreePartSuffix(const std::string& suffix) const {
    const auto taken = [this](const std::string& name) {
        std::error_code error;
        const auto status = std::filesystem::symlink_status(m_folder + "/" + name, error);
        return std::filesystem::exists(status);
    };
    const std::string name = OutputName();
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = n == 1 ? suffix : "." + std::to_string(n) + suffix;
        if (!taken(name + candidate) &&
            !(m_form == kCss && taken(WfdiscNameOf(name) + candidate))) {
            return candidate;
        }
    }
    return suffix; // every name taken: the commit refuses to replace the first
}

int HlcpTranslator::Complete(CStagedFile::Existing existing, const std::string& partSuffix) {
    if (!m_buffer) {
        m_message = kMappedFileText;
        return 0;
    }
    if (m_form != kHlcp && !m_headerParsed) {
        m_message = kNotHlcpText;
        return 0;
    }
    if (m_sealed) {
        m_message = "The output has already been written";
        return 0;
    }
    m_sealed = true;
    if (!m_output) {
        OpenOutput(); // an HLCP form output fed nothing
    }
    if (m_form == kMseed && m_packer) {
        // Steps beyond 30 bits are never written as other numbers: the translation fails.
        const int error = m_packer->Finish();
        m_packer.reset();
        if (error != 0 && m_outputError == 0) {
            m_packError = error;
        }
    }
    if (m_form == kSeisan && m_outputError == 0) {
        m_fill = m_framer.Seal(m_buffer.get(), m_fill);
    }
    FlushBuffer(true);
    if (const int e = m_appender ? m_appender->Wait() : 0; e != 0 && m_outputError == 0) {
        m_outputError = e;
    }
    if (existing == CStagedFile::Existing::kKeep) {
        m_nameSuffix = FreePartSuffix(partSuffix);
        m_output->SetPath(m_folder + "/" + OutputName());
    }
    const std::string path = m_output->Path();
    const int error = m_outputError != 0 ? m_outputError : m_packError;
    if (error != 0) {
        return Fail(path, error);
    }
    // CSS: the wfdisc record is written before the data file takes its name, so that only
    // the last rename can fail between the two.
    std::unique_ptr<CStagedFile> wfdisc;
    CStagedFile::Layout record;
    if (m_form == kCss) {
        const char channelCharacter = m_sourceName.size() > 1 ? m_sourceName[1] : '1';
        record = {{CssWfdiscRecord(m_header, channelCharacter, OutputName(), m_samples),
                   CStagedFile::kOpenEnd}};
        wfdisc = std::make_unique<CStagedFile>(m_folder + "/" + WfdiscNameOf(OutputName()));
        if (const int e = wfdisc->Open(record); e != 0) {
            return Fail(wfdisc->Path(), e);
        }
    }
    if (const int e = m_output->Commit(LayoutFor(m_samples), existing); e != 0) {
        return Fail(path, e);
    }
    m_written.push_back(path);
    if (wfdisc) {
        if (const int e = wfdisc->Commit(record, existing); e != 0) {
            return Fail(wfdisc->Path(), e);
        }
        m_written.push_back(wfdisc->Path());
    }
    return 1;
}

int FeedMappedFile(HlcpTranslator& translator, const CMappedFile& file) {
    static const std::uint8_t kNothing = 0;
    const std::uint8_t* data = file.Data() != nullptr ? file.Data() : &kNothing;
    const std::size_t size = file.Size();
    // Large enough to hold the header and to make the page drops rare.
    constexpr std::size_t kPiece = std::size_t{16} << 20;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kPiece, size - at);
        if (translator.Feed(data + at, n) != 1) {
            return 0;
        }
        if (n > 0) {
            file.DropPages(data + at, data + at + n);
        }
        at += n;
    } while (at < size);
    return 1;
}

} // namespace nereid::recording
