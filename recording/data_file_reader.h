#pragma once

#include "recording/file_channel.h"

#include <string>
#include <vector>

namespace nereid::recording {

// Results of OpenDataFile.
enum OpenDataResult : int {
    kOpenAdded = 1,
    kOpenBadName = -1,         // "<path> is not a valid file"
    kOpenCannotOpen = -2,      // "iii" / "File could not be opened"
    kOpenCannotMap = -3,       // "File could not be opened" or "Could not map view of file"
    kOpenNotValid = -4,        // "<path> is not valid file"
    kOpenFileTypeUnknown = -5, // "File type unknown"
    kOpenHeaderMissing = -6,   // "Header file could not be opened"
    kOpenHeaderShort = -7,     // "Could not read header file"
};

// The text and caption a caller shows for a refused file; `detail` adds the system's reason
// where there is one (the message itself stays as users know it).
struct ReaderMessage {
    std::string text;
    std::string caption;
    std::string detail;
};

// True when a base name passes the name check: 12 or 17 characters, first character D, E, W
// or C (either case), day of year 1..366 at character 15 (17) or 10 (12), counted from 1.
bool IsDataFileName(const std::string& baseName);

// Opens one file read-only and appends its channel(s) to `channels`: DADiSP datasets (12 or
// 17 characters starting "DD"), CSS pairs (17 characters, either file of the pair), SEISAN
// text or binary files (tried when a DADiSP-named file has no DADiSP header). A file whose
// name passes no name check is recognised by its contents instead: miniSEED (one channel per
// continuous segment of each stream), SEISAN (PC and Linux binary forms, text form) or a
// DADiSP header; when it is none of them it is refused with
// kOpenBadName as before, the reason in the detail. Returns
// kOpenAdded or a negative code with `message` set; on failure `channels` is unchanged and
// every descriptor and mapping opened for the file is released.
int OpenDataFile(const std::string& path, std::vector<FileChannel>& channels,
                 ReaderMessage& message);

} // namespace nereid::recording
