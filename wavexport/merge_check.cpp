#include "wavexport/merge_check.h"

#include "recording/data_file_reader.h"
#include "recording/mapped_file.h"
#include "recording/regular_file.h"
#include "recording/seisan_reader.h"

#include <cstring>

namespace nereid::wavexport {

namespace {

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// True when `merged` holds the first samples of `file`, all but at most `allowedTail`.
bool HoldsSamples(const recording::FileChannel& merged, const recording::FileChannel& file,
                  std::uint64_t allowedTail) {
    if (merged.rate != file.rate || merged.startSecond != file.startSecond ||
        merged.sampleCount > file.sampleCount ||
        file.sampleCount - merged.sampleCount > allowedTail) {
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

int CheckMerged(const std::string& mergedPath, const std::vector<ExpectedChannel>& expected,
                std::vector<std::string>& notes, std::string& failure) {
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
    std::vector<std::string> lost;
    for (const ExpectedChannel& e : expected) {
        std::vector<recording::FileChannel> opened;
        recording::ReaderMessage m;
        if (recording::OpenDataFile(e.path, opened, m) != recording::kOpenAdded ||
            opened.size() != 1) {
            failure = e.path + ": " + m.text;
            return kMergeInputUnreadable;
        }
        const recording::FileChannel& source = opened[0];
        bool found = false;
        for (std::size_t k = 0; k < merged.size() && !found; ++k) {
            if (!used[k] && HoldsSamples(merged[k], source, e.allowedTail)) {
                used[k] = true;
                found = true;
                if (merged[k].sampleCount < source.sampleCount) {
                    lost.push_back(BaseName(e.path) + ": the last " +
                                   std::to_string(source.sampleCount - merged[k].sampleCount) +
                                   " of " + std::to_string(source.sampleCount) +
                                   " samples were dropped by pdasei");
                }
            }
        }
        if (!found) {
            failure = "no channel of " + BaseName(mergedPath) + " holds the samples of " +
                      BaseName(e.path);
            return kMergeChannelMissing;
        }
    }
    if (merged.size() != expected.size()) {
        failure = BaseName(mergedPath) + " holds " + std::to_string(merged.size()) + " channels, " +
                  std::to_string(expected.size()) + " expected";
        return kMergeExtraChannels;
    }
    notes.insert(notes.end(), lost.begin(), lost.end());
    return kMergeSound;
}

} // namespace nereid::wavexport
