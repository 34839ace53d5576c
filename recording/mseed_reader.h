#pragma once

#include "recording/file_channel.h"

#include <vector>

namespace nereid::recording {

class CMappedFile;

// Result codes of ReadMseedFile.
enum MseedReadResult : int {
    kMseedOk = 1,
    kMseedNotThisForm = 0, // the first bytes are no miniSEED record
    kMseedDamaged = -1,    // a later record is cut short or unreadable
    kMseedNoSamples = -2,  // records, but none that carries samples
};

// A miniSEED file (SEED 2 data records of any length libmseed detects, several streams
// interleaved), read with libmseed. Every continuous run of a stream becomes one channel:
// a stream with a gap (or a jump back, or a change of rate) gives one channel per segment,
// in the order the streams first appear. Only the records' headers are read here; samples
// are decoded a record at a time when asked for, so memory stays an index of about 8 bytes a
// record whatever the file's size. The channels keep the mapping alive. On failure appends
// nothing.
int ReadMseedFile(const CMappedFile& file, std::vector<FileChannel>& out);

// True when the bytes start with a miniSEED record (a cheap look at the first header).
bool LooksLikeMseed(const std::uint8_t* data, std::size_t size);

} // namespace nereid::recording
