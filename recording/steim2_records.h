#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

struct MSRecord_s;

namespace nereid::recording {

// Steim-2 frames from 32-bit samples, the same bytes as libmseed 2's encoder (greedy, in the
// order 7x4, 6x5, 5x6, 4x8, 3x10, 2x15, 1x30 bits), big-endian. `frames` 64-byte frames are
// written at `out`, the unused ones zero; `diff0` is the first difference (the first sample
// minus the one before it, 0 when there is none). Returns the samples encoded, or -1 when a
// difference needs more than 30 bits.
int EncodeSteim2(const std::int32_t* samples, int count, int frames, std::int32_t diff0,
                 std::uint8_t* out);

// Packs the record's samples into data records exactly as libmseed 2's msr_pack does for
// Steim-2, big-endian records of `reclen` bytes (fixed header, blockette 1000, data from byte
// 64): records while more samples wait than a record can hold, all of them with `flush`;
// every record's start from the call's start time and the samples before it, the sequence
// number and the compression history carried in `msr` as msr_pack carries them. Other
// encodings, byte orders or sample types are handed to msr_pack itself. Same results as
// msr_pack: records made, or -1.
// The 64 bytes every data record of one stream begins with (fixed header and blockette 1000,
// as msr_pack writes them), the sequence number, start time and sample count still to be set.
// False when the record length is not a power of two of 128..4096 bytes.
bool Steim2RecordTemplate(const MSRecord_s* msr, std::uint8_t* header);

// Remembers the calendar day of the last start time written, so that the records of one day
// skip the calendar arithmetic.
struct SRecordDay {
    std::int64_t day = INT64_MIN; // days since 1970
    std::uint16_t year = 0;
    std::uint16_t dayOfYear = 0;
};

// Writes a record's sequence number (wrapped into 1..999999 by the caller), start time (in
// libmseed's microseconds, rounded to the 100 us the header holds) and sample count into its
// fixed header, the bytes msr_pack writes for them.
void SetSteim2RecordFields(std::uint8_t* header, std::int32_t sequence, std::int64_t startUs,
                           int samples, SRecordDay& day);
// Only the sequence number.
void SetRecordSequence(std::uint8_t* header, std::int32_t sequence);
// Only the start time and sample count.
void SetSteim2RecordTime(std::uint8_t* header, std::int64_t startUs, int samples, SRecordDay& day);
// The next sequence number as the six digits a header holds, 999999 followed by 000001.
void NextRecordSequence(char* digits);

int PackSteim2Records(MSRecord_s* msr, void (*recordHandler)(char*, int, void*), void* handlerData,
                      std::int64_t* packedSamples, bool flush);

} // namespace nereid::recording
