#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nereid::wavexport {

// A channel file that must be found in a merged SEISAN file.
struct ExpectedChannel {
    std::string path;            // the DADiSP channel file
    std::uint64_t allowedTail{}; // samples at its end the conversion may lose
};

// Result codes of CheckMerged.
enum MergeCheckResult : int {
    kMergeSound = 1,
    kMergeUnreadable = -1,     // the project's SEISAN readers refuse the merged file
    kMergeChannelMissing = -2, // a channel file's samples are in no merged channel
    kMergeExtraChannels = -3,  // the merged file holds channels of no channel file
    kMergeInputUnreadable = -4,
};

// Reads `mergedPath` with the project's SEISAN readers and pairs every expected channel file
// with one merged channel of the same rate and start second whose samples are exactly the
// file's samples, less at most `allowedTail` at the end. Every merged channel must be paired.
// `failure` says what was wrong; `notes` lists the tails that were lost.
int CheckMerged(const std::string& mergedPath, const std::vector<ExpectedChannel>& expected,
                std::vector<std::string>& notes, std::string& failure);

} // namespace nereid::wavexport
