#pragma once

#include <cstdint>
#include <string>

#include "link/answer_records.h"

namespace nereid::instrument {

// One row of a recorder directory listing, as the upload shows it.
struct RecorderEntry {
    std::string name; // "BASE.EXT" for a file, "BASE" for a directory (cut at the first space)
    bool directory = false;
    std::uint32_t size = 0;  // bytes
    std::uint32_t sizeK = 0; // size / 1000, rounded up
    std::string timeText;    // "%d:%d:%d": hours, minutes, seconds
    std::string dateText;    // "%d/%d/%d": month, day, year
};

// Decodes one entry record of a listing frame. Names are cut at the first space or NUL.
RecorderEntry DecodeRecorderEntry(const link::DirectoryEntry& entry);

// Size in thousands of bytes, rounded up (0 stays 0).
std::uint32_t SizeInK(std::uint32_t bytes);

// DOS packed time (hours in bits 11..15, minutes 5..10, seconds / 2 in 0..4) as "%d:%d:%d".
std::string DosTimeText(std::uint16_t dosTime);
// DOS packed date (year - 1980 in bits 9..15, month 5..8, day 0..4) as "%d/%d/%d" (m/d/y).
std::string DosDateText(std::uint16_t dosDate);

// The recorder's files whose names hold an upper-case "S" or "T" are not recorded data in
// the translatable form; they are always saved as they are.
bool KeepsRecorderForm(const std::string& fileName);

// Joins a recorder directory ("A:" or "A:\DAY093") and a name with one backslash.
std::string JoinRecorderPath(const std::string& directory, const std::string& name);
// Splits "A:\DAY093\D1*.*" into "A:\DAY093" and "D1*.*"; a path without a backslash gives
// an empty directory.
void SplitRecorderPath(const std::string& path, std::string& directory, std::string& name);
// True when the name holds a "*" or "?" wildcard.
bool HasWildcard(const std::string& name);

// The PC forms in the order of the format list: "DaDiSP", "Seisan", "ASCII", "HLCP", "CSS",
// "miniSEED" (the HlcpTranslator forms).
constexpr int kPcFormCount = 6;
const char* PcFormTitle(int form);
// Parses "dadisp", "seisan", "ascii", "hlcp", "css", "miniseed" or "mseed" (any case).
// Returns the form 0..5, or -1.
int ParsePcForm(const std::string& text);

} // namespace nereid::instrument
