#pragma once

#include <string>
#include <vector>

namespace nereid::wavexport {

// Result codes of CheckMerged.
enum MergeCheckResult : int {
    kMergeSound = 1,
    kMergeUnreadable = -1,     // the project's SEISAN readers refuse the merged file
    kMergeChannelMissing = -2, // a channel file's samples are in no merged channel
    kMergeExtraChannels = -3,  // the merged file holds channels of no channel file
    kMergeInputUnreadable = -4,
    kMergeSamplesLost = -5, // every channel is there, but some lack the last of their samples
};

// Reads `mergedPath` with the project's SEISAN readers and pairs every channel file of
// `channelFiles` with one merged channel of the same rate and start second whose samples are
// exactly the file's samples. Every merged channel must be paired. A merged channel that holds
// only the first samples of a file pairs with it too, but the result is then kMergeSamplesLost
// (when nothing else is wrong) and `failure` says how many samples of which file are missing.
int CheckMerged(const std::string& mergedPath, const std::vector<std::string>& channelFiles,
                std::string& failure);

} // namespace nereid::wavexport
