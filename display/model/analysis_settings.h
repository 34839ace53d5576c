#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::display::model {

// One channel of the analysis window's channel list in the settings file (40 bytes).
struct ChannelLayout {
    std::uint32_t timeOpen = 0;     // 1 when the time plot is open
    std::uint32_t spectrumOpen = 0; // 1 when the spectrum is open
    std::uint32_t position = 0;     // place in the list, from 1
    std::string name;               // at most 7 characters (8 bytes with the terminator)
    std::uint32_t timeColour = 0;   // 0x00BBGGRR
    std::uint32_t spectrumColour = 0;
    std::uint32_t timeRange = 0;
    std::uint32_t spectrumRange = 0;
    std::int32_t offset = 0; // zero-line offset of the time plot, in pixels
};

// The analysis window's layout file "tellusw32.cfg": a 52-byte header and one 40-byte record
// per channel, every value 32-bit little-endian.
//   0 record count            4 time background (0..5)   8 spectrum background (0..5)
//  12, 16 unused (written 0)  20 time range index (0..10) 24 bins-shown index (0..9)
//  28 time grid (0..20)       32 spectrum grid (0..20)   36 FFT size N
//  40 unused (written 0)      44 float spectrum share    48 divider position (pixels)
// Record: 0 time open, 4 spectrum open, 8 position, 12 name (8 bytes, NUL-terminated),
//  20 time colour, 24 spectrum colour, 28 time range, 32 spectrum range, 36 offset.
struct AnalysisLayout {
    static constexpr std::size_t kHeaderBytes = 52;
    static constexpr std::size_t kRecordBytes = 40;
    static constexpr int kDefaultGrid = 8;

    std::uint32_t timeBackground = 0;
    std::uint32_t spectrumBackground = 0;
    std::uint32_t timeRangeIndex = 3;
    std::uint32_t binsIndex = 6;
    std::uint32_t timeGrid = kDefaultGrid;
    std::uint32_t spectrumGrid = kDefaultGrid;
    std::uint32_t fftSize = 1024;
    float spectrumShare = 0.5f;
    std::int32_t divider = 60;
    std::vector<ChannelLayout> channels;
};

// Results of ReadAnalysisLayout besides 1 (read).
constexpr int kLayoutMissing = 0;     // no file: the defaults stay
constexpr int kLayoutTooShort = -1;   // shorter than the header: the defaults stay
constexpr int kLayoutUnreadable = -2; // exists but cannot be read
constexpr int kLayoutWriteFailed = -3;

// Decodes the file's bytes with every check: backgrounds above 5 read as 0, time range above
// 10 as 10, bins index above 9 as 9, grid values above 20 as 1, an FFT size other than
// 256 ... 8192 as 1024, a share above 1 (or not a number, or negative) as 0.5. Records beyond
// the bytes present are dropped; a count larger than the file holds is not trusted.
int DecodeAnalysisLayout(const std::vector<std::uint8_t>& bytes, AnalysisLayout& layout);
std::vector<std::uint8_t> EncodeAnalysisLayout(const AnalysisLayout& layout);

int ReadAnalysisLayout(const std::string& path, AnalysisLayout& layout);
// Writes a new file beside the old one and renames it over it, so that a failed write leaves
// the previous layout in place. Returns 1 or kLayoutWriteFailed.
int WriteAnalysisLayout(const std::string& path, const AnalysisLayout& layout);

} // namespace nereid::display::model
