#pragma once

#include <string>
#include <vector>

namespace nereid::cli {

// nereid info FILE...
// Opens each data file with the display's readers and prints its format, signal name, start,
// rate, sample type, sample count and the minimum, maximum and mean of the samples.
// Returns 0, 2 (usage) or kExitFileRefused (translate_command.h).
int RunInfoCommand(const std::vector<std::string>& args);

} // namespace nereid::cli
