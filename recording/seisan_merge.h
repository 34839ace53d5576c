#pragma once

#include <string>
#include <vector>

namespace nereid::recording {

// Result codes of MergeDadispToSeisan.
enum SeisanMergeResult : int {
    kMergeOk = 1,
    kMergeNoInput = 0,
    kMergeBadInput = -1, // an input is not a readable DADiSP dataset
    kMergeWriteFailed = -2,
};

// SEISAN file name of a merged period: "yyyy-mm-dd-hhmm-ssS." + network padded with "_" to 5
// characters + "_" + channel count in three digits (29 characters), e.g.
// "2003-04-03-1530-00S.NR042_006".
std::string SeisanFileName(unsigned startSecond, const std::string& network, int channels);

// Writes the DADiSP channel files `inputs` (one channel each) as one multi-channel SEISAN
// file into `folder`: station "N" + the unit digits of the file name, component "CH" + the
// channel character, the header time the earliest start. The file is written under a
// temporary name and linked to its own name when complete, so a failure leaves no partial
// file, and a file of that name already there is left as it is (kMergeWriteFailed). On
// success `outputPath` is set; the inputs are not touched. `message` explains a failure.
int MergeDadispToSeisan(const std::vector<std::string>& inputs, const std::string& folder,
                        const std::string& network, std::string& outputPath, std::string& message);

} // namespace nereid::recording
