#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::seedlink {

constexpr std::size_t kRecordLength = 512;
// Sequence numbers of SeedLink 3 on the wire: the low 24 bits (6 hex digits) of a position.
constexpr std::uint32_t kSequenceMask = 0xFFFFFF;

// What the server needs to know of a record without decoding it.
struct SRecordInfo {
    std::string location; // 0 to 2 characters
    std::string channel;  // 3 characters
    char type = 'D';
    std::int64_t startNs = 0; // first sample
    std::int64_t endNs = 0;   // last sample
};

} // namespace nereid::seedlink
