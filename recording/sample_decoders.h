#pragma once

#include "recording/seisan_format.h"

#include <cstddef>
#include <cstdint>

namespace nereid::recording {

// Decoders of a recorder file's 3-byte little-endian samples into the translated forms, a
// block at a time. Each takes `count` whole samples at `in` and returns the end of what it
// wrote at `out`.

// Most output bytes one sample can need in the decimal form: "-8388608\r\n".
inline constexpr std::size_t kMaxDecimalLine = 10;
// Bytes the decimal writer may store past its last output byte.
inline constexpr std::size_t kDecimalScratch = 16;

// Signed 32-bit little-endian.
std::uint8_t* DecodeToLeS32(const std::uint8_t* in, std::size_t count, std::uint8_t* out);
// Signed 32-bit in memory.
std::int32_t* DecodeToS32(const std::uint8_t* in, std::size_t count, std::int32_t* out);
// One decimal line per sample, each ended by CR LF; up to kDecimalScratch bytes past the end
// are overwritten.
char* DecodeToDecimalLines(const std::uint8_t* in, std::size_t count, char* out);
// Signed 32-bit little-endian in SEISAN's framed pieces (`framer` carries the piece).
std::uint8_t* DecodeToSeisanFrames(CSeisanDataFramer& framer, const std::uint8_t* in,
                                   std::size_t count, std::uint8_t* out);

} // namespace nereid::recording
