#include "recording/seisan_reader.h"

#include "recording/byte_order.h"
#include "recording/calendar.h"
#include "recording/dadisp_format.h"
#include "recording/fixed_text.h"
#include "recording/mapped_file.h"
#include "recording/seisan_format.h"
#include "recording/seisan_samples.h"

#include <algorithm>
#include <memory>

namespace nereid::recording {

namespace {

constexpr std::size_t kTextLine = 82;            // 80 characters + CR LF
constexpr std::size_t kTextChannelHeader = 1066; // 13 lines
constexpr std::size_t kBinaryRecord = 82;        // 80 bytes framed by two length bytes
constexpr std::size_t kBinaryChannelHeader = 1058;

struct MainHeader {
    int channels = 0;
};

bool IntIn(const std::string& text, long low, long high, long& value) {
    return ParseIntField(text, value) && value >= low && value <= high;
}

// Line 1 fields that decide acceptance, `shift` bytes into the data (2 for the binary form).
int ParseMainLine(const std::uint8_t* data, std::size_t size, std::size_t shift,
                  MainHeader& header) {
    long channels = 0, year = 0, doy = 0, month = 0, day = 0;
    if (!IntIn(TakeText(data, size, shift + 30, 3), 1, 999, channels) ||
        !IntIn(TakeText(data, size, shift + 34, 2), 0, 99, year) ||
        !IntIn(TakeText(data, size, shift + 37, 3), 1, 366, doy) ||
        !IntIn(TakeText(data, size, shift + 41, 2), 1, 12, month) ||
        !IntIn(TakeText(data, size, shift + 44, 2), 1, 31, day)) {
        return kSeisanBadHeader;
    }
    header.channels = static_cast<int>(channels);
    return kSeisanOk;
}

// The fields of a channel header; `h` points at its first character, `avail` bytes readable.
struct ChannelHeader {
    std::string station, component;
    int century = -1; // -1 when the column holds no digit
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double seconds = 0;
    int rate = 0;
    long count = 0;
    int sampleSize = 0;
};

int ParseChannelHeader(const std::uint8_t* h, std::size_t avail, ChannelHeader& c) {
    if (avail < 80) {
        return kSeisanTruncated;
    }
    c.station = TakeText(h, avail, 0, 4);
    c.component = TakeText(h, avail, 5, 4);
    c.century = h[9] >= '0' && h[9] <= '9' ? h[9] - '0' : -1;
    long year = 0, month = 0, day = 0, hour = 0, minute = 0, count = 0;
    double seconds = 0, rate = 0;
    if (!IntIn(TakeText(h, avail, 10, 2), 0, 99, year) ||
        !IntIn(TakeText(h, avail, 17, 2), 1, 12, month) ||
        !IntIn(TakeText(h, avail, 20, 2), 1, 31, day) ||
        !IntIn(TakeText(h, avail, 23, 2), 0, 23, hour) ||
        !IntIn(TakeText(h, avail, 26, 2), 0, 59, minute) ||
        !ParseNumberField(TakeText(h, avail, 29, 6), seconds) || seconds < 0 || seconds >= 61 ||
        !ParseNumberField(TakeText(h, avail, 36, 7), rate) || rate < 1 || rate > 1e6 ||
        !IntIn(TakeText(h, avail, 44, 6), 0, 999999, count)) {
        return kSeisanBadHeader;
    }
    if (h[76] == '2') {
        c.sampleSize = 2;
    } else if (h[76] == '4') {
        c.sampleSize = 4;
    } else {
        return kSeisanBadHeader;
    }
    c.year = static_cast<int>(year);
    c.month = static_cast<int>(month);
    c.day = static_cast<int>(day);
    c.hour = static_cast<int>(hour);
    c.minute = static_cast<int>(minute);
    c.seconds = seconds;
    c.rate = static_cast<int>(rate);
    c.count = count;
    return kSeisanOk;
}

FileChannel MakeChannel(const ChannelHeader& c, const char* formatText) {
    FileChannel ch;
    ch.signalName = c.station + c.component;
    ch.dateWord = static_cast<std::uint32_t>(c.day) | static_cast<std::uint32_t>(c.month) << 8 |
                  static_cast<std::uint32_t>(c.year) << 16;
    const int whole = static_cast<int>(c.seconds);
    ch.timeWord = static_cast<std::uint32_t>(whole) | static_cast<std::uint32_t>(c.minute) << 8 |
                  static_cast<std::uint32_t>(c.hour) << 16;
    ch.fraction = c.seconds - whole;
    ch.dateText = Format("%.2d-%.2d-%.2d", c.month, c.day, c.year);
    ch.timeText = Format("%.2d:%.2d:%06.3f", c.hour, c.minute, c.seconds);
    ch.rate = c.rate;
    ch.sampleType = c.sampleSize == 2 ? kSampleInteger : kSampleLong;
    ch.sampleCount = static_cast<std::uint64_t>(c.count);
    ch.formatText = formatText;
    if (c.century >= 0) {
        ch.fullYear = 1900 + 100 * c.century + c.year;
    } else {
        ch.fullYear = c.year < 70 ? 2000 + c.year : 1900 + c.year;
    }
    if (ch.fullYear >= 1970) {
        ch.startSecond =
            CalendarToSeconds(whole, c.minute, c.hour, c.day, c.month, ch.fullYear - 1900);
    }
    return ch;
}

void UseBlock(FileChannel& ch, std::shared_ptr<std::vector<std::uint8_t>> block) {
    ch.firstSample = block->data();
    ch.privateBlock = std::move(block);
}

// Samples read where they lie in the mapped file, which the channel then keeps alive.
void UseMapping(FileChannel& ch, const CMappedFile& file,
                std::shared_ptr<const CSampleSource> source) {
    ch.source = std::move(source);
    ch.mapping = file.shared_from_this();
}

// How often the text check lets go of the pages behind it.
constexpr std::uint64_t kTextDropEvery = 8u << 20;

void StoreSample(std::uint8_t* p, long value, int size) {
    if (size == 2) {
        const auto v = static_cast<std::uint16_t>(value);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    } else {
        PutLeS32(p, static_cast<std::int32_t>(value));
    }
}

} // namespace

int ReadSeisanText(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                   const CMappedFile* file) {
    if (data == nullptr || size < kTextLine) {
        return kSeisanNotThisForm;
    }
    static constexpr std::size_t kSpaces[] = {0, 36, 40, 43, 46, 49, 52, 59};
    for (std::size_t p : kSpaces) {
        if (data[p] != ' ') {
            return kSeisanNotThisForm;
        }
    }
    // Column 34 carries the century digit of the year (1 from 2000 on) in files written by
    // SEISAN and by this system; older files leave it blank.
    if (data[33] != ' ' && (data[33] < '0' || data[33] > '9')) {
        return kSeisanNotThisForm;
    }
    if (data[80] != '\r' || data[81] != '\n') {
        return kSeisanNotThisForm;
    }
    MainHeader main;
    if (const int r = ParseMainLine(data, size, 0, main); r != kSeisanOk) {
        return r;
    }
    if (file != nullptr && !(file->Data() == data && file->Size() == size)) {
        file = nullptr;
    }

    std::vector<FileChannel> channels;
    std::uint64_t pos =
        static_cast<std::uint64_t>(SeisanMainHeaderLines(main.channels)) * kTextLine;
    for (int k = 0; k < main.channels; ++k) {
        if (pos + kTextChannelHeader > size) {
            return kSeisanTruncated;
        }
        ChannelHeader c;
        if (const int r = ParseChannelHeader(data + pos, size - pos, c); r != kSeisanOk) {
            return r;
        }
        const std::uint64_t lines = (static_cast<std::uint64_t>(c.count) + 6) / 7;
        const std::uint64_t blockLength =
            static_cast<std::uint64_t>(c.count) * 11 + 2 * lines + kTextChannelHeader;
        // The last line of a file may lack its CR LF.
        if (pos + blockLength > static_cast<std::uint64_t>(size) + 2) {
            return kSeisanTruncated;
        }
        // A file is read where it lies, every value checked here once; a buffer in memory
        // gets its values copied into a private block.
        std::shared_ptr<std::vector<std::uint8_t>> block;
        if (file == nullptr) {
            block = std::make_shared<std::vector<std::uint8_t>>(
                static_cast<std::size_t>(c.count) * static_cast<std::size_t>(c.sampleSize));
        }
        const std::uint64_t first = pos + kTextChannelHeader;
        std::uint64_t at = first;
        std::uint64_t dropped = first;
        for (long i = 0; i < c.count; ++i) {
            if (i > 0 && i % 7 == 0) {
                at += 2; // CR LF of the previous line
            }
            if (at + 11 > size) {
                return kSeisanTruncated;
            }
            long value = 0;
            if (!CSeisanTextSamples::ParseValue(data + at, value)) {
                return kSeisanBadData;
            }
            if (block) {
                StoreSample(block->data() + static_cast<std::size_t>(i) * c.sampleSize, value,
                            c.sampleSize);
            } else if (at - dropped >= kTextDropEvery) {
                file->DropPages(data + first, data + at);
                dropped = at;
            }
            at += 11;
        }
        FileChannel ch = MakeChannel(c, "Seisan ANSI");
        if (block) {
            UseBlock(ch, std::move(block));
        } else {
            UseMapping(ch, *file, std::make_shared<CSeisanTextSamples>(data + first, c.sampleSize));
        }
        channels.push_back(std::move(ch));
        pos += blockLength;
    }
    for (FileChannel& ch : channels) {
        out.push_back(std::move(ch));
    }
    return kSeisanOk;
}

namespace {

constexpr std::size_t kMarker = 4; // the record length words of the Linux form

// One record of the Linux form at `pos`: a length word, the bytes, the same length word.
// On success `body` is the offset of the bytes and `pos` moves past the record.
int TakeLinuxRecord(const std::uint8_t* data, std::size_t size, std::uint64_t& pos,
                    std::uint64_t& body, std::uint64_t& length) {
    if (pos + kMarker > size) {
        return kSeisanTruncated;
    }
    length = GetLe32(data + pos);
    if (pos + 2 * kMarker + length > size) {
        return kSeisanTruncated;
    }
    if (GetLe32(data + pos + kMarker + length) != length) {
        return kSeisanBadData;
    }
    body = pos + kMarker;
    pos += 2 * kMarker + length;
    return kSeisanOk;
}

// The form SEISAN writes on Linux: every record (each main header line, each channel header,
// each channel's samples) framed by its length as a 4-byte little-endian word before and
// after it, with no leading byte.
int ReadSeisanLinux(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                    const CMappedFile* file) {
    if (size < 2 * kMarker + kSeisanLine || GetLe32(data) != kSeisanLine ||
        GetLe32(data + kMarker + kSeisanLine) != kSeisanLine) {
        return kSeisanNotThisForm;
    }
    MainHeader main;
    if (const int r = ParseMainLine(data, size, kMarker, main); r != kSeisanOk) {
        return r;
    }
    std::uint64_t pos = 0, body = 0, length = 0;
    for (int line = 0; line < SeisanMainHeaderLines(main.channels); ++line) {
        if (const int r = TakeLinuxRecord(data, size, pos, body, length); r != kSeisanOk) {
            return r;
        }
        if (length != kSeisanLine) {
            return kSeisanBadData;
        }
    }
    std::vector<FileChannel> channels;
    for (int k = 0; k < main.channels; ++k) {
        if (const int r = TakeLinuxRecord(data, size, pos, body, length); r != kSeisanOk) {
            return r;
        }
        ChannelHeader c;
        if (const int r = ParseChannelHeader(data + body, static_cast<std::size_t>(length), c);
            r != kSeisanOk) {
            return r;
        }
        if (const int r = TakeLinuxRecord(data, size, pos, body, length); r != kSeisanOk) {
            return r;
        }
        const std::uint64_t need =
            static_cast<std::uint64_t>(c.count) * static_cast<std::uint64_t>(c.sampleSize);
        if (length != need) {
            return kSeisanBadData;
        }
        FileChannel ch = MakeChannel(c, "Seisan Waveform");
        if (file != nullptr) {
            // One little-endian array in the file: read where it lies.
            ch.firstSample = data + body;
            ch.mapping = file->shared_from_this();
        } else {
            auto block =
                std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(need));
            std::copy(data + body, data + body + need, block->data());
            UseBlock(ch, std::move(block));
        }
        channels.push_back(std::move(ch));
    }
    for (FileChannel& ch : channels) {
        out.push_back(std::move(ch));
    }
    return kSeisanOk;
}

} // namespace

