#pragma once

#include "recording/file_channel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nereid::recording {

class CMappedFile;

// Result codes of the SEISAN readers.
enum SeisanReadResult : int {
    kSeisanOk = 1,
    kSeisanNotThisForm = 0, // the first line does not look like this form
    kSeisanBadHeader = -1,  // a field of the main or a channel header is out of range
    kSeisanTruncated = -2,  // a header count or a sample count runs past the end of the file
    kSeisanBadData = -3,    // a sample value or a piece frame is malformed
};

// SEISAN text form: lines of 80 characters + CR LF; each channel a 13-line header, then the
// values 7 per line of 11 characters. On success appends one channel per file channel
// ("Seisan ANSI"); on failure appends nothing. Never reads beyond `size`. When `file` is the
// mapping that `data` and `size` are, the channels read their samples where they lie and keep
// the mapping alive (nothing is decoded ahead, pages walked while checking are let go);
// otherwise the samples are copied into a private block per channel.
int ReadSeisanText(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                   const CMappedFile* file = nullptr);

// SEISAN binary forms, told apart by their first bytes ("Seisan Waveform" both):
// - the PC form: segmented records (see seisan_format.h), starting with the byte 0x4B;
// - the Linux form: every record framed by its length as a 4-byte little-endian word before
//   and after it (so the file starts 50 00 00 00); one record per main header line, one per
//   channel header and one per channel's samples.
// Same contract as ReadSeisanText (pieces of uneven length are gathered into a private block
// even from a mapping).
int ReadSeisanBinary(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                     const CMappedFile* file = nullptr);

// Any SEISAN form: the binary forms, then the text form. Returns kSeisanOk, or the failure of
// the form the bytes looked like (kSeisanNotThisForm when they looked like none).
int ReadSeisanFile(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out,
                   const CMappedFile* file = nullptr);

} // namespace nereid::recording
