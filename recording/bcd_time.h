#pragma once

#include <cstdint>

namespace nereid::recording {

// Packed BCD time label of a ring row (8 bytes).
//   word 0: bits 0-7 seconds, 8-15 minutes, 16-23 hours (two BCD digits each)
//   word 1: bits 0-11 day of year (three BCD digits), 12-19 year within the century
//           (year - 2000 from 2000 on, year - 1900 before)
// All other bits are zero.
struct BcdTime {
    std::uint32_t word0 = 0;
    std::uint32_t word1 = 0;

    static BcdTime FromSeconds(std::uint32_t secondsSince1970);

    int Seconds() const;
    int Minutes() const;
    int Hours() const;
    int DayOfYear() const;
    int YearInCentury() const;

    friend bool operator==(const BcdTime&, const BcdTime&) = default;
};

} // namespace nereid::recording
