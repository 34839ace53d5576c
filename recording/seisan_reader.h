#pragma once

#include "recording/file_channel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nereid::recording {

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
// ("Seisan ANSI"), the samples copied into a private block; on failure appends nothing.
// Never reads beyond `size`.
int ReadSeisanText(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out);

// SEISAN segmented binary form (see seisan_format.h). Same contract ("Seisan Waveform").
int ReadSeisanBinary(const std::uint8_t* data, std::size_t size, std::vector<FileChannel>& out);

} // namespace nereid::recording
