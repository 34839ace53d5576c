#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Little-endian field access for the recorder's payloads; every multi-byte field on the line
// is least significant byte first.
namespace nereid::sim {

inline void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutU24(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
}

inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    PutU16(p, static_cast<std::uint16_t>(v));
    PutU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace nereid::sim
