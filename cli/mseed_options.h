#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "recording/mseed_packer.h"

namespace nereid::cli {

// Takes `--network CODE` or `--components 1=Z,2=N,3=E` at args[i] (advancing i past the
// value). Returns 1 when it took one, 0 when args[i] is neither, -1 when the value is missing
// or bad (`error` says why; `options` keeps what it held).
int TakeMseedOption(const std::vector<std::string>& args, std::size_t& i,
                    recording::SMseedOptions& options, std::string& error);

// The usage words of the two options.
inline constexpr const char* kMseedOptionsUsage = "[--network XX] [--components 1=Z,2=N,3=E]";

} // namespace nereid::cli
