#pragma once

#include <cstdint>
#include <string>

namespace nereid::recording {

// File names of the real-time recorder:
//   DADiSP  "DD" + c + uuu + "_hhmmss.ddd"   (the SEISAN form writes the same files)
//   CSS     "CD" + c + uuu + "_hhmmss.ddd" data, "CH" + ... the wfdisc record
//   miniSEED "MD" + c + uuu + "_hhmmss.ddd" + ".mseed"
// hh mm ss and the day of year ddd are those of the period start (UTC), so every name but the
// miniSEED one is 17 characters long.

// The channel character: "1".."8" for channels 1 to 8, "A".."H" for channels 9 to 16 (the
// second stream set, as the instrument names its own files). Anything else gives "0".
char RecorderChannelCharacter(int channel);

// The unit number's last three decimal digits, zero-padded: 7 -> "007", 1234 -> "234".
std::string RecorderUnitDigits(std::uint16_t unit);

// prefix is "DD", "CD", "CH" or "MD".
std::string RecorderFileName(const char* prefix, int channel, std::uint16_t unit,
                             std::uint32_t periodStart);

// folder + "/" + name, without doubling a trailing "/"; an empty folder means the current one.
std::string JoinRecorderPath(const std::string& folder, const std::string& name);

} // namespace nereid::recording
