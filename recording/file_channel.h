#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nereid::recording {

class CMappedFile;
class CSampleSource;

// One opened data file as a display channel. The samples are either one array in the
// read-only mapping of the file (DADiSP, CSS, SEISAN's Linux form) or in a private block, or
// they are read on demand through a sample source (SEISAN pieces and text, miniSEED) that
// decodes from the mapping; all are owned through the shared pointers, so a copy of the
// record keeps them alive and the last copy releases them.
struct FileChannel {
    std::string signalName;     // at most 11 characters
    std::uint32_t dateWord = 0; // bits 0-7 day, 8-15 month, 16-31 year as the file gives it
    std::uint32_t timeWord = 0; // bits 0-7 second, 8-15 minute, 16-23 hour
    double fraction = 0.0;      // of the first second
    std::string dateText, timeText;
    int rate = 0;       // samples per second, 0 when the file gives none
    int sampleType = 4; // SampleType of dadisp_format.h
    // The first sample of the array; null when `source` gives the samples.
    const std::uint8_t* firstSample = nullptr;
    std::uint64_t sampleCount = 0;
    std::string formatText; // "DADiSP Format", "CSS Format", "Seisan ANSI", "Seisan Waveform"
    bool showWaveform = true;
    bool showSpectrum = false;

    // Full start time, for callers that need more than the display words: full year, and
    // the start second since 1970 (whole seconds; the fraction above comes on top).
    int fullYear = 0;
    std::uint32_t startSecond = 0;
    std::string path;

    std::shared_ptr<const CMappedFile> mapping;
    std::shared_ptr<const std::vector<std::uint8_t>> privateBlock;
    std::shared_ptr<const CSampleSource> source;
    // The stream's full name where the file gives one ("NET.STA.LOC.CHA" for miniSEED).
    std::string streamId;

    // Sample i (< sampleCount) as a number, read little-endian by the sample type.
    double Value(std::uint64_t i) const;
    // Sample i for the integer types (BYTE, INTEGER, LONG); float types are truncated (beyond
    // the 64-bit range saturated, not-a-number as 0).
    std::int64_t IntValue(std::uint64_t i) const;
    // Samples [begin, begin + n) as numbers; positions at or past sampleCount read as 0.
    // Cheaper per sample than Value for runs of samples.
    void ReadValues(std::uint64_t begin, std::size_t n, double* out) const;
};

// `n` samples of `sampleType` lying as a little-endian array at `p`, as numbers.
void ConvertSamples(const std::uint8_t* p, int sampleType, std::size_t n, double* out);

} // namespace nereid::recording
