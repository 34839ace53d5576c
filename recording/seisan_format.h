#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nereid::recording {

// SEISAN waveform file in segmented binary records, as written here:
//
//   byte 0          0x4B ("K")
//   main header     N records of 80 bytes, each framed by the length byte 80 ("P") before and
//                   after it; N = SeisanMainHeaderLines(channels)
//   per channel     the 1040-byte channel header, then the samples (signed 32-bit
//                   little-endian), each record split into 128-byte pieces framed by 0x80
//                   before and after, the last piece framed by its own length; a record that
//                   is a whole number of pieces ends with its last piece (nothing follows)
//
// Main header line 1 (0-based columns):
//    0 space | 1-29 network | 30-32 channels "%.3d" | 33 century digit | 34-35 year "%.2d" |
//   37-39 day of year | 41-42 month | 44-45 day | 47-48 hour | 50-51 minute |
//   53-58 second "%6.3f" | 60-68 window length in seconds "%9.3f"; spaces between.
// Line 2 blank. Lines 3..: three channel entries of 26 characters each:
//    0 space | 1-4 station | 5-8 component | 10-16 start offset "%7.2f" | 18-25 duration
//   "%8.2f". Remaining lines blank.
//
// Channel header (1040 bytes; 1-based SEISAN columns):
//    1-5 station (4 and a space) | 6-9 component | 10 century digit | 11-12 year |
//   14-16 day of year | 18-19 month | 21-22 day | 24-25 hour | 27-28 minute |
//   30-35 second "%6.3f" | 37-43 rate "%7.2f" | 45-50 sample count "%6d" |
//   52-59 latitude "%8.4f" | 61-69 longitude "%9.4f" | 71-75 elevation "%.5d" |
//   77 sample size "4"; all else spaces.
//
// The century digit is 1 from 2000 on and 0 before (taken from the full year).

constexpr std::size_t kSeisanLine = 80;
constexpr std::size_t kSeisanChannelHeader = 1040;
constexpr std::size_t kSeisanPiece = 128;

struct SeisanChannel {
    std::string station;   // first 4 characters used
    std::string component; // 4 characters, e.g. " c1p"
    std::uint32_t startSecond = 0;
    int rate = 0;
    std::uint64_t sampleCount = 0;
    std::int32_t latitude = 0;  // degrees x 100000
    std::int32_t longitude = 0; // degrees x 100000
    std::int32_t elevation = 0; // metres
};

// max(12, channels / 3 + 2, plus 1 when channels is not a multiple of 3).
int SeisanMainHeaderLines(int channels);

// The main header lines (80 characters each, no terminators). The header time is the earliest
// channel start; the window is the latest channel end minus it.
std::vector<std::string> BuildSeisanMainHeader(const std::string& network,
                                               const std::vector<SeisanChannel>& channels);

// The 1040 characters of a channel header.
std::string BuildSeisanChannelHeader(const SeisanChannel& channel);

// Coordinate reduction: v = stored / 100000; beyond +-limit the whole multiples of the limit
// are removed.
double ReduceCoordinate(std::int32_t stored, double limit);

// Appends one record split into framed pieces.
void AppendSegmentedRecord(std::vector<std::uint8_t>& out, const std::uint8_t* record,
                           std::size_t length);

// Bytes a record of `length` bytes occupies once framed.
std::uint64_t SegmentedSize(std::uint64_t length);

// A whole multi-channel file: channel k's samples are samples[k].
std::vector<std::uint8_t> BuildSeisanFile(const std::string& network,
                                          const std::vector<SeisanChannel>& channels,
                                          const std::vector<std::vector<std::int32_t>>& samples);

// Frames the data record of one channel as the samples arrive, into memory the caller owns:
// one 0x80 first, then after every 128 data bytes 0x80 0x80 (end of a piece, start of the
// next). Seal fixes the last piece once the count is known. 4-byte samples never straddle a
// piece boundary, because 128 is a multiple of 4.
class CSeisanDataFramer {
public:
    // Most bytes one Put writes.
    static constexpr std::size_t kMaxPut = 6;

    // Writes the leading marker; returns 1 (bytes written).
    std::size_t Begin(std::uint8_t* out);
    // Writes one sample (and a piece boundary after every 32nd); returns the bytes written.
    std::size_t Put(std::uint8_t* out, std::int32_t sample) {
        PutLe(out, sample);
        m_pieceFill += 4;
        if (m_pieceFill < kSeisanPiece) {
            return 4;
        }
        out[4] = 0x80;
        out[5] = 0x80;
        m_pieceFill = 0;
        return 6;
    }

    // Closes the record in place: `data` holds the framed bytes written so far (`length`).
    // Returns the final length: the last piece's leading marker becomes its byte count with
    // the same byte appended (data must have room for one more byte), or, when the data ended
    // on a piece boundary, the dangling marker of the empty piece is dropped.
    std::size_t Seal(std::uint8_t* data, std::size_t length) const;
    // Data bytes in the piece being filled: its leading marker lies that many bytes and one
    // before the end, and Seal rewrites it.
    std::size_t PieceFill() const { return m_pieceFill; }

private:
    static void PutLe(std::uint8_t* p, std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        p[0] = static_cast<std::uint8_t>(u);
        p[1] = static_cast<std::uint8_t>(u >> 8);
        p[2] = static_cast<std::uint8_t>(u >> 16);
        p[3] = static_cast<std::uint8_t>(u >> 24);
    }

    std::size_t m_pieceFill = 0;
};

} // namespace nereid::recording