int ReadSeisanBinary(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                     const CMappedFile* file) {
    if (file != nullptr && !(file->Data() == data && file->Size() == size)) {
        file = nullptr;
    }
    if (data != nullptr && size >= kMarker && GetLe32(data) == kSeisanLine) {
        return ReadSeisanLinux(data, size, out, file);
    }
    // The length bytes around the first three records must be in the file.
    if (data == nullptr || size < 166) {
        return kSeisanNotThisForm;
    }
    if (data[0] != 0x4B || data[1] != 80 || data[82] != 80 || data[83] != 80 || data[164] != 80 ||
        data[165] != 80) {
        return kSeisanNotThisForm;
    }
    MainHeader main;
    if (const int r = ParseMainLine(data, size, 2, main); r != kSeisanOk) {
        return r;
    }

    std::vector<FileChannel> channels;
    // Offsets below are into the file: byte 0 is the "K", then the framed header records.
    std::uint64_t pos =
        1 + static_cast<std::uint64_t>(SeisanMainHeaderLines(main.channels)) * kBinaryRecord;
    for (int k = 0; k < main.channels; ++k) {
        if (pos + kBinaryChannelHeader > size) {
            return kSeisanTruncated;
        }
        ChannelHeader c;
        // The fields all lie in the header's first piece, after its length byte.
        if (const int r = ParseChannelHeader(data + pos + 1, kSeisanPiece, c); r != kSeisanOk) {
            return r;
        }
        pos += kBinaryChannelHeader;
        const std::uint64_t need =
            static_cast<std::uint64_t>(c.count) * static_cast<std::uint64_t>(c.sampleSize);
        if (pos + need > size) {
            return kSeisanTruncated;
        }
        const std::uint64_t first = pos;
        // A mapped file is read where it lies: its pieces need only sit where a regular
        // layout puts them. A buffer in memory is copied, so every piece is walked.
        const int check = file != nullptr
                              ? CheckRegularSeisanPieces(data, size, pos, need)
                              : CheckSeisanPieces(data, size, pos, need, nullptr, nullptr);
        if (check == kPiecesBad) {
            return kSeisanBadData;
        }
        if (check == kPiecesShort) {
            return kSeisanTruncated;
        }
        FileChannel ch = MakeChannel(c, "Seisan Waveform");
        if (file != nullptr && check == kPiecesRegular) {
            UseMapping(ch, *file,
                       std::make_shared<CSeisanPieceSamples>(data + first, c.sampleSize));
        } else {
            // Pieces of uneven length (or a buffer in memory): the values are gathered into a
            // private block. Samples are little-endian in the file and in the block.
            auto block =
                std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(need));
            std::uint64_t at = first, got = 0;
            while (got < need) {
                const std::uint64_t n = data[at];
                std::copy(data + at + 1, data + at + 1 + n, block->data() + got);
                got += n;
                at += n + 2;
            }
            UseBlock(ch, std::move(block));
        }
        channels.push_back(std::move(ch));
    }
    for (FileChannel& ch : channels) {
        out.push_back(std::move(ch));
    }
    return kSeisanOk;
}

int ReadSeisanFile(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                   const CMappedFile* file) {
    const int binary = ReadSeisanBinary(data, size, out, file);
    if (binary == kSeisanOk) {
        return binary;
    }
    const int text = ReadSeisanText(data, size, out, file);
    if (text == kSeisanOk || binary == kSeisanNotThisForm) {
        return text;
    }
    return binary;
}

} // namespace nereid::recording
