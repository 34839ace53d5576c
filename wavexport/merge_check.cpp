#include "wavexport/merge_check.h"

#include "recording/data_file_reader.h"
#include "recording/mapped_file.h"
#include "recording/regular_file.h"
#include "recording/seisan_reader.h"

namespace nereid::wavexport {

namespace {

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// True when `merged` holds the first samples of `file`: all of them when `whole`.
bool HoldsSamples(const recording::FileChannel& merged, const recording::FileChannel& file,
                  bool whole) {
    if (merged.rate != file.rate || merged.startSecond != file.startSecond ||
        merged.sampleCount > file.sampleCount ||
        (whole && merged.sampleCount != file.sampleCount)) {
        return false;
    }
    for (std::uint64_t i = 0; i < merged.sampleCount; ++i) {
        if (merged.IntValue(i) != file.IntValue(i)) {
            return false;
        }
    }
    return true;
}

} // namespace

int CheckMerged(const std::string& mergedPath, const std::vector<std::string>& channelFiles,
                std::string& failure) {
    std::shared_ptr<const recording::CMappedFile> file;
    int error = 0;
    if (recording::CMappedFile::Open(mergedPath, file, error) != recording::CMappedFile::kOk) {
        failure = BaseName(mergedPath) + " cannot be read: " + recording::FileErrorText(error);
        return kMergeUnreadable;
    }
    std::vector<recording::FileChannel> merged;
    if (recording::ReadSeisanFile(file->Data(), file->Size(), merged) != recording::kSeisanOk) {
        failure = BaseName(mergedPath) + " is not a SEISAN file this system can read";
        return kMergeUnreadable;
    }
    std::vector<bool> used(merged.size(), false);
    std::string lost;
    for (const std::string& path : channelFiles) {
        std::vector<recording::FileChannel> opened;
        recording::ReaderMessage m;
        if (recording::OpenDataFile(path, opened, m) != recording::kOpenAdded ||
            opened.size() != 1) {
            failure = path + ": " + m.text;
            return kMergeInputUnreadable;
        }
        const recording::FileChannel& source = opened[0];
        // A whole copy first, so that a shortened copy never takes another file's place.
        std::size_t found = merged.size();
        for (bool whole : {true, false}) {
            for (std::size_t k = 0; k < merged.size() && found == merged.size(); ++k) {
                if (!used[k] && HoldsSamples(merged[k], source, whole)) {
                    found = k;
                }
            }
        }
        if (found == merged.size()) {
            failure =
                "no channel of " + BaseName(mergedPath) + " holds the samples of " + BaseName(path);
            return kMergeChannelMissing;
        }
        used[found] = true;
        if (merged[found].sampleCount < source.sampleCount) {
            lost += (lost.empty() ? "" : ", ") + BaseName(path) + " has " +
                    std::to_string(merged[found].sampleCount) + " of its " +
                    std::to_string(source.sampleCount) + " samples";
        }
    }
    if (merged.size() != channelFiles.size()) {
        failure = BaseName(mergedPath) + " holds " + std::to_string(merged.size()) + " channels, " +
                  std::to_string(channelFiles.size()) + " expected";
        return kMergeExtraChannels;
    }
    if (!lost.empty()) {
        failure = "in " + BaseName(mergedPath) + " " + lost;
        return kMergeSamplesLost;
    }
    return kMergeSound;
}

} // namespace nereid::wavexport
